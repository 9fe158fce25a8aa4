#include "site/article_list_sql.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/public_request.h"
#include "core/text_helpers.h"
#include "support/site_fixture.h"

namespace folirex {
namespace {

using testing::ArticleRow;
using testing::ChannelRow;
using testing::ClassRow;
using testing::SiteFixture;

// A ListArticleList parameter text: the defaults with some fields replaced.
std::string Params(const std::map<int, std::string>& fields = {}) {
  std::vector<std::string> f = {
      "-1",    "0", "false", "0",     "0",     "false", "false", "",      "0",     "0",     "1",
      "false", "0", "0",     "false", "false", "false", "false", "false", "false", "false", "2"};
  for (const auto& [i, v] : fields) f[i] = v;
  std::string text;
  for (size_t i = 0; i < f.size(); ++i) text += (i ? "," : "") + f[i];
  return text;
}

std::vector<int64_t> Ids(SiteFixture& s, const BoundSql& sql) {
  Recordset rs;
  rs.Open(sql.sql, sql.params, *s.state.db.Conn, 0, 1);
  std::vector<int64_t> ids;
  for (; !rs.Eof(); rs.MoveNext()) ids.push_back(rs["d_id"].ToInt64Or(-1));
  return ids;
}

// The rows of the select, each as the texts of the columns joined by "|".
std::vector<std::string> Rows(SiteFixture& s, const BoundSql& sql,
                              const std::vector<std::string>& columns) {
  Recordset rs;
  rs.Open(sql.sql, sql.params, *s.state.db.Conn, 0, 1);
  std::vector<std::string> rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string row;
    for (const std::string& c : columns) row += (row.empty() ? "" : "|") + rs[c].ToString();
    rows.push_back(row);
  }
  return rows;
}

class ArticleListSqlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    channel_ = s_.Add(ChannelRow{.dir = "news"});
    other_ = s_.Add(ChannelRow{.dir = "other"});
    s_.UseChannel(channel_);
  }
  BoundSql Sql(const std::string& params, const std::string& page_type = "first",
               const Variant& class_id = "", const Variant& subject_id = "") {
    return GetArticleListSql(s_.state.db, s_.state.channel, params, page_type,
                             ParseId(class_id.ToString()), ParseId(subject_id.ToString()));
  }

  SiteFixture s_;
  int64_t channel_ = 0;
  int64_t other_ = 0;
};

TEST_F(ArticleListSqlTest, RefusesParameterTextsThatAreNotAList) {
  s_.state.db.Sql = "before";
  std::string params = Params();
  EXPECT_EQ(Sql(params.substr(0, params.rfind(','))).sql, "");  // 21 fields
  EXPECT_EQ(Sql(params + ",2").sql, "");                        // 23 fields
  EXPECT_EQ(Sql(Params({{12, "3"}})).sql, "");
  EXPECT_EQ(Sql(Params({{13, "4"}})).sql, "");
  EXPECT_EQ(Sql(Params({{5, "yes"}})).sql, "");
  EXPECT_EQ(Sql(Params({{0, "abc"}})).sql, "");
  EXPECT_EQ(Sql(Params({{4, "-1"}})).sql, "");
  EXPECT_EQ(Sql(Params({{4, "05"}})).sql, "");
  EXPECT_EQ(Sql("").sql, "");
  // A number beyond the 16-bit reading refuses the chip instead of failing the
  // page.
  EXPECT_EQ(Sql(Params({{4, "40000"}})).sql, "");
  EXPECT_EQ(Sql(Params({{1, "99999"}})).sql, "");
  EXPECT_EQ(s_.state.db.Sql, "before");
  // Flags are checked trimmed and in any case.
  EXPECT_NE(Sql(Params({{5, " TRUE "}})).sql, "");
}

