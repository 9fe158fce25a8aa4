// Helpers for the host tests: a host serving a folder on an ephemeral loopback port on a thread
// of its own, and a raw-socket exchange for requests that a client library would not send.
#ifndef FOLIREX_TESTS_PLATFORM_HOST_HOST_FIXTURE_H_
#define FOLIREX_TESTS_PLATFORM_HOST_HOST_FIXTURE_H_

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "platform/host/http_host.h"
#include "support/temp_folder.h"

namespace folirex::testing {

// The folder's older name, still used by some host tests.
using ScratchDir = TempFolder;

// An HttpHost on 127.0.0.1 and a port the system picks, running until destroyed.
class RunningHost {
 public:
  RunningHost(HostOptions options, HttpHost::PageHandler handler) {
    options.listen_host = "127.0.0.1";
    options.port = 0;
    host_ = std::make_unique<HttpHost>(std::move(options), std::move(handler));
    std::string error;
    if (!host_->Bind(&error)) throw std::runtime_error("bind failed: " + error);
    thread_ = std::thread([this] { host_->Run(); });
  }
  ~RunningHost() { StopAndJoin(); }
  RunningHost(const RunningHost&) = delete;
  RunningHost& operator=(const RunningHost&) = delete;

  HttpHost& host() { return *host_; }
  int port() const { return host_->port(); }
  std::unique_ptr<httplib::Client> Client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port());
    client->set_read_timeout(10, 0);
    return client;
  }
  // Stops the host and waits for Run() to return.
  void StopAndJoin() {
    host_->Stop();
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::unique_ptr<HttpHost> host_;
  std::thread thread_;
};

// One answer as read off the wire.
struct RawAnswer {
  int status = 0;
  std::string head;  // status line and headers
  std::string body;
};

// A new connection to the port on 127.0.0.1, from 127.0.0.1 or the loopback address `from`,
// whose reads and writes give up after 10 seconds; receive_buffer, unless 0, bounds what the
// system takes in for it unread.
inline int ConnectLoopback(int port, const char* from = nullptr, int receive_buffer = 0) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  if (receive_buffer > 0) {
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof(receive_buffer));
  }
  if (from != nullptr) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
      close(fd);
      throw std::runtime_error("bind failed");
    }
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    close(fd);
    throw std::runtime_error("connect failed");
  }
  return fd;
}

// Sends what the socket takes of the bytes; false once it takes no more (closed or reset).
inline bool SendAll(int fd, std::string_view bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Reads one answer (by its Content-Length), or what arrives before the connection closes or the
// socket's read timeout passes, and closes the socket.
inline RawAnswer ReadAnswerAndClose(int fd) {
  std::string received;
  RawAnswer answer;
  char buf[8192];
  size_t body_start = std::string::npos;
  size_t content_length = 0;
  while (true) {
    ssize_t n = recv(fd, buf, sizeof(buf), 0);
    if (n <= 0) break;
    received.append(buf, static_cast<size_t>(n));
    if (body_start == std::string::npos) {
      size_t end = received.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      body_start = end + 4;
      std::string head = received.substr(0, end);
      std::string lower = head;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      size_t cl = lower.find("content-length:");
      if (cl != std::string::npos) content_length = std::stoul(head.substr(cl + 15));
    }
    if (received.size() >= body_start + content_length) break;
  }
  close(fd);
  size_t end = received.find("\r\n\r\n");
  answer.head = received.substr(0, end);
  if (end != std::string::npos) answer.body = received.substr(end + 4);
  if (received.size() > 12 && received.starts_with("HTTP/1.")) {
    answer.status = std::atoi(received.substr(9, 3).c_str());
  }
  return answer;
}

// Sends the bytes on a new connection and reads one answer (by its Content-Length), or what
// arrives before the connection closes or 10 seconds pass.
inline RawAnswer RawExchange(int port, std::string_view bytes) {
  int fd = ConnectLoopback(port);
  SendAll(fd, bytes);
  return ReadAnswerAndClose(fd);
}

// What a client that does not wait for an answer gets: the head, then body_bytes of the piece
// repeated, sent until all is sent or the server takes no more; then the answer.
inline RawAnswer SendBodyBlindly(int port, std::string_view head, std::string_view piece,
                                 size_t body_bytes) {
  int fd = ConnectLoopback(port);
  std::string block;
  while (block.size() < 256 * 1024) block += piece;
  bool open = SendAll(fd, head);
  for (size_t sent = 0; open && sent < body_bytes; sent += block.size()) {
    open =
        SendAll(fd, std::string_view(block).substr(0, std::min(block.size(), body_bytes - sent)));
  }
  return ReadAnswerAndClose(fd);
}

// The process's memory in KB from /proc/self/status: "VmHWM" its peak, "VmRSS" its present.
inline long ProcessMemoryKb(std::string_view field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(field) && line.size() > field.size() && line[field.size()] == ':') {
      return std::stol(line.substr(field.size() + 1));
    }
  }
  return 0;
}

// Starts the process's peak memory ("VmHWM") afresh from its present.
inline void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

// "GET <target> HTTP/1.1" with a Host header, closing the connection after the answer.
inline RawAnswer RawGet(int port, std::string_view target) {
  std::string request =
      "GET " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  return RawExchange(port, request);
}

}  // namespace folirex::testing

#endif  // FOLIREX_TESTS_PLATFORM_HOST_HOST_FIXTURE_H_
