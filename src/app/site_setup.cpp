#include "app/site_setup.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#include "core/database.h"
#include "core/md5.h"
#include "platform/db/provider.h"
#include "platform/db/scoped_transaction.h"
#include "platform/db/sql_script.h"
#include "platform/fs/file_system.h"
#include "taxonomy/channel_bar.h"

namespace folirex {
namespace fsys = std::filesystem;
namespace {

bool ReadWholeFile(const fsys::path& file, std::string* out) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}

std::string LowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// The PostgreSQL form of a statement of the shipped files. They are plain SQL but for setting a
// table's autonumber, which SQLite keeps in sqlite_sequence: "the next id of T follows N" (the
// table the statement's first literal names, N its largest whole number) becomes setting the
// sequence behind T's d_id to at least N.
std::string PostgresFormOf(const std::string& statement) {
  if (LowerAscii(statement).find("sqlite_sequence") == std::string::npos) return statement;
  std::string table;
  long long number = -1;
  for (size_t i = 0; i < statement.size();) {
    const char c = statement[i];
    if (c == '\'') {
      size_t end = statement.find('\'', i + 1);
      if (end == std::string::npos) break;
      if (table.empty()) table = statement.substr(i + 1, end - i - 1);
      i = end + 1;
    } else if (c >= '0' && c <= '9' &&
               (i == 0 || !(std::isalnum(static_cast<unsigned char>(statement[i - 1])) ||
                            statement[i - 1] == '_'))) {
      size_t end = i;
      while (end < statement.size() && statement[end] >= '0' && statement[end] <= '9') ++end;
      number = std::max(number, std::stoll(statement.substr(i, std::min<size_t>(end - i, 15))));
      i = end;
    } else {
      ++i;
    }
  }
  bool plain = !table.empty();
  for (char c : table) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  if (!plain || number < 0) {
    throw DbError("a statement on sqlite_sequence that names no table and number");
  }
  const std::string seq = "pg_get_serial_sequence('" + LowerAscii(table) + "', 'd_id')";
  return "SELECT setval(" + seq + ", GREATEST(" + std::to_string(number) +
         ", coalesce(pg_sequence_last_value(" + seq + "::regclass), 0)))";
}

// The first words of a statement, for messages.
std::string Opening(const std::string& statement) {
  std::string s = statement.substr(0, 60);
  for (char& c : s) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return statement.size() > 60 ? s + "..." : s;
}

class SqliteFile {
 public:
  explicit SqliteFile(const fsys::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      error_ = db_ ? sqlite3_errmsg(db_) : "out of memory";
    }
  }
  ~SqliteFile() { sqlite3_close(db_); }
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  bool Exec(const std::string& sql) {
    if (!error_.empty()) return false;
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      error_ = message ? message : "unknown error";
      sqlite3_free(message);
      return false;
    }
    return true;
  }
  bool SetPassword(const std::string& name, const std::string& digest) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, "update Vantrel_Admin set d_password = ? where d_name = ?", -1,
                           &stmt, nullptr) != SQLITE_OK) {
      error_ = sqlite3_errmsg(db_);
      return false;
    }
    sqlite3_bind_text(stmt, 1, digest.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    bool ok = sqlite3_step(stmt) == SQLITE_DONE && sqlite3_changes(db_) == 1;
    sqlite3_finalize(stmt);
    if (!ok) error_ = "the shipped administrator '" + name + "' is missing";
    return ok;
  }
  const std::string& error() const { return error_; }

 private:
  sqlite3* db_ = nullptr;
  std::string error_;
};

// The server database of a new site: opened (the same connection string the entries build),
// checked empty, and loaded in a transaction that the caller commits or rolls back.
class ServerDatabase {
 public:
  bool Open(const SiteSettings& settings, std::string* error) {
    RequestState state;
    state.db.DbType = settings.DbType;
    state.db.DBPath = settings.DBPath;
    state.db.DBUser = settings.DBUser;
    state.db.DBPwd = settings.DBPwd;
    state.db.DBServer = settings.DBServer;
    const std::string where = "the database " + settings.DBPath + " on " + settings.DBServer;
    try {
      conn_.Open(BuildConnectionString(state.db, state.host));
    } catch (const std::exception& e) {
      *error = "cannot open " + where + ": " + OneLine(e.what());
      return false;
    }
    try {
      const int64_t tables = conn_
                                 .ExecuteScalar(
                                     "select count(*) from information_schema.tables where "
                                     "table_schema = current_schema()")
                                 .ToInt64Or(0);
      if (tables > 0) {
        *error = where + " is not empty (" + std::to_string(tables) +
                 " tables): a new site needs an empty database";
        return false;
      }
    } catch (const std::exception& e) {
      *error = "cannot read " + where + ": " + OneLine(e.what());
      return false;
    }
    return true;
  }

