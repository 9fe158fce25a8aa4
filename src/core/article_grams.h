// How many of a channel's listed articles (approved, not in the recycle bin), or of one class of
// them, hold a common keyword of one or two characters in their title, author, inputer or body,
// read from one row. Vantrel_ArticleGrams keeps counts only for the sequences common enough to
// need them: per channel and column, those that at least GramBuildOptions::kept_from listed
// articles held when the table was built (SQLite: the sequences of platform/text/short_grams.h,
// ASCII letters lowered as like compares them; PostgreSQL: those of lower(text), as ilike
// compares them). A kept sequence has a marker row (k_classid -1, its count the channel's) and a
// row per class that holds it; a class without a row holds it in none of its articles. A rare
// sequence has no row: its keyword is counted through the search indexes instead, which is quick
// for few matches. Triggers on Vantrel_Article keep the kept counts exact, so every writer on any
// host does: on PostgreSQL they count the changed texts themselves; on SQLite they copy them, in
// plain SQL, to a table of changes that the server counts in before it reads a count. While the
// table is being built the triggers of both engines set the changed texts aside, and the build
// counts them in at its end.
#ifndef FOLIREX_CORE_ARTICLE_GRAMS_H_
#define FOLIREX_CORE_ARTICLE_GRAMS_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/db/connection.h"
#include "platform/db/kept_reads.h"
#include "platform/db/sql_params.h"

namespace folirex {

inline constexpr std::string_view kArticleGramTable = "Vantrel_ArticleGrams";

struct GramBuildOptions {
  // A sequence's counts are kept when about this many listed articles of its channel hold it in
  // the column (told from a sample; the counts written are exact).
  int64_t kept_from = 300;
  // Builds the table again even when it is built.
  bool again = false;
  // Tests: runs on another connection's behalf once the articles are counted, while the build
  // still reads the state it counted; articles written then are counted in at the end.
  std::function<void()> after_counting;
  // Stops the build between two reads of a thousand articles when set; the table then stays
  // unbuilt, and the next build starts over.
  const std::atomic<bool>* stop = nullptr;
};

// Creates the table, its triggers (and PostgreSQL functions) if missing, and fills it from the
// articles there; may run for minutes but holds the database's write lock (SQLite) / locks
// blocking article writes (PostgreSQL) only for short moments; safe while other connections
// write articles. Must be called outside a transaction. Memory stays bounded however many
// articles there are. Returns at once when the table is built, or without building it when
// options.stop is set. A table made by an earlier
// version, which counted every sequence and has no marker rows, is built again. When another
// connection starts a build meanwhile, this one stops and leaves the table to it.
void BuildArticleGrams(Connection& conn, const GramBuildOptions& options = {});

// Whether the table is there and built (in the form above): until then ListedKeywordCount
// answers nullopt and searches count through the indexes.
bool ArticleGramsBuilt(Connection& conn);

// SQLite: counts in the texts that the triggers set aside since, in a transaction of its own (a
// savepoint inside the caller's), and empties their table. Nothing on PostgreSQL, nor while the
// table is not built (a build counts them in itself).
void ApplyGramChanges(Connection& conn);

// The listed articles a search looks in: a channel's, or one class's of it.
struct ListedArticles {
  int64_t channel = 0;
  std::optional<int64_t> class_id;
};

// The count of `listed` whose `column` (d_title, d_author, d_inputer or d_content) is like
// '%keyword%' (the keyword as the pattern holds it); nullopt when the table cannot say: a keyword
// of more than two characters or none, one with like's wildcards (or, on PostgreSQL, its escape),
// another column, a sequence whose counts are not kept, a table not built.
// The rows of a select read ahead (null: not read ahead).
using ReadAheadOf = std::function<std::shared_ptr<const db::KeptRows>(const BoundSql& read)>;
// With `read_ahead`, the row ListedKeywordCountRead names is taken from what it gives.
std::optional<int64_t> ListedKeywordCount(Connection& conn, const std::string& column,
                                          const std::string& keyword, const ListedArticles& listed,
                                          const ReadAheadOf& read_ahead = nullptr);
// The select ListedKeywordCount reads on `engine`, to be read ahead of it (on PostgreSQL with
// the request's channels); nullopt where it reads none.
std::optional<BoundSql> ListedKeywordCountRead(SqlEngine engine, const std::string& column,
                                               const std::string& keyword,
                                               const ListedArticles& listed);

}  // namespace folirex

#endif  // FOLIREX_CORE_ARTICLE_GRAMS_H_
