#include "taxonomy/subject_pages.h"

#include <optional>
#include <string>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/text_helpers.h"
#include "platform/db/scoped_transaction.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "taxonomy/subject_files.h"
#include "taxonomy/subject_keyword_pages.h"
#include "taxonomy/subject_merge.h"

namespace folirex {
namespace {

constexpr FlatList kSubjects = {.table = "Vantrel_ArticleSubject", .page = "admin_articlesubject"};
constexpr const char* kParameterErrorBack = "提示：参数错误，请返回！";
constexpr int64_t kDefaultPageNum = 20;
// Page counts above this are not a page size; they fall back to the default.
constexpr int64_t kMaxPageNum = 2147483647;

// A subject as the add and edit forms post it, checked.
struct PostedSubject {
  std::string name;
  std::string dir;
  std::string desc;
  int64_t page_num = kDefaultPageNum;
  int64_t template_page = 0;
};

// A whole number from the form, or the fallback when the value is not a plain id within max.
int64_t FormNumber(const RequestReader& posted, std::string_view field, int64_t fallback,
                   int64_t max) {
  std::optional<int64_t> value = posted.Id(field);
  return value && *value <= max ? *value : fallback;
}

// The names, folder and description as typed (not trimmed).
PostedSubject ReadPostedSubject(RequestState& state, const RequestReader& posted) {
  PostedSubject s;
  s.name = CheckedShortName(state, posted.Raw("d_name"), "专题名称", "提示：专题名称不允许为空！");
  s.dir = posted.Raw("d_dir");
  switch (CheckSubjectDir(s.dir)) {
    case SubjectDirCheck::kEmpty:
      AlertBack(state, "提示：专题目录不允许为空！");
    case SubjectDirCheck::kNotLetters:
      AlertBack(state, "提示：目录请使用英文字母，最多20个字母！");
    case SubjectDirCheck::kReserved:
      AlertBack(state, "提示：该目录名为系统保留目录，请换一个！");
    case SubjectDirCheck::kOk:
      break;
  }
  s.page_num = FormNumber(posted, "d_pagenum", kDefaultPageNum, kMaxPageNum);
  s.desc = posted.Raw("d_desc");
  s.template_page = FormNumber(posted, "d_templatepageid", 0, kMaxPageNum);
  return s;
}

struct SubjectFormValues {
  std::string name;
  std::string dir;
  std::string desc;
  std::string page_num = "20";
  Variant template_page = "";
};

std::string SubjectForm(RequestState& state, const std::string& action, const SubjectFormValues& v,
                        const char* default_template) {
  const std::string star = "<font color=\"red\">*</font> ";
  return FlatItemFormHead(action) +
         "<tr><td align=\"right\">专题名称：</td><td><input type=\"text\" name=\"d_name\" "
         "size=\"50\" maxlength=\"50\" value=\"" +
         HtmlEscapeAttr(v.name) + "\"></td><td>" + star +
         "必填，最大25个中文</td></tr>\r\n"
         "<tr><td align=\"right\">专题目录：</td><td><input type=\"text\" name=\"d_dir\" "
         "size=\"50\" maxlength=\"20\" value=\"" +
         HtmlEscapeAttr(v.dir) + "\"></td><td>" + star +
         "只能是英文，不能空格“\\”、“/”等符号</td></tr>\r\n"
         "<tr><td align=\"right\">专题描述：</td><td><textarea name=\"d_desc\" cols=\"50\" "
         "rows=\"10\">" +
         HtmlEscapeAttr(v.desc) +
         "</textarea></td><td>鼠标移至专题名称上时将显示设定的说明文字</td></tr>\r\n"
         "<tr><td align=\"right\">专题列表数量：</td><td><input type=\"text\" "
         "name=\"d_pagenum\" size=\"10\" maxlength=\"20\" value=\"" +
         HtmlEscapeAttr(v.page_num) +
         "\"></td><td>生成列表的时候每一页的数量，默认20</td></tr>\r\n"
         "<tr><td align=\"right\">使用的模板：</td><td>" +
         BuildTemplateSelect(state.db, "d_templatepageid", "subjectlist", v.template_page,
                             default_template) +
         "</td><td>默认是采用系统频道中设置的模板</td></tr>\r\n" + FlatItemFormButtons() +
         "</table>\r\n</form>\r\n";
}

void ArticleSubject_ShowNavi(RequestState& state, int64_t channel) {
  const std::string url = HtmlEscapeAttr(SubjectListUrl(channel));
  const std::string add = url + "&amp;action=add";
  const std::string join = url + "&amp;action=join";
  state.host.Response->Write(
      LinkBarHtml({.table = "class=\"navi\" cellspacing=\"0\" align=\"center\"",
                   .quotes = AttributeQuotes::kDouble},
                  {{url, "所有专题列表"}, {add, "增加专题"}, {join, "合并专题"}}));
}

void ArticleSubject_ShowList(RequestState& state, const ConsoleChannel& channel) {
  state.host.Response->Write(FlatListTable(
      state, kSubjects, channel.id,
      "<th width=\"5%\">ID</th><th width=\"30%\">专题名称</th><th width=\"15%\">专题目录</th>"
      "<th width=\"32%\">专题说明</th><th width=\"10%\">排序</th>",
      "d_dir, d_desc", 6, [](const Recordset& rs) {
        return "<td>" + HTMLEncode(rs["d_dir"]) + "</td><td>" + HTMLEncode(rs["d_desc"]) + "</td>";
      }));
}

void ArticleSubject_Add(RequestState& state, const ConsoleChannel& channel) {
  state.host.Response->Write(
      SubjectForm(state, SubjectListUrl(channel.id) + "&action=save", SubjectFormValues{}, "默认"));
}

void ArticleSubject_Save(RequestState& state, const ConsoleChannel& channel,
                         const ConsoleRequest& request) {
  RequireFormPost(request);
  PostedSubject s = ReadPostedSubject(state, request.values);
  Connection& conn = *state.db.Conn;
  {
    ScopedTransaction transaction(conn);
    int64_t order = NextOrder(conn, kSubjects.table, channel.id);
    conn.Execute(
        "insert into Vantrel_ArticleSubject (d_channelid, d_name, d_dir, d_desc, d_order, "
        "d_templatepageid, d_pagenum, d_generatedflag) values (?, ?, ?, ?, ?, ?, ?, 0)",
        {Variant(channel.id), Variant(s.name), Variant(s.dir), Variant(s.desc), Variant(order),
         Variant(s.template_page), Variant(s.page_num)});
    conn.Execute("update Vantrel_Channel set d_subjectcount = d_subjectcount + 1 where d_id = ?",
                 {Variant(channel.id)});
    transaction.Commit();
  }
  state.caches.Clear();
  bool folder_ok = CreateSubjectFolder(state, channel.settings, s.dir);
  bool script_ok = WriteSubjectListJs(state, channel.settings);
  state.host.Response->Write(
      MessageBox("新增信息成功！" + SubjectFileNotes(folder_ok, script_ok),
                 LinkItemTo(SubjectListUrl(channel.id) + "&action=add", "返回继续新增") +
                     LinkItemTo(SubjectListUrl(channel.id), "返回列表")));
}

void ArticleSubject_Edit(RequestState& state, const ConsoleChannel& channel,
                         const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterErrorBack);
  Recordset rs;
  OpenRowOrRefuse(state, rs,
                  "select * from Vantrel_ArticleSubject where d_id = ? and d_channelid = ?",
                  {Variant(id), Variant(channel.id)}, RowUse::kRead, kParameterErrorBack);
  SubjectFormValues v{.name = rs["d_name"].ToString(),
                      .dir = rs["d_dir"].ToString(),
                      .desc = rs["d_desc"].ToString(),
                      .page_num = rs["d_pagenum"].ToString(),
                      .template_page = Variant(Trim(rs["d_templatepageid"].ToString()))};
  rs.Close();
  state.host.Response->Write(
      SubjectForm(state, SubjectListUrl(channel.id) + "&action=update&id=" + std::to_string(id), v,
                  "默认设置"));
}

void ArticleSubject_Update(RequestState& state, const ConsoleChannel& channel,
                           const ConsoleRequest& request) {
  const int64_t id = request.query.Id("id", kParameterError);
  RequireFormPost(request);
  PostedSubject s = ReadPostedSubject(state, request.values);
  Connection& conn = *state.db.Conn;
  Variant found = conn.ExecuteScalar(
      "select count(*) from Vantrel_ArticleSubject where d_id = ? and d_channelid = ?",
      {Variant(id), Variant(channel.id)});
  if (found.ToInt64Or(0) == 0) AlertBack(state, kParameterError);
  {
    ScopedTransaction transaction(conn);
    conn.Execute(
        "update Vantrel_ArticleSubject set d_name = ?, d_dir = ?, d_desc = ?, "
        "d_templatepageid = ?, d_pagenum = ?, d_generatedflag = 0 where d_id = ? and "
        "d_channelid = ?",
        {Variant(s.name), Variant(s.dir), Variant(s.desc), Variant(s.template_page),
         Variant(s.page_num), Variant(id), Variant(channel.id)});
    transaction.Commit();
  }
  // A changed folder: the new one is created, the old one keeps its pages.
  bool folder_ok = CreateSubjectFolder(state, channel.settings, s.dir);
  bool script_ok = WriteSubjectListJs(state, channel.settings);
  state.host.Response->Write(
      MessageBox("修改信息成功！需要重新生成列表文件！" + SubjectFileNotes(folder_ok, script_ok),
                 LinkItemTo(SubjectListUrl(channel.id) + "&action=edit&id=" + std::to_string(id),
                            "返回继续修改") +
                     LinkItemTo(SubjectListUrl(channel.id), "返回列表")));
}

void ArticleSubject_Move(RequestState& state, const ConsoleChannel& channel,
                         const ConsoleRequest& request, bool up) {
  MoveInList(state, request, kSubjects, channel.id, up, [&state, &channel] {
    if (!WriteSubjectListJs(state, channel.settings))
      Alert(state, "提示：专题导航文件Js/subjectlist.js未能写入！");
  });
}

}  // namespace

