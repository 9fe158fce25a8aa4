// The upload pop-up and the keyword pick list through the real host: the form, a stored upload
// and the script that fills the opener's field; every refusal answered with its message and
// nothing stored or written back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "console/console_site.h"

namespace folirex::testing {
namespace {

const char kMultipart[] = "multipart/form-data; boundary=----WebKitFormBoundaryQ1";
const char kParameterError[] = "提示：参数错误！";

std::string UploadBody(const std::string& filename, const std::string& data,
                       const std::string& field = "uploadfile") {
  return "------WebKitFormBoundaryQ1\r\nContent-Disposition: form-data; name=\"" + field +
         "\"; filename=\"" + filename + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
         data + "\r\n------WebKitFormBoundaryQ1--\r\n";
}

// Every file below the folder, as paths relative to it.
std::vector<std::string> FilesUnder(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  if (!std::filesystem::exists(folder)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files.push_back(std::filesystem::relative(entry.path(), folder).string());
    }
  }
  return files;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class UploadPopupTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  HttpAnswer Save(const std::string& query, const std::string& body) {
    return site_.PostRaw("/admin.asp?m=uploadfile&action=save&" + query, body, kMultipart);
  }
  std::vector<std::string> Stored() {
    std::vector<std::string> files = FilesUnder(site_.Disk("Article/uploadfile"));
    for (const std::string& f : FilesUnder(site_.Disk("Uploads"))) files.push_back(f);
    return files;
  }

