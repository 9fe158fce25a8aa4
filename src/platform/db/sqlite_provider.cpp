#include "platform/db/sqlite_provider.h"

#include <sqlite3.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/cache/lru_cache.h"
#include "platform/db/statement_audit.h"
#include "platform/text/vb_text.h"

namespace folirex::db {

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr size_t kMaxIdleStatements = 64;
// Each pooled session has a page cache of its own, and a server keeps one session per worker
// (32 by default): at SQLite's default of 2 MB each they held some 50 MB, mostly copies of the
// same pages, which the system's file cache holds anyway. At 1,000,000 articles 1 MB still holds
// all that each page of the site reads again (once warm, none reads the file); at 512 KB a deep
// class page read some 160 pages of the file each time.
constexpr int kPageCacheKiB = 1024;

// Owners of the engine's handles: a database closed (at once, or once its last statement is
// finalized) and a statement finalized when the holder goes.
struct CloseDatabase {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* st) const noexcept { sqlite3_finalize(st); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, CloseDatabase>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// A compiled statement with what was learnt about it, kept together in the session's cache so
// that a page running the same text again does not work it out again.
struct Compiled {
  StatementHandle handle;
  std::vector<ColumnKind> kinds;  // the columns' declared kinds, as of `prepared`
  int prepared = -1;              // the engine's count of re-compilations when kinds was read
  bool writes = false;            // writes rows (insert, update, delete): counts them
  bool changes_schema = false;    // creates, alters or drops a table
  bool keep = false;              // goes back to the cache when done: its text was run before
  StatementTouches touches;       // as of the statement's last compilation
};

// The table whose rows the compiled select returns (StatementTouches::row_table): the one it
// reads, when it writes nothing and every column comes from that table.
void FindRowTable(sqlite3_stmt* st, StatementTouches& touches) {
  touches.row_table.clear();
  if (touches.reads.size() != 1 || !touches.writes.empty() || !touches.reshapes.empty()) return;
  const int n = sqlite3_column_count(st);
  if (n == 0) return;
  for (int i = 0; i < n; ++i) {
    const char* table = sqlite3_column_table_name(st, i);
    if (table == nullptr || !EqualsIgnoreCase(table, touches.reads.front())) return;
  }
  touches.row_table = touches.reads.front();
}

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw DbError(what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
}

// Binds one value the way the database stores it: flags -1/0, dates as storage text.
int BindValue(sqlite3_stmt* st, int index, const Variant& v) {
  switch (v.type()) {
    case Variant::Type::kEmpty:
    case Variant::Type::kNull:
      return sqlite3_bind_null(st, index);
    case Variant::Type::kBoolean:
      return sqlite3_bind_int64(st, index, v.CBool() ? -1 : 0);
    case Variant::Type::kInteger:
      return sqlite3_bind_int64(st, index, std::get<int64_t>(v.raw()));
    case Variant::Type::kDouble:
      return sqlite3_bind_double(st, index, std::get<double>(v.raw()));
    case Variant::Type::kDate: {
      std::string s = std::get<DateTime>(v.raw()).ToStorage();
      return sqlite3_bind_text(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    case Variant::Type::kText: {
      const std::string& s = std::get<std::string>(v.raw());
      return sqlite3_bind_text(st, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
  }
  return SQLITE_MISUSE;
}

bool ReadDate(sqlite3_value* v, DateTime* out) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_TEXT:
      return DateTime::Parse(reinterpret_cast<const char*>(sqlite3_value_text(v)), out);
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      *out = DateTime::FromSerial(sqlite3_value_double(v));
      return true;
    default:
      return false;
  }
}

// vb_datediff(interval, a, b): the scripting DateDiff; NULL when a date is missing or unreadable.
void DateDiffFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  DateTime a, b;
  if (!ReadDate(argv[1], &a) || !ReadDate(argv[2], &b)) {
    sqlite3_result_null(ctx);
    return;
  }
  const unsigned char* interval = sqlite3_value_text(argv[0]);
  int64_t n = 0;
  if (interval == nullptr || !DateDiff(reinterpret_cast<const char*>(interval), a, b, &n)) {
    sqlite3_result_error(ctx, "datediff: unknown interval", -1);
    return;
  }
  sqlite3_result_int64(ctx, n);
}

// folirex_holds(text, part): 1 when the bytes of part occur within those of text (an empty part
// occurs in any text), else 0; NULL when either is NULL. The test of instr(text, part) > 0 by
// memmem, which skips ahead where instr compares the part at every byte of the text.
void HoldsFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const unsigned char* text = sqlite3_value_text(argv[0]);
  const auto text_bytes = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
  const unsigned char* part = sqlite3_value_text(argv[1]);
  const auto part_bytes = static_cast<size_t>(sqlite3_value_bytes(argv[1]));
  if (text == nullptr || part == nullptr) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  sqlite3_result_int(ctx, memmem(text, text_bytes, part, part_bytes) != nullptr ? 1 : 0);
}

// vb_cstr(x): the text the scripting CStr gives for the value.
void CStrFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string s;
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      sqlite3_result_null(ctx);
      return;
    case SQLITE_INTEGER:
      s = std::to_string(sqlite3_value_int64(argv[0]));
      break;
    case SQLITE_FLOAT:
      s = Variant(sqlite3_value_double(argv[0])).ToString();
      break;
    default:
      s.assign(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
               static_cast<size_t>(sqlite3_value_bytes(argv[0])));
  }
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

class SqliteSession;

class SqliteStatement : public Statement {
 public:
  SqliteStatement(SqliteSession* session, std::string key, Compiled compiled);
  ~SqliteStatement() override;

