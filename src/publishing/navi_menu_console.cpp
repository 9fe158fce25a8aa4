#include "publishing/navi_menu_console.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/channel_page.h"
#include "console/console_text.h"
#include "core/channel_rows.h"
#include "core/console_request.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/script_link.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "design/template_blocks.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/fs/file_system.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "publishing/navi_menu_file.h"
#include "publishing/navi_menu_tree.h"
#include "publishing/post_link.h"
#include "site/class_folders.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

std::string PageBase(const ConsoleChannel& channel) {
  return "?m=admin_articlenavi&channelid=" + channel.id_text;
}
std::string ServerPath(const RequestState& state) {
  return state.host.Application->Get("server_path").ToString();
}

// Back to the list after a change that answers with an alert.
void AlertAndList(RequestState& state, const ConsoleChannel& channel, std::string_view message) {
  Alert(state, message);
  GoUrl(state, PageBase(channel));
}

std::string ArticleNavi_TypeName(const Variant& flag) {
  return Trim(flag.ToString()) == "0" ? "分类菜单" : "自定义菜单";
}

// The name cell of a menu or class row: indent, folder icon, the name (bold at the top level),
// linked to the item's edit form when `link` is set.
std::string ArticleNavi_TreeName(const ConsoleChannel& channel, int64_t id, const std::string& name,
                                 int64_t level, int64_t child, int64_t pid, bool link) {
  std::string html;
  for (int64_t i = 0; i < level; ++i) html += "&nbsp;&nbsp;";
  html += std::string("<img src='admin/") + (child == 0 ? "tree_folder3.gif" : "tree_folder4.gif") +
          "' border=0>";
  std::string text = HtmlEscapeText(name);
  if (level == 0) text = "<b>" + text + "</b>";
  if (!link) return html + text;
  return html + "<a href='" +
         HtmlEscapeAttr(PageBase(channel) + "&action=edit&id=" + std::to_string(id) +
                        "&pid=" + std::to_string(pid)) +
         "'>" + text + "</a>";
}

void ArticleNavi_ShowNavi(RequestState& state, const ConsoleChannel& channel,
                          const ConsoleRequest& request) {
  const std::string base = PageBase(channel);
  std::vector<Variant> texts = {"分类菜单", "自定义菜单"};
  std::vector<Variant> values = {"0", "1"};
  std::string typeflag = request.values.Text("typeflag");
  state.host.Response->Write(
      "<form name='naviform' "
      "method='post' action='" +
      HtmlEscapeAttr("?m=admin_articlenavi&action=add&channelid=" + channel.id_text) +
      "'><table border=0 cellspacing=0 align=center class=navi><tr><td align=right>选择类型：" +
      BuildSelect(state.db, "typeflag", texts, values, typeflag, "", "") +
      " <input type='submit' value='新 增'>&nbsp;&nbsp;[<a href='" + HtmlEscapeAttr(base) +
      "'>所有菜单</a>]&nbsp;&nbsp;[<a href='" + HtmlEscapeAttr(base + "&action=set") +
      "'>菜单配置</a>]&nbsp;&nbsp;[" +
      PostLink(base + "&action=import", "分类导入",
               "当分类设置完整后，使用此功能可以自动新增所有的一级导航菜单，您确定要进行操作吗") +
      "]&nbsp;&nbsp;[" + PostLink(base + "&action=js", "生成菜单文件", "") +
      "]</td></tr></table></form><br>\r\n" + PostLinkForm());
}

