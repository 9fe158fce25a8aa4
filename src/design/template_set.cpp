#include "design/template_set.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/template_references.h"
#include "design/named_rows_page.h"
#include "design/template_blocks.h"
#include "design/template_types.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// The description, trimmed, with its line breaks, and the link to the set's page picker.
std::string SetListCells(std::string_view base, const NamedRow& set) {
  std::string id = std::to_string(set.id);
  return "<td>" + HtmlEscapeText(Trim(set.text), LineFeeds::kBreak) +
         "</td><td align=center><a href='" + std::string(base) +
         "&amp;action=selectpage&amp;id=" + id + "'>选择模板页</a></td>";
}

constexpr std::string_view kSetTips[] = {
    "系统自带的方案不允许删除。",
    "删除自己新增的方案后，原来有使用过本方案的频道自动转成使用系统自带的方案。"};

constexpr NamedRowKind kSets = {
    .table = "Vantrel_Template",
    .text_column = "d_desc",
    .list_link = "所有方案页",
    .add_link = "添加方案",
    .list_headings =
        "<th width='8%'>ID</th><th width='20%'>方案名称</th><th width='20%'>方案描述</th>"
        "<th width='10%'>选择模板页</th>",
    .list_columns = 5,
    .empty_cell = " align=center",
    .tips = kSetTips,
    .list_cells = SetListCells,
    .name_label = "方案名称",
    .text_label = "方案描述",
    .text_area_size = "cols=50 rows=5",
    .text_missing = "",
    .system_refused = "提示：系统自带的方案不允许删除！",
};

struct SetContext : NamedRowsPage {
  explicit SetContext(const ConsoleRequest& request) : NamedRowsPage(kSets, request) {}
};

// The id of the request's `key`; a set of this channel, else the request ends with the page's
// parameter message.
int64_t SetOfChannel(RequestState& state, const SetContext& set, std::string_view key) {
  const int64_t id = set.request->values.Id(key, kDesignParameterError);
  Variant found = state.db.Conn->ExecuteScalar(
      {.tables = {"Vantrel_Template"},
       .sql = "select count(*) from Vantrel_Template where d_id = ? and d_channelid = ?",
       .values = {Variant(id), Variant(set.channel.id)}});
  if (found.ToInt64Or(0) == 0) AlertBack(state, kDesignParameterError);
  return id;
}

void Template_Save(RequestState& state, const SetContext& set) {
  NamedRow row = SaveNamedRow(state, set);
  state.caches.Clear();
  state.host.Response->Write(MessageBox(
      "新增操作成功！", LinkItemTo(set.base + "&action=add", "继续新增") +
                            LinkItemTo(set.base, "返回列表") +
                            LinkItemTo(set.base + "&action=selectpage&id=" + std::to_string(row.id),
                                       "选择本方案的模板页")));
}

void Template_Update(RequestState& state, const SetContext& set) {
  NamedRow row = UpdateNamedRow(state, set);
  state.caches.Clear();
  state.host.Response->Write(
      MessageBox("修改操作成功！",
                 LinkItemTo(set.base + "&action=edit&id=" + std::to_string(row.id), "重新修改") +
                     LinkItemTo(set.base, "返回列表")));
}

void Template_Del(RequestState& state, const SetContext& set) {
  std::vector<int64_t> ids = PostedRowsToDelete(state, set);
  Connection& conn = *state.db.Conn;
  // The channels that used a deleted set take the lowest-id system set, of whatever channel.
  const int64_t fallback = LowestSystemSet(conn);
  if (fallback == 0) AlertBack(state, kDesignParameterError);
  std::vector<TemplateReplacement> replacements;
  for (int64_t id : ids) replacements.push_back({id, fallback});

  {
    ScopedTransaction transaction(conn);
    DeleteNamedRows(conn, kSets, ids);
    RepointTemplateSets(conn, replacements);
    std::vector<Variant> params;
    std::string in = BoundIds(ids, &params);
    conn.Execute("delete from Vantrel_TemplateAndPage where d_templateid in " + in, params);
    transaction.Commit();
  }
  state.caches.Clear();
  state.host.Response->Write(MessageBox("删除成功！", LinkItemTo(set.base, "返回列表")));
}

