#include "support/http_test_server.h"

#include <chrono>
#include <stdexcept>

namespace folirex {

HttpTestServer::~HttpTestServer() { Stop(); }

void HttpTestServer::Start() {
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("http test server: cannot bind 127.0.0.1");
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server_.is_running()) {
    if (std::chrono::steady_clock::now() > deadline) {
      Stop();
      throw std::runtime_error("http test server: did not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void HttpTestServer::Stop() {
  if (!thread_.joinable()) return;
  server_.stop();
  thread_.join();
}

std::string HttpTestServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

}  // namespace folirex
