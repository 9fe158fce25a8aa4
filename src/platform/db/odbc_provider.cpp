#include "platform/db/odbc_provider.h"

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/text/vb_text.h"

namespace folirex::db {

namespace {

constexpr SQLULEN kLoginTimeoutSeconds = 10;

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The driver's diagnostic records, "[state] message; ...".
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string out;
  for (SQLSMALLINT i = 1; i <= 5; ++i) {
    SQLCHAR state[6] = {0};
    SQLCHAR message[1024] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(type, handle, i, state, &native, message, sizeof message, &length);
    if (!Ok(rc)) break;
    if (!out.empty()) out += "; ";
    out += "[" + std::string(reinterpret_cast<char*>(state)) + "] " +
           std::string(reinterpret_cast<char*>(message));
  }
  return out.empty() ? "unknown ODBC error" : out;
}

// Owns one ODBC handle of the type, freed when the holder goes; a connection handle that was
// connected is disconnected first. Move-only.
template <SQLSMALLINT kType>
class OdbcHandle {
 public:
  OdbcHandle() = default;
  ~OdbcHandle() { Reset(); }
  OdbcHandle(OdbcHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, SQLHANDLE{})),
        connected_(std::exchange(other.connected_, false)) {}
  OdbcHandle& operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, SQLHANDLE{});
      connected_ = std::exchange(other.connected_, false);
    }
    return *this;
  }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  // A new handle under the parent (SQL_NULL_HANDLE for an environment); false when the driver
  // manager refuses, whose reasons are then in the parent's diagnostics.
  bool Allocate(SQLHANDLE parent) {
    Reset();
    SQLHANDLE made = SQL_NULL_HANDLE;
    if (!Ok(SQLAllocHandle(kType, parent, &made))) return false;
    handle_ = made;
    return true;
  }
  // The connection handle has been connected: it is disconnected before it is freed.
  void SetConnected() { connected_ = true; }

  SQLHANDLE get() const { return handle_; }

  void Reset() noexcept {
    if (handle_ == SQL_NULL_HANDLE) return;
    if constexpr (kType == SQL_HANDLE_DBC) {
      if (connected_) SQLDisconnect(handle_);
    }
    SQLFreeHandle(kType, handle_);
    handle_ = SQL_NULL_HANDLE;
    connected_ = false;
  }

 private:
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
  bool connected_ = false;
};

using EnvironmentHandle = OdbcHandle<SQL_HANDLE_ENV>;
using ConnectionHandle = OdbcHandle<SQL_HANDLE_DBC>;
using StatementHandle = OdbcHandle<SQL_HANDLE_STMT>;

