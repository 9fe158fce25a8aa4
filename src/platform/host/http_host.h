// HttpHost: the HTTP/1.1 server that stands in for the page host. It routes each request:
//   <install folder>admin.asp      -> the administration entry
//   any path ending in /asp.asp    -> the public entry (also inside channel folders)
//   a default.asp redirect page    -> the redirect it holds
//   anything else                  -> a static file of the site root
// Static files are found segment by segment without regard to letter case, never outside the
// site root, never through a link that leads out, and never from the data folder, the settings
// file or a database file. No other .asp file is executed.
//
// Each request runs on one worker from start to end; the page handler is called on that worker
// with the request's host objects and must not keep them. Run() blocks until Stop(), which lets
// the requests under way finish. The handler may be called from several workers at once.
#ifndef FOLIREX_PLATFORM_HOST_HTTP_HOST_H_
#define FOLIREX_PLATFORM_HOST_HTTP_HOST_H_

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
  std::string install_dir = "/";  // site address of the install folder, "/" or "/sub/"
  size_t max_body_bytes = 64u << 20;
  size_t max_url_bytes = 8192;
  int keep_alive_seconds = 2;
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
