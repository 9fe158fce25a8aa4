#include "site/search.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "core/article_grams.h"
#include "core/asked_lists.h"
#include "core/list_structures.h"
#include "core/pagination.h"
#include "core/public_request.h"
#include "core/reads_ahead.h"
#include "core/search_index.h"
#include "core/search_structures.h"
#include "core/site_caches.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/regex/regexp.h"
#include "platform/text/html_escape.h"
#include "platform/text/vb_text.h"
#include "site/article_loader.h"
#include "site/class_folders.h"
#include "site/list_support.h"
#include "site/search_plan.h"

namespace folirex {
namespace {

// The orders the search form offers (1 to 6); anything else takes its preset
// choice, newest first.
OrderCode SearchOrder(std::optional<int64_t> search_order) {
  return search_order ? OrderCodeOf(*search_order).value_or(OrderCode::kTimeDescending)
                      : OrderCode::kTimeDescending;
}

// The title as element text with every match of the keyword (any letter case)
// in a red font. The title and the keyword are both encoded, and the marks
// never split an entity.
std::string HighlightEncoded(const std::string& title, const std::string& keyword) {
  if (keyword.empty()) return HTMLEncode(title);
  std::string plain;
  for (char c : title) {
    if (c != '\x01' && c != '\x02') plain += c;
  }
  RegExp re("(" + RegexEscape(keyword) + ")", /*ignore_case=*/true,
            /*global=*/true);
  std::string marked = HTMLEncode(re.Replace(plain, "\x01$1\x02"));
  std::string out;
  for (char c : marked) {
    if (c == '\x01') {
      out += "<font color=red>";
    } else if (c == '\x02') {
      out += "</font>";
    } else {
      out += c;
    }
  }
  return out;
}

bool IsNullOrEmpty(const Variant& v) { return v.IsNull() || v.ToString().empty(); }

// The result page's select of the rows of `source`, in the search's order.
std::string SelectFrom(const std::string& source, OrderCode order) {
  return "select a.d_id,a.d_title, a.d_classid, a.d_addtime, "
         "a.d_author, a.d_clicktimes, b.d_dir, "
         "b.d_name from (select d_id, d_title, d_classid, "
         "d_addtime, d_author, d_clicktimes from " +
         source +
         ") a left outer join (select d_id,d_dir, d_name from "
         "Vantrel_ArticleClass) b on "
         "a.d_classid=b.d_id" +
         OrderByClause({OrderCodeKey(order)}, "a.");
}

// Where the result rows are read from: `list`, the matches (the rows' source, conditions and
// order; a page deep in it goes through its kept head), their count when known already, and the
// matching ids in the list's order when they are kept (a page then reads just its own rows): in
// `ids`, or for a body keyword in `body`, read from its end when `descending`.
struct SearchSource {
  ListQuery list;
  std::optional<int64_t> total;
  std::shared_ptr<const std::vector<int64_t>> ids;
  std::shared_ptr<const BodyMatches> body;
  bool descending = false;
  // Set: the ids of the page's rows, given the page's first row (0-based) and size.
  std::function<std::vector<int64_t>(int64_t offset, int64_t count)> page_ids;
};

// `list` read in the search's order, each row tested, where an index or the table itself holds
// that order (nullopt for the order of clicks, which has neither), and the rows that reading
// passes for each row of the list: in the order of time from the index that holds the texts
// beside the time, in the order of ids from the table, whose every article that reading passes
// over.
struct ListInOrder {
  std::optional<ListQuery> list;
  int64_t passed = 0;
};
ListInOrder ReadInOrder(Connection& conn, ListCaches* lists, const ListQuery& list,
                        const ListQuery& listed, OrderCode order) {
  ListInOrder in_order;
  if (!ListReadsInOrder(order)) return in_order;
  const ListOrderKey key = OrderCodeKey(order);
  in_order.list = list;
  if (IsIdOrder(order)) {
    in_order.list->hint = ArticleHintInIdOrder(conn.engine());
    in_order.list->order = {key};
    in_order.passed = CachedCount(conn, lists, ListQuery{});
  } else {
    in_order.list->hint = ArticleHintInTimeOrder(conn, lists);
    in_order.list->order = {key, {"d_id", key.descending}};
    in_order.passed = CachedCount(conn, lists, listed);
  }
  return in_order;
}

// The class a search looks in: none for 0 (every class), and for an id of more than 9 digits.
std::optional<int64_t> SearchedClass(std::optional<int64_t> search_class) {
  if (!search_class || *search_class == 0 || *search_class > 999'999'999) return std::nullopt;
  return search_class;
}

// The pages of a walk of `walk`, each row tested against `among` too when set.
std::function<std::vector<int64_t>(int64_t, int64_t)> WalkPages(
    Connection& conn, const ListQuery& walk, std::shared_ptr<const BodyMatches> among = nullptr) {
  return [&conn, walk, among = std::move(among)](int64_t offset, int64_t count) {
    return ListPageIds(conn, walk, among.get(), offset, count);
  };
}

// Whether kept matches in the search's order are read from their end.
bool KeptDescending(OrderCode order) {
  return ListReadsInOrder(order) && OrderCodeKey(order).descending;
}

// What a search keeps between requests: the serving server's (core/site_caches.h); each null in
// a state without its caches, which keeps nothing.
struct SearchKept {
  ListCaches* lists = nullptr;
  SearchCaches* search = nullptr;
  AskedLists* asked = nullptr;
};

// The plan for `facts`, "asked before" read under `purpose` (none when empty) without noting
// it; the keyword is noted as asked, once, when that decided the plan.
SearchPlan PlanAndNote(Connection& conn, AskedLists* asked, SearchFacts& facts,
                       std::string_view purpose, const ListQuery& unordered) {
  facts.asked_before = !purpose.empty() && WasAskedBefore(asked, conn, purpose, unordered);
  const SearchPlan planned = PlanSearch(facts);
  if (planned.asks) AskedBefore(asked, conn, purpose, unordered);
  return planned;
}

// The index step: true when the trigram index's matches answer, into `source`.
bool FromIndex(Connection& conn, const SearchKept& kept, SearchFacts& facts,
               const std::string& keyword, const ListQuery& listed, const ListQuery& unordered,
               SearchSource& source) {
  const OrderCode order = facts.order;
  // A keyword the trigram index does not read whole (none on PostgreSQL) goes on to the next
  // step without a read of the data version.
  if (!facts.index_reads) return false;
  const int64_t version = ArticleDataVersion(conn, kept.lists);
  std::shared_ptr<const BodyMatches> by_id =
      ListedIndexMatches(conn, kept.lists, kept.search, kept.asked, SearchColumnName(facts.column),
                         keyword, listed, version);
  if (!by_id) return false;
  facts.indexed = static_cast<int64_t>(by_id->rows.size());
  const ListInOrder in_order =
      IsIdOrder(order) ? ListInOrder{} : ReadInOrder(conn, kept.lists, listed, listed, order);
  facts.list_rows = in_order.passed;
  const SearchPlan planned = PlanAndNote(conn, kept.asked, facts, kIndexAskPurpose, unordered);
  source.total = facts.indexed;
  source.descending = KeptDescending(order);
  if (planned.way == SearchWay::kIndexSlice) {
    source.body = by_id;
    SearchWayCounts::Note(conn.engine(), SearchWayTaken::kIndexSlice);
  }
  if (planned.way == SearchWay::kIndexWalk) {
    source.page_ids = WalkPages(conn, *in_order.list, by_id);
    SearchWayCounts::Note(conn.engine(), SearchWayTaken::kIndexWalk);
  }
  if (planned.way == SearchWay::kIndexInTime) {
    source.body = KeptMatches(
        conn, kept.search, unordered, /*by_time=*/true, version,
        [&] { return MatchesInTimeOrder(conn, *by_id); }, facts.asked_before);
    if (source.body) SearchWayCounts::Note(conn.engine(), SearchWayTaken::kIndexInTime);
  }
  if (source.body || source.page_ids) return true;
  source.total.reset();
  source.descending = false;
  return false;
}

// The matches among `listed`, the channel's listed articles the keyword is looked for in
// (`listed_in` the same as values), in the search's order, by the plan PlanSearch picks at each
// step (see search_plan.h). The index condition narrows the rows; the like condition beside it
// keeps the result exactly the like's. The count is kept against the article data version.
SearchSource FindSearchSource(RequestState& state, SearchColumn column, const std::string& keyword,
                              const ListQuery& listed,
                              const std::optional<ListedArticles>& listed_in, OrderCode order) {
  Connection& conn = *state.db.Conn;
  // The server's; a state without its caches keeps none.
  SiteCaches* caches = state.site_caches;
  const SearchKept kept{.lists = state.db.Lists,
                        .search = caches != nullptr ? &caches->search : nullptr,
                        .asked = caches != nullptr ? &caches->asked_lists : nullptr};
  const std::string name = SearchColumnName(column);
  auto taken = [&](SearchWayTaken way) { SearchWayCounts::Note(conn.engine(), way); };
  SearchSource source;
  source.list = keyword.empty() ? listed : WithKeyword(conn.engine(), listed, name, keyword);
  source.list.order = {OrderCodeKey(order)};
  if (keyword.empty()) {
    taken(SearchWayTaken::kLike);
    return source;
  }
  const ListQuery unordered = source.list.Whole();
  EnsureListStructures(conn, kept.lists);
  SearchFacts facts{
      .engine = conn.engine(),
      .column = column,
      .order = order,
      .requested_page = std::max<int64_t>(RequestedPage(state), 1),
      .index_reads = ListReadsInOrder(order) && IndexReadsMatches(conn.engine(), name, keyword)};
  // Like's wildcards alone, where the index's sizes of the texts do not give their matches (on
  // PostgreSQL, in the order of clicks): nearly every row holds them, and the list is read as
  // without a keyword, each row's length tested on the way (ArticleTextLike).
  if (WildcardsAloneLength(keyword) && !facts.index_reads) {
    taken(SearchWayTaken::kLike);
    return source;
  }
  // The kept counts and the trigram index answer once the search's structures are built; the
  // like alone finds the same rows before.
  facts.counted =
      listed_in && SearchIndexReady(conn, SearchReadyOf(kept.lists))
          ? ListedKeywordCount(conn, name, keyword, *listed_in,
                               [&state](const BoundSql& read) {
                                 return TakeReadAhead(state.caches, read.sql, read.params);
                               })
          : std::nullopt;
  if (facts.counted) {
    const ListInOrder in_order = ReadInOrder(conn, kept.lists, source.list, listed, order);
    facts.list_rows = in_order.passed;
    if (PlanAndNote(conn, kept.asked, facts, kCountedAskPurpose, unordered).way ==
        SearchWay::kCountedWalk) {
      source.total = facts.counted;
      if (in_order.list) source.page_ids = WalkPages(conn, *in_order.list);
      taken(SearchWayTaken::kCountedWalk);
      return source;
    }
  }
  if (FromIndex(conn, kept, facts, keyword, listed, unordered, source)) return source;
  const KeywordMatches found = CountKeywordMatches(
      conn, kept.lists, kept.search, name, keyword, listed, RequestedPage(state), kSearchPageSize,
      SearchBodyOrder(conn.engine(), column, order), facts.counted);
  source.total = found.matches;
  if (found.body) {
    source.body = found.body;
    source.descending = KeptDescending(order);
    taken(SearchWayTaken::kKeptBody);
    return source;
  }
  const ListInOrder in_order = ReadInOrder(conn, kept.lists, source.list, listed, order);
  facts.list_rows = in_order.passed;
  facts.found = SearchFacts::Found{found.matches, found.list, found.page};
  const SearchPlan planned = PlanAndNote(conn, kept.asked, facts, "", unordered);
  source.list = planned.way == SearchWay::kWalk ? *in_order.list : found.narrowed;
  source.list.order = {OrderCodeKey(order)};
  if (planned.keep_ids) source.ids = CachedIds(conn, kept.lists, source.list, kMostKeywordIdsKept);
  taken(planned.way == SearchWay::kWalk ? SearchWayTaken::kWalk
        : planned.keep_ids              ? SearchWayTaken::kMatchesKeptIds
                                        : SearchWayTaken::kMatches);
  return source;
}

// What every result row's links are built from.
struct ResultLinks {
  const ChannelSettings& searched;
  const ChannelFolder& folder;  // the searched channel's
  std::string install;
  std::string channel;  // the searched channel's id as the links carry it
  std::string mode;     // its HTML mode
};

// One result row of the select's columns: the class link, the article link with the title
// (the keyword marked), the author, the time and the clicks.
std::string ResultRow(const ResultLinks& links, const std::vector<Variant>& row,
                      const std::string& keyword) {
  auto at = [&row](size_t i) { return i < row.size() ? row[i] : Variant::Null(); };
  const Variant id = at(0), title = at(1), class_of = at(2), add_time = at(3), author = at(4),
                clicks = at(5), dir = at(6), name = at(7);
  const ChannelSettings& searched = links.searched;
  const std::string& channel_url = links.folder.path;
  const std::string author_text = IsNullOrEmpty(author) ? "未知" : HTMLEncode(author);

  // The class name is text, as the title and the author are.
  std::string class_part;
  if (IsNullOrEmpty(name)) {
    class_part = "不属于任何专题";
  } else if (links.mode == "1") {
    class_part = "<a href='" + ClassListDirFor(channel_url, searched.ListDirType, dir) + "list_" +
                 class_of.ToString() + searched.ListFileExt + "'>" +
                 HtmlEscapeAttr(name.ToString()) + "</a>";
  } else {
    class_part = "<a href='" + links.install +
                 "asp.asp?m=classlist&classid=" + class_of.ToString() +
                 "&channelid=" + links.channel + "'>" + HtmlEscapeText(name.ToString()) + "</a>";
  }

  std::string target;
  if (links.mode == "1" || links.mode == "2") {
    target = channel_url;
    if (!IsNullOrEmpty(dir)) target += dir.ToString() + "/";
    target += GetContentFileName(links.folder.dir, id, add_time, searched.ContentFileType,
                                 searched.ContentFileExt);
  } else {
    target = links.install + "asp.asp?m=content&articleid=" + id.ToString() +
             "&channelid=" + links.channel;
  }
  return "<tr><td>[" + class_part + "]&nbsp;<a href='" + target + "'>" +
         HighlightEncoded(title.ToString(), keyword) + "[" + author_text + "][" +
         add_time.ToString() + "][" + clicks.ToString() + "]</a></td></tr>";
}

}  // namespace

std::string ShowSearchResult(RequestState& state, const ChannelSettings& searched,
                             std::string_view search_type, std::optional<int64_t> search_class,
                             std::string_view search_keyword, std::optional<int64_t> search_order) {
  const ChannelFolder folder =
      GetChannelFolder(state.host, state.db, state.caches, searched.ChannelID);
  const ResultLinks links{searched, folder, InstallPath(state), SqlNumber(searched.ChannelID),
                          searched.GenerateHtml.ToString()};
  const SearchColumn column = SearchColumnOf(search_type);
  const std::optional<int64_t> searched_class = SearchedClass(search_class);
  const std::string class_id = searched_class ? std::to_string(*searched_class) : "0";
  const std::string keyword(search_keyword);
  const OrderCode order = SearchOrder(search_order);

  // Articles in the recycle bin or waiting for approval are not the site's to
  // show.
  ListQuery listed;
  listed.And(ConditionKind::kLogged, "d_channelid = ?", {NumberValue(searched.ChannelID)})
      .And(ConditionKind::kLogged, "d_deleted = false")
      .And(ConditionKind::kLogged, "d_checked = true");
  if (searched_class) {
    listed.And(
        IdCondition(state.db, "d_classid", Variant(static_cast<long long>(*searched_class))));
  }
  // The kept counts answer for a channel id that is a whole number (as the condition reads it).
  std::optional<ListedArticles> listed_in;
  int64_t channel_number = 0;
  const std::string& channel_text = links.channel;
  if (std::from_chars(channel_text.data(), channel_text.data() + channel_text.size(),
                      channel_number)
          .ptr == channel_text.data() + channel_text.size()) {
    listed_in = ListedArticles{.channel = channel_number, .class_id = searched_class};
  }
  // The keyword is bound: each statement is planned for it.
  const PlannedForValues planned(*state.db.Conn, KeywordBoundTexts(keyword));
  const SearchSource source = FindSearchSource(state, column, keyword, listed, listed_in, order);

  Cls_Pagination pager(state);
  pager.DbType("ACCESS");
  // The keyword goes into the links as the site's query strings carry text:
  // code page 936, percent-encoded.
  pager.Url(links.install + "asp.asp?m=search&searchtype=" + SearchColumnName(column) +
            "&searchclass=" + class_id + "&searchkeyword=" + UrlEncodeGbk(keyword) +
            "&searchorder=" + std::to_string(static_cast<int>(order)) +
            "&channelid=" + links.channel + "&");
  pager.PositionFlag(Variant("2"));
  pager.PageSize(Variant(static_cast<int>(kSearchPageSize)));
  pager.NumSize(Variant(6));
  pager.Sql(SelectFrom(source.list.Source(), order));
  pager.Articles(source.list);
  if (source.total) pager.Total(*source.total);
  auto select_from = [order](const std::string& from) { return SelectFrom(from, order); };
  if (source.ids) pager.PageIds(source.ids, select_from);
  if (source.page_ids) pager.PageIds(source.page_ids, select_from);
  if (source.body) {
    pager.PageIds(
        [body = source.body, descending = source.descending](int64_t offset, int64_t count) {
          return KeptMatchesPageIds(*body, descending, offset, count);
        },
        select_from);
  }
  // Clicks do not move the article data version: results in their order keep no head.
  if (ListReadsInOrder(order)) pager.DeepPages(select_from);
  // Noted for the search's next asking, which reads it with its first read (core/reads_ahead.h),
  // unless it binds the keyword; a walk's page is not planned, as a statement finds its ids.
  if (ReadsAhead(state.db) && !source.page_ids) {
    if (std::optional<Connection::TogetherRead> read = pager.PlannedRead()) {
      ReadAhead(state, PageReads{.lists = {}, .others = {}, .pages = {std::move(*read)}});
    }
  }
  Cls_Pagination::Rows rows = pager.ResultSet();
  if (pager.TotalRecord() <= 0) return "暂时没有数据<br>";

  std::string html =
      "<table width='100%' border='0' align='center' "
      "cellpadding='3' cellspacing='0'>";
  for (const std::vector<Variant>& row : rows) html += ResultRow(links, row, keyword);
  html += "</table><p align=right>" + pager.ShowPage() + "</p>";
  return html;
}

std::vector<BoundSql> SearchFirstReads(const PublicRequest& request) {
  if (request.search_keyword.empty() || !request.channel_id) return {};
  const ListedArticles listed{.channel = *request.channel_id,
                              .class_id = SearchedClass(request.search_class)};
  std::optional<BoundSql> read = ListedKeywordCountRead(
      SqlEngine::kPostgres, SearchColumnName(SearchColumnOf(request.search_type)),
      request.search_keyword, listed);
  if (!read) return {};
  return {std::move(*read)};
}

std::string ShowSearchClassSelect(DatabaseState& db, const ChannelSettings& channel) {
  Recordset rs;
  rs.Open(db::KeptRead{.tables = {"Vantrel_ArticleClass"},
                       .sql = "select d_id, d_name, d_level from Vantrel_ArticleClass where "
                              "d_channelid= " +
                              SqlNumber(channel.ChannelID) + " order by d_order"},
          *db.Conn);
  std::string options;
  while (!rs.Eof()) {
    std::string indent;
    for (int64_t level = rs["d_level"].ToInt64Or(0); level > 0; --level) indent += "\u3000";
    options += "<option value='" + rs["d_id"].ToString() + "'>" + indent +
               HTMLEncode(rs["d_name"]) + "</option>";
    rs.MoveNext();
  }
  rs.Close();
  return "<select name='searchclass' size=1><option value=0>所有分类</option>" + options +
         "</select>";
}

}  // namespace folirex
