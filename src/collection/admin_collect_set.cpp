#include "collection/admin_collect_set.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "collection/console_bits.h"
#include "collection/url_rules.h"
#include "console/admin_frame.h"
#include "console/admin_pager.h"
#include "console/channel_page.h"
#include "console/console_text.h"
#include "core/console_request.h"
#include "core/html_clean.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_params.h"
#include "platform/host/server.h"
#include "platform/regex/regexp.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

constexpr const char* kInvalidId = "无效的ID号，请点击页面链接操作！";
constexpr size_t kMaxName = 100;
constexpr size_t kMaxPageUrl = 255;
constexpr size_t kMaxFileName = 100;

// The twenty rule columns in the order of the table, with their form fields.
struct RuleColumn {
  const char* column;
  const char* field;
  bool number;
};
constexpr std::array<RuleColumn, 20> kRules = {{
    {"D_ClassID", "d_classid", true},
    {"D_Name", "d_name", false},
    {"D_PageUrl", "d_pageurl", false},
    {"D_FirstDiff", "d_firstdiff", true},
    {"D_FirstFileName", "d_firstfilename", false},
    {"D_PageHeader", "d_pageheader", false},
    {"D_PageFooter", "d_pagefooter", false},
    {"D_IDUrl", "d_idurl", false},
    {"D_Header", "d_header", false},
    {"D_Footer", "d_footer", false},
    {"D_Title1", "d_title1", false},
    {"D_Title2", "d_title2", false},
    {"D_Author1", "d_author1", false},
    {"D_Author2", "d_author2", false},
    {"D_Content1", "d_content1", false},
    {"D_Content2", "d_content2", false},
    {"D_DoFlag", "d_doflag", true},
    {"D_CheckFlag", "d_checkflag", true},
    {"D_PageNextMatch", "d_pagenextmatch", false},
    {"D_PageNextUrl", "d_pagenexturl", false},
}};

struct SetPage : CollectPageBase {
  using CollectPageBase::CollectPageBase;
  std::string search_name;
  std::string search_class;
  CollectLimits limits;
};

std::string Base(const SetPage& page) {
  return "?m=admin_articlecollectset&channelid=" + page.channel_text;
}

std::string ServerPath(RequestState& state) {
  return state.host.Application->Get("server_path").ToString();
}

void DeletePreviews(RequestState& state) {
  DeleteFile(state.host, ServerPath(state) + "vantrel_content.asp");
  DeleteFile(state.host, ServerPath(state) + "vantrel_list.asp");
}

bool IsWebAddress(std::string_view url) {
  std::string lower = LCase(url.substr(0, 8));
  return lower.starts_with("http://") || lower.starts_with("https://");
}

void ShowSearchBar(RequestState& state, const SetPage& page) {
  std::string base = HtmlEscapeAttr(Base(page));
  state.host.Response->Write(
      CollectPostScript() + CollectNaviHead(state, "采集设置") +
      "<tr><td><form name=searchform method=post action=\"" + base +
      "\" style=\"margin:0\">项目名称:<input type=text name=sp_name size=10 value=\"" +
      HtmlEscapeAttr(page.search_name) + "\"> 分类:" +
      ArticleCollectSet_ClassSelect(state.db, page.channel, "sp_classid", page.search_class) +
      " <input type=submit value='查询'></form></td><td align=right>[<a href=\"" + base +
      "\">所有数据</a>] [<a href=\"" + base +
      "&amp;action=add\">新增数据</a>]</td></tr></table><br>\r\n");
}

