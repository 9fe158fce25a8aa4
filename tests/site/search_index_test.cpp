// The search through the trigram indexes finds exactly the articles, in exactly the order, that
// the plain like condition finds in the titles, authors, inputers and bodies, for random keywords
// of one to four characters (Chinese, both letter cases, like's wildcards and quotes), while
// articles are added, renamed, rewritten, recycled and removed under it: the counts kept against
// the data version follow every change.
#include "core/search_index.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/article_grams.h"
#include "core/list_structures.h"
#include "core/public_request.h"
#include "core/search_structures.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "site/search.h"
#include "support/gram_counts_check.h"
#include "support/site_fixture.h"
#include "support/temp_folder.h"

namespace folirex {
namespace {

using testing::ArticleRow;
using testing::ChannelRow;
using testing::SiteFixture;

const std::vector<std::string> kAlphabet = {"经", "济", "发", "展", "A", "a",  "b",  "B",
                                            "%",  "_",  "'",  "é",  "É", "Ａ", "：", "z"};

std::string RandomText(std::mt19937& rng, int min_length, int max_length) {
  const int length = min_length + static_cast<int>(rng() % (max_length - min_length + 1));
  std::string text;
  for (int i = 0; i < length; ++i) text += kAlphabet[rng() % kAlphabet.size()];
  return text;
}

// The article ids a search page links, in the page's order.
std::vector<int64_t> LinkedIds(const std::string& html) {
  std::vector<int64_t> ids;
  const std::string mark = "m=content&articleid=";
  for (size_t at = html.find(mark); at != std::string::npos; at = html.find(mark, at + 1)) {
    ids.push_back(std::stoll(html.substr(at + mark.size())));
  }
  return ids;
}

std::string Total(const std::string& html) {
  const std::string mark = "共<b>";
  const size_t at = html.find(mark);
  if (at == std::string::npos) return "0";
  const size_t start = at + mark.size();
  return html.substr(start, html.find("</b>", start) - start);
}

class SearchIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ch_ = s_.Add(ChannelRow{.dir = "news"});
    s_.UseChannel(ch_);
  }

  void AddArticle(int n) {
    ArticleRow row{.title = RandomText(rng_, 1, 8),
                   .content = RandomText(rng_, 0, 12),
                   .channel = ch_,
                   .class_id = static_cast<int64_t>(rng_() % 3),
                   .author = RandomText(rng_, 0, 3),
                   .inputer = RandomText(rng_, 1, 4),
                   .checked = rng_() % 10 != 0,
                   .deleted = rng_() % 12 == 0};
    // Distinct times, so that the order of the rows is the same whichever way they are found.
    char time[32];
    std::snprintf(time, sizeof(time), "2020-01-01 %02d:%02d:%02d", n / 3600 % 24, n / 60 % 60,
                  n % 60);
    row.add_time = time;
    ids_.push_back(s_.Add(row));
  }

