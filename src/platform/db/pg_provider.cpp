#include "platform/db/pg_provider.h"

#include <libpq-fe.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/db/odbc_provider.h"
#include "platform/db/sql_params.h"
#include "platform/text/vb_text.h"

namespace folirex::db {

namespace {

// Type identifiers of the built-in types (pg_type.oid), fixed since PostgreSQL 7.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184, kNumeric = 1700;

// Statement texts a session keeps prepared at most, and texts it remembers having seen once.
constexpr size_t kMaxPrepared = 256;
constexpr size_t kMaxSeen = 1024;

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct ConnDeleter {
  void operator()(PGconn* c) const { PQfinish(c); }
};

// libpq's messages end in a line feed and may span lines: one line for the pages' messages.
std::string OneLine(const char* message) {
  std::string out;
  for (const char* p = message; p != nullptr && *p != '\0'; ++p) {
    if (*p == '\n' || *p == '\r' || *p == '\t') {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(*p);
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out.empty() ? "unknown PostgreSQL error" : out;
}

bool IsWholeNumber(Oid type) { return type == kInt2 || type == kInt4 || type == kInt8; }

// The session's plans: the general plan of a statement kept prepared, made once (UseGeneralPlans);
// a plan for the values at hand.
constexpr const char* kGeneralPlans = "SET plan_cache_mode = force_generic_plan";
constexpr const char* kPlansForValues = "SET plan_cache_mode = auto";

// The statements a session prepares under a name: the ones pages run again and again.
bool Preparable(const std::string& keyword) {
  return keyword == "select" || keyword == "insert" || keyword == "update" || keyword == "delete" ||
         keyword == "with";
}

// "yyyy-mm-dd[ hh:mm:ss[.ffffff][+zz]]" as the server writes dates and timestamps.
bool ParseStamp(const char* text, DateTime* out) {
  auto digits = [](const char* p, int n, int* value) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
      if (p[i] < '0' || p[i] > '9') return false;
      v = v * 10 + (p[i] - '0');
    }
    *value = v;
    return true;
  };
  DateTime d;
  if (!digits(text, 4, &d.year) || text[4] != '-' || !digits(text + 5, 2, &d.month) ||
      text[7] != '-' || !digits(text + 8, 2, &d.day)) {
    return false;
  }
  d.hour = d.minute = d.second = 0;
  if (text[10] == ' ') {
    if (!digits(text + 11, 2, &d.hour) || text[13] != ':' || !digits(text + 14, 2, &d.minute) ||
        text[16] != ':' || !digits(text + 17, 2, &d.second)) {
      return false;
    }
  }
  *out = d;
  return true;
}

class PgSession;

// One execution's result and the row being read.
class PgStatement : public Statement {
 public:
  PgStatement(PgSession* session, std::string_view sql) : session_(session), sql_(sql) {
    keyword_ = LeadingKeyword(sql_);
    writes_ = keyword_ == "insert" || keyword_ == "update" || keyword_ == "delete";
  }

  void Bind(const std::vector<Variant>& params) override;
  bool Step() override;
  int ColumnCount() const override { return result_ ? PQnfields(result_.get()) : 0; }
  std::string ColumnName(int index) const override {
    if (!result_ || index < 0 || index >= PQnfields(result_.get())) {
      throw DbError("no column number " + std::to_string(index));
    }
    return PQfname(result_.get(), index);
  }
  Variant Column(int index) const override;
  int64_t RowsAffected() const override { return affected_; }
  std::optional<std::string> RowTable() const override;

  // Whether the session may run the statement with others (PgSession::RunTogether): a select,
  // bound and not run yet.
  bool WaitsToRead(const PgSession* session) const {
    return session == session_ && !executed_ && keyword_ == "select";
  }
  const std::string& sql() const { return sql_; }
  const std::string& keyword() const { return keyword_; }
  const std::vector<Oid>& types() const { return types_; }
  const std::vector<std::string>& values() const { return values_; }
  const std::vector<bool>& nulls() const { return nulls_; }
  // Takes the statement's result, as its first Step does from a run of its own.
  void Accept(Result result);

 private:
  PgSession* session_;
  std::string sql_;
  std::string keyword_;
  bool writes_ = false;
  // The bound values as text (the server reads each as its declared type).
  std::vector<std::string> values_;
  std::vector<Oid> types_;
  std::vector<bool> nulls_;
  bool executed_ = false;
  Result result_;
  int row_ = -1;
  int rows_ = 0;
  int64_t affected_ = 0;
  std::vector<bool> yes_no_;  // whole-number columns that read a yes/no table column
};

class PgSession : public Session {
 public:
  PgSession(PGconn* conn, std::string pool_key) : conn_(conn), pool_key_(std::move(pool_key)) {
    hints_.is_text_column = [this](std::string_view column) { return IsTextColumn(column); };
  }

