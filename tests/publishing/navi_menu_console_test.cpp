// The navigation menu console through the host: items added, edited, moved and deleted from the
// forms and the list, classes picked and imported with their links, the skin chosen and copied,
// the menu file written; and the requests that are refused without changing anything.
#include <filesystem>
#include <string>
#include <vector>

#include "design/design_site.h"
#include "publishing/navi_menu_file.h"

namespace folirex::testing {
namespace {

namespace stdfs = std::filesystem;

const std::string kPage = "/admin.asp?m=admin_articlenavi&channelid=1";

class NaviMenuConsoleTest : public DesignConsoleTest {
 protected:
  HttpAnswer AddItem(const std::string& parent, const std::string& name,
                     const std::string& link = "", const std::string& open = "0") {
    return site_.Post(kPage + "&action=save", {{"d_pid", parent},
                                               {"d_name", name},
                                               {"d_openflag", open},
                                               {"d_linkurl", link},
                                               {"d_picurl", ""}});
  }
  int64_t Item(const std::string& name) {
    return site_.Number("select d_id from Vantrel_NaviMenu where d_name = '" + name + "'");
  }
  // The channel's items in menu order: "order:name:level:child" each.
  std::string Tree() {
    return site_.SqlValue(
        "select group_concat(x, ' ') from (select d_order || ':' || d_name || ':' || d_level || "
        "':' || d_child as x from Vantrel_NaviMenu where d_channelid = 1 order by d_order)");
  }
  HttpAnswer Act(const std::string& action, int64_t id) {
    return site_.Post(kPage + "&action=" + action + "&id=" + std::to_string(id), {});
  }
};

TEST_F(NaviMenuConsoleTest, ItemsAreAddedEditedMovedAndDeletedFromTheList) {
  EXPECT_TRUE(Contains(site_.Get(kPage).text, "<td colspan=5>没有记录</td>"));
  EXPECT_TRUE(Contains(AddItem("0", "新闻").text, "新增信息成功！"));
  AddItem("0", "体育");
  AddItem(std::to_string(Item("新闻")), "国内");
  AddItem(std::to_string(Item("国内")), "北京");
  AddItem(std::to_string(Item("新闻")), "国际");
  EXPECT_EQ(Tree(), "1:新闻:0:3 2:国内:1:1 3:北京:2:0 4:国际:1:0 5:体育:0:0");

  // The list: positions, bold top items, the descendant count, posting links.
  std::string list = site_.Get(kPage).text;
  EXPECT_TRUE(Contains(list, "<b>新闻</b></a>[3]"));
  EXPECT_TRUE(Contains(list, "tree_folder3.gif"));
  EXPECT_TRUE(Contains(list, "onclick=\"return consolePost(this"));
  // "添加子类" preselects its item as the parent.
  std::string add =
      site_.Get(kPage + "&action=add&typeflag=1&id=" + std::to_string(Item("国内"))).text;
  EXPECT_TRUE(
      Contains(add, "<option value='" + std::to_string(Item("国内")) + "' selected>　国内"));

  // Edit: text stored as typed, shown encoded in the form, place unchanged.
  const int64_t sport = Item("体育");
  HttpAnswer updated = site_.Post(
      kPage + "&action=update&id=" + std::to_string(sport) + "&pid=0",
      {{"d_name", "体育'<b>"}, {"d_openflag", "1"}, {"d_linkurl", "/s.html"}, {"d_picurl", ""}});
  EXPECT_TRUE(Contains(updated.text, "修改信息成功！")) << updated.text;
  std::string edit = site_.Get(kPage + "&action=edit&pid=0&id=" + std::to_string(sport)).text;
  EXPECT_TRUE(Contains(edit, "value='体育&#39;&lt;b&gt;'"));
  EXPECT_TRUE(Contains(edit, "name='d_openflag' value='1' checked"));

  // Moves: the subtree goes with its item; a first sibling stays; a GET changes nothing.
  EXPECT_TRUE(Contains(Act("up", sport).text, "排序移动操作成功！"));
  EXPECT_EQ(Tree(), "1:体育'<b>:0:0 2:新闻:0:3 3:国内:1:1 4:北京:2:0 5:国际:1:0");
  EXPECT_EQ(AlertText(Act("up", sport).text), "");
  Act("down", Item("国内"));
  EXPECT_EQ(Tree(), "1:体育'<b>:0:0 2:新闻:0:3 3:国际:1:0 4:国内:1:1 5:北京:2:0");
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=down&id=" + std::to_string(sport))),
            "提示：参数错误！");

