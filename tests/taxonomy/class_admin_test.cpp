// The class tree page through the host, one group per action: the list reached from the menu,
// the add and edit forms and their saves (the folder rule, the typed defaults), the posted
// arrows and reset, the move form and the move, the deletion, the emptying and the repair; every
// refusal answers with the page's message and changes nothing. (The public pages after a change:
// tests/browser/console_classes.test.mjs.)
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/console_site.h"

namespace folirex::testing {
namespace {

using Form = std::vector<std::pair<std::string, std::string>>;

const char kPage[] = "/admin.asp?m=admin_articleclass&channelid=1";
const char kParameter[] = "提示：参数错误！";

class ClassPageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }

  std::string Url(const std::string& rest) { return std::string(kPage) + rest; }
  HttpAnswer Save(const Form& form, const std::string& rest = "&action=save") {
    return site_.Post(Url(rest), form);
  }
  // The channel's tree as "name/level/child" in position order.
  std::string Tree(int channel = 1) {
    return site_.SqlValue(
        "select group_concat(d_name || '/' || d_level || '/' || d_child, ' ') from (select * from "
        "Vantrel_ArticleClass where d_channelid = " +
        std::to_string(channel) + " order by d_order)");
  }
  std::string Positions() {
    return site_.SqlValue(
        "select group_concat(d_order, ',') from (select d_order from Vantrel_ArticleClass where "
        "d_channelid = 1 order by d_order)");
  }
  std::string Column(int64_t id, const std::string& column) {
    return site_.SqlValue("select " + column +
                          " from Vantrel_ArticleClass where d_id = " + std::to_string(id));
  }
  int64_t IdOf(const std::string& name) {
    return site_.Number("select d_id from Vantrel_ArticleClass where d_name = '" + name + "'");
  }

  ConsoleSite site_;
};

TEST_F(ClassPageTest, ListIsTheTreeInPreOrderReachedFromTheMenu) {
  EXPECT_TRUE(Contains(site_.Get("/admin.asp?m=admin_menu").text,
                       "href=\"?m=admin_articleclass&amp;channelid=1\">文章分类管理</a>"));
  HttpAnswer empty = site_.Get(kPage);
  EXPECT_TRUE(Contains(empty.text, "当前位置：文章管理>>分类管理"));
  EXPECT_TRUE(Contains(empty.text, "没有记录"));
  EXPECT_FALSE(Contains(empty.text, "name=\"checkaction\""));

  // Another channel's class first, so that the row numbers are not the ids.
  site_.Add(ClassRow{.name = "别的频道", .dir = "x", .channel = 2});
  int64_t a = site_.Add(ClassRow{.name = "甲", .dir = "a"});
  int64_t b = site_.Add(ClassRow{.name = "乙", .dir = "b", .parent = a});
  int64_t c = site_.Add(ClassRow{.name = "丙", .dir = "c", .parent = b});
  int64_t d = site_.Add(ClassRow{.name = "<i>\"丁'</i>", .dir = "d"});
  const std::string text = site_.Get(kPage).text;
  const auto at = [&](const std::string& part) { return text.find(part); };
  // Pre-order, numbered rows, the top names bold, the depth as spaces, the descendant counts.
  EXPECT_LT(at("<b>甲</b>"), at(">乙<"));
  EXPECT_LT(at(">乙<"), at(">丙<"));
  EXPECT_LT(at(">丙<"), at("&lt;i&gt;"));
  EXPECT_TRUE(Contains(text, "<b>甲</b></a>[2]"));
  EXPECT_TRUE(Contains(text,
                       "<tr align=\"center\"><td>3</td><td align=\"left\">&nbsp;&nbsp;"
                       "&nbsp;&nbsp;<img src=\"admin/tree_folder3.gif\""));
  EXPECT_TRUE(Contains(text, "<b>&lt;i&gt;&quot;丁'&lt;/i&gt;</b></a>[0]"));
  // The ID column numbers the rows, whatever the class ids.
  ASSERT_NE(d, 4);
  EXPECT_TRUE(Contains(text, "<tr align=\"center\"><td>4</td><td align=\"left\"><img"));
  EXPECT_FALSE(Contains(text, "<td>" + std::to_string(d) + "</td>"));
  EXPECT_FALSE(Contains(text, "别的频道"));
  EXPECT_TRUE(Contains(text, "action=edit&amp;id=" + std::to_string(c) +
                                 "&amp;pid=" + std::to_string(b) + "\">丙</a>"));
  EXPECT_TRUE(Contains(text, "action=add&amp;id=" + std::to_string(b) + "&amp;dir=b\">添加子类"));
  // Reset is a link only on a top-level class with descendants.
  EXPECT_TRUE(Contains(text, "action=reset&amp;id=" + std::to_string(a) + "\""));
  EXPECT_FALSE(Contains(text, "action=reset&amp;id=" + std::to_string(d) + "\""));
  EXPECT_EQ(CountOf(text, "复位子类 "), 3);
  EXPECT_TRUE(Contains(text, "name=\"checkid\" value=\"" + std::to_string(d) + "\""));
  EXPECT_TRUE(Contains(text, "<option value=\"empty\">清空选定分类下的文章</option>"));

  // Only an administrator holding the page's right gets it.
  site_.Add(AdminRow{.name = "editor", .rights = {"XT_Manage_Main"}});
  site_.ClearCookies();
  site_.SignIn("editor", "password1");
  EXPECT_EQ(site_.Get(kPage).Header("location"), "?m=admin_error&errnum=1");
}

