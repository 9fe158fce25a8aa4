// The class tree against a model: random runs of add, up, down, reset, move, delete, empty and
// renumber on a real database (a SQLite file, and PostgreSQL when ./test.sh runs its cluster),
// each step checked row by row against a tree kept in memory (positions, descendant counts,
// levels, paths, roots, parents, the articles of each class, another channel's classes left
// alone); and a change that fails half-way leaves the tree as it was.
#include "taxonomy/class_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/site_setup.h"
#include "platform/db/connection.h"
#include "platform/db/provider.h"
#include "platform/db/recordset.h"
#include "postgres/pg_test_support.h"
#include "support/temp_folder.h"

namespace folirex::testing {
namespace {

constexpr int64_t kChannel = 1;
constexpr int64_t kOtherChannel = 2;

Variant V(int64_t n) { return Variant(static_cast<long long>(n)); }

// One row as the table holds it, and as the model expects it.
struct Row {
  int64_t id, pid, order, child, level, root;
  std::string path;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{id " << r.id << " pid " << r.pid << " order " << r.order << " child " << r.child
            << " level " << r.level << " root " << r.root << " path " << r.path << "}";
}

std::vector<Row> TreeRows(Connection& conn, int64_t channel) {
  std::vector<Row> rows;
  Recordset rs;
  rs.Open(
      "select d_id, d_pid, d_order, d_child, d_level, d_rootid, d_path from Vantrel_ArticleClass "
      "where d_channelid = ? order by d_order, d_id",
      {V(channel)}, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    rows.push_back({rs["d_id"].ToInt64Or(-1), rs["d_pid"].ToInt64Or(-1),
                    rs["d_order"].ToInt64Or(-1), rs["d_child"].ToInt64Or(-1),
                    rs["d_level"].ToInt64Or(-1), rs["d_rootid"].ToInt64Or(-1),
                    rs["d_path"].ToString()});
  }
  return rows;
}

// The forest of one channel: children in sibling order (0 is the top level), and each class's
// articles, live and in the recycle bin.
class Model {
 public:
  bool Has(int64_t id) const { return parent_.contains(id); }
  int64_t Parent(int64_t id) const { return parent_.at(id); }
  const std::vector<int64_t>& Children(int64_t id) { return children_[id]; }
  std::vector<int64_t> Ids() const {
    std::vector<int64_t> ids;
    for (const auto& [id, p] : parent_) ids.push_back(id);
    return ids;
  }
  std::vector<int64_t> Subtree(int64_t id) {
    std::vector<int64_t> out{id};
    for (int64_t c : children_[id]) {
      std::vector<int64_t> below = Subtree(c);
      out.insert(out.end(), below.begin(), below.end());
    }
    return out;
  }
  bool InSubtree(int64_t root, int64_t id) {
    std::vector<int64_t> s = Subtree(root);
    return std::find(s.begin(), s.end(), id) != s.end();
  }

  void Add(int64_t id, int64_t parent) {
    parent_[id] = parent;
    children_[parent].push_back(id);
    live_[id] = 1;
  }
  // -1 before, +1 after; false when there is no such sibling.
  bool Swap(int64_t id, int direction) {
    std::vector<int64_t>& s = children_[parent_[id]];
    auto it = std::find(s.begin(), s.end(), id);
    if (direction < 0 && it == s.begin()) return false;
    if (direction > 0 && it + 1 == s.end()) return false;
    std::iter_swap(it, it + direction);
    return true;
  }
  void Reset(int64_t id) {
    std::vector<int64_t> below = Subtree(id);
    below.erase(below.begin());
    for (int64_t c : below) {
      children_[c].clear();
      parent_[c] = id;
    }
    children_[id] = below;
  }
  void Move(int64_t id, int64_t to) {
    Unlink(id);
    parent_[id] = to;
    std::vector<int64_t>& s = children_[to];
    if (to == 0) {
      s.push_back(id);
    } else {
      s.insert(s.begin(), id);
    }
  }
  void Delete(int64_t id) {
    std::vector<int64_t> gone = Subtree(id);
    Unlink(id);
    for (int64_t c : gone) {
      parent_.erase(c);
      children_.erase(c);
      live_.erase(c);
      binned_.erase(c);
    }
  }
  void Empty(int64_t id) {
    for (int64_t c : Subtree(id)) {
      binned_[c] += live_[c];
      live_[c] = 0;
    }
  }
  int Live(int64_t id) { return live_[id]; }
  int Binned(int64_t id) { return binned_[id]; }

