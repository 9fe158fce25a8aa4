#include "core/site_setup.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "core/md5.h"

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

// The schema first, then every shipped_*.sql in name order.
std::vector<fsys::path> DatabaseScripts(const fsys::path& db_folder) {
  std::vector<fsys::path> scripts{db_folder / "schema_sqlite.sql"};
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

class SqliteFile {
 public:
  explicit SqliteFile(const fsys::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
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

bool IsEmptyFolder(const fsys::path& dir) {
  std::error_code ec;
  return fsys::is_directory(dir, ec) && fsys::directory_iterator(dir, ec) == fsys::directory_iterator();
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
    for (const fsys::path& script : DatabaseScripts(share / "db")) {
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
  } else {
    *error = "only a SQLite site (DbType 0) can be created here";
    return false;
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
  fsys::path temp = target;
  temp += ".folirex-init-" + RandomPassword(6);
  if (!BuildSite(temp, settings, created, error)) {
    fsys::remove_all(temp, ec);
    return false;
  }
  if (fsys::exists(target, ec)) fsys::remove(target, ec);  // empty, checked above
  fsys::rename(temp, target, ec);
  if (ec) {
    *error = "cannot move the new site into " + target.string() + ": " + ec.message();
    fsys::remove_all(temp, ec);
    return false;
  }
  return true;
}

}  // namespace folirex
