// The subject page through the host: adding and editing subjects with their folders and the
// channel's navigation file, the order moves, and the refusals of bad names, folders, numbers
// and foreign ids.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "console/console_site.h"

namespace folirex::testing {
namespace {

const char kPage[] = "/admin.asp?m=admin_articlesubject&channelid=1";
const char kNavi[] = "Article/Js/subjectlist.js";

using Form = std::vector<std::pair<std::string, std::string>>;

class SubjectPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(site_.SignInAsAdmin().status, 302);
    site_.Add(ChannelRow{.name = "其他", .dir = "other", .id = 2});
  }
  HttpAnswer Action(const std::string& action, const std::string& query = "",
                    const Form& form = {}) {
    return site_.Post(std::string(kPage) + "&action=" + action + query, form);
  }
  static Form Subject(const std::string& name, const std::string& dir,
                      const std::string& page_num = "20", const std::string& tpl = "") {
    return {{"d_name", name},
            {"d_dir", dir},
            {"d_desc", "说明"},
            {"d_pagenum", page_num},
            {"d_templatepageid", tpl}};
  }
  std::string Column(const std::string& column, const std::string& where) {
    return site_.SqlValue("select " + column + " from Vantrel_ArticleSubject where " + where);
  }
  std::string Orders(int channel = 1) {
    return site_.SqlValue(
        "select group_concat(d_name || ':' || d_order, ',') from (select d_name, d_order from "
        "Vantrel_ArticleSubject where d_channelid = " +
        std::to_string(channel) + " order by d_order)");
  }
  int SubjectCount() {
    return site_.Number("select d_subjectcount from Vantrel_Channel where d_id = 1");
  }
  std::string Back(const std::string& message) {
    return message + "\\n\\n系统将自动返回前一页面...";
  }

  ConsoleSite site_;
};

TEST_F(SubjectPagesTest, SaveStoresTheSubjectWithItsFolderCountAndNavigation) {
  HttpAnswer empty = site_.Get(kPage);
  EXPECT_TRUE(Contains(empty.text, "当前位置：文章管理>>专题管理"));
  EXPECT_TRUE(Contains(empty.text, "action=join\">合并专题</a>"));
  EXPECT_TRUE(Contains(empty.text, "没有记录"));
  EXPECT_FALSE(Contains(empty.text, "name=\"checkaction\""));
  HttpAnswer add = site_.Get(std::string(kPage) + "&action=add");
  EXPECT_TRUE(Contains(add.text, "<option value=''>默认</option>"));
  EXPECT_TRUE(Contains(add.text, "name=\"d_pagenum\" size=\"10\" maxlength=\"20\" value=\"20\""));

  HttpAnswer saved = Action("save", "", Subject("<i>专\"题'</i>", "Sports", "abc", ""));
  EXPECT_TRUE(Contains(saved.text, "新增信息成功！"));
  EXPECT_FALSE(Contains(saved.text, "未能"));
  EXPECT_EQ(Column("d_order || '|' || d_pagenum || '|' || d_templatepageid || '|' || "
                   "d_generatedflag || '|' || d_dir",
                   "d_channelid = 1"),
            "1|20|0|0|Sports");
  EXPECT_EQ(SubjectCount(), 1);
  EXPECT_TRUE(std::filesystem::is_directory(site_.Disk("Article/Subject/Sports")));
  std::string navi = site_.FileText(kNavi);
  EXPECT_TRUE(Contains(navi, "&lt;i&gt;专&quot;题&#39;&lt;/i&gt;")) << navi;
  EXPECT_FALSE(Contains(navi, "<i>"));
  HttpAnswer list = site_.Get(kPage);
  EXPECT_TRUE(Contains(list.text, "&lt;i&gt;专&quot;题'&lt;/i&gt;</a></td><td>Sports</td>"));

  // The next subject follows the largest order, gaps and all; 0 and 020 as page counts.
  site_.Sql("update Vantrel_ArticleSubject set d_order = 7");
  Action("save", "", Subject("second", "abc", "0", "12"));
  Action("save", "", Subject("third", "abc", "020", "x"));
  EXPECT_EQ(Column("d_order || '|' || d_pagenum || '|' || d_templatepageid", "d_name = 'second'"),
            "8|0|12");
  EXPECT_EQ(Column("d_order || '|' || d_pagenum || '|' || d_templatepageid", "d_name = 'third'"),
            "9|20|0");
  EXPECT_EQ(SubjectCount(), 3);
  navi = site_.FileText(kNavi);
  EXPECT_LT(navi.find("专&quot;"), navi.find("second"));
  EXPECT_LT(navi.find("second"), navi.find("third"));
}

TEST_F(SubjectPagesTest, SaveRefusesBadNamesFoldersAndPlainAddresses) {
  std::string chinese;
  for (int i = 0; i < 25; ++i) chinese += "专";
  EXPECT_TRUE(Contains(Action("save", "", Subject(chinese, "abc")).text, "新增信息成功！"));
  EXPECT_TRUE(
      Contains(Action("save", "", Subject(std::string(50, 'n'), "AbC")).text, "新增信息成功！"));
  struct Case {
    Form form;
    std::string message;
  };
  const std::string letters = "提示：目录请使用英文字母，最多20个字母！";
  for (const Case& c : std::vector<Case>{
           {Subject(chinese + "专", "abc"), "提示：专题名称最大25个汉字，50个字符！"},
           {Subject(std::string(51, 'n'), "abc"), "提示：专题名称最大25个汉字，50个字符！"},
           {Subject("", "abc"), "提示：专题名称不允许为空！"},
           {Subject("x", ""), "提示：专题目录不允许为空！"},
           {Subject("x", "ab1"), letters},
           {Subject("x", "a b"), letters},
           {Subject("x", "a/b"), letters},
           {Subject("x", ".."), letters},
           {Subject("x", std::string(21, 'a')), letters},
           {Subject("x", "JS"), "提示：该目录名为系统保留目录，请换一个！"}}) {
    EXPECT_EQ(AlertText(Action("save", "", c.form).text), Back(c.message)) << c.form[1].second;
  }
  EXPECT_EQ(AlertText(site_.Get(std::string(kPage) + "&action=save&d_name=x&d_dir=abc").text),
            Back("提示：参数错误！"));
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_ArticleSubject"), 2);
  EXPECT_EQ(SubjectCount(), 2);
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("Article/Subject/JS")));
}

