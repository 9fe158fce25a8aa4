// A channel's static generation on both database forms: the planner's queue of a seeded channel
// run through the step requests of a served site, with the shipped design. The step statements
// (the step's rows read in one window, the marks of a step set together, the list counts over
// the chip's query) give the same files and flags on both.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "both_forms_site.h"
#include "platform/db/connection.h"

namespace folirex::testing {
namespace {

class PublishingTest : public BothFormsSiteTest {};

TEST_P(PublishingTest, AChannelIsPublishedStepByStep) {
  Exec(
      "insert into Vantrel_ArticleClass (d_channelid, d_name, d_dir, d_pagenum, d_order) values "
      "(1, '国内', 'china', 5, 1)");
  const std::string cls = ValueText("select max(d_id) from Vantrel_ArticleClass");
  Exec("update Vantrel_ArticleClass set d_rootid = " + cls + ", d_path = '" + cls +
       ",' where d_id = " + cls);
  for (int i = 1; i <= 23; ++i) {
    Exec(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
        "d_addtime) values (1, " +
        cls + ", '新闻" + std::to_string(i) + "', '<p>正文</p>', -1, '2024-05-01 10:00:" +
        (i < 10 ? "0" : "") + std::to_string(i) + "')");
  }
  Exec("update Vantrel_Channel set d_generatehtml = 1, d_groupnum = 10 where d_id = 1");

  auto run = [&](const std::string& flag,
                 const std::vector<std::pair<std::string, std::string>>& form) {
    HttpAnswer page = site_->Post(
        "/admin.asp?m=admin_articlehtml&channelid=1&action=htmlupdate&flag=" + flag, form);
    static const std::regex kUrl("a_Url\\[a_Url.length\\] = '([^']*)';");
    std::vector<std::string> urls;
    for (std::sregex_iterator it(page.text.begin(), page.text.end(), kUrl), end; it != end; ++it) {
      urls.push_back((*it)[1]);
    }
    for (const std::string& url : urls) {
      EXPECT_EQ(site_->Get("/admin.asp?m=admin_articlehtml&action=doingupdatehtml&" + url).text,
                "<script language=javascript>parent.doReturn('完成');</script>")
          << url;
    }
    return urls.size();
  };
  // first, three content steps, js, the class, and the top lists the shipped design has.
  EXPECT_GE(run("0", {}), 6u);
  EXPECT_EQ(ValueText("select count(*) from Vantrel_Article where d_generatedflag = 0"), "0");
  EXPECT_EQ(ValueText("select d_generatedflag from Vantrel_ArticleClass where d_id = " + cls),
            "True");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "Article/default.html"));
  EXPECT_TRUE(std::filesystem::exists(dir_ / ("Article/china/List_" + cls + "_5.html")));
  EXPECT_FALSE(std::filesystem::exists(dir_ / ("Article/china/List_" + cls + "_6.html")));
  const std::string first = ValueText("select min(d_id) from Vantrel_Article");
  HttpAnswer article = site_->Get("/Article/china/" + first + ".html");
  EXPECT_EQ(article.status, 200);
  EXPECT_NE(article.text.find("新闻1"), std::string::npos);

  // Every article again, ten a step: the later steps pass over the rows of the earlier ones.
  std::filesystem::remove_all(dir_ / "Article/china");
  EXPECT_EQ(run("1", {{"d_option", "content_all"}}), 3u);
  const int64_t low = std::stoll(first);
  for (int64_t id = low; id < low + 23; ++id) {
    EXPECT_TRUE(std::filesystem::exists(dir_ / ("Article/china/" + std::to_string(id) + ".html")))
        << id;
  }
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, PublishingTest);

}  // namespace
}  // namespace folirex::testing
