#include "platform/host/http_host.h"

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/fs/site_path.h"
#include "platform/host/host_text.h"
#include "platform/text/codepage.h"

namespace folirex {

namespace {

namespace stdfs = std::filesystem;
using host::AsciiLower;
using host::EndsWithNoCase;
using host::EqualsNoCase;

// Where the pre-routing step keeps the request's Content-Type (see HideBodyType).
constexpr const char* kStashedContentType = "X-Folirex-Content-Type";

// A folder's page, in this order: the static first pages the publishing pages write
// ("default" with the channel's or the site's extension), the dynamic redirect page
// "default.asp" (never present together with those after a mode switch), then the first page
// of a class list folder.
constexpr std::array<const char*, 7> kFolderPages = {"default.html", "default.htm", "default.shtml",
                                                     "default.shtm", "default.asp", "index.html",
                                                     "index.htm"};

constexpr std::array<const char*, 5> kDatabaseSuffixes = {".db", ".db-wal", ".db-shm", ".mdb",
                                                          ".sqlite"};

// Larger static files are streamed from the disk instead of read whole.
constexpr uintmax_t kStreamFrom = 1u << 20;
// An .asp file is read to see whether it holds script; none of ours is near this size.
constexpr uintmax_t kAspReadLimit = 4u << 20;

thread_local bool t_in_page = false;

struct PageScope {
  PageScope() { t_in_page = true; }
  ~PageScope() { t_in_page = false; }
};

std::string ContentTypeFor(std::string_view name) {
  std::string lower = AsciiLower(name);
  size_t dot = lower.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : lower.substr(dot + 1);
  struct Type {
    const char* ext;
    const char* type;
  };
  // The site's text files are written in code page 936.
  static constexpr Type kTypes[] = {
      {"html", "text/html; charset=gb2312"},
      {"htm", "text/html; charset=gb2312"},
      {"shtml", "text/html; charset=gb2312"},
      {"shtm", "text/html; charset=gb2312"},
      {"asp", "text/html; charset=gb2312"},
      {"css", "text/css; charset=gb2312"},
      {"js", "application/javascript; charset=gb2312"},
      {"txt", "text/plain; charset=gb2312"},
      {"htc", "text/x-component; charset=gb2312"},
      {"xml", "text/xml"},
      {"json", "application/json"},
      {"gif", "image/gif"},
      {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},
      {"jpe", "image/jpeg"},
      {"png", "image/png"},
      {"bmp", "image/bmp"},
      {"ico", "image/x-icon"},
      {"svg", "image/svg+xml"},
      {"webp", "image/webp"},
      {"swf", "application/x-shockwave-flash"},
      {"flv", "video/x-flv"},
      {"mp3", "audio/mpeg"},
      {"wav", "audio/wav"},
      {"wma", "audio/x-ms-wma"},
      {"wmv", "video/x-ms-wmv"},
      {"mp4", "video/mp4"},
      {"avi", "video/x-msvideo"},
      {"mid", "audio/midi"},
      {"rm", "application/vnd.rn-realmedia"},
      {"zip", "application/zip"},
      {"rar", "application/x-rar-compressed"},
      {"7z", "application/x-7z-compressed"},
      {"gz", "application/gzip"},
      {"pdf", "application/pdf"},
      {"doc", "application/msword"},
      {"xls", "application/vnd.ms-excel"},
      {"ppt", "application/vnd.ms-powerpoint"},
      {"woff", "font/woff"},
      {"woff2", "font/woff2"},
      {"ttf", "font/ttf"},
  };
  for (const Type& t : kTypes) {
    if (ext == t.ext) return t.type;
  }
  return "application/octet-stream";
}

bool IsForbiddenName(std::string_view name) {
  if (EqualsNoCase(name, "folirex.conf")) return true;
  for (const char* suffix : kDatabaseSuffixes) {
    if (EndsWithNoCase(name, suffix)) return true;
  }
  return false;
}

// The data folder at the root, the settings file and database files anywhere.
bool IsForbidden(const std::vector<std::string>& segments) {
  if (!segments.empty() && EqualsNoCase(segments.front(), "data")) return true;
  for (const std::string& segment : segments) {
    if (IsForbiddenName(segment)) return true;
  }
  return false;
}

std::vector<std::string> SplitSegments(std::string_view path) {
  std::vector<std::string> segments;
  std::string current;
  for (char c : path) {
    if (c == '/' || c == '\\') {
      if (!current.empty() && current != ".") segments.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty() && current != ".") segments.push_back(current);
  return segments;
}

std::string JoinSegments(const std::vector<std::string>& segments) {
  std::string joined;
  for (const std::string& s : segments) {
    if (!joined.empty()) joined.push_back('/');
    joined += s;
  }
  return joined;
}

// The redirect page the publishing pages write: "<%", Response.Redirect "target", "%>".
std::optional<std::string> RedirectTarget(std::string_view content) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    lines.push_back(line);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() != 3 || lines[0] != "<%" || lines[2] != "%>") return std::nullopt;
  std::string_view statement = lines[1];
  constexpr std::string_view kKeyword = "response.redirect";
  if (!host::StartsWithNoCase(statement, kKeyword)) return std::nullopt;
  statement.remove_prefix(kKeyword.size());
  if (statement.empty() || (statement.front() != ' ' && statement.front() != '\t')) {
    return std::nullopt;
  }
  while (!statement.empty() && (statement.front() == ' ' || statement.front() == '\t')) {
    statement.remove_prefix(1);
  }
  if (statement.size() < 2 || statement.front() != '"' || statement.back() != '"') {
    return std::nullopt;
  }
  std::string_view target = statement.substr(1, statement.size() - 2);
  if (target.find('"') != std::string_view::npos) return std::nullopt;
  return std::string(target);
}

std::string ErrorPage(int status) {
  const char* text = "请求无法完成。";
  switch (status) {
    case 400:
      text = "请求格式错误。";
      break;
    case 404:
      text = "找不到该页面或文件。";
      break;
    case 405:
      text = "不支持该请求方法。";
      break;
    case 413:
      text = "提交的内容太大。";
      break;
    case 414:
      text = "请求的网址太长。";
      break;
    case 500:
      text = "服务器处理页面时出错，请稍后再试。";
      break;
    default:
      break;
  }
  std::string page =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=gb2312\"><title>" +
      std::to_string(status) + "</title></head><body><p>" + text + "</p></body></html>";
  return Utf8ToGbk(page, Unmappable::kQuestion);
}

void SetErrorPage(httplib::Response& res, int status) {
  res.status = status;
  res.set_content(ErrorPage(status), "text/html; charset=gb2312");
}

bool ReadWholeFile(const stdfs::path& path, uintmax_t limit, std::string* out) {
  std::error_code ec;
  uintmax_t size = stdfs::file_size(path, ec);
  if (ec || size > limit) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->resize(size);
  in.read(out->data(), static_cast<std::streamsize>(size));
  out->resize(static_cast<size_t>(in.gcount()));
  return true;
}

// The library binds with SO_REUSEPORT, which would let a second server take the same port
// without an error; the host wants a clear failure instead.
void HostSocketOptions(socket_t sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

}  // namespace

// httplib's server with access to its listening socket, so that a host bound but never run
// does not leave the socket open.
class HostServer : public httplib::Server {
 public:
  void CloseUnusedListener() {
    socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
    if (sock != INVALID_SOCKET) ::close(sock);
  }
};

struct HttpHost::Impl {
  Impl(HostOptions o, PageHandler h);