  SqlEngine engine() const override { return SqlEngine::kPostgres; }
  const std::string& pool_key() const override { return pool_key_; }
  const SqlSchemaHints& hints() override { return hints_; }

  std::unique_ptr<Statement> PrepareNative(std::string_view sql) override {
    return std::make_unique<PgStatement>(this, sql);
  }

  void RunTogether(const std::vector<Statement*>& reads) override;

  std::vector<ColumnInfo> TableColumns(std::string_view table) override {
    LoadSchema();
    auto it = tables_.find(LCase(table));
    if (it == tables_.end()) throw DbError("SQL: no such table: " + std::string(table));
    return it->second;
  }

  int64_t InsertRow(std::string_view table, const std::vector<std::string>& columns,
                    const std::vector<Variant>& values) override {
    return InsertReturningId(*this, table, columns, values);
  }

  // The BEGIN waits for the transaction's first statement and goes with it.
  void Begin() override {
    if (in_transaction_) return;
    in_transaction_ = true;
    begin_pending_ = true;
  }
  void Commit() override { End("COMMIT"); }
  void Rollback() override {
    if (in_transaction_) End("ROLLBACK");
  }

  bool Recycle() noexcept override {
    planned_values_.clear();
    try {
      if (in_transaction_) End("ROLLBACK");
      if (PQstatus(conn_.get()) != CONNECTION_OK) return false;
      if (PQtransactionStatus(conn_.get()) != PQTRANS_IDLE) {
        Result r(PQexec(conn_.get(), "ROLLBACK"));
      }
      return PQstatus(conn_.get()) == CONNECTION_OK &&
             PQtransactionStatus(conn_.get()) == PQTRANS_IDLE;
    } catch (...) {
      return false;
    }
  }

  // Runs one statement: its text in the engine's dialect ("?" placeholders), the bound values.
  // Answers the statement's result; throws DbError when it fails.
  Result Run(const std::string& sql, const std::string& keyword, const std::vector<Oid>& types,
             const std::vector<std::string>& values, const std::vector<bool>& nulls);

  // Whether column `column` of the result reads a yes/no table column.
  bool ReadsYesNo(const PGresult* result, int column) {
    const Oid table = PQftable(result, column);
    if (table == InvalidOid) return false;
    LoadSchema();
    auto it = kinds_.find(Key(table, PQftablecol(result, column)));
    return it != kinds_.end() && it->second == ColumnKind::kBoolean;
  }

  // The one table every column of the result comes from, as the server describes the result
  // (StatementTouches::row_table on SQLite); "" when the columns come from none or several.
  std::string TableOfColumns(const PGresult* result) {
    const int fields = PQnfields(result);
    if (fields == 0) return "";
    const Oid table = PQftable(result, 0);
    if (table == InvalidOid) return "";
    for (int i = 1; i < fields; ++i) {
      if (PQftable(result, i) != table) return "";
    }
    LoadSchema();
    auto it = table_names_.find(table);
    return it == table_names_.end() ? "" : it->second;
  }

  // A statement kept prepared runs its general plan, made once, whatever its values: with the
  // server's default, a statement whose general plan looks dearer than one made for the values
  // at hand (the related articles' keyword patterns) was planned again at every run, which cost
  // more than running it. The pages bind only values that do not change which index serves a
  // statement (ids, flags, patterns that begin with a wildcard); a search binds its keyword
  // under PlannedForValues (platform/db/connection.h).
  void UseGeneralPlans() {
    Result r(PQexec(conn_.get(), kGeneralPlans));
    // A server older than the setting (PostgreSQL 12) keeps choosing for itself.
  }

  void SetServerSettings() {
    Result r(PQexec(conn_.get(), kServerSessionSettings));
    // A server that refuses it keeps its own setting.
  }

  void SetTimeZone(const std::string& zone) {
    Result r(PQexec(conn_.get(), ("SET TIME ZONE '" + zone + "'").c_str()));
    // A zone the server does not know: its own time zone stays.
  }

