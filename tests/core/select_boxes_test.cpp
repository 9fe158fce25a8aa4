#include "core/select_boxes.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/paging_db_fixture.h"

namespace folirex {
namespace {

using testing::PagingDb;

const char kClasses[] = "select d_name, d_id from Vantrel_ArticleClass order by d_id";

void AddClasses(PagingDb& db) {
  db.Exec(
      "insert into Vantrel_ArticleClass (d_id, d_name, d_dir) values "
      "(1, 'News', 'news'), (2, 'a&b', ' sport  '), (3, 'Tech <3', null), "
      "(4, '  padded name ', '')");
}

TEST(BuildSelectTest, RowsOfASelectWithTheChosenOneMarked) {
  PagingDb db;
  AddClasses(db);
  const std::string expected =
      "<select name='classid' size=1>"
      "<option value=\"1\">News</option>"
      "<option value=\"2\">a&amp;b</option>"
      "<option value=\"3\" selected>Tech &lt;3</option>"
      "<option value=\"4\">  padded name </option>"
      "</select>";
  EXPECT_EQ(BuildSelect(db.state.db, "classid", {}, {}, "3", kClasses, ""), expected);
  // A number matches the same text.
  EXPECT_EQ(BuildSelect(db.state.db, "classid", {}, {}, 3, kClasses, ""), expected);
  EXPECT_EQ(BuildSelect(db.state.db, "classid", {}, {}, 3.0, kClasses, ""), expected);
}

TEST(BuildSelectTest, BoundSelectTakesItsValuesAsParameters) {
  PagingDb db;
  AddClasses(db);
  const char kNamed[] =
      "select d_name, d_id from Vantrel_ArticleClass where d_id > ? and d_name <> ? order by d_id";
  EXPECT_EQ(BuildBoundSelect(db.state.db, "c", Variant("3"), kNamed,
                             {Variant(int64_t{1}), Variant("a&b")}, "无"),
            "<select name='c' size=1><option value=''>无</option>"
            "<option value=\"3\" selected>Tech &lt;3</option>"
            "<option value=\"4\">  padded name </option></select>");
  // A value that would end a quoted literal is only a value.
  EXPECT_EQ(BuildBoundSelect(db.state.db, "c", Variant(), kNamed,
                             {Variant("0 or 1=1"), Variant("' or ''='")}, ""),
            "<select name='c' size=1></select>");
}

TEST(BuildSelectTest, FirstTextComesBeforeEveryRowAndIsNeverMarked) {
  PagingDb db;
  AddClasses(db);
  std::string html = BuildSelect(db.state.db, "classid", {}, {}, "", kClasses, "无");
  EXPECT_EQ(html.rfind("<select name='classid' size=1><option value=''>无</option>"
                       "<option value=\"1\">News</option>",
                       0),
            0u);
  EXPECT_EQ(html.find("selected"), std::string::npos);
}

TEST(BuildSelectTest, ArraysWhenThereIsNoSql) {
  PagingDb db;
  EXPECT_EQ(BuildSelect(db.state.db, "s", {"A", "B"}, {"1", "2"}, "2", "", ""),
            "<select name='s' size=1><option value=\"1\">A</option>"
            "<option value=\"2\" selected>B</option></select>");
  // A number chosen from a stored row matches the option value posted as text.
  EXPECT_EQ(BuildSelect(db.state.db, "s", {"A", "B"}, {"1", "2"}, 2, "", ""),
            "<select name='s' size=1><option value=\"1\">A</option>"
            "<option value=\"2\" selected>B</option></select>");
  EXPECT_EQ(BuildSelect(db.state.db, "s", {"A", "B"}, {1, 2}, "1", "", "请选择"),
            "<select name='s' size=1><option value=''>请选择</option>"
            "<option value=\"1\" selected>A</option><option value=\"2\">B</option></select>");
  EXPECT_EQ(BuildSelect(db.state.db, "s", {}, {}, "1", "", ""),
            "<select name='s' size=1></select>");
}

TEST(BuildSelectTest, NullChoosesNothing) {
  PagingDb db;
  EXPECT_EQ(BuildSelect(db.state.db, "s", {"none", "A"}, {"", "1"}, Variant::Null(), "", ""),
            "<select name='s' size=1><option value=\"\">none</option>"
            "<option value=\"1\">A</option></select>");
  EXPECT_EQ(BuildSelect(db.state.db, "s", {"none"}, {Variant::Null()}, "", "", ""),
            "<select name='s' size=1><option value=\"\">none</option></select>");
}

TEST(BuildSelectTest, OptionTextAndValueAreEncoded) {
  PagingDb db;
  EXPECT_EQ(BuildSelect(db.state.db, "s", {"<b>x</b>\nnext"}, {"say \"hi\" & go"}, "", "", ""),
            "<select name='s' size=1><option value=\"say &quot;hi&quot; &amp; go\">"
            "&lt;b&gt;x&lt;/b&gt;<br>next</option></select>");
  db.Exec("insert into Vantrel_ArticleClass (d_id, d_name) values (7, '\"><script>x</script>')");
  std::string html = BuildSelect(db.state.db, "s", {}, {}, "", kClasses, "");
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_NE(html.find(">&quot;&gt;&lt;script&gt;x&lt;/script&gt;</option>"), std::string::npos);
}

TEST(BuildSelectTest, MoreTextsThanValuesIsRefused) {
  PagingDb db;
  EXPECT_THROW(BuildSelect(db.state.db, "s", {"A", "B"}, {"1"}, "", "", ""), std::out_of_range);
}

TEST(BuildSelectTest, BadSqlGoesToTheCaller) {
  PagingDb db;
  EXPECT_THROW(BuildSelect(db.state.db, "s", {}, {}, "", "select d_name from NoSuchTable", ""),
               DbError);
}

TEST(BuildSelectAttrTest, AttributesGoAfterTheSize) {
  PagingDb db;
  EXPECT_EQ(BuildSelectAttr(db.state.db, "t", {"文章"}, {"1"}, "1", "", "", "disabled"),
            "<select name='t' size=1 disabled><option value=\"1\" selected>文章</option>"
            "</select>");
  EXPECT_EQ(BuildSelectAttr(db.state.db, "t", {"A"}, {"1"}, "", "", "", ""),
            "<select name='t' size=1 ><option value=\"1\">A</option></select>");
}

TEST(BuildSelectOnChangeTest, EmptyScriptWritesThePlainTag) {
  PagingDb db;
  AddClasses(db);
  EXPECT_EQ(BuildSelectOnChange(db.state.db, "c", {}, {}, "2", kClasses, "", ""),
            BuildSelect(db.state.db, "c", {}, {}, "2", kClasses, ""));
  EXPECT_EQ(BuildSelectOnChange(db.state.db, "c", {"A"}, {"1"}, "", "", "", "go(this)"),
            "<select name='c' size=1 onchange=\"go(this)\"><option value=\"1\">A</option>"
            "</select>");
}

TEST(RowLookupTest, NameByIdTrimmedOrTheNoClassText) {
  PagingDb db;
  AddClasses(db);
  db.state.db.Sql = "untouched";
  EXPECT_EQ(GetNameByID(db.state.db, "Vantrel_ArticleClass", "4"), "padded name");
  EXPECT_EQ(GetNameByID(db.state.db, "Vantrel_ArticleClass", 2), "a&b");
  EXPECT_EQ(GetNameByID(db.state.db, "Vantrel_ArticleClass", "99"), "不属于任何分类");
  // The id is a number: blanks around it and leading zeros name the same row; a number beyond
  // any id names none.
  EXPECT_EQ(GetNameByID(db.state.db, "Vantrel_ArticleClass", " 02 "), "a&b");
  EXPECT_EQ(GetNameByID(db.state.db, "Vantrel_ArticleClass", "-2"), "不属于任何分类");
  EXPECT_EQ(GetNameByID(db.state.db, "Vantrel_ArticleClass", "99999999999999999999"),
            "不属于任何分类");
  EXPECT_EQ(db.state.db.Sql, "untouched");
}

TEST(RowLookupTest, DirByIdTrimmedOrEmpty) {
  PagingDb db;
  AddClasses(db);
  db.state.db.Sql = "untouched";
  EXPECT_EQ(GetDirByID(db.state.db, "Vantrel_ArticleClass", "2"), "sport");
  EXPECT_EQ(GetDirByID(db.state.db, "Vantrel_ArticleClass", 1), "news");
  EXPECT_EQ(GetDirByID(db.state.db, "Vantrel_ArticleClass", "3"), "");  // Null folder
  EXPECT_EQ(GetDirByID(db.state.db, "Vantrel_ArticleClass", "4"), "");
  EXPECT_EQ(GetDirByID(db.state.db, "Vantrel_ArticleClass", "99"), "");
  EXPECT_EQ(db.state.db.Sql, "untouched");
}

TEST(RowLookupTest, UncheckedTableOrIdNeverReachesSql) {
  PagingDb db;
  AddClasses(db);
  db.state.db.Sql = "before";
  EXPECT_THROW(GetNameByID(db.state.db, "Vantrel_ArticleClass", "1 or 1=1"), DbError);
  EXPECT_THROW(GetNameByID(db.state.db, "Vantrel_ArticleClass", ""), DbError);
  EXPECT_THROW(GetNameByID(db.state.db, "Vantrel_ArticleClass; drop table Items", "1"), DbError);
  EXPECT_THROW(GetDirByID(db.state.db, "Vantrel_ArticleClass", "1;delete from Items"), DbError);
  EXPECT_EQ(db.state.db.Sql, "before");
  EXPECT_EQ(db.Ids("select count(*) from Vantrel_ArticleClass"), std::vector<int64_t>{4});
  EXPECT_THROW(GetNameByID(db.state.db, "NoSuchTable", "1"), DbError);
}

}  // namespace
}  // namespace folirex
