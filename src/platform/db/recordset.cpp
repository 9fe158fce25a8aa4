#include "platform/db/recordset.h"

#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>

#include "platform/cache/lru_cache.h"
#include "platform/db/provider.h"
#include "platform/db/sql_dialect.h"
#include "platform/db/statement_audit.h"
#include "platform/db/table_rows.h"
#include "platform/text/vb_text.h"

namespace folirex {

namespace {

// Rows fetched at a time by a scrollable cursor walking past its window.
constexpr int64_t kWindowRows = 50;
// ADO's positions for "no current row".
constexpr int64_t kPositionUnknown = -1;
constexpr int64_t kPositionEof = -3;

bool IsPlainName(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) {
      return false;
    }
  }
  return true;
}

// The value as the column stores it; text that cannot be stored there is refused, as the page
// host's provider refuses it, rather than written as something else.
Variant ForColumn(const Variant& v, db::ColumnKind kind, const std::string& name) {
  if (v.IsNull() || v.IsEmpty()) return Variant::Null();
  auto refuse = [&name, &v]() -> Variant {
    throw DbError("field " + name + " cannot hold the value \"" + v.ToString() + "\"");
  };
  try {
    switch (kind) {
      case db::ColumnKind::kBoolean:
        if (v.type() == Variant::Type::kText &&
            v.ToString().find_first_not_of(" ") == std::string::npos) {
          return Variant(false);  // an unticked check box posts nothing
        }
        return Variant(v.CBool());
      case db::ColumnKind::kInteger:
        if (v.type() == Variant::Type::kText && !v.IsNumeric()) return refuse();
        return Variant(static_cast<long long>(v.ToInt64()));
      case db::ColumnKind::kReal:
        if (v.type() == Variant::Type::kText && !v.IsNumeric()) return refuse();
        return Variant(v.CDbl());
      case db::ColumnKind::kDate:
        return Variant(v.CDate());
      case db::ColumnKind::kText:
        return Variant(v.ToString());
      case db::ColumnKind::kOther:
        return v;
    }
  } catch (const VariantError&) {
    return refuse();
  }
  return v;
}

// The selects' columns a worker thread keeps (NamesOf).
constexpr size_t kColumnNamesKept = 64;

// A select's columns: their names as the engine gives them, and each name in lower case to the
// first column of that name.
struct ColumnNames {
  std::vector<std::string> names;
  std::unordered_map<std::string, int> by_name;
};

const std::shared_ptr<const ColumnNames>& NoColumns() {
  static const auto* none = new std::shared_ptr<const ColumnNames>(std::make_shared<ColumnNames>());
  return *none;
}

// The columns of `st`, shared with the recordsets this thread opened lately on a select of the
// same columns: a page opens the same selects on every request, and the lower-case names are
// made once.
std::shared_ptr<const ColumnNames> NamesOf(const db::Statement& st) {
  thread_local LruCache<std::string, std::shared_ptr<const ColumnNames>> kept(kColumnNamesKept);
  const int n = st.ColumnCount();
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(n));
  std::string key;
  for (int i = 0; i < n; ++i) {
    names.push_back(st.ColumnName(i));
    key.append(names.back()).push_back('\0');
  }
  if (const std::shared_ptr<const ColumnNames>* found = kept.Find(key)) return *found;
  auto made = std::make_shared<ColumnNames>();
  for (int i = 0; i < n; ++i) made->by_name.emplace(LCase(names[static_cast<size_t>(i)]), i);
  made->names = std::move(names);
  kept.Insert(std::move(key), made);
  return made;
}

}  // namespace

struct Recordset::Impl : db::Cursor {
  enum class Edit { kNone, kChange, kAdd };

  Connection* conn = nullptr;
  std::string sql;
  std::vector<Variant> params;
  bool scrollable = false;
  bool updatable = false;

  std::shared_ptr<const ColumnNames> cols = NoColumns();
  const std::vector<std::string>& names() const { return cols->names; }
  const std::unordered_map<std::string, int>& by_name() const { return cols->by_name; }

  // Forward-only: the running statement and its current row.
  std::unique_ptr<db::Statement> stmt;
  std::vector<Variant> row;
  bool eof = true;

  // Scrollable: the current position and a window of fetched rows.
  int64_t pos = 1;
  int64_t window_start = 1;
  std::vector<std::vector<Variant>> window;
  int64_t count = -1;  // rows of the select, once known

  // What the caller said of the select when it opened it from a description (TableRows, or a
  // kept read of one table): its table, and the count of its rows.
  std::string declared_table;
  std::string count_sql;

