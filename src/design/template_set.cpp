#include "design/template_set.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "console/id_list.h"
#include "core/messages.h"
#include "core/template_references.h"
#include "design/template_blocks.h"
#include "design/template_types.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

struct SetContext {
  ConsoleChannel channel;
  std::string base;  // the page's own address for the channel
};

const Request& Req(RequestState& state) { return *state.host.Request; }

void Template_ShowNavi(RequestState& state, const SetContext& set) {
  std::string base = HtmlEscapeAttr(set.base);
  state.host.Response->Write(
      "<table border=0 cellspacing=0 align=center class=navi><tr><td align=right>[<a href='" +
      base + "'>所有方案页</a>] | [<a href='" + base +
      "&amp;action=add'>添加方案</a>]</td></tr></table><br>\r\n");
}

void Template_ShowList(RequestState& state, const SetContext& set) {
  std::string base = HtmlEscapeAttr(set.base);
  std::string html = DesignListHead(
      base,
      "<th width='8%'>ID</th><th width='20%'>方案名称</th><th width='20%'>方案描述</th>"
      "<th width='10%'>选择模板页</th>");
  Recordset& rs = *state.db.Rs;
  state.db.Sql = "select * from Vantrel_Template where d_channelid = " + set.channel.id_text +
                 " order by d_id";
  rs.Open(state.db.Sql, *state.db.Conn, 0, 1);
  bool rows = false;
  for (; !rs.Eof(); rs.MoveNext()) {
    rows = true;
    std::string id = rs["d_id"].ToString();
    html += "<tr><td align=center>" + id + "</td><td><a href='" + base +
            "&amp;action=edit&amp;id=" + id + "'>" + HtmlEscapeText(rs["d_name"].ToString()) +
            "</a></td><td>" + HtmlEscapeText(Trim(rs["d_desc"].ToString()), LineFeeds::kBreak) +
            "</td><td align=center><a href='" + base + "&amp;action=selectpage&amp;id=" + id +
            "'>选择模板页</a></td>" + CheckIdCell(id, rs["d_sysflag"].ToBoolOr(false)) +
            "</tr>\r\n";
  }
  rs.Close();
  html += rows ? BulkDeleteRow(5) : "<tr><td colspan=5 align=center>没有记录</td></tr>\r\n";
  html += "</table>\r\n</form><br>\r\n" +
          TipBox({"系统自带的方案不允许删除。",
                  "删除自己新增的方案后，原来有使用过本方案的频道自动转成使用系统自带的方案。"});
  state.host.Response->Write(html);
}

// The add form (no row) and the edit form (the stored set).
void ShowForm(RequestState& state, const SetContext& set, const Recordset* row) {
  std::string base = HtmlEscapeAttr(set.base);
  std::string action =
      row ? "&amp;action=update&amp;id=" + (*row)["d_id"].ToString() : "&amp;action=save";
  std::string name = row ? (*row)["d_name"].ToString() : "";
  std::string desc = row ? (*row)["d_desc"].ToString() : "";
  state.host.Response->Write(
      "<form name='form1' method='post' action='" + base + action + "'>" + FormTableHead() +
      "<tr><td align=right>方案名称：</td><td><input type='text' name='d_name' size=50 value='" +
      HtmlEscapeAttr(name) +
      "'></td><td><font color=red>*</font> 方案名称</td></tr>\r\n"
      "<tr><td align=right>方案描述：</td><td><textarea name='d_desc' cols=50 rows=5>" +
      TextAreaContent(desc) + "</textarea></td><td></td></tr>\r\n" + FormButtonsFoot(base));
}

// The id of the request's `key`; a set of this channel, else the request ends with the page's
// parameter message.
int64_t SetOfChannel(RequestState& state, const SetContext& set, std::string_view key) {
  int64_t id = 0;
  if (!ParseId(Trim(Req(state)(key)), &id)) AlertBack(state, kDesignParameterError);
  Variant found = state.db.Conn->ExecuteScalar(
      "select count(*) from Vantrel_Template where d_id = ? and d_channelid = ?",
      {Variant(id), Variant(set.channel.id)});
  if (found.ToInt64Or(0) == 0) AlertBack(state, kDesignParameterError);
  return id;
}