  void HideBodyType(const httplib::Request& req);
  void Serve(const httplib::Request& req, httplib::Response& res);
  void ServePage(EntryKind kind, const httplib::Request& req, std::string path, std::string query,
                 httplib::Response& res);
  void ServeStatic(const httplib::Request& req, const std::string& raw_path,
                   const std::string& path, const std::string& query, httplib::Response& res);
  void ServeFile(const httplib::Request& req, const stdfs::path& file, const std::string& raw_dir,
                 httplib::Response& res);

  HostOptions options;
  PageHandler handler;
  Application application;
  SessionStore sessions;
  HostServer server;
  std::string install_dir;

  std::mutex run_mutex;
  std::condition_variable run_cv;
  bool bound = false;
  bool running = false;
  bool stop_requested = false;
  bool stop_sent = false;
  int port = 0;
};

HttpHost::Impl::Impl(HostOptions o, PageHandler h)
    : options(std::move(o)), handler(std::move(h)), sessions(options.session_idle) {
  std::error_code ec;
  stdfs::path root = stdfs::absolute(options.site_root, ec).lexically_normal();
  if (!ec) {
    if (!root.has_filename() && root.has_parent_path() && root != root.root_path()) {
      root = root.parent_path();
    }
    options.site_root = root;
  }
  install_dir = Server(options.site_root, options.install_dir).install_dir();
  size_t threads = static_cast<size_t>(std::max(1, options.threads));
  server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  server.set_tcp_nodelay(true);
  server.set_socket_options(&HostSocketOptions);
  server.set_keep_alive_timeout(options.keep_alive_seconds);
  server.set_keep_alive_max_count(100);
  server.set_payload_max_length(options.max_body_bytes);
  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    HideBodyType(req);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  auto serve = [this](const httplib::Request& req, httplib::Response& res) { Serve(req, res); };
  server.Get("/", serve);
  server.Post("/", serve);
  auto not_allowed = [](const httplib::Request&, httplib::Response& res) {
    SetErrorPage(res, 405);
    res.set_header("Allow", "GET, HEAD, POST");
  };
  server.Put("/", not_allowed);
  server.Delete("/", not_allowed);
  server.Patch("/", not_allowed);
  server.Options("/", not_allowed);
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) res.set_content(ErrorPage(res.status), "text/html; charset=gb2312");
  });
  server.set_exception_handler(
      [](const httplib::Request& req, httplib::Response& res, std::exception_ptr) {
        std::cerr << "folirex: unexpected failure serving " << req.target << "\n";
        SetErrorPage(res, 500);
      });
}

