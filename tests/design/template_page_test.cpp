// Template pages through the host: a page written, read back whole through the edit form and
// changed, with the public page following each change; deletion pointing every user of a page
// (set map, classes, subjects, articles, the site settings) at a system page of its type; and
// the refusals that leave everything as it was.
#include <string>

#include "design/design_site.h"

namespace folirex::testing {
namespace {

const std::string kPage = "/admin.asp?m=admin_templatepage&channelid=";

// Chinese text, both quote kinds, an entity, markup and the end of a text area.
const std::string kFirstText =
    "<html><title>版本一 \"频道\" 'x' &amp; </title>\r\n<body>{$showcss}</textarea>一</body>";
const std::string kSecondText =
    "\r\n<p>版本二 'single' \"double\"</p>\r\n</TEXTAREA><textarea>&lt;</html>";

class TemplatePageTest : public DesignConsoleTest {
 protected:
  HttpAnswer Save(int channel, const Form& form) {
    return site_.Post(kPage + std::to_string(channel) + "&action=save", form);
  }
  HttpAnswer Delete(int channel, const std::string& checked) {
    return site_.Post(kPage + std::to_string(channel) + "&action=", {{"checkid", checked}});
  }
  HttpAnswer DeleteAction(int channel, const std::string& checked) {
    return site_.Post(kPage + std::to_string(channel) + "&action=del", {{"checkid", checked}});
  }
  int64_t Pages() { return Count("select count(*) from Vantrel_TemplatePage"); }
};

TEST_F(TemplatePageTest, WrittenEditedAndRenderedAtOnce) {
  std::string form = site_.Get(kPage + "1&action=add").text;
  EXPECT_TRUE(Contains(form, "当前位置：文章管理>>模板页管理"));
  EXPECT_TRUE(Contains(form,
                       "<form name='formadd' method='post' "
                       "action='?m=admin_templatepage&amp;channelid=1&amp;action=save'>"));
  EXPECT_TRUE(Contains(form, "<option value='first'>频道首页</option><option value='classlist'>"));
  EXPECT_TRUE(Contains(form, "<option value=\"notice\">公告页</option></select>"));
  EXPECT_TRUE(Contains(form, "<select name='d_type' size=1><option value=\"first\">频道首页"));
  EXPECT_TRUE(
      Contains(form, "<select name='d_skinid' size=1><option value=\"1\">默认风格</option>"));

  HttpAnswer saved = Save(1, {{"d_name", " 我的\"首页\" <b>"},
                              {"d_type", "first"},
                              {"d_content", kFirstText},
                              {"d_skinid", "1"}});
  EXPECT_TRUE(Contains(saved.text, "<b>新增操作成功！</b>")) << saved.text;
  EXPECT_TRUE(
      Contains(saved.text, "href=\"?m=admin_templatepage&amp;channelid=1&amp;action=add\""));
  int64_t id = site_.Number("select max(d_id) from Vantrel_TemplatePage");
  std::string where = " from Vantrel_TemplatePage where d_id = " + std::to_string(id);
  EXPECT_EQ(site_.SqlValue("select d_content" + where), kFirstText);
  EXPECT_EQ(site_.SqlValue("select d_name || '|' || d_type || '|' || d_channelid || '|' || "
                           "d_skinid || '|' || d_sysflag" +
                           where),
            " 我的\"首页\" <b>|first|1|1|0");

  // The channel's set uses it; the public first page renders it.
  site_.Exec(
      "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, d_type) "
      "values (1, ?, ?, 'first')",
      {kTestTemplateSet, Variant(static_cast<long long>(id))});
  std::string public_page = site_.Page("/asp.asp?channelid=1");
  EXPECT_TRUE(Contains(public_page, "<title>版本一 \"频道\" 'x' &amp; </title>")) << public_page;
  EXPECT_TRUE(Contains(public_page, "<link href='/Article/Skin/1.css'"));

  // The edit form gives the text back whole, the name encoded, the type shown but not posted.
  std::string edit = site_.Get(kPage + "1&action=edit&id=" + std::to_string(id)).text;
  EXPECT_EQ(TextAreaValue(edit, "d_content"), kFirstText);
  EXPECT_EQ(CountOf(edit, "</textarea>"), 1);
  EXPECT_TRUE(Contains(edit, "value=' 我的&quot;首页&quot; &lt;b&gt;'"));
  EXPECT_TRUE(Contains(edit, "<input type='hidden' name='id' value='" + std::to_string(id) + "'>"));
  EXPECT_TRUE(Contains(edit, "<select name='d_type' size=1 disabled>"));
  EXPECT_TRUE(Contains(edit, "<option value=\"first\" selected>频道首页</option>"));

  HttpAnswer updated = site_.Post(kPage + "1&action=update", {{"id", std::to_string(id)},
                                                              {"d_name", "改名"},
                                                              {"d_type", "content"},
                                                              {"d_content", kSecondText},
                                                              {"d_skinid", "1"}});
  EXPECT_TRUE(Contains(updated.text, "<b>修改操作成功！</b>")) << updated.text;
  EXPECT_EQ(site_.SqlValue("select d_content" + where), kSecondText);
  EXPECT_EQ(site_.SqlValue("select d_name || '|' || d_type" + where), "改名|first");
  edit = site_.Get(kPage + "1&action=edit&id=" + std::to_string(id)).text;
  EXPECT_EQ(TextAreaValue(edit, "d_content"), kSecondText);
  public_page = site_.Page("/asp.asp?channelid=1");
  EXPECT_TRUE(Contains(public_page, "<p>版本二 'single' \"double\"</p>")) << public_page;
  EXPECT_FALSE(Contains(public_page, "版本一"));

  // The list: names encoded, a box posting type and id, system pages' boxes disabled.
  std::string list = site_.Get(kPage + "1").text;
  EXPECT_TRUE(Contains(list, "&amp;action=edit&amp;id=" + std::to_string(id) +
                                 "'>改名</a></td>"
                                 "<td align=center>频道首页</td><td align=center><input "
                                 "type='checkbox' name='checkid' value='first-" +
                                 std::to_string(id) + "'>"));
  EXPECT_TRUE(Contains(list, "name='checkid' value='2' disabled>"));
  EXPECT_TRUE(Contains(list, "<option value='del'>删除</option>"));
  // The filter lists one type; an unknown filter lists nothing and selects 所有页.
  std::string firsts = site_.Get(kPage + "1&flag=FIRST").text;
  EXPECT_EQ(CountOf(firsts, "name='checkid'"), 2);
  EXPECT_TRUE(Contains(firsts, "<option value='first' selected>"));
  std::string unknown = site_.Get(kPage + "1&flag=x'or'1").text;
  EXPECT_TRUE(Contains(unknown, "没有记录"));
  EXPECT_FALSE(Contains(unknown, " selected>"));
  EXPECT_FALSE(Contains(unknown, "name='checkaction'"));

  // On channel 0 a page is a home page, whatever type is posted.
  EXPECT_TRUE(Contains(site_.Get(kPage + "0&action=add").text, "当前位置：系统管理>>模板页管理"));
  EXPECT_FALSE(Contains(site_.Get(kPage + "0&action=add").text, "name='d_type'"));
  Save(0, {{"d_name", "首页二"}, {"d_type", "first"}, {"d_content", "x"}, {"d_skinid", "2"}});
  EXPECT_EQ(site_.SqlValue("select d_type || d_channelid from Vantrel_TemplatePage where d_name "
                           "= '首页二'"),
            "default0");
}

TEST_F(TemplatePageTest, DeletionPointsEveryUserAtTheSystemPageOfItsType) {
  int64_t content = site_.SetPage("content", "<p>自己的内容页</p>");
  int64_t first = site_.SetPage("first", "<p>自己的首页</p>");
  int64_t article1 =
      site_.Add(ArticleRow{.title = "一", .template_page = content, .generated = true});
  int64_t article2 =
      site_.Add(ArticleRow{.title = "二", .template_page = content, .generated = true});
  int64_t other = site_.Add(ArticleRow{.title = "三", .template_page = 4, .generated = true});
  int64_t cls = site_.Add(ClassRow{.name = "新闻", .template_page = content});
  site_.Exec("update Vantrel_ArticleClass set d_generatedflag = -1");
  site_.Exec(
      "insert into Vantrel_ArticleSubject (d_channelid, d_name, d_templatepageid, "
      "d_generatedflag) values (1, '专题', ?, -1)",
      {Variant(static_cast<long long>(content))});
  EXPECT_TRUE(Contains(site_.Page("/asp.asp?channelid=1"), "自己的首页"));

  HttpAnswer done =
      DeleteAction(1, "content-" + std::to_string(content) + ", first-" + std::to_string(first));
  EXPECT_TRUE(Contains(done.text, "<b>删除成功！</b>")) << done.text;
  EXPECT_EQ(Count("select count(*) from Vantrel_TemplatePage where d_id in (" +
                  std::to_string(content) + "," + std::to_string(first) + ")"),
            0);
  // The shipped pages 2 (first) and 4 (content) are channel 1's system pages.
  EXPECT_EQ(site_.SqlValue("select group_concat(d_type || '=' || d_pageid) from (select * from "
                           "Vantrel_TemplateAndPage where d_templateid = 901 order by d_type)"),
            "content=4,first=2");
  for (int64_t article : {article1, article2}) {
    EXPECT_EQ(site_.SqlValue("select d_templatepageid || '|' || d_generatedflag from "
                             "Vantrel_Article where d_id = " +
                             std::to_string(article)),
              "4|0");
  }
  EXPECT_EQ(site_.SqlValue("select d_generatedflag from Vantrel_Article where d_id = " +
                           std::to_string(other)),
            "-1");
  EXPECT_EQ(site_.SqlValue("select d_templatepageid || '|' || d_generatedflag from "
                           "Vantrel_ArticleClass where d_id = " +
                           std::to_string(cls)),
            "4|0");
  EXPECT_EQ(site_.SqlValue("select d_templatepageid || '|' || d_generatedflag from "
                           "Vantrel_ArticleSubject"),
            "4|0");
  // The public first page is the system page now, in the same request cycle as the deletion.
  std::string after = site_.Page("/asp.asp?channelid=1");
  EXPECT_FALSE(Contains(after, "自己的首页"));
  EXPECT_TRUE(Contains(after, "<!DOCTYPE html>")) << after;

  // A home page that the site settings name: the settings follow it to the system home page.
  site_.Add(ChannelRow{.name = "体育", .dir = "sports"});
  int64_t home = site_.SetHomePage("<p>自己的网站首页</p>", 2);
  EXPECT_TRUE(Contains(site_.Page("/asp.asp"), "自己的网站首页"));
  done = DeleteAction(0, "default-" + std::to_string(home));
  EXPECT_TRUE(Contains(done.text, "<b>删除成功！</b>")) << done.text;
  EXPECT_EQ(site_.SqlValue("select d_templatepageid from Vantrel_Config"), "1");
  std::string home_page = site_.Page("/asp.asp");
  EXPECT_FALSE(Contains(home_page, "自己的网站首页"));
  EXPECT_TRUE(Contains(home_page, "<link href='/Skin/2.css'")) << home_page;
}

TEST_F(TemplatePageTest, RefusalsLeaveEverythingAsItWas) {
  int64_t before = Pages();
  const Form good = {{"d_name", "页"}, {"d_type", "first"}, {"d_content", "x"}, {"d_skinid", "1"}};
  auto with = [&good](const std::string& field, const std::string& value) {
    Form form;
    for (const auto& [k, v] : good) {
      if (k != field) form.emplace_back(k, v);
    }
    if (value != "<absent>") form.emplace_back(field, value);
    return form;
  };
  struct Case {
    std::string field, value, message;
  };
  const Case cases[] = {
      {"d_name", "", "提示：名称不允许为空！"},
      {"d_name", std::string(51, 'n'), "提示：名称超过最大长度！"},
      {"d_type", "bogus", "提示：参数错误！"},
      {"d_type", "default", "提示：参数错误！"},
      {"d_type", "<absent>", "提示：参数错误！"},
      {"d_content", "", "提示：内容不允许为空！"},
      {"d_skinid", "", "提示：请选择页面的风格！"},
      {"d_skinid", "1 or 1=1", "提示：请选择页面的风格！"},
      {"d_skinid", "2", "提示：请选择页面的风格！"},  // a skin of the site, not of channel 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field + "=" + c.value);
    EXPECT_EQ(Refusal(Save(1, with(c.field, c.value))), c.message);
  }
  // Fifty Chinese characters are a name the form allows.
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "字";
  EXPECT_TRUE(Contains(Save(1, with("d_name", fifty)).text, "新增操作成功！"));
  EXPECT_EQ(Pages(), before + 1);
  int64_t mine = site_.Number("select max(d_id) from Vantrel_TemplatePage");
  std::string mine_item = "first-" + std::to_string(mine);

  // Only a posted form writes.
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=save&d_name=a&d_type=first&d_content=x"
                                      "&d_skinid=1")),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=del&checkid=" + mine_item)), "提示：参数错误！");