  // Updatable: the table rows are written back to, and what the engine said of the select (when
  // it says: Statement::RowTable).
  std::string table;
  std::optional<std::string> described_table;
  std::vector<db::ColumnInfo> table_columns;
  Edit edit = Edit::kNone;
  std::vector<Variant> edit_row;
  std::vector<bool> dirty;
  bool on_added = false;  // the row just added stays the current row
  std::vector<Variant> added_row;

  void ConnectionClosing() noexcept override { Release(); }

  void Release() noexcept {
    stmt.reset();
    if (conn != nullptr) conn->Detach(this);
    conn = nullptr;
  }

  db::Session& session() {
    if (conn == nullptr) throw DbError("the recordset is not open");
    return conn->session();
  }

  void SetNames(const db::Statement& st) {
    if (!names().empty()) return;
    cols = NamesOf(st);
  }

  int IndexOf(std::string_view name) const {
    auto it = by_name().find(LCase(name));
    if (it == by_name().end()) throw DbError("no field named " + std::string(name));
    return it->second;
  }

  // Forward-only: reads the next row into `row`.
  void Advance() {
    if (stmt && stmt->Step()) {
      row.clear();
      for (int i = 0; i < static_cast<int>(names().size()); ++i) row.push_back(stmt->Column(i));
      eof = false;
      return;
    }
    eof = true;
    stmt.reset();  // frees the statement for the next user at once
  }

  // Scrollable: the rows [offset, offset + n) of the select.
  std::vector<std::vector<Variant>> Fetch(int64_t offset, int64_t n) {
    std::unique_ptr<db::Statement> st = conn->PrepareWindow(sql, params, offset, n);
    std::vector<std::vector<Variant>> rows;
    bool first = true;
    while (st->Step()) {
      if (first) {
        SetNames(*st);
        Describe(*st);
        first = false;
      }
      std::vector<Variant> r;
      r.reserve(names().size());
      for (int i = 0; i < static_cast<int>(names().size()); ++i) r.push_back(st->Column(i));
      rows.push_back(std::move(r));
    }
    SetNames(*st);
    Describe(*st);
    if (static_cast<int64_t>(rows.size()) < n) count = offset + static_cast<int64_t>(rows.size());
    return rows;
  }

  // Makes the row at position p available; false when the select has no such row.
  bool Reach(int64_t p) {
    if (p < 1) return false;
    if (p >= window_start && p < window_start + static_cast<int64_t>(window.size())) return true;
    if (count >= 0 && p > count) return false;
    window = Fetch(p - 1, kWindowRows);
    window_start = p;
    return !window.empty();
  }

  bool AtEof() {
    if (edit == Edit::kAdd || on_added) return false;
    if (!scrollable) return eof;
    return !Reach(pos);
  }

  std::vector<Variant>& Current() {
    if (edit != Edit::kNone) return edit_row;
    if (on_added) return added_row;
    if (!scrollable) {
      if (eof) throw DbError("no current row: the recordset is at its end");
      return row;
    }
    if (!Reach(pos)) throw DbError("no current row: the recordset is at its end");
    return window[static_cast<size_t>(pos - window_start)];
  }

  // Notes what the engine says of an updatable select's rows, once it says it.
  void Describe(const db::Statement& st) {
    if (!updatable || described_table) return;
    described_table = st.RowTable();
  }

  // The table an updatable select's rows are written back to: the one the engine names when it
  // describes the select (in the caller's spelling where the caller named it too); else the one
  // the caller declared; else, for an engine that describes nothing, the one its text names.
  std::string RowTable() {
    if (!described_table) return declared_table.empty() ? SingleTableOf(sql) : declared_table;
    if (declared_table.empty()) return *described_table;
    if (db::StatementAudit* audit = db::InstalledStatementAudit()) {
      audit->Checked(db::AuditCheck::kRowTable, sql);
      if (!EqualsIgnoreCase(declared_table, *described_table)) {
        audit->Disagrees(db::AuditCheck::kRowTable, sql,
                         "the engine says its rows are of \"" + *described_table +
                             "\", the caller says \"" + declared_table + "\"");
      }
    }
    return EqualsIgnoreCase(declared_table, *described_table) ? declared_table : *described_table;
  }

  void RequireUpdatable() {
    if (!updatable) throw DbError("the recordset was opened read-only");
    if (table.empty()) throw DbError("only a select from one table can be changed: " + sql);
    if (table_columns.empty()) table_columns = session().TableColumns(table);
  }

