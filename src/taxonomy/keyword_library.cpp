#include "taxonomy/keyword_library.h"

#include <cstdint>
#include <string>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "taxonomy/subject_keyword_pages.h"

namespace folirex {
namespace {

constexpr FlatList kKeywords = {.table = "Vantrel_Keyword", .page = "admin_articlekeyword"};
constexpr const char* kParameterErrorBack = "提示：参数错误，请返回！";

std::string ListUrl(int64_t channel) {
  return "?m=admin_articlekeyword&channelid=" + std::to_string(channel);
}

// The posted name as typed (not trimmed); refused names end the request.
std::string PostedName(RequestState& state, const ConsoleRequest& request) {
  std::string name =
      CheckedShortName(state, request.values.Raw("d_name"), "名称", "提示：名称不允许为空！");
  // An article's keywords are kept as "|a|b|": a name holding "|" would become two keywords
  // there.
  if (name.find('|') != std::string::npos) AlertBack(state, "提示：名称不能含有“|”符号！");
  return name;
}

// The name form of the add and rename views; `with_old_key` adds the hidden oldkey field.
std::string KeywordForm(const std::string& action, const std::string& name, bool with_old_key) {
  std::string html =
      FlatItemFormHead(action) +
      "<tr><td align=\"right\">名称：</td><td><input type=\"text\" name=\"d_name\" size=\"50\" "
      "maxlength=\"50\" value=\"" +
      HtmlEscapeAttr(name) +
      "\"></td><td><font color=\"red\">*</font> <font color=\"#888888\">必填，最大25个中文"
      "</font></td></tr>\r\n" +
      FlatItemFormButtons();
  if (with_old_key) {
    html += "<input type=\"hidden\" name=\"oldkey\" value=\"" + HtmlEscapeAttr(name) + "\">\r\n";
  }
  html += "</table>\r\n</form>\r\n";
  return html;
}

void ArticleKeyword_ShowNavi(RequestState& state, int64_t channel) {
  const std::string url = HtmlEscapeAttr(ListUrl(channel));
  const std::string add = url + "&amp;action=add";
  state.host.Response->Write(
      LinkBarHtml({.table = "class=\"navi\" border=\"0\" cellspacing=\"0\" align=\"center\"",
                   .quotes = AttributeQuotes::kDouble},
                  {{url, "所有列表"}, {add, "增加关键字"}}));
}

void ArticleKeyword_ShowList(RequestState& state, int64_t channel) {
  state.host.Response->Write(FlatListTable(
      state, kKeywords, channel,
      "<th width=\"5%\">ID</th><th width=\"30%\">名称</th><th width=\"32%\">添加时间</th>"
      "<th width=\"10%\">排序</th>",
      "d_addtime", 5, [](const Recordset& rs) {
        return "<td align=\"center\">" + FormatDate(rs["d_addtime"], Variant(1)) + "</td>";
      }));
}

void ArticleKeyword_Add(RequestState& state, int64_t channel) {
  state.host.Response->Write(KeywordForm(ListUrl(channel) + "&action=save", "", false));
}

void ArticleKeyword_Save(RequestState& state, const ConsoleRequest& request, int64_t channel) {
  RequireFormPost(request);
  std::string name = PostedName(state, request);
  Connection& conn = *state.db.Conn;
  {
    ScopedTransaction transaction(conn);
    int64_t order = NextOrder(conn, kKeywords.table, channel);
    conn.Execute(
        "insert into Vantrel_Keyword (d_channelid, d_name, d_order, d_addtime) values (?, ?, ?, ?)",
        {Variant(channel), Variant(name), Variant(order), Variant(DateTime::Now())});
    transaction.Commit();
  }
  state.host.Response->Write(
      MessageBox("新增信息成功！", LinkItemTo(ListUrl(channel) + "&action=add", "返回继续新增") +
                                       LinkItemTo(ListUrl(channel), "返回列表")));
}

// The stored name of keyword `id` of the channel; false when the channel has none.
bool StoredName(RequestState& state, int64_t channel, int64_t id, std::string* name) {
  Recordset rs;
  rs.Open("select d_name from Vantrel_Keyword where d_id = ? and d_channelid = ?",
          {Variant(id), Variant(channel)}, *state.db.Conn, 0, 1);
  if (rs.Eof()) return false;
  *name = rs["d_name"].ToString();
  return true;
}

void ArticleKeyword_Edit(RequestState& state, const ConsoleRequest& request, int64_t channel) {
  const int64_t id = request.query.Id("id", kParameterErrorBack);
  std::string name;
  if (!StoredName(state, channel, id, &name)) AlertBack(state, kParameterErrorBack);
  state.host.Response->Write(
      KeywordForm(ListUrl(channel) + "&action=update&id=" + std::to_string(id), name, true));
}

void ArticleKeyword_Update(RequestState& state, const ConsoleRequest& request, int64_t channel) {
  const int64_t id = request.query.Id("id", kParameterError);
  RequireFormPost(request);
  std::string name = PostedName(state, request);
  // The old name is the stored one: the form's oldkey field is not trusted.
  std::string old_name;
  if (!StoredName(state, channel, id, &old_name)) AlertBack(state, kParameterError);

  Connection& conn = *state.db.Conn;
  {
    ScopedTransaction transaction(conn);
    conn.Execute("update Vantrel_Keyword set d_name = ? where d_id = ? and d_channelid = ?",
                 {Variant(name), Variant(id), Variant(channel)});
    // Only articles whose whole keyword text is the one old keyword change; the comparison is
    // an equality on bound values, so no character of a name acts as a pattern.
    conn.Execute("update Vantrel_Article set d_keyword = ? where d_channelid = ? and d_keyword = ?",
                 {Variant("|" + name + "|"), Variant(channel), Variant("|" + old_name + "|")});
    transaction.Commit();
  }
  state.host.Response->Write(MessageBox(
      "修改信息成功！",
      LinkItemTo(ListUrl(channel) + "&action=edit&id=" + std::to_string(id), "返回继续修改") +
          LinkItemTo(ListUrl(channel), "返回列表")));
}

void ArticleKeyword_Del(RequestState& state, const ConsoleRequest& request, int64_t channel) {
  const IdList list = request.values.Ids("checkid", kParameterError);
  RequireFormPost(request);

  Connection& conn = *state.db.Conn;
  BoundSql where = IdsIn("d_id", list.ids);
  AndWhere(where, "d_channelid = ?", Variant(channel));
  Variant found =
      conn.ExecuteScalar("select count(*) from Vantrel_Keyword where " + where.sql, where.params);
  if (found.ToInt64Or(0) == 0) AlertBack(state, kParameterError);
  {
    ScopedTransaction transaction(conn);
    conn.Execute("delete from Vantrel_Keyword where " + where.sql, where.params);
    RenumberList(conn, "Vantrel_Keyword", channel);
    transaction.Commit();
  }
  state.host.Response->Write(MessageBox("删除成功！", LinkItemTo(ListUrl(channel), "返回列表")));
}

}  // namespace

void ArticleKeyword_Main(RequestState& state, const ConsolePage& page) {
  const int64_t channel = page.channel.id;
  const ConsoleRequest& request = page.request;
  ArticleKeyword_ShowNavi(state, channel);
  auto with = [channel, &request](void (*run)(RequestState&, const ConsoleRequest&, int64_t)) {
    return [channel, &request, run](RequestState& s) { run(s, request, channel); };
  };
  auto move = [channel, &request](bool up) {
    return [channel, &request, up](RequestState& s) {
      MoveInList(s, request, kKeywords, channel, up, [] {});
    };
  };
  RunAdminAction(state, request.action,
                 {{"down", move(false)},
                  {"up", move(true)},
                  {"add", [channel](RequestState& s) { ArticleKeyword_Add(s, channel); }},
                  {"save", with(ArticleKeyword_Save)},
                  {"edit", with(ArticleKeyword_Edit)},
                  {"update", with(ArticleKeyword_Update)},
                  {"del", with(ArticleKeyword_Del)}},
                 [channel](RequestState& s) { ArticleKeyword_ShowList(s, channel); });
}

}  // namespace folirex