  void Bind(const std::vector<Variant>& params) override {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    done_ = false;
    first_step_ = true;
    const int expected = sqlite3_bind_parameter_count(stmt_);
    if (static_cast<int>(params.size()) != expected) {
      throw DbError("SQL: " + std::to_string(expected) + " parameters expected, " +
                    std::to_string(params.size()) + " given");
    }
    for (size_t i = 0; i < params.size(); ++i) {
      if (BindValue(stmt_, static_cast<int>(i) + 1, params[i]) != SQLITE_OK) {
        Fail(sqlite3_db_handle(stmt_), "SQL: cannot bind a parameter");
      }
    }
  }

  bool Step() override;

  int ColumnCount() const override { return sqlite3_column_count(stmt_); }
  std::string ColumnName(int index) const override {
    const char* name = sqlite3_column_name(stmt_, index);
    return name != nullptr ? name : "";
  }

  Variant Column(int index) const override {
    const ColumnKind kind = kinds_[static_cast<size_t>(index)];
    switch (sqlite3_column_type(stmt_, index)) {
      case SQLITE_NULL:
        return Variant::Null();
      case SQLITE_INTEGER: {
        int64_t v = sqlite3_column_int64(stmt_, index);
        if (kind == ColumnKind::kBoolean) return Variant(v != 0);
        return Variant(static_cast<long long>(v));
      }
      case SQLITE_FLOAT:
        return Variant(sqlite3_column_double(stmt_, index));
      default: {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
        std::string s(p != nullptr ? p : "",
                      static_cast<size_t>(sqlite3_column_bytes(stmt_, index)));
        if (kind == ColumnKind::kDate) {
          DateTime d;
          if (DateTime::Parse(s, &d)) return Variant(d);
        }
        return Variant(std::move(s));
      }
    }
  }

  int64_t RowsAffected() const override { return affected_; }
  const StatementTouches* touches() const override { return &compiled_.touches; }
  // A write that returns rows (RETURNING) is run as a write, as its first word had it.
  std::optional<bool> ReturnsRows() const override {
    return sqlite3_column_count(stmt_) > 0 && sqlite3_stmt_readonly(stmt_) != 0;
  }

