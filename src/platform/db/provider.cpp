#include "platform/db/provider.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/cache/lru_cache.h"
#include "platform/db/connection_string.h"
#include "platform/db/odbc_provider.h"
#include "platform/db/pg_provider.h"
#include "platform/db/sqlite_provider.h"
#include "platform/text/vb_text.h"

namespace folirex::db {

std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out.push_back(c);
    if (c == '"') out.push_back('"');
  }
  out.push_back('"');
  return out;
}

int64_t InsertReturningId(Session& session, std::string_view table,
                          const std::vector<std::string>& columns,
                          const std::vector<Variant>& values) {
  std::string sql = "INSERT INTO " + LCase(table);
  if (columns.empty()) {
    sql += " DEFAULT VALUES";
  } else {
    std::string names, marks;
    for (const std::string& c : columns) {
      names += (names.empty() ? "" : ", ") + QuoteName(LCase(c));
      marks += marks.empty() ? "?" : ", ?";
    }
    sql += " (" + names + ") VALUES (" + marks + ")";
  }
  sql += " RETURNING d_id";
  std::unique_ptr<Statement> st = session.PrepareNative(sql);
  st->Bind(values);
  if (!st->Step()) throw DbError("SQL: the insert gave no row id");
  int64_t id = st->Column(0).ToInt64Or(0);
  while (st->Step()) {
  }
  return id;
}

std::optional<std::string> Statement::RowTable() const {
  if (const StatementTouches* described = touches()) return described->row_table;
  return std::nullopt;
}

bool RepeatedTexts::SeenBefore(std::string_view text) {
  // 0 marks a free place: a text that hashes to it is never taken for seen.
  const size_t hash = std::hash<std::string_view>()(text) | 1;
  for (size_t& seen : hashes_) {
    if (seen == hash) {
      seen = 0;
      return true;
    }
  }
  hashes_[next_] = hash;
  next_ = (next_ + 1) % kRemembered;
  return false;
}

const std::string& Session::Translated(std::string_view sql) {
  std::string key(sql);
  auto found = translations_.find(key);
  if (found != translations_.end()) return found->second;
  std::string translated = TranslateSql(sql, engine(), hints());
  if (!translated_once_.SeenBefore(sql)) {
    once_ = std::move(translated);
    return once_;
  }
  // Texts with ids written into them are many: start again rather than grow without bound.
  if (translations_.size() >= kMaxTranslations) translations_.clear();
  return translations_.emplace(std::move(key), std::move(translated)).first->second;
}

namespace {

constexpr size_t kMaxIdlePerDatabase = 32;

class SessionPool {
 public:
  static SessionPool& Instance() {
    static SessionPool* pool = new SessionPool();  // never destroyed: sessions may outlive main
    return *pool;
  }

  std::unique_ptr<Session> Take(const std::string& key) {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = idle_.find(key);
    if (it == idle_.end() || it->second.empty()) return nullptr;
    std::unique_ptr<Session> s = std::move(it->second.back());
    it->second.pop_back();
    return s;
  }

  void Give(std::unique_ptr<Session> session) {
    std::unique_ptr<Session> surplus;
    std::lock_guard<std::mutex> lock(mu_);
    auto& list = idle_[session->pool_key()];
    if (list.size() >= kMaxIdlePerDatabase) {
      surplus = std::move(session);  // closed after the lock is released
      return;
    }
    list.push_back(std::move(session));
  }

  // Closes every idle session of one database.
  void Drop(const std::string& key) {
    std::vector<std::unique_ptr<Session>> old;
    {
      std::lock_guard<std::mutex> lock(mu_);
      auto it = idle_.find(key);
      if (it == idle_.end()) return;
      old.swap(it->second);
    }
  }

  void Clear() {
    std::unordered_map<std::string, std::vector<std::unique_ptr<Session>>> old;
    {
      std::lock_guard<std::mutex> lock(mu_);
      old.swap(idle_);
    }
  }

