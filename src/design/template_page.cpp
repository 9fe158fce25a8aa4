#include "design/template_page.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "console/id_list.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/template_references.h"
#include "design/template_blocks.h"
#include "design/template_types.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr int64_t kMaxNameLength = 50;

struct PageContext {
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

const Request& Req(RequestState& state) { return *state.host.Request; }

std::string TypeFilterSelect(const PageContext& page) {
  std::string html = "<select name='flag' size=1 onchange=\"" +
                     HtmlEscapeAttr("location.href='" + page.base + "&flag='+this.value") +
                     "\"><option value=''>所有页</option>";
  for (std::string_view code : FilterTypeOrder()) {
    html += "<option value='" + std::string(code) + "'";
    if (code == page.flag) html += " selected";
    html += ">" + std::string(FindPageType(code)->select_label) + "</option>";
  }
  return html + "</select>";
}

void TemplatePage_ShowNavi(RequestState& state, const PageContext& page) {
  std::string base = HtmlEscapeAttr(page.base);
  std::string html = "<table border=0 cellspacing=0 align=center class=navi><tr>";
  if (page.channel.id == 0) {
    html += "<td align=right>[<a href='" + base + "&amp;action=add'>新增</a>] | [<a href='" + base +
            "'>所有页</a>]</td>";
  } else {
    html += "<td align=right>[<a href='" + base +
            "&amp;action=add'>新增</a>]</td><td width=100><form name='myform1' method='post' "
            "style='margin:0'>" +
            TypeFilterSelect(page) + "</form></td>";
  }
  state.host.Response->Write(html + "</tr></table><br>\r\n");
}

void TemplatePage_ShowList(RequestState& state, const PageContext& page) {
  std::string base = HtmlEscapeAttr(page.base);
  std::string html = DesignListHead(
      base, "<th width='5%'>ID</th><th width='20%'>模板页名称</th><th width='20%'>模板页类型</th>");

  // A filter names one of the type codes; any other value lists nothing.
  bool rows = false;
  if (page.flag.empty() || FindPageType(page.flag) != nullptr) {
    Recordset& rs = *state.db.Rs;
    std::vector<Variant> params;
    if (page.flag.empty()) {
      state.db.Sql =
          "select d_id, d_sysflag, d_name, d_type from Vantrel_TemplatePage where d_channelid= " +
          page.channel.id_text + " order by d_order, d_id";
    } else {
      state.db.Sql =
          "select d_id, d_sysflag, d_name, d_type from Vantrel_TemplatePage where d_channelid= " +
          page.channel.id_text + " and d_type = ? order by d_id";
      params.emplace_back(page.flag);
    }
    rs.Open(state.db.Sql, params, *state.db.Conn, 0, 1);
    for (; !rs.Eof(); rs.MoveNext()) {
      rows = true;
      std::string id = rs["d_id"].ToString();
      std::string type = Trim(rs["d_type"].ToString());
      // A system page's box carries its id alone and cannot be ticked.
      bool system = rs["d_sysflag"].ToBoolOr(false);
      std::string value = system ? id : type + "-" + id;
      html += "<tr><td align=center>" + id + "</td><td><a href='" + base +
              "&amp;action=edit&amp;id=" + id + "'>" + HtmlEscapeText(rs["d_name"].ToString()) +
              "</a></td><td align=center>" + TemplatePage_TypeName(type) + "</td>" +
              CheckIdCell(HtmlEscapeAttr(value), system) + "</tr>\r\n";
    }
    rs.Close();
  }
  html += rows ? BulkDeleteRow(4) : "<tr><td colspan=4 align=center>没有记录</td></tr>\r\n";
  html += "</table>\r\n</form><br>\r\n";
  html +=
      TipBox({"系统自带的模板页不允许删除。",
              "删除自己新增的模板页后，原来有使用过本模板页的方案、文章页、分类列表页、专题列表页"
              "自动转成使用系统自带的方案。"});
  state.host.Response->Write(html);
}

// The add form (no row) and the edit form (the stored row's values).
void ShowForm(RequestState& state, const PageContext& page, const Recordset* row) {
  std::string base = HtmlEscapeAttr(page.base);
  std::string html =
      row ? "<form name='form1' method='post' action='" + base + "&amp;action=update'>"
          : "<form name='formadd' method='post' action='" + base + "&amp;action=save'>";
  html += FormTableHead();
  std::string name = row ? (*row)["d_name"].ToString() : "";
  html +=
      "<tr><td align=right>名称：</td><td><input type='text' name='d_name' size=55 maxlength=50 "
      "value='" +
      HtmlEscapeAttr(name) + "'>";
  if (row) html += "<input type='hidden' name='id' value='" + (*row)["d_id"].ToString() + "'>";
  html += "</td><td><font color=red>*</font> 显示的模板页的名称</td></tr>\r\n";

  if (page.channel.id != 0) {
    std::vector<Variant> texts, values;
    for (std::string_view code : FormTypeOrder()) {
      texts.emplace_back(std::string(FindPageType(code)->select_label));
      values.emplace_back(std::string(code));
    }
    // The type is fixed at creation: the edit form shows it and never posts it.
    std::string select =
        row ? BuildSelectAttr(state.db, "d_type", texts, values,
                              Variant(LCase(Trim((*row)["d_type"].ToString()))), "", "", "disabled")
            : BuildSelect(state.db, "d_type", texts, values, Variant(""), "", "");
    html += "<tr><td align=right>所属类型：</td><td>" + select +
            "</td><td>模板页所属的类型</td></tr>\r\n";
  }

  Variant skin = row ? Variant(Trim((*row)["d_skinid"].ToString())) : Variant("");
  html += "<tr><td align=right>选择风格：</td><td>" +
          BuildSelect(state.db, "d_skinid", {}, {}, skin,
                      "select d_name, d_id from Vantrel_Skin where d_channelid = " +
                          page.channel.id_text + " order by d_id",
                      "") +
          "</td><td></td></tr>\r\n";
  std::string content = row ? (*row)["d_content"].ToString() : "";
  html +=
      "<tr id='ArticleContent'><td align=right>模板页内容：</td><td colspan=2>"
      "<textarea name='d_content' cols=110 rows=40>" +
      TextAreaContent(content) + "</textarea></td></tr>\r\n";
  html += FormButtonsFoot(base);
  state.host.Response->Write(html);
}

void TemplatePage_Add(RequestState& state, const PageContext& page) {
  ShowForm(state, page, nullptr);
}

void TemplatePage_Edit(RequestState& state, const PageContext& page) {
  int64_t id = 0;
  if (!ParseId(Req(state)("id"), &id)) AlertBack(state, kDesignParameterError);
  Recordset& rs =
      OpenRowOrRefuse(state,
                      "select * from Vantrel_TemplatePage where d_id = " + std::to_string(id) +
                          " and d_channelid = " + page.channel.id_text,
                      {}, RowUse::kRead, kDesignParameterError);
  ShowForm(state, page, &rs);
  rs.Close();
}

// The name, text and skin a save or an update posts, checked in the order of their messages.
struct PostedPage {
  std::string name;
  std::string content;
  int64_t skin = 0;
};

PostedPage ReadPostedPage(RequestState& state, const PageContext& page, bool with_type,
                          std::string* type) {
  const Request& request = Req(state);
  PostedPage posted;
  // Names and texts are stored as posted, blanks included.
  posted.name = request("d_name");
  if (posted.name.empty()) AlertBack(state, "提示：名称不允许为空！");
  if (CharacterCount(posted.name) > kMaxNameLength) AlertBack(state, "提示：名称超过最大长度！");
  if (with_type) {
    // The site's own pages are home pages; a channel's take one of the twelve types its form
    // offers.
    if (page.channel.id == 0) {
      *type = "default";
    } else {
      *type = LCase(Trim(request("d_type")));
      if (!IsSetPageType(*type)) AlertBack(state, kDesignParameterError);
    }
  }
  posted.content = request("d_content");
  if (posted.content.empty()) AlertBack(state, "提示：内容不允许为空！");
  // The skin is one of the channel's own, as the form's select offers them.
  if (!ParseId(Trim(request("d_skinid")), &posted.skin)) {
    AlertBack(state, "提示：请选择页面的风格！");
  }
  Variant found = state.db.Conn->ExecuteScalar(
      "select count(*) from Vantrel_Skin where d_id = ? and d_channelid = ?",
      {Variant(posted.skin), Variant(page.channel.id)});
  if (found.ToInt64Or(0) == 0) AlertBack(state, "提示：请选择页面的风格！");
  return posted;
}

void TemplatePage_Save(RequestState& state, const PageContext& page) {
  RequireFormPost(state);
  std::string type;
  PostedPage posted = ReadPostedPage(state, page, true, &type);

  Recordset& rs = *state.db.Rs;
  state.db.Sql = "select * from Vantrel_TemplatePage where 1 < 0";
  rs.Open(state.db.Sql, *state.db.Conn, 1, 3);
  rs.AddNew();
  rs.Set("d_channelid", Variant(page.channel.id));
  rs.Set("d_name", Variant(posted.name));
  rs.Set("d_content", Variant(posted.content));
  rs.Set("d_type", Variant(type));
  rs.Set("d_skinid", Variant(posted.skin));
  rs.Set("d_sysflag", Variant(false));
  rs.Update();
  rs.Close();
  state.caches.Clear();

  state.host.Response->Write(MessageBox(
      "新增操作成功！",
      LinkItemTo(page.base + "&action=add", "继续新增") + LinkItemTo(page.base, "返回列表")));
}

void TemplatePage_Update(RequestState& state, const PageContext& page) {
  RequireFormPost(state);
  int64_t id = 0;
  if (!ParseId(Req(state)("id"), &id)) AlertBack(state, kDesignParameterError);
  PostedPage posted = ReadPostedPage(state, page, false, nullptr);

  Recordset& rs =
      OpenRowOrRefuse(state,
                      "select * from Vantrel_TemplatePage where d_id = " + std::to_string(id) +
                          " and d_channelid = " + page.channel.id_text,
                      {}, RowUse::kChange, kDesignParameterError);
  rs.Set("d_name", Variant(posted.name));
  rs.Set("d_content", Variant(posted.content));
  rs.Set("d_skinid", Variant(posted.skin));
  rs.Update();
  rs.Close();
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
      "select min(d_id) from Vantrel_TemplatePage where d_type = ? and d_sysflag = true and "
      "d_channelid = ?",
      {Variant(type), Variant(channel)});
  if (!own.IsNull() && own.ToInt64Or(0) > 0) return own.ToInt64Or(0);
  return LowestSystemPage(conn, type);
}

