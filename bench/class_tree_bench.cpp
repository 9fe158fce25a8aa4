// Times the class tree's changes on a channel with 5,000 classes and 100,000 articles: adding a
// class deep in the tree, moving a subtree across the channel and back, deleting a subtree with
// its articles, and reading the whole tree as the console's list does. Prints the milliseconds
// and the statements each run took (the statement count must not grow with the tree).
//
//   folirex-class-tree-bench [--classes N] [--articles N] [--rounds N]
// The database is a SQLite file made from db/ in a temporary folder, removed at the end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/site_setup.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "taxonomy/class_tree.h"

namespace {

using folirex::Connection;
using folirex::Variant;

Variant V(int64_t n) { return Variant(static_cast<long long>(n)); }

// A forest of `classes` classes in channel 1: top-level classes of 10 children with 10 children
// each, written with their pre-order columns; `articles` articles spread over them.
void Seed(Connection& conn, int64_t classes, int64_t articles) {
  folirex::ScopedTransaction transaction(conn);
  int64_t order = 0;
  int64_t made = 0;
  std::vector<int64_t> ids;
  auto insert = [&](int64_t pid, int64_t level, int64_t child, int64_t root,
                    const std::string& parent_path) {
    ++made;
    conn.Execute(
        "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, d_child, d_level, "
        "d_order) values (1, ?, ?, ?, ?, ?, ?)",
        {V(pid), Variant("分类" + std::to_string(made)), Variant("c" + std::to_string(made)),
         V(child), V(level), V(++order)});
    const int64_t id =
        conn.ExecuteScalar("select max(d_id) from Vantrel_ArticleClass").ToInt64Or(0);
    const std::string path = parent_path + std::to_string(id) + ",";
    conn.Execute("update Vantrel_ArticleClass set d_path = ?, d_rootid = ? where d_id = ?",
                 {Variant(path), V(root == 0 ? id : root), V(id)});
    ids.push_back(id);
    return std::make_pair(id, path);
  };
  while (made + 111 <= classes) {
    auto [top, top_path] = insert(0, 0, 110, 0, "");
    for (int i = 0; i < 10; ++i) {
      auto [mid, mid_path] = insert(top, 1, 10, top, top_path);
      for (int j = 0; j < 10; ++j) insert(mid, 2, 0, top, mid_path);
    }
  }
  while (made < classes) insert(0, 0, 0, 0, "");
  for (int64_t i = 0; i < articles; ++i) {
    conn.Execute("insert into Vantrel_Article (d_channelid, d_classid, d_title) values (1, ?, ?)",
                 {V(ids[static_cast<size_t>(i) % ids.size()]), Variant("文章")});
  }
  transaction.Commit();
}

int64_t IdAt(Connection& conn, int64_t order) {
  return conn
      .ExecuteScalar("select d_id from Vantrel_ArticleClass where d_channelid = 1 and d_order = ?",
                     {V(order)})
      .ToInt64Or(0);
}

// The first class of the channel at the level, in position order.
int64_t FirstAtLevel(Connection& conn, int64_t level) {
  return conn
      .ExecuteScalar(
          "select top 1 d_id from Vantrel_ArticleClass where d_channelid = 1 and "
          "d_level = ? order by d_order",
          {V(level)})
      .ToInt64Or(0);
}

void Time(Connection& conn, const char* what, int rounds, const std::function<void()>& run) {
  const int64_t statements = conn.statement_count();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) run();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-34s %9.2f ms a run  %6.1f statements a run\n", what, ms / rounds,
              static_cast<double>(conn.statement_count() - statements) / rounds);
}

}  // namespace

int main(int argc, char** argv) {
  int64_t classes = 5000;
  int64_t articles = 100000;
  int rounds = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--classes") == 0)
      classes = std::atoll(argv[i + 1]);
    else if (std::strcmp(argv[i], "--articles") == 0)
      articles = std::atoll(argv[i + 1]);
    else if (std::strcmp(argv[i], "--rounds") == 0)
      rounds = std::atoi(argv[i + 1]);
  }
  if (classes < 200 || rounds < 1) {
    std::fprintf(stderr,
                 "usage: folirex-class-tree-bench [--classes N>=200] [--articles N] "
                 "[--rounds N]\n");
    return 2;
  }
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("folirex-class-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  {
    const std::filesystem::path file = dir / "site.db";
    std::FILE* f = std::fopen(file.c_str(), "w");
    if (f) std::fclose(f);
    Connection conn;
    conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string() + ";");
    folirex::LoadDatabaseScripts(conn, folirex::ShareFolder() / "db");
    Seed(conn, classes, articles);
    std::printf("%lld classes, %lld articles in channel 1 (SQLite)\n",
                static_cast<long long>(classes), static_cast<long long>(articles));

    // A leaf added under a class in the middle of the channel.
    const int64_t middle = IdAt(conn, classes / 2);
    Time(conn, "add a class mid-tree", rounds, [&] {
      int64_t id = 0;
      folirex::AddClass(conn, 1, middle, {.name = "新", .dir = "n"}, &id);
    });
    // A class with 10 subclasses, from the start of the channel to its end, and under a class in
    // the middle of the channel.
    Time(conn, "move a subtree to the top level", rounds,
         [&] { folirex::MoveClass(conn, 1, FirstAtLevel(conn, 1), 0); });
    Time(conn, "move a subtree under a class", rounds,
         [&] { folirex::MoveClass(conn, 1, FirstAtLevel(conn, 1), IdAt(conn, classes / 2)); });
    Time(conn, "delete a subtree of 11 classes", rounds,
         [&] { folirex::DeleteClass(conn, 1, FirstAtLevel(conn, 1)); });
    Time(conn, "read the tree list", rounds, [&] {
      folirex::Recordset rs;
      rs.Open(
          "select d_id, d_pid, d_name, d_dir, d_level, d_child from Vantrel_ArticleClass "
          "where d_channelid = ? order by d_order",
          {V(1)}, conn, 0, 1);
      for (; !rs.Eof(); rs.MoveNext()) {
      }
    });
    Time(conn, "renumber the channel", rounds, [&] { folirex::RenumberClasses(conn, 1); });
  }
  std::filesystem::remove_all(dir);
  return 0;
}
