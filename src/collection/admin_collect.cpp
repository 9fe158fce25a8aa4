#include "collection/admin_collect.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "collection/console_bits.h"
#include "console/admin_frame.h"
#include "console/admin_pager.h"
#include "console/channel_page.h"
#include "console/console_text.h"
#include "core/id_list.h"
#include "core/messages.h"
#include "core/select_boxes.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/sql_params.h"
#include "platform/host/server.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/interaction_text.h"

namespace folirex {
namespace {

constexpr const char* kTokenKey = "collect_step_token";
constexpr const char* kLineEnd = "\r\n";

struct CollectPage : CollectPageBase {
  using CollectPageBase::CollectPageBase;
  std::string search_title;
  std::string search_project;
  std::string search_flag;
};

std::string Base(const CollectPage& page) {
  return "?m=admin_articlecollect&channelid=" + page.channel_text;
}

// The session's step token, made the first time a batch page is written.
std::string StepToken(RequestState& state) {
  std::string token = state.host.Session->Get(kTokenKey).ToString();
  if (token.size() == 32) return token;
  std::random_device device;
  static constexpr char kHex[] = "0123456789abcdef";
  token.clear();
  for (int i = 0; i < 32; ++i) token.push_back(kHex[device() & 0x0F]);
  state.host.Session->Set(kTokenKey, Variant(token));
  return token;
}

bool StepTokenMatches(RequestState& state, const ConsoleRequest& request) {
  std::string token = state.host.Session->Get(kTokenKey).ToString();
  return token.size() == 32 && request.query.Text("token") == token;
}

void ShowSearchBar(RequestState& state, const CollectPage& page) {
  std::string base = Base(page);
  std::string project_select =
      BuildBoundSelect(state.db, "sp_projectid", Variant(page.search_project),
                       "select d_name,d_id from Vantrel_CollectProject where d_channelid = ?",
                       {SqlNumber(page.channel)}, "所有...");
  std::string flag_select = BuildSelect(state.db, "sp_flag",
                                        {Variant("未获取:未执行"), Variant("未获取:标题同"),
                                         Variant("未获取:错误"), Variant("已获取完成")},
                                        {Variant("0"), Variant("2"), Variant("3"), Variant("1")},
                                        Variant(page.search_flag), "", "所有...");
  state.host.Response->Write(
      CollectPostScript() + CollectNaviHead(state, "自动采集") + "<form action=\"" +
      HtmlEscapeAttr(base) +
      "\" method=post name=searchform><tr><td>标题:<input type=text name=sp_title size=10 "
      "value=\"" +
      HtmlEscapeAttr(page.search_title) + "\"> 项目:" + project_select + " 状态:" + flag_select +
      " <input type=submit name=b value='查询'></td><td align=center>[<a href=\"" +
      HtmlEscapeAttr(base) + "\">所有</a>] [<a href=\"" +
      HtmlEscapeAttr(base + "&action=checknew") + "\">检测新数据</a>] [<a href=\"" +
      HtmlEscapeAttr(base + "&action=getcheckedlist0") + "\">获取未执行</a>] [" +
      PostLink(base + "&action=delall", "清空") + "]</td></tr></form></table><br>\r\n");
}

std::string StatusCell(int64_t flag) {
  switch (flag) {
    case 0:
      return "<span class=red>未获取:未执行</span>";
    case 1:
      return "<span class=gray>已获取完成</span>";
    case 2:
      return "<span class=red>未获取:标题同</span>";
    case 3:
      return "<span class=red>未获取:错误</span>";
    default:
      return "";
  }
}

// A link to an address taken from a remote page: only http and https addresses are links.
std::string RemoteLink(const std::string& url, const std::string& text_html) {
  std::string lower = LCase(url.substr(0, 8));
  if (!lower.starts_with("http://") && !lower.starts_with("https://")) return text_html;
  return "<a href=\"" + HtmlEscapeAttr(url) + "\" target='_blank' rel=\"noreferrer\">" + text_html +
         "</a>";
}

void ShowLogList(RequestState& state, const CollectPage& page) {
  BoundSql where{"d_channelid = ?", {SqlNumber(page.channel)}};
  if (!page.search_title.empty()) {
    AndWhere(where, "d_title like ?", Variant("%" + page.search_title + "%"));
  }
  if (!page.search_flag.empty()) {
    AndWhere(where, "d_flag = ?", SqlNumber(std::stoll(page.search_flag)));
  }
  if (!page.search_project.empty()) {
    AndWhere(where, "d_projectid = ?", SqlNumber(std::stoll(page.search_project)));
  }
  AdminPager pager;
  pager.PagerPageSize = 20;
  pager.PagerSql =
      "select a.d_id,a.d_title,a.d_url,a.d_flag,a.d_date,b.d_name, a.d_projectid from (select "
      "d_id, d_title, d_url, d_projectid, d_flag, d_date from Vantrel_CollectLog where " +
      where.sql + ") a,Vantrel_CollectProject b where a.d_projectid=b.d_id order by a.d_id desc";
  pager.PagerParams = where.params;
  pager.PagerUrl = "?m=admin_articlecollect&" + page.list_query + "&";
  pager.Pager_Open(state);
  std::string html = "<table border=0 cellspacing=1 class=list align=center><form action=\"" +
                     HtmlEscapeAttr("?m=admin_articlecollect&" + page.list_query + "&action=") +
                     "\" method=post name=listform><tr align=center><th width='8%'>ID</th><th "
                     "width='45%'>标题</th><th width='20%'>分类</th><th width='12%'>状态</th><th "
                     "width='10%'>日期</th><th width='5%'><input type=checkbox name=checkallid "
                     "onclick=\"doCheckAll(this)\"></th></tr>\r\n";
  Recordset& rs = *pager.PagerRs;
  int shown = 0;
  for (; shown < pager.PagerPageSize && !rs.Eof(); ++shown, rs.MoveNext()) {
    std::string id = std::to_string(rs["d_id"].ToInt64Or(0));
    std::string url = rs["d_url"].ToString();
    std::string title = rs["d_title"].ToString();
    html += "<tr align=center><td>" + id + "</td><td align=left>" +
            RemoteLink(url, HtmlEscapeText(title.empty() ? url : title)) + "</td><td>" +
            HTMLEncode(rs["d_name"]) + "</td><td>" + StatusCell(rs["d_flag"].ToInt64Or(-1)) +
            "</td><td>" + FormatDate(rs["d_date"], Variant(int64_t{2})) +
            "</td><td><input type=checkbox name=checkid value='" + id + "'></td></tr>\r\n";
  }
  if (pager.PagerRecordCount == 0) html += "<tr><td colspan=6>无数据！</td></tr>\r\n";
  html +=
      "<tr><td colspan=6><table border=0 cellspacing=0 width='100%' align=center><tr><td>" +
      (pager.PagerRecordCount > 0 ? pager.PagerBar : std::string()) +
      "</td><td align=right>操作：<select name=checkaction size=1><option value='getchecked' "
      "selected>(不检测标题重复)手动获取选定的数据</option><option "
      "value='getcheckedhtml1'>(不检测标题重复)强制HTML格式获取</option><option "
      "value='getcheckedhtml0'>(不检测标题重复)强制纯文本格式获取</option><option "
      "value='getcheckedtitle'>(检测标题重复)手动获取选定的数据</option><option "
      "value='getcheckedhtml1title'>(检测标题重复)强制HTML格式获取</option><option "
      "value='getcheckedhtml0title'>(检测标题重复)强制纯文本格式获取</option><option "
      "value='set1'>设为获取完成</option><option value='set0'>设为未获取:未执行</option><option "
      "value='set2'>设为未获取:标题相同</option><option value='set3'>设为未获取:错误</option>"
      "<option value='del'>删除</option></select> <input type=button name=btnDO value='执行' "
      "onclick=\"doAction(this)\"></td></tr></table></td></tr></form></table><br>\r\n"
      "<table border=0 cellspacing=1 align=center class=Msg><tr><td><b class=blue>提示：</b><br>"
      "<li>[清空]历史记录后会检测所有分页文件，并获取所有不存在的数据。<li>标题相同的数据不会自动"
      "获取，但会写历史记录，如果需要获取得手动指定获取。<li>[获取未执行]指获取所有日志中标志为“未"
      "获取：未执行”的数据，操作规则与[检测并获取]相同。</b></td></tr></table>\r\n";
  pager.Pager_Close();
  state.host.Response->Write(html);
}

// The checked ids of the list form; a part that is not an id refuses the request.
std::vector<int64_t> CheckedIds(const CollectPage& page, const char* field = "checkid") {
  const RequestReader& posted = page.request->values;
  if (posted.Text(field).empty()) return {};
  return posted.Ids(field, kParameterError).ids;
}

void BulkDone(RequestState& state, const CollectPage& page, const char* message) {
  Alert(state, message);
  GoUrl(state, "?m=admin_articlecollect&" + page.list_query);
}

void DeleteChecked(RequestState& state, const CollectPage& page) {
  RequireFormPost(*page.request);
  std::vector<int64_t> ids = CheckedIds(page);
  if (!ids.empty()) {
    BoundSql checked = IdsIn("d_id", ids);
    AndWhere(checked, "d_channelid = ?", Variant(page.channel));
    state.db.Conn->Execute("delete from Vantrel_CollectLog where " + checked.sql, checked.params);
  }
  BulkDone(state, page, "选定数据删除成功！");
}

void DeleteAll(RequestState& state, const CollectPage& page) {
  RequireFormPost(*page.request);
  state.db.Conn->Execute("delete from Vantrel_CollectLog where d_channelid = ?",
                         {Variant(page.channel)});
  BulkDone(state, page, "清空历史记录数据成功！");
}

void SetFlag(RequestState& state, const CollectPage& page, int64_t flag) {
  RequireFormPost(*page.request);
  std::vector<int64_t> ids = CheckedIds(page);
  if (!ids.empty()) {
    BoundSql checked = IdsIn("d_id", ids);
    AndWhere(checked, "d_channelid = ?", Variant(page.channel));
    std::vector<Variant> params = {Variant(flag)};
    params.insert(params.end(), checked.params.begin(), checked.params.end());
    state.db.Conn->Execute("update Vantrel_CollectLog set d_flag = ? where " + checked.sql, params);
  }
  BulkDone(state, page, "选定数据执行指定操作成功！");
}

// A batch page begins a run of steps.
void WriteBatch(RequestState& state, const CollectPage& page, const std::vector<int64_t>& ids,
                std::string_view mode, std::string_view doflag) {
  ArticleCollect_BeginRun(state);
  state.host.Response->Write(
      ArticleCollect_BatchScript(ids, mode, doflag, page.channel, StepToken(state)));
}

void ShowCheckNew(RequestState& state, const CollectPage& page) {
  std::string html =
      "<table border=0 cellspacing=1 align=center class=form><form action=\"" +
      HtmlEscapeAttr(Base(page) + "&action=dochecknew") +
      "\" method=post name=myform><tr><th colspan=2>检测选中项目的新数据</th></tr><tr><td "
      "width='15%'>项目选择：</td><td width='85%'>";
  Recordset rs;
  rs.Open(
      "select d_id, d_name, d_checkflag from Vantrel_CollectProject where d_channelid = ? "
      "order by d_id desc",
      {Variant(page.channel)}, *state.db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    html += "<input type=checkbox name=d_projectid value='" +
            std::to_string(rs["d_id"].ToInt64Or(0)) + "'" +
            (rs["d_checkflag"].ToInt64Or(0) == 1 ? " checked" : "") + "> " +
            HTMLEncode(rs["d_name"]) + "<br>";
  }
  html +=
      "</td></tr><tr><td>获取选项：</td><td><select name=d_option><option value='all' "
      "selected>获取列表及内容</option><option value='list'>只获取列表</option></select></td>"
      "</tr><tr><td align=center colspan=2><input type=checkbox name=checkallbtn "
      "onclick='doCheckAll(this)'> 全部选择 <input type=submit name=bSubmit value=\"  提交  \">"
      "&nbsp;<input type=reset name=bReset value=\"  重填  \"></td></tr></form></table>\r\n";
  state.host.Response->Write(html);
}

void DoCheckNew(RequestState& state, const CollectPage& page) {
  RequireFormPost(*page.request);
  std::vector<int64_t> ids = CheckedIds(page, "d_projectid");
  if (ids.empty()) AlertBack(state, "请选择一个要获取的项目！");
  std::string option = page.request->values.Text("d_option");
  if (option != "all" && option != "list") AlertBack(state, kParameterError);
  // Only this channel's projects are scanned.
  BoundSql projects = IdsIn("d_id", ids);
  AndWhere(projects, "d_channelid = ?", Variant(page.channel));
  Variant found = state.db.Conn->ExecuteScalar(
      "select count(*) from Vantrel_CollectProject where " + projects.sql, projects.params);
  if (found.ToInt64Or(0) != static_cast<int64_t>(ids.size())) AlertBack(state, kParameterError);
  WriteBatch(state, page, ids, option, "");
}

void GetCheckedList0(RequestState& state, const CollectPage& page) {
  std::vector<int64_t> ids;
  Recordset rs;
  rs.Open(
      "select d_id from Vantrel_CollectLog where d_flag = 0 and d_channelid = ? order by "
      "d_id desc",
      {Variant(page.channel)}, *state.db.Conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) ids.push_back(rs["d_id"].ToInt64Or(0));
  WriteBatch(state, page, ids, "flag", "");
}

// A step's message as the batch page shows it: in a quoted script string whose value becomes
// the page's markup. A message may name an address taken from a remote page.
std::string StepMessage(std::string_view message) {
  return interaction::ScriptStringEncode(HtmlEscapeText(message));
}

void GettingList(RequestState& state, const CollectRun& run, const ConsoleRequest& request) {
  const std::optional<int64_t> project = request.values.Id("projectid");
  const std::optional<int64_t> page = request.values.Id("projectpage");
  std::string doflag = request.values.Text("doflag");
  std::string message;
  bool next = false;
  if (!StepTokenMatches(state, request) || !project || !page || *page < 1 ||
      (doflag != "all" && doflag != "list")) {
    message = "参数错误";
  } else {
    std::string result = ArticleCollect_GetList(state, run, *project, *page);
    size_t bar = result.find('|');
    if (bar == std::string::npos) {
      message = result;
    } else {
      std::string first = result.substr(0, bar);
      std::string ids = result.substr(bar + 1);
      int count = 0;
      if (doflag == "all" && !ids.empty()) {
        for (const std::string& id : Split(ids, ",")) {
          ++count;
          state.host.Response->Write("<script language=javascript>parent.addDataID('" + id +
                                     "', '');</script>");
        }
      }
      next = first != "完成";
      message = "成功(有" + std::to_string(count) + "个新的需要获取的内容资料)";
    }
  }
  state.host.Response->Write("<script language=javascript>parent.doReturn('list','" +
                             StepMessage(message) + "'," + (next ? "true" : "false") +
                             ");</script>");
}

void GettingContent(RequestState& state, const CollectRun& run, const ConsoleRequest& request) {
  const std::optional<int64_t> id = request.values.Id("dataid");
  std::string dataflag = request.values.Text("dataflag");
  std::string doflag = request.values.Text("doflag");
  std::string message;
  if (!StepTokenMatches(state, request) || !id || (dataflag != "select" && !dataflag.empty()) ||
      (doflag != "0" && doflag != "1" && !doflag.empty())) {
    message = "参数错误";
  } else {
    message = ArticleCollect_GetContent(state, run, *id, dataflag, doflag);
  }
  state.host.Response->Write("<script language=javascript>parent.doReturn('data','" +
                             StepMessage(message) + "');</script>");
}

}  // namespace

std::string ArticleCollect_BatchScript(const std::vector<int64_t>& ids, std::string_view mode,
                                       std::string_view doflag, int64_t channel,
                                       std::string_view token) {
  const std::string ch = std::to_string(channel) + "&token=" + std::string(token);
  std::string s = std::string(kLineEnd) + "<script language=javascript>" + kLineEnd;
  s += "var a_ID = new Array();\r\nvar a_IDFlag = new Array();\r\nvar a_List = new Array();\r\n"
       "var a_ListPage = new Array();\r\n";
  for (int64_t id : ids) {
    std::string n = std::to_string(id);
    if (mode == "select" || mode == "flag") {
      s += "a_ID[a_ID.length] = '" + n + "';\r\n";
      s += std::string("a_IDFlag[a_IDFlag.length] = '") + (mode == "select" ? "select" : "") +
           "';\r\n";
    } else {
      s += "a_List[a_List.length] = '" + n + "';\r\na_ListPage[a_ListPage.length] = 1;\r\n";
    }
  }
  s += "</script>\r\n";
  s += "<table border=0 cellspacing=1 align=center class=msg><tr><td><span "
       "id=MSG>准备获取数据...</span></td></tr></table><br><iframe ID=\"frmGetData\" "
       "name=\"frmGetData\" "
       "MARGINHEIGHT='0' MARGINWIDTH='0' width='0' height='0' scrolling='no'></iframe>";
  s += std::string(kLineEnd) + "<script language=javascript>" + kLineEnd;
  s += "var timer;\r\nfunction doGet(){\r\n    doTimeout();\r\n    if(a_List.length>0){\r\n"
       "        frmGetData.location.replace(\"?m=admin_articlecollect&action=gettinglist&"
       "channelid=" +
       ch +
       "&projectid=\"+a_List[0]+\"&projectpage=\"+a_ListPage[0]+\"&doflag=" + std::string(mode) +
       "\");\r\n"
       "        MSG.innerHTML += \"<br>正在获取项目[项目ID：\"+a_List[0]+\"]列表资料(第\" + "
       "a_ListPage[0] + \"页)...\";\r\n        return;\r\n    }\r\n    if(a_ID.length>0){\r\n"
       "        frmGetData.location.replace(\"?m=admin_articlecollect&action=gettingcontent&"
       "channelid=" +
       ch + "&dataid=\"+a_ID[0]+\"&dataflag=\"+a_IDFlag[0]+\"&doflag=" + std::string(doflag) +
       "\");\r\n"
       "        MSG.innerHTML += \"<br>正在获取内容资料(日志ID：\" + a_ID[0] + \")...\";\r\n"
       "        return;\r\n    }\r\n    clearInterval(timer);\r\n"
       "    MSG.innerHTML += '<br><b class=red>指定数据获取完成！</b>'\r\n}\r\n"
       "function doReturn(flag, msg, b_nextpage){\r\n    switch(flag){\r\n    case 'data':\r\n"
       "        a_ID.shift();\r\n        a_IDFlag.shift();\r\n        break;\r\n"
       "    case 'list':\r\n        if (b_nextpage){\r\n"
       "            a_ListPage[0]=a_ListPage[0]+1;\r\n        }else{\r\n"
       "            a_List.shift();\r\n            a_ListPage.shift();\r\n        }\r\n"
       "        break;\r\n    }\r\n                    MSG.innerHTML += msg;\r\n"
       "    window.scroll(0,document.body.scrollHeight+document.body.clientHeight);\r\n"
       "    doGet();\r\n}\r\nfunction doTimeout(){\r\n    clearInterval(timer);\r\n"
       "    timer = setInterval('doGet()',600000);\r\n}\r\n"
       "function addDataID(s_ID, s_Flag){\r\n    a_ID.unshift(s_ID);\r\n"
       "    a_IDFlag.unshift(s_Flag);\r\n}\r\nfunction addDataID2(s_AddID, s_Flag){\r\n"
       "    var s_ID0 = a_ID[0];\r\n    var s_IDFlag0 = a_IDFlag[0];\r\n    a_ID.shift();\r\n"
       "    a_IDFlag.shift();\r\n    var arr = s_AddID.split(\",\");\r\n"
       "    for (var i=0; i<arr.length; i++){\r\n        a_ID.unshift(arr[i]);\r\n"
       "        a_IDFlag.unshift(s_Flag);\r\n    }\r\n    a_ID.unshift(s_ID0);\r\n"
       "    a_IDFlag.unshift(s_IDFlag0);\r\n}\r\ntimer=setInterval('doGet()',3000);\r\n</script>";
  return s;
}

void ArticleCollect_Run(RequestState& state, const CollectRun& run, const ConsolePage& frame) {
  const ConsoleRequest& request = frame.request;
  CollectPage page(frame);
  const std::string action = UCase(request.action);
  if (action == "GETTINGCONTENT") return GettingContent(state, run, request);
  if (action == "GETTINGLIST") return GettingList(state, run, request);

  page.search_title = FilterSql(request.values.Text("sp_title"));
  page.search_project = IdText(request.values.Id("sp_projectid"));
  page.search_flag = IdText(request.values.Id("sp_flag"));
  page.list_query = "sp_title=" + state.host.Server->URLEncode(page.search_title) +
                    "&sp_projectid=" + page.search_project + "&sp_flag=" + page.search_flag +
                    "&channelid=" + page.channel_text;
  AdminHeader(state);
  ShowSearchBar(state, page);
  struct Starter {
    const char* action;
    const char* mode;
    const char* doflag;
  };
  static constexpr Starter kStarters[] = {
      {"GETCHECKED", "select", ""},          {"GETCHECKEDTITLE", "flag", ""},
      {"GETCHECKEDHTML1", "select", "1"},    {"GETCHECKEDHTML0", "select", "0"},
      {"GETCHECKEDHTML1TITLE", "flag", "1"}, {"GETCHECKEDHTML0TITLE", "flag", "0"}};
  bool done = false;
  for (const Starter& starter : kStarters) {
    if (action == starter.action) {
      RequireFormPost(request);
      WriteBatch(state, page, CheckedIds(page), starter.mode, starter.doflag);
      done = true;
    }
  }
  if (done) {
  } else if (action == "GETCHECKEDLIST0") {
    GetCheckedList0(state, page);
  } else if (action == "DOCHECKNEW") {
    DoCheckNew(state, page);
  } else if (action == "CHECKNEW") {
    ShowCheckNew(state, page);
  } else if (action == "SET0" || action == "SET1" || action == "SET2" || action == "SET3") {
    SetFlag(state, page, action[3] - '0');
  } else if (action == "DELALL") {
    DeleteAll(state, page);
  } else if (action == "DEL") {
    DeleteChecked(state, page);
  } else {
    ShowLogList(state, page);
  }
  AdminFooter(state);
}

void ArticleCollect_Main(RequestState& state, const ConsolePage& frame) {
  CollectRun run;
  run.limits = CollectLimitsOf(state.site);
  ArticleCollect_Run(state, run, frame);
}

}  // namespace folirex