 private:
  SqliteSession* session_;
  std::string key_;
  Compiled compiled_;
  sqlite3_stmt* stmt_;                    // compiled_'s handle, for the calls
  const std::vector<ColumnKind>& kinds_;  // compiled_'s
  bool writes_ = false;
  bool done_ = false;
  bool first_step_ = true;  // the step that may compile the statement again
  int64_t affected_ = 0;
};

// What the sessions of one database file in this process share.
struct SharedFile {
  // Writers take turns here before BEGIN IMMEDIATE: the next one goes the moment a transaction
  // ends, where SQLite's busy handler polls with sleeps of up to 100 ms, which kept clicks on one
  // article waiting that long under a few clients. A writer that cannot get its turn within
  // kWriterGateWait (a thread that holds another transaction on the same file itself) goes on to
  // SQLite's own waiting, as before.
  std::timed_mutex writers;
  // The restarting checkpoint (CheckpointAfterCommit): whether a session runs one now, and the
  // log's length in pages when the last one could not finish (0 when it did).
  std::atomic<bool> restarting{false};
  std::atomic<int> restart_failed_at{0};
};

constexpr std::chrono::milliseconds kWriterGateWait{1000};

std::shared_ptr<SharedFile> SharedFileFor(const std::string& pool_key) {
  static std::mutex mu;
  static auto* files = new std::unordered_map<std::string, std::weak_ptr<SharedFile>>();
  std::lock_guard<std::mutex> lock(mu);
  std::weak_ptr<SharedFile>& slot = (*files)[pool_key];
  std::shared_ptr<SharedFile> file = slot.lock();
  if (!file) {
    file = std::make_shared<SharedFile>();
    slot = file;
  }
  return file;
}

// The write-ahead log's checkpoints, run after each commit in place of SQLite's automatic one
// (which a WAL hook replaces). Past kAutoCheckpointPages it checkpoints PASSIVE, as SQLite
// would; but a passive checkpoint never starts the log over while some reader holds a snapshot
// in it, and with pages read all the time beside the click counters one always did: the log
// grew without end (448 MB after 70,000 clicks) and reads slowed with it. So past
// kRestartPages the checkpoint is a RESTART: it holds off writers, waits for the readers of
// older snapshots (page reads are short; new readers read the database file meanwhile), and the
// next commit starts the log over, cut back to kJournalSizeLimit.
//
// The commit has succeeded whatever the checkpoint does, so it answers SQLITE_OK always. A
// RESTART gives up after the busy timeout (a reader that stays, such as one held open by this
// very thread on another session) and is then not tried again until the log has grown by
// another kRestartPages; one that fails at once (a recordset still open on this session) is
// tried again on the next commit. One session of the file tries at a time; the others
// checkpoint PASSIVE meanwhile.
constexpr int kAutoCheckpointPages = 1000;  // SQLite's default
constexpr int kRestartPages = 4096;
constexpr int64_t kJournalSizeLimit = 8 << 20;

// The busy handler of one try of the RESTART: about 10 ms in all.
int BriefWait(void*, int count) {
  if (count >= 6) return 0;
  std::this_thread::sleep_for(std::chrono::microseconds(100 << count));
  return 1;
}

int CheckpointAfterCommit(void* arg, sqlite3* db, const char* name, int pages) {
  if (pages < kAutoCheckpointPages) return SQLITE_OK;
  SharedFile* file = static_cast<SharedFile*>(arg);
  bool restart = false;
  if (pages >= kRestartPages && !file->restarting.exchange(true)) {
    const int failed_at = file->restart_failed_at.load();
    // A log shorter than at the failed try has been started over since.
    restart = failed_at == 0 || pages < failed_at || pages - failed_at >= kRestartPages;
    if (!restart) file->restarting = false;
  }
  if (!restart) {
    sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return SQLITE_OK;
  }
  // One RESTART waits on the read marks it saw when it began, and readers that keep joining
  // one of them can hold it for longer than any page takes; so each try waits briefly and the
  // next one looks at the marks again, until the busy timeout is spent.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  sqlite3_busy_handler(db, BriefWait, nullptr);
  int rc;
  do {
    rc = sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
  } while ((rc & 0xff) == SQLITE_BUSY && std::chrono::steady_clock::now() < give_up);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (rc == SQLITE_OK) {
    file->restart_failed_at = 0;
  } else if ((rc & 0xff) != SQLITE_LOCKED) {
    file->restart_failed_at = pages;
  }
  file->restarting = false;
  return SQLITE_OK;
}

class SqliteSession : public Session {
 public:
  SqliteSession(DatabaseHandle db, std::string pool_key)
      : handle_(std::move(db)),
        db_(handle_.get()),
        pool_key_(std::move(pool_key)),
        file_(SharedFileFor(pool_key_)),
        turn_(file_->writers, std::defer_lock) {
    sqlite3_wal_hook(db_, CheckpointAfterCommit, file_.get());
    sqlite3_set_authorizer(db_, NoteTouch, this);
    hints_.is_text_column = [this](std::string_view column) { return IsTextColumn(column); };
  }

