// Counts kept across article changes: which counts the change log can bring forward, and a model
// check that every kept count equals a fresh count of the rows after random changes by another
// connection (single rows and many at once, past the versions the log keeps), on a database
// made with the log and on one made before it, and on PostgreSQL when ./test.sh has started its
// cluster.
#include "core/article_change_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/list_structures.h"
#include "core/search_index.h"
#include "core/text_helpers.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "postgres/pg_test_support.h"
#include "support/site_fixture.h"
#include "support/temp_folder.h"

namespace folirex {
namespace {

using testing::SiteFixture;

// What the log is asked with: a list's own conditions and values, its narrowing left out;
// nothing for a list the log cannot follow.
TEST(ArticleChangeLogTest, ALogTestsAListByItsOwnConditionsAndNoOther) {
  ListQuery listed;
  listed.And(ConditionKind::kLogged, "d_deleted = false")
      .And(ConditionKind::kLogged, "d_channelid = ?", {Variant(1)});
  listed.And(ConditionKind::kLogged, "d_title like ? or d_author like ?",
             {Variant("%a%"), Variant("%b%")});
  listed.And(ConditionKind::kNarrowing, "d_id in (select rowid from Vantrel_ArticleText)");
  listed.order = {{"d_addtime", true}};
  const std::optional<LoggedCondition> logged = listed.Logged();
  ASSERT_TRUE(logged.has_value());
  EXPECT_EQ(logged->where,
            "(d_deleted = false) and (d_channelid = ?) and (d_title like ? or d_author like ?)");
  ASSERT_EQ(logged->values.size(), 3u);
  EXPECT_EQ(logged->values[2].ToString(), "%b%");

  // The body, the clock, another table, the first rows only.
  ListQuery body = listed;
  body.And(ConditionKind::kUnlogged, "d_content like '%a%'");
  ListQuery timed = listed;
  timed.And(ConditionKind::kTimed, "datediff('d', d_addtime, now) < 3");
  ListQuery comments = listed;
  comments.table = "Vantrel_ArticleComment";
  ListQuery first = listed;
  first.first_rows = 10;
  for (const ListQuery& list : {body, timed, comments, first}) {
    EXPECT_FALSE(list.Logged().has_value()) << list.Key();
  }
  EXPECT_TRUE(timed.DependsOnTime());
  EXPECT_TRUE(first.Whole().Logged().has_value());

  // A value's kind is part of the list: 1 and "1" are two lists.
  ListQuery text = listed;
  text.conditions[1].values = {Variant("1")};
  EXPECT_NE(text.Key(), listed.Key());
}

// The counts the pages keep, each against a fresh count, while another connection changes the
// articles one, several or many at a time.
class KeptCountsTest : public ::testing::Test {
 protected:
  ListCaches lists_;
  SearchCaches search_;

  void AddArticles(const std::string& connection_string, int n) {
    Connection conn;
    conn.Open(connection_string);
    for (int i = 0; i < n; ++i) {
      conn.Execute(
          "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_author, d_checked, "
          "d_deleted, d_hotflag) values (1, ?, ?, ?, ?, ?, ?)",
          {Variant(Pick(3)), Variant(Text()), Variant(Text()), Variant(Pick(4) != 0),
           Variant(Pick(6) == 0), Variant(Pick(2) == 0)});
    }
  }
  std::string Text() {
    static const char* const kParts[] = {"经", "济", "a", "B", "'", "发展"};
    std::string text;
    for (int n = 1 + Pick(4); n > 0; --n) text += kParts[Pick(6)];
    return text;
  }
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  // One random change by `writer`, as the console's writers make them.
  void Change(Connection& writer) {
    const std::string some = " where d_id % 7 = " + std::to_string(Pick(7));
    const std::string one =
        " where d_id = (select max(d_id) from Vantrel_Article where d_id % 5 = " +
        std::to_string(Pick(5)) + ")";
    switch (Pick(10)) {
      case 0:
        writer.Execute(
            "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_checked) "
            "values (1, ?, ?, true)",
            {Variant(Pick(3)), Variant(Text())});
        break;
      case 1:
        writer.Execute("update Vantrel_Article set d_title = ?, d_author = ?" + one,
                       {Variant(Text()), Variant(Text())});
        break;
      case 2:
        writer.Execute("update Vantrel_Article set d_deleted = " +
                       std::string(Pick(2) ? "true" : "false") + some);
        break;
      case 3:
        writer.Execute("update Vantrel_Article set d_checked = " +
                       std::string(Pick(2) ? "true" : "false") + one);
        break;
      case 4:
        writer.Execute("update Vantrel_Article set d_classid = " + std::to_string(Pick(3)) + some);
        break;
      case 5:
        writer.Execute("delete from Vantrel_Article" + one);
        break;
      case 6:
        writer.Execute("update Vantrel_Article set d_hotflag = true, d_clicktimes = 5" + some);
        break;
      case 7:
        writer.Execute("delete from Vantrel_Article where d_deleted = true and" + some.substr(6));
        break;
      case 8:
        // A time moved with a body (the order of the kept body matches changes).
        writer.Execute(
            "update Vantrel_Article set d_addtime = ?, d_content = ?" + one,
            {Variant("2026-0" + std::to_string(1 + Pick(9)) + "-01 10:00:00"), Variant(Text())});
        break;
      default:
        writer.Execute("update Vantrel_Article set d_content = ?" + one, {Variant(Text())});
    }
  }