 private:
  struct Prepared {
    std::string name;
  };
  // How a statement's text is sent: a text run before is prepared under a name (once) and then
  // only bound and executed. `key` is the text with its parameters' types; `prepared` null sends
  // the text as it is.
  struct Preparing {
    std::string key;
    Prepared* prepared = nullptr;
    bool prepare_now = false;  // prepare it in this run, under prepared->name
  };
  Preparing PreparingOf(const std::string& sql, const std::string& keyword,
                        const std::vector<Oid>& types);
  // Whether a statement sent as `preparing` says, binding `values` values, is planned for them
  // (see Run).
  bool PlannedForItsValues(const Preparing& preparing, size_t values) const {
    return preparing.prepared == nullptr && values > 0 && PQserverVersion(conn_.get()) >= 120000;
  }
  // Sends one statement into the open pipeline, as Run and RunTogether send it: [planned for the
  // values] [prepare] the statement [general plans again]. False when libpq refused a send.
  bool SendStatement(const std::string& sql, const Preparing& preparing, bool for_values,
                     const std::vector<Oid>& types, const std::vector<std::string>& values,
                     const std::vector<bool>& nulls);
  // Whether value `i` is one the session plans for (PlanForValues), bound as text.
  bool IsPlannedValue(const std::vector<Oid>& types, const std::vector<std::string>& values,
                      const std::vector<bool>& nulls, size_t i) const;
  // Reads the results up to the pipeline's sync.
  void ReadToSync();
  // Forgets the schema and every prepared statement, after a change of a table.
  void ForgetPrepared();

  static uint64_t Key(Oid table, int column) {
    return (static_cast<uint64_t>(table) << 16) ^ static_cast<uint64_t>(column & 0xffff);
  }

  [[noreturn]] void Fail(const char* what, const std::string& sql) {
    throw DbError(std::string("SQL: ") + what + " [" + sql + "]");
  }

  // "?" placeholders become $1, $2, ... outside quoted text and names.
  static std::string Numbered(const std::string& sql) {
    return ReplacePlaceholders(sql, [](size_t i) { return "$" + std::to_string(i + 1); });
  }

  void End(const char* how) {
    const bool sent = !begin_pending_;
    in_transaction_ = false;
    begin_pending_ = false;
    if (!sent) return;  // nothing ran: the server never saw the transaction
    Result r(PQexec(conn_.get(), how));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
      throw DbError(std::string("SQL: ") + OneLine(PQerrorMessage(conn_.get())) + " [" + how + "]");
    }
    // A transaction the server had given up answers COMMIT with ROLLBACK.
    if (std::strcmp(how, "COMMIT") == 0 && std::strcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0) {
      throw DbError("SQL: the transaction was rolled back by the server [COMMIT]");
    }
  }

  // Reads the pipeline's next result (the command's, then the null that ends it).
  Result NextResult() {
    Result r(PQgetResult(conn_.get()));
    if (r && PQresultStatus(r.get()) != PGRES_PIPELINE_SYNC) {
      while (PGresult* extra = PQgetResult(conn_.get())) PQclear(extra);
    }
    return r;
  }

  // A column's kind from its declared type: a domain (yesno, datetime) names it, else the base
  // type, where an extension's type (citext) is named too.
  static ColumnKind KindOf(const char* type_kind, const char* type_name, const char* base_name) {
    if (type_kind[0] == 'd') {
      ColumnKind k = ColumnKindOfDeclaredType(type_name);
      if (k != ColumnKind::kOther) return k;
      return ColumnKindOfDeclaredType(base_name);
    }
    return ColumnKindOfDeclaredType(type_name);
  }

  // Reads every column of the schema's tables once per session (and again after DDL).
  void LoadSchema() {
    if (schema_loaded_) return;
    Result r(PQexec(conn_.get(),
                    "SELECT c.oid, c.relname, a.attnum, a.attname, t.typtype, t.typname, "
                    "coalesce(b.typname, '') FROM pg_attribute a "
                    "JOIN pg_class c ON c.oid = a.attrelid "
                    "JOIN pg_type t ON t.oid = a.atttypid "
                    "LEFT JOIN pg_type b ON b.oid = t.typbasetype "
                    "WHERE c.relnamespace = current_schema()::regnamespace "
                    "AND c.relkind IN ('r', 'v', 'm', 'p', 'f') AND a.attnum > 0 "
                    "AND NOT a.attisdropped ORDER BY c.relname, a.attnum"));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
      throw DbError("SQL: cannot read the schema: " + OneLine(PQerrorMessage(conn_.get())));
    }
    std::unordered_map<std::string, std::vector<ColumnInfo>> tables;
    std::unordered_map<std::string, bool> text_columns;
    std::unordered_map<uint64_t, ColumnKind> kinds;
    std::unordered_map<Oid, std::string> names;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
      ColumnInfo c;
      c.name = PQgetvalue(r.get(), i, 3);
      c.kind =
          KindOf(PQgetvalue(r.get(), i, 4), PQgetvalue(r.get(), i, 5), PQgetvalue(r.get(), i, 6));
      const Oid table = static_cast<Oid>(std::strtoul(PQgetvalue(r.get(), i, 0), nullptr, 10));
      kinds[Key(table, std::atoi(PQgetvalue(r.get(), i, 2)))] = c.kind;
      names.emplace(table, PQgetvalue(r.get(), i, 1));
      // A name is text only when every table that has it declares it text.
      auto [it, inserted] = text_columns.emplace(LCase(c.name), c.kind == ColumnKind::kText);
      if (!inserted) it->second = it->second && c.kind == ColumnKind::kText;
      tables[LCase(PQgetvalue(r.get(), i, 1))].push_back(std::move(c));
    }
    tables_ = std::move(tables);
    text_columns_ = std::move(text_columns);
    kinds_ = std::move(kinds);
    table_names_ = std::move(names);
    schema_loaded_ = true;
  }

  bool IsTextColumn(std::string_view column) {
    LoadSchema();
    auto it = text_columns_.find(LCase(column));
    return it != text_columns_.end() && it->second;
  }

  std::unique_ptr<PGconn, ConnDeleter> conn_;
  std::string pool_key_;
  SqlSchemaHints hints_;
  bool in_transaction_ = false;
  bool begin_pending_ = false;
  bool schema_loaded_ = false;
  std::unordered_map<std::string, bool> text_columns_;
  std::unordered_map<std::string, std::vector<ColumnInfo>> tables_;
  std::unordered_map<uint64_t, ColumnKind> kinds_;
  std::unordered_map<Oid, std::string> table_names_;
  // Statement text (with its parameters' types) -> its name on the server.
  std::unordered_map<std::string, Prepared> prepared_;
  std::unordered_map<std::string, bool> seen_;
  int64_t next_name_ = 0;
};