// The picker's rows: every page of the channel once, grouped under its type's heading; the
// pages that the set maps come checked.
std::string PickerRows(RequestState& state, const SetContext& set, int64_t set_id) {
  Recordset rs;
  rs.Open(
      db::KeptRead{
          .tables = {"Vantrel_TemplatePage", "Vantrel_TemplateAndPage"},
          .sql =
              "select a.d_id, a.d_name, a.d_type, b.d_pageid from (select d_id, d_name, d_type "
              "from "
              "Vantrel_TemplatePage where d_channelid = ?) a left outer join (select * from "
              "Vantrel_TemplateAndPage where d_templateid = ? ) b on a.d_id = b.d_pageid order by "
              "a.d_type, a.d_id",
          .values = {Variant(set.channel.id), Variant(set_id)}},
      *state.db.Conn);
  std::string html;
  bool rows = false;
  std::string previous;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string type = Trim(rs["d_type"].ToString());
    if (!rows || type != previous) {
      html += "<tr><td colspan=3><b>" + Template_PageTypeName(type) + "</b></td></tr>\r\n";
    }
    rows = true;
    previous = type;
    std::string page_id = rs["d_id"].ToString();
    html += "<tr><td align=center>" + page_id + "</td><td>" +
            HtmlEscapeText(rs["d_name"].ToString()) +
            "</td><td align=center><input type='radio' name='" + HtmlEscapeAttr(type) +
            "' value='" + HtmlEscapeAttr(type + "-" + page_id) + "'" +
            (rs["d_pageid"].IsNull() ? "" : " checked") + "></td></tr>\r\n";
  }
  if (!rows) html += "<tr><td colspan=3 align=center>没有记录</td></tr>\r\n";
  return html;
}

void Template_SelectPage(RequestState& state, const SetContext& set) {
  int64_t id = SetOfChannel(state, set, "id");
  std::string base = HtmlEscapeAttr(set.base);
  state.host.Response->Write(
      "<form name='delform' method='post' action='" + base +
      "&amp;templateid=" + std::to_string(id) +
      "&amp;action=doselectpage' style='margin:0'>\r\n"
      "<table border=0 cellspacing=1 align=center class=list>\r\n"
      "<tr><th width='8%'>ID</th><th width='84%'>模板页名称</th><th width='8%'>选择模板页</th>"
      "</tr>\r\n" +
      PickerRows(state, set, id) + FormButtonsFoot(base));
}

// The page the picker posts for each of the twelve types, in the order the map rows are saved.
// Each value is "type-id": the page, of this channel, of the type of the field it came in; a set
// holds one page per type, as the public lookup reads one. Refused before anything changes.
std::vector<std::pair<std::string_view, int64_t>> PostedPageMap(RequestState& state,
                                                                const SetContext& set) {
  const RequestReader& posted = set.request->values;
  for (std::string_view code : TypeOrder(SetTypeList::kPickerCheck)) {
    if (posted.Text(code).empty()) AlertBack(state, FindPageType(code)->missing);
  }
  std::vector<std::pair<std::string_view, int64_t>> map;
  for (std::string_view code : TypeOrder(SetTypeList::kPickerSave)) {
    std::string value = posted.Text(code);
    size_t dash = value.find('-');
    std::optional<int64_t> page =
        dash == std::string::npos ? std::nullopt : ParseId(Trim(value.substr(dash + 1)));
    if (!page || LCase(Trim(value.substr(0, dash))) != code) {
      AlertBack(state, kDesignParameterError);
    }
    const int64_t page_id = *page;
    Variant found = state.db.Conn->ExecuteScalar(
        {.tables = {"Vantrel_TemplatePage"},
         .sql = "select count(*) from Vantrel_TemplatePage where d_id = ? and d_channelid = ? and "
                "d_type = ?",
         .values = {Variant(page_id), Variant(set.channel.id), Variant(code)}});
    if (found.ToInt64Or(0) == 0) AlertBack(state, kDesignParameterError);
    map.emplace_back(code, page_id);
  }
  return map;
}

void Template_DoSelectPage(RequestState& state, const SetContext& set) {
  RequireFormPost(*set.request);
  int64_t set_id = SetOfChannel(state, set, "templateid");
  std::vector<std::pair<std::string_view, int64_t>> map = PostedPageMap(state, set);

  Connection& conn = *state.db.Conn;
  {
    ScopedTransaction transaction(conn);
    // The set's row is locked first: a second save of the same set waits for this one to commit
    // and then replaces its rows, instead of adding twelve of its own beside them.
    conn.Execute("update Vantrel_Template set d_sysflag = d_sysflag where d_id = ?",
                 {Variant(set_id)});
    conn.Execute("delete from Vantrel_TemplateAndPage where d_templateid = ?", {Variant(set_id)});
    for (const auto& [code, page_id] : map) {
      conn.Execute(
          "insert into Vantrel_TemplateAndPage (d_channelid, d_templateid, d_pageid, d_type) "
          "values (?, ?, ?, ?)",
          {Variant(set.channel.id), Variant(set_id), Variant(page_id), Variant(code)});
    }
    transaction.Commit();
  }
  state.caches.Clear();
  state.host.Response->Write(MessageBox("选择模板页成功！", LinkItemTo(set.base, "返回列表")));
}

}  // namespace

void Template_Main(RequestState& state, const ConsolePage& page) {
  SetContext set(page.request);
  set.channel = page.channel;
  set.base = "?m=admin_template&channelid=" + set.channel.id_text;
  RunNamedRowsPage<SetContext>(state, set, page.request.action,
                               {{"del", Template_Del},
                                {"save", Template_Save},
                                {"update", Template_Update},
                                {"selectpage", Template_SelectPage},
                                {"doselectpage", Template_DoSelectPage}});
}

}  // namespace folirex
