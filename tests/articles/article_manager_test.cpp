// The article manager through the host: the channel's live articles twenty to a page, newest
// first, the search by title and approval state kept in the page links, the columns of a
// publishing channel, the recycle bin; the bulk actions' answers and refusals; and the number of
// statements a list page costs, which does not grow with the page number.
#include "articles/article_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "articles/article_channel.h"
#include "console/console_site.h"

namespace folirex::testing {
namespace {

const char kList[] = "/admin.asp?m=admin_article&channelid=1";

class ArticleManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }
  ConsoleSite site_;
};

TEST_F(ArticleManagerTest, ListsSearchesAndPages) {
  int64_t cls = site_.Add(ClassRow{.name = "财经"});
  for (int i = 0; i < 45; ++i) {
    site_.Add(ArticleRow{.title = "news " + std::to_string(i),
                         .class_id = i % 2 == 0 ? cls : 0,
                         .add_time = "2024-03-05 08:" + std::to_string(10 + i) + ":00",
                         .checked = i % 3 != 0});
  }
  const int64_t other = site_.Add(ArticleRow{.title = "<other>'s",
                                             .add_time = "2024-01-01 00:00:00",
                                             .top = true,
                                             .pic_url = "  ",
                                             .title_prefix = 1});
  site_.Add(ArticleRow{.title = "gone", .deleted = true});

  std::string page = site_.Get(kList).text;
  EXPECT_TRUE(Contains(page, "当前位置：文章管理>>文章管理"));
  EXPECT_EQ(CountOf(page, "name='selectdel'"), 20);
  EXPECT_LT(page.find(">[财经] news 44</a>"), page.find(">[不属于任何分类] news 43</a>"));
  EXPECT_FALSE(Contains(page, "是否生成"));  // a dynamic channel: seven columns
  EXPECT_FALSE(Contains(page, ">gone<"));
  EXPECT_TRUE(Contains(page, "<option value='delall'>全部删除</option>"));

  // The last page holds the oldest article with its marks, encoded.
  std::string last = site_.Get(std::string(kList) + "&page=3").text;
  EXPECT_EQ(CountOf(last, "name='selectdel'"), 6);
  EXPECT_TRUE(Contains(last, "] <font color=blue>[图文]</font>&lt;other&gt;&#39;s</a>") ||
              Contains(last, "] <font color=blue>[图文]</font>&lt;other&gt;'s</a>"));
  EXPECT_TRUE(Contains(last,
                       "<font color=blue>顶</font>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
                       "&nbsp;&nbsp;&nbsp;"));

  // A title search and the approval filter, kept in the page links.
  std::string found = site_.Post(kList, {{"qtitle", "news 1'"}, {"qcheckstate", "true"}}).text;
  EXPECT_TRUE(Contains(found, "name='qtitle' size=10 value='news 1'"));
  EXPECT_TRUE(Contains(found, "<option value=\"true\" selected>已审核</option>"));
  // news 1, 10..19 minus those with i % 3 == 0 (12, 15, 18): 8 rows.
  EXPECT_EQ(CountOf(found, "name='selectdel'"), 8);
  site_.SetChannel(1, "d_generatehtml = 1");
  std::string all = site_.Get(std::string(kList) + "&qtitle=news&qcheckstate=false").text;
  EXPECT_EQ(CountOf(all, "<font color=red>×</font>"), 2 * 15);  // unapproved, not generated
  EXPECT_TRUE(Contains(all, "<th width='8%'>是否生成</th>"));
  // An approval filter other than true or false is no condition at all.
  std::string widened =
      site_.Get(std::string(kList) + "&qcheckstate=false%20or%20d_channelid%3D2").text;
  EXPECT_TRUE(Contains(widened, "<option value=\"\" selected>全部</option>") ||
              Contains(widened, "<option value=''>全部</option>"));
  EXPECT_EQ(CountOf(widened, "name='selectdel'"), 20);
  std::string none = site_.Get(std::string(kList) + "&qtitle=nothing").text;
  EXPECT_TRUE(Contains(none, "<td colspan=8 align=center>暂无此类数据！</td>"));
  EXPECT_FALSE(Contains(none, "name='actionform'"));

  // The recycle bin lists the recycled article with its own actions.
  std::string bin = site_.Get(std::string(kList) + "&action=recycle").text;
  EXPECT_TRUE(Contains(bin, ">[不属于任何分类] gone</a>"));
  EXPECT_TRUE(Contains(bin, "<option value='rebackall'>全部还原</option>"));

  // The search bar searches a list: the recycle bin's from the bin, the articles' from every other
  // page (an edit form's address without its id is no list).
  const std::string form = "<form name='searchform' method='post' action='?m=admin_article&amp;";
  EXPECT_TRUE(Contains(bin, form + "channelid=1&amp;action=recycle' "));
  const std::string edit =
      site_.Get(std::string(kList) + "&action=edit&id=" + std::to_string(other)).text;
  EXPECT_TRUE(Contains(edit, "name='d_title'"));
  EXPECT_TRUE(Contains(edit, form + "channelid=1' ")) << edit.substr(0, 1500);
}