  db::ColumnKind KindOf(const std::string& name) const {
    const std::string key = LCase(name);
    for (const db::ColumnInfo& c : table_columns) {
      if (LCase(c.name) == key) return c.kind;
    }
    throw DbError("field " + name + " is not a column of " + table);
  }

  // Reads the stored row back, so that the fields show what the database holds (defaults, the
  // autonumber, stored forms).
  std::vector<Variant> Reread(int64_t id) {
    std::unique_ptr<db::Statement> st =
        session().Prepare("select * from " + table + " where d_id = ?");
    conn->CountStatement();
    st->Bind({Variant(static_cast<long long>(id))});
    std::vector<Variant> out(names().size(), Variant::Null());
    if (!st->Step()) throw DbError("the row " + std::to_string(id) + " of " + table + " is gone");
    for (int i = 0; i < st->ColumnCount(); ++i) {
      auto it = by_name().find(LCase(st->ColumnName(i)));
      if (it != by_name().end()) out[static_cast<size_t>(it->second)] = st->Column(i);
    }
    while (st->Step()) {
    }
    return out;
  }

  void Update() {
    if (edit == Edit::kNone) return;
    std::vector<std::string> columns;
    std::vector<Variant> values;
    for (size_t i = 0; i < names().size(); ++i) {
      if (!dirty[i]) continue;
      if (!IsPlainName(names()[i])) throw DbError("field " + names()[i] + " cannot be written");
      columns.push_back(names()[i]);
      values.push_back(ForColumn(edit_row[i], KindOf(names()[i]), names()[i]));
    }
    if (edit == Edit::kAdd) {
      int64_t id = session().InsertRow(table, columns, values);
      conn->CountStatement();
      conn->NoteWrite(table);
      added_row = Reread(id);
      on_added = true;
      if (count >= 0) ++count;
    } else {
      auto id_it = by_name().find("d_id");
      if (id_it == by_name().end()) throw DbError("the select has no d_id to find its row by");
      const Variant id = edit_row[static_cast<size_t>(id_it->second)];
      if (!columns.empty()) {
        std::string set;
        for (const std::string& c : columns) set += (set.empty() ? "" : ", ") + c + " = ?";
        values.push_back(id);
        std::unique_ptr<db::Statement> st =
            session().Prepare("update " + table + " set " + set + " where d_id = ?");
        conn->CountStatement();
        conn->NoteWrite(table);
        st->Bind(values);
        while (st->Step()) {
        }
        if (st->RowsAffected() == 0) {
          throw DbError("the row " + id.ToString() + " of " + table + " is gone");
        }
      }
      std::vector<Variant> stored = Reread(id.ToInt64());
      edit = Edit::kNone;
      if (on_added) {
        added_row = std::move(stored);
      } else if (!scrollable) {
        row = std::move(stored);
      } else if (Reach(pos)) {
        window[static_cast<size_t>(pos - window_start)] = std::move(stored);
      }
    }
    edit = Edit::kNone;
    edit_row.clear();
    dirty.clear();
  }

  // A forward-only cursor over the rows of a prepared select, on its first row.
  void Start(std::unique_ptr<db::Statement> prepared) {
    stmt = std::move(prepared);
    bool has_row = stmt->Step();
    SetNames(*stmt);
    if (names().empty()) throw DbError("the statement returns no rows: " + sql);
    if (has_row) {
      for (int i = 0; i < static_cast<int>(names().size()); ++i) row.push_back(stmt->Column(i));
      eof = false;
    } else {
      eof = true;
      stmt.reset();
    }
  }

  // Moving off a changed row saves it first, as the page host's recordset does.
  void LeaveRow() {
    if (edit != Edit::kNone) Update();
    on_added = false;
  }
};

Recordset::Recordset() = default;
Recordset::~Recordset() { Close(); }
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::move(other.impl_);
  }
  return *this;
}

void Recordset::Open(std::string_view sql, Connection& conn, int cursor_type, int lock_type) {
  Open(sql, {}, conn, cursor_type, lock_type);
}

