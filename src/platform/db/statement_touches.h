// What a compiled statement touches, as the engine says when it compiles it: the tables it reads,
// the tables it writes (its triggers' writes included), the tables whose shape it changes, and
// the one table whose rows a select returns. SQLite says it through its authorizer, once per
// compilation (platform/db/sqlite_provider.h); an engine that says nothing gives no touches
// (Statement::touches answers null), and its callers fall back on what the statement's builder
// declares, or on the target its text names (WriteTargetOf, platform/db/sql_dialect.h).
//
// With details on (a statement audit installed, platform/db/statement_audit.h) the columns read
// and the functions called are recorded too; otherwise those stay empty, so that a compilation
// costs no more than a few names.
//
// A plain value; thread-compatible. Table names are spelled as the schema spells them.
#ifndef FOLIREX_PLATFORM_DB_STATEMENT_TOUCHES_H_
#define FOLIREX_PLATFORM_DB_STATEMENT_TOUCHES_H_

#include <string>
#include <string_view>
#include <vector>

namespace folirex::db {

struct TableColumn {
  std::string table;
  std::string column;  // empty: the table is read without a column of it (count(*))
};

struct StatementTouches {
  std::vector<std::string> reads;     // each once
  std::vector<std::string> writes;    // inserted into, updated or deleted from
  std::vector<std::string> reshapes;  // created, altered or dropped
  // The table whose rows a select returns when it reads that table alone, writes nothing and
  // takes every column from it: the table an updatable recordset writes its rows back to. Empty
  // for any other statement.
  std::string row_table;
  int parameters = 0;  // the "?" it binds
  // Details (see above).
  std::vector<TableColumn> columns;
  std::vector<std::string> functions;  // lower case, each once

  bool Reads(std::string_view table) const;
  bool Writes(std::string_view table) const;
  bool Reshapes(std::string_view table) const;

  // What the engine reports while it compiles; the engine's own tables (sqlite_*) are left out.
  void NoteRead(std::string_view table, std::string_view column, bool details);
  void NoteWrite(std::string_view table);
  void NoteReshape(std::string_view table);
  void NoteFunction(std::string_view name);
  void Clear();
};

// The tables of `tables` (any letter case) that `touches` writes or reshapes, and whether it
// reshapes one of them.
struct TablesWritten {
  std::vector<std::string> tables;
  bool reshaped = false;
  bool operator==(const TablesWritten&) const = default;
};
TablesWritten WrittenAmong(const StatementTouches& touches, const std::vector<std::string>& tables);

}  // namespace folirex::db

#endif  // FOLIREX_PLATFORM_DB_STATEMENT_TOUCHES_H_