  // The ids of the plain like condition in the search's order (newest first), and the ids and
  // count that the search page shows for its first and its last page.
  // The search's order 4 is the newest first, 2 and 1 the highest and the lowest id first.
  // With `class_id` above 0, the search in that class.
  void Compare(const std::string& column, const std::string& keyword,
               const std::string& order = "4", int64_t class_id = 0) {
    std::vector<int64_t> expected;
    Recordset rs;
    rs.Open("select d_id from Vantrel_Article where d_channelid = " + std::to_string(ch_) +
                (class_id > 0 ? " and d_classid = " + std::to_string(class_id) : "") +
                " and d_deleted = false and d_checked = true and " + column + " like ? order by " +
                (order == "4"   ? "d_addtime desc"
                 : order == "2" ? "d_id desc"
                                : "d_id asc"),
            {Variant("%" + keyword + "%")}, *s_.state.db.Conn);
    for (; !rs.Eof(); rs.MoveNext()) expected.push_back(rs["d_id"].ToInt64());
    rs.Close();
    const std::string what = column + " like '%" + keyword + "%' in order " + order + " in class " +
                             std::to_string(class_id);

    s_.SetQuery("");
    const std::string first =
        ShowSearchResult(s_.state, s_.state.channel, column, class_id, keyword, ParseId(order));
    ASSERT_EQ(Total(first), std::to_string(expected.size())) << what;
    const size_t pages = (expected.size() + 19) / 20;
    std::vector<int64_t> first_ids(expected.begin(),
                                   expected.begin() + std::min<size_t>(20, expected.size()));
    EXPECT_EQ(LinkedIds(first), first_ids) << what;
    if (pages > 2) {
      s_.SetQuery("Page=2");
      const std::string second =
          ShowSearchResult(s_.state, s_.state.channel, column, class_id, keyword, ParseId(order));
      EXPECT_EQ(Total(second), std::to_string(expected.size())) << what << " page 2";
      EXPECT_EQ(LinkedIds(second),
                std::vector<int64_t>(expected.begin() + 20, expected.begin() + 40))
          << what << " page 2";
    }
    if (pages > 1) {
      s_.SetQuery("Page=" + std::to_string(pages));
      const std::string last =
          ShowSearchResult(s_.state, s_.state.channel, column, class_id, keyword, ParseId(order));
      std::vector<int64_t> last_ids(expected.begin() + (pages - 1) * 20, expected.end());
      EXPECT_EQ(LinkedIds(last), last_ids) << what << " last page";
    }
    ++compared_;
  }

  SiteFixture s_;
  int64_t ch_ = 0;
  std::mt19937 rng_{20261207};
  std::vector<int64_t> ids_;
  int compared_ = 0;
};