  const Case deletions[] = {
      {"", "", "提示：请先选择记录再删除！"},
      {"", "2", "提示：系统自带的模板页不允许删除！"},
      {"", "first-2", "提示：系统自带的模板页不允许删除！"},
      {"", mine_item + ", first-2", "提示：系统自带的模板页不允许删除！"},
      {"", "default-1", "提示：参数错误！"},  // a page of the site, not of channel 1
      {"", "content-" + std::to_string(mine), "提示：参数错误！"},
      {"", "first-" + std::to_string(mine) + " or 1=1", "提示：参数错误！"},
      {"", "first-99999", "提示：参数错误！"},
      {"", "first-", "提示：参数错误！"},
  };
  for (const Case& c : deletions) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(Refusal(DeleteAction(1, c.value)), c.message);
  }
  // A page whose type has no system page anywhere stops the whole request before any change.
  int64_t notice = site_.AddTemplatePage("notice", "n");
  site_.Exec("update Vantrel_TemplatePage set d_sysflag = 0 where d_type = 'notice'");
  EXPECT_EQ(Refusal(DeleteAction(1, mine_item + ", notice-" + std::to_string(notice))),
            "提示：参数错误！");
  EXPECT_EQ(Pages(), before + 2);

  // Edits of a page of another channel, or of no page, are refused.
  for (std::string id : {"1", "abc", "99999", "01"}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=edit&id=" + id)), "提示：参数错误！");
    EXPECT_EQ(
        Refusal(site_.Post(kPage + "1&action=update",
                           {{"id", id}, {"d_name", "n"}, {"d_content", "c"}, {"d_skinid", "1"}})),
        "提示：参数错误！");
  }
  EXPECT_EQ(site_.SqlValue("select d_name from Vantrel_TemplatePage where d_id = 1"),
            "网站首页（默认）");
  EXPECT_EQ(Refusal(site_.Get(kPage + "x")), "提示：参数错误，请返回！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "77")), "提示：请先设置频道信息表！");

  // Without the right, no page at all.
  site_.Add(AdminRow{.name = "editor", .rights = {"XT_Manage_Skin"}});
  site_.ClearCookies();
  site_.SignIn("editor", "password1");
  HttpAnswer denied = site_.Get(kPage + "1");
  EXPECT_EQ(denied.Header("location"), "?m=admin_error&errnum=1");
}

}  // namespace
}  // namespace folirex::testing
