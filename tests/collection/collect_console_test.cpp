// The collection pages through the host: projects (add, edit, copy, delete, test run), the log
// list and its bulk actions, the batch page and its step requests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "../console/console_site.h"
#include "collect_test_site.h"
#include "collection/url_rules.h"
#include "core/settings_file.h"
#include "support/temp_folder.h"

namespace folirex::testing {
namespace {

using Form = std::vector<std::pair<std::string, std::string>>;

constexpr char kSet[] = "/admin.asp?m=admin_articlecollectset&channelid=1";
constexpr char kCollect[] = "/admin.asp?m=admin_articlecollect&channelid=1";

class CollectConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(site_.SignInAsAdmin().status, 302);
    // The other site listens on loopback, which collection reaches only when it is opened.
    site_.settings().collect_allow_networks = "127.0.0.1";
  }

  Form ProjectForm(const std::string& name) {
    return {{"d_name", name},
            {"d_classid", "0"},
            {"d_pageurl", "  " + remote_.Url("/list/{page}.htm") + " "},
            {"d_firstdiff", "1"},
            {"d_firstfilename", "index.htm"},
            {"d_pageheader", "<!--list-->"},
            {"d_pagefooter", "<!--/list-->"},
            {"d_idurl", "(/art/{id}.htm|../art/{id}.htm)"},
            {"d_header", "<div id=body>"},
            {"d_footer", "</html>"},
            {"d_title1", "<h1>"},
            {"d_title2", "</h1>"},
            {"d_content1", "<div class=c>"},
            {"d_content2", "</div>"},
            {"d_doflag", "1"},
            {"d_checkflag", "1"},
            {"d_pagenextmatch", "<div class=pages>\r\n{c}</div>"}};
  }
  int64_t Count(const std::string& table) { return site_.Number("select count(*) from " + table); }
  // The step token of the batch page.
  static std::string Token(const std::string& page) {
    size_t at = page.find("&token=");
    return at == std::string::npos ? "" : page.substr(at + 7, 32);
  }

  ConsoleSite site_;
  RemoteSite remote_;
};