  SqlEngine engine() const override { return SqlEngine::kSqlite; }
  const std::string& pool_key() const override { return pool_key_; }
  const SqlSchemaHints& hints() override { return hints_; }

  std::unique_ptr<Statement> PrepareNative(std::string_view sql) override {
    std::string key(sql);
    if (std::optional<Compiled> idle = idle_.Take(key)) {
      Compiled compiled = std::move(*idle);
      // A statement that changes the schema makes the next schema question look again.
      if (compiled.changes_schema) schema_checked_ = false;
      return std::make_unique<SqliteStatement>(this, std::move(key), std::move(compiled));
    }
    Compiled compiled;
    // A text with ids written into it is run once and is large (a select of 500 articles by
    // id compiles to some 20 KB): kept idle in each pooled session, such texts held tens of
    // megabytes. A text is kept from its second use on.
    compiled.keep = compiled_once_.SeenBefore(key);
    sqlite3_stmt* made = nullptr;
    const char* tail = nullptr;
    int rc;
    {
      Noting noting(*this, compiled.touches);
      rc = sqlite3_prepare_v3(db_, key.data(), static_cast<int>(key.size()),
                              compiled.keep ? SQLITE_PREPARE_PERSISTENT : 0, &made, &tail);
    }
    StatementHandle st(made);
    if (rc != SQLITE_OK) {
      throw DbError("SQL: " + std::string(sqlite3_errmsg(db_)) + " [" + key + "]");
    }
    if (st == nullptr) throw DbError("SQL: empty statement");
    for (; tail != nullptr && *tail != '\0'; ++tail) {
      if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n' && *tail != ';') {
        throw DbError("SQL: one statement at a time [" + key + "]");
      }
    }
    FindRowTable(st.get(), compiled.touches);
    compiled.touches.parameters = sqlite3_bind_parameter_count(st.get());
    compiled.changes_schema = !compiled.touches.reshapes.empty();
    if (compiled.changes_schema) schema_checked_ = false;
    // Only writes of rows count them; DDL and transaction control leave a stale count behind.
    compiled.writes = !compiled.touches.writes.empty() && !compiled.changes_schema;
    compiled.handle = std::move(st);
    return std::make_unique<SqliteStatement>(this, std::move(key), std::move(compiled));
  }

  std::optional<StatementTouches> Describe(std::string_view sql) override {
    const std::string native = Translated(sql);
    StatementTouches touches;
    sqlite3_stmt* made = nullptr;
    int rc;
    {
      Noting noting(*this, touches, nullptr, true);
      rc = sqlite3_prepare_v3(db_, native.data(), static_cast<int>(native.size()), 0, &made,
                              nullptr);
    }
    StatementHandle st(made);
    if (rc != SQLITE_OK) {
      throw DbError("SQL: " + std::string(sqlite3_errmsg(db_)) + " [" + native + "]");
    }
    if (st == nullptr) throw DbError("SQL: empty statement");
    FindRowTable(st.get(), touches);
    touches.parameters = sqlite3_bind_parameter_count(st.get());
    return touches;
  }

  // The first step of a run, which compiles the statement again when the schema changed since it
  // was compiled (SQLite does that inside the step): what it touches is then noted afresh.
  int StepNotingTouches(sqlite3_stmt* st, StatementTouches& touches) {
    bool compiled_again = false;
    int rc;
    {
      Noting noting(*this, touches, &compiled_again);
      rc = sqlite3_step(st);
    }
    if (compiled_again) FindRowTable(st, touches);
    return rc;
  }