Result PgSession::Run(const std::string& sql, const std::string& keyword,
                      const std::vector<Oid>& types, const std::vector<std::string>& values,
                      const std::vector<bool>& nulls) {
  PGconn* c = conn_.get();
  // In a statement that binds the first value the session plans for (a search's like pattern),
  // the values it plans for (the keyword's, which decide which index serves the statement) are
  // written into the text as literals, quoted by libpq: the statement is then planned for them,
  // and kept prepared with that plan when it runs again like any other. Bound, they would be
  // planned for again at every run, or given one plan for every keyword. Other statements that
  // bind them (a kept count's lookup) keep their one plan.
  const auto binds_first = [&] {
    for (size_t i = 0; i < values.size(); ++i) {
      if (types[i] == 0 && !nulls[i] && values[i] == planned_values_.front()) return true;
    }
    return false;
  };
  if (!planned_values_.empty() && binds_first()) {
    std::vector<Oid> left_types;
    std::vector<std::string> left_values;
    std::vector<bool> left_nulls;
    const std::string text = ReplacePlaceholders(sql, [&](size_t i) -> std::string {
      if (i >= values.size()) return "?";
      if (IsPlannedValue(types, values, nulls, i)) {
        char* literal = PQescapeLiteral(c, values[i].data(), values[i].size());
        if (literal == nullptr) Fail(PQerrorMessage(c), sql);
        std::string quoted(literal);
        PQfreemem(literal);
        return quoted;
      }
      left_types.push_back(types[i]);
      left_values.push_back(values[i]);
      left_nulls.push_back(nulls[i]);
      return "?";
    });
    // binds_first found one planned value, so the text holds no placeholder for it any more.
    return Run(text, keyword, left_types, left_values, left_nulls);
  }
  const bool ddl = keyword == "create" || keyword == "alter" || keyword == "drop";
  const bool control = keyword == "savepoint" || keyword == "release" || keyword == "rollback" ||
                       keyword == "commit" || keyword == "begin" || keyword == "end";
  const bool guarded = in_transaction_ && !control;

  const Preparing preparing = PreparingOf(sql, keyword, types);
  const std::string& key = preparing.key;
  const bool prepare_now = preparing.prepare_now;

  // A statement run once so far (a search's, whose keyword is in its text) is planned for the
  // values it binds: the general plan (UseGeneralPlans) takes a bound channel for a fifth of the
  // articles, and joined the channel's whole list from an index of it to a keyword's few rows.
  // Failing, the statement ends its transaction or savepoint, which takes the setting back too.
  // A server older than the setting (PostgreSQL 12) chooses for itself.
  const bool for_values = PlannedForItsValues(preparing, values.size());
  // One flight: [BEGIN] [SAVEPOINT] [planned for the values] [prepare] statement [general plans
  // again] [RELEASE], then the sync.
  if (PQenterPipelineMode(c) != 1) {
    throw DbError("SQL: " + OneLine(PQerrorMessage(c)) + " [" + sql + "]");
  }
  auto send = [&](int ok) {
    if (ok != 1) {
      std::string message = OneLine(PQerrorMessage(c));
      PQexitPipelineMode(c);
      throw DbError("SQL: " + message + " [" + sql + "]");
    }
  };
  const bool begin = begin_pending_;
  if (begin) send(PQsendQueryParams(c, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0));
  if (guarded) {
    send(PQsendQueryParams(c, "SAVEPOINT vb_stmt", 0, nullptr, nullptr, nullptr, nullptr, 0));
  }
  send(SendStatement(sql, preparing, for_values, types, values, nulls) ? 1 : 0);
  if (guarded) {
    send(PQsendQueryParams(c, "RELEASE SAVEPOINT vb_stmt", 0, nullptr, nullptr, nullptr, nullptr,
                           0));
  }
  if (PQpipelineSync(c) != 1) send(0);

  // The results in the order sent; the first failure is the statement's.
  std::string failure;
  Result statement_result;
  bool prepare_failed = false;
  if (begin) {
    Result r = NextResult();
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK && failure.empty()) {
      failure = OneLine(PQresultErrorMessage(r.get()));
    }
  }
  if (guarded) {
    Result r = NextResult();
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK && failure.empty()) {
      failure = OneLine(PQresultErrorMessage(r.get()));
    }
  }
  if (for_values) NextResult();
  if (prepare_now) {
    Result r = NextResult();
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
      prepare_failed = true;
      if (failure.empty()) failure = OneLine(PQresultErrorMessage(r.get()));
    }
  }
  {
    Result r = NextResult();
    const ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) {
      statement_result = std::move(r);
    } else if (failure.empty()) {
      failure = r ? OneLine(PQresultErrorMessage(r.get())) : OneLine(PQerrorMessage(c));
    }
  }
  if (for_values) NextResult();
  if (guarded) NextResult();
  ReadToSync();
  PQexitPipelineMode(c);
  if (begin && PQstatus(c) == CONNECTION_OK) begin_pending_ = false;
  if (prepare_failed) prepared_.erase(key);
  if (!failure.empty()) {
    if (guarded && PQstatus(c) == CONNECTION_OK && PQtransactionStatus(c) == PQTRANS_INERROR) {
      Result r(PQexec(c, "ROLLBACK TO SAVEPOINT vb_stmt; RELEASE SAVEPOINT vb_stmt"));
    }
    throw DbError("SQL: " + failure + " [" + sql + "]");
  }
  if (ddl) ForgetPrepared();
  return statement_result;
}