void ArticleNavi_ShowList(RequestState& state, const ConsoleChannel& channel) {
  const std::string base = PageBase(channel);
  std::string html =
      "<form name='delform' "
      "method='post' action='" +
      HtmlEscapeAttr(base + "&action=empty") +
      "'>\r\n<table border=0 cellspacing=1 align=center class=list>\r\n<tr><th "
      "width='6%'>ID</th><th width='30%'>菜单名称</th><th "
      "width='15%'>菜单类型</th><th width='10%'>排序</th><th width='30%'>操作</th></tr>\r\n";
  Recordset rs;
  rs.Open(ChannelRowsRead("Vantrel_NaviMenu",
                          "d_id, d_name, d_level, d_child, d_pid, d_order, d_typeflag", channel.id,
                          "d_order"),
          *state.db.Conn);
  bool rows = false;
  for (; !rs.Eof(); rs.MoveNext()) {
    rows = true;
    const int64_t id = rs["d_id"].ToInt64Or(0);
    const int64_t child = rs["d_child"].ToInt64Or(0);
    const std::string with_id = "&id=" + std::to_string(id) + "&channelid=" + channel.id_text;
    html +=
        "<tr align=center><td>" + rs["d_order"].ToString() + "</td><td align=left>" +
        ArticleNavi_TreeName(channel, id, rs["d_name"].ToString(), rs["d_level"].ToInt64Or(0),
                             child, rs["d_pid"].ToInt64Or(0), true) +
        "[" + std::to_string(child) + "]</td><td>" + ArticleNavi_TypeName(rs["d_typeflag"]) +
        "</td><td>" +
        PostLink("?m=admin_articlenavi&action=up" + with_id, "<img src='admin/up.gif' border=0>",
                 "") +
        " " +
        PostLink("?m=admin_articlenavi&action=down" + with_id,
                 "<img src='admin/down.gif' border=0>", "") +
        "</td><td><a href='" +
        HtmlEscapeAttr("?m=admin_articlenavi&action=add&channelid=" + channel.id_text +
                       "&id=" + std::to_string(id) + "&typeflag=1") +
        "'>添加子类</a> " +
        PostLink(
            "?m=admin_articlenavi&action=del&channelid=" + channel.id_text +
                "&id=" + std::to_string(id),
            "删除菜单",
            "提示：删除菜单操作将删除此菜单中的所有子菜单，并且不能恢复！确定要删除此菜单吗？") +
        "</td></tr>\r\n";
  }
  rs.Close();
  if (rows) {
    html +=
        "<tr><td align=right colspan=5> 操作：<select size=1 name=checkaction><option "
        "value='empty'>清空</option></select> <input type=button value='执行' "
        "onclick=\"if(confirm('清空菜单会清楚所有的菜单数据，你确定要执行吗？'))"
        "{this.form.submit();}\"></td></tr>\r\n";
  } else {
    html += "<tr><td colspan=5>没有记录</td></tr>\r\n";
  }
  state.host.Response->Write(html + "</table></form>\r\n");
}

// The parent drop-down of the item forms: "无（作为一级菜单）" (0), then the channel's items in
// menu order, one ideographic space of indent per level.
std::string ArticleNavi_ParentSelect(RequestState& state, const ConsoleChannel& channel,
                                     const std::string& selected, bool disabled) {
  std::string options;
  Recordset rs;
  rs.Open(ChannelRowsRead("Vantrel_NaviMenu", "d_id, d_name, d_level", channel.id, "d_order"),
          *state.db.Conn);
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::string id = Trim(rs["d_id"].ToString());
    std::string indent;
    for (int64_t i = rs["d_level"].ToInt64Or(0); i > 0; --i) indent += "\u3000";
    options += "<option value='" + id + (id == selected ? "' selected>" : "'>") + indent +
               HtmlEscapeText(rs["d_name"].ToString()) + "</option>";
  }
  return std::string("<select size=1 name='d_pid'  ") + (disabled ? "disabled" : "") +
         "><option value=0>无（作为一级菜单）</option>" + options + "</select>";
}

// The icon picker: the files of the site's NaviMenu/Ico/ folder, each by its address.
std::string ArticleNavi_IconSelect(RequestState& state) {
  const std::string icon_path = ServerPath(state) + "NaviMenu/Ico/";
  std::optional<fs::FolderListing> listing;
  std::error_code error;
  try {
    listing = fs::ListFolder(state.host.Server->MapPath(icon_path), &error);
  } catch (const std::exception& e) {
    Alert(state, "无效的目录");
    return "";
  }
  if (!listing) {
    Alert(state, "无效的目录");
    return "";
  }
  if (listing->files.empty()) {
    return "<select name='d_piclist'><option value=''>请选择...</option><option "
           "value=''>还没有上传图片</option></select>";
  }
  std::string html =
      "<select name='d_piclist' onChange=\"javascript:show_menuico();\"><option "
      "value=''>请选择...</option>";
  for (const fs::EntryInfo& file : listing->files) {
    html += "<option value='" + HtmlEscapeAttr(icon_path + file.name) + "'>" +
            HtmlEscapeText(file.name) + "</option>";
  }
  return html + "</select>";
}

