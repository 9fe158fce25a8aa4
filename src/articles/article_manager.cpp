#include "articles/article_manager.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "articles/article_bulk.h"
#include "articles/article_form.h"
#include "articles/article_save.h"
#include "articles/article_script.h"
#include "console/admin_frame.h"
#include "core/list_structures.h"
#include "core/pagination.h"
#include "core/public_request.h"
#include "core/reads_ahead.h"
#include "core/search_index.h"
#include "core/select_boxes.h"
#include "core/site_caches.h"
#include "core/text_helpers.h"
#include "platform/db/connection.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

constexpr int kPageSize = 20;

ArticleSearch Article_ShowSearch(RequestState& state, const ArticleChannel& channel,
                                 const ConsoleRequest& request) {
  const std::string& action = request.action;
  ArticleSearch search;
  search.title = FilterSql(request.values.Text("qtitle"));
  search.check_state = LCase(FilterSql(request.values.Text("qcheckstate")));
  if (search.check_state != "true" && search.check_state != "false") search.check_state.clear();
  const std::string base = "?m=admin_article&amp;channelid=" + channel.id_text;
  // The search is of a list: the recycle bin's from its own list, the articles' from every other
  // page (an edit form's action without its id would answer nothing but a parameter error).
  const std::string list = action == "recycle" ? base + "&amp;action=recycle" : base;
  std::string html =
      "<table border=0 cellspacing=0 align=center class=navi><tr><td><form name='searchform' "
      "method='post' action='" +
      list + "' style='margin:0'>标题：<input type=text name='qtitle' size=10 value='" +
      HtmlEscapeAttr(search.title) + "'> 是否审核：" +
      BuildSelect(state.db, "qcheckstate", {Variant("已审核"), Variant("未审核")},
                  {Variant("true"), Variant("false")}, Variant(search.check_state), "", "全部") +
      " <input type=submit value='查 询'></form></td><td align=right>[<a href='" + base +
      "'>所有列表</a>]&nbsp;&nbsp;[<a href='" + base +
      "&amp;action=moveall'>批量移动文章</a>]&nbsp;&nbsp;[<a href='" + base +
      "&amp;action=recycle'>文章回收站管理</a>]</td></tr></table><br>";
  state.host.Response->Write(html);
  return search;
}

const char* PrefixMark(int64_t code) {
  switch (code) {
    case 1:
      return "<font color=blue>[图文]</font>";
    case 2:
      return "<font color=blue>[组图]</font>";
    case 3:
      return "<font color=blue>[推荐]</font>";
    case 4:
      return "<font color=blue>[注意]</font>";
    default:
      return "";
  }
}

std::string Mark(const Variant& flag) {
  return flag.ToBoolOr(false) ? "√ " : "<font color=red>×</font>";
}

// What a page of the list reads: the list (its rows' source, conditions and order), its count
// when known already, and, for a title search, the ids of its matches in the list's order when
// they are kept.
struct ManagerList {
  ListQuery rows;
  std::optional<int64_t> total;
  std::shared_ptr<const std::vector<int64_t>> ids;
  std::shared_ptr<const BodyMatches> matches;  // newest last, when kept in memory
};

// The list's order: the recycle bin by id, the live list by time, newest first.
std::vector<ListOrderKey> ManagerOrder(bool recycle) {
  return {ListOrderKey{recycle ? "d_id" : "d_addtime", true}};
}

// The select of the page's columns over the articles of `source`, with their class names.
std::string ManagerSelectFrom(const std::string& source, bool recycle) {
  return "select a.d_id, a.d_classid, a.d_title, a.d_titleprefix, a.d_hotflag, a.d_topflag, "
         "a.d_recommendflag, a.d_clicktimes, a.d_checked, a.d_inputer, a.d_picurl, "
         "a.d_generatedflag, a.d_addtime, b.d_name from (select d_id, d_classid, d_title, "
         "d_titleprefix, d_hotflag, d_topflag, d_recommendflag, d_clicktimes, d_checked, "
         "d_inputer, d_picurl, d_generatedflag, d_addtime from " +
         source +
         ") a left outer join (select d_id, d_name from Vantrel_ArticleClass) b on a.d_classid "
         "= b.d_id" +
         OrderByClause(ManagerOrder(recycle), "a.");
}

// The channel's articles in the recycle bin or out of it, in the list's order, read from the
// live list's time index. Every condition here is one that moves the article data version, so
// the count is kept against it. The channel is bound (PostgreSQL sessions run each statement's
// general plan, made once); the flags are the dialect's words.
ListQuery ChannelArticles(DatabaseState& db, const ArticleChannel& channel,
                          const ArticleSearch& search, bool recycle) {
  ListQuery list;
  if (!recycle) list.hint = ArticleHintInTimeOrder(*db.Conn, db.Lists);
  list.And(ConditionKind::kLogged, recycle ? "d_deleted = true" : "d_deleted = false")
      .And(ConditionKind::kLogged, "d_channelid = ?",
           {Variant(static_cast<long long>(channel.id))});
  if (!search.check_state.empty()) {
    list.And(ConditionKind::kLogged,
             search.check_state == "true" ? "d_checked = true" : "d_checked = false");
  }
  list.order = ManagerOrder(recycle);
  return list;
}

