// The search page served from PostgreSQL, through its indexes of the short sequences of the
// titles, authors, inputers and bodies and the counts kept against the article data version,
// lists exactly the articles, in exactly the order, that the plain like condition finds there,
// for random keywords (Chinese, both letter cases, like's wildcards and quotes), while articles
// are added, renamed, rewritten, recycled and removed under it by another connection.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/list_structures.h"
#include "core/search_structures.h"
#include "core/text_helpers.h"
#include "pg_test_support.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "support/gram_counts_check.h"
#include "support/temp_folder.h"
#include "support/test_site.h"

namespace folirex::testing {
namespace {

// Letters the pages' code page holds, Greek in both cases among them.
const std::vector<std::string> kAlphabet = {"经", "济", "发", "展", "A", "a",  "b",  "B", "%",
                                            "_",  "'",  "é",  "Α",  "α", "Ａ", "：", "z", "，"};

std::string RandomText(std::mt19937& rng, int min_length, int max_length) {
  const int length = min_length + static_cast<int>(rng() % (max_length - min_length + 1));
  std::string text;
  for (int i = 0; i < length; ++i) text += kAlphabet[rng() % kAlphabet.size()];
  return text;
}

// The result table of a search page: the article ids it links in order, and its total.
struct Found {
  std::vector<int64_t> ids;
  std::string total = "0";
};

Found ReadResults(const std::string& page) {
  Found found;
  const size_t start = page.find(
      "<table width='100%' border='0' align='center' cellpadding='3' "
      "cellspacing='0'><tr><td>[");
  if (start == std::string::npos) return found;
  const size_t end = page.find("</table><p align=right>", start);
  const std::string mark = "m=content&articleid=";
  for (size_t at = page.find(mark, start); at != std::string::npos && at < end;
       at = page.find(mark, at + 1)) {
    found.ids.push_back(std::stoll(page.substr(at + mark.size())));
  }
  const std::string total = "共<b>";
  const size_t t = page.find(total, end);
  if (t != std::string::npos) {
    const size_t from = t + total.size();
    found.total = page.substr(from, page.find("</b>", from) - from);
  }
  return found;
}

class PgSearchIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FOLIREX_REQUIRE_POSTGRES(pg_);
    db_ = std::make_unique<PgDatabase>(pg_);
    ProgramRun init = InitSiteOn(pg_, *db_, dir_);
    ASSERT_EQ(init.code, 0) << init.output;
    password_ = PrintedPassword(init.output);
    conn_.Open(db_->ConnectionString());
    for (int n = 0; n < 150; ++n) AddArticle();
    site_ = std::make_unique<ServedSite>(dir_);
  }

  void AddArticle() {
    const int n = next_++;
    char time[32];
    std::snprintf(time, sizeof(time), "2020-01-01 %02d:%02d:%02d", n / 3600 % 24, n / 60 % 60,
                  n % 60);
    conn_.Execute(
        "insert into Vantrel_Article (d_channelid, d_title, d_author, d_inputer, d_content, "
        "d_checked, d_deleted, d_addtime) values (1, ?, ?, ?, ?, ?, ?, ?)",
        {RandomText(rng_, 1, 8), RandomText(rng_, 0, 3), RandomText(rng_, 1, 4),
         RandomText(rng_, 0, 12), Variant(rng_() % 10 != 0 ? -1 : 0),
         Variant(rng_() % 12 == 0 ? -1 : 0), time});
    ids_.push_back(conn_.ExecuteScalar("select max(d_id) from Vantrel_Article").ToInt64());
  }

