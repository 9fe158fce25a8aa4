#include "design/template_page.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/channel_rows.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/public_request.h"
#include "core/select_boxes.h"
#include "core/template_references.h"
#include "design/template_blocks.h"
#include "design/template_types.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

constexpr size_t kMaxNameLength = 50;

struct PageContext {
  explicit PageContext(const ConsoleRequest& request) : request(&request) {}
  const ConsoleRequest* request;  // the request the page answers; it outlives the context
  ConsoleChannel channel;
  std::string flag;  // the list's type filter, trimmed and lower-cased
  std::string base;  // the page's own address for the channel
};

// One page to delete, as checked against its row.
struct DoomedPage {
  int64_t id = 0;
  std::string type;
  int64_t replacement = 0;
};

std::string TypeFilterSelect(const PageContext& page) {
  std::string html = "<select name='flag' size=1 onchange=\"" +
                     HtmlEscapeAttr("location.href='" + page.base + "&flag='+this.value") +
                     "\"><option value=''>所有页</option>";
  for (std::string_view code : TypeOrder(SetTypeList::kFilter)) {
    html += "<option value='" + std::string(code) + "'";
    if (code == page.flag) html += " selected";
    html += ">" + std::string(FindPageType(code)->select_label) + "</option>";
  }
  return html + "</select>";
}

void TemplatePage_ShowNavi(RequestState& state, const PageContext& page) {
  std::string base = HtmlEscapeAttr(page.base);
  const std::string add = base + "&amp;action=add";
  if (page.channel.id == 0) {
    state.host.Response->Write(
        LinkBarHtml({.table = "border=0 cellspacing=0 align=center class=navi", .gap = " | "},
                    {{add, "新增"}, {base, "所有页"}}));
    return;
  }
  state.host.Response->Write(
      "<table border=0 cellspacing=0 align=center class=navi><tr><td align=right>[<a href='" + add +
      "'>新增</a>]</td><td width=100><form name='myform1' method='post' style='margin:0'>" +
      TypeFilterSelect(page) + "</form></td></tr></table><br>\r\n");
}

constexpr std::string_view kPageTips[] = {
    "系统自带的模板页不允许删除。",
    "删除自己新增的模板页后，原来有使用过本模板页的方案、文章页、分类列表页、专题列表页"
    "自动转成使用系统自带的方案。"};

// The list's rows: the channel's pages, all of them in the list's order or those of the type
// filter in id order. A filter names one of the type codes; any other value lists nothing.
std::string PageListRows(RequestState& state, const PageContext& page, std::string_view base) {
  if (!page.flag.empty() && FindPageType(page.flag) == nullptr) return "";
  std::vector<Variant> params = {Variant(page.channel.id)};
  std::string sql =
      "select d_id, d_sysflag, d_name, d_type from Vantrel_TemplatePage where d_channelid = ?";
  if (page.flag.empty()) {
    sql += " order by d_order, d_id";
  } else {
    sql += " and d_type = ? order by d_id";
    params.emplace_back(page.flag);
  }
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_TemplatePage"}, .sql = sql, .values = params},
          *state.db.Conn);
  std::string html;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string id = rs["d_id"].ToString();
    std::string type = Trim(rs["d_type"].ToString());
    // A system page's box carries its id alone and cannot be ticked.
    bool system = rs["d_sysflag"].ToBoolOr(false);
    std::string value = system ? id : type + "-" + id;
    html += ListRowHead(base, id, rs["d_name"].ToString()) + "<td align=center>" +
            TemplatePage_TypeName(type) + "</td>" + CheckIdCell(HtmlEscapeAttr(value), system) +
            "</tr>\r\n";
  }
  return html;
}

void TemplatePage_ShowList(RequestState& state, const PageContext& page) {
  std::string base = HtmlEscapeAttr(page.base);
  std::string rows = PageListRows(state, page, base);
  state.host.Response->Write(
      DesignListHead(
          base,
          "<th width='5%'>ID</th><th width='20%'>模板页名称</th><th width='20%'>模板页类型</th>") +
      rows + DesignListFoot(!rows.empty(), 4, " align=center", kPageTips));
}