TEST_F(ArticleListSqlTest, JoinsTheClassColumnsAndReturnsTheSelect) {
  s_.state.db.Sql = "before";
  int64_t k = s_.Add(ClassRow{.name = "科技",
                              .dir = "tech",
                              .channel = channel_,
                              .comments = true,
                              .comments_checked = true});
  int64_t plain = s_.Add(ArticleRow{.title = "无类",
                                    .channel = channel_,
                                    .author = "甲",
                                    .clicks = 4,
                                    .link_url = "http://x/",
                                    .title_prefix = 1,
                                    .font_shape = 2,
                                    .title_color = "red"});
  int64_t pinned = s_.Add(
      ArticleRow{.title = "置顶", .channel = channel_, .class_id = k, .top = true, .hot = true});
  s_.Add(ArticleRow{.channel = other_});
  BoundSql sql = Sql(Params({{21, "1"}}), "classlist", 0);
  // Pinned first, then by id; each row with its class's folder, name and comment flags.
  EXPECT_EQ(
      Rows(s_, sql,
           {"d_id", "d_classid", "d_title", "d_titleprefix", "d_fontshape", "d_addtime",
            "d_titlecolor", "d_hotflag", "d_recommendflag", "d_topflag", "d_author", "d_clicktimes",
            "d_linkurl", "d_dir", "d_name", "d_commentflag", "d_commentcheckflag"}),
      (std::vector<std::string>{
          std::to_string(pinned) + "|" + std::to_string(k) +
              "|置顶|0|0|2024-3-5 8:09:10||True|False|True||0||tech|科技|True|True",
          std::to_string(plain) +
              "|0|无类|1|2|2024-3-5 8:09:10|red|False|False|False|甲|4|http://x/||||"}));
  EXPECT_EQ(s_.state.db.Sql, "before") << "the select comes back as the result only";
}

TEST_F(ArticleListSqlTest, ChannelFieldMinusOneIsTheCurrentChannel) {
  int64_t mine = s_.Add(ArticleRow{.channel = channel_});
  int64_t theirs = s_.Add(ArticleRow{.channel = other_});
  EXPECT_EQ(Ids(s_, Sql(Params())), std::vector<int64_t>{mine});
  EXPECT_EQ(Ids(s_, Sql(Params({{0, std::to_string(other_)}}))), std::vector<int64_t>{theirs});
  EXPECT_TRUE(Ids(s_, Sql(Params({{0, "0"}}))).empty());
  // A number in another notation reaches the SQL as the plain number.
  char hex[32];
  std::snprintf(hex, sizeof hex, " &H%llX ", static_cast<long long>(other_));
  BoundSql sql = Sql(Params({{0, hex}}));
  EXPECT_EQ(Ids(s_, sql), std::vector<int64_t>{theirs});
}

TEST_F(ArticleListSqlTest, RecycledAndUnapprovedArticlesAreNeverListed) {
  int64_t live = s_.Add(ArticleRow{.channel = channel_});
  s_.Add(ArticleRow{.channel = channel_, .deleted = true});
  s_.Add(ArticleRow{.channel = channel_, .checked = false});
  EXPECT_EQ(Ids(s_, Sql(Params(), "newlist")), std::vector<int64_t>{live});
}

TEST_F(ArticleListSqlTest, TopNOfAnOrderedListAreTheFirstNOfThatOrder) {
  // Ids 1..12 with clicks that do not follow the ids; two pinned articles.
  std::vector<int64_t> ids;
  for (int i = 0; i < 12; ++i) {
    ids.push_back(s_.Add(ArticleRow{
        .channel = channel_,
        .add_time = "2020-01-" + std::string(i + 1 < 10 ? "0" : "") + std::to_string(i + 1),
        .top = i == 3 || i == 9,
        .clicks = (i * 7) % 12}));
  }
  // Newest id first, pinned ones before the rest.
  EXPECT_EQ(Ids(s_, Sql(Params({{4, "4"}, {21, "2"}}), "first")),
            (std::vector<int64_t>{ids[9], ids[3], ids[11], ids[10]}));
  // Most clicked first: clicks of i are (7 i) mod 12.
  EXPECT_EQ(Ids(s_, Sql(Params({{4, "3"}, {21, "6"}}), "classlist", 0)),
            (std::vector<int64_t>{ids[3], ids[9], ids[5]}));
  // Oldest first.
  EXPECT_EQ(Ids(s_, Sql(Params({{4, "3"}, {21, "3"}}), "first")),
            (std::vector<int64_t>{ids[3], ids[9], ids[0]}));
  // The first page's default of ten takes the list's order too.
  std::vector<int64_t> ten = Ids(s_, Sql(Params({{21, "1"}}), "first"));
  EXPECT_EQ(ten, (std::vector<int64_t>{ids[3], ids[9], ids[0], ids[1], ids[2], ids[4], ids[5],
                                       ids[6], ids[7], ids[8]}));
}

TEST_F(ArticleListSqlTest, ListPagesIgnoreTheCountField) {
  for (int i = 0; i < 12; ++i) {
    s_.Add(ArticleRow{.channel = channel_, .subject = 7});
  }
  const std::string five = Params({{4, "5"}});
  EXPECT_EQ(Ids(s_, Sql(five, "first")).size(), 5u);
  EXPECT_EQ(Ids(s_, Sql(five, "classlist", 0)).size(), 5u);
  EXPECT_EQ(Ids(s_, Sql(five, "content")).size(), 5u);
  for (const char* type : {"hotlist", "newlist", "recommendlist"}) {
    EXPECT_EQ(Ids(s_, Sql(five, type)).size(), 12u) << type;
  }
  EXPECT_EQ(Ids(s_, Sql(five, "subjectlist", "", 7)).size(), 12u);
  // A page type is compared exactly: "HotList" changes nothing.
  EXPECT_EQ(Ids(s_, Sql(five, "HotList")).size(), 5u);
}