  // Takes a statement back into the cache; it is finalized when it is not to be kept, when the
  // cache holds the same text already, when it is pushed out of the full cache, or when the cache
  // cannot take it.
  void ReturnStatement(std::string key, Compiled compiled) noexcept {
    if (!compiled.keep) return;
    sqlite3_reset(compiled.handle.get());
    sqlite3_clear_bindings(compiled.handle.get());
    try {
      if (idle_.Peek(key) != nullptr) return;  // one idle copy per text is enough
      idle_.Insert(std::move(key), std::move(compiled));
    } catch (...) {
    }
  }

  std::vector<ColumnInfo> TableColumns(std::string_view table) override {
    RefreshSchema();
    auto it = tables_.find(LCase(table));
    if (it == tables_.end()) throw DbError("SQL: no such table: " + std::string(table));
    return it->second;
  }

  int64_t InsertRow(std::string_view table, const std::vector<std::string>& columns,
                    const std::vector<Variant>& values) override {
    bool has_id = false;
    for (const ColumnInfo& c : TableColumns(table)) has_id = has_id || LCase(c.name) == "d_id";
    std::string sql = "INSERT INTO " + QuoteName(table);
    if (columns.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string names, marks;
      for (const std::string& c : columns) {
        names += (names.empty() ? "" : ", ") + QuoteName(c);
        marks += marks.empty() ? "?" : ", ?";
      }
      sql += " (" + names + ") VALUES (" + marks + ")";
    }
    if (has_id) sql += " RETURNING d_id";
    std::unique_ptr<Statement> st = PrepareNative(sql);
    st->Bind(values);
    if (!has_id) {
      while (st->Step()) {
      }
      return sqlite3_last_insert_rowid(db_);
    }
    if (!st->Step()) throw DbError("SQL: the insert gave no row id");
    int64_t id = st->Column(0).ToInt64Or(0);
    while (st->Step()) {
    }
    return id;
  }

  void Begin() override {
    if (!turn_.owns_lock()) static_cast<void>(turn_.try_lock_for(kWriterGateWait));
    try {
      ExecuteNative("BEGIN IMMEDIATE");
    } catch (...) {
      EndTurn();
      throw;
    }
  }
  void Commit() override {
    ExecuteNative("COMMIT");  // a failed commit keeps the turn for the rollback that follows
    EndTurn();
  }
  void Rollback() override {
    if (sqlite3_get_autocommit(db_) == 0) ExecuteNative("ROLLBACK");
    EndTurn();
  }

  bool Recycle() noexcept override {
    // The next user looks at the schema version again once, before it relies on the schema.
    schema_checked_ = false;
    try {
      if (sqlite3_get_autocommit(db_) == 0) ExecuteNative("ROLLBACK");
      EndTurn();
      return sqlite3_get_autocommit(db_) != 0;
    } catch (...) {
      EndTurn();
      return false;
    }
  }

  bool IsTextColumn(std::string_view column) {
    RefreshSchema();
    auto it = text_columns_.find(LCase(column));
    return it != text_columns_.end() && it->second;
  }

 private:
  // While a statement compiles, the authorizer's notes go into its touches: a compilation notes
  // them from none, so that one inside a step replaces what the first compilation noted.
  class Noting {
   public:
    Noting(SqliteSession& session, StatementTouches& touches, bool* noted = nullptr,
           bool details = false)
        : session_(session) {
      session_.noting_ = &touches;
      session_.noted_ = noted;
      session_.clear_first_ = true;
      session_.details_ = details || InstalledStatementAudit() != nullptr;
    }
    ~Noting() {
      session_.noting_ = nullptr;
      session_.noted_ = nullptr;
    }
    Noting(const Noting&) = delete;
    Noting& operator=(const Noting&) = delete;

   private:
    SqliteSession& session_;
  };