// The pages the list posted ("type-id" per ticked box), each checked against its row before
// anything changes: a page of the channel, not a system page, of the posted type, with a system
// page of its type to take its place.
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
    DoomedPage doomed;
    std::string id_text = dash == std::string::npos ? item : Trim(item.substr(dash + 1));
    std::string type = dash == std::string::npos ? "" : LCase(Trim(item.substr(0, dash)));
    if (!ParseId(id_text, &doomed.id)) AlertBack(state, kDesignParameterError);
    bool repeated = false;
    for (const DoomedPage& earlier : pages) repeated = repeated || earlier.id == doomed.id;
    if (repeated) continue;

    bool found = false, system = false;
    {
      // Closed before any answer below, which closes the connection.
      Recordset rs;
      rs.Open(
          "select d_type, d_sysflag from Vantrel_TemplatePage where d_id = ? and "
          "d_channelid = ?",
          {Variant(doomed.id), Variant(page.channel.id)}, *state.db.Conn, 0, 1);
      if (!rs.Eof()) {
        found = true;
        system = rs["d_sysflag"].ToBoolOr(false);
        doomed.type = LCase(Trim(rs["d_type"].ToString()));
      }
    }
    if (!found) AlertBack(state, kDesignParameterError);
    if (system) AlertBack(state, "提示：系统自带的模板页不允许删除！");
    if (type != doomed.type || FindPageType(doomed.type) == nullptr) {
      AlertBack(state, kDesignParameterError);
    }
    doomed.replacement = SystemPageOfType(*state.db.Conn, doomed.type, page.channel.id);
    if (doomed.replacement == 0) AlertBack(state, kDesignParameterError);
    pages.push_back(std::move(doomed));
  }
  return pages;
}

