// A real site for end-to-end tests: a temporary folder made by the same code as `folirex init`,
// served by the real host on 127.0.0.1 (an ephemeral port) in this process, and a small browser
// that keeps cookies and decodes the GB2312 pages to UTF-8 text.
//
// Each TestSite is independent (own folder, own port), so tests may run in parallel. The folder
// is removed when the object goes away.
#ifndef FOLIREX_TESTS_SUPPORT_TEST_SITE_H_
#define FOLIREX_TESTS_SUPPORT_TEST_SITE_H_

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/settings_file.h"
#include "core/site_caches.h"
#include "platform/host/http_host.h"
#include "support/temp_folder.h"

namespace folirex::testing {

struct HttpAnswer {
  int status = 0;
  std::string bytes;                                // the body as sent
  std::string text;                                 // the body decoded from code page 936
  std::multimap<std::string, std::string> headers;  // lower-case names
  std::string Header(const std::string& name) const;
};

// Percent-encodes UTF-8 text as code page 936 bytes, as a GB2312 browser sends form values.
std::string GbkUrlEncode(const std::string& utf8);

class TestSite {
 public:
  // Creates the site; starts serving it unless start is false.
  explicit TestSite(bool start = true);
  ~TestSite();
  TestSite(const TestSite&) = delete;
  TestSite& operator=(const TestSite&) = delete;

  // Serves the site, with the host settings of its folirex.conf read anew (MaxBodyMemory).
  void Start();
  void Stop();

  const std::filesystem::path& root() const { return root_; }
  SiteSettings& settings() { return settings_; }
  SiteCaches& caches() { return caches_; }
  int port() const;
  // The host's process-wide values and tables (while the site is served).
  Application& application() { return host_->application(); }
  const std::string& admin_name() const { return admin_name_; }
  const std::string& admin_password() const { return admin_password_; }

  // path_and_query: "/asp.asp?m=content&articleid=1"; non-ASCII text in the query is sent as
  // code page 936, percent-encoded.
  HttpAnswer Get(const std::string& path_and_query);
  HttpAnswer Post(const std::string& path_and_query,
                  const std::vector<std::pair<std::string, std::string>>& form);
  // Sends a raw body with a content type (uploads).
  HttpAnswer PostRaw(const std::string& path_and_query, const std::string& body,
                     const std::string& content_type);
  void ClearCookies() { cookies_.clear(); }
  const std::map<std::string, std::string>& cookies() const { return cookies_; }

  // Runs SQL straight on the site's SQLite file (for seeding and checking).
  void Sql(const std::string& sql);
  // The first column of the first row as text ("" when no row, "NULL" for null).
  std::string SqlValue(const std::string& sql);

 private:
  std::string EncodeQuery(const std::string& path_and_query) const;
  HttpAnswer Finish(int status, std::string bytes,
                    const std::multimap<std::string, std::string>& headers);
  std::string CookieHeader() const;

  TempFolder folder_;
  std::filesystem::path root_;
  SiteSettings settings_;
  // The served site's caches, as `folirex serve` keeps them; they outlive the host.
  SiteCaches caches_;
  std::string admin_name_;
  std::string admin_password_;
  std::unique_ptr<HttpHost> host_;
  std::thread thread_;
  std::map<std::string, std::string> cookies_;
};

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_TEST_SITE_H_
