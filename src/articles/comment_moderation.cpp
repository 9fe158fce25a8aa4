#include "articles/comment_moderation.h"

#include <cstdint>
#include <map>
#include <string>

#include "articles/article_channel.h"
#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/admin_pager.h"
#include "console/console_text.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/host/session.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/channel_loader.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

constexpr int64_t kPageSize = 20;
// The longest answer an administrator may store, in characters (a reader's comment may hold
// as many).
constexpr size_t kMaxReplyChars = 10000;
const char kNoSelection[] = "请先选择记录再操作！";

// The channel and the two filters of the request, read once by the entry.
struct CommentPage {
  std::string channel;      // the channel id, digits
  std::string base;         // "?m=admin_articlecomment&channelid=<id>"
  std::string class_id;     // the class filter: "0" for every class
  std::string check_state;  // the approval filter: "", "true" or "false"
};

// The channel id of the page, as the number it was parsed from.
Variant ChannelOf(const CommentPage& page) { return SqlNumber(std::stoll(page.channel)); }

std::string ArticleComment_GetArticleTitle(RequestState& state, const std::string& article_id) {
  const std::optional<int64_t> id = ParseId(article_id);
  if (!id) return "获取标题失败";
  Recordset rs;
  rs.Open("select d_title from Vantrel_Article where d_id = ?", {SqlNumber(*id)}, *state.db.Conn, 0,
          1);
  if (rs.Eof()) return "获取标题失败";
  return rs["d_title"].ToString();
}

// The titles a list shows, each article read once per page.
class ArticleTitles {
 public:
  explicit ArticleTitles(RequestState& state) : state_(state) {}
  const std::string& Of(const std::string& article_id) {
    auto found = titles_.find(article_id);
    if (found == titles_.end()) {
      found = titles_.emplace(article_id, ArticleComment_GetArticleTitle(state_, article_id)).first;
    }
    return found->second;
  }

 private:
  RequestState& state_;
  std::map<std::string, std::string> titles_;
};

// The class select of the search bar: every class of the channel in tree order, each indented by
// one ideographic space per level.
std::string ArticleComment_ClassSelect(RequestState& state, const CommentPage& page,
                                       std::string_view name, const std::string& selected) {
  std::string html =
      "<select name='" + std::string(name) + "' size=1><option value='0'>所有分类</option>";
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                       .sql = "select d_id, d_name, d_level from Vantrel_ArticleClass where "
                              "d_channelid = ? order by "
                              "d_order",
                       .values = {ChannelOf(page)}},
          *state.db.Conn);
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string id = Trim(rs["d_id"].ToString());
    std::string indent;
    for (int64_t level = rs["d_level"].ToInt64Or(0); level > 0; --level) indent += "\xE3\x80\x80";
    html += "<option value='" + HtmlEscapeAttr(id) + "'" + (id == selected ? " selected" : "") +
            ">" + indent + HtmlEscapeText(rs["d_name"].ToString()) + "</option>";
  }
  return html + "</select>";
}

void ArticleComment_ShowSearch(RequestState& state, const CommentPage& page) {
  std::string base = HtmlEscapeAttr(page.base);
  state.host.Response->Write(
      "<table border=0 cellspacing=0 align=center class=navi><form method='post' action='" + base +
      "' style='margin:0'><tr><td width='55%'>评论分组查询：选择分类:" +
      ArticleComment_ClassSelect(state, page, "qclass", page.class_id) + " 是否审核：" +
      BuildSelect(state.db, "qcheckstate", {"已审核", "未审核"}, {"true", "false"},
                  Variant(page.check_state), "", "全部") +
      " <input type='submit' value='查 询'></td><td width='45%' align=right><a href='" + base +
      "&amp;action=desc'>按照评论时间倒序查看</a></td></tr></form></table><br>\r\n");
}

// The comment's link to its reply form, whose tooltip shows the stored answer.
std::string CommentLink(const CommentPage& page, const Recordset& rs) {
  std::string tip = "回复人：" + rs["d_replyuser"].ToString() + "\n回复时间：" +
                    rs["d_replytime"].ToString() + "\n回复内容：" + rs["d_reply"].ToString();
  return "<a href='" + HtmlEscapeAttr(page.base + "&action=reply&id=" + rs["d_id"].ToString()) +
         "' title='" + HtmlEscapeAttr(tip) + "'>" + HTMLEncode(rs["d_comment"]) + "</a>";
}