// A stored page as the edit form shows it.
struct StoredPage {
  int64_t id = 0;
  std::string name;
  std::string type;  // trimmed and lower-cased
  std::string skin;  // the skin's id, trimmed
  std::string content;
};

// The form's type row: the twelve set types, of which the edit form shows the stored one.
std::string TypeRow(RequestState& state, const StoredPage* row) {
  std::vector<Variant> texts, values;
  for (std::string_view code : TypeOrder(SetTypeList::kForm)) {
    texts.emplace_back(std::string(FindPageType(code)->select_label));
    values.emplace_back(std::string(code));
  }
  // The type is fixed at creation: the edit form shows it and never posts it.
  std::string select = row ? BuildSelectAttr(state.db, "d_type", texts, values, Variant(row->type),
                                             "", "", "disabled")
                           : BuildSelect(state.db, "d_type", texts, values, Variant(""), "", "");
  return "<tr><td align=right>所属类型：</td><td>" + select +
         "</td><td>模板页所属的类型</td></tr>\r\n";
}

// The form's skin row: the channel's own skins in id order.
std::string SkinRow(RequestState& state, const PageContext& page, const StoredPage* row) {
  std::vector<Variant> names, ids;
  {
    Recordset rs;
    rs.Open(ChannelRowsRead("Vantrel_Skin", "d_name, d_id", page.channel.id, "d_id"),
            *state.db.Conn);
    for (; !rs.Eof(); rs.MoveNext()) {
      names.push_back(rs.Field(0));
      ids.push_back(rs.Field(1));
    }
  }
  return "<tr><td align=right>选择风格：</td><td>" +
         BuildSelect(state.db, "d_skinid", names, ids, Variant(row ? row->skin : ""), "", "") +
         "</td><td></td></tr>\r\n";
}

// The add form (no row) and the edit form (the stored row's values).
void ShowForm(RequestState& state, const PageContext& page, const StoredPage* row) {
  std::string base = HtmlEscapeAttr(page.base);
  std::string html = row ? SettingsFormHead("form1", base + "&amp;action=update")
                         : SettingsFormHead("formadd", base + "&amp;action=save");
  html +=
      "<tr><td align=right>名称：</td><td><input type='text' name='d_name' size=55 maxlength=50 "
      "value='" +
      HtmlEscapeAttr(row ? row->name : "") + "'>";
  if (row) html += "<input type='hidden' name='id' value='" + std::to_string(row->id) + "'>";
  html += "</td><td><font color=red>*</font> 显示的模板页的名称</td></tr>\r\n";
  if (page.channel.id != 0) html += TypeRow(state, row);
  html += SkinRow(state, page, row);
  html +=
      "<tr id='ArticleContent'><td align=right>模板页内容：</td><td colspan=2>"
      "<textarea name='d_content' cols=110 rows=40>" +
      TextAreaContent(row ? row->content : "") + "</textarea></td></tr>\r\n";
  html += FormButtonsFoot(base);
  state.host.Response->Write(html);
}

void TemplatePage_Add(RequestState& state, const PageContext& page) {
  ShowForm(state, page, nullptr);
}

void TemplatePage_Edit(RequestState& state, const PageContext& page) {
  StoredPage row;
  row.id = page.request->values.Id("id", kDesignParameterError);
  ReadRowOrRefuse(state,
                  {.tables = {"Vantrel_TemplatePage"},
                   .sql = "select d_name, d_type, d_skinid, d_content from Vantrel_TemplatePage "
                          "where d_id = ? and d_channelid = ?",
                   .values = {Variant(row.id), Variant(page.channel.id)}},
                  [&row](const Recordset& rs) {
                    row.name = rs["d_name"].ToString();
                    row.type = LCase(Trim(rs["d_type"].ToString()));
                    row.skin = Trim(rs["d_skinid"].ToString());
                    row.content = rs["d_content"].ToString();
                  });
  ShowForm(state, page, &row);
}

// The name, type, text and skin a save or an update posts, checked in the order of their
// messages.
struct PostedPage {
  std::string name;
  std::string type;  // the save's alone
  std::string content;
  int64_t skin = 0;
};