TEST_F(ClassPageTest, SaveAddsAClassAfterItsParentsLastDescendantAndRefusesBadInput) {
  int64_t a = site_.Add(ClassRow{.name = "甲", .dir = "a"});
  site_.Add(ClassRow{.name = "乙", .dir = "b", .parent = a});
  site_.Add(ClassRow{.name = "丁", .dir = "d"});
  site_.Add(ChannelRow{.name = "杂志", .dir = "Article/Mag", .id = 11});
  int64_t foreign = site_.Add(ClassRow{.name = "外", .dir = "f", .channel = 11});
  const std::string before = Tree();

  const std::string pid = std::to_string(a);
  auto refused = [&](const Form& form) { return AlertText(Save(form).text); };
  EXPECT_EQ(refused({{"d_pid", pid}, {"d_name", ""}, {"d_dir", "x"}}),
            "提示：分类名称不能为空！" + std::string("\\n\\n系统将自动返回前一页面..."));
  EXPECT_TRUE(Contains(refused({{"d_pid", pid}, {"d_name", "新"}, {"d_dir", " "}}),
                       "提示：目录不能为空！"));
  EXPECT_TRUE(Contains(refused({{"d_pid", pid}, {"d_name", std::string(51, 'n')}, {"d_dir", "x"}}),
                       "提示：分类名称最大25个汉字"));
  for (const char* dir :
       {"../x", "a/../b", "a\\b", "/abs", "a//b", "a/", "名字", "a b", "..", "x'y"}) {
    EXPECT_TRUE(Contains(refused({{"d_pid", pid}, {"d_name", "新"}, {"d_dir", dir}}),
                         "提示：目录只能使用字母"))
        << dir;
  }
  // Besides the site's folders, the names of files the channel writes into a folder (first,
  // redirect, folder and list pages) and of the site's own files, in any segment.
  for (const char* dir : {"Admin", "skin/x", "JS", "uploadfile", "UploadFile/2026", "mag",
                          "default.html", "Default.ASP", "index.html", "a/index.htm",
                          "folirex.conf", "site.db", "x/site.db-wal", "List_5.shtml"}) {
    EXPECT_TRUE(Contains(refused({{"d_pid", pid}, {"d_name", "新"}, {"d_dir", dir}}),
                         "提示：该目录名为系统保留目录，请换一个！"))
        << dir;
  }
  EXPECT_TRUE(Contains(refused({{"d_pid", pid}, {"d_name", "新"}, {"d_dir", "B"}}),
                       "提示：你选择的目录名称已经存在！"));
  EXPECT_EQ(
      AlertText(Save({{"d_pid", std::to_string(foreign)}, {"d_name", "新"}, {"d_dir", "n"}}).text)
          .substr(0, std::string(kParameter).size()),
      kParameter);
  EXPECT_TRUE(
      Contains(refused({{"d_pid", "1 or 1=1"}, {"d_name", "新"}, {"d_dir", "n"}}), kParameter));
  // A plain address changes nothing.
  EXPECT_TRUE(Contains(AlertText(site_.Get(Url("&action=save&d_pid=0&d_name=new&d_dir=n")).text),
                       kParameter));
  EXPECT_EQ(Tree(), before);

  // Placed after the parent's last descendant; the typed columns fall back to the form's values.
  HttpAnswer saved = Save({{"d_pid", pid},
                           {"d_name", "丙"},
                           {"d_dir", "a/c-1.x"},
                           {"d_pagenum", "020"},
                           {"d_pointperarticle", "x"},
                           {"d_addarticleflag", "0"},
                           {"d_templatepageid", "abc"}});
  EXPECT_TRUE(Contains(saved.text, "新增信息成功！"));
  EXPECT_TRUE(Contains(saved.text,
                       "href=\"?m=admin_articleclass&amp;channelid=1&amp;action=add"
                       "&amp;id=" +
                           pid + "\">返回继续新增</a>"));
  EXPECT_EQ(Tree(), "甲/0/2 乙/1/0 丙/1/0 丁/0/0");
  EXPECT_EQ(Positions(), "1,2,3,4");
  const int64_t c = IdOf("丙");
  EXPECT_EQ(Column(c, "d_path"), pid + "," + std::to_string(c) + ",");
  EXPECT_EQ(Column(c, "d_rootid"), pid);
  EXPECT_EQ(Column(c, "d_pagenum"), "20");
  EXPECT_EQ(Column(c, "d_pointperarticle"), "1");
  EXPECT_EQ(Column(c, "d_templatepageid"), "0");
  EXPECT_EQ(Column(c, "d_commentflag") + Column(c, "d_commentcheckflag"), "00");
  EXPECT_EQ(Column(c, "d_addarticleflag"), "0");
  EXPECT_EQ(Column(c, "d_dir"), "a/c-1.x");
  // A top-level class goes last; "0" pages stay 0; ticked boxes store true.
  Save({{"d_pid", "0"},
        {"d_name", "戊"},
        {"d_dir", "e"},
        {"d_pagenum", "0"},
        {"d_commentflag", "1"},
        {"d_commentcheckflag", "1"}});
  const int64_t e = IdOf("戊");
  EXPECT_EQ(Tree(), "甲/0/2 乙/1/0 丙/1/0 丁/0/0 戊/0/0");
  EXPECT_EQ(Column(e, "d_path"), std::to_string(e) + ",");
  EXPECT_EQ(Column(e, "d_pagenum"), "0");
  EXPECT_EQ(Column(e, "d_commentflag") + Column(e, "d_commentcheckflag"), "-1-1");
  EXPECT_EQ(Tree(11), "外/0/0");
}

