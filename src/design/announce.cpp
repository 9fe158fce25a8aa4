#include "design/announce.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/html_clean.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr const char* kListUrl = "?m=admin_announce";
// The channels an announcement can be shown on (the first option, the site home, posts "").
constexpr const char* kChannelSql =
    "select d_projectname, d_id from Vantrel_Channel where D_DisabledFlag = false and "
    "d_shownameflag = true and d_channeltype=1";

std::string Announce_YesNo(const Variant& flag) { return flag.Equals(Variant(true)) ? "是" : "否"; }

void Announce_ShowLinkBar(RequestState& state) {
  state.host.Response->Write(LinkBarHtml(
      {.table = "border=0 cellspacing=1 align=center class=navi"},
      {{"?m=admin_announce", "所有列表"}, {"?m=admin_announce&amp;action=add", "新增公告"}}));
}

void Announce_ShowList(RequestState& state) {
  std::string html =
      ListFormHead({.action = "?m=admin_announce&amp;action=",
                    .headings = "<th width='40%'>标题</th><th width='10%'>是否最新</th>"
                                "<th width='20%'>发布人</th><th width='20%'>发布时间</th>",
                    .check_width = "10%"});
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_Announce"},
                       .sql = "select * from Vantrel_Announce order by d_id desc"},
          *state.db.Conn);
  const bool empty = rs.Eof();
  if (empty) html += "<tr><td colspan=5 align=center>没有记录</td></tr>\r\n";
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string id = rs["d_id"].ToString();
    html += "<tr><td><a href='?m=admin_announce&amp;action=edit&amp;id=" + id + "'>" +
            HTMLEncode(rs["d_title"]) + "</a></td><td align=center>" +
            Announce_YesNo(rs["d_selectedflag"]) + "</td><td align=center>" +
            HTMLEncode(rs["d_author"]) + "</td><td align=center>" + FormatDate(rs["d_addtime"], 1) +
            "</td><td align=center><input type=checkbox name='checkid' value='" + id +
            "'></td></tr>\r\n";
  }
  rs.Close();
  if (!empty) {
    html +=
        "<tr><td colspan=6 align=right>操作：<select name='checkaction' size=1>"
        "<option value='del'>删除</option><option value='setnew'>设置最新</option>"
        "<option value='setold'>取消最新</option></select> "
        "<input type=button name='btnDO' value='执行' onclick='doAction(this)'></td></tr>\r\n";
  }
  html += "</table>\r\n</form>\r\n";
  state.host.Response->Write(html);
}

// The add and edit form. `action` is the form's address (markup); the values are shown encoded.
void WriteForm(RequestState& state, std::string_view action, const Variant& title,
               const Variant& channel, const Variant& content, bool selected) {
  std::string html = SettingsFormHead("form1", action);
  html +=
      "<tr><td align=right>公告标题：</td><td><input type=text name='d_title' size=50 "
      "maxlength=50 value=\"" +
      HtmlEscapeAttr(title.ToString()) +
      "\"></td><td><span class=red>*</span><span class=gray>必填，最大25个中文</span></td>"
      "</tr>\r\n";
  html += "<tr><td align=right>使用位置：</td><td>" +
          BuildSelect(state.db, "d_channelid", {}, {}, Trim(channel.ToString()), kChannelSql,
                      "网站首页") +
          "</td><td><span class=gray>使用公告的频道</span></td></tr>\r\n";
  // The editor starts from the hidden field and keeps it equal to the HTML being edited.
  html +=
      "<tr id='ArticleContent'><td align=right>公告内容：</td><td colspan=2>"
      "<input type=hidden name='d_content' id='d_content' value=\"" +
      HtmlEscapeAttr(content.ToString()) +
      "\"><iframe id='Kelmira1' src='Kelmira/kelmira.htm?id=d_content' frameborder=0 "
      "scrolling=no width=550 height=350></iframe></td></tr>\r\n";
  html += std::string(
              "<tr><td align=right>是否最新：</td><td><input type=checkbox name='d_selectedflag' "
              "value='true'") +
          (selected ? " checked" : "") +
          ">是</td><td><span class=gray>是最新的公告才显示</span></td></tr>\r\n";
  html +=
      "<tr><td colspan=3 align=center><input type=submit name='btnSubmit' value='确　定'> "
      "<input type=button name='btnBack' value='返 回' "
      "onclick=\"location.href='?m=admin_announce'\"></td></tr>\r\n</table>\r\n</form>\r\n";
  state.host.Response->Write(html);
}

void Announce_ShowAdd(RequestState& state) {
  WriteForm(state, "?m=admin_announce&amp;action=save", Variant(""), Variant(""), Variant(""),
            true);
}

void Announce_ShowEdit(RequestState& state, const ConsoleRequest& request) {
  const char* message = "提示：参数错误，请返回！";
  int64_t id = request.query.Id("id", message);
  Recordset rs;
  OpenRowOrRefuse(state, rs,
                  {.tables = {"Vantrel_Announce"},
                   .sql = "select * from Vantrel_Announce where d_id = ?",
                   .values = {Variant(id)}},
                  RowUse::kRead, message);
  Variant title = rs["d_title"];
  Variant channel = rs["d_channelid"];
  Variant content = rs["d_content"];
  bool selected = rs["d_selectedflag"].Equals(Variant(true));
  rs.Close();
  WriteForm(state, "?m=admin_announce&amp;action=update&amp;id=" + std::to_string(id), title,
            channel, content, selected);
}