  // Every kept count of the pages' kinds equals a fresh count.
  void ExpectFresh(Connection& reader, Connection& fresh, const std::string& step) {
    for (const std::string keyword : {"经", "a", "经济", "B'"}) {
      ListQuery listed;
      listed.And(ConditionKind::kLogged, "d_channelid = 1")
          .And(ConditionKind::kLogged, "d_deleted = ?", {Variant(false)});
      const ListQuery titled = WithKeyword(reader.engine(), listed, "d_title", keyword);
      const std::string like = " and d_title like '%" + SqlQuote(keyword) + "%'";
      const std::string where = " where d_channelid = 1 and d_deleted = false";
      ListQuery narrowed = titled;
      const std::optional<ListCondition> index =
          ArticleTextIndexCondition(reader.engine(), "d_title", keyword);
      narrowed.hint = ArticleHintNarrowed(reader, &lists_, index.has_value());
      if (index) narrowed.And(*index);
      ListQuery hot;
      hot.And(ConditionKind::kLogged, "d_checked = true")
          .And(ConditionKind::kLogged, "d_hotflag = true")
          .And(ConditionKind::kLogged, "d_classid in (1,2)");
      hot.order = {{"d_id", true}};
      // A list of the first rows, fewer and more of them than the articles.
      ListQuery first = titled;
      first.order = {{"d_topflag"}, {"d_addtime", true}};
      first.first_rows = 40;
      ListQuery most;
      most.And(ConditionKind::kLogged, "d_checked = true");
      most.first_rows = 100000;
      const ListQuery body = WithKeyword(reader.engine(), listed, "d_content", keyword);
      const std::vector<std::pair<ListQuery, std::string>> counts = {
          {narrowed, "select count(*) from Vantrel_Article" + where + like},
          {listed, "select count(*) from Vantrel_Article" + where},
          {hot,
           "select count(*) from Vantrel_Article where d_checked = true and d_hotflag = true and "
           "d_classid in (1,2)"},
          {first, "select count(*) from (select top 40 d_id from Vantrel_Article" + where + like +
                      " order by d_topflag, d_addtime desc) "},
          {most, "select count(*) from Vantrel_Article where d_checked = true"},
          {body, "select count(*) from Vantrel_Article" + where + " and d_content like '%" +
                     SqlQuote(keyword) + "%'"},
      };
      for (const auto& [list, sql] : counts) {
        const int64_t kept = CachedCount(reader, &lists_, list);  // makes the structures first
        EXPECT_EQ(kept, fresh.ExecuteScalar(sql).ToInt64()) << step << sql;
      }
      // A body keyword's kept matches, brought forward or read again, are the like's rows in
      // the orders of time and of ids.
      for (const bool by_time : {true, false}) {
        const std::shared_ptr<const BodyMatches> kept = KeptBodyMatches(
            reader, &search_, body, [&body] { return body; }, by_time,
            ArticleDataVersion(reader, &lists_));
        ASSERT_NE(kept, nullptr) << step << keyword;
        std::vector<int64_t> ids, expected;
        for (const auto& row : kept->rows) ids.push_back(row.second);
        Recordset rs;
        rs.Open("select d_id from Vantrel_Article" + where + " and d_content like '%" +
                    SqlQuote(keyword) + "%'" +
                    (by_time ? " order by d_addtime, d_id" : " order by d_id"),
                fresh, 0, 1);
        for (; !rs.Eof(); rs.MoveNext()) expected.push_back(rs.Field(0).ToInt64());
        EXPECT_EQ(ids, expected) << step << keyword << (by_time ? " by time" : " by id");
      }
    }
  }

