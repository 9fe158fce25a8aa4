// A site on both database forms for tests that run each case twice: made by `folirex init` (a
// SQLite file, or an empty PostgreSQL database through ODBC when ./test.sh has started its
// cluster; skipped otherwise) and served by `folirex serve`.
//
//   class MyTest : public BothFormsSiteTest {};
//   TEST_P(MyTest, ...) { site_->Post(...); EXPECT_EQ(ValueText("select ..."), "1"); }
//   FOLIREX_BOTH_DATABASE_FORMS(BothDatabaseForms, MyTest);
//
// By default the console is signed in as the administrator before each case; a test that signs
// in itself passes Console::kSignedOut to the constructor. Seed() runs after init and before the
// site is served, for rows the served site must see from its first request.
#ifndef FOLIREX_TESTS_POSTGRES_BOTH_FORMS_SITE_H_
#define FOLIREX_TESTS_POSTGRES_BOTH_FORMS_SITE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/connection.h"
#include "postgres/pg_test_support.h"
#include "support/temp_folder.h"

namespace folirex::testing {

enum class Engine { kSqlite, kPostgres };

inline std::string EngineTestName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::kSqlite ? "Sqlite" : "Postgres";
}

#define FOLIREX_BOTH_DATABASE_FORMS(prefix, fixture)                                 \
  INSTANTIATE_TEST_SUITE_P(prefix, fixture,                                          \
                           ::testing::Values(::folirex::testing::Engine::kSqlite,    \
                                             ::folirex::testing::Engine::kPostgres), \
                           ::folirex::testing::EngineTestName)

inline bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class BothFormsSiteTest : public ::testing::TestWithParam<Engine> {
 protected:
  enum class Console { kSignedIn, kSignedOut };

  explicit BothFormsSiteTest(Console console = Console::kSignedIn) : console_(console) {}

  void SetUp() override {
    std::vector<std::string> args = {"init", dir_.string()};
    if (GetParam() == Engine::kPostgres) {
      FOLIREX_REQUIRE_POSTGRES(pg_);
      db_ = std::make_unique<PgDatabase>(pg_);
      for (const std::string& a :
           {std::string("--DbType"), std::string("1"), std::string("--DBServer"), pg_.server,
            std::string("--DBPath"), db_->name(), std::string("--DBUser"), pg_.user,
            std::string("--DBPwd"), pg_.password}) {
        args.push_back(a);
      }
    }
    ProgramRun init = RunFolirex(args);
    ASSERT_EQ(init.code, 0) << init.output;
    password_ = PrintedPassword(init.output);
    Seed();
    if (HasFatalFailure()) return;
    site_ = std::make_unique<ServedSite>(dir_);
    if (console_ == Console::kSignedIn) {
      ASSERT_TRUE(site_->SignIn("admin", password_));
    }
  }

  // Rows written before the site is served; nothing by default.
  virtual void Seed() {}

  // The connection string the site's pages build.
  std::string ConnectionString() const {
    if (db_) return db_->ConnectionString();
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir_ / "data/site.db").string() + ";";
  }
  // Runs SQL in the pages' dialect on the site's database.
  void Exec(const std::string& sql) {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(sql);
  }
  void Exec(const std::string& sql, const std::vector<Variant>& params) {
    Connection conn;
    conn.Open(ConnectionString());
    conn.Execute(sql, params);
  }
  Variant Value(const std::string& sql) {
    Connection conn;
    conn.Open(ConnectionString());
    return conn.ExecuteScalar(sql);
  }
  std::string ValueText(const std::string& sql) { return Value(sql).ToString(); }

  // The decoded page that posting the form (UTF-8 values) to the served site answers with.
  std::string Done(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& form) {
    return site_->Post(path, form).text;
  }

  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> db_;
  TempFolder folder_;
  std::filesystem::path dir_ = folder_.path() / "site";
  std::string password_;  // the administrator's, as init printed it
  std::unique_ptr<ServedSite> site_;

 private:
  Console console_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_POSTGRES_BOTH_FORMS_SITE_H_
