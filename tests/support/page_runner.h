// Runs one page of the component in-process against a real site folder and database, with real
// host objects built from a raw request: for tests of the entry and the shared services that need
// to look at a page's state after it ran.
#ifndef FOLIREX_TESTS_SUPPORT_PAGE_RUNNER_H_
#define FOLIREX_TESTS_SUPPORT_PAGE_RUNNER_H_

#include <memory>
#include <string>

#include "core/folirex.h"
#include "core/modules.h"
#include "core/settings_file.h"
#include "platform/host/http_host.h"
#include "support/test_site.h"

namespace folirex::testing {

// Host objects for one request; a session store and application shared across requests.
class PageRunner {
 public:
  explicit PageRunner(TestSite& site) : site_(site) {}

  // Builds the host objects for a GET of path_and_query (and a urlencoded body when given).
  void NewRequest(const std::string& path_and_query, const std::string& form_body = "") {
    RawRequest raw;
    raw.method = form_body.empty() ? "GET" : "POST";
    size_t q = path_and_query.find('?');
    raw.path = path_and_query.substr(0, q);
    if (q != std::string::npos) raw.query = path_and_query.substr(q + 1);
    raw.body = form_body;
    if (!form_body.empty()) {
      raw.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    }
    raw.remote_addr = "127.0.0.1";
    request_ = std::make_unique<Request>(std::move(raw));
    response_ = std::make_unique<Response>();
    // A session is stored (and gets its id) only once something is set in it.
    if (session_) session_id_ = session_->SessionID();
    session_ = std::make_unique<Session>(sessions_.Attach(session_id_));
    server_ = std::make_unique<Server>(site_.root(), "/", &site_.caches().folder_names);
    objects_ = std::make_unique<PageObjects>(
        PageObjects{*request_, *response_, *session_, application_, *server_});
  }

  // Runs the entry with the site's settings (and the given registry) through OnEndPage.
  void Run(EntryKind kind, const ModuleRegistry& modules) {
    Folirex component(modules);
    component.state().site_caches = &site_.caches();
    component.state().db.Lists = &site_.caches().lists;
    component.OnStartPage(*objects_);
    const SiteSettings& s = site_.settings();
    component.SetDbType(s.DbType);
    component.SetDBPath(s.DBPath);
    component.SetDBUser(s.DBUser);
    component.SetDBPwd(s.DBPwd);
    component.SetDBServer(s.DBServer);
    if (kind == EntryKind::kAdmin) {
      component.ICommonAdmin();
    } else {
      component.ICommon();
    }
    component.OnEndPage();
  }

  Response& response() { return *response_; }
  Session& session() { return *session_; }
  Application& application() { return application_; }
  Server& server() { return *server_; }
  PageObjects& objects() { return *objects_; }

 private:
  TestSite& site_;
  SessionStore sessions_;
  Application application_;
  std::string session_id_;
  std::unique_ptr<Request> request_;
  std::unique_ptr<Response> response_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<Server> server_;
  std::unique_ptr<PageObjects> objects_;
};

// A header's value from a response ("" when absent).
inline std::string HeaderOf(const Response& response, const std::string& name) {
  for (const auto& [n, v] : response.headers()) {
    if (n == name) return v;
  }
  return "";
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_SUPPORT_PAGE_RUNNER_H_
