// The related-articles block of an article page, served through the index of the articles'
// keywords on both database forms, lists exactly the rows, in exactly the order, that reading
// the channel with the plain like condition gives, for random keyword lists (Chinese, both letter
// cases, like's wildcards, quotes, spaces, empty entries, lists without their outer "|") with
// many articles tied in time, while another connection, as the database's own shell would,
// re-keys, approves, recycles, re-times, moves, adds and removes articles under it; and the index
// holds exactly the entries the articles hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/article_keywords.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/text/vb_text.h"
#include "postgres/both_forms_site.h"

namespace folirex::testing {
namespace {

const std::vector<std::string> kWords = {"经济", "发展", "体育", "A",   "a",  "Ab", "aB",
                                         "it's", "%",    "_",    "Ab ", " a", "α"};

// ASCII letter case folded, as both engines fold it.
std::string Folded(const std::string& text) { return LCase(text); }

class RelatedKeywordsTest : public BothFormsSiteTest {
 protected:
  void Seed() override {
    conn_.Open(ConnectionString());
    // Older approved articles without keywords, 4,096 of them, so that the keywords below are
    // rare in the channel and the block reads them through the index; it reads the channel for
    // those it cannot look up there (like's wildcards).
    conn_.Execute(
        "insert into Vantrel_Article (d_channelid, d_title, d_content, d_checked, d_addtime) "
        "values (1, 'f', 'x', -1, '2020-01-01 00:00:00')");
    for (int n = 0; n < 12; ++n) {
      conn_.Execute(
          "insert into Vantrel_Article (d_channelid, d_title, d_content, d_checked, d_addtime) "
          "select d_channelid, d_title, d_content, d_checked, d_addtime from Vantrel_Article "
          "where d_title = 'f'");
    }
    for (int n = 0; n < 150; ++n) AddArticle();
  }

  Variant RandomList() {
    switch (rng_() % 12) {
      case 0:
        return Variant::Null();
      case 1:
        return "";
      case 2:
        return "|" + kWords[rng_() % kWords.size()];
      case 3:
        return kWords[rng_() % kWords.size()] + "|";
      default:
        break;
    }
    std::string list = "|";
    for (int i = static_cast<int>(rng_() % 4); i > 0; --i) {
      list += (rng_() % 8 == 0 ? "" : kWords[rng_() % kWords.size()]) + "|";
    }
    return list;
  }

  // Six times only, so that many articles are tied in time.
  std::string RandomTime() {
    return "2024-01-0" + std::to_string(1 + rng_() % 3) + " 00:00:0" + std::to_string(rng_() % 2);
  }

  void AddArticle() {
    conn_.Execute(
        "insert into Vantrel_Article (d_channelid, d_title, d_content, d_keyword, d_checked, "
        "d_deleted, d_addtime) values (?, 't', 'x', ?, ?, ?, ?)",
        {Variant(rng_() % 10 == 0 ? 2 : 1), RandomList(), Variant(rng_() % 8 != 0 ? -1 : 0),
         Variant(rng_() % 10 == 0 ? -1 : 0), RandomTime()});
    ids_.push_back(conn_.ExecuteScalar("select max(d_id) from Vantrel_Article").ToInt64());
  }

  // The ids that the first 10 rows of the channel read with the like condition give, ties in
  // time in the order of the related-articles index.
  std::vector<int64_t> Expected(int64_t id, const std::string& keywords) {
    std::vector<Variant> params;
    std::string condition;
    for (const std::string& entry : Split(keywords, "|")) {
      if (Trim(entry).empty()) continue;
      condition += std::string(condition.empty() ? "" : " or ") + "d_keyword like '%|'+?+'|%'";
      params.emplace_back(Trim(entry));
    }
    if (condition.empty()) return {};
    params.emplace_back(static_cast<long long>(id));
    const std::string where = "(" + condition +
                              ") and d_id <> ? and d_deleted = false and d_checked = true and "
                              "d_channelid = 1 order by d_addtime desc";
    std::vector<int64_t> ids;
    Recordset rs;
    rs.Open(
        "select top 10 d_id from Vantrel_Article where " + where + ", d_keyword desc, d_id desc",
        params, conn_);
    for (; !rs.Eof(); rs.MoveNext()) ids.push_back(rs["d_id"].ToInt64());
    rs.Close();
    if (GetParam() == Engine::kSqlite) {
      // The same order as SQLite's read of the channel gave before the keyword index.
      std::vector<int64_t> plain;
      rs.Open(
          "select a.d_id from (select top 10 d_id, d_addtime, d_classid from Vantrel_Article "
          "where " +
              where +
              ") a left outer join (select d_id, d_dir from Vantrel_ArticleClass) b on "
              "a.d_classid = b.d_id order by a.d_addtime desc",
          params, conn_);
      for (; !rs.Eof(); rs.MoveNext()) plain.push_back(rs["d_id"].ToInt64());
      EXPECT_EQ(plain, ids) << keywords;
    }
    return ids;
  }