TEST_F(SearchIndexTest, SameRowsAndOrderAsThePlainLikeWhileArticlesChange) {
  const char* columns[] = {"d_title", "d_author", "d_inputer", "d_content"};
  int n = 0;
  // Enough articles that a one-letter keyword matches more than the index's sorting takes.
  for (; n < 700; ++n) AddArticle(n);
  Connection& conn = *s_.state.db.Conn;
  // Counts kept for the sequences that 60 listed articles hold (single characters, hardly a
  // pair), built while another connection adds, rewrites, moves and removes articles after the
  // build has counted: those are counted in afterwards.
  Connection other;
  other.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
             (s_.root() / s_.settings().DBPath).string() + ";");
  testing::KeepGramCountsFrom(conn, 60, [&] {
    for (int i = 0; i < 20; ++i) {
      other.Execute(
          "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
          "d_deleted, d_addtime) values (?, ?, ?, ?, true, false, ?)",
          {Variant(static_cast<long long>(ch_)), Variant(i % 3), RandomText(rng_, 1, 8),
           RandomText(rng_, 0, 12), "2019-01-01 00:00:" + std::to_string(10 + i)});
      const Variant id(static_cast<long long>(ids_[rng_() % ids_.size()]));
      other.Execute(i % 2 == 0 ? "update Vantrel_Article set d_content = ?, d_classid = 2 where "
                                 "d_id = ?"
                               : "update Vantrel_Article set d_title = ?, d_deleted = true where "
                                 "d_id = ?",
                    {RandomText(rng_, 1, 8), id});
    }
    other.Execute("delete from Vantrel_Article where d_id = ?",
                  {Variant(static_cast<long long>(ids_[1]))});
  });
  for (int round = 0; round < 4; ++round) {
    for (int k = 0; k < 40; ++k) {
      Compare(columns[k % 4], RandomText(rng_, 1, 4),
              k % 3 == 1   ? "2"
              : k % 3 == 2 ? "1"
                           : "4",
              k % 5 == 0 ? 1 + k / 5 % 2 : 0);
      if (HasFatalFailure()) return;
    }
    // Every kind of writer's change, between the rounds: new rows, renamed titles and authors,
    // rewritten or emptied bodies, recycled and approved rows, removed rows.
    for (int i = 0; i < 30; ++i) AddArticle(n++);
    for (int i = 0; i < 30; ++i) {
      const Variant id(static_cast<long long>(ids_[rng_() % ids_.size()]));
      switch (i % 5) {
        case 4:
          s_.Exec("update Vantrel_Article set d_content = ? where d_id = ?",
                  {i % 3 == 0 ? Variant::Null() : Variant(RandomText(rng_, 0, 12)), id});
          break;
        case 0:
          s_.Exec("update Vantrel_Article set d_title = ? where d_id = ?",
                  {RandomText(rng_, 1, 8), id});
          break;
        case 1:
          s_.Exec("update Vantrel_Article set d_author = ?, d_inputer = ? where d_id = ?",
                  {RandomText(rng_, 0, 3), RandomText(rng_, 1, 4), id});
          break;
        case 2:
          s_.Exec(
              "update Vantrel_Article set d_deleted = case when d_deleted = 0 then -1 else 0 end "
              "where d_id = ?",
              {id});
          s_.Exec("update Vantrel_Article set d_classid = ? where d_id = ?",
                  {Variant(static_cast<long long>(rng_() % 3)), id});
          break;
        default:
          // Moved to another channel and back, or removed.
          if (i % 10 == 3) {
            s_.Exec("update Vantrel_Article set d_channelid = ? + ? - d_channelid where d_id = ?",
                    {Variant(static_cast<long long>(ch_)), Variant(static_cast<long long>(ch_ + 1)),
                     id});
          } else {
            s_.Exec("delete from Vantrel_Article where d_id = ?", {id});
          }
      }
    }
    s_.Exec("update Vantrel_Article set d_checked = true where d_checked = false and d_id % 7 = 0");
  }
  // Keywords the random draw may miss: only wildcards, a quote, one common letter.
  const char* keywords[] = {"%", "_", "'", "a", "经", "经济", "：", "Ａ", "é", "济发展经", "\"经"};
  for (const char* keyword : keywords) {
    for (const char* column : columns) Compare(column, keyword);
    Compare("d_content", keyword, "2");
  }
  // A bulk change of bodies alone, in one statement, and the same keywords in them again.
  s_.Exec("update Vantrel_Article set d_content = ? || d_content where d_id % 3 = 0",
          {Variant("经济'a%")});
  for (const char* keyword : keywords) Compare("d_content", keyword);
  // Longer keywords that a third of the bodies hold: their pages are found by reading the list.
  for (const char* keyword : {"经济'", "济'a"}) {
    Compare("d_content", keyword);
    Compare("d_content", keyword, "2");
    Compare("d_content", keyword, "4", 2);
  }
  // A body long enough that its short keywords' terms outnumber what their index is read for.
  std::string long_body;
  for (int i = 0; i < 60000; ++i) long_body += "经A";
  s_.Add(ArticleRow{.title = "长", .content = long_body, .channel = ch_});
  for (const char* keyword : {"经", "a", "经a", "A经", "济"}) Compare("d_content", keyword);
  // A class of a few articles among many ids, too sparse for their ids to be kept as bits.
  for (int i = 0; i < 3; ++i) {
    ArticleRow row{.title = "经济发展", .content = "济发展A经", .channel = ch_, .class_id = 9};
    row.add_time = "2030-01-01 00:00:0" + std::to_string(i);
    s_.Add(row);
  }
  for (const char* keyword : {"济发展", "经济发", "展A经"}) {
    Compare("d_content", keyword, "4", 9);
    Compare("d_title", keyword, "1", 9);
  }
  // Bodies that hold every trigram of a longer keyword, not always in a row, of either letter
  // case and with a double quote: the bodies' index names them all, and the like decides.
  const char* bodies[] = {"经济发X济发展", "经济发展", "ABCD经\"济发", "abcd经\"济", "济发展经济"};
  for (int i = 0; i < 5; ++i) {
    ArticleRow row{.title = "样", .content = bodies[i], .channel = ch_};
    row.add_time = "2032-01-01 00:00:0" + std::to_string(i);
    s_.Add(row);
  }
  for (const char* keyword :
       {"经济发展", "abcd", "BCD", "经\"济发", "\"济发", "济发展%济", "X济_展"}) {
    Compare("d_content", keyword);
  }
  // A keyword every body holds, more than one read of their times takes at once.
  s_.Exec("update Vantrel_Article set d_content = '展经济' || coalesce(d_content, '')");
  Compare("d_content", "展经济");
  // A sequence common only since the counts were built has none kept: the search counts it
  // through the index, exactly.
  for (int i = 0; i < 80; ++i) {
    ArticleRow row{.title = "新" + RandomText(rng_, 0, 3), .content = "新", .channel = ch_};
    row.add_time =
        "2031-01-01 00:" + std::to_string(10 + i / 40) + ":" + std::to_string(10 + i % 40);
    s_.Add(row);
  }
  EXPECT_EQ(ListedKeywordCount(conn, "d_title", "新", {.channel = ch_, .class_id = std::nullopt}),
            std::nullopt);
  Compare("d_title", "新");
  Compare("d_content", "新", "2");
  EXPECT_EQ(compared_, 160 + 44 + 11 + 11 + 6 + 5 + 6 + 7 + 1 + 2);
  // A kept sequence answers its count, of the channel or of a class; a rare one answers nothing.
  auto like_count = [&](const std::string& column, const std::string& keyword, int class_id) {
    return conn
        .ExecuteScalar(
            "select count(*) from Vantrel_Article where d_channelid = " + std::to_string(ch_) +
                " and d_deleted = false and d_checked = true and " +
                (class_id >= 0 ? "d_classid = " + std::to_string(class_id) + " and " : "") +
                column + " like ?",
            {Variant("%" + keyword + "%")})
        .ToInt64Or(-1);
  };
  EXPECT_EQ(ListedKeywordCount(conn, "d_content", "经", {.channel = ch_, .class_id = std::nullopt}),
            std::optional<int64_t>(like_count("d_content", "经", -1)));
  EXPECT_EQ(ListedKeywordCount(conn, "d_title", "A", {.channel = ch_, .class_id = 1}),
            std::optional<int64_t>(like_count("d_title", "a", 1)));
  EXPECT_EQ(ListedKeywordCount(conn, "d_title", "经济", {.channel = ch_, .class_id = std::nullopt}),
            std::nullopt);

  // The counts of short sequences that the triggers kept through all of it are those a count of
  // the articles as they stand gives.
  testing::ExpectKeptGramCountsAsCountedAfresh(conn);
}