// The library parses a body by its Content-Type: a form body over 8 KB is refused, and a
// multipart body is split into parts and not kept. The pages read raw bodies (the upload parser
// reads the multipart body whole), so the type is moved out of the library's sight and given
// back when the Request is built. The library also matches every path against the routes'
// patterns; routing is done here, so it is handed a fixed path. Both edits are made on the
// library's own non-const request object before it looks at them.
void HttpHost::Impl::HideBodyType(const httplib::Request& creq) {
  auto& req = const_cast<httplib::Request&>(creq);
  req.headers.erase(kStashedContentType);
  auto it = req.headers.find("Content-Type");
  if (it != req.headers.end()) {
    std::string value = it->second;
    req.headers.erase("Content-Type");
    req.headers.emplace(kStashedContentType, std::move(value));
  }
  req.path = "/";
}

void HttpHost::Impl::Serve(const httplib::Request& req, httplib::Response& res) {
  if (req.target.size() > options.max_url_bytes) {
    SetErrorPage(res, 414);
    return;
  }
  std::string_view target = req.target;
  // The absolute form "http://host/path" that proxies send.
  size_t scheme = target.find("://");
  if (scheme != std::string_view::npos && scheme < target.find('/')) {
    size_t slash = target.find('/', scheme + 3);
    target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
  }
  size_t question = target.find('?');
  std::string raw_path(target.substr(0, question));
  std::string query =
      question == std::string_view::npos ? std::string() : std::string(target.substr(question + 1));
  std::string path_bytes = host::PercentDecode(raw_path, false);
  if (path_bytes.empty() || path_bytes.front() != '/' ||
      path_bytes.find('\0') != std::string::npos) {
    SetErrorPage(res, 400);
    return;
  }
  std::string path = host::PathBytesToUtf8(path_bytes);
  if (EqualsNoCase(path, install_dir + "admin.asp")) {
    ServePage(EntryKind::kAdmin, req, std::move(path), std::move(query), res);
  } else if (EndsWithNoCase(path, "/asp.asp")) {
    ServePage(EntryKind::kPublic, req, std::move(path), std::move(query), res);
  } else {
    ServeStatic(req, raw_path, path, query, res);
  }
}