  // The bodies' index of every sequence, as databases were made with before (`under_channel`:
  // under the channel), over a function of that name.
  void MakeOldBodyGramsIndex(bool under_channel) {
    conn_.Execute(
        "create or replace function folirex_body_grams(t text) returns tsvector language sql "
        "immutable as $$ select to_tsvector('simple', t) $$");
    conn_.Execute(
        "create or replace function folirex_body_key(t text) returns tsquery language sql "
        "immutable as $$ select plainto_tsquery('simple', t) $$");
    if (under_channel) conn_.Execute("create extension if not exists btree_gin");
    conn_.Execute(std::string("create index ") +
                  (under_channel ? "idx_article_content_grams" : "idx_article_content_pairs") +
                  " on Vantrel_Article using gin (" + (under_channel ? "d_channelid, " : "") +
                  "folirex_body_grams(cast(d_content as text)))");
  }

  // The search's first page in its order 4 (the newest first), 2 or 1 (the highest or the lowest
  // id first) against the like's rows, with `every_page` its second and last pages too. The
  // like is given no escape character, as SQLite's has none.
  void Compare(const std::string& column, const std::string& typed, const std::string& order = "4",
               bool every_page = false) {
    // The public entry takes quotes and semicolons out of the keyword.
    const std::string keyword = FilterSql(Variant(typed));
    std::vector<int64_t> expected;
    Recordset rs;
    // An empty keyword lists every article, an empty body among them.
    rs.Open(
        "select d_id from Vantrel_Article where d_channelid = 1 and d_deleted = false and "
        "d_checked = true and (? = '%%' or " +
            column + " like ? escape '') order by " +
            (order == "4"   ? "d_addtime desc"
             : order == "2" ? "d_id desc"
                            : "d_id asc"),
        {Variant("%" + keyword + "%"), Variant("%" + keyword + "%")}, conn_);
    for (; !rs.Eof(); rs.MoveNext()) expected.push_back(rs["d_id"].ToInt64());
    rs.Close();
    const std::string what = column + " like '%" + keyword + "%' in order " + order;
    const size_t pages = (expected.size() + 19) / 20;
    std::vector<size_t> shown = {1};
    if (every_page && pages > 2) shown.push_back(2);
    if (every_page && pages > 1) shown.push_back(pages);
    for (size_t p : shown) {
      HttpAnswer page =
          site_->Get("/asp.asp?m=search&channelid=1&searchclass=0&searchorder=" + order +
                     "&searchtype=" + column + "&searchkeyword=" + GbkUrlEncode(typed) +
                     (p > 1 ? "&page=" + std::to_string(p) : ""));
      ASSERT_EQ(page.status, 200) << what;
      Found found = ReadResults(page.text);
      EXPECT_EQ(found.total, expected.empty() ? "0" : std::to_string(expected.size()))
          << what << " page " << p;
      const size_t from = std::min(expected.size(), (p - 1) * 20);
      EXPECT_EQ(found.ids,
                std::vector<int64_t>(expected.begin() + from,
                                     expected.begin() + std::min(expected.size(), from + 20)))
          << what << " page " << p;
    }
    ++compared_;
  }

