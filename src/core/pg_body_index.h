// PostgreSQL's index of the article bodies: a GIN index of each body's two-character sequences
// (folirex_body_pairs), the keyword query it is searched with (folirex_body_query), and the rule
// for long bodies, which the index keeps unsplit and the like beside it reads. The functions are
// made with the lists' structures (core/list_structures.h), the index by the search's build
// (core/search_structures.h), and its condition is written by the search (core/search_index.h).
#ifndef FOLIREX_CORE_PG_BODY_INDEX_H_
#define FOLIREX_CORE_PG_BODY_INDEX_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/list_query.h"

namespace folirex {

// PostgreSQL: the GIN index of the bodies' two-character sequences (folirex_body_pairs), and the
// ones databases were made with before: of every sequence, marks' too (folirex_body_grams), and
// of those under the channel. A database that still has one has its search structures built
// again, the new index in its place.
inline constexpr std::string_view kArticleBodyPairsIndex = "idx_article_body_pairs";
inline constexpr std::string_view kArticleBodyGramsIndex = "idx_article_content_pairs";
inline constexpr std::string_view kArticleBodyPairsUnderChannelIndex = "idx_article_content_grams";

// The marks that are no letter or digit, by code point, which the bodies' index of sequences
// writes as U+0001 (folirex_body_pairs): ASCII's others and its controls, the general
// punctuation, the CJK symbols and punctuation, the full-width and half-width marks.
bool IsBodyMark(uint32_t code_point);

// The statements that make folirex_body_pairs and folirex_body_query; each may run again.
std::vector<std::string> PgBodyIndexFunctions();

// The body index's name and what follows it in its CREATE INDEX.
std::pair<std::string, std::string> PgBodyIndex();

// Whether the index serves a run of the keyword, given as its code points (folirex_body_query
// finds words for it): a run of one character that is no mark, or one with a character that is no
// mark before another. Lowering keeps a mark a mark and a letter letters, so the lowered run has
// them too.
bool PgBodyIndexServes(const std::vector<uint32_t>& run);

// The condition that narrows the articles to those whose body holds the run's sequences that
// begin with a letter, read from the index without reading a body (a superset: the like beside it
// decides). Only for a run the index serves.
ListCondition PgBodyIndexCondition(const std::string& run);

// `like_sql`, a like on the body, tested only on the bodies the index keeps unsplit (one of a
// third of a mebibyte or more, whose lowered sequences might pass a mebibyte): for a keyword whose
// every match the index names exactly elsewhere.
std::string PgLikeOnUnsplitBodies(const std::string& like_sql);

}  // namespace folirex

#endif  // FOLIREX_CORE_PG_BODY_INDEX_H_
