// The channel's article counters (d_itemcount: live articles, d_itemcountchecked: live approved
// articles) through random sequences of the console's article changes: add, edit (of live,
// unapproved and recycled articles alike), approve, withdraw, move, recycle, restore, purge, the
// whole-channel actions, resubmitted actions and hand-posted lists holding another channel's
// article. A model of every article's state predicts each step; after each step the rows must
// match the model and the counters the rows, and the totals that the manager's lists, its title
// search and the public search show (counts the server keeps across the changes) a fresh count
// of the rows. On a SQLite file, and on PostgreSQL when ./test.sh has started its cluster.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/db/recordset.h"
#include "postgres/both_forms_site.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

struct ModelArticle {
  bool deleted = false;
  bool checked = false;
  int64_t class_id = 0;
};

class ArticleCountersTest : public BothFormsSiteTest {
 protected:
  // Two classes of channel 1, and a second channel holding one article.
  void Seed() override {
    Exec(
        "insert into Vantrel_ArticleClass (d_channelid, d_name, d_order, d_rootid, d_path) "
        "values (1, 'A', 1, 1, '1,')");
    class_a_ = Value("select max(d_id) from Vantrel_ArticleClass").ToInt64();
    Exec(
        "insert into Vantrel_ArticleClass (d_channelid, d_name, d_order, d_rootid, d_path) "
        "values (1, 'B', 2, 2, '2,')");
    class_b_ = Value("select max(d_id) from Vantrel_ArticleClass").ToInt64();
    Exec(
        "insert into Vantrel_Channel (d_order, d_channelname, d_projectname, d_channeltype, "
        "d_itemcount, d_itemcountchecked) values (2, 'second', '文章', 1, 1, 1)");
    int64_t other_channel = Value("select max(d_id) from Vantrel_Channel").ToInt64();
    Exec(
        "insert into Vantrel_Article (d_channelid, d_title, d_content, d_checked, d_deleted) "
        "values (" +
        std::to_string(other_channel) + ", 'other', 'x', true, false)");
    foreign_ = Value("select max(d_id) from Vantrel_Article").ToInt64();
  }

