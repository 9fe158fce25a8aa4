#include "platform/fs/site_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace folirex::fs {
namespace {

namespace stdfs = std::filesystem;
using testing::TempFolder;

TEST(ResolveInsideTest, MatchesExistingSegmentsWithoutRegardToCase) {
  TempFolder site;
  site.Write("News/List_1.html", "x");
  site.Write("新闻/Ab.html", "x");

  EXPECT_EQ(ResolveInside(site.path(), "news/list_1.html"), site.path() / "News" / "List_1.html");
  EXPECT_EQ(ResolveInside(site.path(), "NEWS/LIST_1.HTML"), site.path() / "News" / "List_1.html");
  EXPECT_EQ(ResolveInside(site.path(), "News/List_1.html"), site.path() / "News" / "List_1.html");
  // Only ASCII letters fold; the Chinese folder name must match byte for byte.
  EXPECT_EQ(ResolveInside(site.path(), "新闻/ab.HTML"), site.path() / "新闻" / "Ab.html");
}

TEST(ResolveInsideTest, ExactNameWinsOverCaseVariants) {
  TempFolder site;
  site.MakeFolder("pic");
  site.MakeFolder("Pic");
  site.MakeFolder("PIc");

  EXPECT_EQ(ResolveInside(site.path(), "pic"), site.path() / "pic");
  EXPECT_EQ(ResolveInside(site.path(), "Pic"), site.path() / "Pic");
  EXPECT_EQ(ResolveInside(site.path(), "PIc"), site.path() / "PIc");
  // No exact match: the smallest name in byte order, whatever the directory order.
  EXPECT_EQ(ResolveInside(site.path(), "PIC"), site.path() / "PIc");
  EXPECT_EQ(ResolveInside(site.path(), "pIC"), site.path() / "PIc");
}

TEST(ResolveInsideTest, NonAsciiLettersAreNotFolded) {
  TempFolder site;
  site.MakeFolder("Été");
  EXPECT_EQ(ResolveInside(site.path(), "été"), site.path() / "été");
  EXPECT_EQ(ResolveInside(site.path(), "ÉTÉ"), site.path() / "ÉTÉ");
  EXPECT_EQ(ResolveInside(site.path(), "Été"), site.path() / "Été");
}

TEST(ResolveInsideTest, KeepsMissingSegmentsAsGiven) {
  TempFolder site;
  site.MakeFolder("News");

  EXPECT_EQ(ResolveInside(site.path(), "news/NewFolder/Page.HTML"),
            site.path() / "News" / "NewFolder" / "Page.HTML");
  EXPECT_EQ(ResolveInside(site.path(), "Other/x.js"), site.path() / "Other" / "x.js");
  // A name below a file cannot exist; it is kept as given too.
  site.Write("News/a.html", "x");
  EXPECT_EQ(ResolveInside(site.path(), "news/A.HTML/more"),
            site.path() / "News" / "a.html" / "more");
}

TEST(ResolveInsideTest, SeparatorsDotsAndEmptySegments) {
  TempFolder site;
  site.Write("News/Js/a.js", "x");

  EXPECT_EQ(ResolveInside(site.path(), "\\news\\js\\A.JS"), site.path() / "News" / "Js" / "a.js");
  EXPECT_EQ(ResolveInside(site.path(), "//news/./js//a.js"), site.path() / "News" / "Js" / "a.js");
  EXPECT_EQ(ResolveInside(site.path(), "news/js/"), site.path() / "News" / "Js");
  EXPECT_EQ(ResolveInside(site.path(), ""), site.path());
  EXPECT_EQ(ResolveInside(site.path(), "/"), site.path());
  EXPECT_EQ(ResolveInside(site.path(), "."), site.path());
  // ".." that stays inside takes back one segment.
  EXPECT_EQ(ResolveInside(site.path(), "news/other/../js/a.js"),
            site.path() / "News" / "Js" / "a.js");
  EXPECT_EQ(ResolveInside(site.path(), "news/..\\news/js"), site.path() / "News" / "Js");
  // Encoded dots are the host's to decode; here they are plain names.
  EXPECT_EQ(ResolveInside(site.path(), "%2e%2e/x"), site.path() / "%2e%2e" / "x");
  EXPECT_EQ(ResolveInside(site.path(), ".../x"), site.path() / "..." / "x");
}

TEST(ResolveInsideTest, RefusesClimbingOutAndNulBytes) {
  TempFolder site;
  site.MakeFolder("News");

  EXPECT_EQ(ResolveInside(site.path(), ".."), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), "../x"), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), "news/../../x"), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), "..\\..\\etc\\passwd"), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), std::string("news/a\0.html", 12)), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), std::string("\0", 1)), std::nullopt);
  // A disk-absolute address is read from the site root, never from the disk's top.
  EXPECT_EQ(ResolveInside(site.path(), "/etc/passwd"), site.path() / "etc" / "passwd");
}