void Template_Add(RequestState& state, const SetContext& set) { ShowForm(state, set, nullptr); }

void Template_Edit(RequestState& state, const SetContext& set) {
  int64_t id = SetOfChannel(state, set, "id");
  Recordset& rs =
      OpenRowOrRefuse(state, "select * from Vantrel_Template where d_id = " + std::to_string(id),
                      {}, RowUse::kRead, kDesignParameterError);
  ShowForm(state, set, &rs);
  rs.Close();
}

void Template_Save(RequestState& state, const SetContext& set) {
  RequireFormPost(state);
  // Stored as posted: a name of blanks is a name.
  std::string name = Req(state)("d_name");
  if (name.empty()) AlertBack(state, "提示：名称不允许为空！");
  std::string desc = Req(state)("d_desc");

  Recordset& rs = *state.db.Rs;
  state.db.Sql = "select * from Vantrel_Template where 1 < 0";
  rs.Open(state.db.Sql, *state.db.Conn, 1, 3);
  rs.AddNew();
  rs.Set("d_channelid", Variant(set.channel.id));
  rs.Set("d_name", Variant(name));
  rs.Set("d_desc", Variant(desc));
  rs.Set("d_sysflag", Variant(false));
  rs.Update();
  std::string id = rs["d_id"].ToString();
  rs.Close();
  state.caches.Clear();

  state.host.Response->Write(MessageBox(
      "新增操作成功！",
      LinkItemTo(set.base + "&action=add", "继续新增") + LinkItemTo(set.base, "返回列表") +
          LinkItemTo(set.base + "&action=selectpage&id=" + id, "选择本方案的模板页")));
}

void Template_Update(RequestState& state, const SetContext& set) {
  RequireFormPost(state);
  int64_t id = 0;
  if (!ParseId(Trim(Req(state)("id")), &id)) AlertBack(state, kDesignParameterError);
  std::string name = Req(state)("d_name");
  if (name.empty()) AlertBack(state, "提示：名称不允许为空！");
  std::string desc = Req(state)("d_desc");

  Recordset& rs =
      OpenRowOrRefuse(state,
                      "select * from Vantrel_Template where d_id = " + std::to_string(id) +
                          " and d_channelid = " + set.channel.id_text,
                      {}, RowUse::kChange, kDesignParameterError);
  rs.Set("d_name", Variant(name));
  rs.Set("d_desc", Variant(desc));
  rs.Update();
  rs.Close();
  state.caches.Clear();

  state.host.Response->Write(MessageBox(
      "修改操作成功！", LinkItemTo(set.base + "&action=edit&id=" + std::to_string(id), "重新修改") +
                            LinkItemTo(set.base, "返回列表")));
}

void Template_Del(RequestState& state, const SetContext& set) {
  IdList list =
      PostedOwnRows(state, "Vantrel_Template", set.channel, "提示：系统自带的方案不允许删除！");
  Connection& conn = *state.db.Conn;
  // The channels that used a deleted set take the lowest-id system set, of whatever channel.
  const int64_t fallback = LowestSystemSet(conn);
  if (fallback == 0) AlertBack(state, kDesignParameterError);
  std::vector<TemplateReplacement> replacements;
  for (int64_t id : list.ids) replacements.push_back({id, fallback});

  {
    ScopedTransaction transaction(conn);
    conn.Execute("delete from Vantrel_Template where d_id in (" + list.sql + ")");
    RepointTemplateSets(conn, replacements);
    conn.Execute("delete from Vantrel_TemplateAndPage where d_templateid in (" + list.sql + ")");
    transaction.Commit();
  }
  state.caches.Clear();
  state.host.Response->Write(MessageBox("删除成功！", LinkItemTo(set.base, "返回列表")));
}