  std::vector<Row> Expected() {
    std::vector<Row> rows;
    std::function<void(int64_t, int64_t, const std::string&, int64_t)> visit =
        [&](int64_t id, int64_t level, const std::string& parent_path, int64_t root) {
          const size_t at = rows.size();
          const std::string path = parent_path + std::to_string(id) + ",";
          rows.push_back({id, parent_[id], static_cast<int64_t>(at) + 1, 0, level, root, path});
          for (int64_t c : children_[id]) visit(c, level + 1, path, root);
          rows[at].child = static_cast<int64_t>(rows.size() - at - 1);
        };
    for (int64_t top : children_[0]) visit(top, 0, "", top);
    return rows;
  }

 private:
  void Unlink(int64_t id) {
    std::vector<int64_t>& s = children_[parent_[id]];
    s.erase(std::find(s.begin(), s.end(), id));
  }

  std::map<int64_t, int64_t> parent_;
  std::map<int64_t, std::vector<int64_t>> children_;
  std::map<int64_t, int> live_;
  std::map<int64_t, int> binned_;
};

int64_t CountArticles(Connection& conn, int64_t class_id, bool deleted) {
  return conn
      .ExecuteScalar(std::string("select count(*) from Vantrel_Article where d_classid = ? and ") +
                         (deleted ? "d_deleted <> 0" : "d_deleted = 0"),
                     {V(class_id)})
      .ToInt64Or(-1);
}

int64_t AddWithArticle(Connection& conn, int64_t channel, int64_t parent, int n) {
  int64_t id = 0;
  ClassSettings settings{.name = "类" + std::to_string(n), .dir = "c" + std::to_string(n)};
  EXPECT_EQ(AddClass(conn, channel, parent, settings, &id), ClassTreeStatus::kDone);
  conn.Execute("insert into Vantrel_Article (d_channelid, d_classid, d_title) values (?, ?, ?)",
               {V(channel), V(id), Variant("文章")});
  return id;
}

// Runs `steps` random changes and checks the whole tree after each.
void RunModel(Connection& conn, uint32_t seed, int steps) {
  std::mt19937 random(seed);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
  Model model;
  int names = 0;

  // Another channel's tree, which no step may touch.
  const int64_t foreign_top = AddWithArticle(conn, kOtherChannel, 0, ++names);
  const int64_t foreign_child = AddWithArticle(conn, kOtherChannel, foreign_top, ++names);
  const std::vector<Row> foreign_rows = TreeRows(conn, kOtherChannel);

  for (int step = 0; step < steps; ++step) {
    std::vector<int64_t> ids = model.Ids();
    // Mostly a class of the channel; now and then another channel's class or no class at all.
    auto some_class = [&]() -> int64_t {
      int roll = pick(20);
      if (ids.empty() || roll == 0) return foreign_child;
      if (roll == 1) return 999999;
      return ids[pick(static_cast<int>(ids.size()))];
    };
    const int op = ids.size() < 4 ? 0 : pick(9);
    std::string what;
    switch (op) {
      case 0:
      case 1: {  // add
        const int64_t parent = ids.empty() || pick(4) == 0 ? 0 : some_class();
        what = "add under " + std::to_string(parent);
        int64_t id = 0;
        ClassSettings settings{.name = "类" + std::to_string(++names),
                               .dir = "c" + std::to_string(names)};
        ClassTreeStatus status = AddClass(conn, kChannel, parent, settings, &id);
        if (parent != 0 && !model.Has(parent)) {
          ASSERT_EQ(status, ClassTreeStatus::kNoClass) << what;
        } else {
          ASSERT_EQ(status, ClassTreeStatus::kDone) << what;
          model.Add(id, parent);
          conn.Execute(
              "insert into Vantrel_Article (d_channelid, d_classid, d_title) values (?, ?, ?)",
              {V(kChannel), V(id), Variant("文章")});
        }
        break;
      }
      case 2:
      case 3: {  // up, down
        const int64_t id = some_class();
        const int direction = op == 2 ? -1 : 1;
        what = (op == 2 ? "up " : "down ") + std::to_string(id);
        ClassTreeStatus status =
            direction < 0 ? MoveClassUp(conn, kChannel, id) : MoveClassDown(conn, kChannel, id);
        if (!model.Has(id)) {
          ASSERT_EQ(status, ClassTreeStatus::kNoClass) << what;
        } else if (model.Swap(id, direction)) {
          ASSERT_EQ(status, ClassTreeStatus::kDone) << what;
        } else {
          ASSERT_EQ(status, ClassTreeStatus::kNothingToDo) << what;
        }
        break;
      }
      case 4: {  // reset
        const int64_t id = some_class();
        what = "reset " + std::to_string(id);
        ClassTreeStatus status = ResetClass(conn, kChannel, id);
        if (!model.Has(id)) {
          ASSERT_EQ(status, ClassTreeStatus::kNoClass) << what;
        } else if (model.Parent(id) != 0) {
          ASSERT_EQ(status, ClassTreeStatus::kNothingToDo) << what;
        } else {
          ASSERT_EQ(status, ClassTreeStatus::kDone) << what;
          model.Reset(id);
        }
        break;
      }
      case 5:
      case 6: {  // move
        const int64_t id = some_class();
        const int64_t to = pick(5) == 0 ? 0 : some_class();
        what = "move " + std::to_string(id) + " to " + std::to_string(to);
        ClassTreeStatus status = MoveClass(conn, kChannel, id, to);
        ClassTreeStatus expected = ClassTreeStatus::kDone;
        if (id == to) {
          expected = ClassTreeStatus::kSameClass;
        } else if (!model.Has(id)) {
          expected = ClassTreeStatus::kNoClass;
        } else if (model.Parent(id) == to) {
          expected = ClassTreeStatus::kSamePlace;
        } else if (to != 0 && !model.Has(to)) {
          expected = ClassTreeStatus::kNoTarget;
        } else if (to != 0 && model.InSubtree(id, to)) {
          expected = ClassTreeStatus::kIntoOwnSubtree;
        }
        ASSERT_EQ(status, expected) << what;
        if (expected == ClassTreeStatus::kDone) model.Move(id, to);
        break;
      }
      case 7: {  // delete, rarely: the tree should grow
        const int64_t id = some_class();
        what = "delete " + std::to_string(id);
        if (model.Has(id) && model.Subtree(id).size() > 4 && pick(3) != 0) break;
        ClassTreeStatus status = DeleteClass(conn, kChannel, id);
        if (!model.Has(id)) {
          ASSERT_EQ(status, ClassTreeStatus::kNoClass) << what;
        } else {
          ASSERT_EQ(status, ClassTreeStatus::kDone) << what;
          model.Delete(id);
        }
        break;
      }
      case 8: {  // empty two classes, or renumber a tree whose positions were spread out
        if (pick(2) == 0) {
          const int64_t a = some_class();
          const int64_t b = some_class();
          what = "empty " + std::to_string(a) + "," + std::to_string(b);
          ClassTreeStatus status = EmptyClasses(conn, kChannel, {a, b});
          if (!model.Has(a) || !model.Has(b)) {
            ASSERT_EQ(status, ClassTreeStatus::kNoClass) << what;
          } else {
            ASSERT_EQ(status, ClassTreeStatus::kDone) << what;
            model.Empty(a);
            model.Empty(b);
          }
        } else {
          what = "renumber";
          conn.Execute(
              "update Vantrel_ArticleClass set d_order = d_order * 3 + 7 where d_channelid = ?",
              {V(kChannel)});
          RenumberClasses(conn, kChannel);
        }
        break;
      }
    }
    if (what.empty()) continue;
    ASSERT_EQ(TreeRows(conn, kChannel), model.Expected()) << "after step " << step << ": " << what;
    ASSERT_EQ(TreeRows(conn, kOtherChannel), foreign_rows) << what;
    for (int64_t id : model.Ids()) {
      ASSERT_EQ(CountArticles(conn, id, false), model.Live(id)) << what << ", class " << id;
      ASSERT_EQ(CountArticles(conn, id, true), model.Binned(id)) << what << ", class " << id;
    }
  }
  // Deleted classes took their articles with them; the other channel's are all there.
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Article a where d_channelid = ? and "
                               "not exists (select 1 from Vantrel_ArticleClass c where c.d_id = "
                               "a.d_classid)",
                               {V(kChannel)})
                .ToInt64Or(-1),
            0);
  EXPECT_EQ(CountArticles(conn, foreign_child, false), 1);
}

// A fresh site database in a SQLite file.
class SqliteTree {
 public:
  SqliteTree() {
    const std::string file = folder_.Write("site.db", "").string();
    conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";");
    LoadDatabaseScripts(conn, ShareFolder() / "db");
  }
  Connection conn;

