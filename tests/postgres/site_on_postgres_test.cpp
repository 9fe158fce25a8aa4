// `folirex init` and `folirex serve` with a server database, as an administrator runs them:
// init loads an empty PostgreSQL database in one transaction and records the five settings;
// serve then works as with the file form. A bad server, login or database fails init with one
// line and exit code 1, leaving nothing half-made, sends the console to its database error page
// and answers the public entry with 503.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/md5.h"
#include "core/settings_file.h"
#include "pg_test_support.h"

namespace folirex::testing {
namespace {

namespace fsys = std::filesystem;

std::vector<std::string> InitArgs(const fsys::path& dir, const PgServer& pg,
                                  const std::string& database) {
  return {"init",     dir.string(), "--DbType", "1",     "--DBServer", pg.server,
          "--DBPath", database,     "--DBUser", pg.user, "--DBPwd",    pg.password};
}

int64_t TableCount(PgDatabase& db) {
  return db
      .SqlValue(
          "select count(*) from information_schema.tables where table_schema = current_schema()")
      .ToInt64();
}

// One line of output, ending the run.
bool IsOneLine(const std::string& output) {
  return !output.empty() && output.find('\n') == output.size() - 1;
}

bool FolderHoldsOnly(const fsys::path& folder, size_t entries) {
  size_t n = 0;
  for (const auto& e : fsys::directory_iterator(folder)) n += e.exists() ? 1 : 0;
  return n == entries;
}

TEST(SiteOnPostgresTest, InitLoadsAnEmptyDatabaseAndServeSignsIn) {
  PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase db(pg);
  TempFolder folder;
  const fsys::path dir = folder.path() / "news";
  ProgramRun init = RunFolirex(InitArgs(dir, pg, db.name()));
  ASSERT_EQ(init.code, 0) << init.output;
  const std::string password = PrintedPassword(init.output);
  ASSERT_FALSE(password.empty()) << init.output;

  // The five settings are in the settings file, which only its owner reads; no database file.
  SiteSettings settings;
  std::string error;
  ASSERT_TRUE(ReadSettingsFile(dir / kSettingsFileName, &settings, &error)) << error;
  EXPECT_EQ(settings.DbType, "1");
  EXPECT_EQ(settings.DBServer, pg.server);
  EXPECT_EQ(settings.DBPath, db.name());
  EXPECT_EQ(settings.DBUser, pg.user);
  EXPECT_EQ(settings.DBPwd, pg.password);
  struct stat st {};
  ASSERT_EQ(stat((dir / kSettingsFileName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);
  EXPECT_FALSE(fsys::exists(dir / "data/site.db"));
  EXPECT_TRUE(fsys::exists(dir / "admin"));  // the site's files

  EXPECT_EQ(db.SqlValue("select d_password from Vantrel_Admin where d_name = 'admin'").ToString(),
            MD5(password));
  EXPECT_GT(TableCount(db), 20);

  ServedSite site(dir);
  EXPECT_FALSE(site.SignIn("admin", "not the password"));
  ASSERT_TRUE(site.SignIn("ADMIN", password));  // names compare without regard to case
  HttpAnswer home = site.Get("/admin.asp?m=admin_main");
  EXPECT_EQ(home.status, 200);
  EXPECT_NE(home.text.find("系统主页面"), std::string::npos) << home.text;
  EXPECT_EQ(db.SqlValue("select count(*) from Vantrel_Log").ToInt64(), 1);
  EXPECT_EQ(db.SqlValue("select d_loginnum from Vantrel_Admin where d_name = 'admin'").ToInt64(),
            1);
}

TEST(SiteOnPostgresTest, InitTakesThePortAsSqlServerWritesIt) {
  PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase db(pg);
  TempFolder folder;
  PgServer comma = pg;
  comma.server[comma.server.rfind(':')] = ',';
  ProgramRun init = RunFolirex(InitArgs(folder.path() / "site", comma, db.name()));
  ASSERT_EQ(init.code, 0) << init.output;
  ServedSite site(folder.path() / "site");
  EXPECT_TRUE(site.SignIn("admin", PrintedPassword(init.output)));
}

TEST(SiteOnPostgresTest, InitRefusesADatabaseInUseAndTouchesNothing) {
  PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase db(pg);
  db.LoadSite();
  db.Sql("update Vantrel_Config set d_name = '在用的网站'");
  const int64_t tables = TableCount(db);
  TempFolder folder;
  ProgramRun init = RunFolirex(InitArgs(folder.path() / "site", pg, db.name()));
  EXPECT_EQ(init.code, 1) << init.output;
  EXPECT_TRUE(IsOneLine(init.output)) << init.output;
  EXPECT_NE(init.output.find("not empty"), std::string::npos) << init.output;
  EXPECT_TRUE(FolderHoldsOnly(folder.path(), 0));
  EXPECT_EQ(TableCount(db), tables);
  EXPECT_EQ(db.SqlValue("select d_name from Vantrel_Config").ToString(), "在用的网站");
  EXPECT_EQ(db.SqlValue("select d_password from Vantrel_Admin").ToString(), "7a57a5a743894a0e");
}

TEST(SiteOnPostgresTest, InitFailsOnABadServerOrLoginWithOneLineAndNoFolder) {
  PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase db(pg);
  TempFolder folder;
  const std::string secret = "Wr0ngSecret";
  struct Case {
    const char* what;
    PgServer server;
    std::string database;
  } cases[] = {
      {"nothing listening", PgServer{"127.0.0.1:1", pg.user, secret}, db.name()},
      {"wrong password", PgServer{pg.server, pg.user, secret}, db.name()},
      {"unknown user", PgServer{pg.server, "nobody_here", secret}, db.name()},
      {"no such database", PgServer{pg.server, pg.user, pg.password}, "no_such_database"},
  };
  for (const Case& c : cases) {
    ProgramRun init = RunFolirex(InitArgs(folder.path() / "site", c.server, c.database));
    EXPECT_EQ(init.code, 1) << c.what << ": " << init.output;
    EXPECT_TRUE(IsOneLine(init.output)) << c.what << ": " << init.output;
    EXPECT_EQ(init.output.find(secret), std::string::npos) << c.what << ": " << init.output;
    EXPECT_TRUE(FolderHoldsOnly(folder.path(), 0)) << c.what;
  }
  EXPECT_EQ(TableCount(db), 0);
}

TEST(SiteOnPostgresTest, AFailedLoadLeavesTheDatabaseEmptyAndNoFolder) {
  PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase db(pg);
  TempFolder folder;
  // A copy of the shipped files with one more that fails half-way through.
  const fsys::path share = folder.path() / "share";
  fsys::create_directories(share);
  fsys::copy(ShareFolder() / "db", share / "db", fsys::copy_options::recursive);
  fsys::create_directory_symlink(ShareFolder() / "siteroot", share / "siteroot");
  std::ofstream(share / "db/shipped_zz_broken.sql")
      << "insert into Vantrel_Keyword (d_name) values ('one');\n"
         "insert into Vantrel_NoSuchTable (d_name) values ('two');\n";
  const fsys::path sites = folder.path() / "sites";
  fsys::create_directories(sites / "news");  // an empty folder may be the target
  setenv("FOLIREX_SHARE", share.c_str(), 1);
  ProgramRun init = RunFolirex(InitArgs(sites / "news", pg, db.name()));
  unsetenv("FOLIREX_SHARE");
  EXPECT_EQ(init.code, 1) << init.output;
  EXPECT_TRUE(IsOneLine(init.output)) << init.output;
  EXPECT_NE(init.output.find("shipped_zz_broken.sql"), std::string::npos) << init.output;
  EXPECT_EQ(TableCount(db), 0);
  EXPECT_TRUE(FolderHoldsOnly(sites, 1));  // the empty target, and nothing beside it
  EXPECT_TRUE(FolderHoldsOnly(sites / "news", 0));
  // The same database then takes a good site.
  ProgramRun again = RunFolirex(InitArgs(sites / "news", pg, db.name()));
  EXPECT_EQ(again.code, 0) << again.output;
}

TEST(SiteOnPostgresTest, InitOptionsAreCheckedBeforeAnythingIsMade) {
  TempFolder folder;
  const std::string dir = (folder.path() / "site").string();
  const std::vector<std::vector<std::string>> bad = {
      {"init", dir, "--DbType", "1", "--DBPath", "site"},              // no server
      {"init", dir, "--DbType", "1", "--DBServer", "127.0.0.1:5432"},  // no database name
      {"init", dir, "--DBServer", "127.0.0.1"},                        // a file site has no server
      {"init", dir, "--DbType", "0", "--DBPwd", "x"},
      {"init", dir, "--DbType", ""},
      {"init", dir, "--DbType"},
      {"init", dir, "--DbType", "1", "--DBServer", "h", "--DBPath", "d", "--Listen", "x"},
      {"init", dir, "--DbType", "1", "--DBServer", "h", "--DBPath", "d", "--DBPwd", "a\nb"},
      {"init", "--DbType", "1", "--DBServer", "h", "--DBPath", "d"},  // no folder
      {"init", dir, "other", "--DbType", "1"},
  };
  for (const auto& args : bad) {
    ProgramRun run = RunFolirex(args);
    std::string shown;
    for (const std::string& a : args) shown += a + " ";
    EXPECT_EQ(run.code, 2) << shown << ": " << run.output;
    EXPECT_TRUE(IsOneLine(run.output)) << shown << ": " << run.output;
  }
  EXPECT_TRUE(FolderHoldsOnly(folder.path(), 0));
  // The file form is as it was, and takes "--DbType 0" as well.
  ProgramRun file_site = RunFolirex({"init", dir, "--dbtype", "0"});
  EXPECT_EQ(file_site.code, 0) << file_site.output;
  EXPECT_TRUE(fsys::exists(folder.path() / "site/data/site.db"));
}

class UnusableDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FOLIREX_REQUIRE_POSTGRES(pg_);
    db_ = std::make_unique<PgDatabase>(pg_);
    ProgramRun init = RunFolirex(InitArgs(dir_, pg_, db_->name()));
    ASSERT_EQ(init.code, 0) << init.output;
  }

  // Points the site at another database, server or login.
  void Point(const std::string& server, const std::string& database, const std::string& password) {
    SiteSettings settings;
    std::string error;
    ASSERT_TRUE(ReadSettingsFile(dir_ / kSettingsFileName, &settings, &error)) << error;
    settings.DBServer = server;
    settings.DBPath = database;
    settings.DBPwd = password;
    ASSERT_TRUE(WriteSettingsFile(dir_ / kSettingsFileName, settings, &error)) << error;
  }

  // The console goes to its database error page; the public entry answers 503.
  void ExpectUnusable(const char* what) {
    ServedSite site(dir_);
    HttpAnswer admin = site.Get("/admin.asp");
    EXPECT_EQ(admin.status, 302) << what;
    EXPECT_EQ(admin.Header("location"), "?m=admin_error&errnum=0") << what;
    HttpAnswer error_page = site.Get("/admin.asp?m=admin_error&errnum=0");
    EXPECT_EQ(error_page.status, 200) << what;
    EXPECT_NE(error_page.text.find("数据库连接错误"), std::string::npos) << what;
    HttpAnswer login = site.Post("/admin.asp?m=admin_login&action=check",
                                 {{"usercode", "admin"}, {"password", "x"}});
    EXPECT_EQ(login.Header("location"), "?m=admin_error&errnum=0") << what;
    for (const char* page : {"/asp.asp", "/asp.asp?m=content&articleid=1", "/news/asp.asp"}) {
      HttpAnswer answer = site.Get(page);
      EXPECT_EQ(answer.status, 503) << what << " " << page;
      EXPECT_NE(answer.text.find("数据库连接失败"), std::string::npos) << what << " " << page;
    }
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  fsys::path dir_ = folder_.path() / "site";
};

TEST_F(UnusableDatabaseTest, ServerUnreachable) {
  Point("127.0.0.1:1", db_->name(), pg_.password);
  ExpectUnusable("unreachable");
}

TEST_F(UnusableDatabaseTest, WrongCredentials) {
  Point(pg_.server, db_->name(), "Wr0ngSecret");
  ExpectUnusable("wrong password");
}

TEST_F(UnusableDatabaseTest, EmptyDatabase) {
  PgDatabase empty(pg_);
  Point(pg_.server, empty.name(), pg_.password);
  ExpectUnusable("empty database");
}

TEST_F(UnusableDatabaseTest, TheSameSiteWorksAgainOnceTheDatabaseIsBack) {
  Point("127.0.0.1:1", db_->name(), pg_.password);
  ExpectUnusable("unreachable");
  Point(pg_.server, db_->name(), pg_.password);
  ServedSite site(dir_);
  EXPECT_EQ(site.Get("/admin.asp").status, 200);
}

TEST(SiteOnPostgresTest, ASiteGetsOverLostConnectionsAtOnce) {
  PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase db(pg);
  TempFolder folder;
  ProgramRun init = RunFolirex(InitArgs(folder.path() / "site", pg, db.name()));
  ASSERT_EQ(init.code, 0) << init.output;
  ServedSite site(folder.path() / "site");
  // Requests at once leave several pooled connections behind.
  std::vector<std::thread> readers;
  for (int i = 0; i < 6; ++i) {
    readers.emplace_back([&site] {
      for (int j = 0; j < 5; ++j) site.Get("/asp.asp");
    });
  }
  for (std::thread& t : readers) t.join();
  // The server drops every connection to the database, as a restart does.
  db.Sql(
      "select count(pg_terminate_backend(pid)) from pg_stat_activity where datname = ? and pid "
      "<> pg_backend_pid()",
      {Variant(db.name())});
  int failed = 0;
  for (int i = 0; i < 10; ++i) failed += site.Get("/asp.asp").status == 200 ? 0 : 1;
  EXPECT_LE(failed, 1) << "requests that met a lost connection";
  EXPECT_EQ(site.Get("/asp.asp").status, 200);
}

}  // namespace
}  // namespace folirex::testing
