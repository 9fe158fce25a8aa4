// The two schemas and the shipped rows agree: a database made for a new site on PostgreSQL has
// the tables, columns (with the kinds the database layer reads), nullability, defaults, indexes
// and rows of one made for a new site on SQLite.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/site_setup.h"
#include "pg_test_support.h"
#include "platform/db/connection.h"
#include "platform/db/provider.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"

namespace folirex::testing {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The rows of a native query, each value as text.
std::vector<std::vector<std::string>> Rows(Connection& conn, const std::string& sql) {
  std::unique_ptr<db::Statement> st = conn.session().PrepareNative(sql);
  st->Bind({});
  std::vector<std::vector<std::string>> rows;
  while (st->Step()) {
    std::vector<std::string> row;
    for (int i = 0; i < st->ColumnCount(); ++i) row.push_back(st->Column(i).ToString());
    rows.push_back(std::move(row));
  }
  return rows;
}

// A value as the pages see it, for comparing across engines; a date that defaulted to the time
// of the load compares as "now".
std::string Comparable(const Variant& v) {
  if (v.type() == Variant::Type::kDate) {
    const DateTime d = v.CDate();
    if (std::abs(d.ToSerial() - DateTime::Now().ToSerial()) < 1) return "<now>";
    return d.ToStorage();
  }
  if (v.type() == Variant::Type::kDouble) return std::to_string(v.CDbl());
  return (v.IsNull() ? "<null>" : "") + v.ToString();
}

class SchemaParityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FOLIREX_REQUIRE_POSTGRES(pg_);
    CreatedSite created;
    std::string error;
    ASSERT_TRUE(CreateSite(folder_.path() / "site", SiteSettings(), &created, &error)) << error;
    sqlite_.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                 (folder_.path() / "site/data/site.db").string() + ";");
    pg_db_ = std::make_unique<PgDatabase>(pg_);
    pg_db_->LoadSite();
    postgres_.Open(pg_db_->ConnectionString());
  }

  std::vector<std::string> SqliteTables() {
    std::vector<std::string> tables;
    for (auto& row : Rows(sqlite_,
                          "select name from sqlite_schema where type = 'table' and name not like "
                          "'sqlite_%' order by name")) {
      tables.push_back(row[0]);
    }
    return tables;
  }

  TempFolder folder_;
  PgServer pg_ = PgServer::FromEnvironment();
  std::unique_ptr<PgDatabase> pg_db_;
  Connection sqlite_;
  Connection postgres_;
};

TEST_F(SchemaParityTest, SameTablesColumnsKindsAndNullability) {
  std::set<std::string> sqlite_tables, postgres_tables;
  for (const std::string& t : SqliteTables()) sqlite_tables.insert(Lower(t));
  for (auto& row : Rows(postgres_,
                        "select table_name from information_schema.tables where table_schema = "
                        "current_schema()")) {
    postgres_tables.insert(row[0]);
  }
  EXPECT_EQ(sqlite_tables, postgres_tables);
  ASSERT_GT(sqlite_tables.size(), 20u);

  for (const std::string& table : SqliteTables()) {
    std::vector<db::ColumnInfo> a = sqlite_.session().TableColumns(table);
    std::vector<db::ColumnInfo> b = postgres_.session().TableColumns(table);
    ASSERT_EQ(a.size(), b.size()) << table;
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(Lower(a[i].name), b[i].name) << table;
      EXPECT_EQ(a[i].kind, b[i].kind) << table << "." << a[i].name;
    }
    std::vector<std::string> sqlite_not_null, postgres_not_null;
    for (auto& row : Rows(sqlite_, "select name from pragma_table_info('" + table +
                                       "') where \"notnull\" = 1 or pk = 1 order by cid")) {
      sqlite_not_null.push_back(Lower(row[0]));
    }
    for (auto& row :
         Rows(postgres_,
              "select column_name from information_schema.columns where table_schema "
              "= current_schema() and table_name = '" +
                  Lower(table) + "' and is_nullable = 'NO' order by ordinal_position")) {
      postgres_not_null.push_back(row[0]);
    }
    EXPECT_EQ(sqlite_not_null, postgres_not_null) << table;
  }
}

