// Template sets through the host: a set created, its pages mapped through the picker (all twelve
// or none), the public page rendering through the new map, the set deleted with its channels
// moved to the fall-back system set, and the refusals that change nothing.
#include <string>

#include "design/design_site.h"
#include "design/template_types.h"

namespace folirex::testing {
namespace {

const std::string kPage = "/admin.asp?m=admin_template&channelid=";

class TemplateSetTest : public DesignConsoleTest {
 protected:
  // The picker's choice of the shipped pages of channel 1 (2 first ... 13 notice), with `first`
  // replaced when given.
  Form ShippedChoice(int64_t first = 2) {
    Form form;
    int64_t id = 2;
    for (const char* type :
         {"first", "classlist", "content", "subjectlist", "search", "newlist", "hotlist",
          "recommendlist", "comment", "print", "tellfriend", "notice"}) {
      int64_t page = id++;
      if (std::string(type) == "first") page = first;
      form.emplace_back(type, std::string(type) + "-" + std::to_string(page));
    }
    return form;
  }
  HttpAnswer Pick(int64_t set, const Form& form) {
    return site_.Post(kPage + "1&templateid=" + std::to_string(set) + "&action=doselectpage", form);
  }
  std::string MapOf(int64_t set) {
    return site_.SqlValue(
        "select coalesce(group_concat(d_type || '=' || d_pageid), '') from (select * from "
        "Vantrel_TemplateAndPage where d_templateid = " +
        std::to_string(set) + " order by d_type)");
  }
  HttpAnswer Delete(int channel, const std::string& checked) {
    return site_.Post(kPage + std::to_string(channel) + "&action=del", {{"checkid", checked}});
  }
};

TEST_F(TemplateSetTest, CreatedMappedThroughThePickerAndDeleted) {
  HttpAnswer saved = site_.Post(kPage + "1&action=save",
                                {{"d_name", "新方案 \"蓝\" <i>"}, {"d_desc", "说明</textarea>'"}});
  EXPECT_TRUE(Contains(saved.text, "<b>新增操作成功！</b>")) << saved.text;
  int64_t set = site_.Number("select max(d_id) from Vantrel_Template");
  std::string id = std::to_string(set);
  EXPECT_TRUE(Contains(saved.text,
                       "<a href=\"?m=admin_template&amp;channelid=1&amp;action="
                       "selectpage&amp;id=" +
                           id + "\">选择本方案的模板页</a>"));
  EXPECT_EQ(site_.SqlValue("select d_channelid || '|' || d_sysflag from Vantrel_Template where "
                           "d_id = " +
                           id),
            "1|0");
  EXPECT_EQ(MapOf(set), "");

  // The list and the edit form show the name and description encoded, and give them back whole.
  std::string list = site_.Get(kPage + "1").text;
  EXPECT_TRUE(Contains(list, "当前位置：文章管理>>模板方案管理"));
  EXPECT_TRUE(
      Contains(list, ">新方案 &quot;蓝&quot; &lt;i&gt;</a></td><td>说明&lt;/textarea&gt;'"));
  EXPECT_TRUE(Contains(list, "name='checkid' value='1' disabled>"));
  EXPECT_TRUE(Contains(list, "name='checkid' value='" + id + "'>"));
  std::string edit = site_.Get(kPage + "1&action=edit&id=" + id).text;
  EXPECT_TRUE(Contains(edit, "value='新方案 &quot;蓝&quot; &lt;i&gt;'"));
  EXPECT_EQ(TextAreaValue(edit, "d_desc"), "说明</textarea>'");
  EXPECT_TRUE(Contains(
      site_.Post(kPage + "1&action=update&id=" + id, {{"d_name", "蓝色方案"}, {"d_desc", ""}}).text,
      "<b>修改操作成功！</b>"));
  EXPECT_EQ(
      site_.SqlValue("select d_name || '|' || d_desc from Vantrel_Template where d_id = " + id),
      "蓝色方案|");

  // The picker: one radio group per type, each under its heading, nothing chosen yet.
  int64_t own_first = site_.AddTemplatePage("first", "<p>新方案的首页</p>");
  std::string picker = site_.Get(kPage + "1&action=selectpage&id=" + id).text;
  EXPECT_TRUE(Contains(picker, "action='?m=admin_template&amp;channelid=1&amp;templateid=" + id +
                                   "&amp;action=doselectpage'"));
  for (const PageTypeInfo& type : PageTypes()) {
    if (type.code == "default") continue;
    EXPECT_EQ(CountOf(picker, "<b>" + std::string(type.picker_heading) + "</b>"), 1) << type.code;
  }
  EXPECT_EQ(CountOf(picker, "type='radio' name='first'"), 2);
  EXPECT_FALSE(Contains(picker, " checked>"));

  // Every type must be chosen: the first missing one in the page's order is named.
  Form partial = ShippedChoice(own_first);
  partial.erase(partial.begin());      // first
  partial.erase(partial.begin() + 1);  // content
  EXPECT_EQ(Refusal(Pick(set, partial)), "提示：请先选择频道首页的模板页！");
  partial.emplace_back("first", "first-2");
  EXPECT_EQ(Refusal(Pick(set, partial)), "提示：请先选择内容页的模板页！");
  EXPECT_EQ(MapOf(set), "");

  HttpAnswer picked = Pick(set, ShippedChoice(own_first));
  EXPECT_TRUE(Contains(picked.text, "<b>选择模板页成功！</b>")) << picked.text;
  EXPECT_TRUE(Contains(Pick(set, ShippedChoice(own_first)).text, "选择模板页成功！"));
  EXPECT_EQ(Count("select count(*) from Vantrel_TemplateAndPage where d_templateid = " + id), 12);
  EXPECT_EQ(Count("select count(distinct d_type) from Vantrel_TemplateAndPage where "
                  "d_channelid = 1 and d_templateid = " +
                  id),
            12);
  EXPECT_EQ(site_.SqlValue("select d_pageid from Vantrel_TemplateAndPage where d_type = 'first' "
                           "and d_templateid = " +
                           id),
            std::to_string(own_first));
  picker = site_.Get(kPage + "1&action=selectpage&id=" + id).text;
  EXPECT_TRUE(Contains(picker, "value='first-" + std::to_string(own_first) + "' checked>"));
  EXPECT_EQ(CountOf(picker, " checked>"), 12);

  // The channel takes the set: its public page renders through the new map at once.
  site_.SetChannel(1, "d_templateid = " + id);
  EXPECT_TRUE(Contains(site_.Page("/asp.asp?channelid=1"), "<p>新方案的首页</p>"));

  // Deleting the set moves the channel to the channel's system set and drops the map rows.
  HttpAnswer deleted = Delete(1, id);
  EXPECT_TRUE(Contains(deleted.text, "<b>删除成功！</b>")) << deleted.text;
  EXPECT_EQ(Count("select count(*) from Vantrel_Template where d_id = " + id), 0);
  EXPECT_EQ(Count("select count(*) from Vantrel_TemplateAndPage where d_templateid = " + id), 0);
  EXPECT_EQ(site_.SqlValue("select d_templateid from Vantrel_Channel where d_id = 1"), "1");
  std::string after = site_.Page("/asp.asp?channelid=1");
  EXPECT_FALSE(Contains(after, "新方案的首页"));
  EXPECT_TRUE(Contains(after, "<!DOCTYPE html>")) << after;
}

TEST_F(TemplateSetTest, FallBackIsTheLowestSystemSetOfAnyChannel) {
  int64_t sports = site_.Add(ChannelRow{.name = "体育", .dir = "sports"});
  std::string channel = std::to_string(sports);
  site_.Exec(
      "insert into Vantrel_Template (d_id, d_channelid, d_name, d_sysflag) values "
      "(50, ?, '体育默认', -1)",
      {Variant(static_cast<long long>(sports))});
  site_.Post(kPage + channel + "&action=save", {{"d_name", "甲"}, {"d_desc", ""}});
  int64_t first = site_.Number("select max(d_id) from Vantrel_Template");
  site_.Post(kPage + channel + "&action=save", {{"d_name", "乙"}, {"d_desc", ""}});
  int64_t second = site_.Number("select max(d_id) from Vantrel_Template");
  site_.SetChannel(sports, "d_templateid = " + std::to_string(first));
  int64_t third = site_.Add(ChannelRow{.name = "财经", .dir = "money"});
  site_.SetChannel(third, "d_templateid = " + std::to_string(second));

  HttpAnswer deleted =
      Delete(static_cast<int>(sports), std::to_string(first) + ", " + std::to_string(second));
  EXPECT_TRUE(Contains(deleted.text, "删除成功！")) << deleted.text;
  // Channel 1's set 1, though the sets' own channel has a system set (50) of its own.
  EXPECT_EQ(site_.SqlValue("select group_concat(d_templateid) from (select d_templateid from "
                           "Vantrel_Channel where d_id in (" +
                           channel + "," + std::to_string(third) + ") order by d_id)"),
            "1,1");
  EXPECT_EQ(site_.SqlValue("select d_templateid from Vantrel_Channel where d_id = 1"),
            std::to_string(kTestTemplateSet));
}

TEST_F(TemplateSetTest, RefusalsChangeNothing) {
  site_.Post(kPage + "1&action=save", {{"d_name", "甲"}, {"d_desc", ""}});
  int64_t set = site_.Number("select max(d_id) from Vantrel_Template");
  std::string id = std::to_string(set);
  int64_t sets = Count("select count(*) from Vantrel_Template");

  EXPECT_EQ(Refusal(site_.Post(kPage + "1&action=save", {{"d_name", ""}})),
            "提示：名称不允许为空！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=save&d_name=x")), "提示：参数错误！");
  EXPECT_TRUE(
      Contains(site_.Post(kPage + "1&action=save", {{"d_name", "  "}}).text, "新增操作成功！"));
  EXPECT_EQ(Count("select count(*) from Vantrel_Template"), sets + 1);
  EXPECT_EQ(Refusal(site_.Post(kPage + "1&action=update&id=" + id, {{"d_name", ""}})),
            "提示：名称不允许为空！");
  for (std::string bad : {"abc", "99999", "01"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=edit&id=" + bad)), "提示：参数错误！");
    EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=selectpage&id=" + bad)), "提示：参数错误！");
    EXPECT_EQ(Refusal(site_.Post(kPage + "1&action=update&id=" + bad, {{"d_name", "n"}})),
              "提示：参数错误！");
  }
  EXPECT_EQ(Refusal(site_.Get(kPage + "0")), "提示：请先设置频道信息表！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1 or 1=1")), "提示：参数错误，请返回！");

  // Deletions: nothing chosen, system sets, other channels' sets, text that is no id.
  int64_t sports = site_.Add(ChannelRow{.name = "体育", .dir = "sports"});
  site_.Post(kPage + std::to_string(sports) + "&action=save", {{"d_name", "乙"}});
  int64_t foreign = site_.Number("select max(d_id) from Vantrel_Template");
  struct Case {
    std::string checked, message;
  };
  const Case cases[] = {
      {"", "提示：请先选择记录再删除！"},
      {"1", "提示：系统自带的方案不允许删除！"},
      {id + ", 1", "提示：系统自带的方案不允许删除！"},
      {std::to_string(foreign), "提示：参数错误！"},
      {id + ") or (1=1", "提示：参数错误！"},
      {"99999", "提示：参数错误！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.checked);
    EXPECT_EQ(Refusal(Delete(1, c.checked)), c.message);
  }
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=del&checkid=" + id)), "提示：参数错误！");
  // With no system set to fall back on, nothing is deleted.
  site_.Exec("update Vantrel_Template set d_sysflag = 0");
  EXPECT_EQ(Refusal(Delete(1, id)), "提示：参数错误！");
  site_.Exec("update Vantrel_Template set d_sysflag = -1 where d_id = 1");
  EXPECT_EQ(Count("select count(*) from Vantrel_Template"), sets + 2);

  // The picker takes, for each type, a page of the channel of that very type.
  Form choice = {{"first", "first-2"},
                 {"classlist", "classlist-3"},
                 {"content", "content-4"},
                 {"subjectlist", "subjectlist-5"},
                 {"search", "search-6"},
                 {"newlist", "newlist-7"},
                 {"hotlist", "hotlist-8"},
                 {"recommendlist", "recommendlist-9"},
                 {"comment", "comment-10"},
                 {"print", "print-11"},
                 {"tellfriend", "tellfriend-12"},
                 {"notice", "notice-13"}};
  int64_t sports_page = site_.AddTemplatePage("first", "体育首页", 1, sports);
  for (const std::string& bad :
       {std::string("content-4"), std::string("first-4"),
        std::string("first-") + std::to_string(sports_page), std::string("first"),
        std::string("first-2 or 1=1"), std::string("first-1")}) {
    SCOPED_TRACE(bad);
    Form form = choice;
    form[0].second = bad;
    EXPECT_EQ(Refusal(Pick(set, form)), "提示：参数错误！");
  }
  EXPECT_EQ(Refusal(Pick(foreign, choice)), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&templateid=" + id + "&action=doselectpage")),
            "提示：参数错误！");
  EXPECT_EQ(MapOf(set), "");
  EXPECT_TRUE(Contains(Pick(set, choice).text, "选择模板页成功！"));
  EXPECT_EQ(Count("select count(*) from Vantrel_TemplateAndPage where d_templateid = " + id), 12);
}

}  // namespace
}  // namespace folirex::testing
