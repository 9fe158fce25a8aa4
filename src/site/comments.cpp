#include "site/comments.h"

#include <string>
#include <vector>

#include "core/messages.h"
#include "core/public_request.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"
#include "site/public_pages.h"
#include "site/template_engine.h"
#include "site/template_lookup.h"

namespace folirex {

namespace {

constexpr int64_t kMaxListedComments = 32767;
// Scores are whole numbers a reader types; longer ones are not scores.
constexpr size_t kMaxScoreDigits = 9;
// The longest name and address a post may carry (the form takes 20 and 50), and the longest
// comment, in characters.
constexpr size_t kMaxNameChars = 50;
constexpr size_t kMaxEmailChars = 50;
constexpr size_t kMaxCommentChars = 10000;

const char kNoComments[] = "暂时没有评论数据！";

// The three checks shared by the chip and the list: a whole count, the comment or content page,
// a plain article id (and a current channel to list).
bool ListArgumentsValid(const ChannelSettings& channel, const Variant& count,
                        const Variant& page_type, std::optional<int64_t> article_id) {
  std::string type = LCase(page_type.ToString());
  return interaction::DigitsUpTo(count, kMaxListedComments) >= 0 &&
         (type == "comment" || type == "content") && interaction::IsId(article_id) &&
         interaction::IsId(channel.ChannelID);
}

// The columns of a comment the lists show.
struct CommentRow {
  Variant user_name, add_time, score, comment, reply_user, reply_time, reply;
};

// One comment. Everything a reader typed is encoded; times and scores come from the database.
std::string CommentHtml(const CommentRow& row) {
  const auto& [user_name, add_time, score, comment, reply_user, reply_time, reply] = row;
  std::string html = "<table align=center class='commentlist' width='98%'>";
  html += "<tr><td>评论人：[" + HTMLEncode(user_name) + "]&nbsp;&nbsp;评论时间：" +
          add_time.ToString() + "&nbsp;&nbsp;评分：" + HTMLEncode(score) + " 分</td></tr>";
  html += "<tr><td>" + HTMLEncode(comment);
  if (!reply.IsNull() && !reply.ToString().empty()) {
    html += "<br>★ 管理员『" + HTMLEncode(reply_user) + "』于 " + reply_time.ToString() +
            " 回复道：  " + HTMLEncode(reply);
  }
  html += "</td></tr>";
  html += "</table><br>";
  return html;
}

// The article a comment is posted to, and whether its comments wait for approval.
struct CommentedArticle {
  Variant class_id;
  bool checked = false;
};

// The article of a posted comment: on the site, in a class that takes comments (an article in no
// class takes them, but only for approval). Anything else ends the request with the alert.
CommentedArticle ArticleForComment(RequestState& state, std::optional<int64_t> article_id) {
  // An article in the recycle bin or waiting for approval is not on the site to be commented on.
  if (!interaction::IsId(article_id) || !IsPublishedArticle(state, article_id)) {
    AlertBack(state, "提示：文章ID错误！");
  }
  CommentedArticle article;
  {
    Recordset rs;
    rs.Open("select d_classid from Vantrel_Article where d_id = ?",
            {Variant(static_cast<long long>(*article_id))}, *state.db.Conn, 0, 1);
    if (rs.Eof()) AlertBack(state, "提示：文章ID错误！");
    article.class_id = rs["d_classid"];
  }
  if (article.class_id.Equals(0)) return article;
  if (!interaction::IsId(article.class_id)) AlertBack(state, "提示：参数错误！");
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                       .sql = "select d_commentflag, d_commentcheckflag from Vantrel_ArticleClass "
                              "where d_id = ?",
                       .values = {Variant(static_cast<long long>(article.class_id.ToInt64()))}},
          *state.db.Conn);
  if (rs.Eof()) AlertBack(state, "提示：参数错误！");
  bool allowed = rs["d_commentflag"].Equals(true);
  article.checked = !rs["d_commentcheckflag"].Equals(true);
  rs.Close();
  if (!allowed) AlertBack(state, "提示：本分类不允许评论！");
  return article;
}