TEST_F(ClassPageTest, EditShowsTheStoredSettingsAndUpdateKeepsFoldersUniqueInTheChannel) {
  int64_t a = site_.Add(ClassRow{.name = "甲", .dir = "a", .comments = true});
  int64_t b = site_.Add(ClassRow{.name = "<乙>", .dir = "b", .parent = a});
  site_.Add(ChannelRow{.name = "杂志", .dir = "mag", .id = 11});
  int64_t foreign = site_.Add(ClassRow{.name = "外", .dir = "f", .channel = 11});
  site_.Sql("update Vantrel_ArticleClass set d_generatedflag = -1, d_pagenum = 15");

  const std::string edit_b = "&action=edit&id=" + std::to_string(b) + "&pid=" + std::to_string(a);
  const std::string form = site_.Get(Url(edit_b)).text;
  EXPECT_TRUE(Contains(form, "name=\"d_name\" size=\"50\" maxlength=\"50\" value=\"&lt;乙&gt;\""));
  EXPECT_TRUE(Contains(form, "name=\"d_dir\" size=\"50\" maxlength=\"15\" value=\"b\""));
  EXPECT_TRUE(Contains(form, "name=\"d_pagenum\" size=\"50\" value=\"15\""));
  EXPECT_TRUE(Contains(form, "<select name=\"d_pid\" size=\"1\" disabled>"));
  EXPECT_TRUE(Contains(form, "<option value=\"" + std::to_string(a) + "\" selected>甲</option>"));
  EXPECT_TRUE(Contains(form, "<option value=\"" + std::to_string(b) + "\">\u3000&lt;乙&gt;"));
  EXPECT_TRUE(Contains(form, "action=update&amp;id=" + std::to_string(b) + "&amp;pid="));
  for (const std::string& bad :
       {std::string("&action=edit&id=x&pid=0"), "&action=edit&id=" + std::to_string(b) + "&pid=",
        "&action=edit&id=" + std::to_string(foreign) + "&pid=0",
        std::string("&action=edit&id=999&pid=0")}) {
    EXPECT_TRUE(Contains(AlertText(site_.Get(Url(bad)).text), kParameter)) << bad;
  }

  const std::string update_b =
      "&action=update&id=" + std::to_string(b) + "&pid=" + std::to_string(a);
  auto update = [&](const std::string& rest, const std::string& name, const std::string& dir) {
    return site_.Post(Url(rest), {{"d_name", name}, {"d_dir", dir}, {"d_pagenum", "x"}});
  };
  EXPECT_TRUE(
      Contains(AlertText(update(update_b, "新", "A").text), "提示：你选择的目录名称已经存在！"));
  EXPECT_TRUE(Contains(AlertText(update(update_b, "新", "admin").text), "系统保留目录"));
  EXPECT_TRUE(Contains(AlertText(update(update_b, "", "n").text), "提示：分类名称不能为空！"));
  EXPECT_TRUE(Contains(
      AlertText(update("&action=update&id=" + std::to_string(foreign) + "&pid=0", "新", "n").text),
      kParameter));
  EXPECT_EQ(Column(b, "d_name") + Column(b, "d_dir") + Column(b, "d_generatedflag"), "<乙>b-1");

  // Its own folder, and a folder another channel's class uses, are accepted.
  HttpAnswer done = update(update_b, "乙二", "f");
  EXPECT_TRUE(Contains(done.text, "修改信息成功！"));
  EXPECT_TRUE(Contains(done.text, "返回继续修改"));
  EXPECT_EQ(Column(b, "d_name") + Column(b, "d_dir") + Column(b, "d_pagenum"), "乙二f20");
  EXPECT_EQ(Column(b, "d_generatedflag"), "0");
  EXPECT_EQ(Column(b, "d_path") + Column(b, "d_order"),
            std::to_string(a) + "," + std::to_string(b) + ",2");
  EXPECT_TRUE(Contains(update(update_b, "乙三", "F").text, "修改信息成功！"));
}