TEST_F(CollectConsoleTest, ProjectsAreAddedEditedCopiedAndDeletedFromPostedForms) {
  HttpAnswer list = site_.Get(kSet);
  ASSERT_EQ(list.status, 200);
  EXPECT_TRUE(Contains(list.text, "当前位置：文章管理&gt;&gt;采集设置"));
  EXPECT_TRUE(Contains(list.text, "无数据！"));

  HttpAnswer saved = site_.Post(std::string(kSet) + "&action=addsave", ProjectForm("<b>运动</b>"));
  EXPECT_TRUE(Contains(saved.text, "数据增加保存成功！"));
  std::string id = site_.SqlValue("select max(D_ID) from Vantrel_CollectProject");
  EXPECT_EQ(site_.SqlValue("select D_PageUrl from Vantrel_CollectProject"),
            remote_.Url("/list/{page}.htm"));
  EXPECT_EQ(site_.SqlValue("select D_PageNextMatch from Vantrel_CollectProject"),
            "<div class=pages>\r\n{c}</div>");

  // Refused values: nothing stored.
  Form empty_name = ProjectForm("");
  Form bad_flag = ProjectForm("x");
  bad_flag[14].second = "7";
  Form foreign_class = ProjectForm("x");
  foreign_class[1].second = "99999";
  for (const Form& form : {empty_name, bad_flag, foreign_class}) {
    HttpAnswer refused = site_.Post(std::string(kSet) + "&action=addsave", form);
    EXPECT_NE(AlertText(refused.text), "");
  }
  EXPECT_EQ(Count("Vantrel_CollectProject"), 1);

  list = site_.Get(kSet);
  EXPECT_TRUE(Contains(list.text, "&lt;b&gt;运动&lt;/b&gt;"));
  EXPECT_FALSE(Contains(list.text, "<b>运动"));
  EXPECT_TRUE(Contains(list.text, "href=\"" + remote_.Url("/list/index.htm") + "\""));
  HttpAnswer form = site_.Get(std::string(kSet) + "&action=MoDi&id=" + id);
  EXPECT_TRUE(Contains(form.text, "修改数据"));
  // The link marker's hint shows a marker that finds links.
  size_t hint = form.text.find("匹配如：");
  ASSERT_NE(hint, std::string::npos) << form.text;
  hint += std::string("匹配如：").size();
  std::string example = form.text.substr(hint, form.text.find("，", hint) - hint);
  EXPECT_EQ(
      ArticleCollect_RegExpLinks("<a href=\"xxx/2024.htm\">", ArticleCollect_MarkerToRegex(example),
                                 "http://a.cn/list/1.htm"),
      (std::vector<std::string>{"", "http://a.cn/list/xxx/2024.htm"}))
      << example;
  EXPECT_TRUE(Contains(form.text, "value=\"&lt;b&gt;运动&lt;/b&gt;\""));
  EXPECT_TRUE(Contains(form.text, "&lt;!--list--&gt;</textarea>"));
  EXPECT_EQ(AlertText(site_.Get(std::string(kSet) + "&action=modi&id=x1").text),
            "无效的ID号，请点击页面链接操作！\\n\\n系统将自动返回前一页面...");

  // Another channel's project is neither shown for editing nor saved over.
  std::string foreign = std::to_string(AddProject(site_, remote_, 1, 2));
  EXPECT_EQ(AlertText(site_.Get(std::string(kSet) + "&action=modi&id=" + foreign).text),
            "无效的ID号，请点击页面链接操作！\\n\\n系统将自动返回前一页面...");
  site_.Post(std::string(kSet) + "&action=modisave&id=" + foreign, ProjectForm("夺取"));
  EXPECT_EQ(site_.SqlValue("select D_Name from Vantrel_CollectProject where D_ID = " + foreign),
            "运动会项目");
  site_.Sql("delete from Vantrel_CollectProject where D_ID = " + foreign);

  Form renamed = ProjectForm("改名");
  EXPECT_TRUE(Contains(site_.Post(std::string(kSet) + "&action=modisave&id=" + id, renamed).text,
                       "数据修改保存成功！"));
  EXPECT_EQ(site_.SqlValue("select D_Name from Vantrel_CollectProject where D_ID = " + id), "改名");

  // A copy or a delete followed as a plain address changes nothing.
  site_.Get(std::string(kSet) + "&action=copy&id=" + id);
  site_.Get(std::string(kSet) + "&action=del&checkid=" + id);
  EXPECT_EQ(Count("Vantrel_CollectProject"), 1);
  EXPECT_TRUE(Contains(site_.Post(std::string(kSet) + "&action=copy&id=" + id, {}).text,
                       "已拷贝一个项目！"));
  EXPECT_EQ(site_.SqlValue("select D_Name from Vantrel_CollectProject order by D_ID desc"),
            "改名_拷贝");

  // Deleting a project deletes its log rows and no other.
  std::string copy = site_.SqlValue("select max(D_ID) from Vantrel_CollectProject");
  site_.Sql("insert into Vantrel_CollectLog (d_projectid, d_channelid, d_url) values (" + id +
            ", 1, 'http://a/1'), (" + copy + ", 1, 'http://a/2')");
  EXPECT_NE(
      AlertText(site_.Post(std::string(kSet) + "&action=del", {{"checkid", "1 or 1=1"}}).text), "");
  EXPECT_EQ(AlertText(site_.Post(std::string(kSet) + "&action=del", {{"checkid", id}}).text),
            "选定数据删除成功！");
  EXPECT_EQ(Count("Vantrel_CollectProject"), 1);
  EXPECT_EQ(site_.SqlValue("select d_projectid from Vantrel_CollectLog"), copy);
}

