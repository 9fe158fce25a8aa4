#include "platform/host/static_site.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/host/host_fixture.h"

namespace folirex {
namespace {

namespace stdfs = std::filesystem;
using testing::RawGet;
using testing::RunningHost;
using testing::TempFolder;

// A site whose data folder, settings file and database are reached by links and folder aliases
// placed inside it, as a backup tool, an unpacked theme or a careless "ln -s" leaves them.
class LinkedSite : public ::testing::Test {
 protected:
  void SetUp() override {
    top_.Write("site/data/site.db", "SQLite format 3 whole-database");
    top_.Write("site/data/admin-password.txt", "admin-password-text");
    top_.Write("site/folirex.conf", "password=conf-secret");
    top_.Write("site/images/logo.gif", "GIF89a-logo");
    top_.Write("site/news/page.html", "<p>news page</p>");
    const stdfs::path site = top_.path() / "site";
    stdfs::create_symlink("../data/site.db", site / "images" / "db.jpg");
    stdfs::create_symlink("../data/admin-password.txt", site / "images" / "pw.txt");
    stdfs::create_symlink("../folirex.conf", site / "images" / "conf.txt");
    stdfs::create_directory_symlink("../data", site / "images" / "stock");
    stdfs::create_directory_symlink(site / "data", site / "backup");
    stdfs::create_symlink(site / "folirex.conf", site / "settings.css");
    // Hard links: second names of the same files, with no path of their own to follow.
    stdfs::create_hard_link(site / "data" / "site.db", site / "images" / "hard.jpg");
    stdfs::create_hard_link(site / "folirex.conf", site / "news" / "hard.css");
    // Ordinary files of the site reached by a link stay served.
    stdfs::create_symlink("../images/logo.gif", site / "news" / "logo.gif");
    stdfs::create_hard_link(site / "news" / "page.html", site / "news" / "copy.html");
    stdfs::create_directory_symlink("news", site / "latest");

    HostOptions options;
    options.site_root = site;
    host_ = std::make_unique<RunningHost>(
        options, [](EntryKind, PageObjects& p) { p.response.Write("page"); });
  }

  TempFolder top_;
  std::unique_ptr<RunningHost> host_;
};

TEST_F(LinkedSite, NoLinkOrAliasReachesTheDataFolderOrTheSettings) {
  const char* targets[] = {"/images/db.jpg",
                           "/Images/DB.JPG",
                           "/images/pw.txt",
                           "/images/conf.txt",
                           "/images/stock/site.db",
                           "/images/stock/admin-password.txt",
                           "/backup/admin-password.txt",
                           "/BACKUP/Admin-Password.TXT",
                           "/settings.css",
                           "/images/hard.jpg",
                           "/news/hard.css"};
  for (int round = 0; round < 2; ++round) {  // the second time from what the host keeps
    for (const char* target : targets) {
      auto res = RawGet(host_->port(), target);
      EXPECT_EQ(res.status, 404) << target;
      EXPECT_EQ(res.body.find("whole-database"), std::string::npos) << target;
      EXPECT_EQ(res.body.find("admin-password-text"), std::string::npos) << target;
      EXPECT_EQ(res.body.find("conf-secret"), std::string::npos) << target;
    }
  }
}

TEST_F(LinkedSite, LinksToOrdinaryFilesOfTheSiteAreServed) {
  EXPECT_EQ(RawGet(host_->port(), "/news/logo.gif").body, "GIF89a-logo");
  EXPECT_EQ(RawGet(host_->port(), "/latest/page.html").body, "<p>news page</p>");
  EXPECT_EQ(RawGet(host_->port(), "/news/copy.html").body, "<p>news page</p>");
  EXPECT_EQ(RawGet(host_->port(), "/latest/").status, 404);  // no folder page, no listing
}

TEST_F(LinkedSite, AFileReplacedByALinkAfterItWasKeptIsJudgedAgain) {
  const stdfs::path site = top_.path() / "site";
  top_.Write("site/images/photo.jpg", "JPEG-photo");
  EXPECT_EQ(RawGet(host_->port(), "/images/photo.jpg").body, "JPEG-photo");
  stdfs::remove(site / "images" / "photo.jpg");
  stdfs::create_symlink("../data/site.db", site / "images" / "photo.jpg");
  auto res = RawGet(host_->port(), "/images/photo.jpg");
  EXPECT_EQ(res.status, 404);
  EXPECT_EQ(res.body.find("whole-database"), std::string::npos);
}

}  // namespace
}  // namespace folirex