PostedPage ReadPostedPage(RequestState& state, const PageContext& page, bool with_type) {
  const RequestReader& request = page.request->values;
  PostedPage posted;
  // Names and texts are stored as posted, blanks included.
  posted.name = request.Raw("d_name");
  if (posted.name.empty()) AlertBack(state, "提示：名称不允许为空！");
  if (interaction::CharCount(posted.name) > kMaxNameLength) {
    AlertBack(state, "提示：名称超过最大长度！");
  }
  if (with_type) {
    // The site's own pages are home pages; a channel's take one of the twelve types its form
    // offers.
    if (page.channel.id == 0) {
      posted.type = "default";
    } else {
      posted.type = LCase(request.Text("d_type"));
      if (!IsSetPageType(posted.type)) AlertBack(state, kDesignParameterError);
    }
  }
  posted.content = request.Raw("d_content");
  if (posted.content.empty()) AlertBack(state, "提示：内容不允许为空！");
  // The skin is one of the channel's own, as the form's select offers them.
  posted.skin = request.Id("d_skinid", "提示：请选择页面的风格！");
  Variant found = state.db.Conn->ExecuteScalar(
      {.tables = {"Vantrel_Skin"},
       .sql = "select count(*) from Vantrel_Skin where d_id = ? and d_channelid = ?",
       .values = {Variant(posted.skin), Variant(page.channel.id)}});
  if (found.ToInt64Or(0) == 0) AlertBack(state, "提示：请选择页面的风格！");
  return posted;
}

void TemplatePage_Save(RequestState& state, const PageContext& page) {
  RequireFormPost(*page.request);
  PostedPage posted = ReadPostedPage(state, page, true);

  {
    Recordset rs;
    rs.Open(db::TableRows{.table = "Vantrel_TemplatePage", .where = "1 < 0"}, *state.db.Conn, 1, 3);
    rs.AddNew();
    rs.Set("d_channelid", Variant(page.channel.id));
    rs.Set("d_name", Variant(posted.name));
    rs.Set("d_content", Variant(posted.content));
    rs.Set("d_type", Variant(posted.type));
    rs.Set("d_skinid", Variant(posted.skin));
    rs.Set("d_sysflag", Variant(false));
    rs.Update();
  }
  state.caches.Clear();

  state.host.Response->Write(MessageBox(
      "新增操作成功！",
      LinkItemTo(page.base + "&action=add", "继续新增") + LinkItemTo(page.base, "返回列表")));
}

void TemplatePage_Update(RequestState& state, const PageContext& page) {
  RequireFormPost(*page.request);
  const int64_t id = page.request->values.Id("id", kDesignParameterError);
  PostedPage posted = ReadPostedPage(state, page, false);

  int64_t changed = state.db.Conn->Execute(
      "update Vantrel_TemplatePage set d_name = ?, d_content = ?, d_skinid = ? where d_id = ? and "
      "d_channelid = ?",
      {Variant(posted.name), Variant(posted.content), Variant(posted.skin), Variant(id),
       Variant(page.channel.id)});
  if (changed == 0) AlertBack(state, kDesignParameterError);
  state.caches.Clear();

  state.host.Response->Write(
      MessageBox("修改操作成功！",
                 LinkItemTo(page.base + "&action=edit&id=" + std::to_string(id), "重新修改") +
                     LinkItemTo(page.base, "返回列表")));
}

// The system page of the type that takes the place of a deleted one: the channel's own first
// (its skin lies in the channel's folder), else the lowest of any channel; 0 when there is none.
int64_t SystemPageOfType(Connection& conn, const std::string& type, int64_t channel) {
  Variant own = conn.ExecuteScalar(
      {.tables = {"Vantrel_TemplatePage"},
       .sql =
           "select min(d_id) from Vantrel_TemplatePage where d_type = ? and d_sysflag = true and "
           "d_channelid = ?",
       .values = {Variant(type), Variant(channel)}});
  if (!own.IsNull() && own.ToInt64Or(0) > 0) return own.ToInt64Or(0);
  return LowestSystemPage(conn, type);
}