void ShowList(RequestState& state, const SetPage& page) {
  DeletePreviews(state);
  BoundSql where{"d_channelid = ?", {SqlNumber(page.channel)}};
  if (!page.search_name.empty()) {
    AndWhere(where, "d_name like ?", Variant("%" + page.search_name + "%"));
  }
  if (!page.search_class.empty()) {
    AndWhere(where, "d_classid = ?", SqlNumber(std::stoll(page.search_class)));
  }
  AdminPager pager;
  pager.PagerPageSize = 20;
  pager.PagerSql =
      "select a.d_id,a.d_name,a.d_pageurl,a.d_firstdiff,a.d_firstfilename,b.d_classname from "
      "(select d_id,d_name,d_classid, d_pageurl, d_firstdiff, d_firstfilename from "
      "Vantrel_CollectProject where " +
      where.sql +
      ") a left outer join (select d_id, d_name as d_classname from Vantrel_ArticleClass) b on "
      "a.d_classid=b.d_id order by a.d_id desc";
  pager.PagerParams = where.params;
  pager.PagerUrl = "?m=admin_articlecollectset&" + page.list_query + "&";
  pager.Pager_Open(state);
  const std::string path = ServerPath(state);
  std::string html =
      "<table border=0 cellspacing=1 align=center class=list><form name=listform method=post "
      "action=\"?m=admin_articlecollectset&amp;" +
      HtmlEscapeAttr(page.list_query) +
      "&amp;action=\"><tr align=center><th width='8%'>ID</th><th width='65%'>项目名称</th>"
      "<th width='15%'>分类</th><th width='7%'>操作</th><th width='5%'><input type=checkbox "
      "name=checkallid onclick=\"doCheckAll(this)\"></th></tr>\r\n";
  Recordset& rs = *pager.PagerRs;
  int shown = 0;
  for (; shown < pager.PagerPageSize && !rs.Eof(); ++shown, rs.MoveNext()) {
    std::string id = std::to_string(rs["d_id"].ToInt64Or(0));
    std::string first =
        CollectListPageUrl(rs["d_pageurl"].ToString(), rs["d_firstdiff"].ToInt64Or(0) == 1,
                           rs["d_firstfilename"].ToString(), "1");
    std::string name = HTMLEncode(rs["d_name"]);
    std::string edit = Base(page) + "&action=modi&id=" + id;
    html += "<tr align=center><td>" + id + "</td><td align=left>" +
            (IsWebAddress(first) ? "<a href=\"" + HtmlEscapeAttr(first) +
                                       "\" target=\"_blank\" rel=\"noreferrer\">" + name + "</a>"
                                 : name) +
            "</td><td>" + HTMLEncode(rs["d_classname"]) + "</td><td><a href=\"" +
            HtmlEscapeAttr(edit) + "\"><img src=\"" + HtmlEscapeAttr(path) +
            "admin/edit2.gif\" border=0 alt=\"编辑\"></a> " +
            PostLink(
                Base(page) + "&action=copy&id=" + id,
                "<img src=\"" + HtmlEscapeAttr(path) + "admin/copy2.gif\" border=0 alt=\"拷贝\">") +
            " <a href=\"" + HtmlEscapeAttr(Base(page) + "&action=test&id=" + id) +
            "\"><img src=\"" + HtmlEscapeAttr(path) +
            "admin/test2.gif\" border=0 alt=\"测试设置是否正确\"></a></td><td><input "
            "type=checkbox name=checkid value='" +
            id + "'></td></tr>\r\n";
  }
  if (pager.PagerRecordCount == 0) html += "<tr><td colspan=5>无数据！</td></tr>\r\n";
  html += "<tr><td colspan=5><table border=0 cellspacing=0 width='100%'><tr><td>" +
          (pager.PagerRecordCount > 0 ? pager.PagerBar : std::string()) +
          "</td><td align=right>操作：<select name=checkaction size=1><option value='del' "
          "selected>删除</option></select> <input type=button name=btnDO value='执行' "
          "onclick=\"doAction(this)\"></td></tr></table></td></tr></form></table><br>\r\n"
          "<table border=0 cellspacing=1 align=center class=Msg><tr><td><b class=blue>"
          "提示：删除项目将删除此项目下的所有历史记录。</b></td></tr></table>\r\n";
  pager.Pager_Close();
  state.host.Response->Write(html);
}

// The rule values of the form: the stored row's, or the add defaults.
std::vector<std::string> FormValues(RequestState& state, int64_t channel,
                                    std::optional<int64_t> id) {
  std::vector<std::string> values(kRules.size());
  if (!id) {
    values[0] = "0";
    values[2] = "http://";
    values[3] = values[16] = values[17] = "0";
    return values;
  }
  Recordset rs;
  // Only this channel's projects are edited.
  rs.Open("select * from Vantrel_CollectProject where d_id = ? and D_ChannelID = ?",
          {Variant(*id), Variant(channel)}, *state.db.Conn, 0, 1);
  if (rs.Eof()) AlertBack(state, kInvalidId);
  for (size_t i = 0; i < kRules.size(); ++i) values[i] = rs[kRules[i].column].ToString();
  return values;
}

std::string FlagSelect(RequestState& state, const char* name, const char* zero, const char* one,
                       const std::string& selected) {
  return BuildSelect(state.db, name, {Variant(zero), Variant(one)}, {Variant("0"), Variant("1")},
                     Variant(selected.empty() ? "0" : selected), "", "");
}

