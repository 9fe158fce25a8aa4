// The log of article changes that lets a count kept at one article data version be brought to a
// later one without counting the rows again. Triggers on Vantrel_Article move the data version
// (row 1 of Vantrel_ArticleVersion) on every change that can change a count, and write the old
// image of each changed row with the sign -1 and its new image with +1 into
// Vantrel_ArticleChange, under the version the change made. The log's columns have the names,
// types and collations of the article's columns a count may test, so a count's own condition
// holds for a log row exactly when it holds for the article row it is an image of: the sum of
// the signs over the log rows of versions (v, w] that meet the condition is the count at w less
// the count at v.
//
// The log holds the changes of the last kArticleVersionsLogged versions; row 2 of
// Vantrel_ArticleVersion is the version at which it was made (it holds nothing before). The
// triggers drop what falls out, so every writer, on any host, keeps it exact and bounded without
// knowing of it. Creation runs inside core/list_structures' (EnsureListStructures).
#ifndef FOLIREX_CORE_ARTICLE_CHANGE_LOG_H_
#define FOLIREX_CORE_ARTICLE_CHANGE_LOG_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/list_query.h"
#include "platform/db/connection.h"

namespace folirex {

inline constexpr std::string_view kArticleChangeTable = "Vantrel_ArticleChange";

// The versions whose changes the log keeps: a count further behind is counted again.
inline constexpr int64_t kArticleVersionsLogged = 4096;

// The statements, in the engine's dialect, that make the log and the triggers that move the data
// version and write the log; run after row 1 of Vantrel_ArticleVersion exists, in the creation's
// transaction. They replace the version triggers of a database made before the log (the
// caller drops SQLite's first; PostgreSQL's are dropped here). Row 2 is written by them.
std::vector<std::string> ArticleChangeLogStatements(SqlEngine engine);

// Whether the log holds `column` of the article (lower case, unqualified): a condition that
// tests only such columns can be tested on its rows (core/list_query.h's kLogged).
bool IsLoggedColumn(std::string_view column);

// The count at version `to` less the count at version `from` (from < to) of the articles that
// meet `count`, from the log rows of versions (from, to]; nullopt when the log no longer holds
// them all. One statement, counted on conn.
std::optional<int64_t> CountChangeBetween(Connection& conn, const LoggedCondition& count,
                                          int64_t from, int64_t to);

// ---- The articles changed since a version, for the kept heads of the lists -------------------

// The statements, in the engine's dialect, that make the trigger writing a row of sign 0 (the
// changed row's new image, counted by no count) into the log under the version it moves, for
// every change of an article's pinning or time: the lists' order, which no count tests. They
// replace the order trigger of a database made before (which moved the version alone); run after
// the log exists.
std::vector<std::string> ArticleOrderChangeStatements(SqlEngine engine);
// The trigger they make, by which a database is known to have it.
inline constexpr std::string_view kArticleOrderChangeTrigger = "trg_article_order_change";

// ---- Bringing something kept at a version to the version now -----------------------------------

// Whether something kept at version `kept` is behind `now` by no more versions than the log keeps:
// worth asking the log (ReplaySince) rather than reading again.
bool LogReaches(int64_t kept, int64_t now);

// An article the log names among the changes after a version: whether its row met the caller's
// condition at that version and meets it now (as the log's first and last images of it say; an
// article added or removed meets it only where it exists), and whether its pinning or time
// changed (`moved`: then what it meets is read from the article itself).
struct ChangedArticle {
  int64_t id = 0;
  bool met_before = false;
  bool meets_now = false;
  bool moved = false;
};
struct LogReplay {
  int64_t version = 0;  // the data version the log was read at: what the kept thing is brought to
  std::vector<ChangedArticle> articles;  // each once, in ascending order of id
  bool moved = false;                    // whether any of them moved
};

// How much a replay may name before the caller would rather read again (0: no bound), and whether
// it must account for every version since (a version moved by a statement that changed no row
// leaves none: a caller that cannot tell such a version from a change it does not see asks this).
struct ReplayBounds {
  size_t most_rows = 0;
  size_t most_articles = 0;
  bool every_version_logged = false;
};

// The articles changed after version `from`, each tested with `test` (when null, every row of an
// existing article meets it), and the version now; nullopt when the caller
// must read again: the log no longer holds every change since `from`, `from` is past the version
// now, or the changes pass `bounds`. One statement, counted on conn.
std::optional<LogReplay> ReplaySince(Connection& conn, int64_t from, const LoggedCondition* test,
                                     const ReplayBounds& bounds);

}  // namespace folirex

#endif  // FOLIREX_CORE_ARTICLE_CHANGE_LOG_H_
