#include "core/pg_body_index.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace folirex {
namespace {

struct CodeRange {
  uint32_t first, last;
};
constexpr CodeRange kBodyMarkRanges[] = {
    {0x01, 0x2F},     {0x3A, 0x40},     {0x5B, 0x60},     {0x7B, 0x7F},     {0x2000, 0x206F},
    {0x3000, 0x303F}, {0xFF01, 0xFF0F}, {0xFF1A, 0xFF20}, {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65}};

// lower(t) with each mark written as U+0001, in PostgreSQL's SQL: the marks as a bracket
// expression of its regular expressions ("[\u0001-\u002f...]").
std::string LoweredWithoutMarks() {
  std::string pattern = "[";
  char code[8];
  for (const CodeRange& range : kBodyMarkRanges) {
    std::snprintf(code, sizeof code, "\\u%04x", range.first);
    pattern += code;
    std::snprintf(code, sizeof code, "-\\u%04x", range.last);
    pattern += code;
  }
  return "regexp_replace(lower(t), '" + pattern + "]', chr(1), 'g')";
}

}  // namespace

bool IsBodyMark(uint32_t code_point) {
  return std::any_of(std::begin(kBodyMarkRanges), std::end(kBodyMarkRanges),
                     [code_point](const CodeRange& range) {
                       return code_point >= range.first && code_point <= range.last;
                     });
}

std::vector<std::string> PgBodyIndexFunctions() {
  const std::string unmarked = LoweredWithoutMarks();
  return {
      // The bodies' sequences, for their index (folirex_body_pairs): lower(text) with each mark
      // that is no letter or digit (ASCII's others and controls, the general punctuation, the
      // CJK symbols and punctuation, the full-width marks) written as U+0001, then each
      // character but U+0001 with the one after it (the last with U+0001), as the words of a
      // text-search vector, each once. The marks make some fifth of a Chinese body's sequences,
      // in every body alike, and no reader looks for them: a letter before a mark is kept as
      // itself with U+0001 after it, so that each of a body's letters begins a word. A keyword
      // of one letter is looked for as the words that begin with it, a longer one as each of
      // its sequences that begins with a letter (folirex_body_query), a superset that the like
      // beside it decides; one without such a sequence is left to the like (PgBodyIndexServes
      // tells them apart by the same marks). A vector holds at most a
      // mebibyte of words and takes more silently amiss, so a body whose sequences would pass
      // that (one of half a mebibyte or more) is kept as the single word U+0001, which every
      // query also looks for.
      "CREATE OR REPLACE FUNCTION folirex_body_pairs(t text) RETURNS tsvector LANGUAGE plpgsql "
      "IMMUTABLE STRICT PARALLEL SAFE AS $$ DECLARE l text := " +
          unmarked +
          "; c text[] := string_to_array(l, NULL); g text[]; BEGIN g := "
          "ARRAY(SELECT x || coalesce(y, chr(1)) FROM unnest(c, c[2:]) u(x, y) WHERE x <> "
          "chr(1)); IF 2 * octet_length(l) >= 1000000 AND (SELECT sum(octet_length(d)) FROM "
          "(SELECT DISTINCT unnest(g)) s(d)) >= 1000000 THEN RETURN "
          "array_to_tsvector(ARRAY[chr(1)]); END IF; RETURN array_to_tsvector(g); END $$",
      // A body keyword's query: the words that begin with its one lowered letter, or all of its
      // lowered sequences that begin with a letter, marks written as in the bodies; or the word
      // of an unsplit body. Quotes and backslashes are among the marks, so no word needs
      // quoting within the query's text. In PL/pgSQL, which plans its select once a session: a
      // function in SQL that cannot be inlined (this one reads from subqueries) is planned anew
      // in every statement that calls it, which cost a search more than its index's read.
      "CREATE OR REPLACE FUNCTION folirex_body_query(t text) RETURNS tsquery LANGUAGE plpgsql "
      "IMMUTABLE STRICT PARALLEL SAFE AS $$ BEGIN RETURN (SELECT cast((CASE WHEN "
      "char_length(l) = 1 THEN '''' || l || ''':*' ELSE (SELECT '(' || string_agg(DISTINCT "
      "'''' || x || y || '''', ' & ') || ')' FROM unnest(c, c[2:]) u(x, y) WHERE y IS NOT NULL "
      "AND x <> chr(1)) END) || ' | ''' || chr(1) || '''' AS tsquery) FROM (SELECT l, "
      "string_to_array(l, NULL) c FROM (SELECT " +
          unmarked + " l) m) n); END $$",
  };
}

std::pair<std::string, std::string> PgBodyIndex() {
  return {std::string(kArticleBodyPairsIndex),
          "ON Vantrel_Article USING gin (folirex_body_pairs(cast(d_content AS text)))"};
}

bool PgBodyIndexServes(const std::vector<uint32_t>& run) {
  if (run.size() == 1) return !IsBodyMark(run[0]);
  return std::any_of(run.begin(), run.end() - (run.empty() ? 0 : 1),
                     [](uint32_t cp) { return !IsBodyMark(cp); });
}

ListCondition PgBodyIndexCondition(const std::string& run) {
  return ListCondition{"folirex_body_pairs(cast(d_content as text)) @@ folirex_body_query(?)",
                       {Variant(run)},
                       ConditionKind::kNarrowing};
}

std::string PgLikeOnUnsplitBodies(const std::string& like_sql) {
  return "(octet_length(cast(d_content as text)) < 300000 or " + like_sql + ")";
}

}  // namespace folirex