void TemplatePage_Del(RequestState& state, const PageContext& page) {
  std::string posted = Trim(Req(state)("checkid"));
  if (posted.empty()) AlertBack(state, "提示：请先选择记录再删除！");
  RequireFormPost(state);
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
    conn.Execute("delete from Vantrel_TemplatePage where d_id " + InIds(ids));
    transaction.Commit();
  }
  state.caches.Clear();
  state.host.Response->Write(MessageBox("删除成功！", LinkItemTo(page.base, "返回列表")));
}

}  // namespace

void TemplatePage_Main(RequestState& state) {
  CheckPrivilege(state, "XT_Manage_TemplatePage");
  AdminHeader(state);
  PageContext page;
  page.flag = LCase(Trim(Req(state).QueryString("flag")));
  page.channel = OpenConsoleChannel(state, true);
  page.base = "?m=admin_templatepage&channelid=" + page.channel.id_text;
  ChannelNavi(state, page.channel, "模板页管理");
  TemplatePage_ShowNavi(state, page);
  auto with = [&page](void (*run)(RequestState&, const PageContext&)) {
    return [&page, run](RequestState& s) { run(s, page); };
  };
  RunAdminAction(state,
                 {{"add", with(TemplatePage_Add)},
                  {"del", with(TemplatePage_Del)},
                  {"edit", with(TemplatePage_Edit)},
                  {"save", with(TemplatePage_Save)},
                  {"update", with(TemplatePage_Update)}},
                 with(TemplatePage_ShowList));
  AdminFooter(state);
}

}  // namespace folirex
