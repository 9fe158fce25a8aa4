// How the public search answers a keyword, picked before anything is read for it: from the
// kept counts of the texts' short sequences with a walk of the list in its order, from the
// trigram index's matches (a slice of them, a walk of the list's time index that tests them, or
// the matches kept in the order of time), or from the keyword's matches read through the list's
// index condition (their ids kept) or a walk of the list in its order.
//
// PlanSearch is pure: the same facts give the same plan, and nothing is read or noted. The
// search gathers the facts a step at a time (each step's facts cost a read), asks for the plan
// after each, and runs the first plan that answers. Whether the keyword was asked before is a
// fact read without noting it; the plan says whether that fact decided anything, and the search
// then notes the keyword as asked, once.
#ifndef FOLIREX_SITE_SEARCH_PLAN_H_
#define FOLIREX_SITE_SEARCH_PLAN_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/search_index.h"
#include "platform/db/db_error.h"
#include "site/list_support.h"

namespace folirex {

// The rows of a page of search results.
inline constexpr int64_t kSearchPageSize = 20;

// The most rows of the list's time index read on the way to a page of a keyword's matches, and
// the most matches whose times are looked up to put them in that order instead.
inline constexpr int64_t kFewRowsPassed = 2000;
inline constexpr int64_t kMostMatchesPutInTime = 100'000;

// On SQLite, about how many entries of the bodies' trigram index are read in the time a body is
// read and tested by the like (a body of real text, some 700 characters).
inline constexpr int64_t kIndexEntriesPerBodyTested = 8;

// The fields the search form offers.
enum class SearchColumn { kTitle, kContent, kAuthor, kInputer };

// The field the form's choice names (any letter case, blanks around it); the title for anything
// else, as the form's first choice is.
SearchColumn SearchColumnOf(std::string_view search_type);
// The field's column name ("d_title", "d_content", "d_author", "d_inputer").
std::string SearchColumnName(SearchColumn column);

// True for the orders of ids.
bool IsIdOrder(OrderCode order);
// True for the orders of ids and of time, which the list can be read in (the table or its time
// index holds them); false for the orders of clicks.
bool ListReadsInOrder(OrderCode order);

// What is known of a keyword when a plan is picked. The step is the last of the optional counts
// that is set: `found`, else `indexed`, else `counted`.
struct SearchFacts {
  SqlEngine engine = SqlEngine::kSqlite;
  SearchColumn column = SearchColumn::kTitle;
  OrderCode order = OrderCode::kTimeDescending;
  int64_t requested_page = 1;  // 1 or more
  // The rows a reading of the list in the search's order passes for all of it (the listed
  // articles in the order of time, the whole table in the order of ids).
  int64_t list_rows = 0;
  // Whether the keyword was asked before under the step's purpose (SearchPlan::asks), read
  // without noting it.
  bool asked_before = false;
  // Whether the trigram index reads the keyword's matches whole (IndexReadsMatches, in an order
  // the list is read in), the step after the kept counts.
  bool index_reads = false;
  // The keyword's matches by the kept counts of short sequences.
  std::optional<int64_t> counted = std::nullopt;
  // The keyword's matches from the trigram index alone.
  std::optional<int64_t> indexed = std::nullopt;
  // The keyword's matches, the rows of the list without it and the page, as counted through the
  // list's index condition (CountKeywordMatches), when its matches were not kept whole.
  struct Found {
    int64_t matches = 0;
    int64_t list = 0;
    int64_t page = 1;
  };
  std::optional<Found> found = std::nullopt;
};

// How a step answers.
enum class SearchWay {
  kNext,         // this step cannot answer: the search goes on to the next
  kCountedWalk,  // the count is `counted`; the rows come from a walk of the list in its order
                 // (or, with no list in that order, from the matching list)
  kIndexSlice,   // the rows are a slice of the index's matches, in the order of ids
  kIndexWalk,    // a walk of the list's time index, each row tested against the index's matches
  kIndexInTime,  // the index's matches put in the order of time and kept
  kWalk,         // a walk of the list in its order, each row tested
  kMatches,      // the matches read through the list's index condition
};

struct SearchPlan {
  SearchWay way = SearchWay::kNext;
  // Whether the step's "asked before" decided the plan: the search then notes the keyword as
  // asked under the step's purpose.
  bool asks = false;
  // For kMatches: the matching ids are kept (few enough, and not in an order of clicks).
  bool keep_ids = false;
  bool operator==(const SearchPlan&) const = default;
};

// The purpose "asked before" is read under at each step: the kept counts' "matches", the
// index's "time"; none for the last step.
inline constexpr std::string_view kCountedAskPurpose = "matches";
inline constexpr std::string_view kIndexAskPurpose = "time";

// The plan for the step the facts reach (see SearchFacts).
SearchPlan PlanSearch(const SearchFacts& facts);

// The order a keyword's matches are kept in memory in when the last step reads them: a body's
// in the orders of time and of ids; on PostgreSQL a title's, author's or inputer's too, since
// there each row a walk of the list tests is a read of the table's row (SQLite tests them in the
// time index).
BodyMatchOrder SearchBodyOrder(SqlEngine engine, SearchColumn column, OrderCode order);

// The page of `matches` rows that `requested` (1 or more) comes to: the last for one past it.
int64_t SearchPageOf(int64_t requested, int64_t matches);

// The ways a search's rows are read by, once one is taken.
enum class SearchWayTaken {
  kLike,            // the like alone: no keyword, or like's wildcards alone
  kCountedWalk,     // SearchWay::kCountedWalk
  kIndexSlice,      // SearchWay::kIndexSlice
  kIndexWalk,       // SearchWay::kIndexWalk
  kIndexInTime,     // SearchWay::kIndexInTime
  kKeptBody,        // the keyword's matches kept in memory by CountKeywordMatches
  kWalk,            // SearchWay::kWalk
  kMatchesKeptIds,  // SearchWay::kMatches with the ids kept
  kMatches,         // SearchWay::kMatches, read through the index condition on every page
};
inline constexpr int kSearchWaysTaken = 9;

// How many times each way was taken, by engine, in this process: a count of relaxed atomics
// bumped once per search page where its way is settled, for tests that must reach every way.
class SearchWayCounts {
 public:
  static void Note(SqlEngine engine, SearchWayTaken way);
  static int64_t Of(SqlEngine engine, SearchWayTaken way);
  static void Reset();
};
std::string_view SearchWayTakenName(SearchWayTaken way);

}  // namespace folirex

#endif  // FOLIREX_SITE_SEARCH_PLAN_H_