std::string ArticleNavi_IconScript() {
  return "<script language=javascript>\r\n"
         "function show_menuico() {\r\n"
         "  var list = document.forms['myform'].elements['d_piclist'];\r\n"
         "  var value = list.options[list.selectedIndex].value;\r\n"
         "  if (value == '') return;\r\n"
         "  document.forms['myform'].elements['d_picurl'].value = value;\r\n"
         "  var img = document.createElement('img');\r\n"
         "  img.src = value;\r\n"
         "  img.border = 0;\r\n"
         "  var box = document.getElementById('d_showpic');\r\n"
         "  box.innerHTML = '';\r\n"
         "  box.appendChild(img);\r\n"
         "}\r\n"
         "</script>\r\n";
}

std::string ArticleNavi_CheckSelectScript() {
  return "<script language=javascript>\r\n"
         "function CheckSelect(s_Flag, s_Row) {\r\n"
         "  var f = document.forms['delform'];\r\n"
         "  var n = parseInt(f.elements['hiddencount'].value, 10) || 0;\r\n"
         "  var box = function (name) { return f.elements[name]; };\r\n"
         "  if (s_Flag == '4') {\r\n"
         "    var on = box('d_id' + s_Row).checked;\r\n"
         "    box('d_includechildflag' + s_Row).checked = on;\r\n"
         "    box('d_openflag' + s_Row).checked = on;\r\n"
         "    return;\r\n"
         "  }\r\n"
         "  var names = {'1': ['chkSelectChild', 'd_includechildflag'],\r\n"
         "               '2': ['chkSelectOpen', 'd_openflag'], '3': ['chkSelectID', 'd_id']};\r\n"
         "  var pair = names[s_Flag];\r\n"
         "  if (!pair) return;\r\n"
         "  for (var i = 1; i <= n; i++) box(pair[1] + i).checked = box(pair[0]).checked;\r\n"
         "}\r\n"
         "</script>\r\n";
}

// The custom item form: the add form (`id` 0, `parent` preselected) or the edit form of item
// `id` with its stored values.
void WriteItemForm(RequestState& state, const ConsoleChannel& channel, int64_t id,
                   const std::string& parent, const MenuItemText& item) {
  const bool edit = id != 0;
  const std::string action =
      edit ? PageBase(channel) + "&action=update&id=" + std::to_string(id) + "&pid=" + parent
           : PageBase(channel) + "&action=save";
  const std::string open0 = item.open_flag == 0 ? " checked" : "";
  const std::string open1 = item.open_flag == 0 ? "" : " checked";
  const std::string upload = "?m=uploadfile&channelid=" + channel.id_text +
                             "&type=menuico&lm=menuico&field=myform.d_picurl";
  std::string html = SettingsFormHead("myform", HtmlEscapeAttr(action));
  html += SettingsRow("所属菜单：", ArticleNavi_ParentSelect(state, channel, parent, edit), "", "");
  html += SettingsRow("菜单名称：", TextInput("d_name", item.name, 50, " maxlength=50"), "*",
                      "必填，最大25个中文");
  html +=
      SettingsRow("打开方式：",
                  "<input type=radio name='d_openflag' value='0'" + open0 +
                      ">本窗口 <input type=radio name='d_openflag' value='1'" + open1 + ">新窗口",
                  "", "选择链接的打开方式");
  html += SettingsRow("链接地址：", TextInput("d_linkurl", item.link_url, 50, " maxlength=100"), "",
                      "菜单的链接地址，如果网络上的地址用http://开头");
  html += SettingsRow("链接图标：",
                      TextInput("d_picurl", item.pic_url, 50, " maxlength=100") +
                          " <input type=button name='btnLogo' value='上 传' "
                          "onclick=\"g_OpenWindow('" +
                          HtmlEscapeAttr(upload) + "', '350', '50')\">",
                      "", "菜单前面的小图标的地址");
  html += "<tr><td align=right nowrap>选择图标：</td><td nowrap>" + ArticleNavi_IconSelect(state) +
          "<div id='d_showpic'></div></td><td><span class=red></span> <span "
          "class=gray>选择已经上传的图标</span></td></tr>\r\n";
  html +=
      "<tr><td colspan=3 align=center><input type='submit' name='Submit' value='确　定'> "
      "<input type='reset' name='Reset' value='返 回' onclick=\"location.href='" +
      HtmlEscapeAttr(PageBase(channel)) + "'\"></td></tr>\r\n</table>\r\n</form>\r\n";
  state.host.Response->Write(html + ArticleNavi_IconScript());
}

