// A cpp-httplib server for tests, on 127.0.0.1 and a port the system picks, run on its own
// thread inside the test process.
//
//   HttpTestServer server;
//   server.server().Get("/page", [](const httplib::Request&, httplib::Response& res) { ... });
//   server.Start();
//   Fetch(server.Url("/page"));
//
// Register handlers before Start. Handlers run on the server's worker threads. Destruction stops
// the server and joins its thread; a handler that is still running must be allowed to finish.
#ifndef FOLIREX_TESTS_SUPPORT_HTTP_TEST_SERVER_H_
#define FOLIREX_TESTS_SUPPORT_HTTP_TEST_SERVER_H_

#include <httplib.h>

#include <string>
#include <string_view>
#include <thread>

namespace folirex {

class HttpTestServer {
 public:
  HttpTestServer() = default;
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  httplib::Server& server() { return server_; }

  // Binds and starts serving; returns once the server accepts connections. Throws
  // std::runtime_error when it cannot bind.
  void Start();
  // Stops serving (also done by the destructor); afterwards nothing listens on port().
  void Stop();

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(std::string_view path) const;

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace folirex

#endif  // FOLIREX_TESTS_SUPPORT_HTTP_TEST_SERVER_H_