TEST_F(SchemaParityTest, ARowOfDefaultsIsTheSameRow) {
  for (const std::string& table : SqliteTables()) {
    std::vector<Variant> sqlite_row, postgres_row;
    for (Connection* conn : {&sqlite_, &postgres_}) {
      ScopedTransaction transaction(*conn);  // the row goes again at the end of the scope
      const int64_t id = conn->session().InsertRow(table, {}, {});
      Recordset rs;
      rs.Open("select * from " + table + " where d_id = ?", {Variant(static_cast<long long>(id))},
              *conn);
      ASSERT_FALSE(rs.Eof()) << table;
      std::vector<Variant>& row = conn == &sqlite_ ? sqlite_row : postgres_row;
      for (int i = 0; i < rs.FieldCount(); ++i) row.push_back(rs.Field(i));
    }
    ASSERT_EQ(sqlite_row.size(), postgres_row.size()) << table;
    for (size_t i = 1; i < sqlite_row.size(); ++i) {  // d_id is first
      EXPECT_EQ(Comparable(sqlite_row[i]), Comparable(postgres_row[i])) << table << " column " << i;
      EXPECT_EQ(sqlite_row[i].type(), postgres_row[i].type()) << table << " column " << i;
    }
  }
}

TEST_F(SchemaParityTest, SameIndexesOnTheSameColumns) {
  // name -> "unique|col,col desc,..."
  std::map<std::string, std::string> sqlite_indexes, postgres_indexes;
  for (const std::string& table : SqliteTables()) {
    for (auto& index : Rows(sqlite_, "select name, \"unique\" from pragma_index_list('" + table +
                                         "') where origin = 'c'")) {
      std::string columns;
      for (auto& column : Rows(sqlite_, "select name, \"desc\" from pragma_index_xinfo('" +
                                            index[0] + "') where key = 1 order by seqno")) {
        columns +=
            (columns.empty() ? "" : ",") + Lower(column[0]) + (column[1] == "1" ? " desc" : "");
      }
      sqlite_indexes[Lower(index[0])] = Lower(table) + "|" + index[1] + "|" + columns;
    }
  }
  // Key columns only: columns an index carries for index-only reads (INCLUDE) are PostgreSQL's.
  std::map<std::string, std::string> postgres_columns;
  for (auto& row : Rows(postgres_,
                        "select i.relname, t.relname, case when x.indisunique then 1 else 0 end, "
                        "a.attname, x.indoption[k.n - 1] & 1 "
                        "from pg_index x join pg_class i on i.oid = x.indexrelid "
                        "join pg_class t on t.oid = x.indrelid "
                        "join pg_namespace s on s.oid = t.relnamespace "
                        "cross join lateral unnest(x.indkey) with ordinality as k(attnum, n) "
                        "join pg_attribute a on a.attrelid = t.oid and a.attnum = k.attnum "
                        "where s.nspname = current_schema() and not x.indisprimary "
                        "and k.n <= x.indnkeyatts "
                        "order by i.relname, k.n")) {
    std::string& entry = postgres_indexes[row[0]];
    if (entry.empty()) entry = row[1] + "|" + row[2] + "|";
    if (entry.back() != '|') entry += ",";
    entry += row[3] + (row[4] == "1" ? " desc" : "");
  }
  // PostgreSQL keeps the order of clicks in a table of its own (made with the list structures),
  // so that a click leaves every index of the article table alone.
  EXPECT_EQ(sqlite_indexes.erase("idx_article_list_clicks"), 1u);
  EXPECT_EQ(sqlite_indexes, postgres_indexes);
  EXPECT_GT(sqlite_indexes.size(), 30u);
}

TEST_F(SchemaParityTest, EveryShippedFileGivesTheSameRows) {
  size_t rows_compared = 0;
  for (const std::string& table : SqliteTables()) {
    Recordset a, b;
    a.Open("select * from " + table + " order by d_id", sqlite_);
    b.Open("select * from " + table + " order by d_id", postgres_);
    for (; !a.Eof(); a.MoveNext(), b.MoveNext()) {
      ASSERT_FALSE(b.Eof()) << table << " has fewer rows on PostgreSQL";
      for (int i = 0; i < a.FieldCount(); ++i) {
        // The administrator's password is made at random by each init.
        if (Lower(table) == "vantrel_admin" && Lower(a.FieldName(i)) == "d_password") continue;
        EXPECT_EQ(Comparable(a.Field(i)), Comparable(b.Field(i)))
            << table << "." << a.FieldName(i) << " of row " << a["d_id"].ToString();
      }
      ++rows_compared;
    }
    EXPECT_TRUE(b.Eof()) << table << " has more rows on PostgreSQL";
  }
  EXPECT_GT(rows_compared, 50u);
  // The channel table goes on at 11 on both.
  for (Connection* conn : {&sqlite_, &postgres_}) {
    ScopedTransaction transaction(*conn);
    EXPECT_EQ(conn->session().InsertRow("Vantrel_Channel", {}, {}), 11);
  }
}

}  // namespace
}  // namespace folirex::testing