void Recordset::Open(std::string_view sql, const std::vector<Variant>& params, Connection& conn,
                     int cursor_type, int lock_type) {
  Close();
  // Compiled first, so that the engine says whether the statement returns rows; an engine that
  // says so only once it runs is judged by the statement's first word.
  std::unique_ptr<db::Statement> st = conn.session().Prepare(sql);
  bool returns_rows;
  if (const std::optional<bool> said = st->ReturnsRows()) {
    returns_rows = *said;
  } else {
    const std::string first = LeadingKeyword(sql);
    returns_rows = first == "select" || first == "with";
  }
  if (!returns_rows) {
    // The page host runs a statement that returns no rows and leaves the recordset closed.
    conn.CountStatement(sql, *st);
    st->Bind(params);
    while (st->Step()) {
    }
    return;
  }
  auto impl = std::make_unique<Impl>();
  impl->sql = std::string(sql);
  impl->params = params;
  if (cursor_type == 0 && lock_type <= 1) {
    // Forward-only: the statement compiled here is the one that runs.
    conn.CountStatement(sql, *st);
    st->Bind(params);
    impl->conn = &conn;
    impl->Start(std::move(st));
    conn.Attach(impl.get());
    impl_ = std::move(impl);
    return;
  }
  st.reset();
  OpenSelect(std::move(impl), conn, cursor_type, lock_type);
}

void Recordset::Open(const db::TableRows& rows, Connection& conn, int cursor_type, int lock_type) {
  Close();
  auto impl = std::make_unique<Impl>();
  impl->sql = rows.Sql();
  impl->params = rows.values;
  impl->declared_table = rows.table;
  impl->count_sql = rows.CountSql();
  OpenSelect(std::move(impl), conn, cursor_type, lock_type);
}

void Recordset::Open(const db::KeptRead& read, Connection& conn, int cursor_type, int lock_type) {
  Close();
  auto impl = std::make_unique<Impl>();
  impl->sql = read.sql;
  impl->params = read.values;
  if (cursor_type == 0 && lock_type == 1) {
    impl->conn = &conn;
    impl->Start(conn.PrepareRead(read));
    conn.Attach(impl.get());
    impl_ = std::move(impl);
    return;
  }
  if (read.tables.size() == 1) impl->declared_table = std::string(read.tables.front());
  OpenSelect(std::move(impl), conn, cursor_type, lock_type);
}

void Recordset::Open(std::shared_ptr<const db::KeptRows> rows, Connection& conn) {
  Close();
  auto impl = std::make_unique<Impl>();
  impl->conn = &conn;
  impl->Start(db::ReplayKeptRows(std::move(rows)));
  conn.Attach(impl.get());
  impl_ = std::move(impl);
}

void Recordset::OpenSelect(std::unique_ptr<Impl> impl, Connection& conn, int cursor_type,
                           int lock_type) {
  impl->updatable = lock_type > 1;
  impl->scrollable = cursor_type != 0 || impl->updatable;
  impl->conn = &conn;
  if (impl->scrollable) {
    impl->Reach(1);
    if (impl->names().empty()) throw DbError("the statement returns no rows: " + impl->sql);
    if (impl->updatable) impl->table = impl->RowTable();
  } else {
    impl->Start(conn.PrepareRead(impl->sql, impl->params));
  }
  conn.Attach(impl.get());
  impl_ = std::move(impl);
}

bool Recordset::IsOpen() const { return impl_ != nullptr; }

void Recordset::Close() noexcept {
  if (!impl_) return;
  impl_->Release();
  impl_.reset();
}

namespace {
template <typename ImplPtr>
auto& Require(const ImplPtr& impl) {
  if (!impl || impl->conn == nullptr) throw DbError("the recordset is not open");
  return *impl;
}
}  // namespace

bool Recordset::Eof() const { return Require(impl_).AtEof(); }

void Recordset::MoveNext() {
  Impl& r = Require(impl_);
  r.LeaveRow();
  if (r.AtEof()) throw DbError("MoveNext past the end of the recordset");
  if (r.scrollable) {
    ++r.pos;
  } else {
    r.Advance();
  }
}

void Recordset::Move(int64_t rows) {
  Impl& r = Require(impl_);
  r.LeaveRow();
  if (!r.scrollable) {
    if (rows < 0) throw DbError("a forward-only recordset cannot move back");
    for (int64_t i = 0; i < rows && !r.eof; ++i) r.Advance();
    return;
  }
  const int64_t target = r.pos + rows;
  if (target < 1) throw DbError("Move before the first row");
  r.pos = target;
}

int64_t Recordset::RecordCount() {
  Impl& r = Require(impl_);
  if (!r.scrollable) return -1;
  if (r.count < 0) {
    db::Session& s = r.session();
    // A select opened from its description is counted from it; one opened from its text, by a
    // count over that text.
    std::unique_ptr<db::Statement> st =
        s.PrepareNative(r.count_sql.empty() ? TranslateCountSql(r.sql, s.engine(), s.hints())
                                            : TranslateSql(r.count_sql, s.engine(), s.hints()));
    r.conn->CountStatement(r.sql, *st);
    st->Bind(r.params);
    r.count = st->Step() ? st->Column(0).ToInt64Or(0) : 0;
    while (st->Step()) {
    }
  }
  return r.count;
}