// One environment for the process, made on first use. Every session holds it as well, so that it
// is freed only after the last connection handle made on it.
std::shared_ptr<EnvironmentHandle> Environment() {
  static const std::shared_ptr<EnvironmentHandle> env = [] {
    auto e = std::make_shared<EnvironmentHandle>();
    if (!e->Allocate(SQL_NULL_HANDLE)) return std::shared_ptr<EnvironmentHandle>();
    SQLSetEnvAttr(e->get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return e;
  }();
  if (!env) throw DbError("ODBC: cannot create the environment");
  return env;
}

// What a statement needs of its session: the declared kind of a table's column (kOther when the
// table or column is unknown), and the guard that lets one statement fail inside a transaction
// without failing the transaction.
class StatementSession {
 public:
  virtual ColumnKind KindOfColumn(std::string_view table, std::string_view column) = 0;
  // Called before a statement runs; true when a guard was set that EndGuard must end.
  virtual bool BeginGuard(std::string_view leading_keyword) = 0;
  virtual void EndGuard(bool succeeded) = 0;

 protected:
  ~StatementSession() = default;
};

class OdbcStatement : public Statement {
 public:
  OdbcStatement(SQLHDBC dbc, std::string_view sql, StatementSession* session)
      : sql_(sql), session_(session) {
    if (!handle_.Allocate(dbc)) throw DbError("ODBC: " + Diagnostics(SQL_HANDLE_DBC, dbc));
    st_ = handle_.get();
    SQLRETURN rc = SQLPrepare(st_, reinterpret_cast<SQLCHAR*>(sql_.data()),
                              static_cast<SQLINTEGER>(sql_.size()));
    if (!Ok(rc)) throw DbError("SQL: " + Diagnostics(SQL_HANDLE_STMT, st_) + " [" + sql_ + "]");
    keyword_ = LeadingKeyword(sql_);
    writes_ = keyword_ == "insert" || keyword_ == "update" || keyword_ == "delete";
  }

  void Bind(const std::vector<Variant>& params) override {
    SQLFreeStmt(st_, SQL_CLOSE);
    SQLFreeStmt(st_, SQL_RESET_PARAMS);
    executed_ = done_ = false;
    const size_t n = params.size();
    // The buffers must stay where they are until the statement has run.
    texts_.assign(n, std::string());
    numbers_.assign(n, 0);
    reals_.assign(n, 0);
    stamps_.assign(n, SQL_TIMESTAMP_STRUCT{});
    lengths_.assign(n, 0);
    for (size_t i = 0; i < n; ++i) {
      const Variant& v = params[i];
      const SQLUSMALLINT index = static_cast<SQLUSMALLINT>(i + 1);
      SQLRETURN rc;
      switch (v.type()) {
        case Variant::Type::kEmpty:
        case Variant::Type::kNull:
          lengths_[i] = SQL_NULL_DATA;
          rc = SQLBindParameter(st_, index, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr,
                                0, &lengths_[i]);
          break;
        case Variant::Type::kBoolean:
        case Variant::Type::kInteger:
          numbers_[i] = v.type() == Variant::Type::kBoolean ? (v.CBool() ? -1 : 0) : v.ToInt64();
          rc = SQLBindParameter(st_, index, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                &numbers_[i], 0, nullptr);
          break;
        case Variant::Type::kDouble:
          reals_[i] = v.CDbl();
          rc = SQLBindParameter(st_, index, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                &reals_[i], 0, nullptr);
          break;
        case Variant::Type::kDate: {
          const DateTime& d = std::get<DateTime>(v.raw());
          SQL_TIMESTAMP_STRUCT& ts = stamps_[i];
          ts.year = static_cast<SQLSMALLINT>(d.year);
          ts.month = static_cast<SQLUSMALLINT>(d.month);
          ts.day = static_cast<SQLUSMALLINT>(d.day);
          ts.hour = static_cast<SQLUSMALLINT>(d.hour);
          ts.minute = static_cast<SQLUSMALLINT>(d.minute);
          ts.second = static_cast<SQLUSMALLINT>(d.second);
          rc = SQLBindParameter(st_, index, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                SQL_TYPE_TIMESTAMP, 19, 0, &ts, 0, nullptr);
          break;
        }
        default:
          texts_[i] = v.ToString();
          lengths_[i] = static_cast<SQLLEN>(texts_[i].size());
          rc = SQLBindParameter(st_, index, SQL_PARAM_INPUT, SQL_C_CHAR,
                                texts_[i].size() > 4000 ? SQL_LONGVARCHAR : SQL_VARCHAR,
                                texts_[i].empty() ? 1 : texts_[i].size(), 0, texts_[i].data(),
                                lengths_[i], &lengths_[i]);
      }
      if (!Ok(rc))
        throw DbError("SQL: cannot bind a parameter: " + Diagnostics(SQL_HANDLE_STMT, st_));
    }
  }

  bool Step() override {
    if (done_) return false;
    if (!executed_) {
      executed_ = true;
      const bool guarded = session_ != nullptr && session_->BeginGuard(keyword_);
      SQLRETURN rc = SQLExecute(st_);
      if (rc != SQL_NO_DATA && !Ok(rc)) {
        done_ = true;
        std::string message = Diagnostics(SQL_HANDLE_STMT, st_);
        if (guarded) session_->EndGuard(false);
        throw DbError("SQL: " + message + " [" + sql_ + "]");
      }
      if (guarded) session_->EndGuard(true);
      if (writes_) {
        SQLLEN count = 0;
        if (rc != SQL_NO_DATA && Ok(SQLRowCount(st_, &count)) && count > 0) affected_ = count;
      }
      Describe();
      if (names_.empty()) {
        done_ = true;
        return false;
      }
    }
    SQLRETURN rc = SQLFetch(st_);
    if (rc == SQL_NO_DATA) {
      done_ = true;
      SQLFreeStmt(st_, SQL_CLOSE);
      return false;
    }
    if (!Ok(rc)) {
      done_ = true;
      throw DbError("SQL: " + Diagnostics(SQL_HANDLE_STMT, st_) + " [" + sql_ + "]");
    }
    row_.clear();
    for (size_t i = 0; i < names_.size(); ++i) row_.push_back(ReadColumn(i));
    return true;
  }

  int ColumnCount() const override {
    const_cast<OdbcStatement*>(this)->Describe();
    return static_cast<int>(names_.size());
  }
  std::string ColumnName(int index) const override {
    const_cast<OdbcStatement*>(this)->Describe();
    return names_.at(static_cast<size_t>(index));
  }
  Variant Column(int index) const override { return row_.at(static_cast<size_t>(index)); }
  int64_t RowsAffected() const override { return affected_; }
  std::optional<std::string> RowTable() const override {
    if (!described_ || keyword_ != "select") return std::nullopt;
    if (!row_table_read_) {
      row_table_ = RowTableOf(static_cast<SQLSMALLINT>(names_.size()));
      row_table_read_ = true;
    }
    return row_table_;
  }

 private:
  void Describe() {
    if (described_) return;
    SQLSMALLINT count = 0;
    if (!Ok(SQLNumResultCols(st_, &count))) return;  // not known before the statement runs
    described_ = true;
    names_.clear();
    types_.clear();
    yes_no_.clear();
    for (SQLSMALLINT i = 1; i <= count; ++i) {
      SQLCHAR name[256] = {0};
      SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      SQLDescribeCol(st_, static_cast<SQLUSMALLINT>(i), name, sizeof name, &name_length, &type,
                     &size, &digits, &nullable);
      names_.emplace_back(reinterpret_cast<char*>(name));
      types_.push_back(type);
      yes_no_.push_back(IsWholeNumber(type) && ReadsYesNoColumn(static_cast<SQLUSMALLINT>(i)));
    }
  }

  // The table every column comes from, as the driver describes the result (Statement::RowTable);
  // "" for columns of no one table; nullopt when the driver does not say.
  std::optional<std::string> RowTableOf(SQLSMALLINT count) const {
    std::string table;
    for (SQLSMALLINT i = 1; i <= count; ++i) {
      SQLCHAR name[256] = {0};
      SQLSMALLINT length = 0;
      if (!Ok(SQLColAttribute(st_, static_cast<SQLUSMALLINT>(i), SQL_DESC_BASE_TABLE_NAME, name,
                              sizeof name, &length, nullptr))) {
        return std::nullopt;
      }
      const std::string column_table(reinterpret_cast<char*>(name));
      if (column_table.empty() || (i > 1 && !EqualsIgnoreCase(column_table, table))) return "";
      table = column_table;
    }
    return table;
  }

  static bool IsWholeNumber(SQLSMALLINT type) {
    return type == SQL_TINYINT || type == SQL_SMALLINT || type == SQL_INTEGER || type == SQL_BIGINT;
  }

  // A flag travels as a whole number; whether it is one is told by the table column the result
  // column reads (the driver knows it from the server), as a file database tells by the declared
  // type. A computed column is a number.
  bool ReadsYesNoColumn(SQLUSMALLINT index) {
    if (session_ == nullptr) return false;
    SQLCHAR table[256] = {0};
    SQLCHAR column[256] = {0};
    SQLSMALLINT length = 0;
    if (!Ok(SQLColAttribute(st_, index, SQL_DESC_BASE_TABLE_NAME, table, sizeof table, &length,
                            nullptr)) ||
        table[0] == 0 ||
        !Ok(SQLColAttribute(st_, index, SQL_DESC_BASE_COLUMN_NAME, column, sizeof column, &length,
                            nullptr)) ||
        column[0] == 0) {
      return false;
    }
    return session_->KindOfColumn(reinterpret_cast<char*>(table),
                                  reinterpret_cast<char*>(column)) == ColumnKind::kBoolean;
  }

  // A column of a fixed-size C type; nullopt for NULL.
  template <typename T>
  std::optional<T> ReadFixed(SQLUSMALLINT col, SQLSMALLINT c_type) {
    T value{};
    SQLLEN indicator = 0;
    SQLGetData(st_, col, c_type, &value, 0, &indicator);
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    return value;
  }

  Variant ReadColumn(size_t i) {
    const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(i + 1);
    switch (types_[i]) {
      case SQL_BIT: {
        const std::optional<unsigned char> b = ReadFixed<unsigned char>(col, SQL_C_BIT);
        return b ? Variant(*b != 0) : Variant::Null();
      }
      case SQL_TINYINT:
      case SQL_SMALLINT:
      case SQL_INTEGER:
      case SQL_BIGINT: {
        const std::optional<SQLBIGINT> v = ReadFixed<SQLBIGINT>(col, SQL_C_SBIGINT);
        if (!v) return Variant::Null();
        if (yes_no_[i]) return Variant(*v != 0);
        return Variant(static_cast<long long>(*v));
      }
      case SQL_REAL:
      case SQL_FLOAT:
      case SQL_DOUBLE:
      case SQL_NUMERIC:
      case SQL_DECIMAL: {
        const std::optional<double> v = ReadFixed<double>(col, SQL_C_DOUBLE);
        return v ? Variant(*v) : Variant::Null();
      }
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIMESTAMP:
      case SQL_DATE:
      case SQL_TIMESTAMP: {
        const std::optional<SQL_TIMESTAMP_STRUCT> stamp =
            ReadFixed<SQL_TIMESTAMP_STRUCT>(col, SQL_C_TYPE_TIMESTAMP);
        if (!stamp) return Variant::Null();
        const SQL_TIMESTAMP_STRUCT& ts = *stamp;
        DateTime d;
        d.year = ts.year;
        d.month = ts.month;
        d.day = ts.day;
        d.hour = ts.hour;
        d.minute = ts.minute;
        d.second = ts.second;
        return Variant(d);
      }
      default: {
        std::string out;
        SQLLEN indicator = 0;
        char buf[4096];
        for (;;) {
          SQLRETURN rc = SQLGetData(st_, col, SQL_C_CHAR, buf, sizeof buf, &indicator);
          if (rc == SQL_NO_DATA) break;
          if (!Ok(rc)) throw DbError("SQL: " + Diagnostics(SQL_HANDLE_STMT, st_));
          if (indicator == SQL_NULL_DATA) return Variant::Null();
          // A full buffer holds sizeof buf - 1 bytes and its terminator.
          size_t got = (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buf))
                           ? sizeof buf - 1
                           : static_cast<size_t>(indicator);
          out.append(buf, got);
          if (rc == SQL_SUCCESS) break;
        }
        return Variant(std::move(out));
      }
    }
  }

  std::string sql_;
  StatementSession* session_;
  std::string keyword_;
  SQLHSTMT st_ = SQL_NULL_HSTMT;  // handle_'s, for the calls
  bool writes_ = false;
  bool executed_ = false;
  bool done_ = false;
  bool described_ = false;
  int64_t affected_ = 0;
  std::vector<std::string> texts_;
  std::vector<SQLBIGINT> numbers_;
  std::vector<double> reals_;
  std::vector<SQL_TIMESTAMP_STRUCT> stamps_;
  std::vector<SQLLEN> lengths_;
  std::vector<std::string> names_;
  std::vector<SQLSMALLINT> types_;
  std::vector<bool> yes_no_;  // whole-number columns that read a yes/no table column
  // Asked of the driver only when a caller wants it (an updatable recordset).
  mutable std::optional<std::string> row_table_;
  mutable bool row_table_read_ = false;
  std::vector<Variant> row_;
  // Last, so that it is freed first, while the buffers bound to it are still there.
  StatementHandle handle_;
};