TEST_F(ClassPageTest, ArrowsAndResetArePostedAndKeepThePreOrder) {
  int64_t a = site_.Add(ClassRow{.name = "甲", .dir = "a"});
  int64_t b = site_.Add(ClassRow{.name = "乙", .dir = "b", .parent = a});
  site_.Add(ClassRow{.name = "丙", .dir = "c", .parent = b});
  int64_t d = site_.Add(ClassRow{.name = "丁", .dir = "d"});
  const std::string before = Tree();
  // Each link of the list posts; a plain address is refused.
  EXPECT_TRUE(Contains(site_.Get(kPage).text, "onclick=\"return classPost(this);\""));
  const std::string up_d = "&action=up&id=" + std::to_string(d);
  EXPECT_TRUE(Contains(AlertText(site_.Get(Url(up_d)).text), kParameter));
  EXPECT_EQ(Tree(), before);

  HttpAnswer up = site_.Post(Url(up_d), {});
  EXPECT_EQ(AlertText(up.text), "排序移动操作成功！");
  EXPECT_TRUE(Contains(up.text, "location.href='?m=admin_articleclass\\x26channelid=1'"));
  EXPECT_EQ(Tree(), "丁/0/0 甲/0/2 乙/1/1 丙/2/0");
  // Already first: back to the list without a message.
  HttpAnswer again = site_.Post(Url(up_d), {});
  EXPECT_EQ(AlertText(again.text), "");
  EXPECT_TRUE(Contains(again.text, "location.href="));
  site_.Post(Url("&action=down&id=" + std::to_string(d)), {});
  EXPECT_EQ(Tree(), before);
  for (const std::string& id : {std::string("x"), std::string("999")}) {
    EXPECT_TRUE(
        Contains(AlertText(site_.Post(Url("&action=down&id=" + id), {}).text), "无效ID号！"));
  }

  // Reset flattens a top-level class's subtree; a lower class is left as it is.
  EXPECT_EQ(AlertText(site_.Post(Url("&action=reset&id=" + std::to_string(b)), {}).text),
            "复位操作成功！");
  EXPECT_EQ(Tree(), before);
  EXPECT_EQ(AlertText(site_.Post(Url("&action=reset&id=" + std::to_string(a)), {}).text),
            "复位操作成功！");
  EXPECT_EQ(Tree(), "甲/0/2 乙/1/0 丙/1/0 丁/0/0");
  EXPECT_EQ(Column(IdOf("丙"), "d_path"),
            std::to_string(a) + "," + std::to_string(IdOf("丙")) + ",");
  site_.Add(ChannelRow{.name = "杂志", .dir = "mag", .id = 11});
  int64_t foreign = site_.Add(ClassRow{.name = "外", .dir = "f", .channel = 11});
  EXPECT_TRUE(
      Contains(AlertText(site_.Post(Url("&action=reset&id=" + std::to_string(foreign)), {}).text),
               kParameter));
}