std::string ActionBar(const AdminPager& pager, const CommentPage& page) {
  return "<table border=0 cellspacing=0 align=center class=navi height=30><tr><td>" +
         pager.PagerBar +
         "</td><td align=right><form name='actionform' style='margin:0'>操作：<select "
         "name='selection' size=1><option value='del'>删除</option><option "
         "value='check'>通过审核</option><option value='uncheck'>取消通过</option><option "
         "value='checkall'>全部通过</option><option value='empty'>清空所有评论</option></select> "
         "<input type='button' value='执行' "
         "onclick=\"checkAction(this.form.selection.options[this.form.selection.selectedIndex]."
         "value, '" +
         page.channel + "')\"></form></td></tr></table>\r\n";
}

const char kListFormHead[] =
    "<form name='delform' method='post' action='?m=admin_articlecomment&amp;action=del' "
    "style='margin:0'>\r\n";

// The comments grouped by article: each article's comments under a header row with its title
// and the link that deletes them all. The page size counts comments, so an article running over
// a page boundary gets its header again on the next page.
void ArticleComment_ShowList(RequestState& state, const CommentPage& page) {
  AdminPager pager;
  pager.PagerPageSize = kPageSize;
  BoundSql where{"d_channelid = ?", {ChannelOf(page)}};
  if (page.class_id != "0") AndWhere(where, "d_classid = ?", SqlNumber(std::stoll(page.class_id)));
  if (!page.check_state.empty())
    AndWhere(where, "d_checked = ?", Variant(page.check_state == "true"));
  pager.PagerRows = {.table = "Vantrel_ArticleComment",
                     .where = where.sql,
                     .values = where.params,
                     .order = "d_infoid, d_addtime desc"};
  pager.PagerUrl =
      page.base + "&qclass=" + page.class_id + "&qcheckstate=" + page.check_state + "&";
  pager.Pager_Open(state);
  if (pager.PagerRecordCount <= 0) {
    state.host.Response->Write(
        "<table border=0 cellspacing=1 align=center class=list><tr><td colspan=8 "
        "align=center>暂无此类数据！</td></tr></table>\r\n");
    return;
  }
  std::string html = kListFormHead;
  ArticleTitles titles(state);
  Recordset& rs = *pager.PagerRs;
  std::string previous;
  bool open = false;
  for (int64_t n = 0; n < pager.PagerPageSize && !rs.Eof(); ++n, rs.MoveNext()) {
    std::string article = Trim(rs["d_infoid"].ToString());
    if (!open || article != previous) {
      if (open) html += "</table><br>\r\n";
      std::string delone = page.base + "&action=delone&infoid=" + article;
      html +=
          "<table border=0 cellspacing=1 align=center class=list><tr><th colspan=6 "
          "align=left>" +
          HtmlEscapeText(titles.Of(article)) + "</th><th colspan=2><a href='" +
          HtmlEscapeAttr(delone) +
          "' onclick=\"return postAction(this.href, "
          "'您确定要清空本文章下的所有评论吗？')\"><font "
          "color=white>清空本文章下的评论</font></a></th></tr>\r\n";
      open = true;
      previous = article;
    }
    html += "<tr align=center><td width='5%'>" + rs["d_id"].ToString() +
            "</td><td width='32%' align=left>" + CommentLink(page, rs) +
            "</td><td width='10%'>评分：" + HTMLEncode(rs["d_score"]) + "</td><td width='10%'>" +
            ArticleComment_UserTypeName(rs["d_usertype"]) + "</td><td width='8%'>" +
            HTMLEncode(rs["d_username"]) + "</td><td width='20%'>" +
            FormatDate(rs["d_addtime"], 1) + "</td><td width='10%'>" + CheckMark(rs["d_checked"]) +
            "</td><td width='5%'><input type='checkbox' name='selectdel' value='" +
            rs["d_id"].ToString() + "'></td></tr>\r\n";
  }
  if (open) html += "</table><br>\r\n";
  html += "</form>\r\n" + ActionBar(pager, page);
  state.host.Response->Write(html);
  pager.Pager_Close();
}