void HttpHost::Impl::ServePage(EntryKind kind, const httplib::Request& req, std::string path,
                               std::string query, httplib::Response& res) {
  RawRequest raw;
  raw.method = req.method;
  raw.version = req.version;
  raw.path = std::move(path);
  raw.query = std::move(query);
  raw.body = req.body;
  std::vector<std::string> session_cookies;
  for (const auto& [name, value] : req.headers) {
    if (EqualsNoCase(name, kStashedContentType)) {
      raw.headers.emplace_back("Content-Type", value);
    } else {
      raw.headers.emplace_back(name, value);
    }
    if (EqualsNoCase(name, "Cookie")) {
      // Every value under the session cookie's name: an old one may be sent first.
      std::string prefix = std::string(SessionStore::kCookieName) + "=";
      for (size_t start = 0; start < value.size();) {
        size_t end = value.find(';', start);
        if (end == std::string::npos) end = value.size();
        std::string_view item(value.data() + start, end - start);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        if (item.starts_with(prefix)) session_cookies.emplace_back(item.substr(prefix.size()));
        start = end + 1;
      }
    }
  }
  raw.remote_addr = req.remote_addr;
  raw.remote_port = req.remote_port;
  raw.local_addr = req.local_addr;
  raw.local_port = req.local_port;
  Request request(std::move(raw));
  Response response;

  Session session = sessions.Attach("");
  for (const std::string& value : session_cookies) {
    Session attached = sessions.Attach(value);
    if (!attached.SessionID().empty()) {
      session = std::move(attached);
      break;
    }
  }
  Server page_server(options.site_root, install_dir);
  PageObjects objects{request, response, session, application, page_server};

  bool failed = false;
  {
    PageScope scope;
    try {
      handler(kind, objects);
    } catch (const ResponseEnd&) {
      // End and Redirect: what is buffered is the answer.
    } catch (const std::exception& e) {
      failed = true;
      std::cerr << "folirex: error serving " << req.target << ": " << e.what() << "\n";
    } catch (...) {
      failed = true;
      std::cerr << "folirex: error serving " << req.target << "\n";
    }
  }
  // A page must not leave the Application locked: the worker would keep every other out.
  while (application.LockedByCaller()) application.UnLock();

  if (SessionStore::NeedsCookie(session)) {
    res.set_header("Set-Cookie", SessionStore::CookieHeader(session));
  }
  if (failed) {
    SetErrorPage(res, 500);
    return;
  }
  res.status = response.status();
  bool cache_control = false;
  for (const auto& [name, value] : response.headers()) {
    if (EqualsNoCase(name, "Cache-Control")) cache_control = true;
    res.set_header(name, Utf8ToGbk(value, Unmappable::kQuestion));
  }
  // Pages are made for one visitor; shared caches must not keep them unless a page says so.
  if (!cache_control) res.set_header("Cache-Control", "private");
  res.set_content(Utf8ToGbk(response.body(), Unmappable::kCharRef),
                  host::HeaderSafe(response.content_type()));
}

void HttpHost::Impl::ServeStatic(const httplib::Request& req, const std::string& raw_path,
                                 const std::string& path, const std::string& query,
                                 httplib::Response& res) {
  if (req.method != "GET" && req.method != "HEAD") {
    SetErrorPage(res, 405);
    res.set_header("Allow", "GET, HEAD");
    return;
  }
  std::vector<std::string> segments = SplitSegments(path);
  for (const std::string& segment : segments) {
    if (segment == "..") {
      SetErrorPage(res, 404);
      return;
    }
  }
  if (IsForbidden(segments)) {
    SetErrorPage(res, 404);
    return;
  }
  const stdfs::path& root = options.site_root;
  std::optional<stdfs::path> resolved = fs::ResolveInside(root, JoinSegments(segments));
  if (!resolved) {
    SetErrorPage(res, 404);
    return;
  }
  // Checked again on the names found on the disk, whatever letter case the request used.
  std::vector<std::string> found;
  for (const stdfs::path& part : resolved->lexically_relative(root)) {
    std::string s = part.string();
    if (!s.empty() && s != ".") found.push_back(s);
  }
  if (IsForbidden(found)) {
    SetErrorPage(res, 404);
    return;
  }
  std::error_code ec;
  stdfs::file_status status = stdfs::status(*resolved, ec);
  if (!ec && stdfs::is_directory(status)) {
    if (raw_path.back() != '/') {
      // Relative links in the folder's page need the address to end with "/".
      res.status = 301;
      res.set_header("Location", raw_path + "/" + (query.empty() ? "" : "?" + query));
      return;
    }
    std::string folder = JoinSegments(segments);
    for (const char* page : kFolderPages) {
      std::optional<stdfs::path> candidate =
          fs::ResolveInside(root, folder.empty() ? std::string(page) : folder + "/" + page);
      if (candidate && stdfs::is_regular_file(*candidate, ec)) {
        ServeFile(req, *candidate, raw_path, res);
        return;
      }
    }
    SetErrorPage(res, 404);
    return;
  }
  // A file is not a folder: "page.html/" names nothing.
  if (ec || !stdfs::is_regular_file(status) || raw_path.back() == '/') {
    SetErrorPage(res, 404);
    return;
  }
  ServeFile(req, *resolved, raw_path.substr(0, raw_path.rfind('/') + 1), res);
}