bool PgSession::SendStatement(const std::string& sql, const Preparing& preparing, bool for_values,
                              const std::vector<Oid>& types, const std::vector<std::string>& values,
                              const std::vector<bool>& nulls) {
  PGconn* c = conn_.get();
  const auto setting = [c](const char* text) {
    return PQsendQueryParams(c, text, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
  };
  const int n = static_cast<int>(values.size());
  std::vector<const char*> pointers(values.size());
  for (size_t i = 0; i < values.size(); ++i) pointers[i] = nulls[i] ? nullptr : values[i].c_str();
  const Prepared* prepared = preparing.prepared;
  // A statement kept prepared is not sent as text again.
  const std::string text =
      prepared != nullptr && !preparing.prepare_now ? std::string() : Numbered(sql);
  if (for_values && !setting(kPlansForValues)) return false;
  if (preparing.prepare_now &&
      PQsendPrepare(c, prepared->name.c_str(), text.c_str(), n, types.data()) != 1) {
    return false;
  }
  const int sent = prepared != nullptr ? PQsendQueryPrepared(c, prepared->name.c_str(), n,
                                                             pointers.data(), nullptr, nullptr, 0)
                                       : PQsendQueryParams(c, text.c_str(), n, types.data(),
                                                           pointers.data(), nullptr, nullptr, 0);
  return sent == 1 && (!for_values || setting(kGeneralPlans));
}

bool PgSession::IsPlannedValue(const std::vector<Oid>& types,
                               const std::vector<std::string>& values,
                               const std::vector<bool>& nulls, size_t i) const {
  return types[i] == 0 && !nulls[i] &&
         std::find(planned_values_.begin(), planned_values_.end(), values[i]) !=
             planned_values_.end();
}

PgSession::Preparing PgSession::PreparingOf(const std::string& sql, const std::string& keyword,
                                            const std::vector<Oid>& types) {
  Preparing preparing;
  if (!Preparable(keyword)) return preparing;
  std::string& key = preparing.key;
  key.reserve(sql.size() + types.size() * 5 + 1);
  key = sql;
  key.push_back('\x1f');
  for (Oid t : types) key += std::to_string(t) + ",";
  auto found = prepared_.find(key);
  if (found != prepared_.end()) {
    preparing.prepared = &found->second;
  } else if (seen_.count(key) != 0) {
    if (prepared_.size() >= kMaxPrepared) {
      Result r(PQexec(conn_.get(), "DEALLOCATE ALL"));
      prepared_.clear();
    }
    preparing.prepared = &prepared_[key];
    preparing.prepared->name = "f" + std::to_string(++next_name_);
    preparing.prepare_now = true;
  } else {
    if (seen_.size() >= kMaxSeen) seen_.clear();
    seen_.emplace(key, true);
  }
  return preparing;
}

void PgSession::ReadToSync() {
  // A connection that is gone has no sync result.
  PGconn* c = conn_.get();
  for (int empty = 0; empty < 8;) {
    Result r(PQgetResult(c));
    if (!r) {
      if (PQstatus(c) != CONNECTION_OK) break;
      ++empty;
      continue;
    }
    if (PQresultStatus(r.get()) == PGRES_PIPELINE_SYNC) break;
  }
}

// The reads go in one flight, each as Run sends a statement outside a transaction: [planned for
// the values] [prepare] statement [general plans again], then one sync for all. The server runs
// them one after the other in one implicit transaction, so they read the same rows, and each
// result goes to its statement. After a failure the server skips the rest up to the sync: those,
// and the one that failed, run alone at their first Step and answer for themselves there.
void PgSession::RunTogether(const std::vector<Statement*>& reads) {
  std::vector<PgStatement*> together;
  for (Statement* read : reads) {
    auto* statement = dynamic_cast<PgStatement*>(read);
    if (statement != nullptr && statement->WaitsToRead(this)) together.push_back(statement);
  }
  // In a transaction each statement has a savepoint of its own, and a search's statements are
  // planned for its keyword (Run). A flight that would fill the prepared statements runs alone:
  // making room forgets them all, those of the flight too.
  if (together.size() < 2 || in_transaction_ || !planned_values_.empty() ||
      prepared_.size() + together.size() >= kMaxPrepared) {
    return;
  }
  PGconn* c = conn_.get();
  struct Flight {
    PgStatement* statement;
    Preparing preparing;
    bool for_values;
    Result result;
  };
  std::vector<Flight> flights;
  flights.reserve(together.size());
  for (PgStatement* statement : together) {
    Preparing preparing = PreparingOf(statement->sql(), statement->keyword(), statement->types());
    const bool for_values = PlannedForItsValues(preparing, statement->values().size());
    flights.push_back({statement, std::move(preparing), for_values, nullptr});
  }
  const auto forget_prepared_now = [&] {
    for (const Flight& flight : flights) {
      if (flight.preparing.prepare_now) prepared_.erase(flight.preparing.key);
    }
  };
  if (PQenterPipelineMode(c) != 1) {
    forget_prepared_now();
    return;
  }
  bool sent = true;
  for (const Flight& flight : flights) {
    const PgStatement& st = *flight.statement;
    sent = SendStatement(st.sql(), flight.preparing, flight.for_values, st.types(), st.values(),
                         st.nulls());
    if (!sent) break;
  }
  if (!sent || PQpipelineSync(c) != 1) {
    // The connection failed under the flight: each statement meets that on its own.
    forget_prepared_now();
    PQexitPipelineMode(c);
    return;
  }
  bool failed = false;
  for (Flight& flight : flights) {
    if (flight.for_values) NextResult();
    if (flight.preparing.prepare_now) {
      Result r = NextResult();
      if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
        prepared_.erase(flight.preparing.key);
        failed = true;
      }
    }
    Result r = NextResult();
    if (!failed && r && PQresultStatus(r.get()) == PGRES_TUPLES_OK) {
      flight.result = std::move(r);
    } else {
      failed = true;
    }
    if (flight.for_values) NextResult();
  }
  ReadToSync();
  PQexitPipelineMode(c);
  // Out of the pipeline: taking a result may read the schema.
  for (Flight& flight : flights) {
    if (flight.result) flight.statement->Accept(std::move(flight.result));
  }
}