void ArticleNavi_ShowClassPick(RequestState& state, const ConsoleChannel& channel) {
  std::string html =
      "<form name='delform' "
      "method='post' action='" +
      HtmlEscapeAttr(PageBase(channel) + "&action=select") +
      "'>\r\n<table border=0 cellspacing=1 align=center class=list>\r\n<tr><th "
      "width='6%'>ID</th><th width='50%'>分类名称</th><th "
      "width='6%'>包含子类<br><input type='checkbox' name='chkSelectChild' "
      "onclick=\"CheckSelect('1', '')\"></th><th width='8%'>本窗口打开<br><input "
      "type='checkbox' name='chkSelectOpen' onclick=\"CheckSelect('2', '')\"></th><th "
      "width='6%'>选择<br><input type='checkbox' name='chkSelectID' "
      "onclick=\"CheckSelect('3', '')\"></th></tr>\r\n";
  Recordset rs;
  rs.Open(ChannelRowsRead("Vantrel_ArticleClass", "d_id, d_name, d_pid, d_level, d_child",
                          channel.id, "d_order"),
          *state.db.Conn);
  int64_t n = 0;
  for (; !rs.Eof(); rs.MoveNext()) {
    ++n;
    const std::string i = std::to_string(n);
    const int64_t id = rs["d_id"].ToInt64Or(0);
    const int64_t child = rs["d_child"].ToInt64Or(0);
    const int64_t pid = rs["d_pid"].ToInt64Or(0);
    const std::string ticked = pid == 0 ? " checked" : "";
    html += "<tr align=center><td>" + std::to_string(id) + "</td><td align=left>" +
            ArticleNavi_TreeName(channel, id, rs["d_name"].ToString(), rs["d_level"].ToInt64Or(0),
                                 child, pid, false) +
            "[" + std::to_string(child) +
            "]</td><td><input type=checkbox name='d_includechildflag" + i + "' value='1'" + ticked +
            "></td><td><input type=checkbox name='d_openflag" + i + "' value='0'" + ticked +
            "></td><td><input type=checkbox name='d_id" + i + "' value='" + std::to_string(id) +
            "'" + ticked + " onclick=\"CheckSelect('4', '" + i + "')\"></td></tr>\r\n";
  }
  rs.Close();
  html += n == 0 ? "<tr><td colspan=5>没有记录</td></tr>\r\n"
                 : "<tr><td align=right colspan=5> <input type=submit value='执行'></td></tr>\r\n";
  html += "</table><input type=hidden value='" + std::to_string(n) +
          "' name='hiddencount'></form>\r\n" + ArticleNavi_CheckSelectScript();
  state.host.Response->Write(html);
}

void ArticleNavi_Add(RequestState& state, const ConsoleChannel& channel,
                     const ConsoleRequest& request) {
  if (request.values.Text("typeflag") != "1") {
    ArticleNavi_ShowClassPick(state, channel);
    return;
  }
  WriteItemForm(state, channel, 0, request.query.Text("id"), MenuItemText{});
}

void ArticleNavi_Edit(RequestState& state, const ConsoleChannel& channel,
                      const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  const int64_t pid = request.query.Id("pid", kParameterError);
  Recordset rs;
  rs.Open(
      db::KeptRead{
          .tables = {"Vantrel_NaviMenu"},
          .sql =
              "select d_name, d_openflag, d_linkurl, d_picurl from Vantrel_NaviMenu where d_id = ? "
              "and d_channelid = ?",
          .values = {Variant(id), Variant(channel.id)}},
      *state.db.Conn);
  if (rs.Eof()) AlertBack(state, kParameterError);
  MenuItemText item;
  item.name = rs["d_name"].ToString();
  item.open_flag = rs["d_openflag"].ToInt64Or(0);
  item.link_url = rs["d_linkurl"].IsNull() ? "" : rs["d_linkurl"].ToString();
  item.pic_url = rs["d_picurl"].IsNull() ? "" : rs["d_picurl"].ToString();
  rs.Close();
  WriteItemForm(state, channel, id, std::to_string(pid), item);
}

