// The announcement page through the host: the list, the add and edit forms with the editor's
// frame, the saves (the body cleaned of script), the bulk actions, and the public chip and notice
// page showing the result at once; the refusals that store nothing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "design/design_site.h"

namespace folirex::testing {
namespace {

class AnnounceTest : public DesignConsoleTest {
 protected:
  HttpAnswer Save(const Form& form) {
    return site_.Post("/admin.asp?m=admin_announce&action=save", form);
  }
  HttpAnswer Bulk(const std::string& action, const std::string& ids) {
    return site_.Post("/admin.asp?m=admin_announce&action=" + action, {{"checkid", ids}});
  }
  std::string Value(const std::string& column, int64_t id) {
    return site_.SqlValue("select " + column +
                          " from Vantrel_Announce where d_id = " + std::to_string(id));
  }
  int Count() { return site_.Number("select count(*) from Vantrel_Announce"); }
  // The channel's first page with an announcement chip; the list its script file holds.
  std::string ChipList() {
    site_.Page("/asp.asp");
    return site_.FileText("Article/Js/Announce_1_2_0_10.js");
  }
};

TEST_F(AnnounceTest, AddEditAndTheChipAndNoticePageShowThemAtOnce) {
  site_.SetPage("first", "<img TemplateChip=\"ListAnnounce:2,0,true,false\">");
  site_.SetPage("notice", "<div>{$showannouncelist}</div>");
  std::string menu = site_.Get("/admin.asp?m=admin_menu").text;
  EXPECT_TRUE(Contains(menu, "<a href=\"?m=admin_announce\">网站公告管理</a>"));

  std::string empty = site_.Get("/admin.asp?m=admin_announce").text;
  EXPECT_TRUE(Contains(empty, "当前位置：系统管理>>公告管理"));
  EXPECT_TRUE(Contains(empty, "<td colspan=5 align=center>没有记录</td>"));
  EXPECT_FALSE(Contains(empty, "name='checkaction'"));

  std::string form = site_.Get("/admin.asp?m=admin_announce&action=add").text;
  EXPECT_TRUE(Contains(form, "action='?m=admin_announce&amp;action=save'"));
  EXPECT_TRUE(Contains(form, "<option value=''>网站首页</option><option value=\"1\">文章</option>"))
      << form;
  EXPECT_TRUE(Contains(form, "<iframe id='Kelmira1' src='Kelmira/kelmira.htm?id=d_content'"));
  EXPECT_TRUE(Contains(form, "name='d_selectedflag' value='true' checked>是"));

  HttpAnswer saved = Save({{"d_title", " 开馆通知 "},
                           {"d_channelid", "1"},
                           {"d_content", "<p>周一开馆</p>"},
                           {"d_selectedflag", "true"}});
  EXPECT_TRUE(Contains(saved.text, "新增信息成功！")) << saved.text;
  int64_t id = site_.Number("select max(d_id) from Vantrel_Announce");
  EXPECT_EQ(Value("d_title", id), "开馆通知");
  EXPECT_EQ(Value("d_author", id), site_.admin_name());
  EXPECT_EQ(Value("d_selectedflag", id), "-1");
  EXPECT_EQ(Value("d_showtype", id), "2");
  EXPECT_TRUE(Contains(ChipList(), "开馆通知"));
  std::string notice = site_.Page("/asp.asp?m=notice&channelid=1&noticeid=" + std::to_string(id));
  EXPECT_TRUE(Contains(notice, "<p>周一开馆</p>")) << notice;

  // The site home's option posts "" and stores 0; an unticked box stores the row unflagged.
  Save({{"d_title", "全站"}, {"d_channelid", ""}, {"d_content", "x"}});
  int64_t site_wide = id + 1;
  EXPECT_EQ(Value("d_channelid", site_wide), "0");
  EXPECT_EQ(Value("d_selectedflag", site_wide), "0");

  std::string list = site_.Get("/admin.asp?m=admin_announce").text;
  EXPECT_LT(list.find(">全站</a>"), list.find(">开馆通知</a>"));
  EXPECT_TRUE(Contains(list, "<a href='?m=admin_announce&amp;action=edit&amp;id=" +
                                 std::to_string(id) + "'>开馆通知</a></td><td align=center>是"));
  EXPECT_TRUE(Contains(list, "<input type=checkbox name='checkid' value='" + std::to_string(id)));

  // The edit form: the stored values, the title's quotes and the body encoded for the attribute.
  site_.Sql(
      "update Vantrel_Announce set d_title = 'a\"b''c', d_content = '<p class=\"x\">A&amp;B</p>',"
      " d_author = 'old', d_addtime = '2020-01-01 00:00:00' where d_id = " +
      std::to_string(id));
  std::string edit =
      site_.Get("/admin.asp?m=admin_announce&action=edit&id=" + std::to_string(id)).text;
  EXPECT_TRUE(Contains(
      edit, "action='?m=admin_announce&amp;action=update&amp;id=" + std::to_string(id) + "'"));
  EXPECT_TRUE(Contains(edit, "name='d_title' size=50 maxlength=50 value=\"a&quot;b&#39;c\""));
  EXPECT_TRUE(Contains(edit, "<option value=\"1\" selected>文章</option>"));
  EXPECT_TRUE(Contains(edit, "value=\"&lt;p class=&quot;x&quot;&gt;A&amp;amp;B&lt;/p&gt;\""));

  HttpAnswer updated =
      site_.Post("/admin.asp?m=admin_announce&action=update&id=" + std::to_string(id),
                 {{"d_title", "改期通知"},
                  {"d_channelid", "1"},
                  {"d_content",
                   "<p onclick=\"fetch('admin.asp')\">改到周二</p><script>x()</script>"
                   "<font color=red face=\"宋体\">红</font>"},
                  {"d_selectedflag", "true"}});
  EXPECT_TRUE(Contains(updated.text, "修改信息成功！")) << updated.text;
  // The body is stored without its script, the rest as typed.
  EXPECT_EQ(Value("d_content", id), "<p>改到周二</p><font color=red face=\"宋体\">红</font>");
  EXPECT_EQ(Value("d_author", id), site_.admin_name());
  EXPECT_GT(Value("d_addtime", id), "2020-01-01 00:00:00");
  EXPECT_EQ(Count(), 2);
  std::string chip = ChipList();
  EXPECT_TRUE(Contains(chip, "改期通知"));
  EXPECT_FALSE(Contains(chip, "开馆通知"));
}

TEST_F(AnnounceTest, BulkActionsFlagAndDeleteTheTickedRows) {
  site_.SetPage("first", "<img TemplateChip=\"ListAnnounce:2,0,true,false\">");
  int64_t a = site_.Add(AnnounceRow{.title = "甲公告", .selected = false});
  int64_t b = site_.Add(AnnounceRow{.title = "乙公告", .selected = false});
  int64_t c = site_.Add(AnnounceRow{.title = "丙公告"});
  std::string list = site_.Get("/admin.asp?m=admin_announce").text;
  EXPECT_TRUE(Contains(list, "<option value='setnew'>设置最新</option>"));
  EXPECT_TRUE(Contains(list, "onclick='doAction(this)'"));

  const std::string ab = std::to_string(a) + ", " + std::to_string(b);
  EXPECT_TRUE(Contains(Bulk("setnew", ab).text, "操作成功！"));
  EXPECT_EQ(Value("d_selectedflag", a), "-1");
  std::string chip = ChipList();
  EXPECT_TRUE(Contains(chip, "甲公告") && Contains(chip, "乙公告") && Contains(chip, "丙公告"));

  EXPECT_TRUE(Contains(Bulk("setold", std::to_string(c)).text, "操作成功！"));
  EXPECT_EQ(Value("d_selectedflag", c), "0");
  EXPECT_FALSE(Contains(ChipList(), "丙公告"));

  // Nothing ticked, a list that is not ids, or a plain address: refused, nothing changed.
  EXPECT_EQ(AlertText(Bulk("del", "").text), std::string("提示：请先选择记录再操作！") + kBack);
  EXPECT_EQ(AlertText(Bulk("del", "1) or (1=1").text), std::string("提示：参数错误！") + kBack);
  EXPECT_EQ(AlertText(site_.Get("/admin.asp?m=admin_announce&action=del&checkid=" + ab).text),
            std::string("提示：参数错误！") + kBack);
  EXPECT_EQ(Count(), 3);

  EXPECT_TRUE(Contains(Bulk("del", ab).text, "删除成功！"));
  EXPECT_EQ(Count(), 1);
  EXPECT_FALSE(Contains(ChipList(), "甲公告"));
}

TEST_F(AnnounceTest, BadInputIsRefusedAndNothingIsStored) {
  int64_t id = site_.Add(AnnounceRow{.title = "原标题"});
  struct Case {
    Form form;
    std::string message;
  };
  const std::string ok_content = "<p>x</p>";
  const std::vector<Case> cases = {
      {{{"d_title", "  "}, {"d_content", ok_content}}, "提示：标题不允许为空！"},
      {{{"d_title", std::string(51, 'a')}, {"d_content", ok_content}},
       "提示：标题最大25个汉字，50个字符！"},
      {{{"d_title", "二十六个汉字二十六个汉字二十六个汉字二十六个汉字二十"},
        {"d_content", ok_content}},
       "提示：标题最大25个汉字，50个字符！"},
      {{{"d_title", "t"}, {"d_content", " "}}, "提示：内容不能为空！"},
      {{{"d_title", "t"}, {"d_content", "<script>x()</script> "}}, "提示：内容不能为空！"},
      {{{"d_title", "t"}, {"d_channelid", "99"}, {"d_content", ok_content}}, "提示：参数错误！"},
      {{{"d_title", "t"}, {"d_channelid", "1 or 1=1"}, {"d_content", ok_content}},
       "提示：参数错误！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(AlertText(Save(c.form).text), c.message + kBack);
    EXPECT_EQ(
        AlertText(
            site_.Post("/admin.asp?m=admin_announce&action=update&id=" + std::to_string(id), c.form)
                .text),
        c.message + kBack);
  }
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(Value("d_title", id), "原标题");

  // The limits themselves: 25 Chinese characters, 50 ASCII ones.
  EXPECT_TRUE(Contains(
      Save({{"d_title", "二十五个汉字二十五个汉字二十五个汉字二十五个汉字二"}, {"d_content", "x"}})
          .text,
      "新增信息成功！"));
  EXPECT_TRUE(Contains(Save({{"d_title", std::string(50, 'a')}, {"d_content", "x"}}).text,
                       "新增信息成功！"));

  for (const std::string& bad : std::vector<std::string>{"x", "", std::to_string(id + 100)}) {
    EXPECT_EQ(AlertText(site_.Get("/admin.asp?m=admin_announce&action=edit&id=" + bad).text),
              std::string("提示：参数错误，请返回！") + kBack);
    EXPECT_EQ(AlertText(site_
                            .Post("/admin.asp?m=admin_announce&action=update&id=" + bad,
                                  {{"d_title", "t"}, {"d_content", "x"}})
                            .text),
              std::string("提示：参数错误！") + kBack);
  }
  // A plain address saves nothing.
  EXPECT_EQ(
      AlertText(site_.Get("/admin.asp?m=admin_announce&action=save&d_title=t&d_content=x").text),
      std::string("提示：参数错误！") + kBack);
  EXPECT_EQ(Count(), 3);
}

}  // namespace
}  // namespace folirex::testing