TEST_F(SubjectPagesTest, EditAndUpdateKeepToTheChannel) {
  int64_t id = site_.Add(SubjectRow{.name = "旧名", .dir = "old", .order = 1});
  int64_t foreign = site_.Add(SubjectRow{.name = "别的", .dir = "far", .order = 1, .channel = 2});
  site_.Sql(
      "update Vantrel_ArticleSubject set d_desc = '</textarea><b>x</b>', "
      "d_generatedflag = -1, d_pagenum = 15");
  std::filesystem::create_directories(site_.Disk("Article/Subject/old"));
  site_.Sql("update Vantrel_Channel set d_subjectcount = 1 where d_id = 1");

  HttpAnswer form = site_.Get(std::string(kPage) + "&action=edit&id=" + std::to_string(id));
  EXPECT_TRUE(Contains(form.text, ">&lt;/textarea&gt;&lt;b&gt;x&lt;/b&gt;</textarea>"));
  EXPECT_TRUE(Contains(form.text, "name=\"d_pagenum\" size=\"10\" maxlength=\"20\" value=\"15\""));
  EXPECT_TRUE(Contains(form.text, "<option value=''>默认设置</option>"));
  EXPECT_TRUE(Contains(form.text, "action=update&amp;id=" + std::to_string(id)));

  HttpAnswer updated =
      Action("update", "&id=" + std::to_string(id), Subject("新名", "fresh", "30", ""));
  EXPECT_TRUE(Contains(updated.text, "修改信息成功！需要重新生成列表文件！"));
  EXPECT_EQ(Column("d_name || '|' || d_dir || '|' || d_pagenum || '|' || d_generatedflag || '|' "
                   "|| d_order",
                   "d_id = " + std::to_string(id)),
            "新名|fresh|30|0|1");
  EXPECT_EQ(SubjectCount(), 1);
  EXPECT_TRUE(std::filesystem::is_directory(site_.Disk("Article/Subject/fresh")));
  EXPECT_TRUE(std::filesystem::is_directory(site_.Disk("Article/Subject/old")));
  EXPECT_TRUE(Contains(site_.FileText(kNavi), "新名"));

  // Another channel's subject is a bad id here: nothing of it changes.
  EXPECT_EQ(
      AlertText(site_.Get(std::string(kPage) + "&action=edit&id=" + std::to_string(foreign)).text),
      Back("提示：参数错误，请返回！"));
  EXPECT_EQ(
      AlertText(Action("update", "&id=" + std::to_string(foreign), Subject("偷", "abc")).text),
      Back("提示：参数错误！"));
  EXPECT_EQ(AlertText(Action("update", "&id=01", Subject("偷", "abc")).text),
            Back("提示：参数错误！"));
  EXPECT_EQ(Column("d_name || '|' || d_channelid", "d_id = " + std::to_string(foreign)), "别的|2");
}

TEST_F(SubjectPagesTest, MovesSwapByTheStoredOrderAndRewriteTheNavigation) {
  int64_t low = site_.Add(SubjectRow{.name = "低", .dir = "low", .order = 3});
  int64_t high = site_.Add(SubjectRow{.name = "高", .dir = "high", .order = 7});
  int64_t foreign = site_.Add(SubjectRow{.name = "外", .dir = "far", .order = 5, .channel = 2});

  HttpAnswer list = site_.Get(kPage);
  // Largest first; the up arrow posts "down".
  EXPECT_LT(list.text.find(">高</a>"), list.text.find(">低</a>"));
  EXPECT_TRUE(Contains(list.text, "action=down&amp;order=3&amp;id=" + std::to_string(low) +
                                      "&amp;channelid=1\" onclick=\"return postArrowLink(this)\">"
                                      "<img src=\"admin/up.gif\""));

  HttpAnswer moved = Action("down", "&order=1&id=" + std::to_string(low));
  EXPECT_TRUE(Contains(moved.text, "alert('排序成功！')"));
  EXPECT_EQ(Orders(), "高:3,低:7");
  std::string navi = site_.FileText(kNavi);
  EXPECT_LT(navi.find("高"), navi.find("低"));

  HttpAnswer top = Action("down", "&order=7&id=" + std::to_string(low));
  EXPECT_FALSE(Contains(top.text, "排序成功"));
  EXPECT_EQ(Orders(), "高:3,低:7");

  EXPECT_EQ(AlertText(Action("up", "&order=5&id=" + std::to_string(foreign)).text),
            Back("提示：参数错误，请返回！"));
  EXPECT_EQ(
      AlertText(
          site_.Get(std::string(kPage) + "&action=down&order=3&id=" + std::to_string(high)).text),
      Back("提示：参数错误，请返回！"));
  EXPECT_EQ(Orders(), "高:3,低:7");
  EXPECT_EQ(Orders(2), "外:5");
}

}  // namespace
}  // namespace folirex::testing