// The posted text, open mode, link and icon of the item forms, checked.
MenuItemText ReadItemText(RequestState& state, const RequestReader& posted) {
  MenuItemText item;
  item.name = posted.Text("d_name");
  if (item.name.empty()) AlertBack(state, "提示：名称不能为空");
  const std::string open = posted.Text("d_openflag");
  if (open != "0" && open != "1") AlertBack(state, kParameterError);
  item.open_flag = open == "1" ? 1 : 0;
  item.link_url = posted.Text("d_linkurl");
  item.pic_url = posted.Text("d_picurl");
  // The menu is drawn on every public page, which shares the console's origin.
  if (IsScriptLink(item.link_url) || IsScriptLink(item.pic_url)) {
    AlertBack(state, kScriptLinkRefused);
  }
  // The form's limits, kept on the server too (a character beyond ASCII counts as one).
  if (interaction::CharCount(item.name) > 50 || interaction::CharCount(item.link_url) > 255 ||
      interaction::CharCount(item.pic_url) > 255) {
    AlertBack(state, "提示：名称最多50个字符，链接和图标地址最多255个字符！");
  }
  return item;
}

void ArticleNavi_Save(RequestState& state, const ConsoleChannel& channel,
                      const ConsoleRequest& request) {
  const int64_t pid = request.values.Id("d_pid", kParameterError);
  MenuItemText item = ReadItemText(state, request.values);
  RequireFormPost(request);
  if (AddMenuItem(*state.db.Conn, channel.id, pid, item, nullptr) != MenuTreeStatus::kDone) {
    AlertBack(state, kParameterError);
  }
  state.host.Response->Write(MessageBox(
      "新增信息成功！",
      LinkItemTo(PageBase(channel) + "&action=add&id=" + std::to_string(pid) + "&typeflag=1",
                 "返回继续新增") +
          LinkItemTo(PageBase(channel), "返回列表")));
}

void ArticleNavi_Update(RequestState& state, const ConsoleChannel& channel,
                        const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  const int64_t pid = request.query.Id("pid", kParameterError);
  MenuItemText item = ReadItemText(state, request.values);
  RequireFormPost(request);
  if (UpdateMenuItem(*state.db.Conn, channel.id, id, item) != MenuTreeStatus::kDone) {
    AlertBack(state, kParameterError);
  }
  state.host.Response->Write(MessageBox(
      "修改信息成功！", LinkItemTo(PageBase(channel) + "&action=edit&id=" + std::to_string(id) +
                                       "&pid=" + std::to_string(pid),
                                   "返回继续修改") +
                            LinkItemTo(PageBase(channel), "返回列表")));
}

ClassLinkRule ClassLinks(RequestState& state, const ConsoleChannel& channel) {
  return [&state, &channel](int64_t id, const std::string& dir) {
    return ArticleNavi_ClassLinkUrl(state, channel, id, dir);
  };
}

void ArticleNavi_SaveSelect(RequestState& state, const ConsoleChannel& channel,
                            const ConsoleRequest& request) {
  const int64_t count = request.values.Id("hiddencount", kParameterError);
  if (count > 100000) AlertBack(state, kParameterError);
  RequireFormPost(request);
  struct Entry {
    int64_t class_id;
    bool with_subclasses;
    int64_t open_flag;
  };
  std::vector<Entry> entries;
  for (int64_t i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    const std::optional<int64_t> class_id = request.values.Id("d_id" + n);
    if (!class_id) continue;
    const std::string include = request.values.Text("d_includechildflag" + n);
    const std::string open = request.values.Text("d_openflag" + n);
    entries.push_back({*class_id, include == "1", open == "0" ? 0 : 1});
  }
  // Every picked class must be one of the channel's before any is added.
  for (const Entry& entry : entries) {
    if (state.db.Conn
            ->ExecuteScalar(
                {.tables = {"Vantrel_ArticleClass"},
                 .sql =
                     "select count(*) from Vantrel_ArticleClass where d_id = ? and d_channelid = ?",
                 .values = {Variant(entry.class_id), Variant(channel.id)}})
            .ToInt64Or(0) == 0) {
      AlertBack(state, "提示：分类id错误！");
    }
  }
  {
    ScopedTransaction transaction(*state.db.Conn);
    for (const Entry& entry : entries) {
      AddClassItems(*state.db.Conn, channel.id, entry.class_id, entry.with_subclasses,
                    entry.open_flag, ClassLinks(state, channel));
    }
    transaction.Commit();
  }
  state.host.Response->Write(MessageBox(
      "新增信息成功！", LinkItemTo(PageBase(channel) + "&action=add&typeflag=0", "返回继续新增") +
                            LinkItemTo(PageBase(channel), "返回列表")));
}