std::string SubjectListUrl(int64_t channel) {
  return "?m=admin_articlesubject&channelid=" + std::to_string(channel);
}

std::string SubjectFileNotes(bool folder_ok, bool script_ok) {
  std::string notes;
  if (!folder_ok) notes += "<br>但专题目录未能创建！";
  if (!script_ok) notes += "<br>但专题导航文件Js/subjectlist.js未能写入！";
  return notes;
}

void ArticleSubject_Main(RequestState& state, const ConsolePage& page) {
  const ConsoleChannel& channel = page.channel;
  const ConsoleRequest& request = page.request;
  ArticleSubject_ShowNavi(state, channel.id);
  auto with = [&channel,
               &request](void (*run)(RequestState&, const ConsoleChannel&, const ConsoleRequest&)) {
    return [&channel, &request, run](RequestState& s) { run(s, channel, request); };
  };
  auto move = [&channel, &request](bool up) {
    return
        [&channel, &request, up](RequestState& s) { ArticleSubject_Move(s, channel, request, up); };
  };
  RunAdminAction(state, request.action,
                 {{"down", move(false)},
                  {"up", move(true)},
                  {"add", [&channel](RequestState& s) { ArticleSubject_Add(s, channel); }},
                  {"save", with(ArticleSubject_Save)},
                  {"edit", with(ArticleSubject_Edit)},
                  {"update", with(ArticleSubject_Update)},
                  {"del", with(ArticleSubject_Del)},
                  {"empty", with(ArticleSubject_Empty)},
                  {"join", [&channel](RequestState& s) { ArticleSubject_Join(s, channel); }},
                  {"savejoin", with(ArticleSubject_SaveJoin)}},
                 [&channel](RequestState& s) { ArticleSubject_ShowList(s, channel); });
}

}  // namespace folirex
