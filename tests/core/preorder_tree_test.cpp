// The pre-order tree on what the class tree's and the menu's model tests do not reach: a table
// with column names of its own (the statements take the names they are given; the id stays d_id,
// the autonumber an added row is read back by), and a forest
// whose positions have a gap, as older sites' menus hold it (their delete left the gap): the
// sibling moves find a subtree's end by level and a new top-level node goes past the last
// position, so the walk stays sound and no two nodes share a position.
#include "core/preorder_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/provider.h"
#include "platform/db/recordset.h"
#include "support/temp_folder.h"

namespace folirex::testing {
namespace {

constexpr PreorderTree kOutline({.table = "Outline",
                                 .scope = "book",
                                 .pid = "up",
                                 .order = "pos",
                                 .child = "below",
                                 .level = "depth",
                                 .root = "top",
                                 .path = "trail",
                                 .lock_table = "Book",
                                 .lock_key = "b"});

// "title pid/child/level/root/path" of every node of the book, in position order.
std::vector<std::string> Walk(Connection& conn, int64_t book) {
  std::vector<std::string> rows;
  Recordset rs;
  rs.Open("select * from Outline where book = ? order by pos", {Variant(book)}, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) {
    rows.push_back(rs["title"].ToString() + " " + rs["up"].ToString() + "/" +
                   rs["below"].ToString() + "/" + rs["depth"].ToString() + "/" +
                   rs["top"].ToString() + "/" + rs["trail"].ToString());
  }
  return rows;
}

std::vector<int64_t> Positions(Connection& conn, int64_t book) {
  std::vector<int64_t> positions;
  Recordset rs;
  rs.Open("select pos from Outline where book = ? order by pos", {Variant(book)}, conn, 0, 1);
  for (; !rs.Eof(); rs.MoveNext()) positions.push_back(rs["pos"].ToInt64Or(-1));
  return positions;
}

class OutlineDb {
 public:
  OutlineDb() {
    conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
              folder_.Write("outline.db", "").string() + ";");
    for (const char* sql :
         {"create table Book (b integer primary key)", "insert into Book values (1), (2)",
          "create table Outline (d_id integer primary key autoincrement, book integer, up integer, "
          "pos integer, below integer, depth integer, top integer, trail text, title text)"}) {
      conn.session().ExecuteNative(sql);
    }
  }
  int64_t Add(int64_t book, int64_t parent, const std::string& title) {
    int64_t id = 0;
    EXPECT_EQ(kOutline.Insert(
                  conn, book, parent, [&](Recordset& rs) { rs.Set("title", Variant(title)); }, &id),
              PreorderStatus::kDone);
    return id;
  }
  Connection conn;

 private:
  TempFolder folder_;
};

TEST(PreorderTreeTest, EveryChangeWorksOnATableOfItsOwnNames) {
  OutlineDb db;
  Connection& conn = db.conn;
  const int64_t other = db.Add(2, 0, "other");
  const int64_t a = db.Add(1, 0, "a");
  const int64_t b = db.Add(1, a, "b");
  const int64_t c = db.Add(1, b, "c");
  const int64_t d = db.Add(1, 0, "d");
  const int64_t e = db.Add(1, a, "e");
  const std::string A = std::to_string(a), B = std::to_string(b), C = std::to_string(c),
                    D = std::to_string(d), E = std::to_string(e);
  EXPECT_EQ(Walk(conn, 1), (std::vector<std::string>{
                               "a 0/3/0/" + A + "/" + A + ",",
                               "b " + A + "/1/1/" + A + "/" + A + "," + B + ",",
                               "c " + B + "/0/2/" + A + "/" + A + "," + B + "," + C + ",",
                               "e " + A + "/0/1/" + A + "/" + A + "," + E + ",",
                               "d 0/0/0/" + D + "/" + D + ",",
                           }));

  EXPECT_EQ(kOutline.MoveDown(conn, 1, b), PreorderStatus::kDone);  // a e b c d
  EXPECT_EQ(kOutline.Move(conn, 1, d, b), PreorderStatus::kDone);   // a e b d c
  EXPECT_EQ(kOutline.Move(conn, 1, a, c), PreorderStatus::kIntoOwnSubtree);
  EXPECT_EQ(kOutline.MoveUp(conn, 1, e), PreorderStatus::kNothingToDo);
  EXPECT_EQ(kOutline.Delete(conn, 1, other), PreorderStatus::kNoNode);
  EXPECT_EQ(Walk(conn, 1), (std::vector<std::string>{
                               "a 0/4/0/" + A + "/" + A + ",",
                               "e " + A + "/0/1/" + A + "/" + A + "," + E + ",",
                               "b " + A + "/2/1/" + A + "/" + A + "," + B + ",",
                               "d " + B + "/0/2/" + A + "/" + A + "," + B + "," + D + ",",
                               "c " + B + "/0/2/" + A + "/" + A + "," + B + "," + C + ",",
                           }));

  EXPECT_EQ(kOutline.Flatten(conn, 1, a), PreorderStatus::kDone);
  EXPECT_EQ(kOutline.Delete(conn, 1, e), PreorderStatus::kDone);
  EXPECT_EQ(Walk(conn, 1), (std::vector<std::string>{
                               "a 0/3/0/" + A + "/" + A + ",",
                               "b " + A + "/0/1/" + A + "/" + A + "," + B + ",",
                               "d " + A + "/0/1/" + A + "/" + A + "," + D + ",",
                               "c " + A + "/0/1/" + A + "/" + A + "," + C + ",",
                           }));
  EXPECT_EQ(Positions(conn, 1), (std::vector<int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(Walk(conn, 2), (std::vector<std::string>{"other 0/0/0/" + std::to_string(other) + "/" +
                                                     std::to_string(other) + ","}));
}

TEST(PreorderTreeTest, AGapInThePositionsLeavesMovesAndTopLevelAddsSound) {
  OutlineDb db;
  Connection& conn = db.conn;
  // a (with a1 and a2, a gap between them) and b: positions 1, 2, 4, 5.
  conn.session().ExecuteNative(
      "insert into Outline (d_id, book, up, pos, below, depth, top, trail, title) values "
      "(1, 1, 0, 1, 2, 0, 1, '1,', 'a'), (2, 1, 1, 2, 0, 1, 1, '1,2,', 'a1'), "
      "(3, 1, 1, 4, 0, 1, 1, '1,3,', 'a2'), (4, 1, 0, 5, 0, 0, 4, '4,', 'b')");
  auto titles = [&] {
    std::string out;
    for (const std::string& row : Walk(conn, 1)) out += row.substr(0, row.find(' ')) + " ";
    return out;
  };

  const int64_t c = db.Add(1, 0, "c");
  EXPECT_EQ(titles(), "a a1 a2 b c ");
  EXPECT_EQ(Positions(conn, 1), (std::vector<int64_t>{1, 2, 4, 5, 6}));

  EXPECT_EQ(kOutline.MoveDown(conn, 1, 1), PreorderStatus::kDone);
  EXPECT_EQ(titles(), "b a a1 a2 c ");
  EXPECT_EQ(kOutline.MoveUp(conn, 1, c), PreorderStatus::kDone);
  EXPECT_EQ(titles(), "b c a a1 a2 ");
  EXPECT_EQ(kOutline.MoveUp(conn, 1, 1), PreorderStatus::kDone);
  EXPECT_EQ(titles(), "b a a1 a2 c ");
  const std::vector<int64_t> positions = Positions(conn, 1);
  EXPECT_EQ(std::adjacent_find(positions.begin(), positions.end()), positions.end());
}

}  // namespace
}  // namespace folirex::testing