TEST_F(ArticleManagerTest, ListPagesCostTheSameStatementsAtAnyDepth) {
  for (int i = 0; i < 130; ++i) site_.Add(ArticleRow{.title = "t" + std::to_string(i)});
  auto statements = [this](const std::string& query) {
    int64_t count = -1;
    site_.InConsole(
        [&count](RequestState& s) {
          ArticleChannel channel = LoadArticleChannel(s, 1);
          int64_t before = s.db.Conn->statement_count();
          Article_ShowList(s, channel, ArticleSearch{}, false);
          count = s.db.Conn->statement_count() - before;
        },
        query);
    return count;
  };
  // A count, the select and, past the rows it read first, the page's window.
  EXPECT_LE(statements("&channelid=1&page=1"), 3);
  int64_t deep = statements("&channelid=1&page=4");
  EXPECT_LE(deep, 3);
  EXPECT_EQ(statements("&channelid=1&page=7"), deep);
  EXPECT_EQ(CountOf(site_.RequestBody(), "name='selectdel'"), 10);
}

// The title search through the search index and the counts kept against the data version list
// exactly the rows, in exactly the order, of the plain like, on the first and the last page,
// for titles that many rows hold and rare ones, while rows are renamed, recycled and approved.
TEST_F(ArticleManagerTest, TitleSearchListsThePlainLikesRowsWhileArticlesChange) {
  const std::vector<std::string> letters = {"经", "济", "发", "展", "a", "B", "_", "%"};
  std::mt19937 rng(20261207);
  auto random_title = [&] {
    std::string title;
    for (int i = 1 + static_cast<int>(rng() % 6); i > 0; --i) title += letters[rng() % 8];
    return title;
  };
  std::vector<int64_t> ids;
  for (int i = 0; i < 150; ++i) {
    char time[32];
    std::snprintf(time, sizeof(time), "2024-03-05 %02d:%02d:00", i / 60, i % 60);
    ids.push_back(site_.Add(ArticleRow{.title = random_title(),
                                       .add_time = time,
                                       .checked = rng() % 4 != 0,
                                       .deleted = rng() % 10 == 0}));
  }
  auto listed = [this](const std::string& query) {
    const std::string page = site_.Get(std::string(kList) + query).text;
    std::vector<int64_t> found;
    const std::string mark = "name='selectdel' value='";
    for (size_t at = page.find(mark); at != std::string::npos; at = page.find(mark, at + 1)) {
      found.push_back(std::stoll(page.substr(at + mark.size())));
    }
    const std::string total = "共<b>";
    const size_t at = page.find(total);
    found.push_back(at == std::string::npos ? 0 : std::stoll(page.substr(at + total.size())));
    return found;  // the page's ids, then the total
  };
  auto compare = [&](const std::string& keyword, const std::string& check) {
    std::vector<int64_t> expected;
    const std::string sql =
        "select group_concat(d_id) from (select d_id from Vantrel_Article "
        "where d_deleted = 0 and d_channelid = 1 and d_title like '%" +
        keyword + "%'" + (check.empty() ? "" : " and d_checked = " + check) +
        " order by d_addtime desc)";
    const std::string joined = site_.SqlValue(sql);
    std::stringstream all(joined == "NULL" ? "" : joined);
    for (std::string id; std::getline(all, id, ',');) expected.push_back(std::stoll(id));
    const std::string query =
        "&qtitle=" + GbkUrlEncode(keyword) +
        (check.empty() ? "" : "&qcheckstate=" + std::string(check == "-1" ? "true" : "false"));
    const size_t pages = std::max<size_t>((expected.size() + 19) / 20, 1);
    for (size_t page : std::set<size_t>{1, pages}) {
      std::vector<int64_t> want(expected.begin() + (page - 1) * 20,
                                expected.begin() + std::min(expected.size(), page * 20));
      want.push_back(static_cast<int64_t>(expected.size()));
      EXPECT_EQ(listed(query + "&page=" + std::to_string(page)), want)
          << "title like '%" << keyword << "%' " << check << " page " << page;
    }
  };
  for (int round = 0; round < 3; ++round) {
    for (const char* keyword : {"经", "a", "b", "经济", "济发展", "%", "_", "a_B", "经%济"}) {
      compare(keyword, round == 1 ? "-1" : "");
    }
    for (int k = 0; k < 8; ++k) compare(random_title(), "");
    // Renamed, recycled or restored, approved or withdrawn rows between the rounds.
    for (int i = 0; i < 20; ++i) {
      const std::string id = std::to_string(ids[rng() % ids.size()]);
      site_.Sql(i % 3 == 0 ? "update Vantrel_Article set d_title = '" + random_title() +
                                 "' where d_id = " + id
                : i % 3 == 1
                    ? "update Vantrel_Article set d_deleted = -1 - d_deleted where d_id = " + id
                    : "update Vantrel_Article set d_checked = -1 - d_checked where d_id = " + id);
    }
  }
}