void Template_SelectPage(RequestState& state, const SetContext& set) {
  int64_t id = SetOfChannel(state, set, "id");
  std::string base = HtmlEscapeAttr(set.base);
  std::string html =
      "<form name='delform' method='post' action='" + base +
      "&amp;templateid=" + std::to_string(id) +
      "&amp;action=doselectpage' style='margin:0'>\r\n"
      "<table border=0 cellspacing=1 align=center class=list>\r\n"
      "<tr><th width='8%'>ID</th><th width='84%'>模板页名称</th><th width='8%'>选择模板页</th>"
      "</tr>\r\n";
  // Every page of the channel once, grouped by type; the pages the set maps come checked.
  Recordset& rs = *state.db.Rs;
  state.db.Sql =
      "select a.d_id, a.d_name, a.d_type, b.d_pageid from (select d_id, d_name, d_type from "
      "Vantrel_TemplatePage where d_channelid = " +
      set.channel.id_text +
      ") a left outer join (select * from Vantrel_TemplateAndPage where d_templateid = " +
      std::to_string(id) + " ) b on a.d_id = b.d_pageid order by a.d_type, a.d_id";
  rs.Open(state.db.Sql, *state.db.Conn, 0, 1);
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
  rs.Close();
  if (!rows) html += "<tr><td colspan=3 align=center>没有记录</td></tr>\r\n";
  html += FormButtonsFoot(base);
  state.host.Response->Write(html);
}

void Template_DoSelectPage(RequestState& state, const SetContext& set) {
  RequireFormPost(state);
  int64_t set_id = SetOfChannel(state, set, "templateid");
  const Request& request = Req(state);
  for (std::string_view code : PickerCheckOrder()) {
    if (Trim(request(code)).empty()) AlertBack(state, FindPageType(code)->missing);
  }
  // Each value is "type-id": the page, of this channel, of the type of the field it came in; a
  // set holds one page per type, as the public lookup reads one.
  std::vector<std::pair<std::string_view, int64_t>> map;
  for (std::string_view code : PickerSaveOrder()) {
    std::string value = Trim(request(code));
    size_t dash = value.find('-');
    int64_t page_id = 0;
    if (dash == std::string::npos || LCase(Trim(value.substr(0, dash))) != code ||
        !ParseId(Trim(value.substr(dash + 1)), &page_id)) {
      AlertBack(state, kDesignParameterError);
    }
    Variant found = state.db.Conn->ExecuteScalar(
        "select count(*) from Vantrel_TemplatePage where d_id = ? and d_channelid = ? and "
        "d_type = ?",
        {Variant(page_id), Variant(set.channel.id), Variant(code)});
    if (found.ToInt64Or(0) == 0) AlertBack(state, kDesignParameterError);
    map.emplace_back(code, page_id);
  }

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

void Template_Main(RequestState& state) {
  CheckPrivilege(state, "XT_Manage_Template");
  AdminHeader(state);
  SetContext set;
  set.channel = OpenConsoleChannel(state, false);
  set.base = "?m=admin_template&channelid=" + set.channel.id_text;
  ChannelNavi(state, set.channel, "模板方案管理");
  Template_ShowNavi(state, set);
  auto with = [&set](void (*run)(RequestState&, const SetContext&)) {
    return [&set, run](RequestState& s) { run(s, set); };
  };
  RunAdminAction(state,
                 {{"del", with(Template_Del)},
                  {"add", with(Template_Add)},
                  {"edit", with(Template_Edit)},
                  {"save", with(Template_Save)},
                  {"update", with(Template_Update)},
                  {"selectpage", with(Template_SelectPage)},
                  {"doselectpage", with(Template_DoSelectPage)}},
                 with(Template_ShowList));
  AdminFooter(state);
}

}  // namespace folirex