  bool Load(const fsys::path& db_folder, const std::string& admin, const std::string& digest,
            std::string* error) {
    try {
      transaction_.emplace(conn_);
      LoadDatabaseScripts(conn_, db_folder);
      if (conn_.Execute("update Vantrel_Admin set d_password = ? where d_name = ?",
                        {Variant(digest), Variant(admin)}) != 1) {
        *error = "the shipped administrator '" + admin + "' is missing";
        return false;
      }
      return true;
    } catch (const std::exception& e) {
      *error = OneLine(e.what());
      return false;
    }
  }

  bool Commit(std::string* error) {
    try {
      if (!transaction_) throw DbError("nothing was loaded");
      transaction_->Commit();
      return true;
    } catch (const std::exception& e) {
      *error = "cannot commit the new database: " + OneLine(e.what());
      return false;
    }
  }

  Connection& connection() { return conn_; }

  // Drops what was loaded; closing does the same for a transaction left open.
  void Rollback() noexcept { transaction_.reset(); }
  void Close() noexcept {
    transaction_.reset();
    conn_.Close();
  }

 private:
  // The driver's messages run over several lines, with tabs; a failure is told on one.
  static std::string OneLine(const std::string& s) {
    std::string out;
    for (char c : s) {
      const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
      if (!blank) {
        out.push_back(c);
      } else if (!out.empty() && out.back() != ' ') {
        out.push_back(' ');
      }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  }

  Connection conn_;
  std::optional<ScopedTransaction> transaction_;  // the load, until committed or dropped
};

// The channel bar of the shipped channels, so that the bar script the shipped design includes is
// there before the first channel change rewrites it.
bool WriteChannelBar(Connection& conn, const fsys::path& dir, std::string* error) {
  const fsys::path file = dir / kChannelMenuFile;
  try {
    if (fs::CreateFolderPath(file.parent_path()) &&
        fs::WriteTextFile(file, ChannelMenuScriptOfSite(conn))) {
      return true;
    }
    *error = "cannot write " + file.string();
  } catch (const std::exception& e) {
    *error = "cannot write " + file.string() + ": " + e.what();
  }
  return false;
}

bool IsEmptyFolder(const fsys::path& dir) {
  std::error_code ec;
  return fsys::is_directory(dir, ec) &&
         fsys::directory_iterator(dir, ec) == fsys::directory_iterator();
}

bool BuildSite(const fsys::path& dir, const SiteSettings& settings, CreatedSite* created,
               std::string* error) {
  fsys::path share = ShareFolder();
  std::error_code ec;
  fsys::create_directories(dir, ec);
  fsys::copy(share / "siteroot", dir, fsys::copy_options::recursive, ec);
  if (ec) {
    *error = "cannot copy " + (share / "siteroot").string() + ": " + ec.message();
    return false;
  }
  fsys::create_directories(dir / "data", ec);
  if (settings.DbType == "0") {
    SqliteFile db(dir / settings.DBPath);
    for (const fsys::path& script : DatabaseScripts(share / "db", SqlEngine::kSqlite)) {
      std::string sql;
      if (!ReadWholeFile(script, &sql)) {
        *error = "cannot read " + script.string();
        return false;
      }
      if (!db.Exec(sql)) {
        *error = script.filename().string() + ": " + db.error();
        return false;
      }
    }
    created->admin_name = "admin";
    created->admin_password = RandomPassword(12);
    if (!db.SetPassword(created->admin_name, MD5(created->admin_password))) {
      *error = db.error();
      return false;
    }
    bool bar = false;
    Connection conn;
    try {
      conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir / settings.DBPath).string() +
                ";");
      bar = WriteChannelBar(conn, dir, error);
    } catch (const std::exception& e) {
      *error = e.what();
    }
    conn.Close();
    db::ClearSessionPool();  // the file is about to move: no session may stay open on this path
    if (!bar) return false;
  } else {
    // The database is loaded by CreateSite once these files are made.
    created->admin_name = "admin";
    created->admin_password = RandomPassword(12);
  }
  if (!WriteSettingsFile(dir / kSettingsFileName, settings, error)) return false;
  // Kept beside the database, which the host never serves, so serve.sh can show it again.
  fsys::path note = dir / "data" / "admin-password.txt";
  {
    std::ofstream f(note, std::ios::trunc);
    f << created->admin_name << " " << created->admin_password << "\n";
    if (!f) {
      *error = "cannot write " + note.string();
      return false;
    }
  }
  fsys::permissions(note, fsys::perms::owner_read | fsys::perms::owner_write, ec);
  return true;
}

}  // namespace