class OdbcSession : public Session, public StatementSession {
 public:
  OdbcSession(std::shared_ptr<EnvironmentHandle> env, ConnectionHandle connection, SqlEngine engine,
              std::string pool_key)
      : env_(std::move(env)),
        connection_(std::move(connection)),
        dbc_(connection_.get()),
        engine_(engine),
        pool_key_(std::move(pool_key)) {
    hints_.is_text_column = [this](std::string_view column) { return IsTextColumn(column); };
  }

  SqlEngine engine() const override { return engine_; }
  const std::string& pool_key() const override { return pool_key_; }
  const SqlSchemaHints& hints() override { return hints_; }

  std::unique_ptr<Statement> PrepareNative(std::string_view sql) override {
    // A statement that changes the tables makes what was read of them stale.
    const std::string first = LeadingKeyword(sql);
    if (first == "create" || first == "alter" || first == "drop") schema_loaded_ = false;
    return std::make_unique<OdbcStatement>(dbc_, sql, this);
  }

  std::vector<ColumnInfo> TableColumns(std::string_view table) override {
    LoadSchema();
    auto it = tables_.find(LCase(table));
    if (it == tables_.end()) throw DbError("SQL: no such table: " + std::string(table));
    return it->second;
  }

  ColumnKind KindOfColumn(std::string_view table, std::string_view column) override {
    LoadSchema();
    auto it = tables_.find(LCase(table));
    if (it == tables_.end()) return ColumnKind::kOther;
    const std::string name = LCase(column);
    for (const ColumnInfo& c : it->second) {
      if (LCase(c.name) == name) return c.kind;
    }
    return ColumnKind::kOther;
  }

