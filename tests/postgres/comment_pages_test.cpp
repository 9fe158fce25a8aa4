// Comment moderation on both database forms, through `folirex serve`: public comments stored
// with their class, found by the class and approval filters, approved, answered and deleted with
// the channel's counter kept. Every case runs on SQLite; on PostgreSQL when ./test.sh has started
// its cluster.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "both_forms_site.h"
#include "platform/db/connection.h"

namespace folirex::testing {
namespace {

class CommentPagesTest : public BothFormsSiteTest {
 protected:
  std::string Counter() {
    return ValueText("select d_commentcount from Vantrel_Channel where d_id = 1") + "/" +
           ValueText("select count(*) from Vantrel_ArticleComment where d_channelid = 1");
  }
};

TEST_P(CommentPagesTest, ModeratedWithTheCounterKept) {
  Exec(
      "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_commentflag, "
      "d_commentcheckflag, d_path, d_order, d_level, d_rootid) values (1, 0, ?, true, true, '', "
      "1, 0, 0)",
      {Variant("评论分类")});
  std::string class_id = Value("select max(d_id) from Vantrel_ArticleClass").ToString();
  Exec(
      "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_content, d_checked, "
      "d_deleted, d_picurl) values (1, ?, ?, ?, true, false, '')",
      {Variant(std::stoll(class_id)), Variant("文章"), Variant("正文")});
  std::string article = Value("select max(d_id) from Vantrel_Article").ToString();

  HttpAnswer posted =
      site_->Post("/asp.asp?m=comment&flag=1&articleid=" + article + "&channelid=1",
                  {{"d_name", "reader"}, {"d_score", "5"}, {"d_content", "first comment"}});
  ASSERT_TRUE(Has(posted.text, "评论成功")) << posted.text;
  site_->Post("/asp.asp?m=comment&flag=1&articleid=" + article + "&channelid=1",
              {{"d_name", "reader"}, {"d_score", "4"}, {"d_content", "second comment"}});
  EXPECT_EQ(
      Value("select count(*) from Vantrel_ArticleComment where d_classid = " + class_id).ToInt64(),
      2);
  EXPECT_EQ(Counter(), "2/2");

  const std::string page = "/admin.asp?m=admin_articlecomment&channelid=1";
  std::string listed = site_->Get(page + "&qclass=" + class_id + "&qcheckstate=false").text;
  EXPECT_TRUE(Has(listed, "first comment"));
  EXPECT_TRUE(Has(listed, "second comment"));
  std::string first =
      Value("select min(d_id) from Vantrel_ArticleComment where d_channelid = 1").ToString();
  EXPECT_TRUE(
      Has(site_->Post(page + "&action=check", {{"selectdel", first}}).text, "审核信息成功！"));
  EXPECT_FALSE(Has(site_->Get(page + "&qcheckstate=false").text, "first comment"));
  EXPECT_TRUE(Has(site_->Post(page + "&action=save&id=" + first, {{"d_reply", "thanks"}}).text,
                  "回复信息成功！"));
  EXPECT_EQ(Value("select d_reply from Vantrel_ArticleComment where d_id = " + first).ToString(),
            "thanks");
  EXPECT_TRUE(
      Has(site_->Post(page + "&action=del", {{"selectdel", first}}).text, "删除信息成功！"));
  EXPECT_EQ(Counter(), "1/1");
  EXPECT_TRUE(Has(site_->Post(page + "&action=empty", {}).text, "清空信息成功！"));
  EXPECT_EQ(Counter(), "0/0");
}

FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, CommentPagesTest);

}  // namespace
}  // namespace folirex::testing