// The page `id` that a ticked box posted with `posted_type`, checked against its row: a page of
// the channel, not a system page, of the posted type, with a system page of its type to take its
// place.
DoomedPage CheckedPage(RequestState& state, const PageContext& page, int64_t id,
                       const std::string& posted_type) {
  DoomedPage doomed;
  doomed.id = id;
  bool found = false, system = false;
  {
    // Closed before any answer below, which closes the connection.
    Recordset rs;
    rs.Open(db::KeptRead{.tables = {"Vantrel_TemplatePage"},
                         .sql = "select d_type, d_sysflag from Vantrel_TemplatePage where d_id = ? "
                                "and d_channelid = ?",
                         .values = {Variant(id), Variant(page.channel.id)}},
            *state.db.Conn);
    if (!rs.Eof()) {
      found = true;
      system = rs["d_sysflag"].ToBoolOr(false);
      doomed.type = LCase(Trim(rs["d_type"].ToString()));
    }
  }
  if (!found) AlertBack(state, kDesignParameterError);
  if (system) AlertBack(state, "提示：系统自带的模板页不允许删除！");
  if (posted_type != doomed.type || FindPageType(doomed.type) == nullptr) {
    AlertBack(state, kDesignParameterError);
  }
  doomed.replacement = SystemPageOfType(*state.db.Conn, doomed.type, page.channel.id);
  if (doomed.replacement == 0) AlertBack(state, kDesignParameterError);
  return doomed;
}

// The pages the list posted ("type-id" per ticked box, a system page's id alone), each checked
// (CheckedPage) before anything changes; a page ticked twice counts once.
std::vector<DoomedPage> CheckedPages(RequestState& state, const PageContext& page,
                                     const std::string& posted) {
  std::vector<DoomedPage> pages;
  size_t start = 0;
  while (start <= posted.size()) {
    size_t comma = posted.find(',', start);
    std::string item =
        Trim(posted.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    start = comma == std::string::npos ? posted.size() + 1 : comma + 1;
    size_t dash = item.find('-');
    std::string id_text = dash == std::string::npos ? item : Trim(item.substr(dash + 1));
    std::string type = dash == std::string::npos ? "" : LCase(Trim(item.substr(0, dash)));
    std::optional<int64_t> item_id = ParseId(id_text);
    if (!item_id) AlertBack(state, kDesignParameterError);
    const int64_t id = *item_id;
    bool repeated = false;
    for (const DoomedPage& earlier : pages) repeated = repeated || earlier.id == id;
    if (!repeated) pages.push_back(CheckedPage(state, page, id, type));
  }
  return pages;
}

void TemplatePage_Del(RequestState& state, const PageContext& page) {
  std::string posted = page.request->values.Text("checkid");
  if (posted.empty()) AlertBack(state, "提示：请先选择记录再删除！");
  RequireFormPost(*page.request);
  std::vector<DoomedPage> pages = CheckedPages(state, page, posted);

  std::vector<TemplateReplacement> replacements;
  std::vector<int64_t> ids;
  for (const DoomedPage& doomed : pages) {
    replacements.push_back({doomed.id, doomed.replacement});
    ids.push_back(doomed.id);
  }
  Connection& conn = *state.db.Conn;
  {
    ScopedTransaction transaction(conn);
    // The site settings' home page is a user like the others: left pointing at the deleted page,
    // the home page would have no template.
    RepointTemplatePages(conn, replacements);
    std::vector<Variant> params;
    std::string in = BoundIds(ids, &params);
    conn.Execute("delete from Vantrel_TemplatePage where d_id in " + in, params);
    transaction.Commit();
  }
  state.caches.Clear();
  state.host.Response->Write(MessageBox("删除成功！", LinkItemTo(page.base, "返回列表")));
}

}  // namespace

void TemplatePage_Main(RequestState& state, const ConsolePage& frame) {
  PageContext page(frame.request);
  page.flag = LCase(frame.request.query.Text("flag"));
  page.channel = frame.channel;
  page.base = "?m=admin_templatepage&channelid=" + page.channel.id_text;
  TemplatePage_ShowNavi(state, page);
  auto with = [&page](void (*run)(RequestState&, const PageContext&)) {
    return [&page, run](RequestState& s) { run(s, page); };
  };
  RunAdminAction(state, frame.request.action,
                 {{"add", with(TemplatePage_Add)},
                  {"del", with(TemplatePage_Del)},
                  {"edit", with(TemplatePage_Edit)},
                  {"save", with(TemplatePage_Save)},
                  {"update", with(TemplatePage_Update)}},
                 with(TemplatePage_ShowList));
}

}  // namespace folirex