// The posted comment form, trimmed; a field that fails its check ends the request with the alert.
struct CommentForm {
  std::string name, email, score, content;
};

CommentForm ReadCommentForm(RequestState& state, const RequestReader& posted) {
  CommentForm form{FilterSql(posted.Text("d_name")), posted.Text("d_email"), posted.Text("d_score"),
                   posted.Text("d_content")};
  if (form.name.empty()) AlertBack(state, "提示：请填写名字！");
  if (interaction::CharCount(form.name) > kMaxNameChars) {
    AlertBack(state, "提示：名字不能超过50个字符！");
  }
  if (interaction::CharCount(form.email) > kMaxEmailChars) {
    AlertBack(state, "提示：邮件地址不能超过50个字符！");
  }
  if (!form.email.empty() && !IsValidEmail(form.email)) AlertBack(state, "提示：邮件格式不对！");
  if (!IsDigits(form.score) || form.score.size() > kMaxScoreDigits) {
    AlertBack(state, "提示：评分请用数字！");
  }
  if (form.content.empty()) AlertBack(state, "提示：请填写内容！");
  if (interaction::CharCount(form.content) > kMaxCommentChars) {
    AlertBack(state, "提示：评论内容不能超过10000个字符！");
  }
  return form;
}

// Stores the comment and counts it for the channel, together or not at all.
void StoreComment(RequestState& state, int64_t article_id, int64_t channel_id,
                  const CommentedArticle& article, const CommentForm& form, const std::string& ip) {
  Connection& conn = *state.db.Conn;
  ScopedTransaction transaction(conn);
  {
    // Its own recordset, closed on every way out of the block.
    Recordset rs;
    rs.Open(db::TableRows{.table = "Vantrel_ArticleComment", .where = "1 < 0"}, conn, 1, 3);
    rs.AddNew();
    rs.Set("d_channelid", channel_id);
    rs.Set("d_infoid", article_id);
    // The class the article has now: the moderation page filters comments by it.
    rs.Set("d_classid", article.class_id.ToInt64Or(0));
    rs.Set("d_usertype", "0");
    rs.Set("d_username", form.name);
    rs.Set("d_email", form.email);
    rs.Set("d_score", Variant(form.score).ToInt64());
    rs.Set("d_comment", form.content);
    rs.Set("d_ip", ip);
    rs.Set("d_addtime", DateTime::Now());
    rs.Set("d_checked", article.checked);
    rs.Update();
  }
  conn.Execute("update Vantrel_Channel set d_commentcount = d_commentcount + 1 where d_id = ?",
               {Variant(static_cast<long long>(channel_id))});
  transaction.Commit();
}

std::string PostComment(RequestState& state, const PublicRequest& request,
                        const ChannelSettings& channel) {
  const std::optional<int64_t> article_id = request.article_id;
  // The comment form posts; a link that carries a comment (followed from anywhere) stores none.
  if (!request.values.IsPost()) AlertBack(state, "提示：参数错误！");
  const CommentedArticle article = ArticleForComment(state, article_id);
  const CommentForm form = ReadCommentForm(state, request.form);
  if (!interaction::IsId(channel.ChannelID)) AlertBack(state, "提示：参数错误！");
  // The peer's address, or the client's as a trusted proxy forwarded it (the host decides).
  StoreComment(state, *article_id, channel.ChannelID.ToInt64(), article, form,
               request.values.ClientAddress());
  // Every stored comment gets the same answer, whether it awaits approval or not.
  return "<script>alert('评论成功，请等待我们审核！');location.href='asp.asp?m=comment&articleid=" +
         std::to_string(*article_id) + "&channelid=" + channel.ChannelID.ToString() + "'</script>";
}

}  // namespace