  // The manager's title search (signed in) lists the channel's live articles whose title is
  // like the keyword, newest first: its first page's ids and its total.
  void CompareManager(const std::string& typed) {
    const std::string keyword = FilterSql(Variant(typed));
    std::vector<int64_t> expected;
    Recordset rs;
    rs.Open(
        "select d_id from Vantrel_Article where d_deleted = false and d_channelid = 1 and d_title "
        "like ? order by d_addtime desc",
        {Variant("%" + keyword + "%")}, conn_);
    for (; !rs.Eof(); rs.MoveNext()) expected.push_back(rs["d_id"].ToInt64());
    rs.Close();
    const std::string page =
        site_->Get("/admin.asp?m=admin_article&channelid=1&qtitle=" + GbkUrlEncode(typed)).text;
    std::vector<int64_t> found;
    const std::string mark = "name='selectdel' value='";
    for (size_t at = page.find(mark); at != std::string::npos; at = page.find(mark, at + 1)) {
      found.push_back(std::stoll(page.substr(at + mark.size())));
    }
    const std::string total_mark = "共<b>";
    const size_t at = page.find(total_mark), from = at + total_mark.size();
    EXPECT_EQ(at == std::string::npos ? "0" : page.substr(from, page.find("</b>", from) - from),
              std::to_string(expected.size()))
        << "manager, title like '%" << keyword << "%'";
    expected.resize(std::min<size_t>(expected.size(), 20));
    EXPECT_EQ(found, expected) << "manager, title like '%" << keyword << "%'";
    ++compared_;
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::string password_;
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  std::filesystem::path dir_ = folder_.path() / "site";
  Connection conn_;
  std::unique_ptr<ServedSite> site_;
  std::mt19937 rng_{20261207};
  std::vector<int64_t> ids_;
  int next_ = 0;
  int compared_ = 0;
};

TEST_F(PgSearchIndexTest, SameRowsAndOrderAsThePlainLikeWhileArticlesChange) {
  const char* columns[] = {"d_title", "d_author", "d_inputer", "d_content"};
  // Counts kept for the sequences that 15 listed articles hold (single characters, no pair),
  // built while another connection adds, rewrites, moves and removes articles after the build
  // has counted: those are counted in at its end.
  Connection other;
  other.Open(db_->ConnectionString());
  KeepGramCountsFrom(conn_, 15, [&] {
    for (int i = 0; i < 10; ++i) {
      other.Execute(
          "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
          "d_deleted, d_addtime) values (1, ?, ?, ?, -1, 0, ?)",
          {Variant(i % 3), RandomText(rng_, 1, 8), RandomText(rng_, 0, 12),
           "2019-01-01 00:00:" + std::to_string(10 + i)});
      const Variant id(static_cast<long long>(ids_[rng_() % ids_.size()]));
      other.Execute(i % 2 == 0 ? "update Vantrel_Article set d_content = ?, d_classid = 2 where "
                                 "d_id = ?"
                               : "update Vantrel_Article set d_title = ?, d_deleted = -1 where "
                                 "d_id = ?",
                    {RandomText(rng_, 1, 8), id});
    }
    other.Execute("delete from Vantrel_Article where d_id = ?",
                  {Variant(static_cast<long long>(ids_[1]))});
  });
  const std::set<std::string> kept = KeptSequences(conn_);
  EXPECT_EQ(kept.count("1 4 经"), 1u);
  EXPECT_EQ(kept.count("1 4 经济"), 0u);
  for (int round = 0; round < 3; ++round) {
    for (int k = 0; k < 32; ++k) Compare(columns[k % 4], RandomText(rng_, 1, 4));
    for (int i = 0; i < 20; ++i) AddArticle();
    for (int i = 0; i < 20; ++i) {
      const Variant id(static_cast<long long>(ids_[rng_() % ids_.size()]));
      switch (i % 5) {
        case 4:
          // A body alone, rewritten or emptied.
          conn_.Execute("update Vantrel_Article set d_content = ? where d_id = ?",
                        {i % 3 == 0 ? Variant::Null() : Variant(RandomText(rng_, 0, 12)), id});
          break;
        case 0:
          conn_.Execute("update Vantrel_Article set d_title = ? where d_id = ?",
                        {RandomText(rng_, 1, 8), id});
          break;
        case 1:
          conn_.Execute(
              "update Vantrel_Article set d_author = ?, d_inputer = ?, d_content = ? where d_id = "
              "?",
              {RandomText(rng_, 0, 3), RandomText(rng_, 1, 4), RandomText(rng_, 0, 12), id});
          break;
        case 2:
          conn_.Execute(
              "update Vantrel_Article set d_deleted = case when d_deleted = 0 then -1 else 0 end "
              "where d_id = ?",
              {id});
          conn_.Execute("update Vantrel_Article set d_classid = ? where d_id = ?",
                        {Variant(static_cast<long long>(rng_() % 3)), id});
          break;
        default:
          // Moved to another channel and back, or removed.
          conn_.Execute(i % 10 == 3 ? "update Vantrel_Article set d_channelid = 3 - d_channelid "
                                      "where d_id = ?"
                                    : "delete from Vantrel_Article where d_id = ?",
                        {id});
      }
    }
  }
  const char* keywords[] = {"%",  "_", "'",  "a", "经",       "经济", "：",
                            "Ａ", "é", "Αa", "α", "济发展经", "\"经"};
  for (const char* keyword : keywords) {
    for (const char* column : columns) Compare(column, keyword);
  }
  // A bulk change of bodies alone, in one statement, and the same keywords in them again.
  conn_.Execute("update Vantrel_Article set d_content = ? || d_content where d_id % 3 = 0",
                {Variant("经济'a%")});
  for (const char* keyword : keywords) Compare("d_content", keyword);
  // A sequence common only since the counts were built has none kept: the search counts it
  // through the index, exactly.
  for (int i = 0; i < 40; ++i) {
    conn_.Execute(
        "insert into Vantrel_Article (d_channelid, d_title, d_content, d_checked, d_deleted, "
        "d_addtime) values (1, ?, '新', -1, 0, ?)",
        {"新" + RandomText(rng_, 0, 3), "2031-01-01 00:00:" + std::to_string(10 + i)});
  }
  Compare("d_title", "新");
  Compare("d_content", "新");
  EXPECT_EQ(compared_, 96 + 52 + 13 + 2);

  // The counts of short sequences that the triggers kept through all of it are those a count of
  // the articles as they stand gives.
  testing::ExpectKeptGramCountsAsCountedAfresh(conn_);
}

// Keywords of three characters or more are found through the indexes of two-character sequences,
// those with letter case beyond ASCII among them, and those without letter case by the
// case-sensitive like; the manager's title search, served by the same indexes, lists exactly its
// like's rows too.
TEST_F(PgSearchIndexTest, LongerKeywordsAndTheManagersTitleSearchFindTheLikesRows) {
  for (int i = 0; i < 60; ++i) AddArticle();
  conn_.Execute("update Vantrel_Article set d_title = ? || d_title where d_id % 4 = 0",
                {Variant("Ααé经济")});
  conn_.Execute(
      "update Vantrel_Article set d_author = ?, d_content = d_content || ? where d_id % 5 = 0",
      {Variant("éΑＡ"), Variant("αé经济发展")});
  // An article without a time, whose matches are then not kept in the order of time.
  conn_.Execute(
      "insert into Vantrel_Article (d_channelid, d_title, d_content, d_checked, d_deleted, "
      "d_addtime) values (1, 'a', ?, -1, 0, null)",
      {Variant("经济发展")});
  const char* keywords[] = {"αΑé", "éaΑ", "ａＡ%", "经济发展", "济发展", "_αé", "Ααé经济"};
  for (const char* keyword : keywords) {
    for (const char* column : {"d_title", "d_author", "d_inputer", "d_content"}) {
      Compare(column, keyword);
    }
  }
  ASSERT_TRUE(site_->SignIn("admin", password_));
  for (const char* keyword : {"αΑé", "Ααé经济", "经济发展", "经济", "α", "a_B", "%"}) {
    CompareManager(keyword);
  }
  EXPECT_EQ(compared_, 28 + 7);
}

// A database whose structures were made before the index of short sequences, the indexes of the
// bodies and those of recommended and pictured articles gets them when a server next opens it,
// built from the rows already there (the earlier indexes of trigrams, of the titles and of the
// bodies alone or under the channel, replaced by those of their sequences), and its keywords find
// exactly the like's rows.
TEST_F(PgSearchIndexTest, ADatabaseMadeBeforeTheShortSequenceIndexGetsItOnOpening) {
  site_.reset();
  for (const char* column : {"title", "author", "inputer"}) {
    conn_.Execute(std::string("drop index idx_article_") + column + "_grams");
  }
  // The bodies' indexes as they were made before: of their trigrams, alone and under the
  // channel, and of every sequence; the bodies in pglz.
  conn_.Execute("drop index idx_article_body_pairs");
  MakeOldBodyGramsIndex(false);
  conn_.Execute("alter table Vantrel_Article alter column d_content set compression pglz");
  conn_.Execute("create extension if not exists pg_trgm");
  conn_.Execute(
      "create index idx_article_title_trgm on Vantrel_Article using gin ((cast(d_title as text)) "
      "gin_trgm_ops)");
  conn_.Execute("create extension if not exists btree_gin");
  conn_.Execute(
      "create index idx_article_content_trgm on Vantrel_Article using gin ((cast(d_content as "
      "text)) gin_trgm_ops)");
  conn_.Execute(
      "create index idx_article_content_channel_trgm on Vantrel_Article using gin (d_channelid, "
      "(cast(d_content as text)) gin_trgm_ops)");
  conn_.Execute(
      "drop index idx_article_list_recommended, idx_article_class_list_recommended, "
      "idx_article_list_pictured");
  conn_.Execute("drop function folirex_short_grams(text)");
  conn_.Execute("drop function folirex_short_key(text)");
  for (int i = 0; i < 20; ++i) AddArticle();
  site_ = std::make_unique<ServedSite>(dir_);
  EXPECT_EQ(conn_
                .ExecuteScalar("select count(*) from pg_indexes where indexname like "
                               "'idx_article_%_grams' or indexname like '%_recommended' or "
                               "indexname in ('idx_article_list_pictured', "
                               "'idx_article_body_pairs')")
                .ToInt64(),
            7);
  EXPECT_EQ(conn_
                .ExecuteScalar("select string_agg(indexname, ' ' order by indexname) from "
                               "pg_indexes where indexname like 'idx_article_content%' or "
                               "indexname like 'idx_article_body%' or indexname like '%trgm'")
                .ToString(),
            "idx_article_body_pairs");

  EXPECT_EQ(conn_
                .ExecuteScalar("select attcompression from pg_attribute where attrelid = "
                               "'vantrel_article'::regclass and attname = 'd_content'")
                .ToString(),
            "l");
  for (const char* keyword : {"a", "经", "经济", "Α", "经济发"}) {
    for (const char* column : {"d_title", "d_author", "d_inputer", "d_content"}) {
      Compare(column, keyword);
    }
  }
  EXPECT_EQ(compared_, 20);
}

// A database whose bodies' sequences are indexed under the channel (beside their index alone, as
// a build that stopped may leave them) has them indexed alone when a server next opens it, the
// earlier index gone, and its keywords find exactly the like's rows.
TEST_F(PgSearchIndexTest, TheBodiesSequencesIndexedUnderTheChannelAreIndexedAlone) {
  site_.reset();
  MakeOldBodyGramsIndex(true);
  for (int i = 0; i < 20; ++i) AddArticle();
  site_ = std::make_unique<ServedSite>(dir_);
  EXPECT_EQ(conn_
                .ExecuteScalar("select string_agg(indexname || case when indexdef like "
                               "'%d_channelid%' then ' under the channel' else '' end, ', ') "
                               "from pg_indexes where indexname like 'idx_article_content%' or "
                               "indexname like 'idx_article_body%'")
                .ToString(),
            "idx_article_body_pairs");
  for (const char* keyword : {"a", "经", "经济", "Α", "经济发"}) {
    for (const char* column : {"d_title", "d_content"}) Compare(column, keyword);
  }
  EXPECT_EQ(compared_, 10);
}

// A body keyword of any length is named by the index of the bodies' sequences, and finds exactly
// the like's rows: one whose characters the index's query writes apart (spaces, its operators, a
// backslash, a colon), one that lowering changes, one held only by a body too long to be split
// into sequences (which the index keeps as one word that every keyword looks for), and ones of
// and beside marks, which the index writes as one.
TEST_F(PgSearchIndexTest, BodyKeywordsOfAnyLengthFindTheLikesRows) {
  std::mt19937 rng(7);
  std::string varied;  // some 180,000 distinct pairs of 600 characters: over a mebibyte
  for (int i = 0; i < 250000; ++i) {
    const uint32_t cp = 0x4E00 + rng() % 600;
    varied += static_cast<char>(0xE0 | (cp >> 12));
    varied += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    varied += static_cast<char>(0x80 | (cp & 0x3F));
  }
  const std::string tail = "长篇末尾Zq";
  const std::vector<std::string> bodies = {"a b&c|d!e:f*g(h)i", "x\\y 'z'",
                                           "été ΑΣ σα",         varied + tail,
                                           "<p>长篇</p>",       "“经济，发展。”长篇　末～"};
  for (const std::string& body : bodies) {
    conn_.Execute(
        "insert into Vantrel_Article (d_channelid, d_title, d_content, d_checked, d_deleted, "
        "d_addtime) values (1, 't', ?, -1, 0, '2021-01-01 00:00:00')",
        {Variant(body)});
  }
  for (const char* keyword :
       {"i",  "b&",   "&c|d", "!",   "e:f*",  "(h)", ":",      "*",   "|",      "x\\", "\\", "'z",
        "z'", "é",    "Σα",   "été", "σ",     "ΑΣ",  "长篇",   "长",  "末尾zq", "尾Z", "q",  "p>",
        "，", "济，", "，发", "“经", "展。”", "末",  "篇　末", "。”", "末～",   "～"}) {
    Compare("d_content", keyword);
  }
  EXPECT_EQ(compared_, 34);
}

// On a site of more articles than are indexed at once whose search indexes were never made (taken
// away here), the build, made concurrently by a host of its own, misses none of the articles
// written between its indexes: a server then finds exactly the like's rows through them, and the
// kept counts are exact.
TEST_F(PgSearchIndexTest, ArticlesWrittenWhileTheIndexesAreBuiltAreFoundAfter) {
  site_.reset();
  for (const char* index : {"idx_article_title_grams", "idx_article_author_grams",
                            "idx_article_inputer_grams", "idx_article_body_pairs"}) {
    conn_.Execute(std::string("drop index ") + index);
  }
  conn_.Execute("drop table " + std::string(kArticleGramTable) + " cascade");
  conn_.Execute("drop function folirex_article_grams() cascade");
  conn_.Execute("update Vantrel_SearchIndex set d_ready = 0, d_indexed = 0");
  {
    ScopedTransaction transaction(conn_);
    while (next_ <= kArticlesIndexedAtOnce) AddArticle();
    transaction.Commit();
  }

  Connection builder;
  builder.Open(db_->ConnectionString());
  EnsureListStructures(builder, nullptr);
  ASSERT_FALSE(ReadSearchIndexProgress(builder).ready);
  int steps = 0;
  ASSERT_TRUE(BuildSearchStructures(
      builder, {.on_progress = [&](const SearchIndexProgress& progress) {
        if (progress.ready) return;
        ++steps;
        AddArticle();
        conn_.Execute("update Vantrel_Article set d_title = ?, d_content = ? where d_id = ?",
                      {RandomText(rng_, 1, 8), RandomText(rng_, 0, 12),
                       Variant(static_cast<long long>(ids_[steps * 5]))});
        conn_.Execute("delete from Vantrel_Article where d_id = ?",
                      {Variant(static_cast<long long>(ids_[steps * 5 + 1]))});
      }}));
  EXPECT_EQ(steps, 4);
  site_ = std::make_unique<ServedSite>(dir_);
  for (const char* keyword : {"a", "经", "经济", "Α", "济发展", "a经"}) {
    for (const char* column : {"d_title", "d_author", "d_inputer", "d_content"}) {
      Compare(column, keyword);
    }
  }
  EXPECT_EQ(compared_, 24);
  // The build keeps the sequences held by 300 articles of a channel: a few dozen rows here.
  testing::ExpectKeptGramCountsAsCountedAfresh(conn_, 20);
}

// A database whose short-sequence and body keyword functions are the earlier SQL ones gets the
// PL/pgSQL ones when a server next opens it: for every text, the same sequences and queries (the
// indexes built from the earlier ones stay right), and the keywords find exactly the like's rows.
TEST_F(PgSearchIndexTest, TheEarlierSqlFunctionsAreReplacedBySameResults) {
  const std::string earlier_grams =
      " RETURNS text[] LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT "
      "coalesce(array_agg(DISTINCT g), '{}') FROM (SELECT c, lead(c) OVER (ORDER BY i) AS d FROM "
      "unnest(string_to_array(lower(t), NULL)) WITH ORDINALITY u(c, i)) s, LATERAL (VALUES (c), "
      "(c || d)) v(g) WHERE g IS NOT NULL $$";
  const std::string earlier_query =
      R"( RETURNS tsquery LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT cast((CASE )"
      R"(WHEN char_length(l) = 1 THEN '''' || l || ''':*' ELSE (SELECT '(' || string_agg()"
      R"(DISTINCT '''' || x || y || '''', ' & ') || ')' FROM unnest(c, c[2:]) u(x, y) WHERE y )"
      R"(IS NOT NULL AND x <> chr(1)) END) || ' | ''' || chr(1) || '''' AS tsquery) FROM )"
      R"((SELECT l, string_to_array(l, NULL) c FROM (SELECT regexp_replace(lower(t), )"
      R"('[\u0001-\u002f\u003a-\u0040\u005b-\u0060\u007b-\u007f\u2000-\u206f)"
      R"(\u3000-\u303f\uff01-\uff0f\uff1a-\uff20\uff3b-\uff40\uff5b-\uff65]', chr(1), )"
      R"('g') l) m) n $$)";
  const std::string earlier_key =
      " RETURNS text[] LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT CASE WHEN "
      "char_length(lower(t)) <= 2 THEN ARRAY[lower(t)] ELSE ARRAY(SELECT DISTINCT substr("
      "lower(t), i, 2) FROM generate_series(1, char_length(lower(t)) - 1) i) END $$";
  for (int i = 0; i < 20; ++i) AddArticle();
  // Each function alone made the earlier way, kept beside under another name; the next server
  // replaces it.
  const struct {
    const char* name;
    const std::string& earlier;
    const char* kept_as;
    const char* differing;  // the texts whose results differ
  } functions[] = {
      {"folirex_short_grams", earlier_grams, "earlier_grams",
       "select count(*) from (select cast(d_title as text) from Vantrel_Article union all select "
       "cast(d_author as text) from Vantrel_Article union all values (''), ('x'), ('Ab'), "
       "('ÉΑa\n经济Ａ'), (repeat('经济', 300))) t(x) where array(select distinct g from "
       "unnest(folirex_short_grams(x)) g order by 1) is distinct from earlier_grams(x)"},
      {"folirex_short_key", earlier_key, "earlier_key",
       "select count(*) from (select cast(d_title as text) from Vantrel_Article union all values "
       "(''), ('x'), ('Ab'), ('经济'), ('İ'), ('ÉΑa经济Ａ')) t(x) where array(select k from "
       "unnest(folirex_short_key(x)) k order by 1) is distinct from array(select k from "
       "unnest(earlier_key(x)) k order by 1)"},
      {"folirex_body_query", earlier_query, "earlier_query",
       "select count(*) from (select cast(d_title as text) from Vantrel_Article union all values "
       "(''), ('x'), ('Ab'), ('经'), ('经济'), ('a,b'), ('济。经'), ('\\'), ('ÉΑa\n经济Ａ')) t(x) "
       "where folirex_body_query(x) is distinct from earlier_query(x)"},
  };
  for (const auto& function : functions) {
    site_.reset();
    conn_.Execute(std::string("CREATE OR REPLACE FUNCTION ") + function.name + "(t text)" +
                  function.earlier);
    conn_.Execute(std::string("CREATE FUNCTION ") + function.kept_as + "(t text)" +
                  function.earlier);
    site_ = std::make_unique<ServedSite>(dir_);
    ASSERT_EQ(site_->Get("/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=a").status,
              200);
    EXPECT_EQ(conn_
                  .ExecuteScalar("select l.lanname from pg_proc p join pg_language l on l.oid = "
                                 "p.prolang where p.proname = ?",
                                 {Variant(function.name)})
                  .ToString(),
              "plpgsql")
        << function.name;
    EXPECT_EQ(conn_.ExecuteScalar(function.differing).ToInt64(), 0) << function.name;
  }
  for (const char* keyword : {"a", "经", "经济", "Α", "é"}) {
    for (const char* column : {"d_title", "d_author", "d_inputer", "d_content"}) {
      Compare(column, keyword);
    }
  }
  EXPECT_EQ(compared_, 20);
}

// Keywords of like's wildcards alone (a text of at least as many characters as it has '_', never
// a null), wildcards among characters, and backslashes, which are text as they are in SQLite:
// the search lists the like's rows, counts and order in each order, on its first, second and
// last pages, over titles, authors and inputers of every length, empty and null ones, and bodies
// of every length, empty and null.
TEST_F(PgSearchIndexTest, WildcardAndBackslashKeywordsFindTheLikesRowsOnEveryPage) {
  for (int i = 0; i < 100; ++i) AddArticle();
  conn_.Execute("update Vantrel_Article set d_content = null where d_id % 7 = 0");
  conn_.Execute("update Vantrel_Article set d_author = null where d_id % 5 = 0");
  conn_.Execute("update Vantrel_Article set d_content = '' where d_id % 7 = 3");
  const char* texts[] = {"C:\\目录", "C:目录",     "100%",     "100\\%",  "\\",
                         "a\\b经济", "经济，发展", "经济发展", "济经_济", "100\\\\%"};
  for (int i = 0; i < 10; ++i) {
    conn_.Execute(
        "insert into Vantrel_Article (d_channelid, d_title, d_author, d_content, d_checked, "
        "d_deleted, d_addtime) values (1, ?, ?, ?, -1, 0, ?)",
        {Variant(texts[i]), Variant(texts[(i + 3) % 10]), Variant(texts[9 - i]),
         Variant("2029-01-01 00:00:0" + std::to_string(i))});
  }
  const char* columns[] = {"d_title", "d_author", "d_inputer", "d_content"};
  const char* keywords[] = {"%",      "%%",       "_",         "%_%",       "__",   "_%_",   "____",
                            "%___%_", "________", "_________", "经济%发展", "%济_", "经_济", "_经",
                            "a%b",    "\\",       "C:\\目录",  "100\\%",    "\\%",  "目录"};
  for (const char* keyword : keywords) {
    for (const char* column : columns) Compare(column, keyword, "4", true);
    Compare("d_content", keyword, "2", true);
    Compare("d_title", keyword, "1", true);
    if (HasFatalFailure()) return;
  }
  // After a change of titles and bodies, the counts kept for the wildcards follow it.
  conn_.Execute("update Vantrel_Article set d_title = 'x', d_content = null where d_id % 4 = 1");
  for (const char* keyword : {"%", "_", "__", "\\"}) {
    Compare("d_title", keyword, "4", true);
    Compare("d_content", keyword, "4", true);
  }
  EXPECT_EQ(compared_, 20 * 6 + 8);
}

}  // namespace
}  // namespace folirex::testing