// Keywords of like's wildcards alone (any text of at least as many characters as it has '_', never
// a null), wildcards among characters, and backslashes, which are text: the search lists the
// like's rows, counts and order in each order, in a class, on its first, second and last pages,
// over titles, authors and inputers of every length up to the longest, empty and null ones, and
// bodies of every length, empty and null.
TEST_F(SearchIndexTest, WildcardAndBackslashKeywordsFindTheLikesRowsOnEveryPage) {
  int n = 0;
  for (; n < 300; ++n) AddArticle(n);
  s_.Exec("update Vantrel_Article set d_content = null where d_id % 7 = 0");
  s_.Exec("update Vantrel_Article set d_author = null where d_id % 5 = 0");
  s_.Exec("update Vantrel_Article set d_content = '' where d_id % 7 = 3");
  const char* texts[] = {"C:\\目录", "C:目录",     "100%",     "100\\%",  "\\",
                         "a\\b经济", "经济，发展", "经济发展", "济经_济", "100\\\\%"};
  for (int i = 0; i < 10; ++i) {
    ArticleRow row{.title = texts[i], .content = texts[9 - i], .channel = ch_, .class_id = 1};
    row.author = texts[(i + 3) % 10];
    row.add_time = "2029-01-01 00:00:0" + std::to_string(i);
    s_.Add(row);
  }
  const char* columns[] = {"d_title", "d_author", "d_inputer", "d_content"};
  const char* wildcards[] = {"%",   "%%",   "_",      "%_%",      "__",
                             "_%_", "____", "%___%_", "________", "_________"};
  for (const char* keyword : wildcards) {
    for (const char* column : columns) Compare(column, keyword);
    Compare("d_content", keyword, "2");
    Compare("d_title", keyword, "1", 1);
    if (HasFatalFailure()) return;
  }
  const char* mixed[] = {"经济%发展", "%济_",     "经_济",  "_经", "济%", "a%b",
                         "\\",        "C:\\目录", "100\\%", "\\%", "目录"};
  for (const char* keyword : mixed) {
    for (const char* column : columns) Compare(column, keyword);
    Compare("d_content", keyword, "1");
    Compare("d_title", keyword, "2", 1);
    if (HasFatalFailure()) return;
  }
  // After a change of titles and bodies, the matches kept for the wildcards follow it, and the
  // texts' lengths are read again for those not asked before.
  s_.Exec("update Vantrel_Article set d_title = 'x', d_content = null where d_id % 4 = 1");
  for (const char* keyword : {"%", "_", "__", "___", "_____", "\\"}) {
    Compare("d_title", keyword);
    Compare("d_content", keyword);
  }
  EXPECT_EQ(compared_, 10 * 6 + 11 * 6 + 12);
}