  // SQLite's authorizer: called as a statement compiles, with each table and column it reads,
  // each table it writes, creates, alters or drops, and each function it calls. It allows
  // everything, and only takes notes into the statement compiling (none outside Noting).
  static int NoteTouch(void* arg, int action, const char* a, const char* b, const char*,
                       const char*) {
    SqliteSession& s = *static_cast<SqliteSession*>(arg);
    if (s.noting_ == nullptr) return SQLITE_OK;
    StatementTouches& touches = *s.noting_;
    if (s.clear_first_) {
      touches.Clear();
      s.clear_first_ = false;
      if (s.noted_ != nullptr) *s.noted_ = true;
    }
    const std::string_view first = a != nullptr ? a : "";
    const std::string_view second = b != nullptr ? b : "";
    switch (action) {
      case SQLITE_READ:
        touches.NoteRead(first, second, s.details_);
        break;
      case SQLITE_INSERT:
      case SQLITE_UPDATE:
      case SQLITE_DELETE:
        touches.NoteWrite(first);
        break;
      case SQLITE_CREATE_TABLE:
      case SQLITE_CREATE_TEMP_TABLE:
      case SQLITE_DROP_TABLE:
      case SQLITE_DROP_TEMP_TABLE:
        touches.NoteReshape(first);
        break;
      case SQLITE_ALTER_TABLE:
        touches.NoteReshape(second);
        break;
      case SQLITE_FUNCTION:
        if (s.details_) touches.NoteFunction(second);
        break;
      default:
        break;
    }
    return SQLITE_OK;
  }

  // Reloads the table metadata when the schema has changed since it was read; the version is
  // asked once per use of the session (between two Recycle calls), not once per statement.
  void RefreshSchema() {
    if (schema_checked_) return;
    schema_checked_ = true;
    int version = SchemaVersion();
    if (version == schema_version_) return;
    ForgetTranslations();
    tables_.clear();
    text_columns_.clear();
    std::vector<std::string> names;
    {
      std::unique_ptr<Statement> st =
          PrepareNative("SELECT name FROM sqlite_schema WHERE type = 'table'");
      while (st->Step()) names.push_back(st->Column(0).ToString());
    }
    for (const std::string& name : names) {
      std::vector<ColumnInfo> columns;
      std::unique_ptr<Statement> st =
          PrepareNative("SELECT name, type FROM pragma_table_info(?) ORDER BY cid");
      st->Bind({Variant(name)});
      while (st->Step()) {
        ColumnInfo c;
        c.name = st->Column(0).ToString();
        c.kind = ColumnKindOfDeclaredType(st->Column(1).ToString());
        const std::string key = LCase(c.name);
        // A name is text only when every table that has it declares it text.
        auto [it, inserted] = text_columns_.emplace(key, c.kind == ColumnKind::kText);
        if (!inserted) it->second = it->second && c.kind == ColumnKind::kText;
        columns.push_back(std::move(c));
      }
      tables_[LCase(name)] = std::move(columns);
    }
    schema_version_ = version;
  }

  int SchemaVersion() {
    std::unique_ptr<Statement> st = PrepareNative("PRAGMA schema_version");
    int version = st->Step() ? static_cast<int>(st->Column(0).ToInt64Or(0)) : 0;
    while (st->Step()) {
    }
    return version;
  }

  void EndTurn() noexcept {
    if (turn_.owns_lock() && sqlite3_get_autocommit(db_) != 0) turn_.unlock();
  }

  DatabaseHandle handle_;  // first, so that it is closed after the statements below
  sqlite3* db_;            // handle_'s, for the calls
  std::string pool_key_;
  std::shared_ptr<SharedFile> file_;         // outlives the WAL hook's use of it
  std::unique_lock<std::timed_mutex> turn_;  // held from Begin to the end of the transaction
  SqlSchemaHints hints_;
  bool schema_checked_ = false;
  LruCache<std::string, Compiled> idle_{kMaxIdleStatements};  // a charge of 1 each
  RepeatedTexts compiled_once_;                               // texts compiled and not kept
  // The authorizer's notes: where they go while a statement compiles (Noting).
  StatementTouches* noting_ = nullptr;
  bool* noted_ = nullptr;
  bool clear_first_ = false;
  bool details_ = false;
  int schema_version_ = -1;
  std::unordered_map<std::string, std::vector<ColumnInfo>> tables_;
  std::unordered_map<std::string, bool> text_columns_;
};

