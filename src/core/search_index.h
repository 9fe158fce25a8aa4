// The index condition of a keyword search over the articles' titles, authors, inputers or
// bodies: an "and ..." clause that narrows Vantrel_Article to a superset of the rows whose column
// is like '%keyword%' (SQLite: the FTS5 trigram tables of core/list_structures.h and their
// terms; PostgreSQL: the GIN indexes of the one- and two-character sequences of the titles,
// authors and inputers, and of the bodies' two-character sequences), so that a query keeping the
// plain like condition beside it gives exactly the like's rows, fast. The structures must exist
// (EnsureListStructures) and be built (core/search_structures.h): until they are,
// CountKeywordMatches and ListedIndexMatches use none of them.
#ifndef FOLIREX_CORE_SEARCH_INDEX_H_
#define FOLIREX_CORE_SEARCH_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/asked_lists.h"
#include "core/list_query.h"
#include "core/list_structures.h"
#include "platform/cache/lru_cache.h"
#include "platform/db/connection.h"
#include "platform/db/db_error.h"

namespace folirex {

struct SearchCaches;  // below

// The least number of characters of the texts that are like '%keyword%' when the keyword is made
// of like's wildcards alone ('%' and '_', each '_' one character): the count of its '_'. nullopt
// for an empty keyword or one with any other character.
std::optional<size_t> WildcardsAloneLength(std::string_view keyword);

// The search's own condition, `column` like '%keyword%' (the keyword as the pattern holds it,
// wildcards kept, quotes not yet doubled); logged unless it tests the body. A keyword of
// wildcards alone is tested as what it means, a text of at least WildcardsAloneLength
// characters (not null), without matching the text against the pattern. On PostgreSQL the
// column is compared as text: like on a citext column and like on its text fold letter case
// alike, but only the text form is what the sequence indexes are made from and the planner has
// statistics of; a keyword without letter case (CJK, digits, punctuation) is compared by the
// case-sensitive like, which gives the same rows without lowering each text tested. A keyword
// whose longest run between wildcards is shorter than three characters is tested within coalesce
// there, so that the planner does not take its matches for a handful of rows. A backslash is
// text in the pattern on both databases.
ListCondition ArticleTextLike(SqlEngine engine, const std::string& column,
                              const std::string& keyword);

// Whether every character of `keyword` is one whose letter case nothing folds (CJK, digits,
// punctuation): a like of it finds the same rows compared case-sensitively.
bool KeywordHasNoLetterCase(const std::string& keyword);

// PostgreSQL: `text` (a like pattern or a part of one) for its case-sensitive like, ~~, which
// takes a backslash as an escape: each backslash doubled, so that it stands for itself as it does
// in SQLite's like and in the pages' like there (ILIKE ... ESCAPE '').
std::string CaseSensitiveLikeText(std::string_view text);

// The condition for `column` (d_title, d_author, d_inputer or d_content, unqualified) and the
// keyword as the like pattern holds it between its two '%' (wildcards kept, quotes not yet
// doubled): on SQLite a narrowing of the ids, on PostgreSQL a test of the column's own sequences
// (logged, but for the body's); nullopt when no index serves the keyword (only wildcards, a short
// run of characters with letter case beyond ASCII, or on PostgreSQL a backslash or U+0001) or
// the column (any other).
std::optional<ListCondition> ArticleTextIndexCondition(SqlEngine engine, const std::string& column,
                                                       const std::string& keyword);

// The texts the two conditions above bind on PostgreSQL for `keyword`, the like's pattern first
// and the run its index key is made of: a search plans the statements that bind the pattern for
// them (PlannedForValues, platform/db/connection.h). None for an empty keyword, which no
// condition tests, nor for one of wildcards alone, whose condition binds no text.
std::vector<std::string> KeywordBoundTexts(const std::string& keyword);

// The index hint of Vantrel_Article (ListQuery::hint) in a select of the articles narrowed by an
// index condition (`narrowed`): SQLite looks the rows up by the ids the condition gives and never
// walks an index of the channel's rows instead, whatever the planner's statistics say; without a
// condition it reads them as ArticleHintInTimeOrder does. "" on PostgreSQL.
std::string ArticleHintNarrowed(Connection& conn, ListCaches* lists, bool narrowed);

// The hint for a select of a channel's articles (d_channelid and d_deleted compared for
// equality) in the order of d_addtime, either way, that tests their d_checked, d_classid, title,
// author or inputer: SQLite reads them from the index that holds these beside the time, so that a
// row that fails its test, or one passed over on the way to a deep page, costs no read of the
// table. "" on PostgreSQL, and until the index is built (ListStructuresReady): the planner then
// reads the same rows its own way.
std::string ArticleHintInTimeOrder(Connection& conn, ListCaches* lists);

// The same for reading them in the order of d_id: SQLite walks the table itself in that order
// rather than an index that it would have to sort. "" on PostgreSQL.
std::string ArticleHintInIdOrder(SqlEngine engine);

// The rows a reading of a list of `list` rows in its order passes on the way to the last row of
// page `page` (1-based) of `page_size` rows of a keyword's `matches` rows among them, taking the
// matches as spread evenly: page * page_size * list / matches (0 matches taken as 1).
double ListRowsPassed(int64_t matches, int64_t list, int64_t page, int64_t page_size);

// True when the page `page` (1-based) of `page_size` rows of a keyword's `matches` rows, among
// the `list` rows of the list without the keyword, is found sooner by reading the list in its
// order and testing each row (about page * page_size * list / matches rows) than by fetching
// and sorting every row that the index condition names (about as many as match). On PostgreSQL
// a row tested on the way is a read of the table's row as well, so a keyword of no more than
// kMostMatchesReadByIdsFirst matches (whose ids are read again after every change of the
// articles in a few milliseconds) has its list read in order only when that passes no more rows
// than a few pages'.
inline constexpr int64_t kMostMatchesReadByIdsFirst = 5000;
bool KeywordReadsListInOrder(SqlEngine engine, int64_t matches, int64_t list, int64_t page,
                             int64_t page_size);

// The same for a keyword of one or two characters asked for the first time, whose matches would
// be read for it alone: the few pages above hold for a keyword whose ids are kept, not for this
// one. False on SQLite, whose index finds such a keyword's matches among the listed ids.
bool FirstKeywordReadsListInOrder(SqlEngine engine, int64_t matches, int64_t list, int64_t page,
                                  int64_t page_size);

// The most matching ids a keyword's list keeps in the id cache (8 bytes each).
inline constexpr size_t kMostKeywordIdsKept = 20000;

// A body keyword's matches among a list's rows, kept in memory against the article data version:
// the ids of a list of Vantrel_Article (the list's conditions and the like over d_content), with
// their d_addtime. After an article change they are brought forward by testing again only the
// articles the change log names (ArticlesChangedSince), so that no request after a change reads
// every matching body again; they are read whole again only when the log cannot name the changes
// (an order or time changed, more than a few thousand articles changed, the log no longer reaches
// back). Exact for every writer on any host.
struct BodyMatches {
  // (d_addtime as yyyymmddhhmmss, d_id), in the order of both, ascending: the order in which the
  // list's time index holds them, and so the order of a walk of the list in either direction.
  // Sorted by d_id instead when kept in the order of ids (the time then 0).
  std::vector<std::pair<int64_t, int64_t>> rows;