  // Inside a transaction PostgreSQL gives up the whole transaction at a failed statement; a
  // savepoint around each statement keeps the failure to that statement, as a database file
  // does. Transaction control itself runs unguarded.
  bool BeginGuard(std::string_view keyword) override {
    if (!in_transaction_ || keyword == "savepoint" || keyword == "release" ||
        keyword == "rollback" || keyword == "commit" || keyword == "begin" || keyword == "end") {
      return false;
    }
    RunDirect("SAVEPOINT vb_stmt");
    return true;
  }
  void EndGuard(bool succeeded) override {
    if (!succeeded) RunDirect("ROLLBACK TO SAVEPOINT vb_stmt");
    RunDirect("RELEASE SAVEPOINT vb_stmt");
  }

  int64_t InsertRow(std::string_view table, const std::vector<std::string>& columns,
                    const std::vector<Variant>& values) override {
    return InsertReturningId(*this, table, columns, values);
  }

  void Begin() override {
    Check(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
    in_transaction_ = true;
  }
  void Commit() override { End(SQL_COMMIT); }
  void Rollback() override {
    if (in_transaction_) End(SQL_ROLLBACK);
  }

  bool Recycle() noexcept override {
    try {
      if (in_transaction_) End(SQL_ROLLBACK);
      SQLUINTEGER dead = SQL_CD_FALSE;
      SQLGetConnectAttr(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
      return dead != SQL_CD_TRUE;
    } catch (...) {
      return false;
    }
  }

 private:
  void Check(SQLRETURN rc) {
    if (!Ok(rc)) throw DbError("ODBC: " + Diagnostics(SQL_HANDLE_DBC, dbc_));
  }

  // Runs a statement of the provider's own (no result, no parameters).
  void RunDirect(const char* sql) {
    StatementHandle st;
    if (!st.Allocate(dbc_)) throw DbError("ODBC: " + Diagnostics(SQL_HANDLE_DBC, dbc_));
    SQLRETURN rc =
        SQLExecDirect(st.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
    if (!Ok(rc)) {
      throw DbError("SQL: " + Diagnostics(SQL_HANDLE_STMT, st.get()) + " [" + sql + "]");
    }
  }

  void End(SQLSMALLINT how) {
    in_transaction_ = false;
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, how);
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                      0);
    Check(rc);
  }

  // A column's kind from its declared type: a domain (yesno, datetime) names it, else the
  // type itself, where an extension's type (citext) is named by its udt_name.
  static ColumnKind KindOf(const Variant& data_type, const Variant& domain, const Variant& udt) {
    for (const Variant* name : {&domain, &udt}) {
      if (name->IsBlank()) continue;
      ColumnKind k = ColumnKindOfDeclaredType(name->ToString());
      if (k != ColumnKind::kOther) return k;
    }
    return ColumnKindOfDeclaredType(data_type.ToString());
  }

  // Reads every column of the schema's tables once per session (and again after DDL).
  void LoadSchema() {
    if (schema_loaded_) return;
    std::unordered_map<std::string, std::vector<ColumnInfo>> tables;
    std::unordered_map<std::string, bool> text_columns;
    std::unique_ptr<Statement> st = PrepareNative(
        "SELECT table_name, column_name, data_type, domain_name, udt_name "
        "FROM information_schema.columns WHERE table_schema = current_schema() "
        "ORDER BY table_name, ordinal_position");
    st->Bind({});
    while (st->Step()) {
      ColumnInfo c;
      c.name = st->Column(1).ToString();
      c.kind = KindOf(st->Column(2), st->Column(3), st->Column(4));
      // A name is text only when every table that has it declares it text.
      auto [it, inserted] = text_columns.emplace(LCase(c.name), c.kind == ColumnKind::kText);
      if (!inserted) it->second = it->second && c.kind == ColumnKind::kText;
      tables[LCase(st->Column(0).ToString())].push_back(std::move(c));
    }
    tables_ = std::move(tables);
    text_columns_ = std::move(text_columns);
    schema_loaded_ = true;
  }

  bool IsTextColumn(std::string_view column) {
    LoadSchema();
    auto it = text_columns_.find(LCase(column));
    return it != text_columns_.end() && it->second;
  }

  std::shared_ptr<EnvironmentHandle> env_;  // outlives the connection handle made on it
  ConnectionHandle connection_;
  SQLHDBC dbc_;  // connection_'s, for the calls
  SqlEngine engine_;
  std::string pool_key_;
  SqlSchemaHints hints_;
  bool in_transaction_ = false;
  bool schema_loaded_ = false;
  std::unordered_map<std::string, bool> text_columns_;
  std::unordered_map<std::string, std::vector<ColumnInfo>> tables_;
};

}  // namespace