// A site whose articles were there before its first use (more than are indexed at once) answers
// its searches with the plain like's rows before its search structures are built and while they
// are, and through them after; articles added, changed and removed while the build went on, on
// either side of how far it was, are found as the like finds them, and each article is in the
// texts' indexes exactly once (FTS5's check of an index against its articles).
TEST_F(SearchIndexTest, ArticlesOfAnOlderSiteAreFoundAlikeBeforeDuringAndAfterTheBuild) {
  int n = 0;
  for (; n < kArticlesIndexedAtOnce + 400; ++n) AddArticle(n);
  const char* columns[] = {"d_title", "d_author", "d_inputer", "d_content"};
  const char* keywords[] = {"a", "经", "经济", "a经", "Ａ：", "济发展", "经济发展", "'"};
  for (const char* keyword : keywords) Compare(columns[compared_ % 4], keyword);
  Connection& conn = *s_.state.db.Conn;
  ASSERT_FALSE(ReadSearchIndexProgress(conn).ready);
  ASSERT_EQ(s_.Number("select count(*) from sqlite_schema where name = '" +
                      std::string(kArticleBodyTable) + "'"),
            0);

  Connection builder;
  builder.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
               (s_.root() / s_.settings().DBPath).string() + ";");
  int batches = 0;
  const bool ready = BuildSearchStructures(
      builder,
      {.first_batch = 100,
       .batch_time = std::chrono::hours(1),
       .on_progress =
           [&](const SearchIndexProgress& progress) {
             if (progress.ready) return;
             ++batches;
             EXPECT_EQ(ReadSearchIndexProgress(conn).percent, progress.percent);
             for (int i = 0; i < 2; ++i) {
               Compare(columns[(compared_ + i) % 4], RandomText(rng_, 1, 3));
             }
             // An article past how far the build is, one below it and one beyond it changed, one
             // removed.
             AddArticle(n++);
             const Variant low(static_cast<long long>(ids_[static_cast<size_t>(batches) * 7]));
             const Variant high(static_cast<long long>(ids_[ids_.size() - 3 - batches]));
             s_.Exec("update Vantrel_Article set d_title = ?, d_content = ? where d_id = ?",
                     {RandomText(rng_, 1, 8), RandomText(rng_, 0, 12), low});
             s_.Exec("update Vantrel_Article set d_author = ?, d_content = ? where d_id = ?",
                     {RandomText(rng_, 0, 3), RandomText(rng_, 0, 12), high});
             s_.Exec(
                 "delete from Vantrel_Article where d_id = ?",
                 {Variant(static_cast<long long>(ids_[static_cast<size_t>(batches) * 11 + 1]))});
           },
       .stop = nullptr});
  ASSERT_TRUE(ready);
  EXPECT_GE(batches, 4);
  EXPECT_TRUE(ReadSearchIndexProgress(conn).ready);
  for (const std::string_view table : {kArticleTextTable, kArticleBodyTable}) {
    const std::string t(table);
    s_.Sql("insert into " + t + " (" + t + ", rank) values ('integrity-check', 1)");
  }
  for (const char* keyword : keywords) {
    for (const char* column : columns) Compare(column, keyword);
  }
  for (int k = 0; k < 24; ++k) Compare(columns[k % 4], RandomText(rng_, 1, 4), k % 2 ? "2" : "4");
  testing::ExpectKeptGramCountsAsCountedAfresh(conn);
}

