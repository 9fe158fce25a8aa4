// How far the index under way in a database is, as the search's build on PostgreSQL shows it in
// the server's output and on the console's server page: read from any session, another host's
// build included, and nothing once it is made.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/search_structures.h"
#include "pg_test_support.h"
#include "platform/db/connection.h"
#include "platform/db/scoped_transaction.h"

namespace folirex::testing {
namespace {

TEST(IndexBuildProgressTest, TheIndexUnderWayIsReadFromAnySession) {
  const PgServer pg = PgServer::FromEnvironment();
  FOLIREX_REQUIRE_POSTGRES(pg);
  PgDatabase database(pg);
  Connection writer, builder, reader;
  writer.Open(database.ConnectionString());
  builder.Open(database.ConnectionString());
  reader.Open(database.ConnectionString());
  builder.session().ExecuteNative("CREATE TABLE progress_rows (n integer)");
  builder.session().ExecuteNative(
      "INSERT INTO progress_rows SELECT i FROM generate_series(1, 1000) i");
  EXPECT_FALSE(ReadIndexBuildProgress(reader).running);

  // A writer's open transaction holds a concurrent build at its first wait, where it stays seen.
  IndexBuildProgress seen;
  {
    ScopedTransaction hold(writer);
    writer.session().ExecuteNative("INSERT INTO progress_rows VALUES (0)");
    std::thread make([&builder] {
      builder.session().ExecuteNative(
          "CREATE INDEX CONCURRENTLY progress_index ON progress_rows (n)");
    });
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!seen.running && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      seen = ReadIndexBuildProgress(reader);
    }
    hold.Commit();
    make.join();
  }
  EXPECT_TRUE(seen.running);
  EXPECT_EQ(seen.table, "progress_rows");
  EXPECT_NE(seen.phase.find("waiting"), std::string::npos) << seen.phase;
  EXPECT_FALSE(ReadIndexBuildProgress(reader).running);
}

}  // namespace
}  // namespace folirex::testing
