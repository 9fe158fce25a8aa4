#include "taxonomy/channel_admin.h"

#include <string>

#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/messages.h"
#include "core/script_link.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/vb_text.h"
#include "taxonomy/channel_bar.h"
#include "taxonomy/channel_change.h"
#include "taxonomy/channel_create.h"
#include "taxonomy/channel_forms.h"
#include "taxonomy/channel_page_script.h"
#include "taxonomy/channel_record.h"

namespace folirex {
namespace {

constexpr const char* kListUrl = "?m=admin_channel";
constexpr const char* kMoveError = "提示：参数错误，请返回！";

void Channel_ShowNavi(RequestState& state) {
  state.host.Response->Write(
      "<table border=0 cellspacing=1 align=center class=navi><tr><td align=right>"
      "【<a href='?m=admin_channel'>所有列表</a>】&nbsp;&nbsp;"
      "【<a href='?m=admin_channel&action=add'>增加频道</a>】</td></tr></table><br>\r\n");
}

std::string ListRow(const Recordset& rs) {
  const std::string id = rs["d_id"].ToString();
  const std::string order = rs["d_order"].ToString();
  std::string place;
  if (Trim(rs["d_channeltype"].ToString()) == "1") {
    place = HTMLEncode(rs["d_channeldir"]);
  } else {
    place = "<a href=\"" + HtmlEscapeAttr(SafeLink(rs["d_linkurl"].ToString())) +
            "\" target=\"_blank\">" + HTMLEncode(rs["d_linkurl"]) + "</a>";
  }
  auto move = [&](const char* action, const char* image) {
    return "<a href=\"?m=admin_channel&amp;action=" + std::string(action) + "&amp;order=" + order +
           "&amp;id=" + id + "\" onclick=\"return postMove(this.href)\"><img src=\"admin/" + image +
           "\" border=\"0\"></a>";
  };
  return "<tr align=\"center\"><td>" + id + "</td><td><a href=\"?m=admin_channel&amp;action=edit" +
         "&amp;id=" + id + "\">" + HTMLEncode(rs["d_channelname"]) + "</a></td><td>" +
         Channel_OpenTypeName(Variant(Trim(rs["d_opentype"].ToString()))) + "</td><td>" +
         Channel_TypeName(Variant(Trim(rs["d_channeltype"].ToString()))) + "</td><td>" + place +
         "</td><td>" + HTMLEncode(rs["d_projectname"]) + "</td><td>" +
         Channel_GenerateHtmlName(rs["d_generatehtml"]) + "</td><td>" +
         Channel_StatusName(rs["d_disabledflag"]) + "</td><td align=\"center\">" +
         move("up", "up.gif") + " " + move("down", "down.gif") +
         "</td><td align=\"center\"><input type=\"checkbox\" name=\"selectdel\" value=\"" + id +
         "\"></td></tr>\r\n";
}

void Channel_ShowList(RequestState& state) {
  std::string html =
      "<form name=\"delform\" method=\"post\" style=\"margin:0\">\r\n"
      "<table class=\"list\" align=\"center\" cellspacing=\"1\">\r\n<tr>"
      "<th width=\"5%\">ID</th><th width=\"14%\">频道名称</th><th width=\"10%\">打开方式</th>"
      "<th width=\"10%\">频道类型</th><th width=\"14%\">频道目录/链接地址</th>"
      "<th width=\"10%\">项目名称</th><th width=\"17%\">生成方式</th>"
      "<th width=\"8%\">频道状态</th><th width=\"7%\">排序</th><th width=\"5%\">"
      "<input type=\"checkbox\" name=\"chkSelectAll\" onclick=\"doCheckAll(this)\"></th></tr>\r\n";
  Recordset rs;
  rs.Open("select * from Vantrel_Channel order by d_order, d_id", *state.db.Conn, 0, 1);
  int rows = 0;
  for (; !rs.Eof(); rs.MoveNext(), ++rows) html += ListRow(rs);
  rs.Close();
  if (rows == 0) {
    html += "<tr><td colspan=\"10\" align=\"center\">没有记录</td></tr>\r\n";
    html += "</table>\r\n</form>\r\n";
    state.host.Response->Write(html);
    return;
  }
  html += "</table>\r\n</form>\r\n";
  html +=
      "<table class=\"list\" align=\"center\" cellspacing=\"1\"><tr><td align=\"right\">"
      "<form name=\"actionform\" method=\"post\" style=\"margin:0\">操作："
      "<select name=\"selection\" size=\"1\"><option value=\"del\">删除</option>"
      "<option value=\"disa\">禁用</option><option value=\"ena\">启用</option></select> "
      "<input type=\"button\" value=\"执行\" onclick=\"checkAction(this.form.selection.options["
      "this.form.selection.selectedIndex].value)\"></form></td></tr></table>\r\n"
      // The order arrows post their move through this form.
      "<form name=\"moveform\" method=\"post\" style=\"margin:0\"></form>\r\n";
  state.host.Response->Write(html);
}

// Swaps the channel's stored place with its nearest neighbour above (up) or below.
void MoveChannel(RequestState& state, const ConsoleRequest& request, bool up) {
  const int64_t id = request.query.Id("id", kMoveError);
  // The link's order must be a plain number too, though the stored place is the one used.
  request.query.Id("order", kMoveError);
  Connection& conn = *state.db.Conn;
  // The place is the stored one: a list shown before another move must not give two channels
  // one place.
  Variant stored = conn.ExecuteScalar("select d_order from Vantrel_Channel where d_id = ?",
                                      {Variant(static_cast<long long>(id))});
  if (stored.IsNull()) AlertBack(state, kMoveError);
  RequireFormPost(request);
  const int64_t current = stored.ToInt64Or(0);
  Recordset rs;
  rs.Open(up ? "select top 1 d_id, d_order from Vantrel_Channel where d_order < ? order by "
               "d_order desc, d_id desc"
             : "select top 1 d_id, d_order from Vantrel_Channel where d_order > ? order by "
               "d_order, d_id",
          {Variant(static_cast<long long>(current))}, conn, 0, 1);
  const bool found = !rs.Eof();
  Variant neighbour = found ? rs["d_id"] : Variant();
  Variant neighbour_order = found ? rs["d_order"] : Variant();
  rs.Close();
  if (found) {
    {
      ScopedTransaction transaction(conn);
      conn.Execute("update Vantrel_Channel set d_order = ? where d_id = ?",
                   {neighbour_order, Variant(static_cast<long long>(id))});
      conn.Execute("update Vantrel_Channel set d_order = ? where d_id = ?",
                   {Variant(static_cast<long long>(current)), neighbour});
      transaction.Commit();
    }
    state.caches.Clear();
    // The bar shows the channels in their order.
    if (Channel_CreateMenuJs(state)) {
      Alert(state, "排序成功！");
    } else {
      Alert(state, "排序成功！但频道条文件未能写入。");
    }
  }
  GoUrl(state, kListUrl);
}

}  // namespace

std::string Channel_OpenTypeName(const Variant& value) {
  return value == Variant("0") ? "原窗口" : "新窗口";
}

std::string Channel_TypeName(const Variant& value) {
  return value == Variant("1") ? "系统频道" : "外部频道";
}

std::string Channel_GenerateHtmlName(const Variant& value) {
  if (value == Variant(0)) return "不生成";
  if (value == Variant(1)) return "全部生成";
  if (value == Variant(2)) return "首页和内容生成";
  if (value == Variant(3)) return "首页、列表和内容生成";
  return "";
}

std::string Channel_StatusName(const Variant& value) {
  return value == Variant(true) ? "<font color=red>已禁用</font>" : "正常";
}

void Channel_Main(RequestState& state, const ConsolePage& page) {
  Channel_ShowNavi(state);
  const ConsoleRequest& request = page.request;
  auto with = [&request](void (*run)(RequestState&, const ConsoleRequest&)) {
    return [&request, run](RequestState& s) { run(s, request); };
  };
  RunAdminAction(state, request.action,
                 {{"down", [&request](RequestState& s) { MoveChannel(s, request, false); }},
                  {"up", [&request](RequestState& s) { MoveChannel(s, request, true); }},
                  {"add", Channel_Add},
                  {"save", with(Channel_Save)},
                  {"edit", with(Channel_Edit)},
                  {"update", with(Channel_Update)},
                  {"del", with(Channel_Del)},
                  {"disa", with(Channel_Disable)},
                  {"ena", with(Channel_Enable)}},
                 Channel_ShowList);
}

}  // namespace folirex