  // Delete closes the gap its subtree leaves; the ancestors lose its count.
  EXPECT_TRUE(Contains(Act("del", Item("国际")).text, "删除菜单成功！"));
  EXPECT_EQ(Tree(), "1:体育'<b>:0:0 2:新闻:0:2 3:国内:1:1 4:北京:2:0");
  AddItem("0", "末尾");
  EXPECT_EQ(Tree(), "1:体育'<b>:0:0 2:新闻:0:2 3:国内:1:1 4:北京:2:0 5:末尾:0:0");

  // Another channel's item is no item here.
  const int64_t other_channel = site_.Add(ChannelRow{.name = "其他", .dir = "other"});
  site_.Post(
      "/admin.asp?m=admin_articlenavi&channelid=" + std::to_string(other_channel) + "&action=save",
      {{"d_pid", "0"}, {"d_name", "外"}, {"d_openflag", "0"}});
  const int64_t foreign = Item("外");
  EXPECT_EQ(Refusal(Act("del", foreign)), "提示：数据库连接错误！");
  EXPECT_EQ(Refusal(AddItem(std::to_string(foreign), "挂错")), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=edit&pid=0&id=" + std::to_string(foreign))),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(AddItem("0", "")), "提示：名称不能为空");
  EXPECT_EQ(Refusal(AddItem("0", "x", "", "2")), "提示：参数错误！");
  EXPECT_EQ(Refusal(Act("up", 999999)), "无效ID号！");

  // Emptying takes this channel's items only.
  HttpAnswer emptied = site_.Post(kPage + "&action=empty", {{"checkaction", "empty"}});
  EXPECT_TRUE(Contains(emptied.text, "清空记录操作成功！"));
  EXPECT_EQ(Count("select count(*) from Vantrel_NaviMenu where d_channelid = 1"), 0);
  EXPECT_EQ(Count("select count(*) from Vantrel_NaviMenu"), 1);
}

TEST_F(NaviMenuConsoleTest, ClassesArePickedAndImportedWithTheirLinks) {
  const int64_t china = site_.Add(ClassRow{.name = "国内", .dir = "china"});
  site_.Add(ClassRow{.name = "北京", .dir = "beijing", .parent = china});
  site_.Add(ClassRow{.name = "国际", .dir = "world"});
  // The pick list: top classes ticked, sub-classes not.
  std::string pick = site_.Post(kPage + "&action=add", {{"typeflag", "0"}}).text;
  EXPECT_TRUE(Contains(pick, "name='d_id1' value='" + std::to_string(china) + "' checked"));
  EXPECT_TRUE(Contains(pick, "name='d_id2' value="));
  EXPECT_FALSE(Contains(pick, "name='d_id2' value='" + std::to_string(china + 1) + "' checked"));
  EXPECT_TRUE(Contains(pick, "value='3' name='hiddencount'"));

  // 国内 with its sub-class in this window; 国际 alone, unticked "本窗口打开": a new window.
  HttpAnswer picked = site_.Post(kPage + "&action=select", {{"hiddencount", "3"},
                                                            {"d_id1", std::to_string(china)},
                                                            {"d_includechildflag1", "1"},
                                                            {"d_openflag1", "0"},
                                                            {"d_id3", std::to_string(china + 2)}});
  EXPECT_TRUE(Contains(picked.text, "新增信息成功！")) << picked.text;
  EXPECT_EQ(Tree(), "1:国内:0:1 2:北京:1:0 3:国际:0:0");
  EXPECT_EQ(site_.SqlValue("select d_openflag || '|' || d_includechildflag || '|' || d_linkurl "
                           "from Vantrel_NaviMenu where d_name = '国际'"),
            "1|0|/asp.asp?m=classlist&classid=" + std::to_string(china + 2) + "&channelid=1&");
  // A class of no row stops the pick before anything is added.
  EXPECT_EQ(Refusal(site_.Post(kPage + "&action=select", {{"hiddencount", "1"}, {"d_id1", "999"}})),
            "提示：分类id错误！");
  EXPECT_EQ(Refusal(site_.Post(kPage + "&action=select", {{"hiddencount", "x"}})),
            "提示：参数错误！");

  // The import of an all-static channel: the home item at the channel folder, class pages.
  site_.SetChannel(1, "d_generatehtml = 1, d_listdir = 0, d_listfileext = 0");
  EXPECT_TRUE(Contains(site_.Post(kPage + "&action=import", {}).text, "导入分类数据成功！"));
  EXPECT_EQ(Tree(),
            "1:国内:0:1 2:北京:1:0 3:国际:0:0 4:首 页:0:0 5:国内:0:1 6:北京:1:0 7:国际:0:0");
  EXPECT_EQ(site_.SqlValue("select d_linkurl from Vantrel_NaviMenu where d_order = 4"),
            "/Article/");
  EXPECT_EQ(site_.SqlValue("select d_linkurl from Vantrel_NaviMenu where d_order = 6"),
            "/Article/beijing/list_" + std::to_string(china + 1) + ".html");
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=import")), "提示：参数错误！");
}

// A new site's channel already holds what choosing the skin the form shows chosen and writing
// its empty menu would write, so its pages find every menu file they link.
TEST_F(NaviMenuConsoleTest, ANewSiteShipsTheMenuFilesOfTheSkinShownChosen) {
  const char* files[] = {"Article/Skin/default.css", "Article/Skin/menu.css",
                         "Article/Skin/menu-3d.css", "Article/Skin/menu-extended.css",
                         "Article/Js/default.js"};
  std::vector<std::string> shipped;
  for (const char* file : files) {
    ASSERT_TRUE(stdfs::exists(site_.Disk(file))) << file;
    shipped.push_back(site_.FileText(file));
  }
  // With no skin stored the form's first option shows chosen.
  const std::string form = site_.Get(kPage + "&action=set").text;
  EXPECT_TRUE(Contains(form, "<select name='d_skin' size=1><option value=\"" +
                                 std::string(MenuSkins().front().file) + "\">"))
      << form;
  EXPECT_FALSE(Contains(form, "\" selected>"));
  ASSERT_TRUE(Contains(
      site_.Post(kPage + "&action=set&flag=1", {{"d_skin", MenuSkins().front().file}}).text,
      "操作成功！"));
  ASSERT_TRUE(Contains(site_.Post(kPage + "&action=js", {}).text, "生成成功！"));
  for (size_t i = 0; i < shipped.size(); ++i) {
    EXPECT_EQ(site_.FileText(files[i]), shipped[i]) << files[i];
  }
}

TEST_F(NaviMenuConsoleTest, TheSkinIsCopiedAndTheMenuFileWritten) {
  // The skin form preselects the stored skin; only a listed skin is taken, from a posted form.
  EXPECT_TRUE(Contains(site_.Get(kPage + "&action=set").text, "<select name='d_skin'"));
  EXPECT_EQ(Refusal(site_.Post(kPage + "&action=set&flag=1", {{"d_skin", ""}})),
            "提示：皮肤样式不能为空！");
  EXPECT_EQ(Refusal(site_.Post(kPage + "&action=set&flag=1", {{"d_skin", "../../x.css"}})),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=set&flag=1&d_skin=skin-xp.css")),
            "提示：参数错误！");
  EXPECT_EQ(site_.SqlValue("select d_navimenucss from Vantrel_Channel where d_id = 1"), "");

  for (const char* skin : {"skin-xp.css", "skin-aqua.css"}) {
    EXPECT_TRUE(
        Contains(site_.Post(kPage + "&action=set&flag=1", {{"d_skin", skin}}).text, "操作成功！"));
  }
  EXPECT_EQ(site_.SqlValue("select d_navimenucss from Vantrel_Channel where d_id = 1"),
            "skin-aqua.css");
  std::string css = site_.FileText("Article/Skin/default.css");
  EXPECT_TRUE(Contains(css, "aqua"));
  EXPECT_TRUE(Contains(css, "url(../../NaviMenu/Images/"));
  EXPECT_FALSE(Contains(css, "url(/NaviMenu/"));
  EXPECT_TRUE(Contains(site_.FileText("Article/Skin/menu.css"), "url(../../NaviMenu/Images/"));
  EXPECT_TRUE(stdfs::exists(site_.Disk("Article/Skin/menu-3d.css")));
  EXPECT_TRUE(stdfs::exists(site_.Disk("Article/Skin/menu-extended.css")));
  EXPECT_TRUE(
      Contains(site_.Get(kPage + "&action=set").text, "<option value=\"skin-aqua.css\" selected>"));
  // A channel without a folder: the install folder's Skin, one level up.
  site_.SetChannel(1, "d_channeldir = ''");
  site_.Post(kPage + "&action=set&flag=1", {{"d_skin", "skin-yp.css"}});
  EXPECT_TRUE(Contains(site_.FileText("Skin/default.css"), "url(../NaviMenu/Images/"));
  site_.SetChannel(1, "d_channeldir = 'Article'");

  // The menu file: names and links encoded for their place, then escaped for the script.
  site_.Post(
      kPage + "&action=save",
      {{"d_pid", "0"}, {"d_name", "A \"引\" \\ <b>"}, {"d_openflag", "0"}, {"d_linkurl", ""}});
  site_.Post(kPage + "&action=save",
             {{"d_pid", std::to_string(site_.Number("select max(d_id) from Vantrel_NaviMenu"))},
              {"d_name", "A1"},
              {"d_openflag", "1"},
              {"d_linkurl", "/a1.html?x='1'"}});
  site_.Post(kPage + "&action=save",
             {{"d_pid", "0"}, {"d_name", "B"}, {"d_openflag", "0"}, {"d_picurl", "/i.gif"}});
  EXPECT_TRUE(Contains(site_.Post(kPage + "&action=js", {}).text, "生成成功！"));
  EXPECT_EQ(site_.FileText("Article/Js/default.js"),
            "document.write(\"<ul id='menu' style='display:none'><li>A &quot;引&quot; \\\\ "
            "&lt;b&gt;<ul><li><a href='/a1.html?x=&#39;1&#39;' target = '_blank'>A1</a></li></ul>"
            "</li><li><img src='/i.gif'>B</li></ul>\");\r\n");
  EXPECT_EQ(Refusal(site_.Get(kPage + "&action=js")), "提示：参数错误！");

  // A script address is refused on save; one stored before that rule is written as "#".
  const std::string before = Tree();
  EXPECT_EQ(Refusal(AddItem("0", "C", " Java\tScript:alert(1)")),
            "提示：链接地址不能使用javascript:、vbscript:或data:地址！");
  EXPECT_EQ(Tree(), before);
  site_.Sql("update Vantrel_NaviMenu set d_linkurl = 'javascript:alert(1)' where d_name = 'A1'");
  site_.Post(kPage + "&action=js", {});
  EXPECT_TRUE(Contains(site_.FileText("Article/Js/default.js"), "<a href='#' target"));
  EXPECT_FALSE(Contains(site_.FileText("Article/Js/default.js"), "alert"));

  // An empty menu writes an empty file; rows whose levels jump still give balanced lists.
  site_.Post(kPage + "&action=empty", {{"checkaction", "empty"}});
  site_.Post(kPage + "&action=js", {});
  EXPECT_EQ(site_.FileText("Article/Js/default.js"), "");
  EXPECT_EQ(NaviMenuMarkup({{0, "a", "", "", 0}, {2, "b", "", "", 0}, {0, "c", "", "", 0}}),
            "<ul id='menu' style='display:none'><li>a<ul><li>b</li></ul></li><li>c</li></ul>");
}

}  // namespace
}  // namespace folirex::testing