void PgSession::ForgetPrepared() {
  // A changed table can change what a prepared statement reads.
  schema_loaded_ = false;
  if (!prepared_.empty()) {
    Result r(PQexec(conn_.get(), "DEALLOCATE ALL"));
    prepared_.clear();
  }
  seen_.clear();
}

void PgStatement::Bind(const std::vector<Variant>& params) {
  executed_ = false;
  result_.reset();
  row_ = -1;
  rows_ = 0;
  affected_ = 0;
  const size_t n = params.size();
  values_.assign(n, std::string());
  types_.assign(n, 0);
  nulls_.assign(n, false);
  for (size_t i = 0; i < n; ++i) {
    const Variant& v = params[i];
    switch (v.type()) {
      case Variant::Type::kEmpty:
      case Variant::Type::kNull:
        nulls_[i] = true;  // of no declared type: the server takes the column's
        break;
      // A whole number that fits is an integer, not a bigint: the functions the pages call
      // (substr, left, ...) take integers, and a bigint does not turn into one by itself.
      case Variant::Type::kBoolean:
        types_[i] = kInt4;
        values_[i] = v.CBool() ? "-1" : "0";
        break;
      case Variant::Type::kInteger: {
        const int64_t number = v.ToInt64();
        types_[i] = number >= INT32_MIN && number <= INT32_MAX ? kInt4 : kInt8;
        values_[i] = std::to_string(number);
        break;
      }
      case Variant::Type::kDouble: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", v.CDbl());
        types_[i] = kFloat8;
        values_[i] = buffer;
        break;
      }
      case Variant::Type::kDate: {
        const DateTime& d = std::get<DateTime>(v.raw());
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month,
                      d.day, d.hour, d.minute, d.second);
        types_[i] = kTimestamp;
        values_[i] = buffer;
        break;
      }
      default:
        // Text of no declared type: the server reads it as what it is compared with or stored
        // in (a whole number, a date, case-blind text).
        values_[i] = v.ToString();
    }
  }
}