std::string LocalTimeZoneName() {
  auto plain = [](std::string name) -> std::string {
    if (!name.empty() && name[0] == ':') name.erase(0, 1);
    while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
    if (name.empty() || name.size() > 64) return "";
    for (char c : name) {
      const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '/' || c == '_' || c == '-' || c == '+';
      if (!ok) return "";
    }
    return name;
  };
  if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') return plain(tz);
  char link[512];
  ssize_t n = ::readlink("/etc/localtime", link, sizeof link - 1);
  if (n > 0) {
    std::string target(link, static_cast<size_t>(n));
    size_t at = target.find("zoneinfo/");
    if (at != std::string::npos) return plain(target.substr(at + 9));
  }
  std::ifstream file("/etc/timezone");
  std::string name;
  if (std::getline(file, name)) return plain(name);
  return "";
}

std::string OdbcDriverLibrary(const std::string& driver_name) {
  static std::mutex env_mutex;
  std::lock_guard<std::mutex> lock(env_mutex);
  std::shared_ptr<EnvironmentHandle> env = Environment();
  SQLCHAR description[512];
  SQLCHAR attributes[4096];
  SQLSMALLINT description_length = 0, attributes_length = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLRETURN rc =
        SQLDrivers(env->get(), direction, description, sizeof description, &description_length,
                   attributes, sizeof attributes, &attributes_length);
    direction = SQL_FETCH_NEXT;
    if (!Ok(rc)) return "";
    if (LCase(reinterpret_cast<char*>(description)) != LCase(driver_name)) continue;
    // "key=value" pairs, each ended by a zero byte, the list by another.
    const char* p = reinterpret_cast<const char*>(attributes);
    const char* end = p + sizeof attributes;
    while (p < end && *p != '\0') {
      const std::string pair(p, strnlen(p, static_cast<size_t>(end - p)));
      if (LCase(pair.substr(0, 7)) == "driver=") return pair.substr(7);
      p += pair.size() + 1;
    }
    return "";
  }
}

