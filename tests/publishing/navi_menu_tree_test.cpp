// The navigation menu tree against a model: random runs of custom adds (top level and below an
// item), moves up and down, deletes of subtrees, picked classes (alone and with their
// sub-classes), class imports and emptying on a real database (a SQLite file, and PostgreSQL
// when ./test.sh runs its cluster). After each step every row of the channel is checked against a
// forest kept in memory (positions 1..N without gaps, descendant counts, levels, paths, roots,
// parents, names), and another channel's menu stays as it was.
#include "publishing/navi_menu_tree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/site_setup.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "postgres/pg_test_support.h"
#include "support/temp_folder.h"

namespace folirex::testing {
namespace {

constexpr int64_t kChannel = 1;
constexpr int64_t kOtherChannel = 2;

struct Row {
  int64_t id, pid, order, child, level, root;
  std::string path, name;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{id " << r.id << " pid " << r.pid << " order " << r.order << " child " << r.child
            << " level " << r.level << " root " << r.root << " path " << r.path << " name "
            << r.name << "}";
}

std::vector<Row> MenuRows(Connection& conn, int64_t channel) {
  std::vector<Row> rows;
  Recordset rs;
  rs.Open(
      "select d_id, d_pid, d_order, d_child, d_level, d_rootid, d_path, d_name from "
      "Vantrel_NaviMenu where d_channelid = ? order by d_order, d_id",
      {Variant(channel)}, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    rows.push_back({rs["d_id"].ToInt64Or(-1), rs["d_pid"].ToInt64Or(-1),
                    rs["d_order"].ToInt64Or(-1), rs["d_child"].ToInt64Or(-1),
                    rs["d_level"].ToInt64Or(-1), rs["d_rootid"].ToInt64Or(-1),
                    rs["d_path"].ToString(), rs["d_name"].ToString()});
  }
  return rows;
}

// The model: a forest of named items.
struct Node {
  int64_t id = 0;
  std::string name;
  std::vector<std::unique_ptr<Node>> children;
};
using Forest = std::vector<std::unique_ptr<Node>>;

// The rows the table must hold for the forest, in pre-order.
void Expected(const Forest& forest, int64_t pid, int64_t root, int64_t level,
              const std::string& path, std::vector<Row>* rows) {
  for (const auto& node : forest) {
    Row row{node->id,
            pid,
            static_cast<int64_t>(rows->size()) + 1,
            0,
            level,
            root == 0 ? node->id : root,
            path + std::to_string(node->id) + ",",
            node->name};
    size_t at = rows->size();
    rows->push_back(row);
    Expected(node->children, node->id, row.root, level + 1, row.path, rows);
    (*rows)[at].child = static_cast<int64_t>(rows->size() - at - 1);
  }
}

// Every node with the list that holds it.
void Walk(Forest& forest, std::vector<std::pair<Forest*, size_t>>* out) {
  for (size_t i = 0; i < forest.size(); ++i) {
    out->push_back({&forest, i});
    Walk(forest[i]->children, out);
  }
}

// The channel's class tree that picks and imports copy, in the same encoding, and its model.
struct ClassSeed {
  int64_t id;
  int64_t parent;
  std::string name;
};
const std::vector<ClassSeed> kClasses = {{101, 0, "国内"},   {102, 101, "北京"}, {103, 102, "海淀"},
                                         {104, 102, "朝阳"}, {105, 101, "上海"}, {106, 0, "国际"},
                                         {107, 0, "体育"},   {108, 107, "足球"}};

void SeedClasses(Connection& conn) {
  Forest classes;
  std::map<int64_t, Node*> by_id;
  for (const ClassSeed& seed : kClasses) {
    auto node = std::make_unique<Node>();
    node->id = seed.id;
    node->name = seed.name;
    by_id[seed.id] = node.get();
    (seed.parent == 0 ? classes : by_id[seed.parent]->children).push_back(std::move(node));
  }
  std::vector<Row> rows;
  Expected(classes, 0, 0, 0, "", &rows);
  for (const Row& r : rows) {
    conn.Execute(
        "insert into Vantrel_ArticleClass (d_id, d_channelid, d_name, d_dir, d_rootid, d_pid, "
        "d_level, d_path, d_child, d_order) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Variant(r.id), Variant(kChannel), Variant(r.name), Variant("c" + std::to_string(r.id)),
         Variant(r.root), Variant(r.pid), Variant(r.level), Variant(r.path), Variant(r.child),
         Variant(r.order)});
  }
}

// The model of the copies of class `id` (with its sub-classes or alone), ids still 0.
std::unique_ptr<Node> ClassCopy(int64_t id, bool with_subclasses) {
  auto node = std::make_unique<Node>();
  for (const ClassSeed& seed : kClasses) {
    if (seed.id == id) node->name = seed.name;
  }
  if (with_subclasses) {
    for (const ClassSeed& seed : kClasses) {
      if (seed.parent == id) node->children.push_back(ClassCopy(seed.id, true));
    }
  }
  return node;
}

// Gives the appended model nodes (ids 0) the ids the table gave the new rows, in pre-order.
void AssignNewIds(Connection& conn, int64_t before, Forest& forest) {
  std::vector<int64_t> ids;
  Recordset rs;
  rs.Open("select d_id from Vantrel_NaviMenu where d_channelid = ? and d_id > ? order by d_order",
          {Variant(kChannel), Variant(before)}, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) ids.push_back(rs["d_id"].ToInt64Or(-1));
  std::vector<std::pair<Forest*, size_t>> all;
  Walk(forest, &all);
  size_t next = 0;
  for (auto& [list, index] : all) {
    Node& node = *(*list)[index];
    if (node.id == 0) node.id = next < ids.size() ? ids[next++] : -1;
  }
  EXPECT_EQ(next, ids.size());
}

int64_t MaxId(Connection& conn) {
  return conn.ExecuteScalar("select max(d_id) from Vantrel_NaviMenu").ToInt64Or(0);
}

void RunModel(Connection& conn, uint32_t seed, int steps) {
  SeedClasses(conn);
  ClassLinkRule link = [](int64_t id, const std::string& dir) {
    return "/" + dir + "/list_" + std::to_string(id) + ".html";
  };
  // Another channel's menu, which no step may touch.
  int64_t other = 0;
  ASSERT_EQ(AddMenuItem(conn, kOtherChannel, 0, {"其他", 0, "", ""}, &other),
            MenuTreeStatus::kDone);
  ASSERT_EQ(AddMenuItem(conn, kOtherChannel, other, {"其他子项", 0, "", ""}, nullptr),
            MenuTreeStatus::kDone);
  const std::vector<Row> other_rows = MenuRows(conn, kOtherChannel);

  std::mt19937 random(seed);
  auto pick = [&random](size_t n) {
    return static_cast<size_t>(std::uniform_int_distribution<size_t>(0, n - 1)(random));
  };
  Forest model;
  int names = 0;
  for (int step = 0; step < steps; ++step) {
    std::vector<std::pair<Forest*, size_t>> all;
    Walk(model, &all);
    const int kind = static_cast<int>(pick(100));
    std::string what;
    if (kind < 30 || all.empty()) {
      // A custom item at the top or below a random item.
      const std::string name = "项" + std::to_string(++names);
      Forest* into = &model;
      int64_t parent = 0;
      if (!all.empty() && pick(3) != 0) {
        auto [list, index] = all[pick(all.size())];
        parent = (*list)[index]->id;
        into = &(*list)[index]->children;
      }
      what = "add " + name + " under " + std::to_string(parent);
      int64_t id = 0;
      ASSERT_EQ(AddMenuItem(conn, kChannel, parent, {name, 1, "/x.html", ""}, &id),
                MenuTreeStatus::kDone);
      auto node = std::make_unique<Node>();
      node->id = id;
      node->name = name;
      into->push_back(std::move(node));
    } else if (kind < 55) {
      auto [list, index] = all[pick(all.size())];
      const bool up = pick(2) == 0;
      const int64_t id = (*list)[index]->id;
      what = std::string(up ? "up " : "down ") + std::to_string(id);
      MenuTreeStatus status =
          up ? MoveMenuItemUp(conn, kChannel, id) : MoveMenuItemDown(conn, kChannel, id);
      const bool edge = up ? index == 0 : index + 1 == list->size();
      ASSERT_EQ(status, edge ? MenuTreeStatus::kNothingToDo : MenuTreeStatus::kDone) << what;
      if (!edge) std::swap((*list)[index], (*list)[up ? index - 1 : index + 1]);
    } else if (kind < 75) {
      auto [list, index] = all[pick(all.size())];
      const int64_t id = (*list)[index]->id;
      what = "delete " + std::to_string(id);
      ASSERT_EQ(DeleteMenuItem(conn, kChannel, id), MenuTreeStatus::kDone);
      list->erase(list->begin() + static_cast<std::ptrdiff_t>(index));
    } else if (kind < 90) {
      const ClassSeed& seed = kClasses[pick(kClasses.size())];
      const bool with_subclasses = pick(2) == 0;
      what = "pick " + std::to_string(seed.id) + (with_subclasses ? " with sub-classes" : "");
      const int64_t before = MaxId(conn);
      ASSERT_EQ(AddClassItems(conn, kChannel, seed.id, with_subclasses, 1, link),
                MenuTreeStatus::kDone);
      model.push_back(ClassCopy(seed.id, with_subclasses));
      AssignNewIds(conn, before, model);
    } else if (kind < 96) {
      what = "import";
      const int64_t before = MaxId(conn);
      ImportClassTree(conn, kChannel, "/home/", link);
      auto home = std::make_unique<Node>();
      home->name = "首 页";
      model.push_back(std::move(home));
      for (const ClassSeed& seed : kClasses) {
        if (seed.parent == 0) model.push_back(ClassCopy(seed.id, true));
      }
      AssignNewIds(conn, before, model);
    } else if (kind < 98) {
      what = "empty";
      EmptyMenu(conn, kChannel);
      model.clear();
    } else {
      // Ids that name no item of the channel change nothing.
      what = "foreign ids";
      EXPECT_EQ(DeleteMenuItem(conn, kChannel, other), MenuTreeStatus::kNoItem);
      EXPECT_EQ(MoveMenuItemUp(conn, kChannel, 999999), MenuTreeStatus::kNoItem);
      EXPECT_EQ(AddMenuItem(conn, kChannel, other, {"x", 0, "", ""}, nullptr),
                MenuTreeStatus::kNoItem);
      EXPECT_EQ(AddClassItems(conn, kChannel, 999, true, 0, link), MenuTreeStatus::kNoClass);
    }
    std::vector<Row> expected;
    Expected(model, 0, 0, 0, "", &expected);
    ASSERT_EQ(MenuRows(conn, kChannel), expected) << "step " << step << ": " << what;
    ASSERT_EQ(MenuRows(conn, kOtherChannel), other_rows) << "step " << step << ": " << what;
  }
  // Copies of classes carry the class link; the import's home item its own.
  EXPECT_EQ(conn.ExecuteScalar("select count(*) from Vantrel_NaviMenu where d_typeflag = 0 and "
                               "d_name <> '首 页' and d_linkurl not like '/c1%/list_1%.html'")
                .ToInt64Or(-1),
            0);
}

class SqliteMenu {
 public:
  SqliteMenu() {
    const std::string file = folder_.Write("site.db", "").string();
    conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";");
    LoadDatabaseScripts(conn, ShareFolder() / "db");
  }
  Connection conn;

 private:
  TempFolder folder_;
};

TEST(NaviMenuTreeTest, RandomChangesKeepThePreOrderOnSqlite) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SqliteMenu db;
    SCOPED_TRACE("seed " + std::to_string(seed));
    RunModel(db.conn, seed, 300);
  }
}

TEST(NaviMenuTreeTest, RandomChangesKeepThePreOrderOnPostgres) {
  PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase db(pg);
  db.LoadSite();
  Connection conn;
  conn.Open(db.ConnectionString());
  RunModel(conn, 7, 200);
}

}  // namespace
}  // namespace folirex::testing
