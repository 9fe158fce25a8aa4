#include "core/folder_names.h"

#include <gtest/gtest.h>

namespace folirex {
namespace {

TEST(FolderNamesTest, PathsOfPlainSegmentsOnly) {
  for (const char* ok : {"news", "news/2026", "a.b", "A-1_x", "x/y/z"}) {
    EXPECT_TRUE(IsPlainFolderPath(ok)) << ok;
  }
  for (const char* bad :
       {"", "/news", "news/", "a//b", "..", "a/../b", ".", "a\\b", "a b", "新闻", "a:b", "a/./b"}) {
    EXPECT_FALSE(IsPlainFolderPath(bad)) << bad;
  }
}

TEST(FolderNamesTest, ReservedFoldersInAnyLetterCase) {
  for (const char* kept :
       {"js", "JS", "Skin", "NaviMenu", "Kelmira", "UPLOADS", "admin/x", "List", "data"}) {
    EXPECT_TRUE(IsReservedSiteFolder(kept)) << kept;
  }
  for (const char* free : {"news", "jsx", "skins", "x/admin"}) {
    EXPECT_FALSE(IsReservedSiteFolder(free)) << free;
  }
}

TEST(FolderNamesTest, SiteFileNamesInAnySegmentAreReservedFolderPaths) {
  for (const char* file :
       {"default.html", "DEFAULT.HTM", "default.shtml", "default.shtm", "default.asp", "index.html",
        "Index.htm", "List_5.html", "list_5_12.asp", "folirex.conf", "site.db", "Site.DB-WAL",
        "x.db-shm", "old.mdb", "a.sqlite"}) {
    EXPECT_TRUE(IsSiteFileName(file)) << file;
    EXPECT_TRUE(IsReservedFolderPath(std::string("news/") + file)) << file;
  }
  for (const char* free : {"default", "default.js", "defaults.html", "index.shtml", "index.asp",
                           "list_.html", "list_5_.html", "list_x.html", "mylist_5.html",
                           "list_5.txt", "site.dbx", "folirex.confx", "db"}) {
    EXPECT_FALSE(IsSiteFileName(free)) << free;
    EXPECT_FALSE(IsReservedFolderPath(std::string("news/") + free)) << free;
  }
  EXPECT_TRUE(IsReservedFolderPath("Skin/news"));
  EXPECT_FALSE(IsReservedFolderPath("news/skin"));
}

}  // namespace
}  // namespace folirex