std::unique_ptr<Session> OpenOdbcSession(const ConnectionTarget& target, std::string pool_key) {
  static std::mutex env_mutex;  // allocation of connection handles on the shared environment
  std::shared_ptr<EnvironmentHandle> env;
  ConnectionHandle connection;
  {
    std::lock_guard<std::mutex> lock(env_mutex);
    env = Environment();
    if (!connection.Allocate(env->get())) {
      throw DbError("ODBC: " + Diagnostics(SQL_HANDLE_ENV, env->get()));
    }
  }
  SQLHDBC dbc = connection.get();
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds),
                    0);
  // psqlODBC's own rollback of a failed statement (savepoints of its own around each one) drops
  // the savepoints of nested transactions; the session guards statements itself instead. Drivers
  // that do not know the keyword ignore it.
  std::string text = target.OdbcConnectionString() + "Protocol=7.4-0;";
  SQLCHAR out[1024];
  SQLSMALLINT out_length = 0;
  SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                  static_cast<SQLSMALLINT>(text.size()), out, sizeof out,
                                  &out_length, SQL_DRIVER_NOPROMPT);
  std::memset(text.data(), 0, text.size());  // the password does not linger in memory
  if (!Ok(rc)) {
    const std::string where =
        target.port.empty() ? target.server : target.server + ":" + target.port;
    throw DbError("cannot connect to the database server " + where + " through driver {" +
                  target.driver + "}: " + Diagnostics(SQL_HANDLE_DBC, dbc));
  }
  connection.SetConnected();
  SQLCHAR name[256] = {0};
  SQLSMALLINT name_length = 0;
  SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, &name_length);
  const std::string dbms(reinterpret_cast<char*>(name));
  if (LCase(dbms).find("postgresql") == std::string::npos) {
    throw DbError("the database server " + target.server + " runs \"" + dbms +
                  "\"; only PostgreSQL is supported through ODBC");
  }
  auto session = std::make_unique<OdbcSession>(std::move(env), std::move(connection),
                                               SqlEngine::kPostgres, std::move(pool_key));
  const std::string zone = LocalTimeZoneName();
  if (!zone.empty()) {
    try {
      session->ExecuteNative("SET TIME ZONE '" + zone + "'");
    } catch (const DbError&) {
      // A zone the server does not know: its own time zone stays.
    }
  }
  try {
    session->ExecuteNative(kServerSessionSettings);
  } catch (const DbError&) {
    // A server that refuses it keeps its own setting.
  }
  return session;
}

}  // namespace folirex::db
