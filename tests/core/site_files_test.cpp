// The site file helpers over a real folder: script bodies, folder creation, text files in code
// page 936, renames and deletions, and the paths they refuse.
#include "core/site_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/host/server.h"
#include "platform/text/codepage.h"
#include "support/test_site.h"

namespace folirex::testing {
namespace {

namespace stdfs = std::filesystem;

class SiteFilesTest : public ::testing::Test {
 protected:
  SiteFilesTest() : server_(folder_.path(), "/") { state_.host.Server = &server_; }

  void UseInstallDir(const std::string& dir) {
    server_.SetInstallDir(dir);
    stdfs::create_directories(folder_.path() / dir.substr(1));
  }

  stdfs::path Disk(const std::string& relative) const { return folder_.path() / relative; }

  void Touch(const std::string& relative, const std::string& bytes = "x") {
    stdfs::create_directories(Disk(relative).parent_path());
    std::ofstream(Disk(relative), std::ios::binary) << bytes;
  }

  static std::string Bytes(const stdfs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TempFolder folder_;
  Server server_;
  RequestState state_;
  TextFilesSeen seen_;
};

TEST(HtmlToJsWriteTest, OneStatementPerLineWithQuotesAndBackslashesEscaped) {
  EXPECT_EQ(HtmlToJsWrite("<a href=\"x\">C:\\dir</a>\r\n<br>"),
            "document.write(\"<a href=\\\"x\\\">C:\\\\dir</a>\");\r\n"
            "document.write(\"<br>\");\r\n");
  // The backslash added before a quote is not doubled again.
  EXPECT_EQ(HtmlToJsWrite("\\\""), "document.write(\"\\\\\\\"\");\r\n");
  EXPECT_EQ(HtmlToJsWrite(""), "");
  EXPECT_EQ(HtmlToJsWrite("<p>\r\n"), "document.write(\"<p>\");\r\ndocument.write(\"\");\r\n");
  // Single quotes and script end tags pass: the body is a script file, not inline script.
  EXPECT_EQ(HtmlToJsWrite("it's</script>"), "document.write(\"it's</script>\");\r\n");
  EXPECT_EQ(HtmlToJsWrite("中文"), "document.write(\"中文\");\r\n");
}

TEST(HtmlToJsWriteTest, StrayLineBreaksCannotBreakTheStatement) {
  // A lone CR or LF (text typed on another system, an encoded comment whose CR stayed) would end
  // the script string and make the whole snippet a syntax error.
  EXPECT_EQ(HtmlToJsWrite("a\rb\nc"), "document.write(\"a\\rb\\nc\");\r\n");
  EXPECT_EQ(HtmlToJsWrite("a\n\r\nb"), "document.write(\"a\\n\");\r\ndocument.write(\"b\");\r\n");
  EXPECT_EQ(HtmlToJsWrite("x\xE2\x80\xA8y\xE2\x80\xA9z"),
            "document.write(\"x\\u2028y\\u2029z\");\r\n");
  // Other characters whose UTF-8 form starts with the same byte pass unchanged.
  EXPECT_EQ(HtmlToJsWrite("\xE2\x80\x94"), "document.write(\"\xE2\x80\x94\");\r\n");
}

TEST_F(SiteFilesTest, CreateFolderPathMakesEveryMissingFolderAndRewritesTheArgument) {
  std::string path = "news\\Js";
  EXPECT_TRUE(CreateFolderPath(state_.host, path));
  EXPECT_EQ(path, "news/Js");
  EXPECT_TRUE(stdfs::is_directory(Disk("news/Js")));

  // All folders there already: nothing changes.
  Touch("news/Js/keep.js");
  EXPECT_TRUE(CreateFolderPath(state_.host, path));
  EXPECT_TRUE(stdfs::exists(Disk("news/Js/keep.js")));

  // Rooted, doubled and trailing slashes.
  EXPECT_TRUE(CreateFolderPath(state_.host, std::string_view("/a//b/c/")));
  EXPECT_TRUE(stdfs::is_directory(Disk("a/b/c")));
  EXPECT_TRUE(CreateFolderPath(state_.host, std::string_view("single")));
  EXPECT_TRUE(stdfs::is_directory(Disk("single")));

  // Paths relative to the install folder, rooted ones from the web root.
  UseInstallDir("/site/");
  EXPECT_TRUE(CreateFolderPath(state_.host, std::string_view("sports/Js")));
  EXPECT_TRUE(stdfs::is_directory(Disk("site/sports/Js")));
}

TEST_F(SiteFilesTest, TextFilesAreWrittenAndReadInCodePage936) {
  // The folder must exist: no file, the caller learns it, the disk is unchanged.
  EXPECT_FALSE(WriteTextFile(state_.host, "news/Js/a.js", "x"));
  EXPECT_FALSE(stdfs::exists(Disk("news")));

  ASSERT_TRUE(CreateFolderPath(state_.host, std::string_view("news/Js")));
  EXPECT_TRUE(WriteTextFile(state_.host, "news/Js/a.js", "公告\r\n"));
  EXPECT_EQ(Bytes(Disk("news/Js/a.js")), Utf8ToGbk("公告\r\n"));
  EXPECT_EQ(ReadTextFile(state_.host, "news/Js/a.js"), "公告\r\n");
  EXPECT_EQ(ReadTextFile(state_.host, "/news/js/A.JS"), "公告\r\n");  // the site ignores case

  // Overwritten whole.
  EXPECT_TRUE(WriteTextFile(state_.host, "news/Js/a.js", "b"));
  EXPECT_EQ(ReadTextFile(state_.host, "news/Js/a.js"), "b");
  // Written empty.
  EXPECT_TRUE(WriteTextFile(state_.host, "news/Js/a.js", ""));
  EXPECT_TRUE(stdfs::exists(Disk("news/Js/a.js")));
  EXPECT_EQ(stdfs::file_size(Disk("news/Js/a.js")), 0u);

  EXPECT_EQ(ReadTextFile(state_.host, "news/Js/missing.js"), "");
  EXPECT_EQ(ReadTextFile(state_.host, "news/Js"), "");  // a folder
}

TEST_F(SiteFilesTest, AFileFoundToHoldATextIsReadAgainOnceChangedOnTheDisk) {
  ASSERT_TRUE(CreateFolderPath(state_.host, std::string_view("news/Js")));
  ASSERT_TRUE(WriteTextFile(state_.host, "news/Js/a.js", "公告一"));
  EXPECT_TRUE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", "公告一"));
  EXPECT_TRUE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", "公告一"));
  EXPECT_FALSE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", "公告二"));

  // Replaced by another file of the same size, as an editor saves it.
  Touch("news/Js/b.js", Utf8ToGbk("公告二"));
  stdfs::rename(Disk("news/Js/b.js"), Disk("news/Js/a.js"));
  EXPECT_FALSE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", "公告一"));
  EXPECT_TRUE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", "公告二"));

  // Written over in place, later.
  Touch("news/Js/a.js", Utf8ToGbk("公告三"));
  stdfs::last_write_time(Disk("news/Js/a.js"),
                         stdfs::last_write_time(Disk("news/Js/a.js")) + std::chrono::seconds(2));
  EXPECT_FALSE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", "公告二"));
  EXPECT_TRUE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", "公告三"));

  // Gone: it holds nothing.
  stdfs::remove(Disk("news/Js/a.js"));
  EXPECT_FALSE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", "公告三"));
  EXPECT_TRUE(TextFileHolds(&seen_, state_.host, "news/Js/a.js", ""));
}

TEST_F(SiteFilesTest, AFolderReadOnceWritesAndFindsAsTheSitePathsWould) {
  Touch("news/c1/OLD.HTML", "old");
  Touch("news/c1/7_2.html", "page 2");
  stdfs::create_directories(Disk("news/c1/8_2.html"));  // a folder, not a page
  SiteFolder files(state_.host, "news/c1/", true);

  // A new name is written as given; a name held in another case replaces that file, as the
  // site's mapping picks it.
  EXPECT_TRUE(files.WriteText("7.html", "页一"));
  EXPECT_EQ(Bytes(Disk("news/c1/7.html")), Utf8ToGbk("页一"));
  EXPECT_TRUE(files.WriteText("old.html", "new"));
  EXPECT_EQ(Bytes(Disk("news/c1/OLD.HTML")), "new");
  EXPECT_FALSE(stdfs::exists(Disk("news/c1/old.html")));

  // Files held, written or made by someone else since the reading are found; folders and
  // missing names are not.
  EXPECT_TRUE(files.HoldsFile("7_2.html"));
  EXPECT_TRUE(files.HoldsFile("7_2.HTML"));
  EXPECT_TRUE(files.HoldsFile("7.html"));
  EXPECT_FALSE(files.HoldsFile("8_2.html"));
  EXPECT_FALSE(files.HoldsFile("7_3.html"));
  Touch("news/c1/9.html");
  EXPECT_TRUE(files.WriteText("9.html", "again"));  // replaced whole, not beside it
  EXPECT_EQ(Bytes(Disk("news/c1/9.html")), "again");
  EXPECT_TRUE(files.Delete("7_2.html"));
  EXPECT_FALSE(stdfs::exists(Disk("news/c1/7_2.html")));
  EXPECT_FALSE(files.HoldsFile("7_2.html"));

  // A name that is not plain takes the site path's own checks: it never leaves the site.
  EXPECT_FALSE(files.WriteText("../../../x.html", "x"));
  EXPECT_TRUE(files.WriteText("../top.html", "up"));
  EXPECT_EQ(Bytes(Disk("news/top.html")), "up");

  // Not read, or a folder that is missing: every call goes through the site paths.
  SiteFolder single(state_.host, "news/c1/", false);
  EXPECT_TRUE(single.HoldsFile("7.html"));
  EXPECT_TRUE(single.WriteText("OLD.html", "single"));
  EXPECT_EQ(Bytes(Disk("news/c1/OLD.HTML")), "single");
  SiteFolder missing(state_.host, "news/none/", true);
  EXPECT_FALSE(missing.WriteText("a.html", "x"));
  EXPECT_FALSE(missing.HoldsFile("a.html"));
  EXPECT_FALSE(stdfs::exists(Disk("news/none")));
}

TEST_F(SiteFilesTest, PathsOutsideTheSiteAreRefusedWithoutTouchingTheDisk) {
  stdfs::path outside = folder_.path().parent_path() / (folder_.path().filename().string() + "x");
  EXPECT_FALSE(WriteTextFile(state_.host, "../" + outside.filename().string(), "x"));
  EXPECT_FALSE(stdfs::exists(outside));
  EXPECT_FALSE(
      CreateFolderPath(state_.host, std::string_view("../" + outside.filename().string())));
  EXPECT_FALSE(stdfs::exists(outside));
  EXPECT_EQ(ReadTextFile(state_.host, "../../etc/passwd"), "");
  EXPECT_FALSE(DeleteFile(state_.host, "../x"));
  EXPECT_FALSE(DeleteFolder(state_.host, "a/../../x"));
  EXPECT_FALSE(CopyFolder(state_.host, "../", "copy", true));
  EXPECT_FALSE(stdfs::exists(Disk("copy")));

  // No host: every step fails plainly.
  HostObjects bare;
  EXPECT_FALSE(WriteTextFile(bare, "a.js", "x"));
  EXPECT_EQ(ReadTextFile(bare, "a.js"), "");
}

TEST_F(SiteFilesTest, RenameFolderRenamesOrCreatesAndNeverTouchesTheRoot) {
  // A missing folder is created under its old name; nothing is renamed.
  EXPECT_TRUE(RenameFolder(state_.host, "old", "new"));
  EXPECT_TRUE(stdfs::is_directory(Disk("old")));
  EXPECT_FALSE(stdfs::exists(Disk("new")));

  Touch("old/page.html");
  EXPECT_TRUE(RenameFolder(state_.host, "old", "new"));
  EXPECT_TRUE(stdfs::exists(Disk("new/page.html")));
  EXPECT_FALSE(stdfs::exists(Disk("old")));

  // Onto a name that is taken: the folder stays as it was.
  Touch("other/x.html");
  EXPECT_FALSE(RenameFolder(state_.host, "other", "new"));
  EXPECT_TRUE(stdfs::exists(Disk("other/x.html")));

  EXPECT_FALSE(RenameFolder(state_.host, "/", "gone"));
  EXPECT_FALSE(RenameFolder(state_.host, "", "gone"));
  EXPECT_TRUE(stdfs::exists(folder_.path()));
  UseInstallDir("/site/");
  EXPECT_FALSE(RenameFolder(state_.host, "/site", "gone"));
  EXPECT_FALSE(RenameFolder(state_.host, "./", "gone"));
  EXPECT_TRUE(stdfs::is_directory(Disk("site")));
}

TEST_F(SiteFilesTest, DeleteFolderRemovesTheFolderButNeverTheRootOrInstallFolder) {
  Touch("news/tech/1.html");
  EXPECT_TRUE(DeleteFolder(state_.host, "news/tech"));
  EXPECT_FALSE(stdfs::exists(Disk("news/tech")));
  EXPECT_TRUE(stdfs::is_directory(Disk("news")));
  EXPECT_TRUE(DeleteFolder(state_.host, "news/tech"));  // missing: nothing to do

  Touch("file.html");
  EXPECT_FALSE(DeleteFolder(state_.host, "file.html"));  // a file is no folder
  EXPECT_TRUE(stdfs::exists(Disk("file.html")));

  EXPECT_FALSE(DeleteFolder(state_.host, "/"));
  EXPECT_FALSE(DeleteFolder(state_.host, ""));
  EXPECT_FALSE(DeleteFolder(state_.host, "news/.."));
  EXPECT_TRUE(stdfs::exists(Disk("file.html")));

  UseInstallDir("/site/");
  Touch("site/news/1.html");
  EXPECT_FALSE(DeleteFolder(state_.host, ""));  // a channel without folder has the install folder
  EXPECT_FALSE(DeleteFolder(state_.host, "/site/"));
  EXPECT_TRUE(stdfs::exists(Disk("site/news/1.html")));
  EXPECT_TRUE(DeleteFolder(state_.host, "news"));
  EXPECT_FALSE(stdfs::exists(Disk("site/news")));
}

TEST_F(SiteFilesTest, DeleteFilesInTakesTheNamesThePatternMatches) {
  for (const char* name : {"default.html", "DEFAULT.htm", "list_1.html", "mydefault.html"}) {
    Touch(std::string("news/") + name);
  }
  Touch("news/sub/default.html");
  EXPECT_TRUE(DeleteFilesIn(state_.host, "news/", "^default\\."));
  EXPECT_FALSE(stdfs::exists(Disk("news/default.html")));
  EXPECT_FALSE(stdfs::exists(Disk("news/DEFAULT.htm")));
  EXPECT_TRUE(stdfs::exists(Disk("news/list_1.html")));
  EXPECT_TRUE(stdfs::exists(Disk("news/mydefault.html")));
  EXPECT_TRUE(stdfs::exists(Disk("news/sub/default.html")));  // sub-folders are not entered

  // A broken pattern takes nothing and says so.
  EXPECT_FALSE(DeleteFilesIn(state_.host, "news/", "(list"));
  EXPECT_TRUE(stdfs::exists(Disk("news/list_1.html")));

  // An empty pattern takes every file of the folder.
  EXPECT_TRUE(DeleteFilesIn(state_.host, "news/", ""));
  EXPECT_FALSE(stdfs::exists(Disk("news/list_1.html")));
  EXPECT_FALSE(stdfs::exists(Disk("news/mydefault.html")));
  EXPECT_TRUE(stdfs::exists(Disk("news/sub/default.html")));

  EXPECT_TRUE(DeleteFilesIn(state_.host, "missing/", ""));  // nothing there, nothing to delete
}

TEST_F(SiteFilesTest, DeleteSubFoldersSparesFilesAndTheInstallFolder) {
  Touch("news/tech/1.html");
  Touch("news/sport/2.html");
  Touch("news/List_1.html");
  EXPECT_TRUE(DeleteSubFolders(state_.host, "news/", "^tech$"));
  EXPECT_FALSE(stdfs::exists(Disk("news/tech")));
  EXPECT_TRUE(stdfs::exists(Disk("news/sport/2.html")));
  EXPECT_TRUE(DeleteSubFolders(state_.host, "news/", ""));
  EXPECT_FALSE(stdfs::exists(Disk("news/sport")));
  EXPECT_TRUE(stdfs::exists(Disk("news/List_1.html")));

  UseInstallDir("/site/");
  Touch("site/data/site.db");
  Touch("old/x.html");
  EXPECT_FALSE(DeleteSubFolders(state_.host, "/", ""));
  EXPECT_TRUE(stdfs::exists(Disk("site/data/site.db")));
  EXPECT_FALSE(stdfs::exists(Disk("old")));
}

TEST_F(SiteFilesTest, DeleteFileAndCopyFolder) {
  Touch("a/b.html");
  EXPECT_TRUE(DeleteFile(state_.host, "a/b.html"));
  EXPECT_FALSE(stdfs::exists(Disk("a/b.html")));
  EXPECT_TRUE(DeleteFile(state_.host, "a/b.html"));
  EXPECT_FALSE(DeleteFile(state_.host, "a"));  // a folder is no file
  EXPECT_TRUE(stdfs::is_directory(Disk("a")));

  Touch("src/Images/logo.gif", "new");
  Touch("dst/Images/logo.gif", "old");
  EXPECT_TRUE(CopyFolder(state_.host, "src/Images", "dst/Images/", false));
  EXPECT_EQ(Bytes(Disk("dst/Images/logo.gif")), "old");
  EXPECT_TRUE(CopyFolder(state_.host, "src/Images", "dst/Images/", true));
  EXPECT_EQ(Bytes(Disk("dst/Images/logo.gif")), "new");
  EXPECT_TRUE(CopyFolder(state_.host, "src", "fresh/copy", true));
  EXPECT_EQ(Bytes(Disk("fresh/copy/Images/logo.gif")), "new");
  EXPECT_FALSE(CopyFolder(state_.host, "nothing", "dst2", true));
  EXPECT_FALSE(stdfs::exists(Disk("dst2")));
}

}  // namespace
}  // namespace folirex::testing