// The list with a title search, narrowed by the search index, the like beside it deciding: a
// title that many rows hold is found by reading the list in its order and testing each row, a
// rarer one through the ids of its matches, kept against the version too.
ManagerList ArticlesTitled(RequestState& state, const ArticleChannel& channel,
                           const ArticleSearch& search, bool recycle) {
  Connection& conn = *state.db.Conn;
  const ListQuery listed = ChannelArticles(state.db, channel, search, recycle);
  ManagerList list;
  list.rows = WithKeyword(conn.engine(), listed, "d_title", search.title);
  ListQuery unhinted = listed;
  unhinted.hint.clear();
  // The live list's matches are kept in memory in the order of time: a deep page of a title that
  // many articles hold would otherwise walk the list and test every row before it (on
  // PostgreSQL each such test is a read of the table's row).
  const BodyMatchOrder kept_order = recycle ? BodyMatchOrder::kNone : BodyMatchOrder::kTime;
  const KeywordMatches found = CountKeywordMatches(
      conn, state.db.Lists, state.site_caches != nullptr ? &state.site_caches->search : nullptr,
      "d_title", search.title, unhinted, RequestedPage(state), kPageSize, kept_order);
  list.total = found.matches;
  if (found.body) {
    list.matches = found.body;
    return list;
  }
  // More matches than the id cache keeps: the live list reads its page in the order of time
  // rather than sorting every match each time.
  if (!KeywordReadsListInOrder(conn.engine(), found.matches, found.list, found.page, kPageSize) &&
      (recycle || found.matches <= static_cast<int64_t>(kMostKeywordIdsKept))) {
    list.rows = found.narrowed;
    list.rows.order = ManagerOrder(recycle);
    list.ids = CachedIds(conn, state.db.Lists, list.rows, kMostKeywordIdsKept);
  }
  return list;
}

// The page's rows, read by the pager, which also builds the page bar.
Cls_Pagination::Rows ReadListPage(RequestState& state, Cls_Pagination& pager,
                                  const ArticleChannel& channel, const ArticleSearch& search,
                                  bool recycle) {
  // The keyword is bound: each statement is planned for it.
  const PlannedForValues planned(*state.db.Conn, KeywordBoundTexts(search.title));
  ManagerList list;
  if (search.title.empty()) {
    list.rows = ChannelArticles(state.db, channel, search, recycle);
  } else {
    list = ArticlesTitled(state, channel, search, recycle);
  }
  auto select_from = [recycle](const std::string& source) {
    return ManagerSelectFrom(source, recycle);
  };
  pager.DbType("ACCESS");
  pager.Url("?m=admin_article&channelid=" + channel.id_text +
            "&qtitle=" + state.host.Server->URLEncode(search.title) +
            "&qcheckstate=" + search.check_state + (recycle ? "&action=recycle&" : "&"));
  pager.PositionFlag(Variant("0"));
  pager.PageSize(Variant(kPageSize));
  pager.NumSize(Variant(8));
  pager.Sql(select_from(list.rows.Source()));
  pager.Articles(list.rows);
  if (list.total) pager.Total(*list.total);
  if (list.ids) pager.PageIds(list.ids, select_from);
  if (list.matches) {
    pager.PageIds(
        [matches = list.matches](int64_t offset, int64_t count) {
          return KeptMatchesPageIds(*matches, true, offset, count);
        },
        select_from);
  }
  pager.DeepPages(select_from);
  // Noted for the list's next asking, which reads it with its first read (core/reads_ahead.h).
  if (ReadsAhead(state.db)) {
    if (std::optional<Connection::TogetherRead> read = pager.PlannedRead()) {
      ReadAhead(state, PageReads{.lists = {}, .others = {}, .pages = {std::move(*read)}});
    }
  }
  return pager.ResultSet();
}

// The table's head row.
std::string ListHeadRow(const ArticleChannel& channel, bool recycle) {
  std::string html =
      "<form name='delform' method='post' action='?m=admin_article&amp;action=del' "
      "style='margin:0'><table class=list align=center cellspacing=1><tr>";
  if (!recycle) html += "<th width='6%'>ID</th>";
  html += recycle ? "<th width='36%'>文章名称</th>" : "<th width='30%'>文章名称</th>";
  html +=
      "<th width='8%'>录入人</th><th width='6%'>点击数</th><th width='10%'>文章属性</th>"
      "<th width='10%'>是否审核</th>";
  if (channel.publishes) html += "<th width='8%'>是否生成</th>";
  html +=
      "<th width='6%'><input type=checkbox name='chkSelectAll' onclick='doCheckAll(this)'>"
      "</th></tr>\r\n";
  return html;
}

