// The advertisement page through the host: advertisements of every kind added, listed by kind
// and written as scripts by the JS action; the codes a file may be named by; refusals that store
// nothing; the right every page of the design folder needs; a script that cannot be written.
#include "design/advert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/site_files.h"
#include "design/design_site.h"

namespace folirex::testing {
namespace {

class AdvertTest : public DesignConsoleTest {
 protected:
  static Form Ad(const std::string& code, const std::string& type, const std::string& text = "",
                 const std::string& url = "", const std::string& src = "",
                 const std::string& width = "0", const std::string& height = "0") {
    return {{"d_code", code}, {"d_type", type},   {"d_text", text},     {"d_url", url},
            {"d_src", src},   {"d_width", width}, {"d_height", height}, {"d_desc", "首页顶部"}};
  }
  HttpAnswer Add(const Form& form) {
    return site_.Post("/admin.asp?m=admin_ad&action=addsave", form);
  }
  HttpAnswer MakeJs() { return site_.Post("/admin.asp?m=admin_ad&action=js", {}); }
  int64_t IdOf(const std::string& code) {
    return site_.Number("select d_id from Vantrel_AD where d_code = '" + code + "'");
  }
  int Count() { return site_.Number("select count(*) from Vantrel_AD"); }
};

TEST_F(AdvertTest, AdvertisementsOfEveryKindAreWrittenAsScripts) {
  std::string menu = site_.Get("/admin.asp?m=admin_menu").text;
  EXPECT_TRUE(Contains(menu, "<a href=\"?m=admin_ad\">广告管理</a>"));
  std::string empty = site_.Get("/admin.asp?m=admin_ad").text;
  EXPECT_TRUE(Contains(empty, "当前位置：系统管理&gt;&gt;广告管理"));
  EXPECT_TRUE(Contains(empty, "<td colspan=6 align=center>无数据！</td>"));
  EXPECT_FALSE(Contains(empty, "name='checkaction'"));

  std::string form = site_.Get("/admin.asp?m=admin_ad&action=add").text;
  EXPECT_TRUE(Contains(form, "action='?m=admin_ad&amp;action=addsave'"));
  EXPECT_TRUE(
      Contains(form, "g_OpenWindow('?m=uploadfile&type='+type+'&lm=ad&field=myform.d_src'"));
  EXPECT_TRUE(Contains(form, "name='d_url' size=50 value='http://'"));

  EXPECT_TRUE(Contains(Add(Ad("top-banner", "0", "It's \"ours\"", "http://a.example/?x=1&y=2",
                              "/uploadfile/ad/1.gif", "468", "60abc"))
                           .text,
                       "广告增加保存成功！"));
  Add(Ad("flash_1", "1", "", "", "/uploadfile/ad/m.swf", "300", "100"));
  Add(Ad("text-link", "2", "<b>大减价</b>", "#"));
  Add(Ad("TextOnly", "2", "只有文字"));
  EXPECT_EQ(Count(), 4);
  EXPECT_EQ(site_.SqlValue("select d_height from Vantrel_AD where d_code = 'top-banner'"), "0");
  // Saving writes no file.
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("js/ad/top-banner.js")));

  HttpAnswer made = MakeJs();
  EXPECT_TRUE(Contains(made.text, "前台JS文件生成成功！")) << made.text;
  EXPECT_EQ(site_.FileText("js/ad/top-banner.js"),
            HtmlToJsWrite("<a href='http://a.example/?x=1&amp;y=2' target='_blank'><img border=0 "
                          "src='/uploadfile/ad/1.gif' width='468' height='0' "
                          "alt='It&#39;s &quot;ours&quot;'></a>"));
  std::string flash = site_.FileText("js/ad/flash_1.js");
  EXPECT_TRUE(Contains(flash, "<PARAM NAME=movie VALUE='/uploadfile/ad/m.swf'>")) << flash;
  EXPECT_TRUE(Contains(flash,
                       "<EMBED src='/uploadfile/ad/m.swf' quality=high WIDTH='300' "
                       "HEIGHT='100' TYPE='application/x-shockwave-flash'"));
  EXPECT_TRUE(Contains(flash, "#version=5,0,0,0"));
  EXPECT_EQ(site_.FileText("js/ad/text-link.js"),
            HtmlToJsWrite("<a href='#' target='_blank'>&lt;b&gt;大减价&lt;/b&gt;</a>"));
  EXPECT_EQ(site_.FileText("js/ad/TextOnly.js"), HtmlToJsWrite("只有文字"));

