#include "taxonomy/subject_merge.h"

#include <string>
#include <vector>

#include "console/admin_blocks.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "taxonomy/subject_files.h"
#include "taxonomy/subject_keyword_pages.h"
#include "taxonomy/subject_pages.h"

namespace folirex {
namespace {

constexpr const char* kPagesNotDeleted = "<br>但部分专题文件未能删除！";

// A list box (size 2, `width` px high and wide) of the channel's subjects in ascending d_order;
// names are encoded.
std::string ArticleSubject_SubjectSelect(RequestState& state, int64_t channel, const char* field,
                                         int width) {
  const std::string w = std::to_string(width);
  std::string html = "<select size=2 name='" + std::string(field) + "' style='height:" + w +
                     "px;width:" + w + "px;'>";
  Recordset rs;
  rs.Open(
      "select d_id, d_name from Vantrel_ArticleSubject where d_channelid = ? order by "
      "d_order, d_id",
      {Variant(channel)}, *state.db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    html += "<option value='" + std::to_string(rs["d_id"].ToInt64Or(0)) + "'>" +
            HtmlEscapeText(rs["d_name"].ToString()) + "</option>";
  }
  html += "</select>";
  return html;
}

// The channel's subjects among the posted ids (the ticked boxes), with their folders. A
// missing, malformed or wholly foreign list ends the request with the page's message.
std::vector<SubjectPages> TickedSubjects(RequestState& state, const ConsoleRequest& request,
                                         int64_t channel) {
  const IdList list = request.values.Ids("checkid", kParameterError);
  RequireFormPost(request);
  std::vector<SubjectPages> subjects;
  BoundSql where = IdsIn("d_id", list.ids);
  AndWhere(where, "d_channelid = ?", Variant(channel));
  Recordset rs;
  rs.Open("select d_id, d_dir from Vantrel_ArticleSubject where " + where.sql, where.params,
          *state.db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    subjects.push_back({rs["d_id"].ToInt64Or(0), rs["d_dir"].ToString()});
  }
  rs.Close();
  if (subjects.empty()) AlertBack(state, kParameterError);
  return subjects;
}

std::vector<int64_t> IdsOf(const std::vector<SubjectPages>& subjects) {
  std::vector<int64_t> ids;
  for (const SubjectPages& s : subjects) ids.push_back(s.id);
  return ids;
}

// Detaches the articles of the subjects `ids` from them (d_subjectid 0).
void DetachArticles(Connection& conn, const std::vector<int64_t>& ids) {
  BoundSql in = IdsIn("d_subjectid", ids);
  conn.Execute("update Vantrel_Article set d_subjectid = 0 where " + in.sql, in.params);
}

void LowerSubjectCount(Connection& conn, int64_t channel, int64_t deleted) {
  conn.Execute("update Vantrel_Channel set d_subjectcount = d_subjectcount - ? where d_id = ?",
               {Variant(deleted), Variant(channel)});
}

// The delete and empty actions: the ticked subjects' articles are detached from them and, when
// `remove`, the subjects themselves go (the channel's count falls by the rows deleted); then
// their pages go, whole folders only with the subjects. False when a page was not deleted.
bool ClearTickedSubjects(RequestState& state, const ConsoleChannel& channel,
                         const ConsoleRequest& request, bool remove) {
  std::vector<SubjectPages> subjects = TickedSubjects(state, request, channel.id);
  std::vector<int64_t> ids = IdsOf(subjects);
  Connection& conn = *state.db.Conn;
  {
    ScopedTransaction transaction(conn);
    DetachArticles(conn, ids);
    if (remove) {
      BoundSql where = IdsIn("d_id", ids);
      AndWhere(where, "d_channelid = ?", Variant(channel.id));
      int64_t deleted =
          conn.Execute("delete from Vantrel_ArticleSubject where " + where.sql, where.params);
      LowerSubjectCount(conn, channel.id, deleted);
      RenumberList(conn, "Vantrel_ArticleSubject", channel.id);
    }
    transaction.Commit();
  }
  if (remove) state.caches.Clear();
  return DeleteSubjectPages(state, channel.settings, subjects,
                            OtherSubjectFolders(state, channel.id, ids), remove);
}

}  // namespace

void ArticleSubject_Join(RequestState& state, const ConsoleChannel& channel) {
  state.host.Response->Write(
      "<form name=\"form1\" method=\"post\" action=\"" +
      HtmlEscapeAttr(SubjectListUrl(channel.id) + "&action=savejoin") +
      "\" style=\"margin:0\">\r\n"
      "<table class=\"form\" align=\"center\" cellspacing=\"1\">\r\n"
      "<tr><th colspan=\"3\">合并文章专题</th></tr>\r\n"
      "<tr align=\"center\"><td><b>当前专题</b></td><td></td><td><b>目标专题</b></td></tr>\r\n"
      "<tr><td width=\"40%\" align=\"center\">" +
      ArticleSubject_SubjectSelect(state, channel.id, "d_fromid", 300) +
      "</td><td width=\"10%\" align=\"center\"><input type=\"submit\" value=\"合并到&gt;&gt;&gt;\">"
      "</td><td width=\"40%\" align=\"center\">" +
      ArticleSubject_SubjectSelect(state, channel.id, "d_toid", 300) +
      "</td></tr>\r\n"
      "<tr><td colspan=\"3\">注意事项：<li>所有操作不可逆，请慎重操作！</li>"
      "<li>不能在同一个专题内进行操作。</li>"
      "<li>合并后您所指定的专题将被删除，所有文章将转移到目标专题中。</li></td></tr>\r\n"
      "</table>\r\n</form>\r\n");
}

void ArticleSubject_SaveJoin(RequestState& state, const ConsoleChannel& channel,
                             const ConsoleRequest& request) {
  const int64_t source = request.values.Id("d_fromid", kParameterError);
  const int64_t target = request.values.Id("d_toid", kParameterError);
  if (source == target) AlertBack(state, "提示：相同专题无需合并！");
  RequireFormPost(request);

  Connection& conn = *state.db.Conn;
  std::string source_dir;
  {
    Recordset rs;
    rs.Open("select d_dir from Vantrel_ArticleSubject where d_channelid = ? and d_id = ?",
            {Variant(channel.id), Variant(source)}, conn, 0, 1);
    if (rs.Eof()) {
      rs.Close();
      AlertBack(state, "提示：数据库连接错误！");
    }
    source_dir = rs["d_dir"].ToString();
  }
  // The target must be a subject of the same channel: articles never move to a subject they
  // cannot be listed under.
  Variant target_found = conn.ExecuteScalar(
      "select count(*) from Vantrel_ArticleSubject where d_channelid = ? and d_id = ?",
      {Variant(channel.id), Variant(target)});
  if (target_found.ToInt64Or(0) == 0) AlertBack(state, kParameterError);

  {
    ScopedTransaction transaction(conn);
    int64_t deleted =
        conn.Execute("delete from Vantrel_ArticleSubject where d_id = ? and d_channelid = ?",
                     {Variant(source), Variant(channel.id)});
    conn.Execute(
        "update Vantrel_Article set d_subjectid = ? where d_subjectid = ? and d_channelid = ?",
        {Variant(target), Variant(source), Variant(channel.id)});
    conn.Execute("update Vantrel_ArticleSubject set d_generatedflag = 0 where d_id = ?",
                 {Variant(target)});
    LowerSubjectCount(conn, channel.id, deleted);
    RenumberList(conn, "Vantrel_ArticleSubject", channel.id);
    transaction.Commit();
  }
  state.caches.Clear();
  bool pages_ok = DeleteSubjectPages(state, channel.settings, {{source, source_dir}},
                                     OtherSubjectFolders(state, channel.id, {source}), true);
  bool script_ok = WriteSubjectListJs(state, channel.settings);
  state.host.Response->Write(
      MessageBox("专题合并成功！" + std::string(pages_ok ? "" : kPagesNotDeleted) +
                     SubjectFileNotes(true, script_ok),
                 LinkItemTo(SubjectListUrl(channel.id) + "&action=join", "返回继续合并") +
                     LinkItemTo(SubjectListUrl(channel.id), "返回列表")));
}

void ArticleSubject_Del(RequestState& state, const ConsoleChannel& channel,
                        const ConsoleRequest& request) {
  bool pages_ok = ClearTickedSubjects(state, channel, request, true);
  bool script_ok = WriteSubjectListJs(state, channel.settings);
  state.host.Response->Write(MessageBox("删除专题成功，您需要重新生成列表文件！" +
                                            std::string(pages_ok ? "" : kPagesNotDeleted) +
                                            SubjectFileNotes(true, script_ok),
                                        LinkItemTo(SubjectListUrl(channel.id), "返回列表")));
}

void ArticleSubject_Empty(RequestState& state, const ConsoleChannel& channel,
                          const ConsoleRequest& request) {
  bool pages_ok = ClearTickedSubjects(state, channel, request, false);
  state.host.Response->Write(MessageBox(
      "清空文章成功，您需要重新生成列表文件！" + std::string(pages_ok ? "" : kPagesNotDeleted),
      LinkItemTo(SubjectListUrl(channel.id), "返回列表")));
}

}  // namespace folirex
