// Folirex: the component's front door. The host creates one object per page request, calls
// OnStartPage with the request's host objects, sets the five database properties, calls one
// entry (ICommon for the public page asp.asp, ICommonAdmin for the console page admin.asp) and
// then OnEndPage, which closes the database whatever happened.
//
// An entry opens the database, loads the site configuration and the day's date values, reads
// the request's selector m and hands the request to one page procedure from the module
// registry's routes, with the request's values parsed once (ConsoleRequest, PublicRequest). A
// console m that names no route reaches Login_Main. A request whose query, form
// or cookie values hold a NUL gets "提示：参数错误！" from either entry before anything else. The
// console's answers carry X-Frame-Options SAMEORIGIN, and a console POST whose Origin (else
// Referer) names another host and port than the request's Host is refused with an alert. A page
// that ends the response early (AlertBack, a redirect) unwinds to the entry, which returns
// normally. Any other error propagates to the host, which answers 500; the host still calls
// OnEndPage.
//
// One object serves one request on one worker thread; it holds the request's RequestState.
#ifndef FOLIREX_CORE_FOLIREX_H_
#define FOLIREX_CORE_FOLIREX_H_

#include <cstddef>
#include <string>

#include "core/modules.h"
#include "core/request_state.h"
#include "platform/host/http_host.h"

namespace folirex {

// Bodies of the public pages and of console requests not signed in: a comment of 10,000
// characters, percent-encoded code page 936, fits.
inline constexpr size_t kPublicBodyBytes = 64 * 1024;
// The sign-in form's body: a name and a password.
inline constexpr size_t kSignInBodyBytes = 4 * 1024;
// Bodies of the console's forms: a template page's or an article's text fits.
inline constexpr size_t kConsoleBodyBytes = 4 << 20;

// The largest body a request to an entry may carry and the share of the body memory it draws on
// (HostOptions::body_limit), from its head and the routes of the program's registry
// (Modules()): a public page kPublicBodyBytes, anonymous; the sign-in form, not signed in,
// kSignInBodyBytes from the sign-in's share; any other console page not signed in
// kPublicBodyBytes, anonymous; signed in, a console page kConsoleBodyBytes and the upload
// pop-up's save, the one page that reads a multipart body, the host's cap, both from the
// console's share. A multipart body to any other page: 0, refused unread.
BodyAllowance RequestBodyLimit(const BodyRequest& request);

class Folirex {
 public:
  explicit Folirex(const ModuleRegistry& modules = Modules()) : modules_(modules) {}
  Folirex(const Folirex&) = delete;
  Folirex& operator=(const Folirex&) = delete;

  void OnStartPage(PageObjects& context);
  void OnEndPage() noexcept;
  void ICommonAdmin();
  void ICommon();

  const std::string& DbType() const { return state_.db.DbType; }
  void SetDbType(std::string value) { state_.db.DbType = std::move(value); }
  const std::string& DBPath() const { return state_.db.DBPath; }
  void SetDBPath(std::string value) { state_.db.DBPath = std::move(value); }
  const std::string& DBUser() const { return state_.db.DBUser; }
  void SetDBUser(std::string value) { state_.db.DBUser = std::move(value); }
  const std::string& DBPwd() const { return state_.db.DBPwd; }
  void SetDBPwd(std::string value) { state_.db.DBPwd = std::move(value); }
  const std::string& DBServer() const { return state_.db.DBServer; }
  void SetDBServer(std::string value) { state_.db.DBServer = std::move(value); }

  RequestState& state() { return state_; }

 private:
  void DispatchAdmin(const ConsoleRequest& request);
  void DispatchPublic(const PublicRequest& request);
  void WriteNotInstalled(const std::string& what);

  const ModuleRegistry& modules_;
  RequestState state_;
  // The host's request, borrowed from OnStartPage to OnEndPage. Only the entry reads it: the page
  // gets the values parsed from it, and the state the list page it asks for.
  const Request* request_ = nullptr;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_FOLIREX_H_