  ConsoleSite site_;
};

TEST_F(UploadPopupTest, ArticleUploadLandsInTheChannelFolderAndItsAddressInTheOpener) {
  std::string form =
      site_.Get("/admin.asp?m=uploadfile&channelid=1&type=article&lm=article&field=form1.d_picurl")
          .text;
  EXPECT_TRUE(Contains(form, "<TITLE>文件上传</TITLE>"));
  EXPECT_TRUE(Contains(form, "var sAllowExt = \"jpg|jpeg|gif|png|bmp|rar|zip|doc|xls\";"));
  EXPECT_TRUE(Contains(form, "文件上传：（jpg|jpeg|gif|png|bmp|rar|zip|doc|xls）"));
  EXPECT_TRUE(
      Contains(form,
               "action=\"?m=uploadfile&amp;channelid=1&amp;action=save&amp;type=ARTICLE&amp;"
               "field=form1.d_picurl&amp;lm=ARTICLE\""));
  EXPECT_TRUE(Contains(form, "enctype=\"multipart/form-data\""));
  EXPECT_TRUE(Contains(form, "<input type=\"file\" name=\"uploadfile\" size=\"30\">"));

  // A capital extension is stored in lower case under a new name of the time and a number.
  std::string bytes("\xFF\xD8\r\n--x\r\n\0binary", 16);
  HttpAnswer saved = Save("channelid=1&type=ARTICLE&field=form1.d_picurl&lm=ARTICLE",
                          UploadBody("C:\\photos\\PHOTO.JPG", bytes));
  std::smatch match;
  ASSERT_TRUE(std::regex_search(
      saved.text, match,
      std::regex("opener\\.document\\.form1\\.d_picurl\\.value = \"/Article/uploadfile/"
                 "(\\d{14}[1-9]\\d\\d\\.jpg)\";\r\n")))
      << saved.text;
  EXPECT_TRUE(Contains(saved.text, "self.close();"));
  EXPECT_EQ(ReadFile(site_.Disk("Article/uploadfile") / match[1].str()), bytes);

  // The advertisement forms' images go to the site's Uploads folder.
  HttpAnswer ad = Save("type=IMAGE&field=myform.d_src&lm=AD", UploadBody("banner.gif", "GIF89a"));
  ASSERT_TRUE(std::regex_search(
      ad.text, match,
      std::regex("opener\\.document\\.myform\\.d_src\\.value = \"/Uploads/(\\d{17}\\.gif)\"")))
      << ad.text;
  EXPECT_EQ(ReadFile(site_.Disk("Uploads") / match[1].str()), "GIF89a");
  EXPECT_EQ(Stored().size(), 2u);
}

TEST_F(UploadPopupTest, RefusedRequestsStoreNothingAndWriteNothingBack) {
  const std::string article = "channelid=1&type=ARTICLE&field=form1.d_picurl&lm=ARTICLE";
  const std::string jpg = UploadBody("a.jpg", "data");
  struct Row {
    std::string what;
    std::string query;
    std::string body;
    std::string alert;
  };
  site_.SetChannel(1, "d_upfiletype = 'jpg|php|asp|htm|svg|js|JPG'");
  site_.Add(ChannelRow{.name = "坏目录", .dir = "bad", .id = 7, .upload_dir = "../../outside"});
  for (const Row& row : std::vector<Row>{
           {"unknown type", "channelid=1&type=SCRIPT&field=form1.d_picurl&lm=ARTICLE", jpg,
            kParameterError},
           {"unknown lm", "type=IMAGE&field=myform.d_src&lm=ROOT", jpg, kParameterError},
           {"article upload without a channel", "type=ARTICLE&field=form1.d_picurl&lm=ARTICLE", jpg,
            kParameterError},
           {"channel without row", "channelid=999&type=ARTICLE&field=form1.d_picurl&lm=ARTICLE",
            jpg, kParameterError},
           {"channel id not a number", "channelid=1x&type=IMAGE&field=f.x&lm=AD", jpg,
            kParameterError},
           {"field that is no form.field", "type=IMAGE&lm=AD&field=form1.x;alert(1)", jpg,
            kParameterError},
           {"upload folder leaving the channel",
            "channelid=7&type=IMAGE&field=form1.d_picurl&lm=ARTICLE", jpg,
            "提示：频道的上传目录设置不正确！"},
           {"script type the channel lists", article, UploadBody("x.php", "<?php"),
            "提示：\\n\\n请选择一个有效的文件\\n支持的格式有（jpg|php|asp|htm|svg|js|JPG）！"},
           {"script type as the last of several dots", article, UploadBody("a.jpg.PHP", "<?php"),
            "请选择一个有效的文件"},
           {"markup type", article, UploadBody("page.Htm", "<script>"), "请选择一个有效的文件"},
           {"svg", article, UploadBody("i.svg", "<svg onload=x>"), "请选择一个有效的文件"},
           {"no file part named uploadfile", article, UploadBody("a.jpg", "d", "other"),
            "请选择一个有效的文件"},
           {"empty file input", article, UploadBody("", ""), "请选择一个有效的文件"},
           {"empty body", article, "", "请选择有效的上传文件！"},
           {"truncated body", article, jpg.substr(0, jpg.size() - 40), "请选择有效的上传文件！"},
           {"body that is no multipart body", article, "title=abc", "请选择有效的上传文件！"},
           {"over the channel's limit", article,
            UploadBody("big.jpg", std::string(1024 * 1024 + 1, 'x')),
            "你上传的文件总大小超出了最大限制（1024KB）！"},
       }) {
    SCOPED_TRACE(row.what);
    HttpAnswer answer = Save(row.query, row.body);
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(Contains(AlertText(answer.text), row.alert)) << answer.text;
    EXPECT_FALSE(Contains(answer.text, "opener.document"));
  }
  EXPECT_TRUE(Stored().empty());
  EXPECT_FALSE(std::filesystem::exists(site_.root().parent_path() / "outside"));

  // A folder that cannot be made (a file stands in its place): reported, no address.
  std::filesystem::create_directories(site_.Disk("Article"));
  std::ofstream(site_.Disk("Article/uploadfile")) << "a file";
  HttpAnswer failed = Save(article, jpg);
  EXPECT_EQ(AlertText(failed.text),
            "提示：文件保存失败，请检查上传目录！\\n\\n系统将自动返回前一页面...");
  EXPECT_FALSE(Contains(failed.text, "opener.document"));

  // Signed out, neither the form nor the save is reached.
  site_.ClearCookies();
  HttpAnswer form = site_.Get("/admin.asp?m=uploadfile&type=IMAGE&lm=AD&field=myform.d_src");
  EXPECT_EQ(form.status, 302);
  EXPECT_EQ(form.Header("location"), "admin.asp?m=admin_login");
  HttpAnswer save = Save("type=IMAGE&field=myform.d_src&lm=AD", jpg);
  EXPECT_EQ(save.status, 302);
  EXPECT_TRUE(FilesUnder(site_.Disk("Uploads")).empty());
}

TEST_F(UploadPopupTest, KeywordPickListFillsTheOpenersField) {
  site_.Add(KeywordRow{.name = "体育", .order = 1});
  site_.Add(KeywordRow{.name = "<b>新闻\"'</b>", .order = 5});
  site_.Add(KeywordRow{.name = "other channel", .channel = 2, .order = 9});
  const std::string list = "/admin.asp?m=admin_selectmore&channelid=1&flag=1&field=form1.d_keyword";
  std::string page = site_.Get(list).text;
  EXPECT_TRUE(Contains(page,
                       "<form name=\"delform\" method=\"post\" action=\"?m=admin_selectmore&amp;"
                       "channelid=1&amp;action=select&amp;flag=1&amp;field=form1.d_keyword\">"));
  EXPECT_TRUE(Contains(page,
                       "全选：<input type=\"checkbox\" name=\"chkSelectAll\" "
                       "onclick=\"doCheckAll(this)\"> <input type=\"submit\" value=\"确 定\">"));
  EXPECT_TRUE(Contains(page,
                       "value=\"&lt;b&gt;新闻&quot;&#39;&lt;/b&gt;\"></td><td width=\"95%\">"
                       "&lt;b&gt;新闻&quot;'&lt;/b&gt;</td>"));
  EXPECT_LT(page.find("新闻"), page.find("体育"));
  EXPECT_FALSE(Contains(page, "other channel"));
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_selectmore&channelid=5&flag=1&field=f.k").text,
                       "<tr><td colspan=2>没有记录</td></tr>"));

  // Ticked names joined by "|", blanks dropped; with another flag the names as posted.
  HttpAnswer picked = site_.Post(
      "/admin.asp?m=admin_selectmore&channelid=1&action=select&flag=1&field=form1.d_keyword",
      {{"selectdel", "体育"}, {"selectdel", "a b"}});
  EXPECT_TRUE(Contains(picked.text,
                       "\r\n<script language=javascript>\r\nopener.document.form1."
                       "d_keyword.value = \"体育|ab\";\r\n"));
  EXPECT_TRUE(Contains(picked.text, "self.close();\r\n</script>"));
  HttpAnswer raw = site_.Post(
      "/admin.asp?m=admin_selectmore&channelid=1&action=select&flag=2&field=form1.d_keyword",
      {{"selectdel", "体育"}, {"selectdel", "\"</script>"}});
  EXPECT_TRUE(Contains(raw.text, "value = \"体育, \\\"\\x3C/script>\";"));
  HttpAnswer none = site_.Post(
      "/admin.asp?m=admin_selectmore&channelid=1&action=select&flag=1&field=form1.d_keyword", {});
  EXPECT_TRUE(Contains(none.text, "d_keyword.value = \"\";"));

  EXPECT_EQ(AlertText(site_.Get("/admin.asp?m=admin_selectmore&channelid=1&flag=2&field=f.k").text),
            std::string(kParameterError) + "\\n\\n系统将自动返回前一页面...");
  EXPECT_TRUE(Contains(
      AlertText(site_.Get("/admin.asp?m=admin_selectmore&channelid=1&flag=1&field=x;y").text),
      kParameterError));
  EXPECT_TRUE(Contains(AlertText(site_.Get("/admin.asp?m=admin_selectmore&flag=1&field=f.k").text),
                       "提示：参数错误，请返回！"));
  // The channel id follows the console's one id rule: "007" is none, nor is an id past 18 digits.
  for (const char* bad : {"007", "1234567890123456789"}) {
    const std::string page = site_
                                 .Get(std::string("/admin.asp?m=admin_selectmore&channelid=") +
                                      bad + "&flag=1&field=f.k")
                                 .text;
    EXPECT_TRUE(Contains(AlertText(page), "提示：参数错误，请返回！")) << bad;
    EXPECT_FALSE(Contains(page, "delform")) << bad;
  }
  site_.ClearCookies();
  EXPECT_EQ(site_.Get(list).status, 302);
}

}  // namespace
}  // namespace folirex::testing
