#include "platform/fs/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs/site_path.h"
#include "support/temp_folder.h"

namespace folirex::fs {
namespace {

namespace stdfs = std::filesystem;
using testing::Slurp;
using testing::TempFolder;

// The names directly in a folder, sorted.
std::set<std::string> NamesIn(const stdfs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : stdfs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

ino_t InodeOf(const stdfs::path& file) {
  struct stat file_stat {};
  return stat(file.c_str(), &file_stat) == 0 ? file_stat.st_ino : 0;
}

// A name test as the site's helpers build it: a case-insensitive search.
NameFilter Matching(const std::string& pattern) {
  auto re = std::make_shared<std::regex>(pattern, std::regex::icase);
  return [re](const std::string& name) { return std::regex_search(name, *re); };
}

TEST(WriteFileTest, CreatesAndReplacesWholeContentLeavingNoTemporaryFile) {
  TempFolder site;
  stdfs::path file = site.path() / "page.html";
  std::string binary("a\0b\xff\r\n", 6);

  std::error_code error = std::make_error_code(std::errc::io_error);
  ASSERT_TRUE(WriteFile(file, binary, &error));
  EXPECT_FALSE(error);
  EXPECT_EQ(Slurp(file), binary);

  ASSERT_TRUE(WriteFile(file, std::string(100000, 'x')));
  ASSERT_TRUE(WriteFile(file, "short"));
  EXPECT_EQ(Slurp(file), "short");
  ASSERT_TRUE(WriteFile(file, ""));
  EXPECT_EQ(Slurp(file), "");
  EXPECT_TRUE(FileExists(file));

  EXPECT_EQ(NamesIn(site.path()), std::set<std::string>{"page.html"});
}

TEST(WriteFileTest, KeepsThePermissionsOfTheFileItReplaces) {
  TempFolder site;
  stdfs::path file = site.Write("style.css", "old");
  stdfs::permissions(
      file, stdfs::perms::owner_read | stdfs::perms::owner_write | stdfs::perms::group_read);
  ASSERT_TRUE(WriteFile(file, "new"));
  EXPECT_EQ(stdfs::status(file).permissions() & stdfs::perms::all,
            stdfs::perms::owner_read | stdfs::perms::owner_write | stdfs::perms::group_read);
}

TEST(WriteFileTest, FailureIsReportedAndChangesNothing) {
  TempFolder site;
  std::error_code error;

  EXPECT_FALSE(WriteFile(site.path() / "missing" / "a.html", "x", &error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(stdfs::exists(site.path() / "missing"));

  EXPECT_FALSE(WriteTextFile(site.path() / "missing" / "a.js", "x", &error));
  EXPECT_TRUE(error);

  site.Write("Js/keep.js", "kept");
  EXPECT_FALSE(WriteFile(site.path() / "Js", "x", &error));
  EXPECT_EQ(error, std::errc::is_a_directory);
  EXPECT_EQ(Slurp(site.path() / "Js" / "keep.js"), "kept");
  EXPECT_EQ(NamesIn(site.path() / "Js"), std::set<std::string>{"keep.js"});
  EXPECT_EQ(NamesIn(site.path()), std::set<std::string>{"Js"});
}

TEST(WriteFileTest, ReplacesALinkInsteadOfWritingThroughIt) {
  TempFolder site;
  TempFolder outside;
  stdfs::path target = outside.Write("target.txt", "outside");
  stdfs::create_symlink(target, site.path() / "link.html");
  ASSERT_TRUE(WriteFile(site.path() / "link.html", "inside"));
  EXPECT_EQ(Slurp(target), "outside");
  EXPECT_FALSE(stdfs::is_symlink(site.path() / "link.html"));
  EXPECT_EQ(Slurp(site.path() / "link.html"), "inside");
}

TEST(WriteFileTest, ConcurrentWritersLeaveOneWholeContent) {
  TempFolder site;
  stdfs::path file = site.path() / "index.html";
  std::vector<std::string> contents;
  for (int i = 0; i < 6; ++i)
    contents.push_back(std::string(200000 + i, static_cast<char>('a' + i)));
  ASSERT_TRUE(WriteFile(file, contents[0]));

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      std::optional<std::string> seen = ReadFile(file);
      if (!seen || std::find(contents.begin(), contents.end(), *seen) == contents.end()) ++torn;
    }
  });
  std::vector<std::thread> writers;
  std::atomic<int> failed{0};
  for (int i = 0; i < 6; ++i) {
    writers.emplace_back([&, i] {
      for (int round = 0; round < 15; ++round) {
        if (!WriteFile(file, contents[i])) ++failed;
      }
    });
  }
  for (auto& writer : writers) writer.join();
  done = true;
  reader.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(torn, 0);
  EXPECT_NE(std::find(contents.begin(), contents.end(), Slurp(file)), contents.end());
  EXPECT_EQ(NamesIn(site.path()), std::set<std::string>{"index.html"});
}

// A new file is written unnamed and then linked in: it gets the mode a created file gets, and
// writers racing to create the same name all succeed (the loser replaces the winner's file)
// with one whole content and nothing else left in the folder.
TEST(WriteFileTest, NewFilesGetTheCreatedModeAndRacingCreatorsAllSucceed) {
  TempFolder site;
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_TRUE(WriteFile(site.path() / "new.html", "x"));
  struct stat made {};
  ASSERT_EQ(stat((site.path() / "new.html").c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0666 & ~mask);

  stdfs::path file = site.path() / "race.html";
  std::vector<std::string> contents;
  for (int i = 0; i < 6; ++i)
    contents.push_back(std::string(50000 + i, static_cast<char>('a' + i)));
  std::atomic<int> failed{0};
  for (int round = 0; round < 20; ++round) {
    stdfs::remove(file);
    std::vector<std::thread> writers;
    for (int i = 0; i < 6; ++i) {
      writers.emplace_back([&, i] {
        if (!WriteFile(file, contents[i])) ++failed;
      });
    }
    for (auto& writer : writers) writer.join();
    ASSERT_NE(std::find(contents.begin(), contents.end(), Slurp(file)), contents.end());
  }
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(NamesIn(site.path()), (std::set<std::string>{"new.html", "race.html"}));
}

TEST(WriteFileTest, FilesWrittenIntoALargeFolderAreFoundInAnyCaseAtOnce) {
  TempFolder site;
  SiteFolderNames names;
  ASSERT_TRUE(CreateFolderPath(site.path() / "News" / "Class"));
  for (int i = 0; i < 1500; ++i) {
    std::string id = std::to_string(i);
    std::optional<stdfs::path> file =
        ResolveInside(site.path(), "news/class/List_" + id + ".html", &names);
    ASSERT_TRUE(file.has_value());
    ASSERT_TRUE(WriteTextFile(*file, "page " + id, nullptr, &names));
    ASSERT_EQ(ResolveInside(site.path(), "NEWS/CLASS/list_" + id + ".html", &names), *file) << id;
  }
  // A folder made and a folder renamed by this process are found at once too.
  ASSERT_TRUE(CreateFolderPath(site.path() / "News" / "Class" / "Sub", nullptr, &names));
  EXPECT_EQ(ResolveInside(site.path(), "news/class/SUB", &names),
            site.path() / "News" / "Class" / "Sub");
  ASSERT_TRUE(RenameFolder(site.path() / "News" / "Class" / "Sub", "Renamed", nullptr, &names));
  EXPECT_EQ(ResolveInside(site.path(), "news/class/renamed", &names),
            site.path() / "News" / "Class" / "Renamed");
  EXPECT_EQ(ResolveInside(site.path(), "news/class/sub", &names),
            site.path() / "News" / "Class" / "sub");
}

TEST(TextFileTest, WritesCodePage936WithoutByteOrderMarkAndReadsItBack) {
  TempFolder site;
  stdfs::path file = site.path() / "Announce.js";
  const std::string text = "document.write(\"中文测试\");\r\n";
  ASSERT_TRUE(WriteTextFile(file, text));
  EXPECT_EQ(Slurp(file), "document.write(\"\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4\");\r\n");
  EXPECT_EQ(ReadTextFile(file), text);
}

TEST(TextFileTest, CharacterOutsideTheCodePageBecomesACharacterReference) {
  TempFolder site;
  stdfs::path file = site.path() / "a.html";
  ASSERT_TRUE(WriteTextFile(file,
                            "A\xF0\x9F\x98\x80"
                            "B"));  // U+1F600
  EXPECT_EQ(Slurp(file), "A&#128512;B");
}

TEST(TextFileTest, ReadingDecodesBadBytesAndReportsMissingFiles) {
  TempFolder site;
  stdfs::path file = site.Write("bad.txt", "\xD6\xD0\xFF");
  EXPECT_EQ(ReadTextFile(file), "中\xEF\xBF\xBD");
  site.Write("empty.txt", "");
  EXPECT_EQ(ReadTextFile(site.path() / "empty.txt"), "");

  std::error_code error;
  EXPECT_EQ(ReadTextFile(site.path() / "none.txt", &error), std::nullopt);
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_EQ(ReadFile(site.path(), &error), std::nullopt);
  EXPECT_TRUE(error);
}

TEST(FolderTest, CreateFolderPathMakesEveryMissingFolder) {
  TempFolder site;
  stdfs::path deep = site.path() / "news" / "Js" / "more";
  std::error_code error;
  EXPECT_TRUE(CreateFolderPath(deep, &error));
  EXPECT_FALSE(error);
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_FALSE(FileExists(deep));
  site.Write("news/Js/more/a.js", "x");
  EXPECT_TRUE(CreateFolderPath(deep));  // all present: nothing changes
  EXPECT_EQ(Slurp(deep / "a.js"), "x");

  site.Write("file.txt", "x");
  EXPECT_FALSE(CreateFolderPath(site.path() / "file.txt" / "sub", &error));
  EXPECT_TRUE(error);
  EXPECT_FALSE(CreateFolderPath(site.path() / "file.txt", &error));
  EXPECT_EQ(Slurp(site.path() / "file.txt"), "x");
}

TEST(FolderTest, CopyFolderCopiesTreeAndMergesByOverwriteFlag) {
  TempFolder site;
  TempFolder outside;
  outside.Write("secret.txt", "secret");
  site.Write("old/Images/logo.gif", "logo");
  site.Write("old/Images/sub/a.gif", "a");
  site.Write("old/Skin/1.css", "new css");
  stdfs::last_write_time(
      site.path() / "old/Images/logo.gif",
      stdfs::last_write_time(site.path() / "old/Images/logo.gif") - std::chrono::hours(24));
  stdfs::create_directory_symlink(outside.path(), site.path() / "old/Images/out");
  stdfs::create_symlink(outside.path() / "secret.txt", site.path() / "old/Images/s.txt");

  ASSERT_TRUE(CopyFolder(site.path() / "old/Images", site.path() / "new/Images", true));
  EXPECT_EQ(Slurp(site.path() / "new/Images/logo.gif"), "logo");
  EXPECT_EQ(Slurp(site.path() / "new/Images/sub/a.gif"), "a");
  EXPECT_EQ(NamesIn(site.path() / "new/Images"), (std::set<std::string>{"logo.gif", "sub"}));
  EXPECT_EQ(stdfs::last_write_time(site.path() / "new/Images/logo.gif"),
            stdfs::last_write_time(site.path() / "old/Images/logo.gif"));

  site.Write("Skin/1.css", "old css");
  site.Write("Skin/2.css", "mine");
  ASSERT_TRUE(CopyFolder(site.path() / "old/Skin", site.path() / "Skin", false));
  EXPECT_EQ(Slurp(site.path() / "Skin/1.css"), "old css");
  ASSERT_TRUE(CopyFolder(site.path() / "old/Skin", site.path() / "Skin", true));
  EXPECT_EQ(Slurp(site.path() / "Skin/1.css"), "new css");
  EXPECT_EQ(Slurp(site.path() / "Skin/2.css"), "mine");
  EXPECT_EQ(NamesIn(site.path() / "Skin"), (std::set<std::string>{"1.css", "2.css"}));
}

TEST(FolderTest, CopyFolderRefusesBadSourcesAndDestinations) {
  TempFolder site;
  site.Write("a/x.txt", "x");
  std::error_code error;
  EXPECT_FALSE(CopyFolder(site.path() / "missing", site.path() / "b", true, &error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(stdfs::exists(site.path() / "b"));
  EXPECT_FALSE(CopyFolder(site.path() / "a/x.txt", site.path() / "b", true, &error));
  EXPECT_FALSE(stdfs::exists(site.path() / "b"));
  EXPECT_FALSE(CopyFolder(site.path() / "a", site.path() / "a", true, &error));
  EXPECT_EQ(error, std::errc::invalid_argument);
  EXPECT_FALSE(CopyFolder(site.path() / "a", site.path() / "a/inner", true, &error));
  EXPECT_FALSE(stdfs::exists(site.path() / "a/inner"));
  // A file where a copied folder must go: the rest is still copied, the failure reported.
  site.Write("a/sub/y.txt", "y");
  site.Write("c/sub", "file in the way");
  EXPECT_FALSE(CopyFolder(site.path() / "a", site.path() / "c", true, &error));
  EXPECT_EQ(Slurp(site.path() / "c/x.txt"), "x");
  EXPECT_EQ(Slurp(site.path() / "c/sub"), "file in the way");
}

TEST(FolderTest, RenameFolderRenamesOnlyOntoAFreeName) {
  TempFolder site;
  site.Write("news/pic/a.jpg", "a");
  site.Write("other/b.jpg", "b");
  std::error_code error;

  ASSERT_TRUE(RenameFolder(site.path() / "news", "article", &error));
  EXPECT_FALSE(error);
  EXPECT_EQ(Slurp(site.path() / "article/pic/a.jpg"), "a");
  EXPECT_FALSE(stdfs::exists(site.path() / "news"));

  EXPECT_TRUE(RenameFolder(site.path() / "article", "article"));
  ASSERT_TRUE(RenameFolder(site.path() / "article", "Article"));  // a change of case only
  EXPECT_EQ(NamesIn(site.path()), (std::set<std::string>{"Article", "other"}));

  EXPECT_FALSE(RenameFolder(site.path() / "Article", "other", &error));
  EXPECT_EQ(error, std::errc::file_exists);
  EXPECT_FALSE(RenameFolder(site.path() / "Article", "OTHER", &error));
  EXPECT_EQ(error, std::errc::file_exists);
  site.MakeFolder("empty");
  EXPECT_FALSE(RenameFolder(site.path() / "Article", "empty", &error));
  EXPECT_EQ(NamesIn(site.path()), (std::set<std::string>{"Article", "other", "empty"}));
  EXPECT_EQ(Slurp(site.path() / "other/b.jpg"), "b");

  EXPECT_FALSE(RenameFolder(site.path() / "missing", "x", &error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(stdfs::exists(site.path() / "x"));
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "../up"}) {
    EXPECT_FALSE(RenameFolder(site.path() / "Article", bad, &error)) << bad;
    EXPECT_EQ(error, std::errc::invalid_argument) << bad;
  }
  EXPECT_FALSE(RenameFolder(site.path() / "Article", std::string("a\0b", 3), &error));
  EXPECT_FALSE(RenameFolder(site.path() / "other/b.jpg", "c.jpg", &error));
  EXPECT_EQ(error, std::errc::not_a_directory);
  EXPECT_TRUE(stdfs::exists(site.path() / "Article/pic/a.jpg"));
}

TEST(FolderTest, DeleteFolderRemovesTheTreeButNothingALinkPointsTo) {
  TempFolder site;
  TempFolder outside;
  outside.Write("keep/secret.txt", "secret");
  site.Write("news/list/List_1.html", "x");
  stdfs::create_directory_symlink(outside.path() / "keep", site.path() / "news/out");
  stdfs::create_directory_symlink(outside.path() / "keep", site.path() / "linked");

  std::error_code error;
  EXPECT_TRUE(DeleteFolder(site.path() / "news", &error));
  EXPECT_FALSE(error);
  EXPECT_FALSE(stdfs::exists(site.path() / "news"));
  EXPECT_TRUE(DeleteFolder(site.path() / "linked/."));
  EXPECT_FALSE(stdfs::exists(stdfs::symlink_status(site.path() / "linked")));
  EXPECT_EQ(Slurp(outside.path() / "keep/secret.txt"), "secret");

  EXPECT_TRUE(DeleteFolder(site.path() / "never", &error));
  EXPECT_FALSE(error);
  site.Write("file.html", "x");
  EXPECT_FALSE(DeleteFolder(site.path() / "file.html", &error));
  EXPECT_EQ(error, std::errc::not_a_directory);
  EXPECT_TRUE(FileExists(site.path() / "file.html"));
}

// A folder set aside leaves its path, replaces what was set aside there before, and its files are
// taken over by the writes that name them: written whole over their old, longer content, moved
// to the new name, never written through when they are links, shared or large.
TEST(FolderTest, FilesOfAFolderSetAsideAreTakenOverByTheWritesThatFollow) {
  TempFolder site;
  TempFolder outside;
  const stdfs::path aside = site.path() / "data/cleared/news";
  site.Write("data/cleared/news/stale.html", "left by an earlier clear");
  site.Write("news/1.html", std::string(5000, 'o'));
  site.Write("news/2.html", "old two");
  site.Write("news/3.html", std::string(2 << 20, 'b'));
  outside.Write("secret.txt", "secret");
  stdfs::create_symlink(outside.path() / "secret.txt", site.path() / "news/4.html");
  stdfs::create_hard_link(site.path() / "news/2.html", outside.path() / "shared.html");
  stdfs::permissions(site.path() / "news/1.html", stdfs::perms::owner_read |
                                                      stdfs::perms::owner_write |
                                                      stdfs::perms::group_read);
  const ino_t first_inode = InodeOf(site.path() / "news/1.html");

  std::error_code error;
  ASSERT_TRUE(SetFolderAside(site.path() / "news", aside, &error));
  EXPECT_FALSE(error);
  EXPECT_FALSE(stdfs::exists(site.path() / "news"));
  EXPECT_EQ(NamesIn(aside), (std::set<std::string>{"1.html", "2.html", "3.html", "4.html"}));
  // A missing folder changes nothing; a file is not a folder.
  EXPECT_TRUE(SetFolderAside(site.path() / "news", aside));
  EXPECT_EQ(NamesIn(aside).size(), 4u);
  site.Write("page.html", "x");
  EXPECT_FALSE(SetFolderAside(site.path() / "page.html", site.path() / "data/cleared/page"));
  EXPECT_TRUE(FileExists(site.path() / "page.html"));

  ASSERT_TRUE(CreateFolderPath(site.path() / "news"));
  for (const char* name : {"1.html", "2.html", "3.html", "4.html", "5.html"}) {
    ASSERT_TRUE(WriteFileReusing(site.path() / "news" / name, std::string("new ") + name,
                                 aside / name, &error))
        << name;
    EXPECT_FALSE(error);
    EXPECT_EQ(Slurp(site.path() / "news" / name), std::string("new ") + name);
  }
  EXPECT_EQ(InodeOf(site.path() / "news/1.html"), first_inode);
  EXPECT_EQ(stdfs::status(site.path() / "news/1.html").permissions() & stdfs::perms::all,
            stdfs::perms::owner_read | stdfs::perms::owner_write | stdfs::perms::group_read);
  EXPECT_EQ(Slurp(outside.path() / "secret.txt"), "secret");
  EXPECT_EQ(Slurp(outside.path() / "shared.html"), "old two");
  EXPECT_EQ(NamesIn(site.path() / "news"),
            (std::set<std::string>{"1.html", "2.html", "3.html", "4.html", "5.html"}));
  EXPECT_TRUE(NamesIn(aside).empty());

  // A page written over an existing one keeps that page's permission bits.
  site.Write("data/cleared/news/1.html", "spare");
  stdfs::permissions(site.path() / "news/1.html",
                     stdfs::perms::owner_read | stdfs::perms::owner_write);
  ASSERT_TRUE(WriteFileReusing(site.path() / "news/1.html", "again", aside / "1.html"));
  EXPECT_EQ(Slurp(site.path() / "news/1.html"), "again");
  EXPECT_EQ(stdfs::status(site.path() / "news/1.html").permissions() & stdfs::perms::all,
            stdfs::perms::owner_read | stdfs::perms::owner_write);
  EXPECT_TRUE(NamesIn(aside).empty());
}

// A spare another writer holds is left to it: the page is written without it, and the spare
// keeps its name and its content.
TEST(FolderTest, ASpareHeldByAnotherWriterIsLeftAlone) {
  TempFolder site;
  const stdfs::path aside = site.path() / "data/cleared/news";
  site.Write("data/cleared/news/1.html", "held");
  ASSERT_TRUE(CreateFolderPath(site.path() / "news"));
  const int held = open((aside / "1.html").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  std::error_code error;
  EXPECT_TRUE(WriteFileReusing(site.path() / "news/1.html", "new one", aside / "1.html", &error));
  EXPECT_FALSE(error);
  EXPECT_EQ(Slurp(site.path() / "news/1.html"), "new one");
  EXPECT_EQ(Slurp(aside / "1.html"), "held");
  close(held);
  // Once free it is taken by the next write of that name.
  EXPECT_TRUE(WriteFileReusing(site.path() / "news/1.html", "again", aside / "1.html"));
  EXPECT_EQ(Slurp(site.path() / "news/1.html"), "again");
  EXPECT_TRUE(NamesIn(aside).empty());
}

TEST(FileTest, DeleteFileRemovesFilesOnly) {
  TempFolder site;
  site.Write("pic/a.jpg", "a");
  std::error_code error;
  EXPECT_TRUE(DeleteFile(site.path() / "pic/a.jpg", &error));
  EXPECT_FALSE(stdfs::exists(site.path() / "pic/a.jpg"));
  EXPECT_TRUE(DeleteFile(site.path() / "pic/a.jpg", &error));
  EXPECT_FALSE(error);
  EXPECT_FALSE(DeleteFile(site.path() / "pic", &error));
  EXPECT_EQ(error, std::errc::is_a_directory);
  EXPECT_TRUE(FolderExists(site.path() / "pic"));
}

TEST(FileTest, DeleteFilesInDeletesOnlyMatchingFiles) {
  TempFolder site;
  for (const char* name : {"default.html", "default.htm", "Default.SHTML", "list_1.html",
                           "mydefault.html", "default.dir/inner.html"}) {
    site.Write(name, "x");
  }
  std::error_code error;
  EXPECT_TRUE(DeleteFilesIn(site.path(), Matching("^default\\."), &error));
  EXPECT_FALSE(error);
  EXPECT_EQ(NamesIn(site.path()),
            (std::set<std::string>{"list_1.html", "mydefault.html", "default.dir"}));
  EXPECT_TRUE(FileExists(site.path() / "default.dir/inner.html"));

  // No test at all takes every file; sub-folders and their files stay.
  EXPECT_TRUE(DeleteFilesIn(site.path(), NameFilter()));
  EXPECT_EQ(NamesIn(site.path()), std::set<std::string>{"default.dir"});
  EXPECT_TRUE(FileExists(site.path() / "default.dir/inner.html"));

  EXPECT_TRUE(DeleteFilesIn(site.path() / "missing", NameFilter(), &error));
  EXPECT_FALSE(error);
}

TEST(FolderTest, DeleteSubFoldersDeletesOnlyMatchingFolders) {
  TempFolder site;
  site.Write("List/List_1.html", "x");
  site.Write("ListHot/a.html", "x");
  site.Write("Subject/a.html", "x");
  site.Write("list.html", "x");
  EXPECT_TRUE(DeleteSubFolders(site.path(), Matching("^list")));
  EXPECT_EQ(NamesIn(site.path()), (std::set<std::string>{"Subject", "list.html"}));
  EXPECT_TRUE(DeleteSubFolders(site.path(), NameFilter()));
  EXPECT_EQ(NamesIn(site.path()), std::set<std::string>{"list.html"});
}

TEST(ListFolderTest, ListsFilesAndFoldersWithSizesAndDates) {
  TempFolder site;
  site.Write("pic/b.jpg", std::string(2048, 'b'));
  site.Write("pic/A.gif", "12345");
  site.Write("pic/c.SWF", "");
  site.Write("pic/noext", "1");
  site.Write("pic/Sub2/x.jpg", "x");
  site.Write("pic/ad/y.jpg", "y");
  stdfs::create_symlink(site.path() / "pic/A.gif", site.path() / "pic/alias.gif");
  stdfs::create_symlink(site.path() / "pic/gone.gif", site.path() / "pic/dead.gif");

  tm local{};
  local.tm_year = 2021 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 4;
  local.tm_hour = 5;
  local.tm_min = 6;
  local.tm_sec = 7;
  local.tm_isdst = -1;
  timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (site.path() / "pic/b.jpg").c_str(), times, 0), 0);

  std::error_code error;
  std::optional<FolderListing> listing = ListFolder(site.path() / "pic", &error);
  ASSERT_TRUE(listing.has_value());
  EXPECT_FALSE(error);
  std::vector<std::string> files;
  for (const EntryInfo& file : listing->files) files.push_back(file.name);
  EXPECT_EQ(files, (std::vector<std::string>{"A.gif", "alias.gif", "b.jpg", "c.SWF", "noext"}));
  std::vector<std::string> folders;
  for (const EntryInfo& folder : listing->folders) folders.push_back(folder.name);
  EXPECT_EQ(folders, (std::vector<std::string>{"ad", "Sub2"}));

  const EntryInfo& b = listing->files[2];
  EXPECT_EQ(b.size, 2048u);
  EXPECT_EQ(b.path, site.path() / "pic" / "b.jpg");
  EXPECT_EQ(b.extension, "jpg");
  EXPECT_EQ(b.date_last_modified, (DateTime{2021, 3, 4, 5, 6, 7}));
  EXPECT_EQ(listing->files[0].size, 5u);
  EXPECT_EQ(listing->files[1].size, 5u);  // a link is described by what it points to
  EXPECT_EQ(listing->files[3].extension, "SWF");
  EXPECT_EQ(listing->files[3].size, 0u);
  EXPECT_EQ(listing->files[4].extension, "");
  EXPECT_EQ(listing->folders[1].size, 0u);
  EXPECT_GT(listing->folders[1].date_last_modified.year, 2020);
}

TEST(ListFolderTest, FolderThatCannotBeOpenedGivesNothing) {
  TempFolder site;
  site.Write("a.txt", "x");
  std::error_code error;
  EXPECT_EQ(ListFolder(site.path() / "missing", &error), std::nullopt);
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_EQ(ListFolder(site.path() / "a.txt", &error), std::nullopt);
  EXPECT_EQ(error, std::errc::not_a_directory);
  std::optional<FolderListing> empty = ListFolder(site.MakeFolder("empty"));
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->files.empty());
  EXPECT_TRUE(empty->folders.empty());
}

TEST(ExistsTest, TellsFilesFromFolders) {
  TempFolder site;
  site.Write("a/b.txt", "x");
  EXPECT_TRUE(FileExists(site.path() / "a/b.txt"));
  EXPECT_FALSE(FolderExists(site.path() / "a/b.txt"));
  EXPECT_TRUE(FolderExists(site.path() / "a"));
  EXPECT_FALSE(FileExists(site.path() / "a"));
  EXPECT_FALSE(FileExists(site.path() / "a/none.txt"));
  EXPECT_FALSE(FolderExists(site.path() / "none"));
}

}  // namespace
}  // namespace folirex::fs