TEST_F(CollectConsoleTest, TestRunShowsInertPreviewsAndEncodedFields) {
  int64_t id = AddProject(site_, remote_);
  const std::string test_url = std::string(kSet) + "&action=test&id=" + std::to_string(id);
  // A list address on this machine is not fetched unless the settings open its network; the
  // alert names the address and the setting, and the error output the project.
  site_.settings().collect_allow_networks = "";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(AlertText(site_.Get(test_url).text),
            "提示：列表页的" + RefusalText("127.0.0.1") + "！\\n\\n系统将自动返回前一页面...");
  std::vector<std::string> lines = RefusalLogLines(::testing::internal::GetCapturedStderr());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(
      lines[0].find("project " + std::to_string(id) + " \"运动会项目\": the address 127.0.0.1 "),
      std::string::npos)
      << lines[0];
  EXPECT_NE(lines[0].find("CollectAllowNetworks"), std::string::npos) << lines[0];
  site_.settings().collect_allow_networks = "127.0.0.1";
  // So is a content page outside the open network.
  site_.Sql(
      "update Vantrel_CollectProject set D_FirstFileName = 'far.htm', D_IDUrl = "
      "'http://127.0.0.2:{id}/art/{id}.htm'");
  EXPECT_EQ(AlertText(site_.Get(test_url).text),
            "提示：内容页的" + RefusalText("127.0.0.2") + "！\\n\\n系统将自动返回前一页面...");
  site_.Sql(
      "update Vantrel_CollectProject set D_FirstFileName = 'index.htm', D_IDUrl = "
      "'(/art/{id}.htm|../art/{id}.htm)'");
  HttpAnswer test = site_.Get(test_url);
  ASSERT_EQ(AlertText(test.text), "") << test.text;
  EXPECT_TRUE(Contains(test.text, "第一篇文章标题：</td><td>春季运动会</td>"));
  EXPECT_TRUE(
      Contains(test.text, "<iframe sandbox=\"\" width=500 height=400 src=\"/vantrel_list.asp\""));
  std::string content = site_.FileText("vantrel_content.asp");
  EXPECT_TRUE(Contains(content, "第一段")) << content;
  EXPECT_FALSE(Contains(content, "steal")) << content;
  EXPECT_FALSE(Contains(content, "onerror")) << content;
  std::string list = site_.FileText("vantrel_list.asp");
  EXPECT_TRUE(Contains(list, "href=\"" + remote_.Url("/art/2.htm") + "\"")) << list;
  // The next list showing deletes the previews.
  site_.Get(kSet);
  EXPECT_FALSE(std::filesystem::exists(site_.Disk("vantrel_list.asp")));

  site_.Sql("update Vantrel_CollectProject set D_Title2 = '</H1>'");
  EXPECT_EQ(AlertText(site_.Get(std::string(kSet) + "&action=test&id=" + std::to_string(id)).text),
            "提示：未找到内容页标题后关键字，请重新设置！\\n\\n系统将自动返回前一页面...");
}

