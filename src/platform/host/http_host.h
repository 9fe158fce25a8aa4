// HttpHost: the HTTP/1.1 server that stands in for the page host. It routes each request:
//   <install folder>admin.asp      -> the administration entry
//   any path ending in /asp.asp    -> the public entry (also inside channel folders)
//   a default.asp redirect page    -> a 302 to the target it holds, relative to its folder
//   anything else                  -> a static file of the site root (GET and HEAD only)
// Letter case is ignored throughout. Static files are found segment by segment, never outside
// the site root, never through a link that leads out, and never from the data folder ("data"
// at the root), the settings file (folirex.conf) or a database file (.db, .db-wal, .db-shm,
// .mdb, .sqlite). No other .asp file is executed: one without "<%" is served as HTML, one with
// it answers 404. A folder's address serves the first of default.html, default.htm,
// default.shtml, default.shtm, default.asp, index.html, index.htm (a folder address without its
// final "/" is redirected to it first); there is no folder listing.
//
// Each request runs on one worker from start to end; the page handler is called on that worker
// with the request's host objects and must not keep them. The page's body is converted to code
// page 936 once, when sent; its session cookie is sent when the session was stored or its id
// renewed. Run() blocks until Stop(), which lets the requests under way finish. The handler may
// be called from several workers at once.
#ifndef FOLIREX_PLATFORM_HOST_HTTP_HOST_H_
#define FOLIREX_PLATFORM_HOST_HTTP_HOST_H_

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/host/application.h"
#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/server.h"
#include "platform/host/session.h"

namespace folirex {

// The host objects of one request, as a page receives them.
struct PageObjects {
  Request& request;
  Response& response;
  Session& session;
  Application& application;
  Server& server;
};

enum class EntryKind { kAdmin, kPublic };

struct HostOptions {
  std::string listen_host = "127.0.0.1";
  int port = 8080;  // 0: any free port (see HttpHost::port)
  int threads = 32;
  std::filesystem::path site_root;
  std::string install_dir = "/";      // site address of the install folder, "/" or "/sub/"
  size_t max_body_bytes = 64u << 20;  // a longer body is answered 413 before it is read
  // A longer request target is answered 414. The HTTP library also refuses a request line over
  // 8192 bytes whatever this says.
  size_t max_url_bytes = 8192;
  int keep_alive_seconds = 2;
  std::chrono::seconds session_idle = std::chrono::minutes(20);
};

class HttpHost {
 public:
  // Called for admin.asp and asp.asp requests. A ResponseEnd thrown out of it is normal; any
  // other exception is answered with a 500 page and logged to stderr.
  using PageHandler = std::function<void(EntryKind, PageObjects&)>;

  HttpHost(HostOptions options, PageHandler handler);
  ~HttpHost();
  HttpHost(const HttpHost&) = delete;
  HttpHost& operator=(const HttpHost&) = delete;

  // Binds the listening socket; false (with a message in *error) when it cannot.
  bool Bind(std::string* error);
  // The bound port (after Bind).
  int port() const;
  // Serves until Stop().
  void Run();
  // Stops accepting, finishes the requests under way, makes Run() return. Safe from any thread
  // and from a signal-watching thread.
  void Stop();

  Application& application();
  SessionStore& sessions();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_HTTP_HOST_H_