void ArticleNavi_Import(RequestState& state, const ConsoleChannel& channel,
                        const ConsoleRequest& request) {
  RequireFormPost(request);
  const std::string mode = Trim(channel.settings.GenerateHtml.ToString());
  std::string home;
  if (mode == "0") {
    home = ServerPath(state) + "asp.asp?channelid=" + channel.id_text;
  } else if (mode == "1" || mode == "2") {
    home = GetChannelPath(state.host, state.db, state.caches, channel.id_text);
  }
  ImportClassTree(*state.db.Conn, channel.id, home, ClassLinks(state, channel));
  state.host.Response->Write(
      MessageBox("导入分类数据成功！", LinkItemTo(PageBase(channel), "返回列表修改")));
}

void ArticleNavi_Move(RequestState& state, const ConsoleChannel& channel,
                      const ConsoleRequest& request, bool up) {
  const int64_t id = request.values.Id("id", "无效ID号！");
  RequireFormPost(request);
  MenuTreeStatus status = up ? MoveMenuItemUp(*state.db.Conn, channel.id, id)
                             : MoveMenuItemDown(*state.db.Conn, channel.id, id);
  if (status == MenuTreeStatus::kNoItem) AlertBack(state, "无效ID号！");
  if (status == MenuTreeStatus::kNothingToDo) {
    GoUrl(state, PageBase(channel));
    return;
  }
  AlertAndList(state, channel, "排序移动操作成功！");
}

void ArticleNavi_Del(RequestState& state, const ConsoleChannel& channel,
                     const ConsoleRequest& request) {
  if (request.query.Text("id").empty()) AlertBack(state, "提示：请先选择记录再操作！");
  const int64_t id = request.query.Id("id", kParameterError);
  RequireFormPost(request);
  if (DeleteMenuItem(*state.db.Conn, channel.id, id) != MenuTreeStatus::kDone) {
    AlertBack(state, "提示：数据库连接错误！");
  }
  state.host.Response->Write(
      MessageBox("删除菜单成功！", LinkItemTo(PageBase(channel), "返回列表")));
}

void ArticleNavi_Empty(RequestState& state, const ConsoleChannel& channel,
                       const ConsoleRequest& request) {
  RequireFormPost(request);
  EmptyMenu(*state.db.Conn, channel.id);
  AlertAndList(state, channel, "清空记录操作成功！");
}

void ArticleNavi_Js(RequestState& state, const ConsoleChannel& channel,
                    const ConsoleRequest& request) {
  RequireFormPost(request);
  ArticleNavi_CreateJs(state, channel);
}

}  // namespace

std::string ArticleNavi_ClassLinkUrl(RequestState& state, const ConsoleChannel& channel,
                                     int64_t class_id, const std::string& class_dir) {
  const std::string mode = Trim(channel.settings.GenerateHtml.ToString());
  const std::string id = std::to_string(class_id);
  if (mode == "0" || mode == "2") {
    return ServerPath(state) + "asp.asp?m=classlist&classid=" + id +
           "&channelid=" + channel.id_text + "&";
  }
  if (mode == "1") {
    return GetClassListDir(state, channel.settings.ChannelDir, channel.settings.ListDirType,
                           Variant(class_dir)) +
           "list_" + id + channel.settings.ListFileExt;
  }
  return "";
}

void ArticleNavi_Main(RequestState& state, const ConsolePage& page) {
  const ConsoleChannel& channel = page.channel;
  const ConsoleRequest& request = page.request;
  ArticleNavi_ShowNavi(state, channel, request);
  auto with = [&channel,
               &request](void (*run)(RequestState&, const ConsoleChannel&, const ConsoleRequest&)) {
    return [&channel, &request, run](RequestState& s) { run(s, channel, request); };
  };
  auto move = [&channel, &request](bool up) {
    return [&channel, &request, up](RequestState& s) { ArticleNavi_Move(s, channel, request, up); };
  };
  RunAdminAction(state, request.action,
                 {{"down", move(false)},
                  {"up", move(true)},
                  {"add", with(ArticleNavi_Add)},
                  {"save", with(ArticleNavi_Save)},
                  {"edit", with(ArticleNavi_Edit)},
                  {"update", with(ArticleNavi_Update)},
                  {"del", with(ArticleNavi_Del)},
                  {"empty", with(ArticleNavi_Empty)},
                  {"import", with(ArticleNavi_Import)},
                  {"select", with(ArticleNavi_SaveSelect)},
                  {"set", with(ArticleNavi_Set)},
                  {"js", with(ArticleNavi_Js)},
                  {"preview", [](RequestState&) {}}},
                 [&channel](RequestState& s) { ArticleNavi_ShowList(s, channel); });
}

}  // namespace folirex