std::string Box(const char* name, const std::string& value) {
  return "<textarea name=" + std::string(name) + " cols=40 rows=5>" + HtmlEscapeAttr(value) +
         "</textarea>";
}

void ShowForm(RequestState& state, const SetPage& page, bool modify) {
  DeletePreviews(state);
  std::optional<int64_t> id;
  if (modify) id = page.request->query.Id("id", kInvalidId);
  std::vector<std::string> v = FormValues(state, page.channel, id);
  auto field = [&v](size_t i) { return HtmlEscapeAttr(v[i]); };
  const char* red = " <font color=red>*</font>";
  std::string target = Base(page) + "&action=" + (modify ? "modisave" : "addsave") +
                       "&id=" + (id ? std::to_string(*id) : "");
  std::string html =
      "<script language=javascript>function checkForm(){if(!ChkText(document.myform.d_name,100,"
      "\"项目名称：不能为空，且不大于100个字符长度！\",true)) return false; return true;}"
      "</script>\r\n<table border=0 cellspacing=1 align=center class=form><form name=myform "
      "method=post action=\"" +
      HtmlEscapeAttr(target) + "\" onsubmit=\"return checkForm()\"><tr><th colspan=4>" +
      (modify ? "修改数据" : "新增数据") +
      "</th></tr>\r\n<tr><td width='15%'>项目名称：</td><td width='35%'><input type=text "
      "name=d_name size=30 value=\"" +
      field(1) + "\">" + red +
      " <font color=gray>100个字符</font></td><td width='15%'>转入分类：</td><td width='35%'>" +
      ArticleCollectSet_ClassSelect(state.db, page.channel, "d_classid", v[0]) +
      "</td></tr>\r\n<tr><td>处理方法：</td><td>" +
      FlagSelect(state, "d_doflag", "纯文本取数，忽略所有HTML格式", "HTML格式取数，会下远程文件",
                 v[16]) +
      "</td><td>获取时默认选中：</td><td>" +
      FlagSelect(state, "d_checkflag", "否", "是：经常需要获取的网站选择此项", v[17]) +
      "</td></tr>\r\n<tr><td>分页文件地址：</td><td><input type=text name=d_pageurl size=30 "
      "value=\"" +
      field(2) + "\">" + red +
      "<br><font color=gray>200个字符，如：http://www.example.com/news/{page}.htm，{page}为页码"
      "</font></td><td>第一页文件名：</td><td>" +
      FlagSelect(state, "d_firstdiff", "标准格式，如1.htm,2.htm", "首页不同，如index.htm,2.htm",
                 v[3]) +
      "<br>首页不同时的文件名:<input type=text name=d_firstfilename size=10 value=\"" + field(4) +
      "\"> <font color=gray>50个字符</font></td></tr>\r\n<tr><td>分页去头关键字：</td><td>" +
      Box("d_pageheader", v[5]) + red + "</td><td>分页去尾关键字：</td><td>" +
      Box("d_pagefooter", v[6]) + red +
      "</td></tr>\r\n<tr><td>内容页链接匹配：</td><td><input type=text name=d_idurl size=41 "
      "value=\"" +
      field(7) + "\">" + red +
      // The marker is taken literally but for its wildcards and groups: "[0-9]" would be
      // looked for as written.
      " <font color=gray>匹配如：xxx/{id}.htm，{id}为数字，{c}为任意字符</font></td><td></td>"
      "<td></td></tr>\r\n"
      "<tr><td>内容页去头关键字：</td><td>" +
      Box("d_header", v[8]) + red + "</td><td>内容页去尾关键字：</td><td>" + Box("d_footer", v[9]) +
      red + "</td></tr>\r\n<tr><td>标题前关键字：</td><td>" + Box("d_title1", v[10]) + red +
      "</td><td>标题后关键字：</td><td>" + Box("d_title2", v[11]) + red +
      "</td></tr>\r\n<tr><td>作者前关键字：</td><td>" + Box("d_author1", v[12]) +
      "</td><td>作者后关键字：</td><td>" + Box("d_author2", v[13]) +
      "</td></tr>\r\n<tr><td>内容前关键字：</td><td>" + Box("d_content1", v[14]) + red +
      "</td><td>内容后关键字：</td><td>" + Box("d_content2", v[15]) + red +
      "</td></tr>\r\n<tr><td>内容分页去头尾匹配：</td><td>" + Box("d_pagenextmatch", v[18]) +
      "<br><font color=gray>如果内容页面有分页的时候需要设置这个选项</font></td>"
      "<td>内容分页链接匹配：</td><td>" +
      Box("d_pagenexturl", v[19]) +
      "<br><font color=gray>如果内容页面有分页的时候需要设置这个选项</font></td></tr>\r\n"
      "<tr><td colspan=4 align=center><input type=submit name=bSubmit value=\"  提交  \"> "
      "<input type=reset name=bReset value=\"  重填  \"></td></tr></form></table>\r\n";
  state.host.Response->Write(html);
}

