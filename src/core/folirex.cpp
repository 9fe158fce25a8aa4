#include "core/folirex.h"

#include <limits>
#include <string>
#include <string_view>

#include "core/database.h"
#include "core/messages.h"
#include "core/public_request.h"
#include "core/reads_ahead.h"
#include "core/site_caches.h"
#include "core/site_config.h"
#include "core/text_helpers.h"
#include "platform/host/host_text.h"
#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// What the server keeps of the pages' reads ahead; null when it keeps nothing.
KeptPageReads* KeptReadsOf(RequestState& state) {
  return state.site_caches != nullptr ? &state.site_caches->page_reads : nullptr;
}

// The host and port of an address's authority ("name", "name:8080", "[::1]:8080"); the port is
// empty when none is given. False for text that is not one.
bool SplitAuthority(std::string_view authority, std::string* host, std::string* port) {
  size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view rest;
  if (authority.starts_with('[')) {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    *host = host::AsciiLower(authority.substr(0, close + 1));
    rest = authority.substr(close + 1);
  } else {
    size_t colon = authority.find(':');
    *host = host::AsciiLower(authority.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
  }
  if (host->empty() || host->size() == 2) return false;  // "" or "[]"
  if (rest.empty()) {
    port->clear();
    return true;
  }
  std::string_view digits = rest.substr(1);
  if (rest.front() != ':' || digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  *port = std::to_string(std::stoi(std::string(digits)));  // "08080" is port 8080
  return true;
}

// Whether the page address (an Origin or Referer value) names the site the request was sent to
// (its Host header). A Host without a port is the scheme's default port, whichever scheme a
// proxy in front of the site speaks to the browser.
bool NamesThisSite(std::string_view address, std::string_view host_header) {
  size_t scheme_end = address.find("://");
  if (scheme_end == std::string_view::npos) return false;
  std::string scheme = host::AsciiLower(address.substr(0, scheme_end));
  std::string default_port = scheme == "http" ? "80" : scheme == "https" ? "443" : "";
  std::string_view authority = address.substr(scheme_end + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  std::string page_host, page_port, site_host, site_port;
  if (!SplitAuthority(authority, &page_host, &page_port) ||
      !SplitAuthority(host_header, &site_host, &site_port) || page_host != site_host) {
    return false;
  }
  if (page_port.empty()) page_port = default_port;
  if (page_port.empty()) return false;
  if (site_port.empty()) return page_port == default_port;
  return page_port == site_port;
}

// A console form posted from a page of another site (which the session cookie may accompany).
// The Origin header says where the form was, else the Referer; a POST with neither is taken,
// as older browsers send neither. "Origin: null" (a sandboxed frame, a local file) is no page of
// this site.
bool PostedFromAnotherSite(const RequestReader& request) {
  if (!request.IsPost()) return false;
  std::string origin = Trim(request.ServerVariable("HTTP_ORIGIN"));
  std::string page = origin.empty() ? Trim(request.ServerVariable("HTTP_REFERER")) : origin;
  if (page.empty()) return false;
  std::string host_header = Trim(request.ServerVariable("HTTP_HOST"));
  return !NamesThisSite(page, host_header);
}

// Loads the configuration; a database without its tables counts as one that cannot be used.
bool LoadConfigChecked(RequestState& state) {
  try {
    // Every page reads the channels; read first, they bring the version of the settings kept
    // in memory along, so the configuration after them comes from memory, and the article data
    // version, which the request's lists are counted at until it writes.
    state.db.Conn->KeepReadsUntilWrite();
    FindChannelRow(state.db, state.caches, 0);
    LoadConfig(state.db, state.host, state.site);
    return true;
  } catch (const DbError&) {
    CloseDatabase(state.db);
    return false;
  }
}

}  // namespace

void Folirex::OnStartPage(PageObjects& context) {
  state_.host = HostObjects{.Application = &context.application,
                            .Server = &context.server,
                            .Session = &context.session,
                            .Response = &context.response};
  request_ = &context.request;
  state_.list_page = RequestedListPage();
}

void Folirex::OnEndPage() noexcept {
  CloseDatabase(state_.db);
  if (state_.host.Application && state_.host.Application->LockedByCaller())
    state_.host.Application->UnLock();
  state_.host = HostObjects{};
  request_ = nullptr;
}

void Folirex::ICommonAdmin() {
  try {
    // Console pages are framed only by the console's own frame set.
    state_.host.Response->SetHeader("X-Frame-Options", "SAMEORIGIN");
    // A NUL (%00) cut SQL text and file names short; no value of the console holds one.
    ConsoleRequest request = ParseConsoleRequest(*request_, &state_);
    state_.list_page = ReadListPage(request.values);
    if (request.values.HasNul()) AlertBack(state_, kParameterError);
    if (PostedFromAnotherSite(request.values)) {
      AlertBack(state_, "提示：不接受从其他网站提交的表单！");
    }
    if (const AdminRoute* route = modules_.FindAdminRoute(request.m);
        route != nullptr && route->first_reads) {
      state_.caches.ReadWithChannels = route->first_reads(state_);
    }
    if (!state_.host.Session->Get("User_Code").IsBlank()) {
      ForetellReads(state_.caches, KeptReadsOf(state_),
                    PageReadsKey(request, RequestedPage(state_)));
    }
    if (!TryOpenDatabase(state_.db, state_.host) || !LoadConfigChecked(state_)) {
      // The error page needs no database; sending it to itself would loop.
      if (request.m == "admin_error") {
        DispatchAdmin(request);
        return;
      }
      state_.host.Response->Redirect("?m=admin_error&errnum=0");
    }
    InitDateValues(state_.host);
    if (request.m.empty()) {
      request.m = state_.host.Session->Get("User_Code").IsBlank() ? "admin_login" : "admin_index";
    }
    DispatchAdmin(request);
    KeepPageReads(state_.caches, KeptReadsOf(state_));
  } catch (const ResponseEnd&) {
  }
}

void Folirex::DispatchAdmin(const ConsoleRequest& request) {
  // Any m that names no route reaches the sign-in page.
  const AdminRoute* route = modules_.FindAdminRoute(request.m);
  if (route == nullptr) route = modules_.FindAdminProcedure("Login_Main");
  if (route == nullptr) {
    WriteNotInstalled("Login_Main");
    return;
  }
  route->entry(state_, request);
}

void Folirex::ICommon() {
  try {
    // A NUL (%00) cut SQL text and file names short; no value of the site holds one.
    const PublicRequest request = ParsePublicRequest(*request_, &state_);
    state_.list_page = ReadListPage(request.values);
    if (request.values.HasNul()) AlertBack(state_, kParameterError);
    if (const PublicFirstReads* first = modules_.public_first_reads()) {
      state_.caches.ReadWithChannels = (*first)(request);
    }
    ForetellReads(state_.caches, KeptReadsOf(state_), PageReadsKey(request, RequestedPage(state_)));
    if (!TryOpenDatabase(state_.db, state_.host) || !LoadConfigChecked(state_)) {
      // The console's redirect would lead back to this page for ever: answer plainly instead.
      state_.host.Response->Clear();
      state_.host.Response->SetStatus(503);
      state_.host.Response->Write(
          "<html><head><meta http-equiv='Content-Type' content='text/html; charset=gb2312'>"
          "<title>网站暂时无法访问</title></head><body><p>数据库连接失败，网站暂时无法访问，"
          "请稍后再试。</p></body></html>");
      return;
    }
    InitDateValues(state_.host);
    DispatchPublic(request);
    KeepPageReads(state_.caches, KeptReadsOf(state_));
  } catch (const ResponseEnd&) {
  }
}

void Folirex::DispatchPublic(const PublicRequest& request) {
  int channel_count = 0;
  // A malformed channel id names no channel: the channel loader answers as for a missing one.
  std::optional<int64_t> channel_id = request.channel_id;
  if (!request.channel_given) {
    // Without a channel id the page is the site's first channel's (the lowest id).
    FindChannelRow(state_.db, state_.caches, 0);
    if (state_.caches.ChannelRows->empty()) AlertBack(state_, kParameterError);
    channel_count = static_cast<int>(state_.caches.ChannelRows->size());
    channel_id = state_.caches.ChannelRows->begin()->first;
  }

  if (const ChannelLoader* loader = modules_.channel_loader()) {
    state_.channel = (*loader)(state_, channel_id);
  }

  const PublicHandler* handler = modules_.FindPublicRoute(request.m);
  if (handler == nullptr) {
    bool home = channel_count > 1;
    handler = home ? modules_.home_page() : modules_.first_page();
    if (handler == nullptr) {
      WriteNotInstalled(home ? "ShowDefault" : "ShowFirst");
      return;
    }
  }
  state_.host.Response->WritePage((*handler)(state_, request));
}

void Folirex::WriteNotInstalled(const std::string& what) {
  state_.host.Response->Write(
      "<html><head><meta http-equiv='Content-Type' content='text/html; charset=gb2312'>"
      "<title>模块未安装</title></head><body><p>此功能模块尚未安装：" +
      what + "</p></body></html>");
}

BodyAllowance RequestBodyLimit(const BodyRequest& request) {
  if (request.kind == EntryKind::kPublic) return request.multipart ? 0 : kPublicBodyBytes;
  RawRequest raw;
  raw.query = std::string(request.query);
  const Request head(std::move(raw));
  const ConsoleRequest console = ParseConsoleRequest(head);
  const AdminRoute* route = Modules().FindAdminRoute(console.m);
  const bool upload =
      route != nullptr && !route->upload_action.empty() && console.action == route->upload_action;
  if (request.multipart && !upload) return 0;
  // Not signed in, a request reaches the sign-in form or the redirect to it.
  if (request.session().Get("User_Code").IsBlank()) {
    if (console.m == "admin_login") return {kSignInBodyBytes, BodyShare::kSignIn};
    return kPublicBodyBytes;
  }
  return {upload ? std::numeric_limits<size_t>::max() : kConsoleBodyBytes, BodyShare::kConsole};
}

}  // namespace folirex