TEST_F(ArticleManagerTest, BulkActionsAnswerAndRefuse) {
  int64_t cls = site_.Add(ClassRow{.name = "类"});
  int64_t a = site_.Add(ArticleRow{.title = "a", .class_id = cls, .checked = false});
  int64_t b = site_.Add(ArticleRow{.title = "b"});
  site_.Sql("update Vantrel_Channel set d_itemcount = 2, d_itemcountchecked = 1 where d_id = 1");
  site_.Sql("update Vantrel_ArticleClass set d_generatedflag = -1");
  const std::string action = std::string(kList) + "&action=";
  const std::string ids = std::to_string(a) + ", " + std::to_string(b);

  HttpAnswer checked = site_.Post(action + "check", {{"selectdel", ids}});
  EXPECT_TRUE(Contains(checked.text, "审核操作成功！"));
  EXPECT_TRUE(Contains(checked.text, "返回列表"));
  EXPECT_EQ(site_.SqlValue("select d_itemcountchecked from Vantrel_Channel where d_id = 1"), "2");
  // Approving marks the article's class for regeneration.
  EXPECT_EQ(site_.SqlValue("select d_generatedflag from Vantrel_ArticleClass"), "0");
  EXPECT_EQ(
      site_.SqlValue("select d_editor from Vantrel_Article where d_id = " + std::to_string(a)),
      site_.admin_name());

  // Nothing ticked, a hand-written list, a GET, an unknown id: refused, nothing changed.
  EXPECT_TRUE(Contains(AlertText(site_.Post(action + "del", {{"selectdel", ""}}).text),
                       "提示：请先选择记录再操作！"));
  EXPECT_TRUE(Contains(AlertText(site_.Post(action + "del", {{"selectdel", "1) or (1=1"}}).text),
                       "提示：参数错误！"));
  EXPECT_TRUE(Contains(AlertText(site_.Get(action + "del&selectdel=" + std::to_string(a)).text),
                       "提示：参数错误！"));
  EXPECT_TRUE(
      Contains(AlertText(site_.Post(action + "reback", {{"selectdel", ids + ", 424242"}}).text),
               "提示：参数错误！"));
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_deleted = 0"), 2);

  HttpAnswer recycled = site_.Post(action + "del", {{"selectdel", std::to_string(a)}});
  EXPECT_TRUE(Contains(recycled.text, "删除信息成功，请重新生成列表文件！"));
  HttpAnswer purged = site_.Post(action + "delrecycle", {{"selectdel", ids}});
  EXPECT_TRUE(Contains(purged.text, "返回回收站"));
  // Only the recycled article is purged; the live one stays.
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article"), 1);
  EXPECT_EQ(site_.SqlValue("select d_itemcount || '/' || d_itemcountchecked from "
                           "Vantrel_Channel where d_id = 1"),
            "1/1");

  // The batch move refuses a red class and moves the rest.
  int64_t parent = site_.Add(ClassRow{.name = "父"});
  site_.Add(ClassRow{.name = "子", .parent = parent});
  EXPECT_TRUE(
      Contains(site_.Get(action + "moveall").text, "value='" + std::to_string(parent) + "-'"));
  EXPECT_TRUE(Contains(
      AlertText(
          site_.Post(action + "savemove", {{"d_fromid", "0"}, {"d_toid", std::to_string(parent)}})
              .text),
      "提示：目标分类不能选择红色的分类！"));
  EXPECT_TRUE(Contains(
      site_.Post(action + "savemove", {{"d_fromid", "0"}, {"d_toid", std::to_string(cls)}}).text,
      "批量移动文章操作成功！"));
  EXPECT_EQ(site_.SqlValue("select d_classid from Vantrel_Article"), std::to_string(cls));
}

}  // namespace
}  // namespace folirex::testing
