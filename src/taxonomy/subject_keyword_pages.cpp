#include "taxonomy/subject_keyword_pages.h"

#include <utility>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "core/console_request.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kMoveParameterError = "提示：参数错误，请返回！";

std::string ListUrl(const FlatList& list, int64_t channel) {
  return "?m=" + std::string(list.page) + "&channelid=" + std::to_string(channel);
}

// The row's stored order, read by id within the channel; false when the channel has no such row.
bool StoredOrder(Connection& conn, std::string_view table, int64_t channel, int64_t id,
                 int64_t* order) {
  Recordset rs;
  rs.Open("select d_order from " + std::string(table) + " where d_id = ? and d_channelid = ?",
          {Variant(id), Variant(channel)}, conn, 0, 1);
  if (rs.Eof()) return false;
  *order = rs["d_order"].ToInt64Or(0);
  return true;
}

}  // namespace

void MoveInList(RequestState& state, const ConsoleRequest& request, const FlatList& list,
                int64_t channel, bool up, const std::function<void()>& after_move) {
  const int64_t id = request.query.Id("id", kMoveParameterError);
  request.query.Id("order", kMoveParameterError);
  // The arrows post; an address followed from elsewhere moves nothing.
  if (!request.posted) AlertBack(state, kMoveParameterError);

  Connection& conn = *state.db.Conn;
  const std::string table(list.table);
  int64_t order = 0;
  if (!StoredOrder(conn, table, channel, id, &order)) AlertBack(state, kMoveParameterError);
  bool moved = false;
  {
    ScopedTransaction transaction(conn);
    const std::string neighbour =
        up ? "select top 1 d_id, d_order from " + table +
                 " where d_order < ? and d_channelid = ? order by d_order desc"
           : "select top 1 d_id, d_order from " + table +
                 " where d_order > ? and d_channelid = ? order by d_order";
    Recordset rs;
    rs.Open(neighbour, {Variant(order), Variant(channel)}, conn, 0, 1);
    if (!rs.Eof()) {
      Variant neighbour_id = rs["d_id"];
      Variant neighbour_order = rs["d_order"];
      rs.Close();
      const std::string swap = "update " + table + " set d_order = ? where d_id = ?";
      conn.Execute(swap, {neighbour_order, Variant(id)});
      conn.Execute(swap, {Variant(order), neighbour_id});
      moved = true;
    }
    transaction.Commit();
  }
  if (moved) {
    Alert(state, "排序成功！");
    after_move();
  }
  GoUrl(state, ListUrl(list, channel));
}

void RenumberList(Connection& conn, std::string_view table, int64_t channel) {
  std::vector<std::pair<Variant, int64_t>> rows;
  {
    Recordset rs;
    rs.Open("select d_id, d_order from " + std::string(table) +
                " where d_channelid = ? order by d_order, d_id",
            {Variant(channel)}, conn, 0, 1);
    for (; !rs.Eof(); rs.MoveNext()) rows.emplace_back(rs["d_id"], rs["d_order"].ToInt64Or(0));
  }
  const std::string sql = "update " + std::string(table) + " set d_order = ? where d_id = ?";
  int64_t n = 0;
  for (const auto& [id, order] : rows) {
    ++n;
    if (order != n) conn.Execute(sql, {Variant(n), id});
  }
}

std::string OrderArrows(const FlatList& list, int64_t channel, const Variant& order,
                        const Variant& id) {
  const std::string tail = "&amp;order=" + std::to_string(order.ToInt64Or(0)) +
                           "&amp;id=" + std::to_string(id.ToInt64Or(0)) +
                           "&amp;channelid=" + std::to_string(channel);
  const std::string base = "?m=" + std::string(list.page) + "&amp;action=";
  return "<a href=\"" + base + "down" + tail +
         "\" onclick=\"return postArrowLink(this)\"><img src=\"admin/up.gif\" border=\"0\"></a> "
         "<a href=\"" +
         base + "up" + tail +
         "\" onclick=\"return postArrowLink(this)\"><img src=\"admin/down.gif\" "
         "border=\"0\"></a>";
}

std::string FlatListTable(RequestState& state, const FlatList& list, int64_t channel,
                          std::string_view headings, std::string_view columns, int width,
                          const std::function<std::string(const Recordset&)>& cells) {
  const std::string action = HtmlEscapeAttr(ListUrl(list, channel)) + "&amp;action=";
  std::string html = ListFormHead({.action = action, .headings = headings, .check_width = "8%"});
  Recordset rs;
  rs.Open("select d_id, d_name, " + std::string(columns) + ", d_order from " +
              std::string(list.table) + " where d_channelid = ? order by d_order desc, d_id desc",
          {Variant(channel)}, *state.db.Conn, 0, 1);
  bool any = false;
  for (; !rs.Eof(); rs.MoveNext()) {
    any = true;
    const std::string id = std::to_string(rs["d_id"].ToInt64Or(0));
    html += "<tr><td align=\"center\">" + id + "</td><td><a href=\"?m=" + std::string(list.page) +
            "&amp;action=edit&amp;channelid=" + std::to_string(channel) + "&amp;id=" + id + "\">" +
            HTMLEncode(rs["d_name"]) + "</a></td>" + cells(rs) + "<td align=\"center\">" +
            OrderArrows(list, channel, rs["d_order"], rs["d_id"]) +
            "</td><td align=\"center\"><input type=\"checkbox\" name=\"checkid\" value=\"" + id +
            "\"></td></tr>\r\n";
  }
  rs.Close();
  const std::string colspan = "<tr><td colspan=\"" + std::to_string(width) + "\" align=";
  html += any ? colspan +
                    "\"right\"> 操作：<select name=\"checkaction\">"
                    "<option value=\"del\">删除</option></select> <input type=\"button\" "
                    "value=\"执行\" onclick=\"doAction(this)\"></td></tr>\r\n"
              : colspan + "\"center\">没有记录</td></tr>\r\n";
  return html + "</table>\r\n</form>\r\n" + ArrowLinkScript();
}

int64_t NextOrder(Connection& conn, std::string_view table, int64_t channel) {
  Variant last = conn.ExecuteScalar(
      "select max(d_order) from " + std::string(table) + " where d_channelid = ?",
      {Variant(channel)});
  return last.ToInt64Or(0) + 1;
}

std::string ArrowLinkScript() {
  return "<script language=javascript>\r\n"
         "function postArrowLink(a) {\r\n"
         "  var f = document.createElement('form');\r\n"
         "  f.method = 'post';\r\n"
         "  f.action = a.getAttribute('href');\r\n"
         "  document.body.appendChild(f);\r\n"
         "  f.submit();\r\n"
         "  return false;\r\n"
         "}\r\n"
         "</script>\r\n";
}

std::string FlatItemFormHead(std::string_view action) {
  return "<form name=\"form1\" method=\"post\" action=\"" + HtmlEscapeAttr(action) +
         "\" style=\"margin:0\">\r\n"
         "<table class=\"form\" align=\"center\" cellspacing=\"1\">\r\n"
         "<tr><th width=\"15%\">设置名称</th><th width=\"55%\">基本参数设置</th>"
         "<th width=\"30%\">设置说明</th></tr>\r\n";
}

std::string FlatItemFormButtons() {
  return "<tr><td colspan=\"3\" align=\"center\"><input type=\"submit\" value=\"确　定\"> "
         "<input type=\"reset\" value=\"重 置\"></td></tr>\r\n";
}

}  // namespace folirex
