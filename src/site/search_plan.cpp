#include "site/search_plan.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "core/pagination.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// A keyword of one or two characters counted from the kept counts: a common one's page comes
// from reading the list in its order, which stops after the page's rows, and no text that holds
// it is read. A page past the first few is left to the list's kept head (the pager's deep pages,
// which go with the count kept against the version). A body is read whole to be tested: a body
// keyword asked again is left to its kept matches unless there are too many to keep. On
// PostgreSQL any keyword's first request reads the list when that is the sooner (its later ones
// read its matches and keep them).
SearchPlan PlanCounted(const SearchFacts& f, int64_t matches) {
  if (matches == 0) return {SearchWay::kCountedWalk};
  const int64_t page = SearchPageOf(f.requested_page, matches);
  if (!ListReadsInOrder(f.order) || (page - 1) * kSearchPageSize >= Cls_Pagination::kDeepFromRow) {
    return {SearchWay::kNext};
  }
  const bool body = f.column == SearchColumn::kContent;
  // "Asked before" counts only where it decides: a keyword is noted as asked just then.
  bool asks = false;
  auto asked = [&] {
    asks = true;
    return f.asked_before;
  };
  // On SQLite a body the walk passes is read and tested, while the index that reads the
  // keyword's matches whole reads an entry for each: the walk is taken only when it passes few
  // bodies beside the entries.
  const bool reads_in_order =
      body && f.engine == SqlEngine::kSqlite && f.index_reads
          ? ListRowsPassed(matches, f.list_rows, page, kSearchPageSize) *
                    static_cast<double>(kIndexEntriesPerBodyTested) <
                static_cast<double>(matches)
          : KeywordReadsListInOrder(f.engine, matches, f.list_rows, page, kSearchPageSize);
  const bool walks =
      (!body || matches > kMostMatchesPutInTime || !asked()) &&
      (reads_in_order || (!body && matches > static_cast<int64_t>(kMostKeywordIdsKept)) ||
       (FirstKeywordReadsListInOrder(f.engine, matches, f.list_rows, page, kSearchPageSize) &&
        (body || !asked())));
  return {walks ? SearchWay::kCountedWalk : SearchWay::kNext, asks};
}

// The trigram index's matches: a page in the order of ids is a slice of them; in the order of
// time they are put in that order (kept from the keyword's second request on) unless there are
// too many to look up, or the list's time index passes few rows on the way to the page's last for
// a keyword asked the first time, or hardly more than the page's own rows for any (a keyword
// nearly every row holds, as one of wildcards alone: looking up each match's time would cost
// more than every later walk).
SearchPlan PlanIndexed(const SearchFacts& f, int64_t matches) {
  if (IsIdOrder(f.order)) return {SearchWay::kIndexSlice};
  const int64_t page = SearchPageOf(f.requested_page, matches);
  const auto passed =
      static_cast<int64_t>(ListRowsPassed(matches, f.list_rows, page, kSearchPageSize));
  if (matches == 0 || matches > kMostMatchesPutInTime || passed <= 2 * kSearchPageSize ||
      (passed <= kFewRowsPassed && !f.asked_before)) {
    return {SearchWay::kIndexWalk, true};
  }
  return {SearchWay::kIndexInTime, true};
}

// The matches through the list's index condition: too many to keep, or few enough rows passed
// on the way to the page, and the list is read in its order instead. Testing a body costs a read
// of its row and a scan of its text: a body keyword's matches are read by their kept ids
// whenever they are kept. Clicks do not move the article data version, so ids kept in their
// order would keep an old order: the matches are sorted on every page instead.
SearchPlan PlanFound(const SearchFacts& f, const SearchFacts::Found& found) {
  const int64_t passed = IsIdOrder(f.order) ? f.list_rows : found.list;
  const bool kept = found.matches <= static_cast<int64_t>(kMostKeywordIdsKept);
  if (ListReadsInOrder(f.order) &&
      (!kept ||
       (f.column != SearchColumn::kContent &&
        KeywordReadsListInOrder(f.engine, found.matches, passed, found.page, kSearchPageSize)))) {
    return {SearchWay::kWalk};
  }
  return {SearchWay::kMatches, false, kept && ListReadsInOrder(f.order)};
}

// One row of counts for each engine (SQLite, PostgreSQL, any other).
std::array<std::array<std::atomic<int64_t>, kSearchWaysTaken>, 3> way_counts{};

std::atomic<int64_t>& WayCount(SqlEngine engine, SearchWayTaken way) {
  const size_t row = engine == SqlEngine::kSqlite ? 0 : engine == SqlEngine::kPostgres ? 1 : 2;
  return way_counts[row][static_cast<size_t>(way)];
}

}  // namespace

void SearchWayCounts::Note(SqlEngine engine, SearchWayTaken way) {
  WayCount(engine, way).fetch_add(1, std::memory_order_relaxed);
}

int64_t SearchWayCounts::Of(SqlEngine engine, SearchWayTaken way) {
  return WayCount(engine, way).load(std::memory_order_relaxed);
}

void SearchWayCounts::Reset() {
  for (auto& row : way_counts) {
    for (auto& count : row) count.store(0, std::memory_order_relaxed);
  }
}

std::string_view SearchWayTakenName(SearchWayTaken way) {
  static constexpr std::array<std::string_view, kSearchWaysTaken> kNames = {
      "like",      "counted walk", "index slice",      "index walk", "index in time",
      "kept body", "walk",         "matches kept ids", "matches"};
  return kNames[static_cast<size_t>(way)];
}

SearchColumn SearchColumnOf(std::string_view search_type) {
  const std::string type = LCase(Trim(search_type));
  if (type == "d_content") return SearchColumn::kContent;
  if (type == "d_author") return SearchColumn::kAuthor;
  if (type == "d_inputer") return SearchColumn::kInputer;
  return SearchColumn::kTitle;
}

std::string SearchColumnName(SearchColumn column) {
  switch (column) {
    case SearchColumn::kContent:
      return "d_content";
    case SearchColumn::kAuthor:
      return "d_author";
    case SearchColumn::kInputer:
      return "d_inputer";
    case SearchColumn::kTitle:
      break;
  }
  return "d_title";
}

bool IsIdOrder(OrderCode order) {
  return order == OrderCode::kIdAscending || order == OrderCode::kIdDescending;
}

bool ListReadsInOrder(OrderCode order) {
  return order != OrderCode::kClicksAscending && order != OrderCode::kClicksDescending;
}

int64_t SearchPageOf(int64_t requested, int64_t matches) {
  return std::min(requested,
                  std::max<int64_t>((matches + kSearchPageSize - 1) / kSearchPageSize, 1));
}

SearchPlan PlanSearch(const SearchFacts& facts) {
  if (facts.found) return PlanFound(facts, *facts.found);
  if (facts.indexed) return PlanIndexed(facts, *facts.indexed);
  if (facts.counted) return PlanCounted(facts, *facts.counted);
  return {SearchWay::kNext};
}

BodyMatchOrder SearchBodyOrder(SqlEngine engine, SearchColumn column, OrderCode order) {
  if ((column != SearchColumn::kContent && engine != SqlEngine::kPostgres) ||
      !ListReadsInOrder(order)) {
    return BodyMatchOrder::kNone;
  }
  return IsIdOrder(order) ? BodyMatchOrder::kId : BodyMatchOrder::kTime;
}

}  // namespace folirex