// The posted rule values, checked; a refused value ends the request with its message.
std::vector<Variant> PostedRules(RequestState& state, const RequestReader& form, int64_t channel) {
  std::vector<Variant> values;
  for (const RuleColumn& rule : kRules) {
    std::string value = form.Text(rule.field);
    if (rule.number) {
      const int64_t number = value.empty() ? 0 : form.Id(rule.field, kParameterError);
      bool flag = std::string_view(rule.column) != "D_ClassID";
      if (flag && number > 1) AlertBack(state, kParameterError);
      values.emplace_back(number);
    } else {
      values.emplace_back(value);
    }
  }
  std::string name = values[1].ToString();
  if (name.empty() || Len(name) > kMaxName) {
    AlertBack(state, "项目名称：不能为空，且不大于100个字符长度！");
  }
  if (Len(values[2].ToString()) > kMaxPageUrl || Len(values[4].ToString()) > kMaxFileName) {
    AlertBack(state, "提示：分页文件地址或第一页文件名过长！");
  }
  int64_t class_id = values[0].ToInt64Or(0);
  if (class_id != 0) {
    Variant found = state.db.Conn->ExecuteScalar(
        {.tables = {"Vantrel_ArticleClass"},
         .sql = "select count(*) from Vantrel_ArticleClass where d_id = ? and d_channelid = ?",
         .values = {Variant(class_id), Variant(channel)}});
    if (found.ToInt64Or(0) == 0) AlertBack(state, kParameterError);
  }
  return values;
}

void SetRules(Recordset& rs, const std::vector<Variant>& values) {
  for (size_t i = 0; i < kRules.size(); ++i) rs.Set(kRules[i].column, values[i]);
}

std::string LinkRow(const std::string& url, const char* text) {
  return "<li><a href=\"" + HtmlEscapeAttr(url) + "\">" + text + "</a></li>";
}

void WriteMessage(RequestState& state, const char* message, const std::string& links) {
  state.host.Response->Write(
      "<table border=0 cellspacing=1 align=center class=Msg><tr><td><b class=red>" +
      std::string(message) + "</b><br>" + links + "</td></tr></table>\r\n");
}

// A new project of the channel with the rule values (in the order of kRules).
void InsertProject(RequestState& state, int64_t channel, const std::vector<Variant>& values) {
  Recordset rs;
  rs.Open(db::TableRows{.table = "Vantrel_CollectProject", .where = "1 = 0"}, *state.db.Conn, 1, 3);
  rs.AddNew();
  rs.Set("D_ChannelID", Variant(channel));
  SetRules(rs, values);
  rs.Update();
  rs.Close();
}

void SaveForm(RequestState& state, const SetPage& page, bool modify) {
  const ConsoleRequest& request = *page.request;
  RequireFormPost(request);
  if (modify) {
    const int64_t id = request.query.Id("id", kInvalidId);
    std::vector<Variant> values = PostedRules(state, request.form, page.channel);
    Recordset rs;
    rs.Open("select * from Vantrel_CollectProject where d_id = ? and D_ChannelID = ?",
            {Variant(id), Variant(page.channel)}, *state.db.Conn, 1, 3);
    if (rs.Eof()) AlertBack(state, kInvalidId);
    SetRules(rs, values);
    rs.Update();
    rs.Close();
    WriteMessage(
        state, "数据修改保存成功！",
        LinkRow(Base(page), "返回所有数据列表") +
            LinkRow(Base(page) + "&action=modi&id=" + std::to_string(id), "重新修改此数据"));
    return;
  }
  std::vector<Variant> values = PostedRules(state, request.form, page.channel);
  InsertProject(state, page.channel, values);
  WriteMessage(state, "数据增加保存成功！",
               LinkRow(Base(page), "返回所有数据列表") +
                   LinkRow(Base(page) + "&action=add", "继续新增数据"));
}