bool SqliteStatement::Step() {
  if (done_) return false;
  int rc;
  if (first_step_) {
    first_step_ = false;
    rc = session_->StepNotingTouches(stmt_, compiled_.touches);
  } else {
    rc = sqlite3_step(stmt_);
  }
  if (rc == SQLITE_ROW) return true;
  done_ = true;
  sqlite3* db = sqlite3_db_handle(stmt_);
  if (rc == SQLITE_DONE) {
    if (writes_) affected_ = sqlite3_changes64(db);
    sqlite3_reset(stmt_);  // ends the read at once, so that WAL checkpoints are not held up
    return false;
  }
  std::string message = sqlite3_errmsg(db);
  sqlite3_reset(stmt_);
  throw DbError("SQL: " + message + " [" + sqlite3_sql(stmt_) + "]");
}

SqliteStatement::SqliteStatement(SqliteSession* session, std::string key, Compiled compiled)
    : session_(session),
      key_(std::move(key)),
      compiled_(std::move(compiled)),
      stmt_(compiled_.handle.get()),
      kinds_(compiled_.kinds),
      writes_(compiled_.writes) {
  // The engine compiles a statement again when the schema has changed under it, and its
  // columns may have changed with it: then they are read again.
  const int prepared = sqlite3_stmt_status(stmt_, SQLITE_STMTSTATUS_REPREPARE, 0);
  const int n = sqlite3_column_count(stmt_);
  if (prepared == compiled_.prepared && static_cast<int>(compiled_.kinds.size()) == n) return;
  compiled_.kinds.clear();
  compiled_.kinds.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const char* declared = sqlite3_column_decltype(stmt_, i);
    compiled_.kinds.push_back(declared != nullptr ? ColumnKindOfDeclaredType(declared)
                                                  : ColumnKind::kOther);
  }
  compiled_.prepared = prepared;
}

SqliteStatement::~SqliteStatement() {
  session_->ReturnStatement(std::move(key_), std::move(compiled_));
}

}  // namespace

std::unique_ptr<Session> OpenSqliteSession(const std::string& path, std::string pool_key) {
  // SQLite's memory statistics take one process-wide mutex on every allocation, which the
  // workers then queue on; nothing reads the statistics. This must precede SQLite's
  // initialisation and fails harmlessly when something opened a database before.
  static std::once_flag no_memory_statistics;
  std::call_once(no_memory_statistics, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
  sqlite3* opened = nullptr;
  // Never SQLITE_OPEN_CREATE: a wrong path must fail, not leave an empty database behind.
  int rc =
      sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  DatabaseHandle handle(opened);  // made even when the open fails, to tell why
  sqlite3* db = handle.get();
  if (rc != SQLITE_OK) {
    throw DbError("cannot open the database " + path + ": " +
                  (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  char* error = nullptr;
  const std::string pragmas =
      "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
      "PRAGMA journal_size_limit=" +
      std::to_string(kJournalSizeLimit) + "; PRAGMA cache_size=-" + std::to_string(kPageCacheKiB) +
      ";";
  rc = sqlite3_exec(db, pragmas.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::string message = error != nullptr ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    throw DbError("cannot open the database " + path + ": " + message);
  }
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  if (sqlite3_create_function_v2(db, "vb_datediff", 3, flags, nullptr, DateDiffFunction, nullptr,
                                 nullptr, nullptr) != SQLITE_OK ||
      sqlite3_create_function_v2(db, "vb_cstr", 1, flags, nullptr, CStrFunction, nullptr, nullptr,
                                 nullptr) != SQLITE_OK ||
      sqlite3_create_function_v2(db, "folirex_holds", 2, flags, nullptr, HoldsFunction, nullptr,
                                 nullptr, nullptr) != SQLITE_OK) {
    throw DbError("cannot open the database " + path + ": " + sqlite3_errmsg(db));
  }
  return std::make_unique<SqliteSession>(std::move(handle), std::move(pool_key));
}

}  // namespace folirex::db