TEST_F(ArticleListSqlTest, ClassesWithAndWithoutDescendants) {
  int64_t top = s_.Add(ClassRow{.name = "顶", .dir = "top", .channel = channel_});
  int64_t mid = s_.Add(ClassRow{.name = "中", .dir = "mid", .parent = top, .channel = channel_});
  int64_t leaf = s_.Add(ClassRow{.name = "叶", .dir = "leaf", .parent = mid, .channel = channel_});
  int64_t side = s_.Add(ClassRow{.name = "旁", .dir = "side", .parent = top, .channel = channel_});
  int64_t lone = s_.Add(ClassRow{.name = "独", .dir = "lone", .channel = channel_});
  std::map<int64_t, int64_t> article_of;
  for (int64_t c : {top, mid, leaf, side, lone}) {
    article_of[c] = s_.Add(ArticleRow{.channel = channel_, .class_id = c});
  }
  auto ids_of = [&](std::vector<int64_t> classes) {
    std::vector<int64_t> ids;
    for (int64_t c : classes) ids.push_back(article_of[c]);
    return ids;
  };
  const std::string t = std::to_string(top);
  EXPECT_EQ(Ids(s_, Sql(Params({{1, t}, {21, "1"}}))), ids_of({top}));
  EXPECT_EQ(Ids(s_, Sql(Params({{1, t}, {2, "true"}, {21, "1"}}))), ids_of({top, mid, leaf, side}));
  EXPECT_EQ(Ids(s_, Sql(Params({{1, std::to_string(mid)}, {2, "TRUE"}, {21, "1"}}))),
            ids_of({mid, leaf}));
  // A flag with blanks passes the check and counts as off.
  EXPECT_EQ(Ids(s_, Sql(Params({{1, t}, {2, " true"}, {21, "1"}}))), ids_of({top}));
  // Class 0 or below: no class condition.
  EXPECT_EQ(Ids(s_, Sql(Params({{1, "-3"}, {21, "1"}}))).size(), 5u);
  // A class list page takes the page's class; the home page's blocks pass 0 (no
  // class).
  EXPECT_EQ(Ids(s_, Sql(Params({{1, t}, {2, "true"}, {21, "1"}}), "classlist", lone)),
            ids_of({lone}));
  EXPECT_EQ(Ids(s_, Sql(Params({{1, t}, {21, "1"}}), "classlist", 0)).size(), 5u);
}

TEST_F(ArticleListSqlTest, AMissingClassWithDescendantsGivesAnEmptyList) {
  s_.Add(ArticleRow{.channel = channel_});
  BoundSql sql = Sql(Params({{1, "4321"}, {2, "true"}}));
  ASSERT_NE(sql.sql, "");
  EXPECT_EQ(sql.sql.find("in ()"), std::string::npos);
  EXPECT_TRUE(Ids(s_, sql).empty());
  EXPECT_TRUE(Ids(s_, Sql(Params({{2, "true"}}), "classlist", 999)).empty());
}