  void RunChanges(const std::string& connection_string, int steps, int changes_per_step) {
    Connection reader, writer, fresh;
    reader.Open(connection_string);
    writer.Open(connection_string);
    fresh.Open(connection_string);
    ExpectFresh(reader, fresh, "start");
    for (int step = 0; step < steps; ++step) {
      for (int i = 0; i < changes_per_step; ++i) Change(writer);
      ExpectFresh(reader, fresh, "step " + std::to_string(step));
      if (HasFailure()) return;
    }
  }

  // Makes a site on `db` of the test cluster at `site` with `folirex init`.
  static void InitOnPostgres(const testing::PgServer& pg, const testing::PgDatabase& db,
                             const std::filesystem::path& site) {
    const testing::ProgramRun init =
        testing::RunFolirex({"init", site.string(), "--DbType", "1", "--DBServer", pg.server,
                             "--DBPath", db.name(), "--DBUser", pg.user, "--DBPwd", pg.password});
    ASSERT_EQ(init.code, 0) << init.output;
  }

  std::mt19937 rng_{20261207};
};

TEST_F(KeptCountsTest, EveryKeptCountIsAFreshCountAfterEachChange) {
  SiteFixture site;
  const std::string conn = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                           (site.root() / site.settings().DBPath).string() + ";";
  AddArticles(conn, 300);
  RunChanges(conn, 60, 1);
  // More changes than the log keeps the versions of: counted again.
  const std::string version = "select d_version from Vantrel_ArticleVersion where d_id = 1";
  const int64_t before = site.Number(version);
  Connection writer;
  writer.Open(conn);
  for (bool on = true; site.Number(version) - before <= kArticleVersionsLogged; on = !on) {
    writer.Execute(std::string("update Vantrel_Article set d_recommendflag = ") +
                   (on ? "true" : "false"));
  }
  RunChanges(conn, 20, 1);
  EXPECT_LE(site.Number("select count(distinct d_version) from Vantrel_ArticleChange"),
            kArticleVersionsLogged);
}

// Each server keeps its own counts and matches: what one server keeps is read again by another,
// and a reader without caches reads it every time.
TEST_F(KeptCountsTest, EachServersCountsAndMatchesAreItsOwn) {
  SiteFixture site;
  const std::string conn = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                           (site.root() / site.settings().DBPath).string() + ";";
  AddArticles(conn, 30);
  Connection reader;
  reader.Open(conn);
  ListCaches first, second;
  SearchCaches first_search, second_search;
  ListQuery listed;
  listed.And(ConditionKind::kLogged, "d_channelid = 1");
  const ListQuery titled = WithKeyword(reader.engine(), listed, "d_title", "a");
  const int64_t version = ArticleDataVersion(reader, &first);
  ASSERT_EQ(ArticleDataVersion(reader, &second), version);
  const int64_t titles = reader
                             .ExecuteScalar(
                                 "select count(*) from Vantrel_Article where d_channelid = 1 and "
                                 "d_title like '%a%'")
                             .ToInt64();
  auto statements = [&](ListCaches* lists, SearchCaches* search) {
    const int64_t before = reader.statement_count();
    EXPECT_EQ(CachedCount(reader, lists, listed, version), 30);
    const std::shared_ptr<const BodyMatches> matches = KeptBodyMatches(
        reader, search, titled, [&titled] { return titled; }, false, version);
    EXPECT_EQ(matches == nullptr ? -1 : static_cast<int64_t>(matches->rows.size()), titles);
    return reader.statement_count() - before;
  };
  EXPECT_EQ(statements(&first, &first_search), 2);
  EXPECT_EQ(statements(&first, &first_search), 0);
  EXPECT_EQ(statements(&second, &second_search), 2);
  EXPECT_EQ(statements(nullptr, nullptr), 2);
  EXPECT_EQ(statements(nullptr, nullptr), 2);
}

// The same on PostgreSQL, where one version holds every row an inserting or deleting statement
// wrote.
TEST_F(KeptCountsTest, EveryKeptCountIsAFreshCountOnPostgres) {
  const testing::PgServer pg = testing::PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  testing::PgDatabase db(pg);
  testing::TempFolder folder;
  ASSERT_NO_FATAL_FAILURE(InitOnPostgres(pg, db, folder.path() / "site"));
  AddArticles(db.ConnectionString(), 200);
  RunChanges(db.ConnectionString(), 60, 1);
  RunChanges(db.ConnectionString(), 3, 40);

  // Made before the log: its triggers moved the version alone. A server that opens it gives it
  // the log, and the totals it shows then follow the changes of another writer.
  Connection conn;
  conn.Open(db.ConnectionString());
  for (const char* sql :
       {"DROP TRIGGER trg_article_change_insert ON Vantrel_Article",
        "DROP TRIGGER trg_article_change_delete ON Vantrel_Article",
        "DROP TRIGGER trg_article_change_update ON Vantrel_Article",
        "DROP TABLE Vantrel_ArticleChange", "DELETE FROM Vantrel_ArticleVersion WHERE d_id = 2",
        "CREATE FUNCTION folirex_article_version() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "UPDATE Vantrel_ArticleVersion SET d_version = d_version + 1; RETURN NULL; END $$",
        "CREATE TRIGGER trg_article_list_rows AFTER INSERT OR DELETE ON Vantrel_Article FOR EACH "
        "STATEMENT EXECUTE FUNCTION folirex_article_version()",
        "CREATE TRIGGER trg_article_list_update AFTER UPDATE OF d_title ON Vantrel_Article FOR "
        "EACH ROW WHEN (old.d_title IS DISTINCT FROM new.d_title) EXECUTE FUNCTION "
        "folirex_article_version()"}) {
    conn.session().ExecuteNative(sql);
  }
  testing::ServedSite site(folder.path() / "site");
  const std::string search =
      "/asp.asp?m=search&channelid=1&searchclass=0&searchorder=4&searchtype=d_title&"
      "searchkeyword=" +
      testing::GbkUrlEncode("经");
  for (int step = 0; step < 20; ++step) {
    const std::string page = site.Get(search).text;
    const std::string mark = "共<b>";
    const size_t at = page.find(mark);
    const int64_t shown = at == std::string::npos ? 0 : std::stoll(page.substr(at + mark.size()));
    EXPECT_EQ(shown, conn.ExecuteScalar("select count(*) from Vantrel_Article where d_channelid "
                                        "= 1 and d_deleted = false and d_checked = true and "
                                        "d_title like '%经%'")
                         .ToInt64())
        << step;
    Change(conn);
  }
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from pg_trigger where tgname in "
                               "('trg_article_list_rows', 'trg_article_list_update')")
                .ToInt64(),
            0);
  EXPECT_GT(conn.ExecuteScalar("select count(*) from Vantrel_ArticleChange").ToInt64(), 0);
}