  // An edit changes the row; the script follows at the next JS action.
  int64_t text_only = IdOf("TextOnly");
  std::string edit = site_
                         .Get("/admin.asp?m=admin_ad&action=modi&id=" + std::to_string(text_only) +
                              "&type=2&page=1")
                         .text;
  EXPECT_TRUE(Contains(edit, "name='d_type' value='2' checked>文字广告"));
  EXPECT_TRUE(Contains(edit, "window.open('?m=uploadfile&type='+type+'&lm=ad&field=myform.d_src'"));
  EXPECT_TRUE(Contains(
      edit, "action='?m=admin_ad&amp;action=modisave&amp;id=" + std::to_string(text_only) + "'"));
  HttpAnswer saved =
      site_.Post("/admin.asp?m=admin_ad&action=modisave&id=" + std::to_string(text_only),
                 Ad("TextOnly", "2", "新的文字"));
  EXPECT_TRUE(Contains(saved.text, "广告修改保存成功！"));
  EXPECT_EQ(site_.FileText("js/ad/TextOnly.js"), HtmlToJsWrite("只有文字"));
  MakeJs();
  EXPECT_EQ(site_.FileText("js/ad/TextOnly.js"), HtmlToJsWrite("新的文字"));

  // The list by kind: the filter stays in the edit links and the list form.
  std::string flash_list = site_.Get("/admin.asp?m=admin_ad&type=1").text;
  EXPECT_TRUE(Contains(flash_list, ">flash_1</a>"));
  EXPECT_FALSE(Contains(flash_list, ">top-banner</a>"));
  EXPECT_TRUE(Contains(flash_list, "action='?m=admin_ad&amp;type=1&amp;page=&amp;action='"));
  std::string all = site_.Get("/admin.asp?m=admin_ad&type=01").text;
  EXPECT_TRUE(Contains(all, ">top-banner</a>") && Contains(all, ">flash_1</a>"));
  EXPECT_TRUE(Contains(all, "<a href='/uploadfile/ad/1.gif' target='_blank'>图片</a>"));
  EXPECT_TRUE(Contains(all, "&amp;type=&amp;page=' title='编辑此广告'>TextOnly</a>"));
  EXPECT_TRUE(Contains(all, "<option value='del' selected>删除</option>"));

  // Deleting the ticked rows; nothing ticked deletes nothing.
  HttpAnswer none = site_.Post("/admin.asp?m=admin_ad&action=del", {{"checkid", ""}});
  EXPECT_EQ(none.Header("location"), "?m=admin_ad");
  EXPECT_EQ(Count(), 4);
  HttpAnswer deleted = site_.Post(
      "/admin.asp?m=admin_ad&action=del",
      {{"checkid", std::to_string(IdOf("flash_1")) + ", " + std::to_string(IdOf("text-link"))}});
  EXPECT_EQ(deleted.Header("location"), "?m=admin_ad");
  EXPECT_EQ(Count(), 2);
}

TEST_F(AdvertTest, TheListCutsLongTextsWithoutBreakingTheirEncoding) {
  site_.Sql("insert into Vantrel_AD (d_code, d_type, d_text) values ('a', 2, '" +
            std::string(60, 'x') + "'), ('b', 2, '" + std::string(36, 'y') +
            "&&&&&&&&&&&&&&&&&&&&&&&&&'), ('c', 5, '')");
  std::string list = site_.Get("/admin.asp?m=admin_ad").text;
  EXPECT_TRUE(Contains(list, "<td>" + std::string(60, 'x') + "</td>"));
  EXPECT_TRUE(Contains(list, "<td>" + std::string(36, 'y') + "&amp;...</td>")) << list;
  EXPECT_TRUE(Contains(list, "'>c</a></td><td>文字</td>"));
}

