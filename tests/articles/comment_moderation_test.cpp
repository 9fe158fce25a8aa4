// Comment moderation through the host: comments listed by article (with the class and approval
// filters) and by time, answered, approved and deleted, with the channel's comment counter equal
// to its comments after every action; the refusals that change nothing.
#include <string>

#include "design/design_site.h"

namespace folirex::testing {
namespace {

const std::string kPage = "/admin.asp?m=admin_articlecomment&channelid=";

class CommentModerationTest : public DesignConsoleTest {
 protected:
  void SetUp() override {
    DesignConsoleTest::SetUp();
    parent_ = site_.Add(ClassRow{.name = "新闻", .comments = true});
    child_ = site_.Add(ClassRow{.name = "国内", .parent = parent_, .comments = true});
    first_ = site_.Add(ArticleRow{.title = "第一篇 <文章>", .class_id = parent_});
    second_ = site_.Add(ArticleRow{.title = "第二篇", .class_id = child_});
    other_channel_ = site_.Add(ChannelRow{.name = "体育", .dir = "sports"});
  }

  int64_t AddComment(int64_t channel, int64_t class_id, int64_t article, const std::string& name,
                     const std::string& text, const std::string& time, bool checked) {
    site_.Exec(
        "insert into Vantrel_ArticleComment (d_channelid, d_classid, d_infoid, d_username, "
        "d_comment, d_addtime, d_checked, d_score) values (?, ?, ?, ?, ?, ?, ?, 4)",
        {static_cast<long long>(channel), static_cast<long long>(class_id),
         static_cast<long long>(article), name, text, time, checked ? -1LL : 0LL});
    site_.Exec("update Vantrel_Channel set d_commentcount = d_commentcount + 1 where d_id = ?",
               {static_cast<long long>(channel)});
    return site_.Number("select max(d_id) from Vantrel_ArticleComment");
  }
  // The counter of a channel next to the number of its comments.
  std::string Counter(int64_t channel) {
    std::string id = std::to_string(channel);
    return site_.SqlValue("select d_commentcount from Vantrel_Channel where d_id = " + id) + "/" +
           site_.SqlValue("select count(*) from Vantrel_ArticleComment where d_channelid = " + id);
  }
  HttpAnswer Act(const std::string& action, const std::string& selected,
                 const std::string& extra = "") {
    return site_.Post(kPage + "1&action=" + action + extra, {{"selectdel", selected}});
  }

