#include "platform/db/statement_touches.h"

#include <algorithm>

#include "platform/text/vb_text.h"

namespace folirex::db {

namespace {

bool Holds(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(),
                     [name](const std::string& n) { return EqualsIgnoreCase(n, name); });
}

// The engine's own tables (its schema, its sequences, its statistics) are no page's business.
bool EnginesOwn(std::string_view table) {
  return table.size() >= 7 && EqualsIgnoreCase(table.substr(0, 7), "sqlite_");
}

void AddOnce(std::vector<std::string>& names, std::string_view name) {
  // A statement names the same table in runs: the last name is the likeliest.
  if (!names.empty() && names.back() == name) return;
  if (!Holds(names, name)) names.emplace_back(name);
}

}  // namespace

bool StatementTouches::Reads(std::string_view table) const { return Holds(reads, table); }
bool StatementTouches::Writes(std::string_view table) const { return Holds(writes, table); }
bool StatementTouches::Reshapes(std::string_view table) const { return Holds(reshapes, table); }

void StatementTouches::NoteRead(std::string_view table, std::string_view column, bool details) {
  if (table.empty() || EnginesOwn(table)) return;
  AddOnce(reads, table);
  if (!details) return;
  for (const TableColumn& c : columns) {
    if (EqualsIgnoreCase(c.table, table) && EqualsIgnoreCase(c.column, column)) return;
  }
  columns.push_back(TableColumn{std::string(table), std::string(column)});
}

void StatementTouches::NoteWrite(std::string_view table) {
  if (!table.empty() && !EnginesOwn(table)) AddOnce(writes, table);
}

void StatementTouches::NoteReshape(std::string_view table) {
  if (!table.empty() && !EnginesOwn(table)) AddOnce(reshapes, table);
}

void StatementTouches::NoteFunction(std::string_view name) {
  if (!name.empty()) AddOnce(functions, LCase(name));
}

void StatementTouches::Clear() {
  reads.clear();
  writes.clear();
  reshapes.clear();
  row_table.clear();
  parameters = 0;
  columns.clear();
  functions.clear();
}

TablesWritten WrittenAmong(const StatementTouches& touches,
                           const std::vector<std::string>& tables) {
  TablesWritten written;
  for (const std::string& table : tables) {
    const bool reshaped = touches.Reshapes(table);
    if (reshaped || touches.Writes(table)) written.tables.push_back(table);
    written.reshaped = written.reshaped || reshaped;
  }
  return written;
}

}  // namespace folirex::db
