#include "console/admin_pager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/paging_db_fixture.h"

namespace folirex {
namespace {

using testing::PagingDb;

const char kByName[] = "select d_id, d_name from Items order by d_sort, d_id";

void FillIn(AdminPager& pager) {
  pager.PagerPageSize = 20;
  pager.PagerSql = kByName;
  pager.PagerUrl = "?m=admin_loginlog&";
}

// The rows a list page writes: at most PagerPageSize, stopping at the end.
std::vector<int64_t> WalkPage(AdminPager& pager) {
  std::vector<int64_t> ids;
  if (pager.PagerRecordCount <= 0) return ids;
  for (int64_t n = 0; n < pager.PagerPageSize && !pager.PagerRs->Eof(); ++n) {
    ids.push_back((*pager.PagerRs)["d_id"].ToInt64());
    pager.PagerRs->MoveNext();
  }
  return ids;
}

std::string Window(int limit, int offset) {
  return std::string(kByName) + " limit " + std::to_string(limit) + " offset " +
         std::to_string(offset);
}

TEST(AdminPagerTest, LastOfThreePages) {
  PagingDb db;
  db.AddItems(45);
  db.SetQuery("m=admin_loginlog&page=3");
  AdminPager pager;
  FillIn(pager);
  pager.Pager_Open(db.state);
  EXPECT_EQ(pager.PagerRecordCount, 45);
  EXPECT_EQ(pager.PagerPageCount, 3);
  EXPECT_EQ(pager.PagerPage, 3);
  EXPECT_EQ(pager.PagerRowFrom, 41);
  EXPECT_EQ(pager.PagerRowTo, 45);
  EXPECT_EQ(pager.PagerFirstLink, "<a href=\"?m=admin_loginlog&amp;page=1\">首页</a>");
  EXPECT_EQ(pager.PagerPrevLink, "<a href=\"?m=admin_loginlog&amp;page=2\">上页</a>");
  EXPECT_EQ(pager.PagerNextLink, "下页");
  EXPECT_EQ(pager.PagerLastLink, "尾页");
  EXPECT_EQ(WalkPage(pager), db.Ids(Window(20, 40)));
  pager.Pager_Close();
  EXPECT_EQ(pager.PagerRs, nullptr);
}

TEST(AdminPagerTest, PageBeyondTheRowsShowsPageOne) {
  PagingDb db;
  db.AddItems(45);
  for (const char* query : {"page=4", "page=abc", "page=0", "page=-1", "", "page=99999999999999"}) {
    SCOPED_TRACE(query);
    db.SetQuery(query);
    AdminPager pager;
    FillIn(pager);
    pager.Pager_Open(db.state);
    EXPECT_EQ(pager.PagerPage, 1);
    EXPECT_EQ(pager.PagerRowFrom, 1);
    EXPECT_EQ(pager.PagerRowTo, 20);
    EXPECT_EQ(pager.PagerFirstLink, "首页");
    EXPECT_EQ(pager.PagerPrevLink, "上页");
    EXPECT_EQ(pager.PagerNextLink, "<a href=\"?m=admin_loginlog&amp;page=2\">下页</a>");
    EXPECT_EQ(pager.PagerLastLink, "<a href=\"?m=admin_loginlog&amp;page=3\">尾页</a>");
    EXPECT_EQ(WalkPage(pager), db.Ids(Window(20, 0)));
    pager.Pager_Close();
  }
}

TEST(AdminPagerTest, ExactMultipleOfThePageSize) {
  PagingDb db;
  db.AddItems(40);
  db.SetQuery("page=3");
  {
    AdminPager pager;
    FillIn(pager);
    pager.Pager_Open(db.state);
    EXPECT_EQ(pager.PagerPageCount, 2);
    EXPECT_EQ(pager.PagerPage, 1);  // (3 - 1) * 20 is not below 40
  }
  db.SetQuery("page=2");
  AdminPager pager;
  FillIn(pager);
  pager.Pager_Open(db.state);
  EXPECT_EQ(pager.PagerPage, 2);
  EXPECT_EQ(pager.PagerRowFrom, 21);
  EXPECT_EQ(pager.PagerRowTo, 40);
  EXPECT_EQ(pager.PagerNextLink, "下页");
  EXPECT_EQ(pager.PagerLastLink, "尾页");
  EXPECT_EQ(WalkPage(pager), db.Ids(Window(20, 20)));
  pager.Pager_Close();
}

TEST(AdminPagerTest, WholeBarOfOnePage) {
  PagingDb db;
  db.AddItems(7);
  AdminPager pager;
  FillIn(pager);
  pager.Pager_Open(db.state);
  EXPECT_EQ(pager.PagerBar,
            "<table border=0 cellpadding=0 cellspacing=0 width='100%' align=center>"
            "<form action='?m=admin_loginlog&amp;' method='post' name='pageform'><tr><td>"
            "首页&nbsp;上页&nbsp;下页&nbsp;尾页&nbsp;&nbsp;&nbsp;&nbsp;共<b>7</b>个&nbsp;&nbsp;"
            "页次[<b><span class=highlight2>1</span>/1</b>]&nbsp;&nbsp;<b>20</b>个/页"
            "&nbsp;&nbsp;&nbsp;&nbsp;转到&nbsp;<select name='page' size=1 "
            "onchange='javascript:submit()'><option value='1' selected>第1页</option></select>"
            "&nbsp;&nbsp;</td></tr></form></table>");
  EXPECT_EQ(WalkPage(pager).size(), 7u);
  pager.Pager_Close();
}

TEST(AdminPagerTest, PageSelectMarksTheCurrentPage) {
  PagingDb db;
  db.AddItems(61);
  db.SetQuery("page=2");
  AdminPager pager;
  FillIn(pager);
  pager.Pager_Open(db.state);
  EXPECT_NE(pager.PagerBar.find("<option value='1'>第1页</option>"
                                "<option value='2' selected>第2页</option>"
                                "<option value='3'>第3页</option>"
                                "<option value='4'>第4页</option></select>"),
            std::string::npos);
  EXPECT_NE(pager.PagerBar.find("<a href=\"?m=admin_loginlog&amp;page=1\">首页</a>&nbsp;"
                                "<a href=\"?m=admin_loginlog&amp;page=1\">上页</a>&nbsp;"
                                "<a href=\"?m=admin_loginlog&amp;page=3\">下页</a>&nbsp;"
                                "<a href=\"?m=admin_loginlog&amp;page=4\">尾页</a>"),
            std::string::npos);
  EXPECT_NE(pager.PagerBar.find("页次[<b><span class=highlight2>2</span>/4</b>]"),
            std::string::npos);
}

TEST(AdminPagerTest, PostedPageSelectIsReadBack) {
  PagingDb db;
  db.AddItems(61);
  db.SetPost("m=admin_loginlog", "page=4");
  AdminPager pager;
  FillIn(pager);
  pager.Pager_Open(db.state);
  EXPECT_EQ(pager.PagerPage, 4);
  EXPECT_EQ(WalkPage(pager), db.Ids(Window(20, 60)));
}

TEST(AdminPagerTest, EmptyListLeavesTheBarAlone) {
  PagingDb db;
  db.SetQuery("page=2");
  AdminPager pager;
  FillIn(pager);
  pager.PagerBar = "earlier bar";
  pager.Pager_Open(db.state);
  EXPECT_EQ(pager.PagerPage, 1);
  EXPECT_EQ(pager.PagerRecordCount, 0);
  EXPECT_EQ(pager.PagerPageCount, 0);
  EXPECT_EQ(pager.PagerRowFrom, 0);
  EXPECT_EQ(pager.PagerRowTo, 0);
  EXPECT_EQ(pager.PagerFirstLink, "首页");
  EXPECT_EQ(pager.PagerPrevLink, "上页");
  EXPECT_EQ(pager.PagerNextLink, "下页");
  EXPECT_EQ(pager.PagerLastLink, "尾页");
  EXPECT_EQ(pager.PagerBar, "earlier bar");
  EXPECT_TRUE(WalkPage(pager).empty());
  pager.Pager_Close();
  pager.Pager_Close();  // harmless twice
}

TEST(AdminPagerTest, UrlIsEncodedInLinksAndForm) {
  PagingDb db;
  db.AddItems(30);
  db.SetQuery("page=2");
  AdminPager pager;
  FillIn(pager);
  pager.PagerUrl = "?m=admin_manager&username=a'b\"<c>&";
  pager.Pager_Open(db.state);
  EXPECT_EQ(pager.PagerFirstLink,
            "<a href=\"?m=admin_manager&amp;username=a&#39;b&quot;&lt;c&gt;&amp;page=1\">首页</a>");
  EXPECT_NE(pager.PagerBar.find(
                "<form action='?m=admin_manager&amp;username=a&#39;b&quot;&lt;c&gt;&amp;' "),
            std::string::npos);
  EXPECT_EQ(pager.PagerBar.find("a'b"), std::string::npos);
}

TEST(AdminPagerTest, PageSizeBelowOneIsTakenAsTwenty) {
  PagingDb db;
  db.AddItems(45);
  db.SetQuery("page=2");
  AdminPager pager;
  FillIn(pager);
  pager.PagerPageSize = 0;
  pager.Pager_Open(db.state);
  EXPECT_EQ(pager.PagerPageCount, 3);
  EXPECT_EQ(pager.PagerRowFrom, 21);
  EXPECT_NE(pager.PagerBar.find("<b>20</b>个/页"), std::string::npos);
}

TEST(AdminPagerTest, DeepPageCostsNoMoreThanTheFirst) {
  PagingDb db;
  db.AddItems(20000);
  // Statements run to open one page and walk its rows, and the rows.
  auto page_cost = [&db](int page, std::vector<int64_t>* ids, int64_t* row_from) {
    db.SetQuery("page=" + std::to_string(page));
    const int64_t before = db.state.db.Conn->statement_count();
    AdminPager pager;
    FillIn(pager);
    pager.Pager_Open(db.state);
    *ids = WalkPage(pager);
    *row_from = pager.PagerRowFrom;
    pager.Pager_Close();
    return db.state.db.Conn->statement_count() - before;
  };
  std::vector<int64_t> first_ids, middle_ids, deep_ids;
  int64_t row_from = 0;
  const int64_t first_cost = page_cost(1, &first_ids, &row_from);
  const int64_t middle_cost = page_cost(400, &middle_ids, &row_from);
  const int64_t deep_cost = page_cost(876, &deep_ids, &row_from);

  EXPECT_EQ(first_ids, db.Ids(Window(20, 0)));
  EXPECT_EQ(middle_ids, db.Ids(Window(20, 399 * 20)));
  EXPECT_EQ(deep_ids, db.Ids(Window(20, 875 * 20)));
  EXPECT_EQ(row_from, 17501);
  EXPECT_EQ(deep_cost, middle_cost);
  EXPECT_LE(deep_cost, first_cost + 1);
  EXPECT_LE(deep_cost, 4);
}

TEST(AdminPagerTest, FailingQueryGoesToTheCaller) {
  PagingDb db;
  AdminPager pager;
  FillIn(pager);
  pager.PagerSql = "select * from NoSuchTable";
  EXPECT_THROW(pager.Pager_Open(db.state), DbError);
  pager.Pager_Close();
}

}  // namespace
}  // namespace folirex