std::vector<fsys::path> DatabaseScripts(const fsys::path& db_folder, SqlEngine engine) {
  std::vector<fsys::path> scripts{
      db_folder / (engine == SqlEngine::kPostgres ? "schema_postgres.sql" : "schema_sqlite.sql")};
  std::vector<fsys::path> shipped;
  std::error_code ec;
  for (const auto& entry : fsys::directory_iterator(db_folder, ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("shipped_", 0) == 0 && entry.path().extension() == ".sql") {
      shipped.push_back(entry.path());
    }
  }
  std::sort(shipped.begin(), shipped.end());
  scripts.insert(scripts.end(), shipped.begin(), shipped.end());
  return scripts;
}

void LoadDatabaseScripts(Connection& conn, const fsys::path& db_folder) {
  const SqlEngine engine = conn.engine();
  for (const fsys::path& script : DatabaseScripts(db_folder, engine)) {
    std::string text;
    if (!ReadWholeFile(script, &text)) throw DbError("cannot read " + script.string());
    std::vector<std::string> statements;
    try {
      statements = SplitSqlScript(text);
    } catch (const DbError& e) {
      throw DbError(script.filename().string() + ": " + e.what());
    }
    for (const std::string& statement : statements) {
      try {
        const std::string sql =
            engine == SqlEngine::kPostgres ? PostgresFormOf(statement) : statement;
        conn.session().ExecuteNative(sql);
        conn.CountStatement();
      } catch (const DbError& e) {
        throw DbError(script.filename().string() + ": " + e.what() + " (in \"" +
                      Opening(statement) + "\")");
      }
    }
  }
}

fsys::path ShareFolder() {
  if (const char* env = std::getenv("FOLIREX_SHARE"); env && *env) return env;
  return FOLIREX_SOURCE_DIR;
}

std::string RandomPassword(int length) {
  static const char kChars[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  std::random_device device;
  std::uniform_int_distribution<int> pick(0, sizeof(kChars) - 2);
  std::string s;
  for (int i = 0; i < length; ++i) s.push_back(kChars[pick(device)]);
  return s;
}

bool CreateSite(const fsys::path& dir, const SiteSettings& settings, CreatedSite* created,
                std::string* error) {
  std::error_code ec;
  if (fsys::exists(dir / kSettingsFileName, ec) || fsys::exists(dir / "data", ec)) {
    *error = dir.string() + " already holds a site";
    return false;
  }
  if (fsys::exists(dir, ec) && !IsEmptyFolder(dir)) {
    *error = dir.string() + " is not empty";
    return false;
  }
  fsys::path target = fsys::absolute(dir, ec).lexically_normal();
  if (target.filename().empty()) target = target.parent_path();
  const bool server = settings.DbType != "0";
  if (server && (settings.DBServer.empty() || settings.DBPath.empty())) {
    *error = "a server database needs DBServer and DBPath (the database's name)";
    return false;
  }
  fsys::path temp = target;
  temp += ".folirex-init-" + RandomPassword(6);
  ServerDatabase database;
  // The database is looked at first: a wrong server or a database in use costs no copying.
  if (server && !database.Open(settings, error)) return false;
  if (!BuildSite(temp, settings, created, error) ||
      (server && (!database.Load(ShareFolder() / "db", created->admin_name,
                                 MD5(created->admin_password), error) ||
                  !WriteChannelBar(database.connection(), temp, error)))) {
    database.Rollback();
    database.Close();
    fsys::remove_all(temp, ec);
    return false;
  }
  const bool had_folder = fsys::exists(target, ec);
  if (had_folder) fsys::remove(target, ec);  // empty, checked above
  fsys::rename(temp, target, ec);
  if (ec) {
    *error = "cannot move the new site into " + target.string() + ": " + ec.message();
    database.Rollback();
    database.Close();
    fsys::remove_all(temp, ec);
    if (had_folder) fsys::create_directory(target, ec);
    return false;
  }
  if (server && !database.Commit(error)) {
    database.Close();
    fsys::remove_all(target, ec);
    if (had_folder) fsys::create_directory(target, ec);
    return false;
  }
  database.Close();
  return true;
}

}  // namespace folirex
