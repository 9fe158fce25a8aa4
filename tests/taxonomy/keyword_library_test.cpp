// The keyword library page through the host: adding and listing keywords, their order moves,
// the rename that rewrites the channel's article keywords, and the bulk delete, each with the
// refusals of foreign ids, crafted id lists and names that look like patterns.
#include <gtest/gtest.h>

#include <string>

#include "console/console_site.h"

namespace folirex::testing {
namespace {

const char kPage[] = "/admin.asp?m=admin_articlekeyword&channelid=1";

class KeywordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(site_.SignInAsAdmin().status, 302);
    site_.Add(ChannelRow{.name = "其他", .dir = "other", .id = 2});
  }
  HttpAnswer Action(const std::string& action, const std::string& query = "",
                    const std::vector<std::pair<std::string, std::string>>& form = {}) {
    return site_.Post(std::string(kPage) + "&action=" + action + query, form);
  }
  // The channel's keywords by d_order, "name:order" joined by ",".
  std::string Orders(int channel = 1) {
    return site_.SqlValue(
        "select group_concat(d_name || ':' || d_order, ',') from (select d_name, d_order from "
        "Vantrel_Keyword where d_channelid = " +
        std::to_string(channel) + " order by d_order)");
  }
  std::string KeywordOf(int64_t article) {
    return site_.SqlValue("select d_keyword from Vantrel_Article where d_id = " +
                          std::to_string(article));
  }

  ConsoleSite site_;
};

TEST_F(KeywordTest, AddListsTheNewKeywordFirstAndRefusesBadNames) {
  HttpAnswer empty = site_.Get(kPage);
  EXPECT_TRUE(Contains(empty.text, "当前位置：文章管理>>关键字库管理"));
  EXPECT_TRUE(Contains(empty.text, "没有记录"));
  EXPECT_FALSE(Contains(empty.text, "name=\"checkaction\""));

  site_.Add(KeywordRow{.name = "旧", .order = 1});
  HttpAnswer saved = Action("save", "", {{"d_name", "<b>新\"词'</b>"}});
  EXPECT_TRUE(Contains(saved.text, "新增信息成功！"));
  EXPECT_EQ(Orders(), "旧:1,<b>新\"词'</b>:2");

  HttpAnswer list = site_.Get(kPage);
  EXPECT_TRUE(Contains(list.text, "&lt;b&gt;新&quot;词'&lt;/b&gt;</a>"));
  EXPECT_FALSE(Contains(list.text, "<b>新"));
  EXPECT_LT(list.text.find("新&quot;"), list.text.find(">旧</a>"));
  EXPECT_TRUE(Contains(list.text, "<option value=\"del\">删除</option>"));

  // 25 Chinese characters pass; one more unit, an empty name or a "|" is refused.
  std::string chinese;
  for (int i = 0; i < 25; ++i) chinese += "字";
  EXPECT_TRUE(Contains(Action("save", "", {{"d_name", chinese}}).text, "新增信息成功！"));
  EXPECT_EQ(AlertText(Action("save", "", {{"d_name", std::string(51, 'a')}}).text),
            "提示：名称最大25个汉字，50个字符！\\n\\n系统将自动返回前一页面...");
  EXPECT_EQ(AlertText(Action("save", "", {{"d_name", ""}}).text),
            "提示：名称不允许为空！\\n\\n系统将自动返回前一页面...");
  EXPECT_TRUE(Contains(AlertText(Action("save", "", {{"d_name", "a|b"}}).text), "“|”"));
  // A plain address saves nothing.
  EXPECT_TRUE(Contains(AlertText(site_.Get(std::string(kPage) + "&action=save&d_name=x").text),
                       "提示：参数错误！"));
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Keyword"), 3);
}

TEST_F(KeywordTest, MovesSwapWithTheNeighbourByTheStoredOrder) {
  int64_t a = site_.Add(KeywordRow{.name = "a", .order = 1});
  int64_t b = site_.Add(KeywordRow{.name = "b", .order = 5});
  int64_t foreign = site_.Add(KeywordRow{.name = "z", .channel = 2, .order = 3});

  // The posted order is stale; the stored one counts.
  HttpAnswer moved = Action("down", "&order=9&id=" + std::to_string(a));
  EXPECT_TRUE(Contains(moved.text, "alert('排序成功！')"));
  EXPECT_TRUE(Contains(moved.text, "location.href='?m=admin_articlekeyword&channelid=1'"));
  EXPECT_EQ(Orders(), "b:1,a:5");
  // At the end of the list nothing changes and nothing is announced.
  HttpAnswer none = Action("down", "&order=5&id=" + std::to_string(a));
  EXPECT_FALSE(Contains(none.text, "排序成功"));
  EXPECT_TRUE(Contains(none.text, "location.href="));
  EXPECT_EQ(Orders(), "b:1,a:5");
  Action("up", "&order=1&id=" + std::to_string(a));
  EXPECT_EQ(Orders(), "a:1,b:5");

  // A keyword of another channel, a bad number and a plain address move nothing.
  const std::string refused = "提示：参数错误，请返回！\\n\\n系统将自动返回前一页面...";
  EXPECT_EQ(AlertText(Action("up", "&order=3&id=" + std::to_string(foreign)).text), refused);
  EXPECT_EQ(AlertText(Action("up", "&order=x&id=" + std::to_string(b)).text), refused);
  EXPECT_EQ(
      AlertText(site_.Get(std::string(kPage) + "&action=up&order=5&id=" + std::to_string(b)).text),
      refused);
  EXPECT_EQ(Orders(), "a:1,b:5");
  EXPECT_EQ(Orders(2), "z:3");
}

