// How many of a channel's listed articles (approved, not in the recycle bin), or of one class of
// them, hold a keyword of one or two characters in their title, author, inputer or body, read from
// one row: Vantrel_ArticleGrams keeps, per channel, column, one- or two-character sequence and
// class, the count of listed articles whose text holds the sequence (SQLite: the sequences of
// platform/db/short_grams.h, ASCII letters lowered as like compares them; PostgreSQL: those of
// lower(text), as ilike compares them). Triggers on Vantrel_Article keep it, so every writer on
// any host keeps it exact: on PostgreSQL they count the changed texts themselves; on SQLite they
// copy them, in plain SQL, to a table of changes that the server counts in before it reads a
// count. A common short keyword is then counted without reading the texts that hold it.
#ifndef FOLIREX_CORE_ARTICLE_GRAMS_H_
#define FOLIREX_CORE_ARTICLE_GRAMS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"

namespace folirex {

inline constexpr std::string_view kArticleGramTable = "Vantrel_ArticleGrams";

// The table, its functions (PostgreSQL) and its triggers; each statement may run again on
// PostgreSQL over structures made in part. The table starts empty: FillArticleGrams fills it.
std::vector<std::string> ArticleGramStatements(SqlEngine engine);

// Fills the table from the articles there, inside the caller's transaction. SQLite reads each
// article once and adds up the counts in memory, writing them out every few hundred thousand
// keys, so that its memory stays bounded however many articles there are.
void FillArticleGrams(Connection& conn);

// SQLite: counts in the texts that the triggers set aside since, in a transaction of its own (a
// savepoint inside the caller's), and empties their table. Nothing on PostgreSQL.
void ApplyGramChanges(Connection& conn);

// The listed articles a search looks in: a channel's, or one class's of it.
struct ListedArticles {
  int64_t channel = 0;
  std::optional<int64_t> class_id;
};

// The count of `listed` whose `column` (d_title, d_author, d_inputer or d_content) is like
// '%keyword%' (the keyword as the pattern holds it); nullopt when the table cannot say: a keyword
// of more than two characters or none, one with like's wildcards (or, on PostgreSQL, its escape),
// another column. The structures must exist.
std::optional<int64_t> ListedKeywordCount(Connection& conn, const std::string& column,
                                          const std::string& keyword, const ListedArticles& listed);

}  // namespace folirex

#endif  // FOLIREX_CORE_ARTICLE_GRAMS_H_