 private:
  TempFolder folder_;
};

TEST(ClassTreeTest, RandomChangesKeepThePreOrderOnSqlite) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SqliteTree db;
    SCOPED_TRACE("seed " + std::to_string(seed));
    RunModel(db.conn, seed, 250);
  }
}

TEST(ClassTreeTest, RandomChangesKeepThePreOrderOnPostgres) {
  PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase db(pg);
  db.LoadSite();
  Connection conn;
  conn.Open(db.ConnectionString());
  RunModel(conn, 7, 200);
}

// A statement that fails inside a change (here a trigger refusing the last step of each)
// leaves every row as it was.
TEST(ClassTreeTest, AChangeThatFailsHalfWayLeavesTheTreeAsItWas) {
  SqliteTree db;
  Connection& conn = db.conn;
  const int64_t a = AddWithArticle(conn, kChannel, 0, 1);
  const int64_t b = AddWithArticle(conn, kChannel, a, 2);
  AddWithArticle(conn, kChannel, b, 3);
  const int64_t d = AddWithArticle(conn, kChannel, 0, 4);
  AddWithArticle(conn, kChannel, d, 5);
  const std::vector<Row> before = TreeRows(conn, kChannel);
  const int64_t articles = conn.ExecuteScalar("select count(*) from Vantrel_Article").ToInt64();

  conn.session().ExecuteNative(
      "create trigger refuse_path before update of d_path on Vantrel_ArticleClass "
      "begin select raise(abort, 'refused'); end");
  int64_t id = 0;
  EXPECT_THROW(AddClass(conn, kChannel, b, {.name = "新", .dir = "x"}, &id), DbError);
  EXPECT_THROW(MoveClass(conn, kChannel, b, d), DbError);
  EXPECT_THROW(ResetClass(conn, kChannel, a), DbError);
  conn.Execute("drop trigger refuse_path");
  conn.session().ExecuteNative(
      "create trigger refuse_order before update of d_order on Vantrel_ArticleClass "
      "begin select raise(abort, 'refused'); end");
  EXPECT_THROW(DeleteClass(conn, kChannel, b), DbError);
  EXPECT_THROW(MoveClassDown(conn, kChannel, a), DbError);
  conn.Execute("drop trigger refuse_order");

  EXPECT_EQ(TreeRows(conn, kChannel), before);
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_Article").ToInt64(), articles);
  EXPECT_EQ(conn.transaction_depth(), 0);
}

}  // namespace
}  // namespace folirex::testing