  // For rows kept in the order of ids: a bit for each id they hold (bit id % 64 of word id / 64),
  // made on the first call and kept with them, so that an index's stream of ids is tested
  // against a list of hundreds of thousands of rows at the cost of a bit each; empty when the
  // ids are too sparse for the bits to take less room than the rows. Thread-safe.
  const std::vector<uint64_t>& IdBits() const;

 private:
  mutable std::once_flag bits_made_;
  mutable std::vector<uint64_t> bits_;
};

// The ids of `body`'s rows [offset, offset + count) in its order, read from its end when
// `descending`.
std::vector<int64_t> KeptMatchesPageIds(const BodyMatches& body, bool descending, int64_t offset,
                                        int64_t count);

// Whether ListedIndexMatches can read `column`'s matches of `keyword` from the index alone, once
// the search structures are built (it may still find them too many): on SQLite a keyword without
// wildcards of characters the index folds as like does, or one of wildcards alone.
bool IndexReadsMatches(SqlEngine engine, const std::string& column, const std::string& keyword);

// SQLite: the kept matches, in the order of ids (KeptMatches of `listed` with the like, at
// `version`), of the listed articles (`listed`, the list's conditions alone, whose ids are kept as
// KeptBodyMatches keeps matches) whose
// `column` is like '%keyword%', read whole from the trigram index: for a keyword of three
// characters or more the rows that hold its trigrams in a row (the bodies', which keeps no
// positions: those that hold them all, each listed one's body then tested with the like unless
// the keyword is a single trigram), for a shorter one those with a
// trigram that begins with it (when they hold it 1,000,000 times at most), exactly the like's rows
// for a keyword without wildcards whose characters the index folds as like does; for a keyword of
// wildcards alone, the texts of at least WildcardsAloneLength characters, read from the index's
// sizes of the texts (a null's read from the row). nullptr for any
// other keyword, another column, more matches or listed articles than kMostBodyMatchesKept, or
// PostgreSQL. Kept from the keyword's second request on (AskedBefore, in `asked`), so that
// keywords asked once fill no memory.
std::shared_ptr<const BodyMatches> ListedIndexMatches(Connection& conn, ListCaches* lists,
                                                      SearchCaches* search, AskedLists* asked,
                                                      const std::string& column,
                                                      const std::string& keyword,
                                                      const ListQuery& listed, int64_t version);

// `by_id`'s rows with their d_addtime, in the order of time (see BodyMatches); nullptr when a
// time is not a plain "yyyy-mm-dd hh:mm:ss".
std::shared_ptr<const BodyMatches> MatchesInTimeOrder(Connection& conn, const BodyMatches& by_id);

// The ids of the rows [offset, offset + count) of `list` read in its order, each row kept when
// `among` (kept in the order of ids), if given, holds it. The list is read only up to the page's
// last row: for matches common enough that it passes few rows between them.
std::vector<int64_t> ListPageIds(Connection& conn, const ListQuery& list, const BodyMatches* among,
                                 int64_t offset, int64_t count);

// The order a body keyword's matches are kept in (KeptBodyMatches), or kNone: not kept.
enum class BodyMatchOrder { kNone, kTime, kId };

// A keyword's rows among a list's: `narrowed`, the list of them (the list's conditions with the
// like, then the index condition, with its hint; no condition when `body` holds them);
// `matches`, their count and `list`, the count of the list without the keyword (0 when `body`
// holds them), both kept against the article data version (CachedCount); `page`, the requested
// page within the matches' pages;
// `body`, a body keyword's kept matches (KeptBodyMatches) when asked for and kept.
struct KeywordMatches {
  ListQuery narrowed;
  int64_t matches = 0;
  int64_t list = 0;
  int64_t page = 1;
  std::shared_ptr<const BodyMatches> body;
};

// KeywordMatches for `column` like '%keyword%' among the rows of `listed` (Vantrel_Article with
// the list's conditions). Ensures the list structures first. On SQLite a keyword of one or two
// characters that most bodies hold is looked for in the bodies without the index (its terms'
// count is kept against the data version); on PostgreSQL so is a one-character keyword that
// `counted` (its count among the listed, ListedKeywordCount, when the caller has it) finds in
// more than a quarter of the list. With `body_order`, the matches come from KeptBodyMatches in
// that order when it keeps them, and are counted otherwise.
KeywordMatches CountKeywordMatches(Connection& conn, ListCaches* lists, SearchCaches* search,
                                   const std::string& column, const std::string& keyword,
                                   const ListQuery& listed, int64_t requested_page,
                                   int64_t page_size,
                                   BodyMatchOrder body_order = BodyMatchOrder::kNone,
                                   std::optional<int64_t> counted = std::nullopt);

// `listed` with `column` like '%keyword%' beside its conditions.
ListQuery WithKeyword(SqlEngine engine, const ListQuery& listed, const std::string& column,
                      const std::string& keyword);

// The kept matches of `matches` (see BodyMatches) in the order of time (`by_time`) or of ids, at
// `version` (ArticleDataVersion, read before). `source` gives the list that reads them whole (the
// same rows: narrowed by the search index, or through another index), called only when they are
// read whole. nullptr when
// they are not kept: more than kMostBodyMatchesKept, or a time that is not a plain
// "yyyy-mm-dd hh:mm:ss". Shared and never changed; the entries held together are bounded
// (kMostBodyMatchesHeld rows in all, kMostBodyMatchLists lists; the least recently used go
// first).
std::shared_ptr<const BodyMatches> KeptBodyMatches(Connection& conn, SearchCaches* search,
                                                   const ListQuery& matches,
                                                   const std::function<ListQuery()>& source,
                                                   bool by_time, int64_t version);
// The same, kept alike, with `read_whole` giving the matches when they are read whole (nullptr:
// not kept). Unless `keep`, matches not kept already are read for the caller alone and not kept.
std::shared_ptr<const BodyMatches> KeptMatches(
    Connection& conn, SearchCaches* search, const ListQuery& matches, bool by_time, int64_t version,
    const std::function<std::shared_ptr<const BodyMatches>()>& read_whole, bool keep = true);
inline constexpr size_t kMostBodyMatchesKept = 1'000'000;
inline constexpr size_t kMostBodyMatchesHeld = 2'000'000;
inline constexpr size_t kMostBodyMatchLists = 1024;

// What a site server keeps of the searches between requests (core/site_caches.h): the kept
// matches, the lengths of the indexed texts, and the turns at reading an index whole. The
// functions above that take one keep nothing when given none (null): they read the matches and
// lengths each time, and take no turn. Thread-safe.
struct SearchCaches {
  SearchCaches();
  SearchCaches(const SearchCaches&) = delete;
  SearchCaches& operator=(const SearchCaches&) = delete;

  // The kept matches by database, select and order, each with the version it was made at, the
  // least recently used last, bounded by the rows they hold in all. A slot's own lock is held
  // while its matches are read or brought forward, so that the readers that miss together after
  // a change wait for one of them.
  struct MatchSlot {
    std::mutex mutex;
    int64_t version = -1;  // of `matches`, or of the reading that found them too many
    std::shared_ptr<const BodyMatches> matches;
  };
  std::mutex matches_mutex;
  // Charged the rows each slot's matches hold.
  LruCache<std::string, std::shared_ptr<MatchSlot>> matches{kMostBodyMatchesHeld,
                                                            kMostBodyMatchLists};

  // SQLite: the characters of each indexed text by id (search_index.cpp), by database and column,
  // with the version they were read at.
  struct TextLengths {
    int64_t version = -1;
    std::shared_ptr<const std::vector<uint16_t>> lengths;
  };
  std::mutex lengths_mutex;
  std::map<std::string, TextLengths> lengths;

  // A turn at reading a keyword's rows whole from a search index, held while they are read: as
  // many at once as the processor has threads, so that more readers of new keywords side by side
  // than it can run do not each hold an index's lists in memory at the same time.
  std::counting_semaphore<64> read_turns;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_SEARCH_INDEX_H_