 private:
  std::mutex mu_;
  std::unordered_map<std::string, std::vector<std::unique_ptr<Session>>> idle_;
};

// The file a database path names, resolved once: the canonical path kept with the file's
// device and inode, and used again while the path still reaches that file (one stat instead of a
// look-up of every link on the way).
struct ResolvedFile {
  std::string path;
  dev_t device;
  ino_t inode;
};

std::optional<ResolvedFile> ResolveDatabaseFile(const std::string& named) {
  static std::mutex mutex;
  static auto* resolved = new LruCache<std::string, ResolvedFile>(64);
  struct stat st {};
  if (::stat(named.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (const ResolvedFile* kept = resolved->Find(named);
        kept != nullptr && kept->device == st.st_dev && kept->inode == st.st_ino) {
      return *kept;
    }
  }
  std::error_code ec;
  const std::filesystem::path canonical = std::filesystem::canonical(named, ec);
  if (ec || ::stat(canonical.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  ResolvedFile file{canonical.string(), st.st_dev, st.st_ino};
  std::lock_guard<std::mutex> lock(mutex);
  resolved->Insert(named, file);
  return file;
}

}  // namespace

ColumnKind ColumnKindOfDeclaredType(std::string_view declared) {
  const std::string t = LCase(declared);
  auto has = [&t](const char* part) { return t.find(part) != std::string::npos; };
  if (has("bool") || has("bit") || has("yesno") || has("logical")) return ColumnKind::kBoolean;
  if (has("date") || has("time")) return ColumnKind::kDate;
  if (has("int") || has("counter")) return ColumnKind::kInteger;
  if (has("char") || has("text") || has("clob") || has("memo") || has("string")) {
    return ColumnKind::kText;
  }
  if (has("real") || has("floa") || has("doub") || has("numeric") || has("decimal") ||
      has("money") || has("currency")) {
    return ColumnKind::kReal;
  }
  return ColumnKind::kOther;
}

bool IsPostgresOdbcDriver(std::string_view library) {
  const std::string name = LCase(std::filesystem::path(library).filename().string());
  return name.rfind("psqlodbc", 0) == 0;
}

std::unique_ptr<Session> OpenSession(std::string_view connection_string) {
  ConnectionTarget target = ParseConnectionString(connection_string);
  std::string key;
  std::string path;
  if (target.kind == ConnectionTarget::Kind::kFile) {
    const std::optional<ResolvedFile> file = ResolveDatabaseFile(target.path);
    if (!file) throw DbError("cannot open the database " + target.path + ": no such file");
    path = file->path;
    // The inode is part of the key, so that a file replaced under the same name is not served
    // through connections to the old one.
    key = "file:" + std::to_string(file->device) + ":" + std::to_string(file->inode) + ":" + path;
  } else {
    key = "odbc:" + target.OdbcConnectionString();
  }
  if (std::unique_ptr<Session> pooled = SessionPool::Instance().Take(key)) return pooled;
  if (target.kind == ConnectionTarget::Kind::kFile) return OpenSqliteSession(path, key);
  // A driver name registered to PostgreSQL's ODBC driver is served by libpq with the same
  // server, database and login: one round trip a statement instead of several, and no text
  // conversions in a driver between the server and the pages. Other drivers go through ODBC.
  // FOLIREX_PG_VIA_ODBC in the environment keeps PostgreSQL on ODBC (its tests, comparisons).
  static const bool via_odbc = std::getenv("FOLIREX_PG_VIA_ODBC") != nullptr;
  if (!via_odbc && IsPostgresOdbcDriver(OdbcDriverLibrary(target.driver))) {
    return OpenPgSession(target, key);
  }
  return OpenOdbcSession(target, key);
}

void ReleaseSession(std::unique_ptr<Session> session) noexcept {
  if (!session) return;
  if (!session->Recycle()) {
    // A connection lost to its server (a restart, a network failure) usually means the idle
    // ones to the same database are lost too: they go with it, so that the requests after this
    // one open fresh connections instead of failing on the dead ones one by one.
    try {
      SessionPool::Instance().Drop(session->pool_key());
    } catch (...) {
    }
    return;  // dropped: its destructor closes it
  }
  try {
    SessionPool::Instance().Give(std::move(session));
  } catch (...) {
  }
}

void ClearSessionPool() noexcept { SessionPool::Instance().Clear(); }

}  // namespace folirex::db
