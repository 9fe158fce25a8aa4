// Recordset: the rows of one select, read through the cursor and lock codes the pages use:
//   (0,1)       forward-only, read-only: EOF/MoveNext over the rows as they come
//   (1,1),(3,1) static: also RecordCount, Move, AbsolutePosition and GetRows; the count is a
//               count over the same rows (made from the select's description when it was opened
//               from one, else over its text) and only the window of rows reached is fetched
//   (1,3), (1,2), (2,3), ... updatable: field assignment, AddNew and Update on a one-table
//               select; Update of a new row reads the autonumber d_id back. The table is the one
//               the engine says every column comes from (SQLite's authorizer, PostgreSQL's row
//               description); the one the caller declared where the engine says nothing
// Fields are found by name without regard to case. A statement that returns no rows (an update)
// is run by Open and leaves the recordset closed, as the page host does.
//
// Updatable cursors: Set starts changing the current row; moving off it saves it (an implicit
// Update); Close drops changes not yet saved. Values are converted for the column (flags -1/0,
// dates as stored text); a value the column cannot hold is a DbError, and so is an Update of a
// row that is gone.
//
// The destructor closes the recordset, so one kept on the stack needs no Close on the way out of
// a failure; Open closes what the recordset held before.
//
// Not thread-safe. Must not outlive the Connection it was opened on. Failures throw DbError.
#ifndef FOLIREX_PLATFORM_DB_RECORDSET_H_
#define FOLIREX_PLATFORM_DB_RECORDSET_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/table_rows.h"
#include "platform/db/variant.h"

namespace folirex {

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;
  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;

  void Open(std::string_view sql, Connection& conn, int cursor_type = 0, int lock_type = 1);
  // The same with "?" placeholders bound to the values, in order.
  void Open(std::string_view sql, const std::vector<Variant>& params, Connection& conn,
            int cursor_type = 0, int lock_type = 1);
  // A select of one table's rows from its description (platform/db/table_rows.h): a static
  // cursor counts them from it, an updatable one writes them back to its table.
  void Open(const db::TableRows& rows, Connection& conn, int cursor_type = 0, int lock_type = 1);
  // A kept read (platform/db/kept_reads.h), forward-only and read-only: answered from memory
  // when the connection keeps the tables it names. With another cursor it is opened on the
  // database as a select of its text, and the one table it names is the table of its rows.
  void Open(const db::KeptRead& read, Connection& conn, int cursor_type = 0, int lock_type = 1);
  // Rows read already (Connection::ReadTogether), forward-only and read-only.
  void Open(std::shared_ptr<const db::KeptRows> rows, Connection& conn);
  bool IsOpen() const;
  // Never throws; safe to call twice or before Open.
  void Close() noexcept;

  bool Eof() const;
  void MoveNext();
  // Relative move (static and updatable cursors).
  void Move(int64_t rows);
  // Number of rows of the select; -1 for a forward-only cursor.
  int64_t RecordCount();
  // 1-based position of the current row (static cursors); -1 on a forward-only cursor and -3 at
  // EOF. Setting it moves there (a position past the end is EOF).
  int64_t AbsolutePosition() const;
  void SetAbsolutePosition(int64_t position);
  // Up to max_rows rows from the current one (all when negative), one vector of field values
  // per row, in the select's column order; the cursor ends after the last row read. Empty at EOF.
  std::vector<std::vector<Variant>> GetRows(int64_t max_rows = -1);

  // The current row's field; DbError at EOF or for a name the select does not have.
  const Variant& operator[](std::string_view name) const;
  // The current row's field moved out, for a long text read once: the field then reads as empty
  // until the cursor moves. An updatable cursor's row keeps its value (it may be saved): a copy.
  Variant TakeField(std::string_view name);
  const Variant& Field(int index) const;
  int FieldCount() const;
  const std::string& FieldName(int index) const;
  bool HasField(std::string_view name) const;

  // Updatable cursors: assign fields of the current (or new) row, then Update writes them.
  void Set(std::string_view name, Variant value);
  void AddNew();
  void Update();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  void OpenSelect(std::unique_ptr<Impl> impl, Connection& conn, int cursor_type, int lock_type);
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_DB_RECORDSET_H_