TEST_F(ClassPageTest, MoveFormAndMoveRefuseWhatCannotBeAndReparentTheSubtree) {
  int64_t a = site_.Add(ClassRow{.name = "甲", .dir = "a"});
  int64_t b = site_.Add(ClassRow{.name = "乙", .dir = "b", .parent = a});
  int64_t c = site_.Add(ClassRow{.name = "丙", .dir = "c", .parent = b});
  int64_t d = site_.Add(ClassRow{.name = "丁", .dir = "d"});
  site_.Add(ChannelRow{.name = "杂志", .dir = "mag", .id = 11});
  int64_t foreign = site_.Add(ClassRow{.name = "外", .dir = "f", .channel = 11});
  const std::string before = Tree();

  const std::string form = site_.Get(Url("&action=move&id=" + std::to_string(b))).text;
  EXPECT_TRUE(Contains(form,
                       "<select name=\"d_fromid\" size=\"2\" "
                       "style=\"height:300px;width:300px\" disabled>"));
  EXPECT_TRUE(Contains(form, "<option value=\"" + std::to_string(b) + "\" selected>\u3000乙"));
  EXPECT_TRUE(Contains(form,
                       "<select name=\"d_toid\" size=\"2\" "
                       "style=\"height:300px;width:300px\">\r\n<option "
                       "value=\"0\">无（作为一级分类）</option>"));
  EXPECT_TRUE(Contains(form, "action=savemove&amp;id=" + std::to_string(b) + "\""));
  EXPECT_TRUE(Contains(AlertText(site_.Get(Url("&action=move&id=" + std::to_string(foreign))).text),
                       kParameter));

  auto move = [&](const std::string& id, const std::string& to) {
    return AlertText(site_.Post(Url("&action=savemove&id=" + id), {{"d_toid", to}}).text);
  };
  const std::string sb = std::to_string(b);
  EXPECT_TRUE(Contains(move("x", "0"), kParameter));
  EXPECT_TRUE(Contains(move(sb, ""), "提示：请选择需要移动的目标位置！"));
  EXPECT_TRUE(Contains(move(sb, sb), "提示：目标分类和移动分类不能相同！"));
  EXPECT_TRUE(Contains(move(sb, std::to_string(a)), "提示：分类位置相同没有必要移动！"));
  EXPECT_TRUE(Contains(move(std::to_string(a), "0"), "提示：分类位置相同没有必要移动！"));
  EXPECT_TRUE(
      Contains(move(sb, std::to_string(c)), "提示：不能指定该分类的下级分类作为所属分类！"));
  EXPECT_TRUE(Contains(move(sb, std::to_string(foreign)), kParameter));
  EXPECT_TRUE(Contains(move(std::to_string(foreign), "0"), kParameter));
  EXPECT_TRUE(Contains(
      AlertText(site_.Get(Url("&action=savemove&id=" + sb + "&d_toid=" + std::to_string(d))).text),
      kParameter));
  EXPECT_EQ(Tree(), before);

  HttpAnswer moved = site_.Post(Url("&action=savemove&id=" + sb), {{"d_toid", std::to_string(d)}});
  EXPECT_TRUE(Contains(moved.text, "移动分类成功！"));
  EXPECT_EQ(Tree(), "甲/0/0 丁/0/2 乙/1/1 丙/2/0");
  EXPECT_EQ(Column(c, "d_path"),
            std::to_string(d) + "," + std::to_string(b) + "," + std::to_string(c) + ",");
  EXPECT_EQ(Column(c, "d_rootid"), std::to_string(d));
  site_.Post(Url("&action=savemove&id=" + sb), {{"d_toid", "0"}});
  EXPECT_EQ(Tree(), "甲/0/0 丁/0/0 乙/0/1 丙/1/0");
  EXPECT_EQ(Positions(), "1,2,3,4");
  EXPECT_EQ(Tree(11), "外/0/0");
}

