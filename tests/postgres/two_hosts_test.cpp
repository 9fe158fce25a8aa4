// Two web hosts, two `folirex serve` processes on two ports with copies of one site folder,
// sharing one PostgreSQL database: what one host writes the other shows, and counters written
// by both at once lose nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/md5.h"
#include "pg_test_support.h"
#include "platform/db/connection.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

class TwoHostsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FOLIREX_REQUIRE_POSTGRES(pg_);
    db_ = std::make_unique<PgDatabase>(pg_);
    ProgramRun init = RunFolirex({"init", (folder_.path() / "a").string(), "--DbType", "1",
                                  "--DBServer", pg_.server, "--DBPath", db_->name(), "--DBUser",
                                  pg_.user, "--DBPwd", pg_.password});
    ASSERT_EQ(init.code, 0) << init.output;
    password_ = PrintedPassword(init.output);
    // The second host gets the same site files, as a deployment copies them.
    fsys::copy(folder_.path() / "a", folder_.path() / "b", fsys::copy_options::recursive);
    db_->Sql(
        "insert into Vantrel_ArticleClass (d_channelid, d_pid, d_name, d_dir, d_child, d_level, "
        "d_order, d_rootid, d_path, d_commentflag, d_commentcheckflag) values (1, 0, '国内新闻', "
        "'china', 0, 0, 1, 1, '1,', true, false)");
    a_ = std::make_unique<ServedSite>(folder_.path() / "a");
    b_ = std::make_unique<ServedSite>(folder_.path() / "b");
    ASSERT_NE(a_->port(), b_->port());
  }

  // Adds an approved article as the console's add page stores one; answers its id.
  int64_t AddArticle(const std::string& title) {
    Connection conn;
    conn.Open(db_->ConnectionString());
    conn.Execute(
        "insert into Vantrel_Article (d_channelid, d_classid, d_title, d_author, d_content, "
        "d_checked, d_deleted, d_addtime) values (1, 1, ?, '记者', ?, true, false, now)",
        {Variant(title), Variant("<p>" + title + "的正文</p>")});
    conn.Execute(
        "update Vantrel_Channel set d_itemcount = d_itemcount + 1, d_itemcountchecked = "
        "d_itemcountchecked + 1 where d_id = 1");
    return conn.ExecuteScalar("select max(d_id) from Vantrel_Article").ToInt64();
  }

  int64_t Clicks(int64_t id) {
    return db_
        ->SqlValue("select d_clicktimes from Vantrel_Article where d_id = ?",
                   {Variant(static_cast<long long>(id))})
        .ToInt64();
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  std::string password_;
  std::unique_ptr<ServedSite> a_;
  std::unique_ptr<ServedSite> b_;
};

TEST_F(TwoHostsTest, AnArticleAddedWhileBothServeIsShownByBoth) {
  // Both hosts have served the channel page before the article exists.
  EXPECT_EQ(a_->Get("/asp.asp").text.find("两台主机"), std::string::npos);
  EXPECT_EQ(b_->Get("/asp.asp").text.find("两台主机"), std::string::npos);
  const int64_t id = AddArticle("两台主机共用的文章");
  const std::string content = "/asp.asp?m=content&articleid=" + std::to_string(id);
  for (ServedSite* host : {a_.get(), b_.get()}) {
    HttpAnswer page = host->Get(content);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.text.find("两台主机共用的文章的正文"), std::string::npos) << page.text;
    EXPECT_NE(host->Get("/asp.asp").text.find("两台主机共用的文章"), std::string::npos);
  }
}

