#include "core/folder_names.h"

#include <gtest/gtest.h>

namespace folirex {
namespace {

TEST(FolderNamesTest, PathsOfPlainSegmentsOnly) {
  for (const char* ok : {"news", "news/2026", "a.b", "A-1_x", "x/y/z"}) {
    EXPECT_TRUE(IsPlainFolderPath(ok)) << ok;
  }
  for (const char* bad : {"", "/news", "news/", "a//b", "..", "a/../b", ".", "a\\b", "a b",
                          "新闻", "a:b", "a/./b"}) {
    EXPECT_FALSE(IsPlainFolderPath(bad)) << bad;
  }
}

TEST(FolderNamesTest, ReservedFoldersInAnyLetterCase) {
  for (const char* kept : {"js", "JS", "Skin", "NaviMenu", "Kelmira", "UPLOADS", "admin/x",
                           "List", "data"}) {
    EXPECT_TRUE(IsReservedSiteFolder(kept)) << kept;
  }
  for (const char* free : {"news", "jsx", "skins", "x/admin"}) {
    EXPECT_FALSE(IsReservedSiteFolder(free)) << free;
  }
}

}  // namespace
}  // namespace folirex