// The kept heads of paged lists, brought forward through the log after each change of another
// writer (a save, an edit, pinning, a new time, recycling, restoring, deleting, bulk approval, a
// hot flag, a collected article), each equal to the list read afresh: whole heads and a head of
// the list's first rows, in orders of pinning, time and id either way, with rows tied on every
// key (SQLite gives them in the order it meets them) and, on PostgreSQL, which walks tied rows in
// no fixed order, without. Most changes are brought forward rather than read again.
class KeptHeadsTest : public KeptCountsTest {
 protected:
  // A time of its own for each call, or with `ties_` one of 120 times over again.
  std::string Time() {
    ++time_;
    const int t = ties_ ? time_ % 120 : (time_ * 7919) % 40000;
    char text[32];
    std::snprintf(text, sizeof(text), "2026-01-%02d %02d:%02d:00", 1 + t / 1440, (t / 60) % 24,
                  t % 60);
    return text;
  }
  void AddTimedArticles(Connection& conn, int n) {
    for (int i = 0; i < n; ++i) Insert(conn);
  }
  void Insert(Connection& conn) {
    conn.Execute(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_checked, d_deleted, "
        "d_topflag, d_addtime) values (1, ?, ?, ?, false, ?, ?)",
        {Variant(Pick(3)), Variant(Text()), Variant(Pick(4) != 0), Variant(Pick(5) == 0),
         Variant(Time())});
  }
  void ChangeOne(Connection& writer) {
    const std::string one =
        " where d_id = (select max(d_id) from Vantrel_Article where d_id % 9 = " +
        std::to_string(Pick(9)) + ")";
    switch (Pick(10)) {
      case 0:  // a save, or an article collected
        Insert(writer);
        break;
      case 1:
        writer.Execute("update Vantrel_Article set d_title = ?" + one, {Variant(Text())});
        break;
      case 2:
        writer.Execute("update Vantrel_Article set d_topflag = -1 - d_topflag" + one);
        break;
      case 3:
        writer.Execute("update Vantrel_Article set d_addtime = ?" + one, {Variant(Time())});
        break;
      case 4:
        writer.Execute("update Vantrel_Article set d_deleted = true" + one);
        break;
      case 5:
        writer.Execute(
            "update Vantrel_Article set d_deleted = false where d_id = (select min(d_id) from "
            "Vantrel_Article where d_deleted = true)");
        break;
      case 6:
        writer.Execute("delete from Vantrel_Article" + one);
        break;
      case 7:
        writer.Execute(
            "update Vantrel_Article set d_checked = " + std::string(Pick(2) ? "true" : "false") +
            " where d_id % 23 = " + std::to_string(Pick(23)));
        break;
      case 8:
        writer.Execute("update Vantrel_Article set d_hotflag = -1 - d_hotflag" + one);
        break;
      default:
        writer.Execute("update Vantrel_Article set d_topflag = true, d_addtime = ?" + one,
                       {Variant(Time())});
    }
  }