  // The rows of channel 1 against the model, and the counters against the rows.
  void ExpectModel(const std::string& step) {
    SCOPED_TRACE(step);
    Connection conn;
    conn.Open(ConnectionString());
    Recordset rs;
    rs.Open(
        "select d_id, d_deleted, d_checked, d_classid from Vantrel_Article where "
        "d_channelid = 1 order by d_id",
        conn, 0, 1);
    std::map<int64_t, ModelArticle> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      rows[rs["d_id"].ToInt64()] = {rs["d_deleted"].ToBoolOr(false),
                                    rs["d_checked"].ToBoolOr(false), rs["d_classid"].ToInt64()};
    }
    rs.Close();
    ASSERT_EQ(rows.size(), model_.size());
    int64_t live = 0, live_checked = 0;
    for (const auto& [id, m] : model_) {
      ASSERT_TRUE(rows.count(id)) << id;
      EXPECT_EQ(rows[id].deleted, m.deleted) << id;
      EXPECT_EQ(rows[id].checked, m.checked) << id;
      EXPECT_EQ(rows[id].class_id, m.class_id) << id;
      live += m.deleted ? 0 : 1;
      live_checked += (!m.deleted && m.checked) ? 1 : 0;
    }
    EXPECT_EQ(
        conn.ExecuteScalar("select d_itemcount from Vantrel_Channel where d_id = 1").ToInt64(),
        live);
    EXPECT_EQ(conn.ExecuteScalar("select d_itemcountchecked from Vantrel_Channel where d_id = 1")
                  .ToInt64(),
              live_checked);
    // The totals the server shows, each brought forward from the one it showed before the change.
    for (const auto& [path, condition] : kCountedPages) {
      const int64_t fresh =
          conn.ExecuteScalar("select count(*) from Vantrel_Article where " + condition).ToInt64();
      EXPECT_EQ(Total(site_->Get(path).text), fresh) << path;
    }
    // The other channel is never touched.
    EXPECT_EQ(conn.ExecuteScalar("select d_deleted from Vantrel_Article where d_id = " +
                                 std::to_string(foreign_))
                  .ToBoolOr(true),
              false);
  }

  std::vector<std::pair<std::string, std::string>> ArticleForm(const std::string& title,
                                                               int64_t class_id, bool publish) {
    std::vector<std::pair<std::string, std::string>> form = {
        {"d_classid", std::to_string(class_id)},
        {"d_title", title},
        {"d_content", "<p>" + title + "</p>"},
        {"d_relativeflag", "1"},
        {"d_metarelativeflag", "1"}};
    if (publish) form.push_back({"d_generatehtmlflag", "1"});
    return form;
  }

  // The total a paged list shows ("共<b>N</b>"), 0 when it shows no bar.
  static int64_t Total(const std::string& page) {
    const std::string mark = "共<b>";
    const size_t at = page.find(mark);
    return at == std::string::npos ? 0 : std::stoll(page.substr(at + mark.size()));
  }

  // Pages with a kept count, and the condition of the rows they count.
  const std::vector<std::pair<std::string, std::string>> kCountedPages = {
      {"/admin.asp?m=admin_article&channelid=1", "d_channelid = 1 and d_deleted = false"},
      {"/admin.asp?m=admin_article&channelid=1&action=recycle",
       "d_channelid = 1 and d_deleted = true"},
      {"/admin.asp?m=admin_article&channelid=1&qtitle=" + GbkUrlEncode("文章"),
       "d_channelid = 1 and d_deleted = false and d_title like '%文章%'"},
      {"/admin.asp?m=admin_article&channelid=1&action=recycle&qtitle=" + GbkUrlEncode("改"),
       "d_channelid = 1 and d_deleted = true and d_title like '%改%'"},
      {"/admin.asp?m=admin_article&channelid=1&qcheckstate=false&qtitle=" + GbkUrlEncode("文章1"),
       "d_channelid = 1 and d_deleted = false and d_checked = false and d_title like '%文章1%'"},
      {"/asp.asp?m=search&channelid=1&searchclass=0&searchorder=4&searchtype=d_title&"
       "searchkeyword=" +
           GbkUrlEncode("章"),
       "d_channelid = 1 and d_deleted = false and d_checked = true and d_title like '%章%'"},
      {"/asp.asp?m=search&channelid=1&searchclass=0&searchorder=1&searchtype=d_content&"
       "searchkeyword=" +
           GbkUrlEncode("改"),
       "d_channelid = 1 and d_deleted = false and d_checked = true and d_content like '%改%'"},
  };

  bool Saved(const HttpAnswer& answer, const std::string& message) {
    return answer.status == 200 && answer.text.find(message) != std::string::npos &&
           answer.text.find("history.back()") == std::string::npos;
  }

  int64_t class_a_ = 0, class_b_ = 0, foreign_ = 0;
  std::map<int64_t, ModelArticle> model_;
};

