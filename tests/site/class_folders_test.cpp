#include "site/class_folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/site_fixture.h"

namespace folirex {
namespace {

namespace fs = std::filesystem;
using testing::ChannelRow;
using testing::ClassRow;
using testing::SiteFixture;

TEST(GetClassListDirTest, ByListFolderCode) {
  SiteFixture s;
  s.UseChannel(s.Add(ChannelRow{.dir = "news"}));
  s.state.channel.ChannelDir = "stale/";
  // The channel folder comes from the database, and the channel's settings are left alone.
  EXPECT_EQ(GetClassListDir(s.state, "ignored", "0", "tech"), "/news/tech/");
  EXPECT_EQ(s.state.channel.ChannelDir, "stale/");
  EXPECT_EQ(GetClassListDir(s.state, "", "0", ""), "/news/");
  EXPECT_EQ(GetClassListDir(s.state, "", "0", Variant::Null()), "/news/");
  EXPECT_EQ(GetClassListDir(s.state, "", "1", "tech"), "/news/List/");
  EXPECT_EQ(GetClassListDir(s.state, "", 1, ""), "/news/List/");
  EXPECT_EQ(GetClassListDir(s.state, "", "2", "tech"), "/news/");
  EXPECT_EQ(GetClassListDir(s.state, "", "3", "tech"), "");
  EXPECT_EQ(GetClassListDir(s.state, "", "", "tech"), "");

  s.UseChannel(s.Add(ChannelRow{.dir = ""}));
  EXPECT_EQ(GetClassListDir(s.state, "", "0", ""), "/");
  EXPECT_EQ(GetClassListDir(s.state, "", "2", "tech"), "/");
  EXPECT_EQ(GetClassListDir(s.state, "", "0", "tech"), "/tech/");
}

class DeleteClassFoldersTest : public ::testing::Test {
 protected:
  fs::path Site(const std::string& relative) { return s_.root() / relative; }
  void MakeFile(const std::string& relative) {
    fs::create_directories(Site(relative).parent_path());
    std::ofstream(Site(relative)) << "x";
  }
  SiteFixture s_;
};

TEST_F(DeleteClassFoldersTest, RemovesTheClassFoldersWithTheirPages) {
  int64_t ch = s_.Add(ChannelRow{.dir = "news"});
  s_.Add(ClassRow{.name = "科技", .dir = "tech", .channel = ch});
  s_.Add(ClassRow{.name = "体育", .dir = "Sport", .channel = ch});
  s_.Add(ClassRow{.name = "同名", .dir = "tech", .channel = ch});  // two classes naming one folder
  s_.Add(ClassRow{.name = "无", .dir = "", .channel = ch});
  s_.Add(ClassRow{.name = "缺", .dir = "missing", .channel = ch});
  MakeFile("news/tech/1.html");
  MakeFile("news/tech/deep/List_2.html");
  MakeFile("news/sport/3.html");
  MakeFile("news/keep/4.html");  // no class names it
  MakeFile("news/index.html");
  s_.UseChannel(ch);
  DeleteClassFolders(s_.state);
  EXPECT_FALSE(fs::exists(Site("news/tech")));
  EXPECT_FALSE(fs::exists(Site("news/sport")));  // the file system ignores letter case
  EXPECT_TRUE(fs::exists(Site("news/keep/4.html")));
  EXPECT_TRUE(fs::exists(Site("news/index.html")));
  EXPECT_FALSE(s_.state.db.Rs->IsOpen());
}

TEST_F(DeleteClassFoldersTest, NeverLeavesTheChannelFolderNorTouchesTheSiteOwnFolders) {
  int64_t ch = s_.Add(ChannelRow{.dir = "news"});
  s_.Add(ChannelRow{.dir = "news/world"});
  for (const char* dir : {"../outside", "..", "a/../../b", "/etc", "\\windows", "world", "Skin",
                          "JS", "images", "uploadfile", "c:", "tech/.."}) {
    s_.Add(ClassRow{.name = dir, .dir = dir, .channel = ch});
  }
  fs::create_directories(s_.root().parent_path() / "outside");
  MakeFile("news/world/1.html");
  MakeFile("news/Skin/1.css");
  MakeFile("news/Js/a.js");
  MakeFile("news/images/arrow.gif");
  MakeFile("news/uploadfile/a.jpg");
  MakeFile("b/keep.html");
  s_.UseChannel(ch);
  DeleteClassFolders(s_.state);
  EXPECT_TRUE(fs::exists(s_.root().parent_path() / "outside"));
  EXPECT_TRUE(fs::exists(Site("news/world/1.html")));
  EXPECT_TRUE(fs::exists(Site("news/Skin/1.css")));
  EXPECT_TRUE(fs::exists(Site("news/Js/a.js")));
  EXPECT_TRUE(fs::exists(Site("news/images/arrow.gif")));
  EXPECT_TRUE(fs::exists(Site("news/uploadfile/a.jpg")));
  EXPECT_TRUE(fs::exists(Site("b/keep.html")));
  EXPECT_TRUE(fs::exists(Site("news")));
}

TEST_F(DeleteClassFoldersTest, AChannelWithoutFolderSparesTheSiteAndOtherChannels) {
  int64_t ch = s_.Add(ChannelRow{.dir = ""});
  s_.Add(ChannelRow{.dir = "sports"});
  for (const char* dir : {"admin", "data", "sports", "navimenu", "tech"})
    s_.Add(ClassRow{.name = dir, .dir = dir, .channel = ch});
  MakeFile("sports/1.html");
  MakeFile("tech/1.html");
  MakeFile("NaviMenu/Js/menu.js");
  s_.UseChannel(ch);
  DeleteClassFolders(s_.state);
  EXPECT_TRUE(fs::exists(Site("admin/admin.css")));
  EXPECT_TRUE(fs::exists(Site("data/site.db")));
  EXPECT_TRUE(fs::exists(Site("sports/1.html")));
  EXPECT_TRUE(fs::exists(Site("NaviMenu/Js/menu.js")));
  EXPECT_FALSE(fs::exists(Site("tech")));
}

TEST_F(DeleteClassFoldersTest, OnlyTheCurrentChannelsClasses) {
  int64_t ch_a = s_.Add(ChannelRow{.dir = "a"});
  int64_t ch_b = s_.Add(ChannelRow{.dir = "b"});
  s_.Add(ClassRow{.name = "x", .dir = "x", .channel = ch_a});
  s_.Add(ClassRow{.name = "y", .dir = "y", .channel = ch_b});
  MakeFile("a/x/1.html");
  MakeFile("a/y/1.html");
  MakeFile("b/y/1.html");
  s_.UseChannel(ch_a);
  DeleteClassFolders(s_.state);
  EXPECT_FALSE(fs::exists(Site("a/x")));
  EXPECT_TRUE(fs::exists(Site("a/y/1.html")));
  EXPECT_TRUE(fs::exists(Site("b/y/1.html")));
}

}  // namespace
}  // namespace folirex