  // Steps of `changes` changes each; every list's head, kept at the step before, brought forward
  // and compared with the list read afresh.
  void RunHeads(const std::string& connection_string, int steps, int changes) {
    Connection reader, writer;
    reader.Open(connection_string);
    writer.Open(connection_string);
    struct List {
      ListQuery list;
      std::string select;  // the select the pager reads the head with
      size_t first_rows;   // 0: the whole list
    };
    ListQuery listed;
    listed.And(ConditionKind::kLogged, "d_channelid = 1")
        .And(ConditionKind::kLogged, "d_deleted = false");
    auto ordered = [](ListQuery list, std::vector<ListOrderKey> order) {
      list.order = std::move(order);
      return list;
    };
    ListQuery checked = ordered(listed, {{"d_topflag"}, {"d_addtime", true}});
    checked.And(ConditionKind::kLogged, "d_checked = true");
    ListQuery classed = ordered(listed, {{"d_topflag"}, {"d_id", true}});
    classed.And(ConditionKind::kLogged, "d_classid = ?", {Variant(1)});
    ListQuery titled = ordered(listed, {{"d_addtime"}});
    titled.And(ConditionKind::kLogged, "d_title like '%经%'");
    const ListQuery newest = ordered(listed, {{"d_addtime", true}});
    const ListQuery pinned = ordered(listed, {{"d_topflag"}, {"d_addtime", true}});
    const std::vector<List> lists = {
        {newest, newest.Select("d_id"), 0},
        {checked,
         "select a.d_id from (" + checked.Rows("d_id, d_topflag, d_addtime") + ") a" +
             checked.OrderBy("a."),
         0},
        {classed, classed.Select("d_id"), 0},
        {titled, titled.Select("d_id"), 0},
        {pinned, pinned.Select("d_id"), 40},
    };
    // The whole list read afresh, as the pagers read a head and a window of the list (a select
    // of its first rows: SQLite then gives rows tied on every key in the order it meets them).
    auto read = [&reader](const std::string& select, const std::vector<Variant>& values) {
      std::vector<int64_t> ids;
      Recordset rs;
      rs.Open("select top 100000 d_id from (" + select + ")", values, reader, 0, 1);
      for (; !rs.Eof(); rs.MoveNext()) ids.push_back(rs.Field(0).ToInt64Or(0));
      return ids;
    };
    int forwarded = 0;
    for (int step = 0; step <= steps; ++step) {
      const int64_t version = ArticleDataVersion(reader, &lists_);
      for (const List& list : lists) {
        const std::vector<int64_t> now = read(list.select, list.list.Values());
        if (step > 0) {
          std::shared_ptr<const ListHead> head =
              ListHeadBroughtForward(reader, &lists_, list.list, version);
          if (head != nullptr) {
            ++forwarded;
            // A head of the first rows holds at most the list's first rows, a whole one all.
            const size_t held = head->whole ? now.size() : std::min(now.size(), head->ids.size());
            EXPECT_EQ(head->ids, std::vector<int64_t>(now.begin(), now.begin() + held))
                << step << list.select;
          }
        }
        auto kept = std::make_shared<ListHead>();
        kept->ids = now;
        kept->whole = list.first_rows == 0 || now.size() < list.first_rows;
        if (!kept->whole) kept->ids.resize(list.first_rows);
        KeepListHead(reader, &lists_, list.list, version, kept);
      }
      // A keyword's kept ids, brought forward the same way.
      const ListQuery by_id = ordered(titled, {{"d_id"}});
      const std::shared_ptr<const std::vector<int64_t>> ids =
          CachedIds(reader, &lists_, by_id, 1000);
      ASSERT_NE(ids, nullptr);
      EXPECT_EQ(*ids, read(by_id.Select("d_id"), {})) << step;
      if (HasFailure()) return;
      for (int i = 0; i < changes; ++i) ChangeOne(writer);
    }
    EXPECT_GT(forwarded, steps * static_cast<int>(lists.size()) / 2);
  }