  int64_t parent_ = 0, child_ = 0, first_ = 0, second_ = 0, other_channel_ = 0;
};

TEST_F(CommentModerationTest, ListedAnsweredApprovedAndDeletedWithTheCounterKept) {
  int64_t a = AddComment(1, parent_, first_, "甲<b>", "第一条\n<script>x</script>",
                         "2024-03-01 10:00:00", true);
  int64_t b = AddComment(1, parent_, first_, "乙", "第二条", "2024-03-03 10:00:00", false);
  int64_t c = AddComment(1, child_, second_, "丙", "子分类评论", "2024-03-02 10:00:00", false);
  int64_t foreign =
      AddComment(other_channel_, 0, first_, "丁", "他台", "2024-03-04 10:00:00", false);
  // A reader's comment through the public page stores the article's class.
  std::string posted =
      site_
          .Post("/asp.asp?m=comment&flag=1&articleid=" + std::to_string(second_) + "&channelid=1",
                {{"d_name", "读者"}, {"d_score", "5"}, {"d_content", "公开评论"}})
          .text;
  ASSERT_TRUE(Contains(posted, "评论成功")) << posted;
  int64_t d = site_.Number("select max(d_id) from Vantrel_ArticleComment");
  EXPECT_EQ(site_.Number("select d_classid from Vantrel_ArticleComment where d_id = " +
                         std::to_string(d)),
            child_);
  EXPECT_EQ(Counter(1), "4/4");

  // Grouped by article (ascending), newest first inside an article, names and texts encoded.
  std::string list = site_.Get(kPage + "1").text;
  EXPECT_TRUE(Contains(list, "当前位置：文章管理>>评论管理"));
  EXPECT_EQ(CountOf(list, "清空本文章下的评论"), 2);
  EXPECT_TRUE(Contains(list, "第一篇 &lt;文章&gt;"));
  EXPECT_LT(list.find("第二条"), list.find("第一条"));
  EXPECT_LT(list.find("第一条"), list.find("子分类评论"));
  EXPECT_TRUE(Contains(list, "第一条<br>&lt;script&gt;x&lt;/script&gt;"));
  EXPECT_FALSE(Contains(list, "<script>x"));
  EXPECT_TRUE(Contains(list, "甲&lt;b&gt;"));
  EXPECT_TRUE(Contains(list, "2024-03-01 10:00:00"));
  EXPECT_FALSE(Contains(list, "他台"));
  // The class filter matches the stored class exactly; the approval filter the flag.
  std::string parent_only = site_.Get(kPage + "1&qclass=" + std::to_string(parent_)).text;
  EXPECT_TRUE(Contains(parent_only, "第一条"));
  EXPECT_FALSE(Contains(parent_only, "子分类评论"));
  EXPECT_FALSE(Contains(parent_only, "公开评论"));
  std::string child_only = site_.Get(kPage + "1&qclass=" + std::to_string(child_)).text;
  EXPECT_TRUE(Contains(child_only, "公开评论"));
  EXPECT_TRUE(Contains(child_only, "子分类评论"));
  EXPECT_TRUE(Contains(child_only, "value='" + std::to_string(child_) + "' selected>　国内"));
  std::string unapproved = site_.Get(kPage + "1&qcheckstate=false").text;
  EXPECT_FALSE(Contains(unapproved, "第一条"));
  EXPECT_TRUE(Contains(unapproved, "第二条"));
  EXPECT_TRUE(
      Contains(site_.Get(kPage + "1&qclass=" + std::to_string(parent_) + "&qcheckstate=true").text,
               "第一条"));
  // By time: newest first, filters ignored.
  std::string by_time = site_.Get(kPage + "1&action=desc&qclass=" + std::to_string(child_)).text;
  EXPECT_LT(by_time.find("公开评论"), by_time.find("第二条"));
  EXPECT_LT(by_time.find("第二条"), by_time.find("子分类评论"));
  EXPECT_LT(by_time.find("子分类评论"), by_time.find("第一条"));

  // An answer is stored as given, approves the comment and shows encoded.
  std::string b_id = std::to_string(b);
  std::string form = site_.Get(kPage + "1&action=reply&id=" + b_id).text;
  EXPECT_TRUE(Contains(form, "第二条"));
  const std::string answer = "谢谢 <b>\"支持\"</b> & '欢迎'";
  HttpAnswer saved =
      site_.Post(kPage + "1&action=save&id=" + b_id, {{"d_reply", "  " + answer + " "}});
  EXPECT_TRUE(Contains(saved.text, "回复信息成功！"));
  EXPECT_EQ(site_.SqlValue("select d_reply || '|' || d_replyuser || '|' || d_checked from "
                           "Vantrel_ArticleComment where d_id = " +
                           b_id),
            answer + "|" + site_.admin_name() + "|-1");
  EXPECT_EQ(TextAreaValue(site_.Get(kPage + "1&action=reply&id=" + b_id).text, "d_reply"), answer);
  EXPECT_TRUE(Contains(site_.Get(kPage + "1").text,
                       "回复内容：谢谢 &lt;b&gt;&quot;支持&quot;&lt;/b&gt; &amp; &#39;欢迎&#39;'"));

  // Approving and withdrawing leave the counter alone.
  EXPECT_TRUE(
      Contains(Act("check", std::to_string(c) + ", " + std::to_string(d)).text, "审核信息成功！"));
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_ArticleComment where d_checked = -1 and "
                         "d_channelid = 1"),
            4);
  EXPECT_TRUE(Contains(Act("uncheck", std::to_string(a)).text, "取消通过操作成功！"));
  EXPECT_TRUE(Contains(Act("checkall", "").text, "审核信息成功！"));
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_ArticleComment where d_checked = 0"), 1);
  EXPECT_EQ(Counter(1), "4/4");