TEST_F(AdvertTest, CodesThatCannotNameAFileAndOtherBadInputAreRefused) {
  Add(Ad("taken", "0"));
  struct Case {
    Form form;
    std::string message;
  };
  const std::vector<Case> cases = {
      {Ad("", "0"), "调用代码：不能为空，且不超过50个字符长度！"},
      {Ad(std::string(51, 'c'), "0"), "调用代码：不能为空，且不超过50个字符长度！"},
      {Ad("../../admin/admin", "2"), "调用代码：只能由字母、数字、下划线和减号组成！"},
      {Ad("a b", "2"), "调用代码：只能由字母、数字、下划线和减号组成！"},
      {Ad("广告", "2"), "调用代码：只能由字母、数字、下划线和减号组成！"},
      {Ad("TAKEN", "2"), "调用代码：已被其他广告使用，请换一个！"},
      {Ad("ok", "3"), "提示：参数错误！"},
      {Ad("ok", ""), "提示：参数错误！"},
      {Ad("ok", "0", "", std::string(101, 'u')), "链接地址：不超过100个字符长度！"},
      {Ad("ok", "2", "t", " JavaScript:fetch('admin.asp')"),
       "提示：链接地址不能使用javascript:、vbscript:或data:地址！"},
      {Ad("ok", "1", "", "", "data:text/html,x"),
       "提示：文件地址不能使用javascript:、vbscript:或data:地址！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(AlertText(Add(c.form).text), c.message + kBack);
  }
  EXPECT_EQ(Count(), 1);
  // Addresses stored before they were refused are written harmless.
  Advert stored;
  stored.type = 2;
  stored.text = "t";
  stored.url = "vbscript:x";
  EXPECT_EQ(AdvertHtml(stored), "<a href='#' target='_blank'>t</a>");
  stored.type = 0;
  stored.src = "data:x";
  EXPECT_EQ(AdvertHtml(stored),
            "<a href='#' target='_blank'><img border=0 src='#' width='0' height='0' alt='t'></a>");

  int64_t id = IdOf("taken");
  for (const std::string& bad : std::vector<std::string>{"x", "", std::to_string(id + 9)}) {
    EXPECT_EQ(AlertText(site_.Get("/admin.asp?m=admin_ad&action=modi&id=" + bad).text),
              "无效的ID号，请点击页面链接操作！" + std::string(kBack));
    EXPECT_EQ(
        AlertText(
            site_.Post("/admin.asp?m=admin_ad&action=modisave&id=" + bad, Ad("fresh", "0")).text),
        "无效的ID号，请点击页面链接操作！" + std::string(kBack));
  }
  // Its own code is no clash for the row being edited.
  EXPECT_TRUE(Contains(
      site_.Post("/admin.asp?m=admin_ad&action=modisave&id=" + std::to_string(id), Ad("Taken", "1"))
          .text,
      "广告修改保存成功！"));
  EXPECT_EQ(
      AlertText(site_.Post("/admin.asp?m=admin_ad&action=del", {{"checkid", "1) or (1=1"}}).text),
      std::string("提示：参数错误！") + kBack);
  // Plain addresses change nothing.
  for (const std::string get :
       {"/admin.asp?m=admin_ad&action=js", "/admin.asp?m=admin_ad&action=addsave&d_code=g&d_type=0",
        "/admin.asp?m=admin_ad&action=del&checkid=1"}) {
    EXPECT_EQ(AlertText(site_.Get(get + ("&id=" + std::to_string(id))).text),
              std::string("提示：参数错误！") + kBack)
        << get;
  }
  EXPECT_EQ(Count(), 1);
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("js/ad/Taken.js")));
}

TEST_F(AdvertTest, ScriptsThatCannotBeWrittenAreReported) {
  Add(Ad("good", "2", "好"));
  Add(Ad("blocked", "2", "挡住"));
  std::filesystem::create_directories(site_.Disk("js/ad/blocked.js"));
  // A row stored before codes were checked names no file outside the folder.
  site_.Sql("insert into Vantrel_AD (d_code, d_type, d_text) values ('../../escape', 2, 'x')");
  HttpAnswer made = MakeJs();
  EXPECT_TRUE(Contains(made.text, "以下广告的JS文件未能写入：blocked、../../escape")) << made.text;
  EXPECT_FALSE(Contains(made.text, "生成成功"));
  EXPECT_EQ(site_.FileText("js/ad/good.js"), HtmlToJsWrite("好"));
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("escape.js")));
  EXPECT_FALSE(std::filesystem::exists(site_.root().parent_path() / "escape.js"));
}

TEST_F(AdvertTest, EveryDesignPageNeedsASignedInAdministratorWithItsRight) {
  const std::vector<std::pair<std::string, std::string>> pages = {
      {"/admin.asp?m=admin_ad", "XT_Manage_AD"},
      {"/admin.asp?m=admin_set", "XT_Manage_Set"},
      {"/admin.asp?m=admin_announce", "XT_Manage_Announce"},
  };
  site_.Add(AdminRow{.name = "editor", .rights = {"XT_Manage_Main"}});
  site_.Add(AdminRow{.name = "adman", .rights = {"XT_Manage_AD"}});
  for (const auto& [page, code] : pages) {
    SCOPED_TRACE(page);
    site_.ClearCookies();
    EXPECT_EQ(site_.Get(page).Header("location"), "admin.asp?m=admin_login");
    EXPECT_EQ(site_.Post(page + "&action=addsave", Ad("x", "0")).Header("location"),
              "admin.asp?m=admin_login");
    ASSERT_EQ(site_.SignIn("editor", "password1").status, 302);
    EXPECT_EQ(site_.Get(page).Header("location"), "?m=admin_error&errnum=1");
  }
  EXPECT_EQ(Count(), 0);
  site_.ClearCookies();
  ASSERT_EQ(site_.SignIn("adman", "password1").status, 302);
  EXPECT_TRUE(Contains(Add(Ad("allowed", "2", "t")).text, "广告增加保存成功！"));
  EXPECT_EQ(Count(), 1);
}

}  // namespace
}  // namespace folirex::testing
