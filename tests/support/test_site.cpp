#include "support/test_site.h"

#include <httplib.h>
#include <sqlite3.h>

#include <stdexcept>

#include "app/site_setup.h"
#include "core/site_server.h"
#include "platform/host/host_text.h"
#include "platform/text/codepage.h"

namespace folirex::testing {
namespace fsys = std::filesystem;

std::string HttpAnswer::Header(const std::string& name) const {
  auto it = headers.find(name);
  return it == headers.end() ? "" : it->second;
}

std::string GbkUrlEncode(const std::string& utf8) {
  return host::FormUrlEncodeBytes(Utf8ToGbk(utf8, Unmappable::kQuestion));
}

TestSite::TestSite(bool start) {
  root_ = folder_.path() / "site";
  CreatedSite created;
  std::string error;
  if (!CreateSite(root_, settings_, &created, &error)) {
    throw std::runtime_error("cannot create the test site: " + error);
  }
  admin_name_ = created.admin_name;
  admin_password_ = created.admin_password;
  if (start) Start();
}

TestSite::~TestSite() { Stop(); }

void TestSite::Start() {
  if (host_) return;
  HostOptions options;
  options.port = 0;
  options.threads = 8;
  options.site_root = root_;
  options.install_dir = ReadInstallDir(root_, settings_);
  options.folder_names = &caches_.folder_names;
  // The host's settings as `folirex serve` takes them from the site's settings file.
  SiteSettings file;
  std::string error;
  if (!ReadSettingsFile(root_ / kSettingsFileName, &file, &error) ||
      !SetSiteHostOptions(file, &options, &error)) {
    throw std::runtime_error("cannot serve the test site: " + error);
  }
  host_ = std::make_unique<HttpHost>(options, [this](EntryKind kind, PageObjects& objects) {
    ServePage(settings_, caches_, kind, objects);
  });
  if (!host_->Bind(&error)) throw std::runtime_error("cannot bind the test site: " + error);
  thread_ = std::thread([this] { host_->Run(); });
}

void TestSite::Stop() {
  if (!host_) return;
  host_->Stop();
  if (thread_.joinable()) thread_.join();
  host_.reset();
}

int TestSite::port() const { return host_ ? host_->port() : 0; }

std::string TestSite::EncodeQuery(const std::string& path_and_query) const {
  size_t q = path_and_query.find('?');
  if (q == std::string::npos) return path_and_query;
  std::string out = path_and_query.substr(0, q + 1);
  // Re-encode each value's non-ASCII text; '&', '=' and existing escapes pass through.
  std::string part;
  auto flush = [&out, &part] {
    bool ascii = true;
    for (unsigned char c : part) ascii = ascii && c < 0x80 && c != ' ';
    out += ascii ? part : GbkUrlEncode(part);
    part.clear();
  };
  for (size_t i = q + 1; i < path_and_query.size(); ++i) {
    char c = path_and_query[i];
    if (c == '&' || c == '=') {
      flush();
      out.push_back(c);
    } else {
      part.push_back(c);
    }
  }
  flush();
  return out;
}

std::string TestSite::CookieHeader() const {
  std::string h;
  for (const auto& [name, value] : cookies_) {
    if (!h.empty()) h += "; ";
    h += name + "=" + value;
  }
  return h;
}

HttpAnswer TestSite::Finish(int status, std::string bytes,
                            const std::multimap<std::string, std::string>& headers) {
  HttpAnswer answer;
  answer.status = status;
  answer.bytes = std::move(bytes);
  answer.text = GbkToUtf8(answer.bytes);
  for (const auto& [name, value] : headers) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    answer.headers.emplace(lower, value);
    if (lower == "set-cookie") {
      size_t eq = value.find('=');
      size_t semi = value.find(';');
      if (eq != std::string::npos) {
        std::string cookie_value =
            value.substr(eq + 1, semi == std::string::npos ? std::string::npos : semi - eq - 1);
        cookies_[value.substr(0, eq)] = cookie_value;
      }
    }
  }
  return answer;
}

HttpAnswer TestSite::Get(const std::string& path_and_query) {
  httplib::Client client("127.0.0.1", port());
  client.set_read_timeout(60, 0);
  httplib::Headers headers;
  if (!cookies_.empty()) headers.emplace("Cookie", CookieHeader());
  auto result = client.Get(EncodeQuery(path_and_query).c_str(), headers);
  if (!result) throw std::runtime_error("GET " + path_and_query + " failed");
  return Finish(
      result->status, result->body,
      std::multimap<std::string, std::string>(result->headers.begin(), result->headers.end()));
}

HttpAnswer TestSite::Post(const std::string& path_and_query,
                          const std::vector<std::pair<std::string, std::string>>& form) {
  std::string body;
  for (const auto& [name, value] : form) {
    if (!body.empty()) body += "&";
    body += GbkUrlEncode(name) + "=" + GbkUrlEncode(value);
  }
  return PostRaw(path_and_query, body, "application/x-www-form-urlencoded");
}

HttpAnswer TestSite::PostRaw(const std::string& path_and_query, const std::string& body,
                             const std::string& content_type) {
  httplib::Client client("127.0.0.1", port());
  client.set_read_timeout(60, 0);
  httplib::Headers headers;
  if (!cookies_.empty()) headers.emplace("Cookie", CookieHeader());
  auto result =
      client.Post(EncodeQuery(path_and_query).c_str(), headers, body, content_type.c_str());
  if (!result) throw std::runtime_error("POST " + path_and_query + " failed");
  return Finish(
      result->status, result->body,
      std::multimap<std::string, std::string>(result->headers.begin(), result->headers.end()));
}

namespace {

class Db {
 public:
  explicit Db(const fsys::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      throw std::runtime_error("cannot open " + file.string());
    }
    sqlite3_busy_timeout(db_, 10000);
  }
  ~Db() { sqlite3_close(db_); }
  sqlite3* get() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace

void TestSite::Sql(const std::string& sql) {
  Db db(root_ / settings_.DBPath);
  char* message = nullptr;
  if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error("SQL failed: " + text + " in: " + sql);
  }
}

std::string TestSite::SqlValue(const std::string& sql) {
  Db db(root_ / settings_.DBPath);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw std::runtime_error(std::string("SQL failed: ") + sqlite3_errmsg(db.get()));
  }
  std::string value;
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    value = text ? reinterpret_cast<const char*>(text) : "NULL";
  }
  sqlite3_finalize(stmt);
  return value;
}

}  // namespace folirex::testing