std::string ShowComment(RequestState& state, const PublicRequest& request) {
  const std::optional<int64_t> article_id = request.article_id;
  if (request.flag == "1") return PostComment(state, request, state.channel);
  // An article that is not on the site gets the content page's answer for a missing one.
  if (!IsPublishedArticle(state, article_id)) return kBadArticle;
  return ShowArticlePage(state, "comment", article_id);
}

std::string ShowCommentListJs(RequestState& state, const ChannelSettings& channel,
                              const Variant& count, const Variant& page_type,
                              std::optional<int64_t> article_id) {
  if (!ListArgumentsValid(channel, count, page_type, article_id)) return "";
  std::string tag = "<script language='javascript' src='" +
                    GetChannelPath(state.host, state.db, state.caches, channel.ChannelID) +
                    "asp.asp?m=commentlist&articleid=" + std::to_string(*article_id) +
                    "&pagetype=" + page_type.ToString() + "&parameter=" + count.ToString() +
                    "&channelid=" + channel.ChannelID.ToString();
  // The page bar of the list leads to the comment page with page=<n>; passing that number on
  // to the list script is what shows the reader the page asked for.
  if (LCase(page_type.ToString()) == "comment") {
    std::string page = RequestedPageText(state);
    if (interaction::DigitsUpTo(page, 2147483647) > 1) tag += "&page=" + page;
  }
  return tag + "'></script>";
}

std::string ShowCommentList(RequestState& state, const Variant& count, const Variant& page_type,
                            std::optional<int64_t> article_id) {
  if (!ListArgumentsValid(state.channel, count, page_type, article_id)) return "";
  const std::string id = std::to_string(*article_id);
  const std::string channel_id = state.channel.ChannelID.ToString();
  const std::vector<Variant> params{SqlNumber(state.channel.ChannelID.ToInt64Or(0)),
                                    SqlNumber(*article_id)};
  const std::string from =
      " from Vantrel_ArticleComment where d_channelid = ? and d_checked = true and d_infoid = ?";
  std::string html;
  if (count.ToString() == "0") {
    Cls_Pagination pager(state);
    pager.DbType("ACCESS");
    pager.Url(state.host.Application->Get("server_path").ToString() +
              "asp.asp?m=comment&articleid=" + id + "&channelid=" + channel_id + "&");
    pager.PositionFlag("2");
    pager.PageSize(6);
    pager.NumSize(6);
    pager.Sql(
        "select d_username, d_addtime,d_score, d_comment,  d_replyuser, d_replytime, d_reply" +
        from + " order by d_addtime desc");
    pager.SqlCount("select count(*)" + from, {"Vantrel_ArticleComment"});
    pager.Params(params);
    html = RenderCommentPage(pager);
  } else {
    html = RenderCommentRows(state.db, "select top " + count.ToString() + " *" + from, params);
  }
  return HtmlToJsWrite(html);
}

std::string RenderCommentRows(DatabaseState& db, std::string_view sql,
                              const std::vector<Variant>& params) {
  std::string html;
  Recordset rs;
  rs.Open(
      db::KeptRead{.tables = {"Vantrel_ArticleComment"}, .sql = std::string(sql), .values = params},
      *db.Conn);
  for (; !rs.Eof(); rs.MoveNext()) {
    html += CommentHtml({rs["d_username"], rs["d_addtime"], rs["d_score"], rs["d_comment"],
                         rs["d_replyuser"], rs["d_replytime"], rs["d_reply"]});
  }
  rs.Close();
  return html.empty() ? kNoComments : html;
}

std::string RenderCommentPage(Cls_Pagination& pager) {
  Cls_Pagination::Rows rows = pager.ResultSet();
  if (pager.TotalRecord() <= 0 || rows.empty()) return kNoComments;
  std::string html;
  for (const std::vector<Variant>& row : rows) {
    // The columns of the paged select, in its order.
    if (row.size() < 7) continue;
    html += CommentHtml({row[0], row[1], row[2], row[3], row[4], row[5], row[6]});
  }
  html += "<p align=right>" + pager.ShowPage() + "</p>";
  return html;
}

}  // namespace folirex