TEST_F(CollectConsoleTest, LogListEncodesRemoteValuesAndBulkActionsPost) {
  int64_t project = AddProject(site_, remote_);
  site_.Exec(
      "insert into Vantrel_CollectLog (d_projectid, d_channelid, d_url, d_title, d_flag) "
      "values (?, 1, ?, ?, 0), (?, 1, ?, '', 3)",
      {Variant(project), Variant("http://x.cn/a\"onmouseover=\"alert(1)"),
       Variant("<script>alert(1)</script>"), Variant(project), Variant("javascript:alert(2)")});
  HttpAnswer list = site_.Get(kCollect);
  EXPECT_TRUE(Contains(list.text, "&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_FALSE(Contains(list.text, "<script>alert(1)"));
  EXPECT_TRUE(Contains(list.text, "href=\"http://x.cn/a&quot;onmouseover=&quot;alert(1)\""));
  EXPECT_FALSE(Contains(list.text, "href=\"javascript:"));
  EXPECT_TRUE(Contains(list.text, "<span class=red>未获取:错误</span>"));
  // The "分类" column names the row's project.
  EXPECT_TRUE(Contains(list.text, "</td><td>运动会项目</td><td><span class=red>未获取:未执行"));

  std::string ids = site_.SqlValue("select group_concat(d_id) from Vantrel_CollectLog");
  site_.Get(std::string(kCollect) + "&action=set1&checkid=" + ids);
  site_.Get(std::string(kCollect) + "&action=delall");
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_CollectLog where d_flag = 1"), 0);
  EXPECT_NE(
      AlertText(
          site_.Post(std::string(kCollect) + "&action=set1", {{"checkid", "1,2 or 1=1"}}).text),
      "选定数据执行指定操作成功！");
  EXPECT_EQ(AlertText(site_.Post(std::string(kCollect) + "&action=SET1", {{"checkid", ids}}).text),
            "选定数据执行指定操作成功！");
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_CollectLog where d_flag = 1"), 2);
  EXPECT_EQ(AlertText(site_.Post(std::string(kCollect) + "&action=delall", {}).text),
            "清空历史记录数据成功！");
  EXPECT_EQ(Count("Vantrel_CollectLog"), 0);
}

TEST_F(CollectConsoleTest, ListsSearchByTitleStateProjectAndClassOfTheirChannelOnly) {
  int64_t sports = AddProject(site_, remote_);
  int64_t news = AddProject(site_, remote_, 1, 1, "新闻'项目");
  int64_t foreign = AddProject(site_, remote_, 1, 2, "他台项目");
  const std::string cls = std::to_string(site_.Add(ClassRow{.name = "校园"}));
  site_.Sql("update Vantrel_CollectProject set D_ClassID = " + cls +
            " where D_ID = " + std::to_string(news));
  site_.Exec(
      "insert into Vantrel_CollectLog (d_projectid, d_channelid, d_url, d_title, d_flag) values "
      "(?, 1, 'http://a/1', '运动会开幕', 0), (?, 1, 'http://a/2', '运动会闭幕', 3), "
      "(?, 1, 'http://a/3', '新闻联播', 3), (?, 2, 'http://a/4', '运动会他台', 0)",
      {Variant(sports), Variant(sports), Variant(news), Variant(foreign)});
  auto log = [this](const std::string& query) {
    std::string text = site_.Get(std::string(kCollect) + query).text;
    std::string titles;
    for (const char* title : {"运动会开幕", "运动会闭幕", "新闻联播", "运动会他台"}) {
      if (Contains(text, title)) titles += std::string(titles.empty() ? "" : ",") + title;
    }
    return titles;
  };
  EXPECT_EQ(log(""), "运动会开幕,运动会闭幕,新闻联播");
  EXPECT_EQ(log("&sp_title=" + GbkUrlEncode("运动会")), "运动会开幕,运动会闭幕");
  EXPECT_EQ(log("&sp_flag=3"), "运动会闭幕,新闻联播");
  EXPECT_EQ(log("&sp_flag=3&sp_projectid=" + std::to_string(sports)), "运动会闭幕");
  EXPECT_EQ(log("&sp_projectid=" + std::to_string(foreign)), "");
  // A quote is dropped from the search; anything but a number is no filter.
  EXPECT_EQ(log("&sp_title=" + GbkUrlEncode("新'闻")), "新闻联播");
  EXPECT_EQ(log("&sp_flag=3%20or%201=1"), "运动会开幕,运动会闭幕,新闻联播");

  auto projects = [this](const std::string& query) {
    std::string text = site_.Get(std::string(kSet) + query).text;
    std::string names;
    for (const char* name : {"运动会项目", "新闻'项目", "他台项目"}) {
      if (Contains(text, name)) names += std::string(names.empty() ? "" : ",") + name;
    }
    return names;
  };
  EXPECT_EQ(projects(""), "运动会项目,新闻'项目");
  EXPECT_EQ(projects("&sp_name=" + GbkUrlEncode("项目")), "运动会项目,新闻'项目");
  EXPECT_EQ(projects("&sp_name=" + GbkUrlEncode("新闻'")), "新闻'项目");
  EXPECT_EQ(projects("&sp_classid=" + cls), "新闻'项目");
  EXPECT_EQ(projects("&sp_classid=" + cls + "%20or%201=1"), "运动会项目,新闻'项目");
}

TEST_F(CollectConsoleTest, BatchPageDrivesStepsThatTakeOnlyTheirListedValues) {
  int64_t project = AddProject(site_, remote_);
  std::string pid = std::to_string(project);
  HttpAnswer picker = site_.Get(std::string(kCollect) + "&action=checknew");
  EXPECT_TRUE(Contains(picker.text, "name=d_projectid value='" + pid + "' checked> 运动会项目"));
  EXPECT_EQ(AlertText(site_.Post(std::string(kCollect) + "&action=dochecknew", {}).text),
            "请选择一个要获取的项目！\\n\\n系统将自动返回前一页面...");
  HttpAnswer batch = site_.Post(std::string(kCollect) + "&action=dochecknew",
                                {{"d_projectid", pid}, {"d_option", "all"}});
  EXPECT_TRUE(Contains(batch.text, "a_List[a_List.length] = '" + pid +
                                       "';\r\n"
                                       "a_ListPage[a_ListPage.length] = 1;"));
  EXPECT_TRUE(Contains(batch.text, "timer=setInterval('doGet()',3000);"));
  std::string token = Token(batch.text);
  ASSERT_EQ(token.size(), 32u) << batch.text;
  std::string list_step =
      std::string(kCollect) + "&action=gettinglist&projectid=" + pid + "&projectpage=1&doflag=all";

  // Without the page's token, or with values outside their lists, no step runs.
  for (const std::string& url : {list_step, list_step + "&token=0123456789abcdef0123456789abcdef",
                                 std::string(kCollect) + "&action=gettinglist&projectid=" + pid +
                                     "&projectpage=0&doflag=all&token=" + token,
                                 std::string(kCollect) + "&action=gettinglist&projectid=" + pid +
                                     "&projectpage=1&doflag=x&token=" + token}) {
    EXPECT_EQ(site_.Get(url).text,
              "<script language=javascript>parent.doReturn('list','参数错误',false);</script>")
        << url;
  }
  EXPECT_EQ(Count("Vantrel_CollectLog"), 0);

  HttpAnswer step = site_.Get(list_step + "&token=" + token);
  std::vector<std::string> ids;
  for (int i = 0; i < 3; ++i)
    ids.push_back(site_.SqlValue("select d_id from Vantrel_CollectLog where d_url = '" +
                                 remote_.Url("/art/" + std::to_string(i + 1) + ".htm") + "'"));
  EXPECT_EQ(step.text,
            "<script language=javascript>parent.addDataID('" + ids[0] +
                "', '');</script><script language=javascript>parent.addDataID('" + ids[1] +
                "', '');</script><script language=javascript>parent.addDataID('" + ids[2] +
                "', '');</script><script "
                "language=javascript>parent.doReturn('list','成功(有3个新的需要获取的内容资料)',"
                "true);</script>");

  std::string content_step =
      std::string(kCollect) + "&action=gettingcontent&dataid=" + ids[1] + "&token=" + token;
  for (const char* bad : {"&dataflag=x", "&doflag=2", "&dataflag=select'"}) {
    EXPECT_EQ(site_.Get(content_step + std::string(bad)).text,
              "<script language=javascript>parent.doReturn('data','参数错误');</script>");
  }
  EXPECT_EQ(site_.Get(content_step + "&dataflag=&doflag=").text,
            "<script language=javascript>parent.doReturn('data','成功：新增');</script>");
  EXPECT_EQ(site_.Number("select count(*) from Vantrel_Article where d_title = '第二篇'"), 1);

  HttpAnswer pending = site_.Get(std::string(kCollect) + "&action=getcheckedlist0");
  EXPECT_TRUE(Contains(pending.text, "a_ID[a_ID.length] = '" + ids[2] +
                                         "';\r\n"
                                         "a_IDFlag[a_IDFlag.length] = '';\r\n"
                                         "a_ID[a_ID.length] = '" +
                                         ids[0] + "';"));
}

TEST_F(CollectConsoleTest, RefusedFetchesAreNamedInTheStepsAndLoggedOncePerRun) {
  // The other site is on this machine and no network is opened.
  site_.settings().collect_allow_networks = "";
  const std::string pid = std::to_string(AddProject(site_, remote_));
  site_.Sql("insert into Vantrel_CollectLog (d_projectid, d_channelid, d_url) values (" + pid +
            ", 1, '" + remote_.Url("/art/1.htm") + "'), (" + pid + ", 1, '" +
            remote_.Url("/art/2.htm") + "')");
  const std::vector<std::string> logs = {
      site_.SqlValue("select min(d_id) from Vantrel_CollectLog"),
      site_.SqlValue("select max(d_id) from Vantrel_CollectLog")};
  const std::string refused_content =
      "<script language=javascript>parent.doReturn('data','远程获取失败：" +
      RefusalText("127.0.0.1") + "');</script>";
  auto content_step = [this](const std::string& token, const std::string& log) {
    return site_
        .Get(std::string(kCollect) + "&action=gettingcontent&dataid=" + log +
             "&dataflag=&doflag=&token=" + token)
        .text;
  };

  // One run: its list step and each content step answer with the address, and the error output
  // has one line of the project.
  ::testing::internal::CaptureStderr();
  std::string token = Token(site_
                                .Post(std::string(kCollect) + "&action=dochecknew",
                                      {{"d_projectid", pid}, {"d_option", "all"}})
                                .text);
  ASSERT_EQ(token.size(), 32u);
  EXPECT_EQ(site_
                .Get(std::string(kCollect) + "&action=gettinglist&projectid=" + pid +
                     "&projectpage=1&doflag=all&token=" + token)
                .text,
            "<script language=javascript>parent.doReturn('list','失败：" +
                RefusalText("127.0.0.1") + "',false);</script>");
  for (const std::string& log : logs) EXPECT_EQ(content_step(token, log), refused_content);
  std::vector<std::string> lines = RefusalLogLines(::testing::internal::GetCapturedStderr());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("project " + pid + " \"运动会项目\": the address 127.0.0.1 "),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[0].find("CollectAllowNetworks"), std::string::npos) << lines[0];

  // The next batch page is another run, which tells of the project again, once.
  ::testing::internal::CaptureStderr();
  token = Token(site_
                    .Post(std::string(kCollect) + "&action=getchecked",
                          {{"checkid", logs[0] + "," + logs[1]}})
                    .text);
  for (const std::string& log : logs) EXPECT_EQ(content_step(token, log), refused_content);
  EXPECT_EQ(RefusalLogLines(::testing::internal::GetCapturedStderr()).size(), 1u);

  // Opened, the same step collects the article.
  site_.settings().collect_allow_networks = "127.0.0.1";
  EXPECT_EQ(content_step(token, logs[1]),
            "<script language=javascript>parent.doReturn('data','成功：新增');</script>");
}

TEST_F(CollectConsoleTest, CollectedArticlesMarkTheirClassesForRegeneration) {
  const std::string school = std::to_string(site_.Add(ClassRow{.name = "校园"}));
  const std::string sport = std::to_string(site_.Add(ClassRow{.name = "体育"}));
  site_.Sql("update Vantrel_ArticleClass set d_generatedflag = -1");
  int64_t project = AddProject(site_, remote_);
  site_.Sql("update Vantrel_CollectProject set D_ClassID = " + school);
  site_.Exec("insert into Vantrel_CollectLog (d_projectid, d_channelid, d_url) values (?, 1, ?)",
             {Variant(project), Variant(remote_.Url("/art/2.htm"))});
  const std::string log = site_.SqlValue("select max(d_id) from Vantrel_CollectLog");
  auto generated = [this](const std::string& class_id) {
    return site_.Number("select d_generatedflag from Vantrel_ArticleClass where d_id = " +
                        class_id);
  };
  const std::string token =
      Token(site_.Post(std::string(kCollect) + "&action=getchecked", {{"checkid", log}}).text);
  const std::string step = std::string(kCollect) + "&action=gettingcontent&dataid=" + log +
                           "&doflag=&token=" + token + "&dataflag=";
  EXPECT_EQ(site_.Get(step).text,
            "<script language=javascript>parent.doReturn('data','成功：新增');</script>");
  EXPECT_EQ(generated(school), 0);
  EXPECT_EQ(generated(sport), -1);

  // Fetched again into the project's new class: the page and both classes' lists are stale.
  site_.Sql("update Vantrel_ArticleClass set d_generatedflag = -1");
  site_.Sql("update Vantrel_Article set d_generatedflag = -1");
  site_.Sql("update Vantrel_CollectProject set D_ClassID = " + sport);
  EXPECT_EQ(site_.Get(step + "select").text,
            "<script language=javascript>parent.doReturn('data','成功：重获取');</script>");
  EXPECT_EQ(generated(school), 0);
  EXPECT_EQ(generated(sport), 0);
  EXPECT_EQ(site_.SqlValue("select d_classid || '/' || d_generatedflag from Vantrel_Article"),
            sport + "/0");
}

TEST(CollectSettingsTest, OpenNetworksAreReadFromTheSettingsFile) {
  TempFolder folder;
  const std::filesystem::path file = folder.path() / kSettingsFileName;
  SiteSettings written;
  written.collect_allow_networks = "127.0.0.1, 10.0.0.0/8";
  std::string error;
  ASSERT_TRUE(WriteSettingsFile(file, written, &error)) << error;
  SiteSettings read;
  ASSERT_TRUE(ReadSettingsFile(file, &read, &error)) << error;
  EXPECT_EQ(read.collect_allow_networks, "127.0.0.1, 10.0.0.0/8");

  std::ofstream(file, std::ios::app) << "CollectAllowNetworks=10.0.0.0/8, intranet\n";
  EXPECT_FALSE(ReadSettingsFile(file, &read, &error));
  EXPECT_TRUE(error.ends_with("CollectAllowNetworks: 'intranet' is not an address or network"))
      << error;
}

}  // namespace
}  // namespace folirex::testing
