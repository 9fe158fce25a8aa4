#include "platform/db/sql_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/connection_string.h"

namespace folirex {
namespace {

using Strings = std::vector<std::string>;

TEST(SqlScriptTest, SplitsAtSemicolonsOutsideLiteralsNamesAndComments) {
  EXPECT_EQ(SplitSqlScript("create table a (x int);\n\ninsert into a values (1);"),
            (Strings{"create table a (x int)", "insert into a values (1)"}));
  // The last statement needs no ";", and empty statements are dropped.
  EXPECT_EQ(SplitSqlScript(";; select 1 ;\n  ;select 2"), (Strings{"select 1", "select 2"}));
  EXPECT_EQ(SplitSqlScript("insert into t values ('a;b', 'it''s; fine');"),
            (Strings{"insert into t values ('a;b', 'it''s; fine')"}));
  EXPECT_EQ(SplitSqlScript("select \"odd;name\" from t; select 2"),
            (Strings{"select \"odd;name\" from t", "select 2"}));
  // Comments go, with whatever they hold; a statement of comments only is no statement.
  EXPECT_EQ(SplitSqlScript("-- it's the header; no statement here\n"
                           "select 1 -- what's this?\n"
                           "from t; /* a block; with 'quotes */ select 2;\n-- the end"),
            (Strings{"select 1  \nfrom t", "select 2"}));
  EXPECT_EQ(SplitSqlScript("-- only a comment\n/* and another */\n"), Strings{});
  // Text in code page 936 or UTF-8 passes through untouched.
  EXPECT_EQ(SplitSqlScript("insert into t values ('文章;中心');"),
            (Strings{"insert into t values ('文章;中心')"}));
}

TEST(SqlScriptTest, KeepsDollarQuotedBodiesWhole) {
  const std::string function =
      "CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql AS $$\n"
      "BEGIN\n  PERFORM 1; -- a comment inside the body stays\n  RETURN NULL;\nEND\n$$";
  EXPECT_EQ(SplitSqlScript(function + ";\nselect 2;"), (Strings{function, "select 2"}));
  const std::string tagged = "DO $body$ BEGIN EXECUTE 'select $$;$$'; END $body$";
  EXPECT_EQ(SplitSqlScript(tagged + "; select 3"), (Strings{tagged, "select 3"}));
  // "$1" and a "$" inside a name open nothing.
  EXPECT_EQ(SplitSqlScript("select a$b, $1 from t; select 4"),
            (Strings{"select a$b, $1 from t", "select 4"}));
}

TEST(SqlScriptTest, RefusesWhatIsNotClosedAndSaysWhere) {
  try {
    SplitSqlScript("select 1;\nselect 2;\ninsert into t values ('open;\nselect 3;");
    ADD_FAILURE() << "an open literal was accepted";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("string literal starting on line 3"), std::string::npos)
        << e.what();
  }
  EXPECT_THROW(SplitSqlScript("select 1; /* open"), DbError);
  EXPECT_THROW(SplitSqlScript("select \"open"), DbError);
  EXPECT_THROW(SplitSqlScript("DO $$ BEGIN NULL; END"), DbError);
}

TEST(ConnectionStringServerTest, IPv6AddressesTakeAPortInBrackets) {
  db::ConnectionTarget t = db::ParseConnectionString(
      "driver={SQL Server};server=[::1]:5433;database=site;uid=web;pwd=p;");
  EXPECT_EQ(t.server, "::1");
  EXPECT_EQ(t.port, "5433");
  t = db::ParseConnectionString("driver={SQL Server};server=::1;database=site;uid=web;pwd=p;");
  EXPECT_EQ(t.server, "::1");
  EXPECT_EQ(t.port, "");
  t = db::ParseConnectionString("driver={SQL Server};server=[::1];database=site;uid=;pwd=;");
  EXPECT_EQ(t.server, "::1");
  EXPECT_EQ(t.port, "");
  t = db::ParseConnectionString("driver={SQL Server};server=db.local , 5432;database=d;uid=;pwd=;");
  EXPECT_EQ(t.server, "db.local");
  EXPECT_EQ(t.port, "5432");
}

}  // namespace
}  // namespace folirex