struct Announcement {
  std::string title;
  int64_t channel = 0;
  bool selected = false;
  std::string content;
};

// The posted announcement, checked in the order the messages name.
Announcement ReadAnnouncement(RequestState& state, const ConsoleRequest& request) {
  const RequestReader& posted = request.values;
  Announcement a;
  a.title = CheckedShortName(state, posted.Text("d_title"), "标题", "提示：标题不允许为空！");
  if (!posted.Text("d_channelid").empty()) {
    // A channel that exists, or the site home (0).
    a.channel = posted.Id("d_channelid", kParameterError);
    if (a.channel != 0 &&
        state.db.Conn
                ->ExecuteScalar("select count(*) from Vantrel_Channel where d_id = ?",
                                {Variant(a.channel)})
                .ToInt64Or(0) == 0) {
      AlertBack(state, kParameterError);
    }
  }
  a.selected = LCase(posted.Text("d_selectedflag")) == "true";
  // Shown on the public pages, which share the console's origin: the announcement right does not
  // let its holder run script there.
  a.content = Trim(CleanTypedHtml(posted.Text("d_content")));
  if (a.content.empty()) AlertBack(state, "提示：内容不能为空！");
  RequireFormPost(request);
  return a;
}

void SetColumns(RequestState& state, Recordset& rs, const Announcement& a) {
  rs.Set("d_channelid", Variant(a.channel));
  rs.Set("d_title", Variant(a.title));
  rs.Set("d_author", state.host.Session->Get("user_code"));
  rs.Set("d_content", Variant(a.content));
  rs.Set("d_selectedflag", Variant(a.selected));
  rs.Set("d_showtype", Variant(2));
  rs.Set("d_addtime", Variant(DateTime::Now()));
}

void Announce_SaveAdd(RequestState& state, const ConsoleRequest& request) {
  Announcement a = ReadAnnouncement(state, request);
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_Announce", .where = "1 < 0"}, *state.db.Conn, 1, 3);
  rs.AddNew();
  SetColumns(state, rs, a);
  rs.Update();
  rs.Close();
  state.host.Response->Write(
      MessageBox("新增信息成功！", LinkItem("?m=admin_announce&amp;action=add", "返回继续新增") +
                                       LinkItem(kListUrl, "返回列表")));
}

void Announce_SaveEdit(RequestState& state, const ConsoleRequest& request) {
  int64_t id = request.query.Id("id", kParameterError);
  Announcement a = ReadAnnouncement(state, request);
  Recordset rs;
  OpenRowOrRefuse(state, rs, "Select * from Vantrel_Announce where d_id = ?", {Variant(id)},
                  RowUse::kChange, kParameterError);
  SetColumns(state, rs, a);
  rs.Update();
  rs.Close();
  state.host.Response->Write(MessageBox(
      "修改信息成功！",
      LinkItem("?m=admin_announce&amp;action=edit&amp;id=" + std::to_string(id), "返回继续修改") +
          LinkItem(kListUrl, "返回列表")));
}

// One statement over the ticked rows: "... where d_id in (?,...)" with their ids bound.
void BulkAction(RequestState& state, const ConsoleRequest& request, std::string_view statement,
                std::string_view message) {
  if (request.values.Text("checkid").empty()) AlertBack(state, "提示：请先选择记录再操作！");
  const IdList list = request.values.Ids("checkid", kParameterError);
  RequireFormPost(request);
  BoundSql in = IdsIn("d_id", list.ids);
  state.db.Conn->Execute(std::string(statement) + " where " + in.sql, in.params);
  state.host.Response->Write(MessageBox(message, LinkItem(kListUrl, "返回列表")));
}

void Announce_Delete(RequestState& state, const ConsoleRequest& request) {
  BulkAction(state, request, "delete from Vantrel_Announce", "删除成功！");
}

void Announce_SetNew(RequestState& state, const ConsoleRequest& request) {
  BulkAction(state, request, "update Vantrel_Announce set d_selectedflag = true", "操作成功！");
}

void Announce_SetOld(RequestState& state, const ConsoleRequest& request) {
  BulkAction(state, request, "update Vantrel_Announce set d_selectedflag = false", "操作成功！");
}

}  // namespace

void Announce_Main(RequestState& state, const ConsolePage& page) {
  Announce_ShowLinkBar(state);
  const ConsoleRequest& request = page.request;
  auto with = [&request](void (*run)(RequestState&, const ConsoleRequest&)) {
    return [&request, run](RequestState& s) { run(s, request); };
  };
  RunAdminAction(state, request.action,
                 {{"add", Announce_ShowAdd},
                  {"save", with(Announce_SaveAdd)},
                  {"edit", with(Announce_ShowEdit)},
                  {"update", with(Announce_SaveEdit)},
                  {"del", with(Announce_Delete)},
                  {"setnew", with(Announce_SetNew)},
                  {"setold", with(Announce_SetOld)}},
                 Announce_ShowList);
}

}  // namespace folirex
