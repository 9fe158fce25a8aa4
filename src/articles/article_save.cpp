#include "articles/article_save.h"

#include <string>
#include <vector>

#include "articles/article_fields.h"
#include "console/admin_blocks.h"
#include "console/console_text.h"
#include "core/article_marks.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/modules.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

Variant Flag(bool b) { return Variant(b); }

// Writes the static page when the article is published at once in a channel that publishes;
// the text to add to the answer when it could not be written.
std::string PublishNow(RequestState& state, const ArticleChannel& channel, const ArticleRecord& f,
                       int64_t id) {
  if (!f.publish_now || !channel.publishes || !f.link_url.empty()) return "";
  const ArticlePageWriter* writer = Modules().article_page_writer();
  if (writer != nullptr && (*writer)(state, id)) return "";
  return "<li><font color=red>静态页面没有生成，请到生成管理中重新生成！</font></li>\r\n";
}

}  // namespace

void ArticleAdd_Save(RequestState& state, const ArticleChannel& channel,
                     const ConsoleRequest& request) {
  ArticleRecord f = ReadArticleFields(state, request.values, channel, false);
  RequireFormPost(request);
  Variant user = state.host.Session->Get("User_Code");
  // Published at once, the article is approved; otherwise it waits for approval.
  bool checked = f.publish_now;
  Connection& conn = *state.db.Conn;
  int64_t id = 0;
  {
    ScopedTransaction transaction(conn);
    Recordset rs;
    rs.Open(db::TableRows{.table = "Vantrel_Article", .where = "1 < 0"}, conn, 1, 3);
    rs.AddNew();
    rs.Set("d_channelid", SqlNumber(channel.id));
    rs.Set("d_inputer", user);
    rs.Set("d_addtime", Variant(DateTime::Now()));
    rs.Set("d_deleted", Flag(false));
    rs.Set("d_checked", Flag(checked));
    // Marked generated only by the page writer, once the page is on disk.
    rs.Set("d_generatedflag", Flag(false));
    rs.Set("d_editor", checked ? user : Variant(""));
    SetArticleColumns(rs, f);
    rs.Update();
    id = rs["d_id"].ToInt64();
    rs.Close();
    if (checked) MarkClassAndSubject(conn, f.class_id, f.subject_id);
    ChangeChannelCounters(conn, channel.id, 1, checked ? 1 : 0);
    transaction.Commit();
  }
  state.caches.Clear();
  std::string note = PublishNow(state, channel, f, id);
  state.host.Response->Write(MessageBox(
      "新增" + HtmlEscapeText(channel.word) + "成功！",
      note + LinkItem("?m=admin_articleadd&amp;channelid=" + channel.id_text + "&amp;action=add",
                      "返回继续新增")));
}

void Article_Update(RequestState& state, const ArticleChannel& channel,
                    const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kArticleParameterError);
  ArticleRecord f = ReadArticleFields(state, request.values, channel, true);
  RequireFormPost(request);
  Variant user = state.host.Session->Get("User_Code");
  Connection& conn = *state.db.Conn;
  {
    ScopedTransaction transaction(conn);
    // An update brings a recycled article back and approves an unapproved one: the counters
    // move by what these two statements changed, each conditioned on the state it leaves, so a
    // second save of the same article counts nothing.
    std::vector<Variant> key = {SqlNumber(id), SqlNumber(channel.id)};
    int64_t restored = conn.Execute(
        "update Vantrel_Article set d_deleted = false, d_checked = true where d_id = ? and "
        "d_channelid = ? and d_deleted = true",
        key);
    int64_t approved = conn.Execute(
        "update Vantrel_Article set d_checked = true where d_id = ? and d_channelid = ? and "
        "d_deleted = false and d_checked = false",
        key);
    Recordset rs;
    rs.Open(
        db::TableRows{
            .table = "Vantrel_Article", .where = "d_id = ? and d_channelid = ?", .values = key},
        conn, 1, 3);
    if (rs.Eof()) {
      rs.Close();
      AlertBack(state, kArticleParameterError);
    }
    int64_t old_class = rs["d_classid"].ToInt64Or(0);
    int64_t old_subject = rs["d_subjectid"].ToInt64Or(0);
    rs.Set("d_channelid", SqlNumber(channel.id));
    rs.Set("d_inputer", user);
    rs.Set("d_addtime", Variant(DateTime::Now()));
    rs.Set("d_deleted", Flag(false));
    rs.Set("d_checked", Flag(true));
    rs.Set("d_generatedflag", Flag(false));
    rs.Set("d_editor", user);
    SetArticleColumns(rs, f);
    rs.Update();
    rs.Close();
    MarkClassAndSubject(conn, old_class, old_subject);
    MarkClassAndSubject(conn, f.class_id, f.subject_id);
    ChangeChannelCounters(conn, channel.id, restored, restored + approved);
    transaction.Commit();
  }
  state.caches.Clear();
  std::string note = PublishNow(state, channel, f, id);
  std::string id_text = std::to_string(id);
  state.host.Response->Write(
      MessageBox("修改文章成功！",
                 note +
                     LinkItem("?m=admin_article&amp;channelid=" + channel.id_text +
                                  "&amp;action=edit&amp;id=" + id_text,
                              "返回继续修改") +
                     LinkItem("?m=admin_article&amp;channelid=" + channel.id_text, "返回列表")));
}

}  // namespace folirex