TEST_F(TwoHostsTest, AClickCountedOnEachHostIsCountedTwice) {
  const int64_t id = AddArticle("点击计数");
  const std::string click = "/asp.asp?m=click&articleid=" + std::to_string(id);
  HttpAnswer first = a_->Get(click);
  EXPECT_NE(first.text.find("\"1\""), std::string::npos) << first.text;
  HttpAnswer second = b_->Get(click);
  EXPECT_NE(second.text.find("\"2\""), std::string::npos) << second.text;
  EXPECT_EQ(Clicks(id), 2);
  EXPECT_EQ(db_->SqlValue("select d_clickcount from Vantrel_Channel where d_id = 1").ToInt64(), 2);

  // Clicks arriving on both hosts at once are all counted.
  constexpr int kClicksPerHost = 15;
  std::vector<std::thread> clickers;
  for (ServedSite* host : {a_.get(), b_.get()}) {
    clickers.emplace_back([host, &click] {
      for (int i = 0; i < kClicksPerHost; ++i) host->Get(click);
    });
  }
  for (std::thread& t : clickers) t.join();
  EXPECT_EQ(Clicks(id), 2 + 2 * kClicksPerHost);
  EXPECT_EQ(db_->SqlValue("select d_dayclicktimes from Vantrel_Article where d_id = ?",
                          {Variant(static_cast<long long>(id))})
                .ToInt64(),
            2 + 2 * kClicksPerHost);
  EXPECT_EQ(db_->SqlValue("select d_clickcount from Vantrel_Channel where d_id = 1").ToInt64(),
            2 + 2 * kClicksPerHost);

  // A click after a long pause restarts the day, week and month counters; the one that reaches
  // the channel's threshold makes the article hot.
  db_->Sql("update Vantrel_Channel set d_clicksofhot = 40 where d_id = 1");
  db_->Sql(
      "update Vantrel_Article set d_dayclicktimes = 9, d_weekclicktimes = 9, "
      "d_monthclicktimes = 9, d_LastClickTime = '2001-01-01 00:00:00' where d_id = " +
      std::to_string(id));
  for (ServedSite* host : {a_.get(), b_.get()}) host->Get(click);
  EXPECT_EQ(db_->SqlValue("select d_clicktimes || ',' || d_dayclicktimes || ',' || "
                          "d_weekclicktimes || ',' || d_monthclicktimes || ',' || d_hotflag "
                          "from Vantrel_Article where d_id = " +
                          std::to_string(id))
                .ToString(),
            "34,2,2,2,0");
  for (int i = 0; i < 6; ++i) a_->Get(click);
  EXPECT_EQ(db_->SqlValue("select d_hotflag from Vantrel_Article where d_id = ?",
                          {Variant(static_cast<long long>(id))})
                .ToInt64(),
            -1);

  // A click on an id that names no article counts nothing, not even for the channel.
  EXPECT_EQ(a_->Get("/asp.asp?m=click&articleid=" + std::to_string(id + 1000)).text, "0");
  EXPECT_EQ(db_->SqlValue("select d_clickcount from Vantrel_Channel where d_id = 1").ToInt64(), 40);
}

TEST_F(TwoHostsTest, WhatOneHostWritesTheOtherShows) {
  const int64_t id = AddArticle("评论文章");
  const std::string comments =
      "/asp.asp?m=commentlist&parameter=5&pagetype=content&channelid=1&articleid=" +
      std::to_string(id);
  // A comment posted through one host is listed by the other, which listed none before.
  EXPECT_EQ(b_->Get(comments).text.find("从甲主机发表"), std::string::npos);
  HttpAnswer posted = a_->Post(
      "/asp.asp?m=comment&flag=1&channelid=1&articleid=" + std::to_string(id),
      {{"d_name", "读者"}, {"d_email", ""}, {"d_score", "5"}, {"d_content", "从甲主机发表"}});
  EXPECT_NE(posted.text.find("评论成功"), std::string::npos) << posted.text;
  HttpAnswer list = b_->Get(comments);
  EXPECT_NE(list.text.find("从甲主机发表"), std::string::npos) << list.text;

  // Sign-ins on both hosts are both counted and both logged (each host keeps its own sessions).
  ASSERT_TRUE(a_->SignIn("admin", password_));
  ASSERT_TRUE(b_->SignIn("admin", password_));
  EXPECT_EQ(db_->SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'admin'").ToInt64(),
            2);
  HttpAnswer log = a_->Get("/admin.asp?m=admin_loginlog");
  EXPECT_NE(log.text.find("共<b>2</b>个"), std::string::npos) << log.text;
}

// An account deleted through one host's console is signed out on the other at its next request,
// on a pop-up that needs no function code as on any other page.
TEST_F(TwoHostsTest, AnAccountDeletedThroughOneHostIsSignedOutOnTheOther) {
  db_->Sql("insert into Vantrel_Admin (d_name, d_password) values ('editor', ?)",
           {Variant(MD5("password1"))});
  db_->Sql(
      "insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values ('editor', "
      "'XT_Manage_Main')");
  ASSERT_TRUE(a_->SignIn("admin", password_));
  ASSERT_TRUE(b_->SignIn("editor", "password1"));
  const std::string popup = "/admin.asp?m=admin_selectmore&channelid=1&flag=1&field=f.x";
  ASSERT_EQ(b_->Get(popup).status, 200);

  const std::string id =
      db_->SqlValue("select d_id from Vantrel_Admin where d_name = 'editor'").ToString();
  EXPECT_EQ(a_->Post("/admin.asp?m=admin_manager&action=del", {{"selectdel", id}}).status, 302);
  ASSERT_EQ(db_->SqlValue("select count(*) from Vantrel_Admin where d_name = 'editor'").ToInt64(),
            0);
  HttpAnswer after = b_->Get(popup);
  EXPECT_EQ(after.status, 302);
  EXPECT_EQ(after.Header("location"), "admin.asp?m=admin_login");
}