// Every comment of the channel, newest first; the two filters do not apply.
void ArticleComment_ShowDescList(RequestState& state, const CommentPage& page) {
  AdminPager pager;
  pager.PagerPageSize = kPageSize;
  pager.PagerRows = {.table = "Vantrel_ArticleComment",
                     .where = "d_channelid = ?",
                     .values = {ChannelOf(page)},
                     .order = "d_addtime desc"};
  pager.PagerUrl = page.base + "&action=desc&";
  pager.Pager_Open(state);
  std::string html = std::string(kListFormHead) +
                     "<table border=0 cellspacing=1 align=center class=list><tr><th "
                     "width='5%'>ID</th><th width='27%'>文章标题</th><th "
                     "width='19%'>评论内容</th><th width='8%'>分数</th><th "
                     "width='8%'>用户名</th><th width='20%'>评论时间</th><th "
                     "width='8%'>是否审核</th><th width='5%'><input type='checkbox' "
                     "name='chkSelectAll' onclick=\"doCheckAll(this)\"></th></tr>\r\n";
  if (pager.PagerRecordCount <= 0) {
    html += "<tr><td colspan=8 align=center>暂无此类数据！</td></tr></table>\r\n</form>\r\n";
    state.host.Response->Write(html);
    return;
  }
  ArticleTitles titles(state);
  Recordset& rs = *pager.PagerRs;
  for (int64_t n = 0; n < pager.PagerPageSize && !rs.Eof(); ++n, rs.MoveNext()) {
    html += "<tr align=center><td>" + rs["d_id"].ToString() + "</td><td>" +
            HtmlEscapeText(titles.Of(Trim(rs["d_infoid"].ToString()))) + "</td><td align=left>" +
            CommentLink(page, rs) + "</td><td>评分：" + HTMLEncode(rs["d_score"]) + "</td><td>" +
            HTMLEncode(rs["d_username"]) + "</td><td>" + FormatDate(rs["d_addtime"], 1) +
            "</td><td>" + CheckMark(rs["d_checked"]) +
            "</td><td><input type='checkbox' name='selectdel' value='" + rs["d_id"].ToString() +
            "'></td></tr>\r\n";
  }
  html += "</table>\r\n</form>\r\n" + ActionBar(pager, page);
  state.host.Response->Write(html);
  pager.Pager_Close();
}

// The comment id of the reply form and the reply save: a plain id, else the request ends with the
// page's parameter message.
int64_t CommentIdOf(const ConsoleRequest& request) {
  return request.query.Id("id", kParameterError);
}

// Opens `rs` on the comment `id` of the page's channel, in the one statement that reads or
// changes it; a comment of no row or of another channel (also one deleted since its form was
// shown) ends the request with the parameter message, nothing changed.
void OpenComment(RequestState& state, Recordset& rs, const CommentPage& page, int64_t id,
                 const char* columns, RowUse use) {
  OpenRowOrRefuse(state, rs,
                  {.tables = {"Vantrel_ArticleComment"},
                   .sql = "select " + std::string(columns) +
                          " from Vantrel_ArticleComment where d_id = ? and d_channelid = ?",
                   .values = {SqlNumber(id), ChannelOf(page)}},
                  use, kParameterError);
}

std::string BackToList(const CommentPage& page) {
  return LinkItem(HtmlEscapeAttr(page.base), "返回列表");
}

void ArticleComment_Reply(RequestState& state, const CommentPage& page,
                          const ConsoleRequest& request) {
  int64_t id = CommentIdOf(request);
  Recordset rs;
  OpenComment(state, rs, page, id, "d_infoid, d_comment, d_reply", RowUse::kRead);
  std::string article = Trim(rs["d_infoid"].ToString());
  std::string comment = Trim(rs["d_comment"].ToString());
  std::string reply = Trim(rs["d_reply"].ToString());
  rs.Close();
  std::string base = HtmlEscapeAttr(page.base);
  state.host.Response->Write(
      SettingsFormHead("form1", base + "&amp;action=save&amp;id=" + std::to_string(id)) +
      "<tr><td align=right>评论的标题：</td><td>" +
      HtmlEscapeText(ArticleComment_GetArticleTitle(state, article)) +
      "</td><td><font color=gray>用户评论的标题</font></td></tr>\r\n"
      "<tr><td align=right>留言信息：</td><td>" +
      HTMLEncode(Variant(comment)) +
      "</td><td><font color=gray>用户评论的内容</font></td></tr>\r\n"
      "<tr><td align=right>回复信息：</td><td><textarea name='d_reply' cols=68 rows=8>\r\n" +
      HtmlEscapeAttr(reply) +
      "</textarea></td><td><font color=gray>管理员回复内容</font></td></tr>\r\n"
      "<tr><td colspan=3 align=center><input type='submit' value='提交回复'> <input "
      "type='button' value='返回列表' onclick=\"location.href='" +
      base + "'\"></td></tr>\r\n</table>\r\n</form>\r\n");
}