  // A list naming another channel's comment deletes only this channel's ones.
  EXPECT_TRUE(Contains(Act("del", std::to_string(c) + ", " + std::to_string(foreign)).text,
                       "删除信息成功！"));
  EXPECT_EQ(Counter(1), "3/3");
  EXPECT_EQ(Counter(other_channel_), "1/1");
  EXPECT_TRUE(
      Contains(Act("delone", "", "&infoid=" + std::to_string(first_)).text, "清空信息成功！"));
  EXPECT_EQ(Counter(1), "1/1");
  // Emptying leaves the counter at zero, also when it had drifted from the comments.
  site_.SetChannel(1, "d_commentcount = 7");
  EXPECT_TRUE(Contains(Act("empty", "").text, "清空信息成功！"));
  EXPECT_EQ(Counter(1), "0/0");
  EXPECT_EQ(Counter(other_channel_), "1/1");
  std::string empty = site_.Get(kPage + "1").text;
  EXPECT_TRUE(Contains(empty, "暂无此类数据！"));
  EXPECT_FALSE(Contains(empty, "name='actionform'"));
}

TEST_F(CommentModerationTest, RefusalsChangeNothing) {
  int64_t a = AddComment(1, parent_, first_, "甲", "评论", "2024-03-01 10:00:00", false);
  int64_t foreign =
      AddComment(other_channel_, 0, first_, "丁", "他台", "2024-03-04 10:00:00", false);
  std::string id = std::to_string(a);
  auto unchanged = [&]() {
    EXPECT_EQ(Counter(1), "1/1");
    EXPECT_EQ(site_.SqlValue("select d_checked || d_reply from Vantrel_ArticleComment where "
                             "d_id = " +
                             id),
              "0");
  };
  EXPECT_EQ(Refusal(site_.Get(kPage + "x")), "提示：参数错误，请返回！");
  // Changes come only from posted forms.
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=del&selectdel=" + id)), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=empty")), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=delone&infoid=" + std::to_string(first_))),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=save&id=" + id + "&d_reply=x")),
            "提示：参数错误！");
  // Lists and ids that are not plain ids.
  EXPECT_EQ(Refusal(Act("del", "")), "请先选择记录再操作！");
  EXPECT_EQ(Refusal(Act("check", id + ",1) or (1=1")), "提示：参数错误！");
  EXPECT_EQ(Refusal(Act("delone", "", "&infoid=1%20or%201=1")), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&qclass=1%20or%201=1")), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&qcheckstate=1%20or%201")), "提示：参数错误！");
  // A comment of another channel or of no row has no reply form here.
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=reply&id=" + std::to_string(foreign))),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Get(kPage + "1&action=reply&id=999")), "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Post(kPage + "1&action=save&id=999", {{"d_reply", "x"}})),
            "提示：参数错误！");
  EXPECT_EQ(Refusal(site_.Post(kPage + "1&action=save&id=" + std::to_string(foreign),
                               {{"d_reply", "x"}})),
            "提示：参数错误！");
  EXPECT_EQ(site_.SqlValue("select d_checked || d_reply from Vantrel_ArticleComment where d_id = " +
                           std::to_string(foreign)),
            "0");
  EXPECT_EQ(
      Refusal(site_.Post(kPage + "1&action=save&id=" + id, {{"d_reply", std::string(10001, 'x')}})),
      "提示：回复内容不能超过10000个字符！");
  unchanged();
  // Without a signed-in administrator nothing is shown or changed.
  site_.ClearCookies();
  HttpAnswer signed_out = Act("empty", "");
  EXPECT_EQ(signed_out.status, 302);
  EXPECT_EQ(signed_out.Header("location"), "admin.asp?m=admin_login");
  unchanged();
  ASSERT_EQ(site_.SignInAsAdmin().status, 302);
  // A comment whose article is gone shows so.
  site_.Exec("delete from Vantrel_Article where d_id = ?", {static_cast<long long>(first_)});
  EXPECT_TRUE(Contains(site_.Get(kPage + "1").text, "获取标题失败"));
}

}  // namespace
}  // namespace folirex::testing