int64_t Recordset::AbsolutePosition() const {
  Impl& r = Require(impl_);
  if (!r.scrollable) return kPositionUnknown;
  if (r.on_added && r.count >= 0) return r.count;
  return r.AtEof() ? kPositionEof : r.pos;
}

void Recordset::SetAbsolutePosition(int64_t position) {
  Impl& r = Require(impl_);
  if (!r.scrollable) throw DbError("a forward-only recordset has no position");
  if (position < 1) throw DbError("AbsolutePosition must be 1 or more");
  r.LeaveRow();
  r.pos = position;
}

std::vector<std::vector<Variant>> Recordset::GetRows(int64_t max_rows) {
  Impl& r = Require(impl_);
  r.LeaveRow();
  std::vector<std::vector<Variant>> rows;
  if (max_rows == 0) return rows;
  if (!r.scrollable) {
    while (!r.eof && (max_rows < 0 || static_cast<int64_t>(rows.size()) < max_rows)) {
      rows.push_back(r.row);
      r.Advance();
    }
    return rows;
  }
  const int64_t want = max_rows < 0 ? std::numeric_limits<int64_t>::max() : max_rows;
  if (r.count >= 0 && r.pos > r.count) return rows;
  // Rows already in the window are served from it; the rest come in one fetch.
  while (static_cast<int64_t>(rows.size()) < want && r.pos >= r.window_start &&
         r.pos < r.window_start + static_cast<int64_t>(r.window.size())) {
    rows.push_back(r.window[static_cast<size_t>(r.pos - r.window_start)]);
    ++r.pos;
  }
  if (static_cast<int64_t>(rows.size()) < want && !(r.count >= 0 && r.pos > r.count)) {
    const int64_t rest = want - static_cast<int64_t>(rows.size());
    std::vector<std::vector<Variant>> more = r.Fetch(r.pos - 1, rest);
    r.pos += static_cast<int64_t>(more.size());
    for (auto& m : more) rows.push_back(std::move(m));
  }
  return rows;
}

const Variant& Recordset::operator[](std::string_view name) const {
  Impl& r = Require(impl_);
  const int index = r.IndexOf(name);
  return r.Current()[static_cast<size_t>(index)];
}

Variant Recordset::TakeField(std::string_view name) {
  Impl& r = Require(impl_);
  Variant& field = r.Current()[static_cast<size_t>(r.IndexOf(name))];
  if (r.updatable) return field;
  Variant taken = std::move(field);
  field = Variant();
  return taken;
}

const Variant& Recordset::Field(int index) const {
  Impl& r = Require(impl_);
  if (index < 0 || index >= static_cast<int>(r.names().size())) {
    throw DbError("no field number " + std::to_string(index));
  }
  return r.Current()[static_cast<size_t>(index)];
}

int Recordset::FieldCount() const { return static_cast<int>(Require(impl_).names().size()); }

const std::string& Recordset::FieldName(int index) const {
  const Impl& r = Require(impl_);
  if (index < 0 || index >= static_cast<int>(r.names().size())) {
    throw DbError("no field number " + std::to_string(index));
  }
  return r.names()[static_cast<size_t>(index)];
}

bool Recordset::HasField(std::string_view name) const {
  const Impl& r = Require(impl_);
  return r.by_name().count(LCase(name)) != 0;
}

void Recordset::Set(std::string_view name, Variant value) {
  Impl& r = Require(impl_);
  r.RequireUpdatable();
  const int index = r.IndexOf(name);
  r.KindOf(r.names()[static_cast<size_t>(index)]);  // refuses a field that is not a table column
  if (r.edit == Impl::Edit::kNone) {
    std::vector<Variant> copy = r.Current();  // DbError at EOF
    r.edit_row = std::move(copy);
    r.dirty.assign(r.names().size(), false);
    r.edit = Impl::Edit::kChange;
  }
  r.edit_row[static_cast<size_t>(index)] = std::move(value);
  r.dirty[static_cast<size_t>(index)] = true;
}

void Recordset::AddNew() {
  Impl& r = Require(impl_);
  r.RequireUpdatable();
  r.LeaveRow();
  r.edit = Impl::Edit::kAdd;
  r.edit_row.assign(r.names().size(), Variant::Null());
  r.dirty.assign(r.names().size(), false);
}

void Recordset::Update() {
  Impl& r = Require(impl_);
  if (r.edit == Impl::Edit::kNone) return;
  r.RequireUpdatable();
  r.Update();
}

}  // namespace folirex