TEST(GetClassAndChildIdsTest, ClassAndEveryDescendantOfItsOwnChannel) {
  SiteFixture s;
  int64_t ch = s.Add(ChannelRow{});
  int64_t ch2 = s.Add(ChannelRow{});
  int64_t a = s.Add(ClassRow{.name = "a", .dir = "a", .channel = ch});
  int64_t b = s.Add(ClassRow{.name = "b", .dir = "b", .parent = a, .channel = ch});
  int64_t c = s.Add(ClassRow{.name = "c", .dir = "c", .parent = b, .channel = ch});
  int64_t d = s.Add(ClassRow{.name = "d", .dir = "d", .parent = a, .channel = ch});
  int64_t e = s.Add(ClassRow{.name = "e", .dir = "e", .channel = ch});
  // Another channel's classes share the positions but are not descendants.
  s.Add(ClassRow{.name = "x", .dir = "x", .channel = ch2});
  s.Add(ClassRow{.name = "y", .dir = "y", .channel = ch2});
  s.UseChannel(ch2);  // the current channel does not matter

  auto sorted = [](std::string list) {
    std::vector<int64_t> ids;
    size_t start = 0;
    while (!list.empty()) {
      size_t comma = list.find(',', start);
      ids.push_back(std::stoll(list.substr(start, comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  };
  EXPECT_EQ(sorted(GetClassAndChildIds(s.state.db, a)), (std::vector<int64_t>{a, b, c, d}));
  EXPECT_EQ(GetClassAndChildIds(s.state.db, c), std::to_string(c));
  EXPECT_EQ(GetClassAndChildIds(s.state.db, e), std::to_string(e));
  EXPECT_EQ(sorted(GetClassAndChildIds(s.state.db, std::to_string(b))),
            (std::vector<int64_t>{b, c}));
  EXPECT_EQ(GetClassAndChildIds(s.state.db, 9999), "");
  EXPECT_EQ(GetClassAndChildIds(s.state.db, "1 or 1=1"), "");
  EXPECT_FALSE(s.state.db.Rs->IsOpen());
}

TEST_F(ArticleListSqlTest, SubjectConditions) {
  int64_t in3 = s_.Add(ArticleRow{.channel = channel_, .subject = 3});
  int64_t in4 = s_.Add(ArticleRow{.channel = channel_, .subject = 4});
  int64_t none = s_.Add(ArticleRow{.channel = channel_});
  EXPECT_EQ(Ids(s_, Sql(Params({{3, "3"}, {21, "1"}}))), std::vector<int64_t>{in3});
  EXPECT_EQ(Ids(s_, Sql(Params({{21, "1"}}))), (std::vector<int64_t>{in3, in4, none}));
  // A subject list restricts to its own subject whatever the chip says.
  EXPECT_EQ(Ids(s_, Sql(Params({{21, "1"}}), "subjectlist", "", 4)), std::vector<int64_t>{in4});
  EXPECT_EQ(Ids(s_, Sql(Params({{3, "3"}, {21, "1"}}), "subjectlist", "", 4)),
            std::vector<int64_t>{in4});
}

TEST_F(ArticleListSqlTest, HotRecommendedAuthorAndDays) {
  int64_t hot = s_.Add(ArticleRow{.channel = channel_, .hot = true});
  int64_t rec = s_.Add(ArticleRow{.channel = channel_, .recommend = true});
  int64_t quoted = s_.Add(ArticleRow{.channel = channel_, .author = "O'Brien"});
  int64_t today =
      s_.Add(ArticleRow{.channel = channel_, .add_time = FormatDate(Variant(DateTime::Now()), 1)});

  EXPECT_EQ(Ids(s_, Sql(Params({{5, "true"}, {21, "1"}}))), std::vector<int64_t>{hot});
  EXPECT_EQ(Ids(s_, Sql(Params({{6, "True"}, {21, "1"}}))), std::vector<int64_t>{rec});
  EXPECT_EQ(Ids(s_, Sql(Params({{8, "2"}, {21, "1"}}))), std::vector<int64_t>{today});
  // An author with a quote is matched, not a broken query.
  EXPECT_EQ(Ids(s_, Sql(Params({{7, " O'Brien "}, {21, "1"}}))), std::vector<int64_t>{quoted});
  // An author of blanks adds no condition.
  EXPECT_EQ(Ids(s_, Sql(Params({{7, "   "}, {21, "1"}}))).size(), 4u);
}

TEST_F(ArticleListSqlTest, OrderCodes) {
  // Ids, times and clicks in different orders; the last one pinned.
  int64_t a = s_.Add(ArticleRow{.channel = channel_, .add_time = "2020-01-02", .clicks = 5});
  int64_t b = s_.Add(ArticleRow{.channel = channel_, .add_time = "2020-01-03", .clicks = 1});
  int64_t c = s_.Add(ArticleRow{.channel = channel_, .add_time = "2020-01-01", .clicks = 3});
  int64_t pinned =
      s_.Add(ArticleRow{.channel = channel_, .add_time = "2019-01-01", .top = true, .clicks = 9});
  // Pinned first, then newest first (4) or fewest clicks first (5).
  EXPECT_EQ(Ids(s_, Sql(Params({{21, "4"}}))), (std::vector<int64_t>{pinned, b, a, c}));
  EXPECT_EQ(Ids(s_, Sql(Params({{21, "5"}}))), (std::vector<int64_t>{pinned, b, c, a}));
  // No order: every row, in whatever order the engine gives.
  for (const char* code : {"0", "7"}) {
    std::vector<int64_t> ids = Ids(s_, Sql(Params({{21, code}})));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<int64_t>{a, b, c, pinned})) << code;
  }
}

}  // namespace
}  // namespace folirex