  int time_ = 0;
  bool ties_ = true;
};

TEST_F(KeptHeadsTest, EveryKeptHeadBroughtForwardIsTheListReadAfresh) {
  SiteFixture site;
  const std::string conn = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                           (site.root() / site.settings().DBPath).string() + ";";
  {
    Connection writer;
    writer.Open(conn);
    AddTimedArticles(writer, 200);
  }
  RunHeads(conn, 80, 1);
  RunHeads(conn, 10, 3);
}

TEST_F(KeptHeadsTest, EveryKeptHeadBroughtForwardIsTheListReadAfreshOnPostgres) {
  const testing::PgServer pg = testing::PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  testing::PgDatabase db(pg);
  testing::TempFolder folder;
  ASSERT_NO_FATAL_FAILURE(InitOnPostgres(pg, db, folder.path() / "site"));
  ties_ = false;
  {
    Connection writer;
    writer.Open(db.ConnectionString());
    AddTimedArticles(writer, 150);
  }
  RunHeads(db.ConnectionString(), 60, 1);
  RunHeads(db.ConnectionString(), 8, 3);
}

// A database made before the log is given it on its first use, and its counts are then kept.
TEST_F(KeptCountsTest, ADatabaseMadeBeforeTheLogIsGivenIt) {
  SiteFixture old_site;
  AddArticles("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                  (old_site.root() / old_site.settings().DBPath).string() + ";",
              50);
  EnsureListStructures(*old_site.state.db.Conn, old_site.state.db.Lists);
  for (const char* trigger : {"insert", "delete", "update"}) {
    old_site.Exec(std::string("drop trigger trg_article_change_") + trigger);
  }
  old_site.Exec("drop table Vantrel_ArticleChange");
  old_site.Exec("delete from Vantrel_ArticleVersion where d_id = 2");
  old_site.Exec("pragma wal_checkpoint(truncate)");
  // The same file at another place is a database this process has not made sure of.
  testing::TempFolder copy;
  const std::filesystem::path file = copy.path() / "site.db";
  std::filesystem::copy_file(old_site.root() / old_site.settings().DBPath, file);
  RunChanges("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string() + ";", 30, 1);
  Connection conn;
  conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string() + ";");
  EXPECT_GT(conn.ExecuteScalar("select count(*) from Vantrel_ArticleChange").ToInt64(), 0);
}

}  // namespace
}  // namespace folirex
