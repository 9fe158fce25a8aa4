#include "publishing/js_snippet_console.h"

#include <cstdint>
#include <string>
#include <vector>

#include "console/admin_blocks.h"
#include "console/admin_frame.h"
#include "console/channel_page.h"
#include "console/console_text.h"
#include "core/channel_rows.h"
#include "core/console_request.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "design/template_blocks.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "publishing/js_snippet_forms.h"
#include "publishing/js_snippet_writer.h"
#include "publishing/post_link.h"

namespace folirex {
namespace {

std::string PageBase(const ConsoleChannel& channel) {
  return "?m=admin_articlejs&channelid=" + channel.id_text;
}

void ArticleJs_ShowNavi(RequestState& state, const ConsoleChannel& channel) {
  const std::string base = HtmlEscapeAttr(PageBase(channel));
  std::string html = "<table border=0 cellspacing=0 align=center class=navi><tr><td align=right>";
  html += "[<a href='" + base + "'>所有列表</a>]";
  const std::pair<const char*, const char*> links[] = {
      {"&amp;action=add&amp;flag=0", "增加普通文章文件"},
      {"&amp;action=add&amp;flag=1", "增加图片文章文件"},
      {"&amp;action=add&amp;flag=2", "增加查询文件"},
      {"&amp;action=add&amp;flag=3", "增加分类导航文件"},
      {"&amp;action=add&amp;flag=5", "增加专题列表文件"}};
  for (const auto& [query, text] : links) {
    html += "&nbsp;[<a href='" + base + query + "'>" + text + "</a>]";
  }
  // The refreshes rewrite files: their links post (the form serves the list's links too).
  html += "&nbsp;[" + PostLink(PageBase(channel) + "&action=createall", "全部刷新") + "]";
  state.host.Response->Write(html + "</td></tr></table><br>\r\n" + PostLinkForm());
}

void ArticleJs_ShowList(RequestState& state, const ConsoleChannel& channel) {
  const std::string base = HtmlEscapeAttr(PageBase(channel));
  std::string html =
      "<form name='delform' "
      "method='post' action='" +
      base +
      "&amp;action='>\r\n<table border=0 cellspacing=1 align=center class=list>\r\n<tr><th "
      "width='5%'>ID</th><th width='25%'>代码名称</th><th "
      "width='25%'>代码简介</th><th width='15%'>文件名称</th><th width='10%'>代码类型</th><th "
      "width='10%'>操作</th><th width='5%'><input type='checkbox' name='chkSelectAll' "
      "onclick=\"doCheckAll(this)\"></th></tr>\r\n";
  Recordset rs;
  rs.Open(ChannelRowsRead("Vantrel_JS", "d_id, d_jsname, d_desc, d_filename, d_typeflag",
                          channel.id, "d_id"),
          *state.db.Conn);
  bool rows = false;
  for (; !rs.Eof(); rs.MoveNext()) {
    rows = true;
    const std::string id = rs["d_id"].ToString();
    const std::string file = rs["d_filename"].ToString();
    const std::string type = Trim(rs["d_typeflag"].ToString());
    html += "<tr align=center><td>" + id + "</td><td align=left><a href='" + base +
            "&amp;action=edit&amp;id=" + id + "&amp;flag=" + HtmlEscapeAttr(type) + "'>" +
            HTMLEncode(rs["d_jsname"]) + "</a></td><td align=left>" + HTMLEncode(rs["d_desc"]) +
            "</td><td align=left>" + HTMLEncode(file) + "</td><td>" + ArticleJs_TypeName(type) +
            "</td><td><a href='" + base +
            "&amp;action=preview&amp;filename=" + HtmlEscapeAttr(file) + "'>效果预览</a> " +
            PostLink(PageBase(channel) + "&action=create&id=" + id, "刷新") +
            "</td><td><input type=checkbox name='checkid' value='" + id + "'></td></tr>\r\n";
  }
  rs.Close();
  if (rows) {
    html +=
        "<tr><td align=right colspan=7> 操作：<select size=1 name=checkaction><option "
        "value='del'>删除</option></select> <input type=button value='执行' "
        "onclick=\"doAction(this)\"></td></tr>\r\n";
  } else {
    html += "<tr><td colspan=7>没有记录</td></tr>\r\n";
  }
  state.host.Response->Write(html + "</table></form>\r\n");
}

// The answer of a refresh: the success box, or the files that were not written.
void WriteRefreshBox(RequestState& state, const std::vector<std::string>& failed,
                     std::string_view message, std::string links) {
  if (failed.empty()) {
    state.host.Response->Write(MessageBox(message, links));
    return;
  }
  std::string names;
  for (const std::string& name : failed) names += (names.empty() ? "" : "、") + name;
  state.host.Response->Write(MessageBox(
      "提示：以下文件没有写入成功：" + HtmlEscapeText(names) + "，请检查文件夹的写入权限！",
      links));
}

void ArticleJs_Create(RequestState& state, const ConsoleChannel& channel,
                      const ConsoleRequest& request) {
  const int64_t id = request.values.Id("id", kParameterError);
  Recordset rs;
  rs.Open(
      db::KeptRead{.tables = {"Vantrel_JS"},
                   .sql =
                       "select d_filename, d_config, d_typeflag from Vantrel_JS where d_id = ? and "
                       "d_channelid = ?",
                   .values = {Variant(id), Variant(channel.id)}},
      *state.db.Conn);
  if (rs.Eof()) AlertBack(state, kParameterError);
  RequireFormPost(request);
  const std::string file = rs["d_filename"].ToString();
  std::vector<std::string> failed;
  if (!WriteSnippetFile(state, channel.settings, file, rs["d_config"], rs["d_typeflag"]))
    failed.push_back(file);
  rs.Close();
  WriteRefreshBox(
      state, failed, "修改刷新成功！",
      LinkItemTo(PageBase(channel), "返回列表") +
          LinkItemTo(PageBase(channel) + "&action=preview&filename=" + file, "预览效果"));
}

void ArticleJs_CreateAll(RequestState& state, const ConsoleChannel& channel,
                         const ConsoleRequest& request) {
  Recordset rs;
  rs.Open(ChannelRowsRead("Vantrel_JS", "d_filename, d_config, d_typeflag", channel.id, "d_id"),
          *state.db.Conn);
  if (rs.Eof()) AlertBack(state, "提示：没有数据没有必要刷新信息！");
  RequireFormPost(request);
  std::vector<std::string> failed;
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::string file = rs["d_filename"].ToString();
    if (!WriteSnippetFile(state, channel.settings, file, rs["d_config"], rs["d_typeflag"]))
      failed.push_back(file);
  }
  rs.Close();
  WriteRefreshBox(state, failed, "全部刷新成功！", LinkItemTo(PageBase(channel), "返回列表"));
}

void ArticleJs_Preview(RequestState& state, const ConsoleChannel& channel,
                       const ConsoleRequest& request) {
  // Only a snippet file name: the name goes into the page's script address.
  const std::string file = request.values.Text("filename");
  if (!IsSnippetFileName(file)) AlertBack(state, kParameterError);
  const std::string path = GetChannelPath(state.host, state.db, state.caches, channel.id_text);
  state.host.Response->Write(
      "<table border=0 cellspacing=1 align=center width='98%'><tr><td><script "
      "language='javascript' src='" +
      HtmlEscapeAttr(path + "Js/" + file) + "'></script></td></tr></table>\r\n");
}

void ArticleJs_Del(RequestState& state, const ConsoleChannel& channel,
                   const ConsoleRequest& request) {
  if (request.values.Text("checkid").empty()) AlertBack(state, kParameterError);
  RequireFormPost(request);
  const IdList list = request.values.Ids("checkid", kParameterError);

  std::vector<std::string> files;
  {
    ScopedTransaction transaction(*state.db.Conn);
    BoundSql where = IdsIn("d_id", list.ids);
    AndWhere(where, "d_channelid = ?", Variant(channel.id));
    Recordset rs;
    rs.Open("select d_filename from Vantrel_JS where " + where.sql, where.params, *state.db.Conn, 0,
            1);
    if (rs.Eof()) AlertBack(state, kParameterError);
    for (; !rs.Eof(); rs.MoveNext()) files.push_back(rs["d_filename"].ToString());
    rs.Close();
    state.db.Conn->Execute("delete from Vantrel_JS where " + where.sql, where.params);
    transaction.Commit();
  }
  // Exactly the named files, letters compared without regard to case ("a.js" takes neither
  // "a.json" nor "a_js.js").
  std::string pattern;
  for (const std::string& file : files) {
    if (!IsSnippetFileName(file)) continue;
    pattern += (pattern.empty() ? "" : "|") + Replace(file, ".", "\\.");
  }
  bool deleted = pattern.empty() || DeleteFilesIn(state.host, channel.settings.ChannelDir + "Js/",
                                                  "^(" + pattern + ")$");
  state.host.Response->Write(MessageBox(
      deleted ? "删除成功！" : "提示：记录已删除，但有文件没有删除成功，请检查文件夹的权限！",
      LinkItemTo(PageBase(channel), "返回列表")));
}

}  // namespace

void ArticleJs_Main(RequestState& state, const ConsolePage& page) {
  const ConsoleChannel& channel = page.channel;
  ArticleJs_ShowNavi(state, channel);
  const ConsoleRequest& request = page.request;
  auto with = [&channel,
               &request](void (*run)(RequestState&, const ConsoleChannel&, const ConsoleRequest&)) {
    return [&channel, &request, run](RequestState& s) { run(s, channel, request); };
  };
  RunAdminAction(state, request.action,
                 {{"add", with(ArticleJs_Add)},
                  {"save", with(ArticleJs_Save)},
                  {"edit", with(ArticleJs_Edit)},
                  {"update", with(ArticleJs_Update)},
                  {"create", with(ArticleJs_Create)},
                  {"createall", with(ArticleJs_CreateAll)},
                  {"preview", with(ArticleJs_Preview)},
                  {"del", with(ArticleJs_Del)}},
                 [&channel](RequestState& s) { ArticleJs_ShowList(s, channel); });
}

}  // namespace folirex