// Each server remembers the databases whose search structures it saw ready; another server, and
// a reader without caches, read the state from the database.
TEST_F(SearchIndexTest, EachServerRemembersTheReadySearchStructuresItSaw) {
  AddArticle(1);
  Connection& conn = *s_.state.db.Conn;
  ListCaches* lists = s_.state.db.Lists;
  EnsureListStructures(conn, lists);
  ASSERT_TRUE(SearchIndexReady(conn, SearchReadyOf(lists)));
  s_.Sql("update Vantrel_SearchIndex set d_ready = 0");
  EXPECT_TRUE(SearchIndexReady(conn, SearchReadyOf(lists)));
  ListCaches other;
  EXPECT_FALSE(SearchIndexReady(conn, SearchReadyOf(&other)));
  EXPECT_FALSE(SearchIndexReady(conn, nullptr));
  s_.Sql("update Vantrel_SearchIndex set d_ready = 1");
  EXPECT_TRUE(SearchIndexReady(conn, nullptr));
}

// A large site's build, stopped in its batches and again before its last merges and taken up
// again each time, leaves each text index merged down to about a segment a level (the smaller,
// and read once a segment by a search), merging as FTS5 does unless told from then on, and the
// same rows and counts as the plain like.
TEST_F(SearchIndexTest, ALargeBuildEndsWithEachTextIndexInOneSegment) {
  for (int n = 0; n < kArticlesIndexedAtOnce + 400; ++n) AddArticle(n);
  Compare("d_content", "经济");
  Connection& conn = *s_.state.db.Conn;
  Connection builder;
  builder.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
               (s_.root() / s_.settings().DBPath).string() + ";");
  std::atomic<bool> stop{false};
  EXPECT_FALSE(BuildSearchStructures(
      builder, {.first_batch = 100,
                .batch_time = std::chrono::hours(1),
                .on_progress = [&](const SearchIndexProgress&) { stop = true; },
                .stop = &stop}));
  EXPECT_FALSE(ReadSearchIndexProgress(conn).ready);

  // Stopped again once ready, before the last merges: the next start finishes them.
  stop = false;
  ASSERT_TRUE(BuildSearchStructures(
      builder, {.first_batch = 100,
                .batch_time = std::chrono::hours(1),
                .on_progress = [&](const SearchIndexProgress& p) { stop = stop || p.ready; },
                .stop = &stop}));
  EXPECT_TRUE(ReadSearchIndexProgress(conn).ready);
  stop = false;
  ASSERT_TRUE(BuildSearchStructures(builder, {.first_batch = 100,
                                              .batch_time = std::chrono::hours(1),
                                              .on_progress = nullptr,
                                              .stop = &stop}));
  for (const std::string_view table : {kArticleTextTable, kArticleBodyTable}) {
    const std::string t(table);
    s_.Sql("insert into " + t + " (" + t + ", rank) values ('integrity-check', 1)");
    EXPECT_LE(s_.Number("select count(distinct segid) from " + t + "_idx"), 2) << t;
    EXPECT_EQ(s_.Number("select v from " + t + "_config where k = 'automerge'"), 4) << t;
  }
  testing::ExpectKeptGramCountsAsCountedAfresh(conn);
  for (int k = 0; k < 8; ++k) {
    Compare(k % 2 ? "d_content" : "d_title", RandomText(rng_, 1, 3));
  }
}

