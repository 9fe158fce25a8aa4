// Merging, deleting and emptying subjects through the host: the articles' subjects, the
// channel's subject count, the renumbered order, the subject folders and the navigation file,
// and the refusals of foreign ids and crafted id lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "console/console_site.h"

namespace folirex::testing {
namespace {

const char kPage[] = "/admin.asp?m=admin_articlesubject&channelid=1";
const char kNavi[] = "Article/Js/subjectlist.js";

class SubjectMergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(site_.SignInAsAdmin().status, 302);
    site_.Add(ChannelRow{.name = "其他", .dir = "other", .id = 2});
    a_ = AddSubject("甲", "alpha", 1);
    b_ = AddSubject("乙", "beta", 2);
    c_ = AddSubject("丙", "gamma", 3);
    foreign_ = site_.Add(SubjectRow{.name = "外", .dir = "far", .order = 1, .channel = 2});
    site_.Sql("update Vantrel_Channel set d_subjectcount = 3 where d_id = 1");
    site_.Sql("update Vantrel_Channel set d_subjectcount = 1 where d_id = 2");
    site_.Sql("update Vantrel_ArticleSubject set d_generatedflag = -1");
  }
  int64_t AddSubject(const std::string& name, const std::string& dir, int order) {
    int64_t id = site_.Add(SubjectRow{.name = name, .dir = dir, .order = order});
    Page(dir, id);
    return id;
  }
  // A list page of the subject in its folder.
  void Page(const std::string& dir, int64_t id) {
    std::filesystem::create_directories(site_.Disk("Article/Subject/" + dir + "/sub"));
    std::ofstream(site_.Disk("Article/Subject/" + dir + "/List_" + std::to_string(id) + ".html"))
        << "page";
  }
  bool Exists(const std::string& path) { return std::filesystem::exists(site_.Disk(path)); }
  HttpAnswer Action(const std::string& action,
                    const std::vector<std::pair<std::string, std::string>>& form) {
    return site_.Post(std::string(kPage) + "&action=" + action, form);
  }
  std::string Orders() {
    return site_.SqlValue(
        "select group_concat(d_name || ':' || d_order, ',') from (select d_name, d_order from "
        "Vantrel_ArticleSubject where d_channelid = 1 order by d_order)");
  }
  int64_t SubjectOf(int64_t article) {
    return site_.Number("select d_subjectid from Vantrel_Article where d_id = " +
                        std::to_string(article));
  }
  int Count(int channel = 1) {
    return site_.Number("select d_subjectcount from Vantrel_Channel where d_id = " +
                        std::to_string(channel));
  }
  std::string Back(const std::string& message) {
    return message + "\\n\\n系统将自动返回前一页面...";
  }
  std::string Id(int64_t id) { return std::to_string(id); }

  ConsoleSite site_;
  int64_t a_ = 0, b_ = 0, c_ = 0, foreign_ = 0;
};

TEST_F(SubjectMergeTest, MergeMovesTheArticlesAndEndsTheSource) {
  std::vector<int64_t> articles;
  for (int i = 0; i < 3; ++i) articles.push_back(site_.Add(ArticleRow{.subject = a_}));
  int64_t elsewhere = site_.Add(ArticleRow{.channel = 2, .subject = a_});

  HttpAnswer form = site_.Get(std::string(kPage) + "&action=join");
  EXPECT_TRUE(Contains(form.text,
                       "<select size=2 name='d_fromid' style='height:300px;width:300px;'>"
                       "<option value='" +
                           Id(a_) + "'>甲</option>"));
  EXPECT_FALSE(Contains(form.text, ">外</option>"));

  // Refusals first: nothing changes.
  EXPECT_EQ(AlertText(Action("savejoin", {{"d_fromid", Id(a_)}, {"d_toid", Id(a_)}}).text),
            Back("提示：相同专题无需合并！"));
  EXPECT_EQ(AlertText(Action("savejoin", {{"d_fromid", Id(foreign_)}, {"d_toid", Id(c_)}}).text),
            Back("提示：数据库连接错误！"));
  EXPECT_EQ(AlertText(Action("savejoin", {{"d_fromid", Id(a_)}, {"d_toid", Id(foreign_)}}).text),
            Back("提示：参数错误！"));
  EXPECT_EQ(AlertText(Action("savejoin", {{"d_fromid", Id(a_)}, {"d_toid", "999"}}).text),
            Back("提示：参数错误！"));
  EXPECT_EQ(AlertText(Action("savejoin", {{"d_fromid", "1 or 1=1"}, {"d_toid", Id(c_)}}).text),
            Back("提示：参数错误！"));
  EXPECT_EQ(AlertText(site_
                          .Get(std::string(kPage) + "&action=savejoin&d_fromid=" + Id(a_) +
                               "&d_toid=" + Id(c_))
                          .text),
            Back("提示：参数错误！"));
  EXPECT_EQ(Orders(), "甲:1,乙:2,丙:3");

  HttpAnswer merged = Action("savejoin", {{"d_fromid", Id(a_)}, {"d_toid", Id(c_)}});
  EXPECT_TRUE(Contains(merged.text, "专题合并成功！"));
  EXPECT_EQ(Orders(), "乙:1,丙:2");
  for (int64_t article : articles) EXPECT_EQ(SubjectOf(article), c_);
  EXPECT_EQ(SubjectOf(elsewhere), a_);
  EXPECT_EQ(
      site_.SqlValue("select d_generatedflag from Vantrel_ArticleSubject where d_id = " + Id(c_)),
      "0");
  EXPECT_EQ(
      site_.SqlValue("select d_generatedflag from Vantrel_ArticleSubject where d_id = " + Id(b_)),
      "-1");
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Count(2), 1);
  EXPECT_FALSE(Exists("Article/Subject/alpha"));
  EXPECT_TRUE(Exists("Article/Subject/gamma/List_" + Id(c_) + ".html"));
  std::string navi = site_.FileText(kNavi);
  EXPECT_FALSE(Contains(navi, "甲"));
  EXPECT_LT(navi.find("乙"), navi.find("丙"));
}