  // The ids the article page's related-articles box links, in order.
  std::vector<int64_t> Shown(int64_t id) {
    HttpAnswer page = site_->Get("/asp.asp?m=content&channelid=1&articleid=" + std::to_string(id));
    EXPECT_EQ(page.status, 200);
    const size_t start = page.text.find("<h2>相关文章</h2>");
    const size_t end = page.text.find("<h2>网友评论</h2>", start);
    EXPECT_NE(start, std::string::npos) << page.text;
    std::vector<int64_t> ids;
    const std::string mark = "articleid=";
    for (size_t at = page.text.find(mark, start); at < end; at = page.text.find(mark, at + 1)) {
      ids.push_back(std::stoll(page.text.substr(at + mark.size())));
    }
    return ids;
  }

  void CompareSome(int pages) {
    for (int compared = 0; compared < pages;) {
      const Variant id(static_cast<long long>(ids_[rng_() % ids_.size()]));
      Recordset rs;
      rs.Open(
          "select d_keyword from Vantrel_Article where d_id = ? and d_channelid = 1 and "
          "d_deleted = false and d_checked = true",
          {id}, conn_);
      if (rs.Eof()) continue;
      const std::string keywords = rs["d_keyword"].ToString();
      rs.Close();
      EXPECT_EQ(Shown(id.ToInt64()), Expected(id.ToInt64(), keywords))
          << "article " << id.ToInt64() << " keywords '" << keywords << "'";
      ++compared;
    }
  }

  // Every entry of every approved live article's list, as "id channel time entry", beside those
  // the index holds.
  // The server builds the keyword index in the background once it listens, after the lists'
  // structures of a site of this size: its rows are compared once it is there.
  void WaitForKeywordIndex() {
    const std::string built =
        GetParam() == Engine::kSqlite
            ? "select count(*) from sqlite_schema where name = 'Vantrel_ArticleKeyword' and not "
              "exists (select 1 from sqlite_schema where name = 'Vantrel_ArticleKeywordFill')"
            : "select count(*) from pg_class where relname = 'vantrel_articlekeyword'";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      std::unique_ptr<db::Statement> st = conn_.session().PrepareNative(built);
      st->Bind({});
      if (st->Step() && st->Column(0).ToInt64Or(0) == 1) return;
      ASSERT_LT(std::chrono::steady_clock::now(), until) << "the keyword index was not built";
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  void ExpectIndexAsListedAfresh() {
    WaitForKeywordIndex();
    std::set<std::string> listed, kept;
    Recordset rs;
    rs.Open(
        "select d_id, d_channelid, d_addtime, d_keyword from Vantrel_Article where d_deleted = "
        "false and d_checked = true",
        conn_);
    for (; !rs.Eof(); rs.MoveNext()) {
      const std::vector<std::string> parts = Split(rs["d_keyword"].ToString(), "|");
      for (size_t i = 1; i + 1 < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        listed.insert(rs["d_id"].ToString() + " " + rs["d_channelid"].ToString() + " " +
                      rs["d_addtime"].ToString() + " " + Folded(parts[i]));
      }
    }
    rs.Close();
    rs.Open("select d_articleid, d_channelid, d_addtime, d_keyword from " +
                std::string(kArticleKeywordTable),
            conn_);
    size_t rows = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++rows) {
      kept.insert(rs["d_articleid"].ToString() + " " + rs["d_channelid"].ToString() + " " +
                  rs["d_addtime"].ToString() + " " + Folded(rs["d_keyword"].ToString()));
    }
    EXPECT_EQ(kept, listed);
    EXPECT_EQ(rows, kept.size()) << "an entry held twice";
  }

  Connection conn_;
  std::mt19937 rng_{20261209};
  std::vector<int64_t> ids_;
};

TEST_P(RelatedKeywordsTest, SameRowsAndOrderAsReadingTheChannelWhileArticlesChange) {
  for (int round = 0; round < 3; ++round) {
    CompareSome(12);
    ExpectIndexAsListedAfresh();
    for (int i = 0; i < 10; ++i) AddArticle();
    for (int i = 0; i < 30; ++i) {
      const Variant id(static_cast<long long>(ids_[rng_() % ids_.size()]));
      switch (i % 6) {
        case 0:
        case 1:
          conn_.Execute("update Vantrel_Article set d_keyword = ? where d_id = ?",
                        {RandomList(), id});
          break;
        case 2:
          conn_.Execute(
              "update Vantrel_Article set d_checked = case when d_checked = 0 then -1 else 0 end, "
              "d_title = 'u' where d_id = ?",
              {id});
          break;
        case 3:
          conn_.Execute(
              "update Vantrel_Article set d_deleted = case when d_deleted = 0 then -1 else 0 end "
              "where d_id = ?",
              {id});
          break;
        case 4:
          conn_.Execute("update Vantrel_Article set d_addtime = ?, d_channelid = ? where d_id = ?",
                        {RandomTime(), Variant(rng_() % 4 == 0 ? 2 : 1), id});
          break;
        default:
          conn_.Execute("delete from Vantrel_Article where d_id = ?", {id});
      }
    }
  }
  // A bulk change of many lists in one statement, a keyword's letter case among them.
  conn_.Execute("update Vantrel_Article set d_keyword = d_keyword + 'AB|经济|' where d_id % 3 = 0");
  CompareSome(12);
  ExpectIndexAsListedAfresh();
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, RelatedKeywordsTest);

}  // namespace
}  // namespace folirex::testing