void DeleteChecked(RequestState& state, const SetPage& page) {
  const ConsoleRequest& request = *page.request;
  RequireFormPost(request);
  IdList list;
  if (!request.values.Text("checkid").empty()) {
    list = request.values.Ids("checkid", kParameterError);
  }
  if (!list.ids.empty()) {
    // Only this channel's projects, and their log rows with them.
    Connection& conn = *state.db.Conn;
    ScopedTransaction transaction(conn);
    BoundSql projects = IdsIn("d_id", list.ids);
    AndWhere(projects, "d_channelid = ?", Variant(page.channel));
    conn.Execute(
        "delete from Vantrel_CollectLog where d_projectid in (select d_id from "
        "Vantrel_CollectProject where " +
            projects.sql + ")",
        projects.params);
    conn.Execute("delete from Vantrel_CollectProject where " + projects.sql, projects.params);
    transaction.Commit();
  }
  Alert(state, "选定数据删除成功！");
  GoUrl(state, "?m=admin_articlecollectset&" + page.list_query);
}

void Copy(RequestState& state, const SetPage& page) {
  const int64_t id = page.request->query.Id("id", kInvalidId);
  RequireFormPost(*page.request);
  std::optional<CollectProject> source = LoadCollectProject(*state.db.Conn, id);
  if (!source) AlertBack(state, kInvalidId);
  Recordset from;
  from.Open("select * from Vantrel_CollectProject where d_id = ?", {Variant(id)}, *state.db.Conn, 0,
            1);
  std::vector<Variant> values;
  for (const RuleColumn& rule : kRules) values.push_back(from[rule.column]);
  from.Close();
  std::string name = values[1].ToString() + "_拷贝";
  values[1] = Variant(Len(name) > kMaxName ? Left(name, kMaxName) : name);
  // A class belongs to one channel: a copy into another channel files under no class.
  if (source->channel_id != page.channel) values[0] = Variant(int64_t{0});
  InsertProject(state, page.channel, values);
  Alert(state, "已拷贝一个项目！");
  GoUrl(state, "?m=admin_articlecollectset&" + page.list_query);
}

// Ends a test run whose fetch of `what` the address rule refused: one line on the error output
// (a test run is a run of its own) and the alert naming the address.
[[noreturn]] void RefuseTest(RequestState& state, const CollectProject& project, const char* what,
                             const std::string& address) {
  LogCollectRefusal(project, address);
  AlertBack(state, interaction::ScriptStringEncode("提示：" + std::string(what) +
                                                   CollectRefusalText(address) + "！"));
}