TEST_P(ArticleCountersTest, CountersFollowEveryChangeOfRandomSequences) {
  std::mt19937 random(20261207);
  auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::string manager = "/admin.asp?m=admin_article&channelid=1&action=";
  int added = 0;
  std::map<std::string, int> ran;

  for (int step = 0; step < 120; ++step) {
    std::vector<int64_t> ids;
    for (const auto& [id, m] : model_) ids.push_back(id);
    // A random selection of the articles, at least one.
    std::vector<int64_t> ticked;
    for (int64_t id : ids) {
      if (pick(3) == 0) ticked.push_back(id);
    }
    if (ticked.empty() && !ids.empty()) ticked.push_back(ids[pick(static_cast<int>(ids.size()))]);
    std::string list;
    for (int64_t id : ticked) list += (list.empty() ? "" : ", ") + std::to_string(id);

    int op = ids.size() < 3 ? 0 : pick(14);
    std::string name;
    if (op <= 2) {
      name = "add";
      bool publish = pick(2) == 0;
      int64_t cls = pick(2) == 0 ? class_a_ : 0;
      HttpAnswer a = site_->Post("/admin.asp?m=admin_articleadd&channelid=1&action=save",
                                 ArticleForm("文章" + std::to_string(++added), cls, publish));
      ASSERT_TRUE(Saved(a, "成功！")) << a.text;
      int64_t id = Value("select max(d_id) from Vantrel_Article").ToInt64();
      model_[id] = {false, publish, cls};
    } else if (op == 3) {
      name = "edit";
      int64_t id = ticked.front();
      int64_t cls = pick(2) == 0 ? class_b_ : class_a_;
      HttpAnswer a = site_->Post(manager + "update&id=" + std::to_string(id),
                                 ArticleForm("改" + std::to_string(id), cls, false));
      ASSERT_TRUE(Saved(a, "修改文章成功！")) << a.text;
      model_[id] = {false, true, cls};
    } else {
      static const char* const kTicked[] = {"check",  "uncheck",    "del",
                                            "reback", "delrecycle", "settop"};
      static const char* const kAll[] = {"checkall", "delall", "rebackall", "empty"};
      bool all = op >= 12;
      name = all ? kAll[pick(4)] : kTicked[pick(6)];
      // Now and then a list with another channel's article: refused, nothing changed.
      if (!all && pick(8) == 0) {
        HttpAnswer refused =
            site_->Post(manager + name, {{"selectdel", list + ", " + std::to_string(foreign_)}});
        EXPECT_NE(refused.text.find("提示：参数错误！"), std::string::npos) << name;
        ++ran["refused"];
        ExpectModel("refused " + name);
        continue;
      }
      HttpAnswer a = site_->Post(manager + name, {{"selectdel", list}});
      ASSERT_TRUE(Saved(a, "成功")) << name << a.text;
      std::vector<int64_t> targets = all ? ids : ticked;
      for (int64_t id : targets) {
        ModelArticle& m = model_[id];
        if (name == "check" || name == "checkall") {
          if (!m.deleted) m.checked = true;
        } else if (name == "uncheck") {
          m.checked = false;
        } else if (name == "del" || name == "delall") {
          if (!m.deleted) m = {true, false, m.class_id};
        } else if (name == "reback" || name == "rebackall") {
          m.deleted = false;
        }
      }
      if (name == "delrecycle" || name == "empty") {
        for (int64_t id : targets) {
          if (model_[id].deleted) model_.erase(id);
        }
      }
      // The same post again (a resubmitted form) changes nothing more.
      if (pick(4) == 0 && name != "delrecycle") {
        ASSERT_TRUE(Saved(site_->Post(manager + name, {{"selectdel", list}}), "成功"));
      }
    }
    ++ran[name];
    ExpectModel("step " + std::to_string(step) + " " + name);
    if (HasFatalFailure()) return;
  }
  // The sequence went through every kind of change.
  for (const char* kind : {"add", "edit", "check", "uncheck", "del", "reback", "delrecycle",
                           "checkall", "delall", "rebackall", "empty", "refused"}) {
    EXPECT_GT(ran[kind], 0) << kind;
  }
  // A move of class A's articles into class B keeps the counters.
  ASSERT_TRUE(Saved(site_->Post(manager + "savemove", {{"d_fromid", std::to_string(class_a_)},
                                                       {"d_toid", std::to_string(class_b_)}}),
                    "批量移动文章操作成功！"));
  for (auto& [id, m] : model_) {
    if (m.class_id == class_a_) m.class_id = class_b_;
  }
  ExpectModel("savemove");

  // The manager lists the live articles and the recycle bin the recycled ones, searched by title.
  int64_t live = 0, recycled = 0;
  for (const auto& [id, m] : model_) (m.deleted ? recycled : live) += 1;
  auto rows = [](const std::string& page) {
    int64_t n = 0;
    for (size_t at = page.find("name='selectdel'"); at != std::string::npos;
         at = page.find("name='selectdel'", at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(rows(site_->Get("/admin.asp?m=admin_article&channelid=1").text),
            std::min<int64_t>(live, 20));
  EXPECT_EQ(rows(site_->Get("/admin.asp?m=admin_article&channelid=1&action=recycle").text),
            std::min<int64_t>(recycled, 20));
  EXPECT_EQ(
      rows(site_->Post("/admin.asp?m=admin_article&channelid=1", {{"qtitle", "nothing"}}).text), 0);

  // A change of a body alone, by another writer than the server, changes the body search's
  // total.
  ExpectModel("before the body changes");
  const std::string changed =
      Value(
          "select max(d_id) from Vantrel_Article where d_channelid = 1 and d_deleted = false and "
          "d_checked = true and d_content not like '%改%'")
          .ToString();
  ASSERT_FALSE(changed.empty());
  Exec("update Vantrel_Article set d_content = '<p>改</p>' where d_id = " + changed);
  ExpectModel("a body changed");
}

FOLIREX_BOTH_DATABASE_FORMS(Engines, ArticleCountersTest);

}  // namespace
}  // namespace folirex::testing