// One article's row, from the columns of ManagerSelectFrom.
std::string ListRow(const std::vector<Variant>& r, const ArticleChannel& channel, bool recycle) {
  std::string id = r[0].ToString();
  std::string class_name =
      r[13].IsNull() || r[13].IsEmpty() ? std::string("不属于任何分类") : r[13].ToString();
  std::string html = "<tr align=center>";
  if (!recycle) html += "<td>" + id + "</td>";
  html += "<td align=left><a href='?m=admin_article&amp;action=edit&amp;id=" + id +
          "&amp;channelid=" + channel.id_text + "'>[" + HtmlEscapeText(class_name) + "] " +
          PrefixMark(Trim(r[3].ToString()) == "" ? 0 : r[3].ToInt64Or(0)) +
          HtmlEscapeText(r[2].ToString()) + "</a></td>";
  html += "<td>" + HtmlEscapeText(r[9].ToString()) + "</td><td>" + r[7].ToString() + "</td>";
  html += "<td>";
  html += r[5].ToBoolOr(false) ? "<font color=blue>顶</font>" : "&nbsp;&nbsp;";
  html +=
      r[4].ToBoolOr(false) ? "<font color=red>&nbsp;热&nbsp;</font>" : "&nbsp;&nbsp;&nbsp;&nbsp;";
  html += r[6].ToBoolOr(false) ? "<font color=green>荐&nbsp;</font>" : "&nbsp;&nbsp;&nbsp;";
  html += Trim(r[10].ToString()).empty() ? "&nbsp;&nbsp;" : "<font color=blue>图</font>";
  html += "</td><td>" + Mark(r[8]) + "</td>";
  if (channel.publishes) html += "<td>" + Mark(r[11]) + "</td>";
  html += "<td><input type=checkbox name='selectdel' value='" + id + "'></td></tr>\r\n";
  return html;
}

// The page bar and the bulk actions under a list that holds rows.
std::string ListActionBar(const Cls_Pagination& pager, const ArticleChannel& channel,
                          bool recycle) {
  std::string options =
      recycle ? "<option value='delrecycle'>彻底删除</option><option value='empty'>清空</option>"
                "<option value='reback'>还原</option><option value='rebackall'>全部还原</option>"
              : "<option value='del'>删除</option><option value='delall'>全部删除</option>"
                "<option value='check'>通过审核</option><option value='uncheck'>取消通过</option>"
                "<option value='checkall'>全部通过</option><option value='settop'>固顶</option>"
                "<option value='unsettop'>解固</option><option value='setrecommend'>设为推荐"
                "</option><option value='unsetrecommend'>解除推荐</option>";
  return "<table class=list align=center cellspacing=1><tr><td>"
         "<table border=0 cellpadding=1 cellspacing=3 width='100%'><tr><td>" +
         pager.ShowPage() +
         "</td><td align=right><form name='actionform' method='post' style='margin:0'> "
         "操作：<select name='selection' size=1>" +
         options +
         "</select> <input type=button value='执行' onclick=\"checkAction(this.form."
         "selection.options[this.form.selection.selectedIndex].value,'" +
         channel.id_text + "')\"></form></td></tr></table></td></tr></table>\r\n";
}

}  // namespace

void Article_ShowList(RequestState& state, const ArticleChannel& channel,
                      const ArticleSearch& search, bool recycle) {
  Cls_Pagination pager(state);
  const Cls_Pagination::Rows rows = ReadListPage(state, pager, channel, search, recycle);
  std::string html = ListHeadRow(channel, recycle);
  for (const std::vector<Variant>& r : rows) html += ListRow(r, channel, recycle);
  if (pager.TotalRecord() == 0) {
    const int columns = channel.publishes ? 8 : 7;
    html +=
        "<tr><td colspan=" + std::to_string(columns) + " align=center>暂无此类数据！</td></tr>\r\n";
  }
  html += "</table></form>";
  if (pager.TotalRecord() > 0) html += ListActionBar(pager, channel, recycle);
  state.host.Response->Write(html);
}

void Article_Main(RequestState& state, const ConsolePage& page) {
  AdminHeader(state);
  const ConsoleRequest& request = page.request;
  ArticleChannel channel = LoadArticleChannel(state, request.channel_id);
  const std::string word = HtmlEscapeText(channel.word);
  ChannelNavi(state, channel, word + "管理");
  ArticleSearch search = Article_ShowSearch(state, channel, request);
  RunAdminAction(
      state, request.action,
      {{"edit", [&](RequestState& s) { Article_Edit(s, channel, request); }},
       {"update", [&](RequestState& s) { Article_Update(s, channel, request); }},
       {"moveall", [&](RequestState& s) { Article_MoveAll(s, channel); }},
       {"recycle", [&](RequestState& s) { Article_ShowList(s, channel, search, true); }}},
      [&](RequestState& s) {
        if (!RunArticleBulkAction(s, channel, request)) Article_ShowList(s, channel, search, false);
      });
  AdminFooter(state);
  state.host.Response->Write(ArticleScript(true));
}

}  // namespace folirex