void Test(RequestState& state, const SetPage& page) {
  const int64_t id = page.request->query.Id("id", kInvalidId);
  std::optional<CollectProject> p = LoadCollectProject(*state.db.Conn, id, page.channel);
  if (!p) AlertBack(state, kInvalidId);
  FetchOptions options = CollectFetchOptions(page.limits, false);
  std::string list_url = CollectListPageUrl(p->page_url, p->first_diff, p->first_file_name, "1");
  FetchResult failure;
  std::optional<std::string> text = ArticleCollect_GetHttpPage(list_url, options, &failure);
  if (!text && failure.refused) RefuseTest(state, *p, "列表页的", failure.refused_address);
  if (!text) {
    AlertBack(state, "提示：列表页的地址" + interaction::ScriptStringEncode(list_url) +
                         "不对或者网络连接问题，请检测！");
  }
  if (!CutAfter(*text, p->page_header)) {
    AlertBack(state, "提示：未找到列表页头关键字，请重新设置“分页去头关键字”！");
  }
  std::string area;
  if (!CutBefore(*text, p->page_footer, &area)) {
    AlertBack(state, "提示：未找到列表页尾关键字，请重新设置“分页去尾关键字”");
  }
  constexpr const char* kNoLinks = "提示：“内容页链接匹配”设置不对或者网络连接问题，请检测！";
  std::vector<std::string> links{""};
  std::string preview;
  try {
    // Each matched link is written once, in its absolute form, into the preview: the area is
    // rebuilt match by match, so no replacement touches text an earlier one produced.
    RegExp re{ArticleCollect_MarkerToRegex(p->id_url), true, true};
    size_t done = 0;
    re.Scan(area, [&](const RegexMatchRef& match) {
      std::string_view link =
          match.SubMatchCount() > 0 ? match.SubMatch(match.SubMatchCount() - 1) : match.Value();
      std::string absolute = ArticleCollect_JoinUrl(p->page_url, link);
      preview += area.substr(done, match.ByteIndex() - done) + absolute;
      done = match.ByteIndex() + match.ByteLength();
      if (std::find(links.begin() + 1, links.end(), absolute) == links.end()) {
        links.push_back(absolute);
      }
      return true;
    });
    preview += area.substr(done);
  } catch (const RegexError&) {
    AlertBack(state, kNoLinks);
  }
  if (links.size() < 2) AlertBack(state, kNoLinks);
  std::optional<std::string> article = ArticleCollect_GetHttpPage(links[1], options, &failure);
  if (!article && failure.refused) RefuseTest(state, *p, "内容页的", failure.refused_address);
  if (!article) AlertBack(state, kNoLinks);
  std::string& t = *article;
  std::string title, author, content;
  if (!CutAfter(t, p->header)) AlertBack(state, "提示：未找到内容页头关键字，请重新设置！");
  std::string cut;
  if (!CutBefore(t, p->footer, &cut)) AlertBack(state, "提示：未找到内容页尾关键字，请重新设置！");
  t = cut;
  if (!p->title1.empty() && !CutAfter(t, p->title1)) {
    AlertBack(state, "提示：未找到内容页标题前关键字，请重新设置！");
  }
  if (!CutBefore(t, p->title2, &title)) {
    AlertBack(state, "提示：未找到内容页标题后关键字，请重新设置！");
  }
  if (!p->author1.empty() && !CutAfter(t, p->author1)) {
    AlertBack(state, "提示：未找到内容页作者前关键字，请重新设置！");
  }
  if (!p->author2.empty() && !CutBefore(t, p->author2, &author)) {
    AlertBack(state, "提示：未找到内容页作者后关键字，请重新设置！");
  }
  if (!p->content1.empty() && !CutAfter(t, p->content1)) {
    AlertBack(state, "提示：未找到内容页内容前关键字，请重新设置！");
  }
  if (p->content2.empty()) {
    content = t;
  } else if (!CutBefore(t, p->content2, &content)) {
    AlertBack(state, "提示：未找到内容页内容后关键字，请重新设置！");
  }
  // The previews are served from this site: only cleaned, inert markup goes into them, and
  // the frames that show them are sandboxed.
  WriteTextFile(state.host, "vantrel_content.asp", CleanCollectedHtml(content));
  WriteTextFile(state.host, "vantrel_list.asp", CleanCollectedHtml(preview));
  const std::string path = HtmlEscapeAttr(ServerPath(state));
  state.host.Response->Write(
      "<table border=0 cellspacing=1 align=center class=form><tr><td width='15%'>列表页内容："
      "</td><td><iframe sandbox=\"\" width=500 height=400 src=\"" +
      path + "vantrel_list.asp\"></iframe></td></tr><tr><td>第一篇文章标题：</td><td>" +
      HtmlEscapeText(title) + "</td></tr><tr><td>第一篇文章作者：</td><td>" +
      HtmlEscapeText(author) +
      "</td></tr><tr><td>第一篇文章内容：</td><td><iframe sandbox=\"\" width=500 height=400 "
      "src=\"" +
      path + "vantrel_content.asp\"></iframe></td></tr></table>\r\n");
}

}  // namespace

void ArticleCollectSet_Run(RequestState& state, const CollectLimits& limits,
                           const ConsolePage& frame) {
  const ConsoleRequest& request = frame.request;
  SetPage page(frame);
  page.limits = limits;
  const std::string action = UCase(request.action);
  page.search_name = FilterSql(request.values.Text("sp_name"));
  page.search_class = IdText(request.values.Id("sp_classid"));
  page.list_query = "sp_name=" + state.host.Server->URLEncode(page.search_name) +
                    "&sp_classid=" + page.search_class + "&channelid=" + page.channel_text;

  AdminHeader(state);
  ShowSearchBar(state, page);
  if (action == "COPY") {
    Copy(state, page);
  } else if (action == "DEL") {
    DeleteChecked(state, page);
  } else if (action == "ADDSAVE" || action == "MODISAVE") {
    SaveForm(state, page, action == "MODISAVE");
  } else if (action == "ADD" || action == "MODI") {
    ShowForm(state, page, action == "MODI");
  } else if (action == "TEST") {
    Test(state, page);
  } else {
    ShowList(state, page);
  }
  AdminFooter(state);
}

void ArticleCollectSet_Main(RequestState& state, const ConsolePage& frame) {
  ArticleCollectSet_Run(state, CollectLimitsOf(state.site), frame);
}

}  // namespace folirex