TEST_F(KeywordTest, RenameRewritesOnlyTheChannelsWholeKeyword) {
  const std::string odd = "50%_x'y";
  int64_t plain = site_.Add(KeywordRow{.name = "a", .order = 1});
  int64_t pattern = site_.Add(KeywordRow{.name = odd, .order = 2});
  int64_t foreign = site_.Add(KeywordRow{.name = "a", .channel = 2, .order = 1});
  int64_t alone = site_.Add(ArticleRow{.keyword = "|a|"});
  int64_t list = site_.Add(ArticleRow{.keyword = "|a|c|"});
  int64_t longer = site_.Add(ArticleRow{.keyword = "|ab|"});
  int64_t other_channel = site_.Add(ArticleRow{.channel = 2, .keyword = "|a|"});
  int64_t odd_article = site_.Add(ArticleRow{.keyword = "|" + odd + "|"});
  int64_t look_alike = site_.Add(ArticleRow{.keyword = "|50ab_x'y|"});
  int64_t planted = site_.Add(ArticleRow{.keyword = "|c|"});

  HttpAnswer form = site_.Get(std::string(kPage) + "&action=edit&id=" + std::to_string(pattern));
  EXPECT_TRUE(
      Contains(form.text, "name=\"d_name\" size=\"50\" maxlength=\"50\" value=\"50%_x&#39;y\""));
  EXPECT_TRUE(Contains(form.text, "action=update&amp;id=" + std::to_string(pattern)));

  // The old name comes from the row, whatever the form's oldkey says.
  HttpAnswer renamed =
      Action("update", "&id=" + std::to_string(plain), {{"d_name", "b"}, {"oldkey", "c"}});
  EXPECT_TRUE(Contains(renamed.text, "修改信息成功！"));
  EXPECT_EQ(KeywordOf(alone), "|b|");
  EXPECT_EQ(KeywordOf(list), "|a|c|");
  EXPECT_EQ(KeywordOf(longer), "|ab|");
  EXPECT_EQ(KeywordOf(other_channel), "|a|");
  EXPECT_EQ(KeywordOf(planted), "|c|");
  EXPECT_EQ(
      site_.SqlValue("select d_name from Vantrel_Keyword where d_id = " + std::to_string(foreign)),
      "a");

  // Pattern characters and a quote match only themselves.
  Action("update", "&id=" + std::to_string(pattern), {{"d_name", "新'名"}});
  EXPECT_EQ(KeywordOf(odd_article), "|新'名|");
  EXPECT_EQ(KeywordOf(look_alike), "|50ab_x'y|");

  // Another channel's keyword is a bad id for this channel's page.
  EXPECT_TRUE(Contains(
      AlertText(Action("update", "&id=" + std::to_string(foreign), {{"d_name", "x"}}).text),
      "提示：参数错误！"));
  EXPECT_TRUE(Contains(
      AlertText(site_.Get(std::string(kPage) + "&action=edit&id=" + std::to_string(foreign)).text),
      "提示：参数错误，请返回！"));
  EXPECT_EQ(KeywordOf(other_channel), "|a|");
}

TEST_F(KeywordTest, DeleteRenumbersTheChannelAndKeepsArticles) {
  std::vector<int64_t> ids;
  for (int i = 1; i <= 5; ++i) {
    ids.push_back(site_.Add(KeywordRow{.name = "k" + std::to_string(i), .order = i}));
  }
  int64_t foreign = site_.Add(KeywordRow{.name = "z", .channel = 2, .order = 1});
  int64_t article = site_.Add(ArticleRow{.keyword = "|k2|"});

  // Crafted lists, nothing ticked and a list of another channel's ids change nothing.
  for (const std::string& crafted :
       {std::string("1) or (1=1"), std::string(""), std::string("2,x"), std::to_string(foreign)}) {
    EXPECT_TRUE(
        Contains(AlertText(Action("del", "", {{"checkid", crafted}}).text), "提示：参数错误！"))
        << crafted;
  }
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Keyword"), 6);

  HttpAnswer done = Action("del", "",
                           {{"checkid", std::to_string(ids[1]) + ", " + std::to_string(ids[3]) +
                                            ", " + std::to_string(foreign)}});
  EXPECT_TRUE(Contains(done.text, "删除成功！"));
  EXPECT_EQ(Orders(), "k1:1,k3:2,k5:3");
  EXPECT_EQ(Orders(2), "z:1");
  EXPECT_EQ(KeywordOf(article), "|k2|");
}

}  // namespace
}  // namespace folirex::testing