void HttpHost::Impl::ServeFile(const httplib::Request& req, const stdfs::path& file,
                               const std::string& raw_dir, httplib::Response& res) {
  std::string name = file.filename().string();
  if (EndsWithNoCase(name, ".asp")) {
    std::string content;
    if (!ReadWholeFile(file, kAspReadLimit, &content)) {
      SetErrorPage(res, 404);
      return;
    }
    if (EqualsNoCase(name, "default.asp")) {
      if (std::optional<std::string> target = RedirectTarget(content)) {
        bool absolute = (!target->empty() && target->front() == '/') ||
                        target->find("://") != std::string::npos;
        res.status = 302;
        res.set_header("Location", absolute ? *target : raw_dir + *target);
        return;
      }
    }
    // No other script is run, and script text is never shown.
    if (content.find("<%") != std::string::npos) {
      SetErrorPage(res, 404);
      return;
    }
    res.set_content(std::move(content), "text/html; charset=gb2312");
    return;
  }

  struct stat info {};
  if (::stat(file.c_str(), &info) == 0) {
    std::time_t modified = info.st_mtime;
    res.set_header("Last-Modified", host::HttpDate(modified));
    std::time_t since = 0;
    if (req.has_header("If-Modified-Since") &&
        host::ParseHttpDate(req.get_header_value("If-Modified-Since"), &since) &&
        modified <= since) {
      res.status = 304;
      return;
    }
  }
  res.set_header("X-Content-Type-Options", "nosniff");
  std::string type = ContentTypeFor(name);
  std::error_code ec;
  uintmax_t size = stdfs::file_size(file, ec);
  if (ec) {
    SetErrorPage(res, 404);
    return;
  }
  if (size < kStreamFrom) {
    std::string content;
    if (!ReadWholeFile(file, kStreamFrom, &content)) {
      SetErrorPage(res, 404);
      return;
    }
    res.set_content(std::move(content), type);
    return;
  }
  auto in = std::make_shared<std::ifstream>(file, std::ios::binary);
  if (!*in) {
    SetErrorPage(res, 404);
    return;
  }
  res.set_content_provider(static_cast<size_t>(size), type,
                           [in](size_t offset, size_t length, httplib::DataSink& sink) {
                             std::vector<char> buf(std::min<size_t>(length, 64 * 1024));
                             in->seekg(static_cast<std::streamoff>(offset));
                             in->read(buf.data(), static_cast<std::streamsize>(buf.size()));
                             std::streamsize n = in->gcount();
                             if (n <= 0) return false;
                             sink.write(buf.data(), static_cast<size_t>(n));
                             return true;
                           });
}

HttpHost::HttpHost(HostOptions options, PageHandler handler)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(handler))) {}

HttpHost::~HttpHost() {
  Stop();
  impl_->server.CloseUnusedListener();
}

bool HttpHost::Bind(std::string* error) {
  std::lock_guard lock(impl_->run_mutex);
  if (impl_->bound) return true;
  int port = impl_->options.port;
  bool ok;
  if (port == 0) {
    port = impl_->server.bind_to_any_port(impl_->options.listen_host);
    ok = port > 0;
  } else {
    ok = impl_->server.bind_to_port(impl_->options.listen_host, port);
  }
  if (!ok) {
    if (error != nullptr) {
      *error = impl_->options.listen_host + ":" + std::to_string(impl_->options.port) +
               " is in use or not an address of this machine";
    }
    return false;
  }
  impl_->port = port;
  impl_->bound = true;
  return true;
}

int HttpHost::port() const { return impl_->port; }

void HttpHost::Run() {
  {
    std::lock_guard lock(impl_->run_mutex);
    if (!impl_->bound || impl_->stop_requested || impl_->running) return;
    impl_->running = true;
  }
  impl_->server.listen_after_bind();
  {
    std::lock_guard lock(impl_->run_mutex);
    impl_->running = false;
  }
  impl_->run_cv.notify_all();
}

void HttpHost::Stop() {
  std::unique_lock lock(impl_->run_mutex);
  impl_->stop_requested = true;
  while (impl_->running) {
    // The library ignores a stop before its loop has started and must be told only once.
    if (!impl_->stop_sent && impl_->server.is_running()) {
      impl_->server.stop();
      impl_->stop_sent = true;
    }
    // From inside a page: Run() returns once this request, too, has finished.
    if (t_in_page) return;
    impl_->run_cv.wait_for(lock, std::chrono::milliseconds(20));
  }
}

Application& HttpHost::application() { return impl_->application; }

SessionStore& HttpHost::sessions() { return impl_->sessions; }

}  // namespace folirex
