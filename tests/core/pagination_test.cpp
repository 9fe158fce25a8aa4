#include "core/pagination.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/paging_db_fixture.h"

namespace folirex {
namespace {

using testing::PagingDb;

const char kOrdered[] = "select d_id, d_name from Items order by d_sort desc, d_id";
const char kCount[] = "select count(*) from Items";

// A query-string pager over Items as the lists set it up.
void SetUpQueryPager(Cls_Pagination& pager, int page_size, int num_size) {
  pager.DbType("ACCESS");
  pager.Url("asp.asp?m=list&");
  pager.PositionFlag("0");
  pager.PageSize(page_size);
  pager.NumSize(num_size);
  pager.Sql(kOrdered);
  pager.SqlCount(kCount);
}

void SetUpStaticPager(Cls_Pagination& pager, const std::string& url, const Variant& page,
                      int page_size, int num_size) {
  pager.DbType("ACCESS");
  pager.Url(url);
  pager.PositionFlag("1");
  pager.RequestPage(page);
  pager.PageSize(page_size);
  pager.NumSize(num_size);
  pager.Sql(kOrdered);
  pager.SqlCount(kCount);
}

std::vector<int64_t> IdsOf(const Cls_Pagination::Rows& rows) {
  std::vector<int64_t> ids;
  for (const auto& row : rows) ids.push_back(row.at(0).ToInt64());
  return ids;
}

std::string OrderedWindow(int limit, int offset) {
  return std::string(kOrdered) + " limit " + std::to_string(limit) + " offset " +
         std::to_string(offset);
}

TEST(CheckNumTest, RoundsHalfToEvenAndClampsOnlyWithABound) {
  EXPECT_EQ(CheckNum(Variant(2.5), 1, -1), 2);
  EXPECT_EQ(CheckNum(Variant("3.5"), 1, -1), 4);
  EXPECT_EQ(CheckNum(Variant("abc"), 7, -1), 7);
  EXPECT_EQ(CheckNum(Variant(""), 7, -1), 7);
  EXPECT_EQ(CheckNum(Variant(-5), 1, -1), -5);  // no bound: not even the minimum
  EXPECT_EQ(CheckNum(Variant(-5), 1, 10), 1);
  EXPECT_EQ(CheckNum(Variant(50), 1, 10), 10);
  EXPECT_EQ(CheckNum(Variant("999999999999"), 1, 10), 10);
  EXPECT_EQ(CheckNum(Variant("-999999999999"), 1, 10), 1);
  EXPECT_EQ(CheckNum(Variant::Null(), 3, -1), 3);
}

// The window of every page against a model that cuts the pages 1..count into chunks of `width`
// and steps to the neighbouring chunks.
TEST(PagingCoreTest, WindowOfEveryPageMatchesTheChunkModel) {
  for (int64_t count = 0; count <= 23; ++count) {
    for (int64_t width = 1; width <= 6; ++width) {
      std::vector<std::vector<int64_t>> chunks;
      for (int64_t p = 1; p <= count; ++p) {
        if ((p - 1) % width == 0) chunks.emplace_back();
        chunks.back().push_back(p);
      }
      for (int64_t page = 1; page <= std::max<int64_t>(count, 1); ++page) {
        SCOPED_TRACE(std::to_string(count) + " pages, width " + std::to_string(width) + ", page " +
                     std::to_string(page));
        const PageWindow w = WindowOf(page, width, count);
        if (count == 0) {
          EXPECT_EQ(w.first, 1);
          EXPECT_EQ(w.last, 0);
          EXPECT_EQ(w.to_first + w.to_previous + w.to_next + w.to_last, 0);
          continue;
        }
        size_t c = 0;
        while (chunks[c].back() < page) ++c;
        EXPECT_EQ(w.first, chunks[c].front());
        EXPECT_EQ(w.last, chunks[c].back());
        EXPECT_EQ(w.to_first, c > 0 ? 1 : 0);
        EXPECT_EQ(w.to_previous, c > 0 ? chunks[c - 1].back() : 0);
        EXPECT_EQ(w.to_next, c + 1 < chunks.size() ? chunks[c + 1].front() : 0);
        EXPECT_EQ(w.to_last, c + 1 < chunks.size() ? count : 0);
      }
    }
    EXPECT_EQ(PageCountOf(count, 5), (count + 4) / 5);
  }
}

TEST(PagingCoreTest, AddressesOfQueryPagesAndOfStaticFiles) {
  const PageAddress query = PageAddress::Query("asp.asp?m=list&k=a'b\"&");
  EXPECT_EQ(query.BaseHref(), "asp.asp?m=list&amp;k=a&#39;b&quot;&amp;");
  EXPECT_EQ(query.Href(3), "asp.asp?m=list&amp;k=a&#39;b&quot;&amp;page=3");
  EXPECT_EQ(query.Href(1, "Page"), "asp.asp?m=list&amp;k=a&#39;b&quot;&amp;Page=1");
  EXPECT_EQ(PageStep(query, 0, "上页"), "上页");
  EXPECT_EQ(PageStep(query, 2, "上页", " title='x'"),
            "<a href=\"asp.asp?m=list&amp;k=a&#39;b&quot;&amp;page=2\" title='x'>上页</a>");

  const PageAddress files = PageAddress::StaticFiles("/cms.v2/news/List_3.html");
  EXPECT_EQ(files.Href(1), "/cms.v2/news/List_3.html");
  EXPECT_EQ(files.Href(12, "Page"), "/cms.v2/news/List_3_12.html");
  EXPECT_EQ(PageAddress::StaticFiles("a.b\\list").Href(2), "a.b\\list_2");
  EXPECT_EQ(PageAddress::StaticFiles("list").Href(2), "list_2");
  EXPECT_EQ(PageAddress::StaticFiles("x'.html").Href(2), "x&#39;_2.html");
}

TEST(PaginationTest, PageFromTheRequestIsClampedToThePagesThereAre) {
  PagingDb db;
  db.AddItems(45);
  struct Case {
    std::string query;
    int64_t page;
  } cases[] = {
      {"Page=7", 3}, {"page=2", 2},   {"Page=abc", 1}, {"Page=-2", 1},  {"Page=0", 1},
      {"", 1},       {"Page=+2+", 2}, {"Page=2.5", 2}, {"Page=3.5", 3}, {"Page=999999999999", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    db.SetQuery(c.query);
    Cls_Pagination pager(db.state);
    SetUpQueryPager(pager, 20, 5);
    Cls_Pagination::Rows rows = pager.ResultSet();
    EXPECT_EQ(pager.TotalRecord(), 45);
    EXPECT_EQ(pager.PageCount(), 3);
    EXPECT_EQ(pager.RequestPage().ToInt64(), c.page);
    EXPECT_EQ(IdsOf(rows), db.Ids(OrderedWindow(20, (c.page - 1) * 20)));
    EXPECT_EQ(rows.size(), c.page == 3 ? 5u : 20u);
    EXPECT_NE(pager.ShowPage().find("页次:<b>" + std::to_string(c.page) + "/3</b>"),
              std::string::npos);
  }
}

TEST(PaginationTest, PageCountsWithExactMultiples) {
  struct Case {
    int rows;
    int64_t pages;
  } cases[] = {{1, 1}, {19, 1}, {20, 1}, {21, 2}, {40, 2}, {41, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    PagingDb db;
    db.AddItems(c.rows);
    db.SetQuery("Page=99");
    Cls_Pagination pager(db.state);
    SetUpQueryPager(pager, 20, 5);
    Cls_Pagination::Rows rows = pager.ResultSet();
    EXPECT_EQ(pager.TotalRecord(), c.rows);
    EXPECT_EQ(pager.PageCount(), c.pages);
    // The last page holds the remainder, or a full page on an exact multiple.
    size_t expected = c.rows - (c.pages - 1) * 20;
    EXPECT_EQ(rows.size(), expected);
  }
}

TEST(PaginationTest, EmptyListGivesNoRowsAndNoBar) {
  PagingDb db;
  db.SetQuery("Page=2");
  Cls_Pagination pager(db.state);
  SetUpQueryPager(pager, 20, 5);
  EXPECT_EQ(pager.ShowPage(), "");  // before ResultSet
  EXPECT_TRUE(pager.ResultSet().empty());
  EXPECT_EQ(pager.TotalRecord(), 0);
  EXPECT_EQ(pager.PageCount(), 0);
  EXPECT_EQ(pager.ShowPage(), "");
}

TEST(PaginationTest, WholeQueryStringBarInTheMiddle) {
  PagingDb db;
  db.AddItems(120);
  db.SetQuery("page=7");
  Cls_Pagination pager(db.state);
  SetUpQueryPager(pager, 10, 5);
  Cls_Pagination::Rows rows = pager.ResultSet();
  EXPECT_EQ(pager.WindowStart(), 6);
  EXPECT_EQ(IdsOf(rows), db.Ids(OrderedWindow(10, 60)));
  const std::string expected =
      "<table border=0 cellpadding=0 cellspacing=0><tr valign=middle><td>"
      "<font face=\"Webdings\"><a href=\"asp.asp?m=list&amp;\"  title='首页'>9</a></font>"
      "&nbsp;"
      "<font face=\"Webdings\"><a href=\"asp.asp?m=list&amp;page=5\" title='前5页'>7</a></font>"
      " <a href=\"asp.asp?m=list&amp;Page=6\">[6]</a> "
      "<font color=\"#000000\"> [7] </font>"
      " <a href=\"asp.asp?m=list&amp;Page=8\">[8]</a> "
      " <a href=\"asp.asp?m=list&amp;Page=9\">[9]</a> "
      " <a href=\"asp.asp?m=list&amp;Page=10\">[10]</a> "
      "<font face=\"Webdings\"><a href=\"asp.asp?m=list&amp;page=11\" title='后5页'>8</a></font>"
      "&nbsp;"
      "<font face=\"Webdings\"><a href=\"asp.asp?m=list&amp;page=12\" title='尾页'>:</a></font>"
      "&nbsp;&nbsp;共<b>120</b>个&nbsp;&nbsp;页次:<b>7/12</b>&nbsp;&nbsp;<b>10</b>个/页"
      "&nbsp;&nbsp;共<b>12</b>页</td><td>"
      "<table border=0 cellpadding=0 cellspacing=0><tr><td>&nbsp;&nbsp;页码:<input type=text "
      "id='d_pagenavi_page' size=3 value='7'> <input type=button name=b value='转'"
      "onclick=\"location.href='asp.asp?m=list&amp;Page='+d_pagenavi_page.value\">"
      "</td></tr></table>"
      "</td></tr></table>";
  EXPECT_EQ(pager.ShowPage(), expected);
}

TEST(PaginationTest, QueryStringFirstAndLastPages) {
  PagingDb db;
  db.AddItems(60);  // 6 pages of 10
  db.SetQuery("Page=3");
  {
    Cls_Pagination pager(db.state);
    SetUpQueryPager(pager, 10, 5);
    pager.ResultSet();
    EXPECT_EQ(pager.FirstLink(), "<font face=\"Webdings\">9</font>");
    EXPECT_EQ(pager.PrevLink(), "<font face=\"Webdings\">7</font>");
    EXPECT_EQ(pager.PageLinks(),
              " <a href=\"asp.asp?m=list&amp;Page=1\">[1]</a> "
              " <a href=\"asp.asp?m=list&amp;Page=2\">[2]</a> "
              "<font color=\"#000000\"> [3] </font>"
              " <a href=\"asp.asp?m=list&amp;Page=4\">[4]</a> "
              " <a href=\"asp.asp?m=list&amp;Page=5\">[5]</a> ");
    EXPECT_EQ(pager.NextLink(),
              "<font face=\"Webdings\"><a href=\"asp.asp?m=list&amp;page=6\" "
              "title='后5页'>8</a></font>");
    EXPECT_EQ(pager.LastLink(),
              "<font face=\"Webdings\"><a href=\"asp.asp?m=list&amp;page=6\" "
              "title='尾页'>:</a></font>");
  }
  db.AddItems(40);  // 10 pages of 10
  db.SetQuery("Page=10");
  {
    Cls_Pagination pager(db.state);
    SetUpQueryPager(pager, 10, 5);
    Cls_Pagination::Rows rows = pager.ResultSet();
    EXPECT_EQ(IdsOf(rows), db.Ids(OrderedWindow(10, 90)));
    EXPECT_EQ(pager.WindowStart(), 6);
    EXPECT_NE(pager.FirstLink().find("title='首页'"), std::string::npos);
    EXPECT_NE(pager.PrevLink().find("page=5\""), std::string::npos);
    EXPECT_EQ(pager.NextLink(), "<font face=\"Webdings\">8</font>");
    EXPECT_EQ(pager.LastLink(), "<font face=\"Webdings\">:</font>");
    EXPECT_NE(pager.PageLinks().find("<font color=\"#000000\"> [10] </font>"), std::string::npos);
    EXPECT_NE(pager.PageLinks().find("Page=6\">[6]</a>"), std::string::npos);
    EXPECT_EQ(pager.PageLinks().find("[5]"), std::string::npos);
  }
}

TEST(PaginationTest, OnePageShowsFourPlainGlyphs) {
  PagingDb db;
  db.AddItems(7);
  Cls_Pagination pager(db.state);
  SetUpQueryPager(pager, 20, 5);
  EXPECT_EQ(pager.ResultSet().size(), 7u);
  EXPECT_EQ(pager.FirstLink(), "<font face=\"Webdings\">9</font>");
  EXPECT_EQ(pager.PrevLink(), "<font face=\"Webdings\">7</font>");
  EXPECT_EQ(pager.NextLink(), "<font face=\"Webdings\">8</font>");
  EXPECT_EQ(pager.LastLink(), "<font face=\"Webdings\">:</font>");
  EXPECT_EQ(pager.PageLinks(), "<font color=\"#000000\"> [1] </font>");
  EXPECT_NE(pager.ShowPage().find("共<b>7</b>个&nbsp;&nbsp;页次:<b>1/1</b>"), std::string::npos);
}

TEST(PaginationTest, NumSizeWindowOfNumberedLinks) {
  PagingDb db;
  db.AddItems(100);  // 25 pages of 4
  for (int num_size : {4, 6, 8, 10}) {
    SCOPED_TRACE(num_size);
    db.SetQuery("Page=13");
    Cls_Pagination pager(db.state);
    SetUpQueryPager(pager, 4, num_size);
    pager.ResultSet();
    int64_t start = num_size * ((13 - 1) / num_size) + 1;
    EXPECT_EQ(pager.WindowStart(), start);
    for (int64_t i = 1; i <= 25; ++i) {
      bool inside = i >= start && i < start + num_size;
      std::string link = "Page=" + std::to_string(i) + "\">[" + std::to_string(i) + "]</a>";
      if (i == 13) {
        EXPECT_NE(pager.PageLinks().find("> [13] <"), std::string::npos);
      } else {
        EXPECT_EQ(pager.PageLinks().find(link) != std::string::npos, inside) << i;
      }
    }
    EXPECT_NE(pager.PrevLink().find("page=" + std::to_string(start - 1) + "\" title='前" +
                                    std::to_string(num_size) + "页'"),
              std::string::npos);
    EXPECT_NE(pager.NextLink().find("page=" + std::to_string(start + num_size) + "\" title='后" +
                                    std::to_string(num_size) + "页'"),
              std::string::npos);
  }
}

TEST(PaginationTest, NumSizeOneNeverLinksPageZero) {
  PagingDb db;
  db.AddItems(30);
  db.SetQuery("Page=1");
  Cls_Pagination pager(db.state);
  SetUpStaticPager(pager, "List_3.html", 1, 10, 1);
  pager.ResultSet();
  EXPECT_EQ(pager.PrevLink(), "<font face=\"Webdings\">7</font>");
  EXPECT_EQ(pager.FirstLink(), "<font face=\"Webdings\">9</font>");
  EXPECT_EQ(pager.ShowPage().find("_0."), std::string::npos);

  Cls_Pagination second(db.state);
  SetUpStaticPager(second, "List_3.html", 2, 10, 1);
  second.ResultSet();
  // The window before page 2 is page 1, which is the bare file.
  EXPECT_EQ(second.PrevLink(),
            "<font face=\"Webdings\"><a href=\"List_3.html\" title='前1页'>7</a></font>");
}

TEST(PaginationTest, StaticLinksOfTheLastOfTwoPages) {
  PagingDb db;
  db.AddItems(30);
  db.SetQuery("Page=1");  // the request value is not read for static links
  Cls_Pagination pager(db.state);
  SetUpStaticPager(pager, "List_3.html", "2", 20, 5);
  Cls_Pagination::Rows rows = pager.ResultSet();
  EXPECT_EQ(IdsOf(rows), db.Ids(OrderedWindow(20, 20)));
  EXPECT_EQ(pager.RequestPage().ToInt64(), 2);
  EXPECT_EQ(pager.PageLinks(),
            " <a href=\"List_3.html\">[1]</a> <font color=\"#000000\"> [2] </font>");
  EXPECT_EQ(pager.FirstLink(), "<font face=\"Webdings\">9</font>");
  EXPECT_EQ(pager.NextLink(), "<font face=\"Webdings\">8</font>");
  EXPECT_EQ(pager.GoBox(),
            "<table border=0 cellpadding=0 cellspacing=0><tr><td>&nbsp;&nbsp;页码:<input "
            "type=text id='d_pagenavi_page' size=3 value='2'> <input type=button name=b "
            "value='转' onclick=\"location.href=(d_pagenavi_page.value=='1'?'List_3.html':"
            "'List_3_'+d_pagenavi_page.value+'.html')\"></td></tr></table>");
}

TEST(PaginationTest, StaticLinksInAFolderThatHoldsADot) {
  PagingDb db;
  db.AddItems(120);
  Cls_Pagination pager(db.state);
  SetUpStaticPager(pager, "/cms.v2/news/List_3.html", 7, 10, 5);
  Cls_Pagination::Rows rows = pager.ResultSet();
  EXPECT_EQ(IdsOf(rows), db.Ids(OrderedWindow(10, 60)));
  EXPECT_EQ(pager.FirstLink(),
            "<font face=\"Webdings\"><a href=\"/cms.v2/news/List_3.html\" "
            "title='首页'>9</a></font>");
  EXPECT_EQ(pager.PrevLink(),
            "<font face=\"Webdings\"><a href=\"/cms.v2/news/List_3_5.html\" "
            "title='前5页'>7</a></font>");
  EXPECT_EQ(pager.PageLinks(),
            " <a href=\"/cms.v2/news/List_3_6.html\">[6]</a> "
            "<font color=\"#000000\"> [7] </font>"
            " <a href=\"/cms.v2/news/List_3_8.html\">[8]</a> "
            " <a href=\"/cms.v2/news/List_3_9.html\">[9]</a> "
            " <a href=\"/cms.v2/news/List_3_10.html\">[10]</a> ");
  EXPECT_EQ(pager.NextLink(),
            "<font face=\"Webdings\"><a href=\"/cms.v2/news/List_3_11.html\" "
            "title='后5页'>8</a></font>");
  EXPECT_EQ(pager.LastLink(),
            "<font face=\"Webdings\"><a href=\"/cms.v2/news/List_3_12.html\" "
            "title='尾页'>:</a></font>");
  EXPECT_NE(pager.GoBox().find("'/cms.v2/news/List_3_'+d_pagenavi_page.value+'.html'"),
            std::string::npos);
}

TEST(PaginationTest, StaticPageOutOfRangeOrNotANumber) {
  PagingDb db;
  db.AddItems(45);
  struct Case {
    Variant page;
    int64_t shown;
  } cases[] = {{Variant(9), 3}, {Variant("abc"), 1}, {Variant(""), 1}, {Variant(), 1},
               {Variant(0), 1}, {Variant(-4), 1},    {Variant("2"), 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page.ToString());
    Cls_Pagination pager(db.state);
    SetUpStaticPager(pager, "list_hot.html", c.page, 20, 5);
    Cls_Pagination::Rows rows = pager.ResultSet();
    EXPECT_EQ(pager.RequestPage().ToInt64(), c.shown);
    EXPECT_EQ(IdsOf(rows), db.Ids(OrderedWindow(20, (c.shown - 1) * 20)));
  }
}

TEST(PaginationTest, UrlIsEncodedForItsPlace) {
  PagingDb db;
  db.AddItems(50);
  db.SetQuery("Page=2");
  Cls_Pagination pager(db.state);
  SetUpQueryPager(pager, 10, 5);
  pager.Url("asp.asp?m=search&searchkeyword=a\"b'<x>&");
  pager.ResultSet();
  const std::string bar = pager.ShowPage();
  EXPECT_NE(pager.PageLinks().find(
                "href=\"asp.asp?m=search&amp;searchkeyword=a&quot;b&#39;&lt;x&gt;&amp;Page=1\""),
            std::string::npos);
  // In the go button the URL is a script string inside a double-quoted attribute.
  EXPECT_NE(pager.GoBox().find(
                "location.href='asp.asp?m=search&amp;searchkeyword=a\\x22b\\&#39;\\x3Cx\\x3E&amp;"
                "Page='+d_pagenavi_page.value\""),
            std::string::npos);
  EXPECT_EQ(bar.find("a\"b"), std::string::npos);
  EXPECT_EQ(bar.find("<x>"), std::string::npos);
}

TEST(PaginationTest, PageSizeAndNumSizeKeepTheirValueOnBadInput) {
  PagingDb db;
  Cls_Pagination pager(db.state);
  EXPECT_EQ(pager.PageSize(), 20);
  EXPECT_EQ(pager.NumSize(), 5);
  pager.PageSize("abc");
  EXPECT_EQ(pager.PageSize(), 20);
  pager.PageSize(" 12 ");
  EXPECT_EQ(pager.PageSize(), 12);
  pager.PageSize(0);
  EXPECT_EQ(pager.PageSize(), 12);
  pager.PageSize(-3);
  EXPECT_EQ(pager.PageSize(), 12);
  pager.PageSize(2.5);
  EXPECT_EQ(pager.PageSize(), 2);
  pager.NumSize("x");
  EXPECT_EQ(pager.NumSize(), 5);
  pager.NumSize(0);
  EXPECT_EQ(pager.NumSize(), 5);
  pager.NumSize(8);
  EXPECT_EQ(pager.NumSize(), 8);
}

TEST(PaginationTest, DeepPageReadsOnlyItsWindow) {
  PagingDb db;
  db.AddItems(20000);
  // Statements run for one page, and its rows.
  auto page_cost = [&db](int page, Cls_Pagination::Rows* rows) {
    db.SetQuery("Page=" + std::to_string(page));
    const int64_t before = db.state.db.Conn->statement_count();
    Cls_Pagination pager(db.state);
    SetUpQueryPager(pager, 20, 5);
    *rows = pager.ResultSet();
    return db.state.db.Conn->statement_count() - before;
  };
  Cls_Pagination::Rows first_rows, middle_rows, deep_rows;
  const int64_t first_cost = page_cost(1, &first_rows);
  const int64_t middle_cost = page_cost(500, &middle_rows);
  const int64_t deep_cost = page_cost(987, &deep_rows);

  EXPECT_EQ(IdsOf(first_rows), db.Ids(OrderedWindow(20, 0)));
  EXPECT_EQ(IdsOf(middle_rows), db.Ids(OrderedWindow(20, 499 * 20)));
  EXPECT_EQ(IdsOf(deep_rows), db.Ids(OrderedWindow(20, 986 * 20)));
  ASSERT_EQ(deep_rows.size(), 20u);
  EXPECT_EQ(deep_rows[3].at(1).ToString(), "item " + std::to_string(deep_rows[3].at(0).ToInt64()));
  // The count, the cursor's opening read and the page's window: the same however deep.
  EXPECT_EQ(deep_cost, middle_cost);
  EXPECT_LE(deep_cost, first_cost + 1);
  EXPECT_LE(deep_cost, 4);
}

// A generation step's pages served from rows read ahead: each page holds exactly the rows it reads
// on its own, across the refill of a full window and at the short last page; a list whose row
// count changed meanwhile is read again rather than served from the old rows.
TEST(PaginationTest, PagesReadAheadAreThePagesReadOneByOne) {
  PagingDb db;
  db.AddItems(2510);
  db.state.caches.ListPagesAhead = 200;
  auto page = [&db](int n, int64_t* statements) {
    db.SetQuery("Page=" + std::to_string(n));
    const int64_t before = db.state.db.Conn->statement_count();
    Cls_Pagination pager(db.state);
    SetUpQueryPager(pager, 20, 5);
    Cls_Pagination::Rows rows = pager.ResultSet();
    *statements = db.state.db.Conn->statement_count() - before;
    return rows;
  };
  int64_t window_reads = 0;
  for (int n = 1; n <= 126; ++n) {
    int64_t statements = 0;
    const Cls_Pagination::Rows rows = page(n, &statements);
    ASSERT_EQ(IdsOf(rows), db.Ids(OrderedWindow(20, (n - 1) * 20))) << "page " << n;
    ASSERT_EQ(rows.size(), n == 126 ? 10u : 20u);
    EXPECT_EQ(rows[0].at(1).ToString(), "item " + std::to_string(rows[0].at(0).ToInt64()));
    if (statements > 1) ++window_reads;  // more than the count
  }
  EXPECT_EQ(window_reads, 2);  // pages 1 and 101

  db.Exec("insert into Items (d_name, d_sort) values ('item new', 5000)");
  int64_t statements = 0;
  EXPECT_EQ(IdsOf(page(5, &statements)), db.Ids(OrderedWindow(20, 80)));
  EXPECT_GT(statements, 1);
}

TEST(PaginationTest, FailingCountQueryGoesToTheCaller) {
  PagingDb db;
  db.AddItems(3);
  Cls_Pagination pager(db.state);
  SetUpQueryPager(pager, 20, 5);
  pager.SqlCount("select count(*) from NoSuchTable");
  EXPECT_THROW(pager.ResultSet(), DbError);
  EXPECT_EQ(pager.ShowPage(), "");
}

}  // namespace
}  // namespace folirex