TEST(ResolveInsideTest, FollowsLinksThatStayInsideOnly) {
  TempFolder site;
  TempFolder outside;
  outside.Write("secret.txt", "s");
  site.Write("News/List_1.html", "x");
  stdfs::create_directory_symlink(outside.path(), site.path() / "Out");
  stdfs::create_symlink(outside.path() / "secret.txt", site.path() / "pw.txt");
  stdfs::create_symlink(outside.path() / "missing.txt", site.path() / "dead.txt");
  stdfs::create_directory_symlink(site.path() / "News", site.path() / "Alias");
  stdfs::create_directory_symlink("News", site.path() / "Relative");

  EXPECT_EQ(ResolveInside(site.path(), "Out/secret.txt"), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), "out/SECRET.TXT"), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), "out"), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), "out/new.html"), std::nullopt);
  EXPECT_EQ(ResolveInside(site.path(), "PW.txt"), std::nullopt);
  // A dangling link would let a write create a file outside.
  EXPECT_EQ(ResolveInside(site.path(), "dead.txt"), std::nullopt);

  EXPECT_EQ(ResolveInside(site.path(), "alias/list_1.html"), site.path() / "Alias" / "List_1.html");
  EXPECT_EQ(ResolveInside(site.path(), "relative/list_1.html"),
            site.path() / "Relative" / "List_1.html");
  EXPECT_EQ(ResolveInside(site.path(), "alias/new/page.html"),
            site.path() / "Alias" / "new" / "page.html");
}

TEST(ResolveInsideTest, LinkToSiblingWithSharedPrefixIsOutside) {
  TempFolder parent;
  stdfs::path site = parent.MakeFolder("site");
  stdfs::path sibling = parent.MakeFolder("site2");
  stdfs::create_directory_symlink(sibling, site / "sib");
  EXPECT_EQ(ResolveInside(site, "sib/x.html"), std::nullopt);
  EXPECT_FALSE(IsInside(site, sibling / "x.html"));
}

TEST(ResolveInsideTest, CacheFollowsRenamesAndDeletions) {
  TempFolder site;
  SiteFolderNames names;
  site.Write("Folder/a.txt", "x");
  EXPECT_EQ(ResolveInside(site.path(), "folder/a.txt", &names), site.path() / "Folder" / "a.txt");

  stdfs::rename(site.path() / "Folder", site.path() / "FOLDER");
  EXPECT_EQ(ResolveInside(site.path(), "folder/a.txt", &names), site.path() / "FOLDER" / "a.txt");

  stdfs::remove_all(site.path() / "FOLDER");
  EXPECT_EQ(ResolveInside(site.path(), "folder/a.txt", &names), site.path() / "folder" / "a.txt");

  // Created after the failed lookup by a tool that then puts the folder's modification time back
  // (an unpacked archive, a copy that keeps times).
  stdfs::file_time_type seen = stdfs::last_write_time(site.path());
  site.Write("fOlDeR/A.TXT", "y");
  stdfs::last_write_time(site.path(), seen);
  EXPECT_EQ(ResolveInside(site.path(), "folder/a.txt", &names), site.path() / "fOlDeR" / "A.TXT");

  // A case variant added later that matches exactly takes over.
  site.Write("folder/a.txt", "z");
  EXPECT_EQ(ResolveInside(site.path(), "folder/a.txt", &names), site.path() / "folder" / "a.txt");
}

TEST(ResolveInsideTest, CacheSeesAFolderReplacedUnderTheSameName) {
  TempFolder site;
  SiteFolderNames names;
  site.Write("Up/Pic.jpg", "x");
  EXPECT_EQ(ResolveInside(site.path(), "up/pic.jpg", &names), site.path() / "Up" / "Pic.jpg");
  stdfs::remove_all(site.path() / "Up");
  site.Write("Up/PIC.JPG", "x");
  EXPECT_EQ(ResolveInside(site.path(), "up/pic.jpg", &names), site.path() / "Up" / "PIC.JPG");
}

