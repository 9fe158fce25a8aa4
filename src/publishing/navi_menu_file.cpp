#include "publishing/navi_menu_file.h"

#include <string>
#include <vector>

#include "console/admin_blocks.h"
#include "console/console_text.h"
#include "core/channel_rows.h"
#include "core/messages.h"
#include "core/script_link.h"
#include "core/select_boxes.h"
#include "core/site_files.h"
#include "design/template_blocks.h"
#include "platform/db/recordset.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

std::string PageBase(const ConsoleChannel& channel) {
  return "?m=admin_articlenavi&channelid=" + channel.id_text;
}

// The opening of one item: icon, then the name or the link around it.
std::string ItemOpening(const MenuFileItem& item) {
  std::string html = "<li>";
  if (!item.pic_url.empty()) html += "<img src='" + HtmlEscapeAttr(item.pic_url) + "'>";
  const std::string name = HtmlEscapeText(item.name);
  if (item.link_url.empty()) return html + name;
  return html + "<a href='" + HtmlEscapeAttr(item.link_url) + "' " +
         (item.open_flag == 1 ? "target = '_blank'" : "") + ">" + name + "</a>";
}

}  // namespace

std::string NaviMenuMarkup(const std::vector<MenuFileItem>& items) {
  std::string html;
  int64_t previous = -1;
  for (const MenuFileItem& item : items) {
    int64_t level = item.level < 0 ? 0 : item.level;
    if (level > previous + 1) level = previous + 1;
    if (previous < level) {
      html += previous < 0 ? "<ul id='menu' style='display:none'>" : "<ul>";
    } else {
      for (int64_t d = previous - level; d > 0; --d) html += "</li></ul>";
      html += "</li>";
    }
    html += ItemOpening(item);
    previous = level;
  }
  if (previous >= 0) {
    for (int64_t d = previous; d >= 0; --d) html += "</li></ul>";
  }
  return html;
}

void ArticleNavi_Set(RequestState& state, const ConsoleChannel& channel,
                     const ConsoleRequest& request) {
  if (request.values.Text("flag") != "1") {
    std::vector<Variant> texts, values;
    for (const MenuSkin& skin : MenuSkins()) {
      texts.emplace_back(skin.label);
      values.emplace_back(skin.file);
    }
    const std::string base = HtmlEscapeAttr(PageBase(channel));
    state.host.Response->Write(
        SettingsFormHead("myform", base + "&amp;action=set&amp;flag=1") +
        "<tr><td>菜单皮肤：</td><td>" +
        BuildSelect(state.db, "d_skin", texts, values, channel.settings.NaviMenuCss, "", "") +
        "</td><td> <span class=red></span> <span class=gray>选择菜单的皮肤样式</span></td></tr>\r\n"
        "<tr><td colspan=3 align=center><input type='submit' name='Submit' value='确　定'> "
        "<input type='reset' name='Reset' value='返 回' onclick=\"location.href='" +
        base + "'\"></td></tr>\r\n</table>\r\n</form>\r\n");
    return;
  }

  const std::string skin = request.values.Text("d_skin");
  if (skin.empty()) AlertBack(state, "提示：皮肤样式不能为空！");
  // Only a listed skin: the name is stored and names the stylesheet that is read.
  bool listed = false;
  for (const MenuSkin& offered : MenuSkins()) listed = listed || skin == offered.file;
  if (!listed) AlertBack(state, "提示：参数错误！");
  RequireFormPost(request);

  state.db.Conn->Execute("update Vantrel_Channel set d_navimenucss = ? where d_id = ?",
                         {Variant(skin), Variant(channel.id)});
  state.caches.Clear();

  const std::vector<std::string> failed =
      WriteMenuStylesheets(state.host, channel.settings.ChannelDir, skin);
  std::string links = LinkItemTo(PageBase(channel), "返回列表");
  if (failed.empty()) {
    state.host.Response->Write(MessageBox("操作成功！", links));
    return;
  }
  std::string names;
  for (const std::string& name : failed) names += (names.empty() ? "" : "、") + name;
  state.host.Response->Write(MessageBox(
      "提示：皮肤已保存，但以下样式文件没有复制成功：Skin/" + HtmlEscapeText(names), links));
}

void ArticleNavi_CreateJs(RequestState& state, const ConsoleChannel& channel) {
  std::vector<MenuFileItem> items;
  Recordset rs;
  rs.Open(ChannelRowsRead("Vantrel_NaviMenu", "d_level, d_name, d_linkurl, d_picurl, d_openflag",
                          channel.id, "d_order"),
          *state.db.Conn);
  for (; !rs.Eof(); rs.MoveNext()) {
    MenuFileItem item;
    item.level = rs["d_level"].ToInt64Or(0);
    item.name = rs["d_name"].ToString();
    // A script address stored before the save refused it is drawn harmless.
    item.link_url = SafeLink(Trim(rs["d_linkurl"].IsNull() ? "" : rs["d_linkurl"].ToString()));
    item.pic_url = SafeLink(Trim(rs["d_picurl"].IsNull() ? "" : rs["d_picurl"].ToString()));
    item.open_flag = rs["d_openflag"].ToInt64Or(0);
    items.push_back(std::move(item));
  }
  rs.Close();
  const std::string markup = NaviMenuMarkup(items);
  const std::string folder = channel.settings.ChannelDir + "Js";
  bool written = CreateFolderPath(state.host, std::string_view(folder)) &&
                 WriteTextFile(state.host, folder + "/default.js",
                               markup.empty() ? "" : HtmlToJsWrite(markup));
  std::string links = LinkItemTo(PageBase(channel), "返回列表");
  state.host.Response->Write(written ? MessageBox("生成成功！", links)
                                     : MessageBox("提示：菜单文件 " + HtmlEscapeText(folder) +
                                                      "/default.js 没有写入成功！",
                                                  links));
}

}  // namespace folirex