void ArticleComment_Save(RequestState& state, const CommentPage& page,
                         const ConsoleRequest& request) {
  RequireFormPost(request);
  int64_t id = CommentIdOf(request);
  std::string reply = request.values.Text("d_reply");
  if (interaction::CharCount(reply) > kMaxReplyChars) {
    AlertBack(state, "提示：回复内容不能超过10000个字符！");
  }
  Recordset rs;
  OpenComment(state, rs, page, id, "*", RowUse::kChange);
  rs.Set("d_reply", Variant(reply));
  rs.Set("d_replyuser", state.host.Session->Get("user_code"));
  rs.Set("d_replytime", Variant(DateTime::Now()));
  rs.Set("d_checked", Variant(true));
  rs.Update();
  rs.Close();
  state.host.Response->Write(
      MessageBox("回复信息成功！",
                 LinkItem(HtmlEscapeAttr(page.base + "&action=reply&id=" + std::to_string(id)),
                          "返回继续修改") +
                     BackToList(page)));
}

// The ticked comments of a bulk action, as numbers; an empty or malformed list ends the request.
IdList SelectedComments(RequestState& state, const ConsoleRequest& request) {
  if (request.values.Text("selectdel").empty()) AlertBack(state, kNoSelection);
  return request.values.Ids("selectdel", kParameterError);
}

// Deletes the comments the condition selects within the channel and lowers the channel's counter
// by the rows removed, both or neither. Emptying the channel sets the counter to the comments
// left: none, unless a reader posted one meanwhile, which then keeps its count.
void DeleteComments(RequestState& state, const CommentPage& page, const BoundSql& condition,
                    const char* message, bool emptying = false) {
  Connection& conn = *state.db.Conn;
  ScopedTransaction transaction(conn);
  std::vector<Variant> params = condition.params;
  params.push_back(ChannelOf(page));
  int64_t removed = conn.Execute(
      "delete from Vantrel_ArticleComment where " + condition.sql + " and d_channelid = ?", params);
  if (emptying) {
    conn.Execute(
        "update Vantrel_Channel set d_commentcount = (select count(*) from "
        "Vantrel_ArticleComment where d_channelid = ?) where d_id = ?",
        {ChannelOf(page), ChannelOf(page)});
  } else {
    conn.Execute("update Vantrel_Channel set d_commentcount = d_commentcount - ? where d_id = ?",
                 {SqlNumber(removed), ChannelOf(page)});
  }
  transaction.Commit();
  state.caches.Clear();
  state.host.Response->Write(MessageBox(message, BackToList(page)));
}

// Sets the approval of the comments the condition selects within the channel.
void SetChecked(RequestState& state, const CommentPage& page, bool checked,
                const BoundSql& condition, const char* message) {
  std::vector<Variant> params = {Variant(checked)};
  params.insert(params.end(), condition.params.begin(), condition.params.end());
  params.push_back(ChannelOf(page));
  state.db.Conn->Execute("update Vantrel_ArticleComment set d_checked = ? where " + condition.sql +
                             " and d_channelid = ?",
                         params);
  state.host.Response->Write(MessageBox(message, BackToList(page)));
}

void ArticleComment_DelOne(RequestState& state, const CommentPage& page,
                           const ConsoleRequest& request) {
  const int64_t article = request.query.Id("infoid", kParameterError);
  RequireFormPost(request);
  DeleteComments(state, page, {"d_infoid = ?", {SqlNumber(article)}}, "清空信息成功！");
}

void ArticleComment_Del(RequestState& state, const CommentPage& page,
                        const ConsoleRequest& request) {
  IdList list = SelectedComments(state, request);
  RequireFormPost(request);
  DeleteComments(state, page, IdsIn("d_id", list.ids), "删除信息成功！");
}

void ArticleComment_Check(RequestState& state, const CommentPage& page,
                          const ConsoleRequest& request) {
  IdList list = SelectedComments(state, request);
  RequireFormPost(request);
  SetChecked(state, page, true, IdsIn("d_id", list.ids), "审核信息成功！");
}