TEST(ResolveInsideTest, LargeFolderFilledOneByOneSeesEveryNotedName) {
  TempFolder site;
  SiteFolderNames names;
  site.MakeFolder("List");
  for (int i = 0; i < 1500; ++i) {
    std::string name = "List_" + std::to_string(i) + ".html";
    std::optional<stdfs::path> fresh = ResolveInside(site.path(), "list/" + name, &names);
    ASSERT_EQ(fresh, site.path() / "List" / name);
    names.NoteCreated(site.Write("List/" + name, "x"));
  }
  for (int i = 0; i < 1500; i += 7) {
    std::string name = "list_" + std::to_string(i) + ".HTML";
    EXPECT_EQ(ResolveInside(site.path(), "LIST/" + name, &names),
              site.path() / "List" / ("List_" + std::to_string(i) + ".html"));
  }
  stdfs::remove(site.path() / "List" / "List_7.html");
  EXPECT_EQ(ResolveInside(site.path(), "list/list_7.html", &names),
            site.path() / "List" / "list_7.html");
}

// Two servers of one process each keep their own names: a folder that one server is filling
// answers its own misses from its listing for a while, but another server, and a lookup without
// names, read the folder and find what a third writer made there meanwhile.
TEST(ResolveInsideTest, EachServersNamesAreItsOwn) {
  TempFolder site;
  SiteFolderNames filling;
  SiteFolderNames other;
  site.Write("List/Old.html", "x");
  ASSERT_EQ(ResolveInside(site.path(), "list/new.html", &filling),
            site.path() / "List" / "new.html");
  filling.NoteCreated(site.Write("List/Made.html", "x"));
  site.Write("List/Other.html", "x");  // written without noting, as another program would
  EXPECT_EQ(ResolveInside(site.path(), "list/other.html", &other),
            site.path() / "List" / "Other.html");
  EXPECT_EQ(ResolveInside(site.path(), "list/other.html"), site.path() / "List" / "Other.html");
  EXPECT_EQ(ResolveInside(site.path(), "LIST/made.html", &filling),
            site.path() / "List" / "Made.html");
}

TEST(ResolveInsideTest, ConcurrentLookupsAgree) {
  TempFolder site;
  SiteFolderNames names;
  for (int i = 0; i < 50; ++i) site.Write("Dir" + std::to_string(i) + "/File.html", "x");
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 50; ++i) {
          std::string name = "dir" + std::to_string(i);
          auto resolved = ResolveInside(site.path(), name + "/FILE.HTML", &names);
          if (resolved != site.path() / ("Dir" + std::to_string(i)) / "File.html") ++failures[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

TEST(IsInsideTest, PlacesPathsAgainstTheRoot) {
  TempFolder site;
  site.MakeFolder("News");

  EXPECT_TRUE(IsInside(site.path(), site.path()));
  EXPECT_FALSE(IsBelow(site.path(), site.path()));
  EXPECT_TRUE(IsInside(site.path(), site.path() / "News"));
  EXPECT_TRUE(IsBelow(site.path(), site.path() / "News"));
  EXPECT_TRUE(IsBelow(site.path(), site.path() / "Missing" / "deeper.html"));
  EXPECT_TRUE(IsInside(site.path(), site.path() / "News" / ".." / "x"));
  EXPECT_FALSE(IsBelow(site.path(), site.path() / "News" / ".."));
  EXPECT_FALSE(IsInside(site.path(), site.path() / ".."));
  EXPECT_FALSE(IsInside(site.path(), site.path() / "News" / ".." / ".." / "x"));
  EXPECT_FALSE(IsInside(site.path(), site.path() / "Missing" / ".." / "x"));
  EXPECT_FALSE(IsInside(site.path(), "/etc/passwd"));
  EXPECT_FALSE(IsInside(site.path(), site.path().parent_path()));
  EXPECT_FALSE(IsInside(site.path() / "Missing", site.path() / "Missing" / "x"));
}

TEST(IsInsideTest, RootReachedThroughALinkStillContainsItsFiles) {
  TempFolder parent;
  stdfs::path real = parent.MakeFolder("real");
  stdfs::create_directory_symlink(real, parent.path() / "linked");
  EXPECT_TRUE(IsInside(parent.path() / "linked", real / "a.html"));
  EXPECT_TRUE(IsInside(real, parent.path() / "linked" / "a.html"));
  EXPECT_EQ(ResolveInside(parent.path() / "linked", "A.html"), parent.path() / "linked" / "A.html");
}

}  // namespace
}  // namespace folirex::fs