void PgStatement::Accept(Result result) {
  executed_ = true;
  result_ = std::move(result);
  rows_ =
      result_ && PQresultStatus(result_.get()) == PGRES_TUPLES_OK ? PQntuples(result_.get()) : 0;
  if (writes_ && result_) {
    const char* count = PQcmdTuples(result_.get());
    if (count != nullptr && *count != '\0') affected_ = std::strtoll(count, nullptr, 10);
  }
  if (result_) {
    const int fields = PQnfields(result_.get());
    yes_no_.assign(static_cast<size_t>(fields), false);
    for (int i = 0; i < fields; ++i) {
      if (IsWholeNumber(PQftype(result_.get(), i))) {
        yes_no_[static_cast<size_t>(i)] = session_->ReadsYesNo(result_.get(), i);
      }
    }
  }
  row_ = -1;
}

bool PgStatement::Step() {
  if (!executed_) Accept(session_->Run(sql_, keyword_, types_, values_, nulls_));
  if (row_ + 1 >= rows_) {
    row_ = rows_;
    return false;
  }
  ++row_;
  return true;
}

std::optional<std::string> PgStatement::RowTable() const {
  if (!result_ || PQresultStatus(result_.get()) != PGRES_TUPLES_OK) return std::nullopt;
  if (writes_) return "";
  return session_->TableOfColumns(result_.get());
}

Variant PgStatement::Column(int index) const {
  if (!result_ || row_ < 0 || row_ >= rows_ || index < 0 || index >= PQnfields(result_.get())) {
    throw DbError("no current row or no column number " + std::to_string(index));
  }
  PGresult* r = result_.get();
  if (PQgetisnull(r, row_, index)) return Variant::Null();
  const char* text = PQgetvalue(r, row_, index);
  const int length = PQgetlength(r, row_, index);
  switch (PQftype(r, index)) {
    case kBool:
      return Variant(text[0] == 't');
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid: {
      long long v = 0;
      std::from_chars(text, text + length, v);
      if (yes_no_[static_cast<size_t>(index)]) return Variant(v != 0);
      return Variant(v);
    }
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return Variant(std::strtod(text, nullptr));
    case kDate:
    case kTimestamp:
    case kTimestampTz: {
      DateTime d;
      if (ParseStamp(text, &d)) return Variant(d);
      return Variant(std::string(text, static_cast<size_t>(length)));
    }
    default:
      return Variant(std::string(text, static_cast<size_t>(length)));
  }
}

}  // namespace

namespace {

using Conn = std::unique_ptr<PGconn, ConnDeleter>;

// Connects to `host` (a name, an address, or the folder of the server's local socket) with the
// target's port, database and login; a connection whose status is not CONNECTION_OK is answered
// too, for its message. Null only when libpq is out of memory.
Conn Connect(const ConnectionTarget& target, const std::string& host) {
  // An empty port is the server's default one.
  const std::string port = target.port.empty() ? "5432" : target.port;
  const char* keys[] = {"host",
                        "port",
                        "dbname",
                        "user",
                        "password",
                        "connect_timeout",
                        "client_encoding",
                        "application_name",
                        nullptr};
  const char* values[] = {host.c_str(),
                          port.c_str(),
                          target.database.c_str(),
                          target.uid.c_str(),
                          target.pwd.c_str(),
                          "10",
                          "UTF8",
                          "folirex",
                          nullptr};
  return Conn(PQconnectdbParams(keys, values, 0));
}

// One text value of a one-row query; empty when it fails.
std::string ValueOf(PGconn* conn, const char* sql) {
  Result r(PQexec(conn, sql));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK || PQntuples(r.get()) != 1) return "";
  return PQgetvalue(r.get(), 0, 0);
}

bool IsLoopbackHost(const std::string& host) {
  const std::string h = LCase(host);
  return h == "localhost" || h == "::1" || h == "[::1]" || h.rfind("127.", 0) == 0;
}