void ArticleComment_Uncheck(RequestState& state, const CommentPage& page,
                            const ConsoleRequest& request) {
  IdList list = SelectedComments(state, request);
  RequireFormPost(request);
  SetChecked(state, page, false, IdsIn("d_id", list.ids), "取消通过操作成功！");
}

void ArticleComment_CheckAll(RequestState& state, const CommentPage& page,
                             const ConsoleRequest& request) {
  RequireFormPost(request);
  SetChecked(state, page, true, {"d_checked = false", {}}, "审核信息成功！");
}

void ArticleComment_Empty(RequestState& state, const CommentPage& page,
                          const ConsoleRequest& request) {
  RequireFormPost(request);
  DeleteComments(state, page, {"1 > 0", {}}, "清空信息成功！", true);
}

// checkAction posts the list form to the chosen action; postAction posts it to the address of
// an article's "clear" link, so that no plain link deletes anything.
std::string ArticleComment_Script() {
  return "<script LANGUAGE=\"JavaScript\">\r\n"
         "<!--\r\n"
         "function checkAction(sAction, varChannelID){\r\n"
         "  var f = document.delform;\r\n"
         "  var checked = false;\r\n"
         "  if (f) {\r\n"
         "    for (var i = 0; i < f.elements.length; i++) {\r\n"
         "      var e = f.elements[i];\r\n"
         "      if (e.type == 'checkbox' && e.name == 'selectdel' && e.checked) { checked = true; "
         "break; }\r\n"
         "    }\r\n"
         "  }\r\n"
         "  var url = '?m=admin_articlecomment&channelid=' + varChannelID + '&action=' + "
         "sAction;\r\n"
         "  if (sAction == 'checkall' || sAction == 'empty') {\r\n"
         "    var question = sAction == 'empty' ? '确定要清空所有的评论记录吗？' : "
         "'确定要审核通过所有的未审核记录吗？';\r\n"
         "    if (confirm(question)) { f.action = url; f.submit(); }\r\n"
         "    return;\r\n"
         "  }\r\n"
         "  if (!checked) { alert('请选择至少一条记录再操作！'); return; }\r\n"
         "  if (confirm('提示：您确定要进行操作吗？')) { f.action = url; f.submit(); }\r\n"
         "}\r\n"
         "function postAction(url, question){\r\n"
         "  if (confirm(question)) { var f = document.delform; f.action = url; f.submit(); }\r\n"
         "  return false;\r\n"
         "}\r\n"
         "//-->\r\n"
         "</script>";
}

}  // namespace

std::string ArticleComment_UserTypeName(const Variant& user_type) {
  return Trim(user_type.ToString()) == "1" ? "会员" : "游客";
}

void ArticleComment_Main(RequestState& state, const ConsolePage& frame) {
  CommentPage page;
  page.channel = frame.channel.id_text;
  page.base = "?m=admin_articlecomment&channelid=" + page.channel;

  // The filters reach the list's SQL: a class is a plain id, the approval state one of two words.
  const ConsoleRequest& request = frame.request;
  const int64_t class_id =
      request.values.Text("qclass").empty() ? 0 : request.values.Id("qclass", kParameterError);
  page.class_id = std::to_string(class_id);
  page.check_state = LCase(FilterSql(request.values.Text("qcheckstate")));
  if (!page.check_state.empty() && page.check_state != "true" && page.check_state != "false") {
    AlertBack(state, kParameterError);
  }

  ArticleComment_ShowSearch(state, page);
  auto with = [&page,
               &request](void (*run)(RequestState&, const CommentPage&, const ConsoleRequest&)) {
    return [&page, &request, run](RequestState& s) { run(s, page, request); };
  };
  RunAdminAction(state, request.action,
                 {{"reply", with(ArticleComment_Reply)},
                  {"save", with(ArticleComment_Save)},
                  {"delone", with(ArticleComment_DelOne)},
                  {"del", with(ArticleComment_Del)},
                  {"check", with(ArticleComment_Check)},
                  {"uncheck", with(ArticleComment_Uncheck)},
                  {"checkall", with(ArticleComment_CheckAll)},
                  {"empty", with(ArticleComment_Empty)},
                  {"desc", [&page](RequestState& s) { ArticleComment_ShowDescList(s, page); }}},
                 [&page](RequestState& s) { ArticleComment_ShowList(s, page); });
}

void ArticleComment_WriteScript(RequestState& state) {
  state.host.Response->Write(ArticleComment_Script());
}

}  // namespace folirex
