// The connection string built from the five database settings, and closing the database.
#include "core/database.h"

#include <gtest/gtest.h>

#include "platform/db/connection_string.h"
#include "support/test_site.h"

namespace folirex::testing {
namespace {

class ConnectionStringTest : public ::testing::Test {
 protected:
  ConnectionStringTest() : server_(folder_.path(), "/") { state_.host.Server = &server_; }
  TempFolder folder_;
  Server server_;
  RequestState state_;
};

TEST_F(ConnectionStringTest, FileFormMapsThePathAndAddsUserAndPasswordWithTheirSpaces) {
  state_.db.DbType = "0";
  state_.db.DBPath = "data/site.db";
  std::string mapped = (folder_.path() / "data/site.db").string();
  EXPECT_EQ(BuildConnectionString(state_.db, state_.host),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + mapped + ";");
  state_.db.DBPwd = "secret";
  EXPECT_EQ(BuildConnectionString(state_.db, state_.host),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + mapped + "; Password = secret;");
  state_.db.DBUser = "u";
  EXPECT_EQ(BuildConnectionString(state_.db, state_.host),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + mapped +
                "; User ID = u; Password = secret;");
}

TEST_F(ConnectionStringTest, ServerFormForAnyOtherTypeKeepsEmptyKeys) {
  for (const char* type : {"", "1", "2"}) {
    state_.db.DbType = type;
    state_.db.DBPath = "news";
    EXPECT_EQ(BuildConnectionString(state_.db, state_.host),
              "driver={SQL Server};server=;database=news;uid=;pwd=;")
        << type;
  }
}

TEST_F(ConnectionStringTest, ASemicolonInAServerSettingStaysInsideItsValue) {
  state_.db.DbType = "1";
  state_.db.DBServer = "db.example.com";
  state_.db.DBPath = "news";
  state_.db.DBUser = "web";
  state_.db.DBPwd = "a;b}c";
  std::string text = BuildConnectionString(state_.db, state_.host);
  EXPECT_EQ(text,
            "driver={SQL Server};server=db.example.com;database=news;uid=web;"
            "pwd={a;b}}c};");
  // The provider reads the password back whole.
  db::ConnectionTarget target = db::ParseConnectionString(text);
  EXPECT_EQ(target.pwd, "a;b}c");
  EXPECT_EQ(target.uid, "web");
}

TEST_F(ConnectionStringTest, APathLeavingTheSiteIsNotOpenedAndClosingIsAlwaysSafe) {
  state_.db.DbType = "0";
  state_.db.DBPath = "../../etc/passwd";
  EXPECT_FALSE(TryOpenDatabase(state_.db, state_.host));
  EXPECT_EQ(state_.db.Conn, nullptr);
  CloseDatabase(state_.db);
  CloseDatabase(state_.db);
}

}  // namespace
}  // namespace folirex::testing