// A database whose search structures were made before the index that reads a channel's texts
// in the order of time and before the index of the bodies (whose changes then moved no version)
// is given both on its first use, built from the rows already there; its searches then answer,
// and a change of a body alone is followed. Its counts of short sequences, which an earlier
// version kept for every sequence, are built again for the common ones alone.
TEST(SearchIndexUpgradeTest, ADatabaseMadeBeforeTheTimeOrderAndBodyIndexesIsGivenThem) {
  SiteFixture old_site;
  old_site.Add(ArticleRow{.title = "经济新闻", .content = "<p>城市经济发展</p>"});
  old_site.Add(ArticleRow{.title = "旧闻", .content = "<p>农业</p>"});
  EnsureListStructures(*old_site.state.db.Conn, old_site.state.db.Lists);
  old_site.Sql("drop index " + std::string(kArticleTimeOrderIndex));
  for (const char* sql :
       {"drop trigger trg_article_body_insert", "drop trigger trg_article_body_delete",
        "drop trigger trg_article_body_update", "drop table Vantrel_ArticleBodyTerms",
        "drop table Vantrel_ArticleBody", "drop view Vantrel_ArticleBodySource",
        "drop trigger trg_article_change_insert", "drop trigger trg_article_change_delete",
        "drop trigger trg_article_change_update", "drop table Vantrel_ArticleChange",
        "delete from Vantrel_ArticleVersion where d_id = 2",
        "create trigger trg_article_list_update after update of d_title on Vantrel_Article "
        "begin update Vantrel_ArticleVersion set d_version = d_version + 1; end",
        "delete from Vantrel_ArticleGrams where k_column = 0",
        "insert into Vantrel_ArticleGrams values (1, 4, '经', 0, 7)"}) {
    old_site.Sql(sql);
  }
  // Written while the database had no index of the bodies.
  old_site.Add(ArticleRow{.title = "后来", .content = "<p>经济</p>"});
  const std::string exists = "select count(*) from sqlite_schema where name in ('" +
                             std::string(kArticleTimeOrderIndex) + "', '" +
                             std::string(kArticleBodyTable) + "')";
  ASSERT_EQ(old_site.Number(exists), 0);

  // The same file at another place is a database this process has not made sure of.
  old_site.Sql("pragma wal_checkpoint(truncate)");
  testing::TempFolder copy;
  const std::filesystem::path file = copy.path() / "site.db";
  std::filesystem::copy_file(old_site.root() / old_site.settings().DBPath, file);
  ListCaches lists;
  Connection conn;
  conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string() + ";");
  EXPECT_EQ(ListedKeywordCount(conn, "d_content", "经", {.channel = 1, .class_id = std::nullopt}),
            std::nullopt);
  EnsureListStructures(conn, &lists);
  EXPECT_EQ(conn.ExecuteScalar(exists).ToInt64Or(-1), 2);
  EXPECT_TRUE(ArticleGramsBuilt(conn));
  EXPECT_EQ(conn.ExecuteScalar("select group_concat(name) from sqlite_schema where name like "
                               "'Vantrel_ArticleGrams%'")
                .ToString(),
            "Vantrel_ArticleGrams");
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_ArticleGrams where k_column > 0")
                .ToInt64Or(-1),
            0);
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Article " +
                               ArticleHintInTimeOrder(conn, &lists) +
                               " where d_channelid = 1 and d_deleted = false and d_title like "
                               "'%经济%'")
                .ToInt64Or(-1),
            1);
  auto bodies = [&conn](const std::string& keyword) {
    const std::optional<ListCondition> index =
        ArticleTextIndexCondition(conn.engine(), "d_content", keyword);
    return conn
        .ExecuteScalar("select count(*) from Vantrel_Article where d_content like '%" + keyword +
                           "%'" + (index ? " and " + index->sql : std::string()),
                       index ? index->values : std::vector<Variant>{})
        .ToInt64Or(-1);
  };
  EXPECT_EQ(bodies("经济发展"), 1);
  EXPECT_EQ(bodies("经"), 2);
  EXPECT_EQ(bodies("农业"), 1);
  const int64_t version = ArticleDataVersion(conn, &lists);
  conn.Execute("update Vantrel_Article set d_content = '<p>农业经济</p>' where d_title = '旧闻'");
  EXPECT_NE(ArticleDataVersion(conn, &lists), version);
  EXPECT_EQ(bodies("经"), 3);
  EXPECT_EQ(bodies("农业经济"), 1);
}

}  // namespace
}  // namespace folirex
