// The collection pages on both database forms: a project run step by step through the served
// site (list step, content steps, the log list and the project list) stores the same rows, the
// same article and the same counters on a SQLite file and on PostgreSQL.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "both_forms_site.h"
#include "core/settings_file.h"
#include "platform/db/connection.h"
#include "platform/text/codepage.h"
#include "support/http_test_server.h"

namespace folirex::testing {
namespace {

class CollectionPagesTest : public BothFormsSiteTest {
 protected:
  void SetUp() override {
    BothFormsSiteTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;

    httplib::Server& s = remote_.server();
    s.Get("/list/index.htm", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(Utf8ToGbk("<!--list--><a href=\"a1.htm\">1</a><a href=\"a2.htm\">2</a>"
                                "<!--/list-->"),
                      "text/html");
    });
    for (const char* name : {"a1", "a2"}) {
      std::string title = std::string("标题") + name;
      s.Get("/list/" + std::string(name) + ".htm",
            [title](const httplib::Request&, httplib::Response& res) {
              res.set_content(Utf8ToGbk("<h1>" + title + "</h1><div>内容'" + title + "</div>"),
                              "text/html");
            });
    }
    remote_.Start();
  }

  // The other site listens on loopback, which collection reaches only when it is opened.
  void Seed() override {
    std::ofstream(dir_ / kSettingsFileName, std::ios::app) << "CollectAllowNetworks=127.0.0.1\n";
  }

  HttpTestServer remote_;
};

TEST_P(CollectionPagesTest, AProjectIsCollectedStepByStep) {
  Exec(
      "insert into Vantrel_CollectProject (D_ChannelID, D_Name, D_PageUrl, D_FirstDiff, "
      "D_FirstFileName, D_PageHeader, D_PageFooter, D_IDUrl, D_Header, D_Footer, D_Title1, "
      "D_Title2, D_Content1, D_Content2, D_DoFlag, D_CheckFlag) values (1, ?, ?, 1, "
      "'index.htm', '<!--list-->', '<!--/list-->', 'a{id}.htm', '<h1>', '</div>', '', '</h1>', "
      "'<div>', '', 0, 1)",
      {Variant("项目"), Variant(remote_.Url("/list/{page}.htm"))});
  std::string project = ValueText("select max(D_ID) from Vantrel_CollectProject");
  const std::string base = "/admin.asp?m=admin_articlecollect&channelid=1";
  HttpAnswer batch =
      site_->Post(base + "&action=dochecknew", {{"d_projectid", project}, {"d_option", "all"}});
  size_t at = batch.text.find("&token=");
  ASSERT_NE(at, std::string::npos) << batch.text;
  std::string token = batch.text.substr(at + 7, 32);

  HttpAnswer list = site_->Get(base + "&action=gettinglist&projectid=" + project +
                               "&projectpage=1&doflag=all&token=" + token);
  EXPECT_NE(list.text.find("成功(有2个新的需要获取的内容资料)',true"), std::string::npos)
      << list.text;
  EXPECT_EQ(ValueText("select count(*) from Vantrel_CollectLog where d_projectid = " + project),
            "2");
  for (const char* url : {"a1.htm", "a2.htm"}) {
    std::string id = ValueText("select d_id from Vantrel_CollectLog where d_url = '" +
                               remote_.Url(std::string("/list/") + url) + "'");
    EXPECT_NE(site_->Get(base + "&action=gettingcontent&dataid=" + id + "&token=" + token)
                  .text.find("成功：新增"),
              std::string::npos);
  }
  EXPECT_EQ(ValueText("select d_content from Vantrel_Article where d_title = '标题a1'"),
            "内容'标题a1");
  EXPECT_EQ(ValueText("select d_itemcount from Vantrel_Channel where d_id = 1"), "2");
  EXPECT_EQ(ValueText("select d_itemcountchecked from Vantrel_Channel where d_id = 1"), "2");
  EXPECT_EQ(ValueText("select count(*) from Vantrel_CollectLog where d_flag = 1"), "2");

  HttpAnswer log = site_->Get(base + "&sp_title=a2&sp_flag=1");
  EXPECT_NE(log.text.find("标题a2"), std::string::npos);
  EXPECT_EQ(log.text.find("标题a1"), std::string::npos);
  HttpAnswer projects =
      site_->Get("/admin.asp?m=admin_articlecollectset&channelid=1&sp_name=" + GbkUrlEncode("项"));
  EXPECT_NE(projects.text.find(remote_.Url("/list/index.htm")), std::string::npos) << projects.text;
}

FOLIREX_BOTH_DATABASE_FORMS(Engines, CollectionPagesTest);

}  // namespace
}  // namespace folirex::testing