// A server on this machine is reached through its local socket when it has one that this process
// can open: a statement's round trip then costs both sides about a third less CPU than through
// the loopback network. Which way each database goes is found out once per process (per pool
// key): the folders the server names (when the login may read that setting) and the packaged
// server's are tried, and a socket counts only when the server behind it is the same one (the same
// start time) and takes the same login. Anything else stays on the network, as configured.
class LocalRoutes {
 public:
  static LocalRoutes& Instance() {
    static auto* routes = new LocalRoutes();  // never destroyed: sessions may outlive main
    return *routes;
  }

  // The socket folder for the pool key; empty for the network. Unknown yet: false.
  bool Known(const std::string& pool_key, std::string* folder) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = folders_.find(pool_key);
    if (it == folders_.end()) return false;
    *folder = it->second;
    return true;
  }

  void Remember(const std::string& pool_key, const std::string& folder) {
    std::lock_guard<std::mutex> lock(mu_);
    folders_[pool_key] = folder;
  }

  void Forget(const std::string& pool_key) {
    std::lock_guard<std::mutex> lock(mu_);
    folders_.erase(pool_key);
  }

 private:
  std::mutex mu_;
  std::unordered_map<std::string, std::string> folders_;
};

// The socket folders to try for the server behind `network`: those it names, then the packaged
// server's own. Never a folder that anyone may write in (/tmp) unless the server names it: a
// socket put there by another user would be sent the login before the server could be checked.
std::vector<std::string> SocketFolders(PGconn* network) {
  std::vector<std::string> folders;
  Result r(PQexec(network, "SELECT current_setting('unix_socket_directories', true)"));
  if (PQresultStatus(r.get()) == PGRES_TUPLES_OK && PQntuples(r.get()) == 1 &&
      !PQgetisnull(r.get(), 0, 0)) {
    for (const std::string& entry : Split(PQgetvalue(r.get(), 0, 0), ",")) {
      std::string folder = Trim(entry);
      if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
        folder = folder.substr(1, folder.size() - 2);
      }
      if (!folder.empty() && folder.front() == '/') folders.push_back(folder);
    }
  }
  for (const char* usual : {"/var/run/postgresql", "/run/postgresql"}) {
    if (std::find(folders.begin(), folders.end(), usual) == folders.end()) {
      folders.push_back(usual);
    }
  }
  return folders;
}

// A connection through the local socket of the server that `network` is connected to; null when
// there is none this process can use. Sets *folder to the socket's folder.
Conn SameServerLocally(const ConnectionTarget& target, PGconn* network, std::string* folder) {
  const std::string started = ValueOf(network, "SELECT pg_postmaster_start_time()::text");
  if (started.empty()) return nullptr;
  const std::string port = target.port.empty() ? "5432" : target.port;
  for (const std::string& candidate : SocketFolders(network)) {
    struct stat st {};
    const std::string path = candidate + "/.s.PGSQL." + port;
    if (::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    Conn conn = Connect(target, candidate);
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK) continue;
    if (ValueOf(conn.get(), "SELECT pg_postmaster_start_time()::text") != started) continue;
    *folder = candidate;
    return conn;
  }
  return nullptr;
}

std::unique_ptr<Session> MakeSession(Conn conn, std::string pool_key) {
  // The server's notices ("... does not exist, skipping") are not the pages' business.
  PQsetNoticeProcessor(
      conn.get(), [](void*, const char*) {}, nullptr);
  auto session = std::make_unique<PgSession>(conn.release(), std::move(pool_key));
  const std::string zone = LocalTimeZoneName();
  if (!zone.empty()) session->SetTimeZone(zone);
  session->UseGeneralPlans();
  session->SetServerSettings();
  return session;
}

}  // namespace

std::unique_ptr<Session> OpenPgSession(const ConnectionTarget& target, std::string pool_key) {
  const bool local = IsLoopbackHost(target.server);
  std::string folder;
  const bool known = local && LocalRoutes::Instance().Known(pool_key, &folder);
  if (known && !folder.empty()) {
    Conn conn = Connect(target, folder);
    if (conn && PQstatus(conn.get()) == CONNECTION_OK) {
      return MakeSession(std::move(conn), std::move(pool_key));
    }
    // The server went or moved: the network, where the way is found out again.
    LocalRoutes::Instance().Forget(pool_key);
  }
  Conn conn = Connect(target, target.server);
  if (!conn) throw DbError("cannot connect to the database server: out of memory");
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    const std::string where =
        target.port.empty() ? target.server : target.server + ":" + target.port;
    throw DbError("cannot connect to the database server " + where + " through driver {" +
                  target.driver + "}: " + OneLine(PQerrorMessage(conn.get())));
  }
  if (local && (!known || !folder.empty())) {
    Conn socket = SameServerLocally(target, conn.get(), &folder);
    LocalRoutes::Instance().Remember(pool_key, socket ? folder : "");
    if (socket) return MakeSession(std::move(socket), std::move(pool_key));
  }
  return MakeSession(std::move(conn), std::move(pool_key));
}

}  // namespace folirex::db