// The rights follow the account, not its name, and a rename or a new password made through one
// host ends the account's session on the other at its next request: an account renamed on host
// B, and a new account given its old name and rights there, leave its session on host A nothing.
TEST_F(TwoHostsTest, ARenameOrANewPasswordOnOneHostEndsTheSessionOnTheOther) {
  db_->Sql("insert into Vantrel_Admin (d_name, d_password) values ('editor', ?)",
           {Variant(MD5("password1"))});
  for (const char* code : {"XT_Manage_Main", "XT_Manage_ChangePwd"}) {
    db_->Sql(
        "insert into Vantrel_ManagerFunction (d_adminname, d_functioncode) values ('editor', ?)",
        {Variant(code)});
  }
  const std::string id =
      db_->SqlValue("select d_id from Vantrel_Admin where d_name = 'editor'").ToString();
  const std::string home = "/admin.asp?m=admin_main";
  const std::string manager = "/admin.asp?m=admin_manager";
  const std::string login = "admin.asp?m=admin_login";
  const std::string edit = "/admin.asp?m=admin_manager&action=edit&save=1&id=" + id;
  ASSERT_TRUE(b_->SignIn("admin", password_));
  ASSERT_TRUE(a_->SignIn("editor", "password1"));
  ASSERT_EQ(a_->Get(home).status, 200);
  ASSERT_EQ(a_->Get(manager).Header("location"), "?m=admin_error&errnum=1");

  HttpAnswer renamed = b_->Post(edit, {{"username", "writer"}, {"password", ""}});
  EXPECT_NE(renamed.text.find("信息更新成功！"), std::string::npos) << renamed.text;
  HttpAnswer added = b_->Post("/admin.asp?m=admin_manager&action=save",
                              {{"username", "editor"}, {"password", "password2"}});
  EXPECT_NE(added.text.find("新增用户成功！"), std::string::npos) << added.text;
  HttpAnswer granted =
      b_->Post("/admin.asp?m=admin_managerprivilege&action=set&save=1&id=editor",
               {{"functioncode", "XT_Manage_Main"}, {"functioncode", "XT_Manage_Manager"}});
  EXPECT_NE(granted.text.find("授权成功！"), std::string::npos) << granted.text;
  for (const std::string& page : {manager, home}) {
    HttpAnswer after = a_->Get(page);
    EXPECT_EQ(after.status, 302) << page;
    EXPECT_EQ(after.Header("location"), login) << page;
  }
  // The renamed account keeps its own grants, and only those.
  ASSERT_TRUE(a_->SignIn("writer", "password1"));
  EXPECT_EQ(a_->Get(home).status, 200);
  EXPECT_EQ(a_->Get(manager).Header("location"), "?m=admin_error&errnum=1");

  HttpAnswer changed = b_->Post(edit, {{"username", "writer"}, {"password", "newpass9"}});
  EXPECT_NE(changed.text.find("信息更新成功！"), std::string::npos) << changed.text;
  EXPECT_EQ(a_->Get(home).Header("location"), login);
  ASSERT_TRUE(a_->SignIn("writer", "newpass9"));
  EXPECT_EQ(a_->Get(home).status, 200);

  // The account changes its own password on B; its session on A ends.
  ASSERT_TRUE(b_->SignIn("writer", "newpass9"));
  HttpAnswer saved =
      b_->Post("/admin.asp?m=admin_changepassword&action=save",
               {{"password", "newpass9"}, {"password1", "third99"}, {"password2", "third99"}});
  EXPECT_NE(saved.text.find("密码修改成功！"), std::string::npos) << saved.text;
  EXPECT_EQ(b_->Get(home).status, 200);
  EXPECT_EQ(a_->Get(home).Header("location"), login);
}

// The site's settings, classes and announcements are kept in memory by each host between
// requests: a change written straight into the database (another host, a tool) is shown by both
// on their next request.
TEST_F(TwoHostsTest, SettingsChangedInTheDatabaseAreShownOnTheNextRequest) {
  const std::string list = "/asp.asp?m=classlist&classid=1&channelid=1";
  for (ServedSite* host : {a_.get(), b_.get()}) {
    for (int i = 0; i < 2; ++i) EXPECT_NE(host->Get(list).text.find("国内新闻"), std::string::npos);
  }
  db_->Sql("update Vantrel_ArticleClass set d_name = '国际新闻' where d_id = 1");
  db_->Sql("update Vantrel_Config set d_name = '改过的站名'");
  for (ServedSite* host : {a_.get(), b_.get()}) {
    const std::string page = host->Get(list).text;
    EXPECT_NE(page.find("国际新闻"), std::string::npos) << page;
    EXPECT_EQ(page.find("国内新闻"), std::string::npos);
    EXPECT_NE(host->Get("/asp.asp").text.find("改过的站名"), std::string::npos);
  }
  // A change rolled back leaves what both show as it was.
  Connection conn;
  conn.Open(db_->ConnectionString());
  conn.BeginTrans();
  conn.Execute("update Vantrel_ArticleClass set d_name = '未提交' where d_id = 1");
  EXPECT_EQ(a_->Get(list).text.find("未提交"), std::string::npos);
  conn.RollbackTrans();
  for (ServedSite* host : {a_.get(), b_.get()}) {
    const std::string page = host->Get(list).text;
    EXPECT_NE(page.find("国际新闻"), std::string::npos) << page;
    EXPECT_EQ(page.find("未提交"), std::string::npos);
  }
}

}  // namespace
}  // namespace folirex::testing
