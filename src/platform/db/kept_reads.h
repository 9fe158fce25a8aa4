// Rows of selects kept in memory between requests, for tables that pages read on every request
// and that change seldom (the site's settings, classes, templates). A database that keeps them
// has a version row that triggers move on every change of those tables; a kept answer is valid
// for the version it was read at, so a connection reads the version once and then answers those
// selects from memory (Connection::KeepReads).
//
// Which selects those are is said where each is built, by a KeptRead naming the tables it reads;
// nothing reads a select's text back to learn it.
//
// Thread-safe: the store is shared by every connection of the process.
#ifndef FOLIREX_PLATFORM_DB_KEPT_READS_H_
#define FOLIREX_PLATFORM_DB_KEPT_READS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/variant.h"

namespace folirex::db {

class Statement;

// A select of kept tables alone, as the code that builds it describes it: `sql` in the pages'
// dialect with a "?" for each of `values` in order, reading no table but `tables` (as the SQL
// names them) and depending on nothing but their rows and its values: no clock, no random
// number, no other table, not even in a subquery. The builder says which tables its select
// reads; nothing reads the text to learn it, and a select that breaks this shows stale rows: the
// tests hold every kept read they run against the tables SQLite says it reads (a statement
// audit, platform/db/statement_audit.h). A read that names no table declares nothing and is read
// from the database, as is one its connection does not keep.
struct KeptRead {
  std::vector<std::string_view> tables = {};  // the names must outlive the read
  std::string sql = {};
  std::vector<Variant> values = {};
};

// What a database keeps: the selects of `tables` (lower case) alone, valid while `version_sql`
// (one row, one number) answers the same.
struct KeptReadsPolicy {
  std::vector<std::string> tables;
  std::string version_sql;

  // Whether `table` (any letter case) is kept.
  bool Keeps(std::string_view table) const;
  // Whether every table the read names is kept (and it names one).
  bool Keeps(const KeptRead& read) const;
};

// The answer of one select: its column names and rows.
struct KeptRows {
  std::vector<std::string> names;
  std::vector<std::vector<Variant>> rows;
};

class KeptReads {
 public:
  static KeptReads& Instance();

  // The rows kept for `key` of the database `db` at `version`; null when there are none.
  std::shared_ptr<const KeptRows> Find(const std::string& db, int64_t version,
                                       const std::string& key);
  // Keeps rows read at `version`. A later version forgets what the database kept before; rows of
  // an earlier one than the kept are not kept.
  void Keep(const std::string& db, int64_t version, const std::string& key,
            std::shared_ptr<const KeptRows> rows);
  // Forgets everything (a table's columns changed).
  void Clear();

  // Whether the database was found without a version row (its structures not made yet) in the
  // last seconds; Clear forgets it.
  bool Unversioned(const std::string& db);
  void SetUnversioned(const std::string& db, bool unversioned);

  // Moves when a connection of this process writes to a kept table: a connection that read the
  // version before reads it again.
  uint64_t generation() const;
  void NoteWrite();

 private:
  KeptReads() = default;
  struct Impl;
  static Impl& impl();
};

// The steady clock in milliseconds, which kept reads are timed by.
int64_t SteadyMillis();

// A cache key of a statement and the values bound to it, each value with its kind, so that 1
// and "1" stay apart.
std::string StatementKey(std::string_view sql, const std::vector<Variant>& params);

// A statement that answers kept rows.
std::unique_ptr<Statement> ReplayKeptRows(std::shared_ptr<const KeptRows> rows);

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_KEPT_READS_H_