TEST_F(SubjectMergeTest, DeleteTakesOnlyTheChannelsTickedSubjects) {
  int64_t in_a = site_.Add(ArticleRow{.subject = a_});
  int64_t in_b = site_.Add(ArticleRow{.subject = b_});
  int64_t in_c = site_.Add(ArticleRow{.subject = c_});
  int64_t in_foreign = site_.Add(ArticleRow{.channel = 2, .subject = foreign_});
  // A fourth subject shares gamma's folder: its pages stay when gamma's go.
  int64_t d = site_.Add(SubjectRow{.name = "丁", .dir = "GAMMA", .order = 4});
  Page("gamma", d);
  site_.Sql("update Vantrel_Channel set d_subjectcount = 4 where d_id = 1");

  for (const std::string& crafted :
       {std::string(""), std::string("1) or (1=1"), std::string("2,,3"), Id(foreign_)}) {
    EXPECT_EQ(AlertText(Action("del", {{"checkid", crafted}}).text), Back("提示：参数错误！"))
        << crafted;
  }
  EXPECT_EQ(SubjectOf(in_foreign), foreign_);
  EXPECT_EQ(Count(), 4);

  HttpAnswer done = Action("del", {{"checkid", Id(a_) + ", " + Id(c_) + ", " + Id(foreign_)}});
  EXPECT_TRUE(Contains(done.text, "删除专题成功，您需要重新生成列表文件！"));
  EXPECT_EQ(Orders(), "乙:1,丁:2");
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Count(2), 1);
  EXPECT_EQ(SubjectOf(in_a), 0);
  EXPECT_EQ(SubjectOf(in_c), 0);
  EXPECT_EQ(SubjectOf(in_b), b_);
  EXPECT_EQ(SubjectOf(in_foreign), foreign_);
  EXPECT_FALSE(Exists("Article/Subject/alpha"));
  EXPECT_FALSE(Exists("Article/Subject/gamma/List_" + Id(c_) + ".html"));
  EXPECT_TRUE(Exists("Article/Subject/gamma/List_" + Id(d) + ".html"));
  EXPECT_TRUE(Exists("Article/Subject/beta/List_" + Id(b_) + ".html"));
  EXPECT_EQ(
      site_.Number("select count(*) from Vantrel_ArticleSubject where d_id = " + Id(foreign_)), 1);
  std::string navi = site_.FileText(kNavi);
  EXPECT_FALSE(Contains(navi, "甲"));
  EXPECT_TRUE(Contains(navi, "丁"));
}

TEST_F(SubjectMergeTest, EmptyDetachesArticlesAndDeletesPagesButKeepsTheSubject) {
  int64_t in_a = site_.Add(ArticleRow{.subject = a_});
  int64_t in_b = site_.Add(ArticleRow{.subject = b_});
  HttpAnswer done = Action("empty", {{"checkid", Id(a_) + "," + Id(foreign_)}});
  EXPECT_TRUE(Contains(done.text, "清空文章成功，您需要重新生成列表文件！"));
  EXPECT_EQ(SubjectOf(in_a), 0);
  EXPECT_EQ(SubjectOf(in_b), b_);
  EXPECT_FALSE(Exists("Article/Subject/alpha/List_" + Id(a_) + ".html"));
  EXPECT_TRUE(Exists("Article/Subject/alpha/sub"));
  EXPECT_TRUE(Exists("Article/Subject/beta/List_" + Id(b_) + ".html"));
  EXPECT_EQ(Orders(), "甲:1,乙:2,丙:3");
  EXPECT_EQ(Count(), 3);
  EXPECT_EQ(
      site_.SqlValue("select d_generatedflag from Vantrel_ArticleSubject where d_id = " + Id(a_)),
      "-1");
  EXPECT_EQ(AlertText(Action("empty", {{"checkid", ""}}).text), Back("提示：参数错误！"));
}

}  // namespace
}  // namespace folirex::testing