TEST_F(ClassPageTest, DeleteEmptyAndRepairWorkOnWholeSubtreesOfTheChannel) {
  int64_t a = site_.Add(ClassRow{.name = "甲", .dir = "a"});
  int64_t b = site_.Add(ClassRow{.name = "乙", .dir = "b", .parent = a});
  int64_t c = site_.Add(ClassRow{.name = "丙", .dir = "c", .parent = b});
  int64_t e = site_.Add(ClassRow{.name = "戊", .dir = "e", .parent = a});
  int64_t d = site_.Add(ClassRow{.name = "丁", .dir = "d"});
  site_.Add(ChannelRow{.name = "杂志", .dir = "mag", .id = 11});
  int64_t foreign = site_.Add(ClassRow{.name = "外", .dir = "f", .channel = 11});
  for (int64_t k : {a, b, c, d, e}) {
    site_.Add(ArticleRow{.title = "文" + std::to_string(k), .class_id = k, .generated = true});
  }
  site_.Add(ArticleRow{.title = "外文", .channel = 11, .class_id = foreign});
  auto articles = [&](const std::string& where) {
    return site_.Number("select count(*) from Vantrel_Article where " + where);
  };

  // Emptying: the ticked classes' subtrees go to the recycle bin, their pages stale.
  EXPECT_TRUE(
      Contains(AlertText(site_.Post(Url("&action=empty"), {}).text), "提示：请先选择记录再操作！"));
  for (const std::string& bad : {std::string("1 or 1=1"), std::to_string(b) + ", x",
                                 std::to_string(b) + "," + std::to_string(foreign)}) {
    EXPECT_TRUE(
        Contains(AlertText(site_.Post(Url("&action=empty"), {{"checkid", bad}}).text), kParameter))
        << bad;
  }
  EXPECT_EQ(articles("d_deleted <> 0"), 0);
  HttpAnswer emptied =
      site_.Post(Url("&action=empty"), {{"checkid", std::to_string(b) + ", " + std::to_string(d)}});
  EXPECT_TRUE(Contains(emptied.text, "此分类（包括子分类）的所有文章已经被移到回收站中！"));
  EXPECT_EQ(articles("d_deleted <> 0 and d_generatedflag = 0"), 3);
  EXPECT_EQ(articles("d_deleted = 0 and d_classid in (" + std::to_string(a) + "," +
                     std::to_string(e) + "," + std::to_string(foreign) + ")"),
            3);

  // Deleting: the subtree and its articles go, the ancestors' counts and the positions close up.
  EXPECT_TRUE(
      Contains(AlertText(site_.Post(Url("&action=del&id=" + std::to_string(foreign)), {}).text),
               kParameter));
  EXPECT_TRUE(
      Contains(AlertText(site_.Get(Url("&action=del&id=" + std::to_string(b))).text), kParameter));
  HttpAnswer deleted = site_.Post(Url("&action=del&id=" + std::to_string(b)), {});
  EXPECT_TRUE(Contains(deleted.text, "删除分类成功！请记得重新生成相关分类的文件呀！"));
  EXPECT_EQ(Tree(), "甲/0/1 戊/1/0 丁/0/0");
  EXPECT_EQ(Positions(), "1,2,3");
  EXPECT_EQ(articles("d_classid in (" + std::to_string(b) + "," + std::to_string(c) + ")"), 0);
  EXPECT_EQ(articles("1 = 1"), 4);

  // The repair renumbers positions in their order.
  site_.Sql("update Vantrel_ArticleClass set d_order = d_order * 4 where d_channelid = 1");
  EXPECT_TRUE(Contains(site_.Post(Url("&action=reorder"), {}).text, "分类修复成功！"));
  EXPECT_EQ(Positions(), "1,2,3");
  EXPECT_EQ(Tree(), "甲/0/1 戊/1/0 丁/0/0");
}

// The link bar's repair is posted by its script through a form of the bar's own: every page that
// shows the bar holds that form once, not only the list.
TEST_F(ClassPageTest, EveryPageWithTheLinkBarHoldsTheFormItsRepairPosts) {
  const std::string id = std::to_string(site_.Add(ClassRow{.name = "甲", .dir = "a"}));
  for (const std::string& rest : {std::string(), std::string("&action=add"),
                                  "&action=edit&id=" + id, "&action=move&id=" + id}) {
    const std::string page = site_.Get(Url(rest)).text;
    ASSERT_TRUE(Contains(page, "复位子类结构</a>")) << rest;
    const std::string form = "<form name=\"classpost\" method=\"post\"";
    const size_t at = page.find(form);
    EXPECT_NE(at, std::string::npos) << rest;
    EXPECT_EQ(page.find(form, at + 1), std::string::npos) << rest;
    EXPECT_TRUE(Contains(page, "function classPost(link, question)")) << rest;
  }
}

}  // namespace
}  // namespace folirex::testing
