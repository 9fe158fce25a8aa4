#include "platform/host/server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/host/host_fixture.h"

namespace folirex {
namespace {

namespace stdfs = std::filesystem;
using testing::TempFolder;

class MapPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    top_.Write("site/Images/Logo.GIF", "gif");
    top_.Write("site/cms/admin/Admin.css", "css");
    top_.Write("outside.txt", "secret");
    stdfs::create_directory_symlink(top_.path(), top_.path() / "site" / "up");
  }
  stdfs::path Root() const { return top_.path() / "site"; }
  TempFolder top_;
};

TEST_F(MapPathTest, RootAndInstallFolderAddresses) {
  Server server(Root(), "/cms/");
  EXPECT_EQ(server.MapPath("/Images/Logo.GIF"), Root() / "Images" / "Logo.GIF");
  EXPECT_EQ(server.MapPath("admin/Admin.css"), Root() / "cms" / "admin" / "Admin.css");
  EXPECT_EQ(server.MapPath("data/site.db"), Root() / "cms" / "data" / "site.db");
  EXPECT_EQ(server.MapPath("\\cms\\admin\\admin.css"), Root() / "cms" / "admin" / "Admin.css");
  EXPECT_EQ(server.MapPath("/"), Root());
  EXPECT_EQ(server.MapPath(""), Root() / "cms");
}

TEST_F(MapPathTest, LetterCaseOfExistingSegmentsIsIgnored) {
  Server server(Root(), "/");
  EXPECT_EQ(server.MapPath("/images/logo.gif"), Root() / "Images" / "Logo.GIF");
  EXPECT_EQ(server.MapPath("IMAGES/new.gif"), Root() / "Images" / "new.gif");
}

TEST_F(MapPathTest, StepsStayInsideTheSite) {
  Server server(Root(), "/cms/");
  EXPECT_EQ(server.MapPath("../Images/logo.gif"), Root() / "Images" / "Logo.GIF");
  EXPECT_EQ(server.MapPath("/a/./../Images"), Root() / "Images");
  EXPECT_THROW(server.MapPath("../../outside.txt"), HostError);
  EXPECT_THROW(server.MapPath("/../outside.txt"), HostError);
  EXPECT_THROW(server.MapPath("..\\..\\outside.txt"), HostError);
  EXPECT_THROW(server.MapPath("/up/outside.txt"), HostError);
  EXPECT_THROW(server.MapPath(std::string("/a\0b", 4)), HostError);
  // An absolute disk path is an address inside the site, not a way out.
  EXPECT_EQ(server.MapPath("/etc/passwd"), Root() / "etc" / "passwd");
}

TEST(ServerEncoding, HtmlEncodeCoversBothQuoteKinds) {
  Server server;
  EXPECT_EQ(server.HTMLEncode("<a href=\"x\" title='y'>&amp;中文</a>"),
            "&lt;a href=&quot;x&quot; title=&#39;y&#39;&gt;&amp;amp;中文&lt;/a&gt;");
  EXPECT_EQ(server.HTMLEncode(""), "");
}

TEST(ServerEncoding, UrlEncodeUsesCodePage936) {
  Server server;
  EXPECT_EQ(server.URLEncode("中文 a&b=c/d"), "%D6%D0%CE%C4+a%26b%3Dc%2Fd");
  EXPECT_EQ(server.URLEncode("A-z_0.9*"), "A-z_0.9*");
  EXPECT_EQ(server.URLEncode("😀"), "%26%23128512%3B");
}

TEST(ServerComponents, RegistryAnswersByNameWithoutRegardToCase) {
  Server server;
  for (const char* name :
       {"adodb.connection", "Adodb.RecordSet", "ADODB.Stream", "Scripting.FileSystemObject",
        "scripting.dictionary", "VBScript.RegExp", "Microsoft.XMLHTTP"}) {
    auto info = server.CreateObject(name);
    ASSERT_TRUE(info) << name;
    EXPECT_FALSE(info->version.empty()) << name;
    EXPECT_TRUE(info->prog_id.size() == std::string(name).size());
  }
  EXPECT_NE(server.CreateObject("adodb.connection")->version.find("SQLite"), std::string::npos);
  for (const char* name : {"MSWC.AdRotator", "JMail.SmtpMail", "Persits.Upload.1", "", "adodb"}) {
    EXPECT_FALSE(server.CreateObject(name)) << name;
  }
}

TEST(ServerComponents, MailNamesOnlyWhenMailIsConfigured) {
  Server server;
  EXPECT_FALSE(server.CreateObject("CDONTS.NewMail"));
  EXPECT_FALSE(server.CreateObject("jmail.message"));
  server.SetMailConfigured(true);
  EXPECT_TRUE(server.CreateObject("cdonts.newmail"));
  EXPECT_TRUE(server.CreateObject("JMail.Message"));
}

TEST(ServerSettings, InstallDirAndScriptTimeout) {
  Server server("/srv/site", "cms");
  EXPECT_EQ(server.install_dir(), "/cms/");
  server.SetInstallDir("\\a\\b");
  EXPECT_EQ(server.install_dir(), "/a/b/");
  EXPECT_EQ(server.ScriptTimeout(), 90);
  server.SetScriptTimeout(600);
  EXPECT_EQ(server.ScriptTimeout(), 600);
}

}  // namespace
}  // namespace folirex
