#include "articles/keyword_pick.h"

#include <cstdint>
#include <string>

#include "articles/upload_popup.h"
#include "articles/upload_rules.h"
#include "console/admin_frame.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

// The values of one request: flag and field serve the whole request.
struct PickRequest {
  int64_t channel_id = 0;
  std::string flag;
  std::string field;
  std::string selected;  // the ticked names, joined by ", " (action "select")
};

void SelectMore_ShowKeywords(RequestState& state, const PickRequest& pick) {
  std::string action = "?m=admin_selectmore&channelid=" + std::to_string(pick.channel_id) +
                       "&action=select&flag=" + pick.flag + "&field=" + pick.field;
  std::string html =
      "<table border=0 cellspacing=1 align=center class=list>"
      "<form name=\"delform\" method=\"post\" action=\"" +
      HtmlEscapeAttr(action) +
      "\">"
      "<tr align=left><th colspan=2>全选：<input type=\"checkbox\" name=\"chkSelectAll\" "
      "onclick=\"doCheckAll(this)\"> <input type=\"submit\" value=\"确 定\"></th></tr>\r\n";

  Recordset rs;
  rs.Open("select * from Vantrel_Keyword where d_channelid = ? order by d_order desc, d_id",
          {Variant(pick.channel_id)}, *state.db.Conn, 0, 1);
  if (rs.Eof()) html += "<tr><td colspan=2>没有记录</td></tr>\r\n";
  for (; !rs.Eof(); rs.MoveNext()) {
    const Variant& name = rs["d_name"];
    html +=
        "<tr><td align=center width=\"5%\"><input type=\"checkbox\" name=\"selectdel\" value=\"" +
        HtmlEscapeAttr(Trim(name.ToString())) + "\"></td><td width=\"95%\">" + HTMLEncode(name) +
        "</td></tr>\r\n";
  }
  rs.Close();
  html += "</form></table>\r\n";
  state.host.Response->Write(html);
}

void SelectMore_Show(RequestState& state, const PickRequest& pick) {
  if (pick.flag != "1") AlertBack(state, kParameterError);
  SelectMore_ShowKeywords(state, pick);
}

void SelectMore_Select(RequestState& state, const PickRequest& pick) {
  std::string value = pick.selected;
  if (pick.flag == "1") {
    // The ticked names joined by "|" alone, the keyword boxes' separator.
    std::string joined;
    for (char c : value) {
      if (c == ',') {
        joined += '|';
      } else if (c != ' ') {
        joined += c;
      }
    }
    value = joined;
  }
  state.host.Response->Write(OpenerFieldScript(pick.field, value, true));
}

}  // namespace

void SelectMore_Main(RequestState& state, const ConsolePage& page) {
  AdminHeader(state);
  PickRequest pick;
  if (!interaction::IsId(page.request.channel_id)) AlertBack(state, "提示：参数错误，请返回！");
  pick.channel_id = *page.request.channel_id;
  const RequestReader& query = page.request.query;
  pick.flag = query.Text("flag");
  if (!query.Number("flag")) AlertBack(state, kParameterError);
  pick.field = query.Text("field");
  if (!IsOpenerFieldPath(pick.field)) AlertBack(state, kParameterError);
  if (page.request.action == "select") {
    pick.selected = page.request.values.Text("selectdel");
    SelectMore_Select(state, pick);
  } else {
    SelectMore_Show(state, pick);
  }
  AdminFooter(state);
}

}  // namespace folirex
