// Clients that try to take the server down with cheap requests: slow and idle connections,
// floods of headers, bodies that are larger, compressed or framed twice. Each probe asserts the
// answer and that a normal request alongside is still answered within a second.
#include <gtest/gtest.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/client_address.h"
#include "platform/host/host_fixture.h"
#include "platform/host/http_host.h"

namespace folirex {
namespace {

using testing::RawExchange;
using testing::RunningHost;
using testing::ScratchDir;

// A client socket that sends and reads by hand, from 127.0.0.1 or another loopback address.
class RawClient {
 public:
  // receive_buffer, unless 0: what the system takes in for the client unread.
  explicit RawClient(int port, const char* from = nullptr, int receive_buffer = 0)
      : fd_(testing::ConnectLoopback(port, from, receive_buffer)) {}
  ~RawClient() { close(fd_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Send(std::string_view bytes) {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  // What arrives until the server closes the connection or `seconds` pass.
  std::string ReadAll(int seconds) {
    timeval timeout{seconds, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    std::string received;
    char buf[4096];
    while (true) {
      ssize_t n = recv(fd_, buf, sizeof(buf), 0);
      if (n <= 0) {
        closed_ = n == 0 || errno == ECONNRESET;
        break;
      }
      received.append(buf, static_cast<size_t>(n));
    }
    return received;
  }
  // One answer, read by its Content-Length; what follows it stays unread.
  std::string ReadAnswer(int seconds) {
    timeval timeout{seconds, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    std::string received;
    char c;
    while (received.find("\r\n\r\n") == std::string::npos && recv(fd_, &c, 1, 0) == 1) {
      received += c;
    }
    size_t at = received.find("Content-Length: ");
    size_t left = at == std::string::npos ? 0 : std::stoul(received.substr(at + 16));
    for (; left > 0 && recv(fd_, &c, 1, 0) == 1; --left) received += c;
    return received;
  }
  bool closed() const { return closed_; }
  // Whether something has come that is not read yet, without waiting.
  bool HasAnswer() {
    char c;
    return recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
  }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  bool closed_ = false;
};

// A client that asks and reads nothing: what the system takes in for it unread is a few KB.
constexpr int kUnreadBuffer = 4096;

// `count` such clients from ten addresses 127.0.<network>.1 to 127.0.<network>.10 in turn, each
// sending `request`.
std::vector<std::unique_ptr<RawClient>> OpenUnreading(int port, int count, int network,
                                                      const std::string& request) {
  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < count; ++i) {
    const std::string from = "127.0." + std::to_string(network) + "." + std::to_string(1 + i % 10);
    clients.push_back(std::make_unique<RawClient>(port, from.c_str(), kUnreadBuffer));
    clients.back()->Send(request);
  }
  return clients;
}

// Whether every client has something to read (an answer, or the end of its connection) within
// `seconds`.
bool AllReadable(const std::vector<std::unique_ptr<RawClient>>& clients, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (const auto& client : clients) {
    pollfd ready{client->fd(), POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) != 1) return false;
  }
  return true;
}

// The process's resident memory in KB once it has come down to `bound`, or after 5 seconds.
long ResidentOnceBelow(long bound) {
  long resident = testing::ProcessMemoryKb("VmRSS");
  for (int i = 0; i < 50 && resident >= bound; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    resident = testing::ProcessMemoryKb("VmRSS");
  }
  return resident;
}

class HostileClients : public ::testing::Test {
 protected:
  // The page asked with the query "big": more than the system takes of an answer at once.
  static constexpr size_t kBigPage = 5000000;
  // The page asked with "huge": more than the system can take in for a client while it reads.
  static constexpr size_t kHugePage = 12000000;
  // The page asked with "long": long enough to take seconds to a reader at a few KB/s.
  static constexpr size_t kLongPage = 96000;

  void Start(HostOptions options) {
    site_.Write("a.css", "body{}");
    options.site_root = site_.path();
    host_ = std::make_unique<RunningHost>(options, [this](EntryKind, PageObjects& p) {
      ++pages_;
      const std::string query = p.request.ServerVariables("QUERY_STRING");
      if (query == "hold") released_.wait();
      if (query == "big") return p.response.Write(std::string(kBigPage, 'x'));
      if (query == "huge") return p.response.Write(std::string(kHugePage, 'x'));
      if (query == "long") return p.response.Write(std::string(kLongPage, 'x'));
      p.response.Write("page " + p.request.ServerVariables("REMOTE_ADDR") + " " +
                       std::to_string(p.request.TotalBytes()));
    });
  }
  // A normal page is answered within a second, whatever else is going on.
  void ExpectServing() {
    httplib::Client client("127.0.0.1", host_->port());
    client.set_connection_timeout(1, 0);
    client.set_read_timeout(1, 0);
    auto res = client.Get("/asp.asp");
    ASSERT_TRUE(res) << "no answer within a second";
    EXPECT_EQ(res->status, 200);
  }
  int port() const { return host_->port(); }

  ScratchDir site_;
  std::atomic<int> pages_{0};
  // Pages asked with the query "hold" wait for this.
  std::promise<void> release_;
  std::shared_future<void> released_ = release_.get_future().share();
  std::unique_ptr<RunningHost> host_;
};

TEST_F(HostileClients, SlowHeadersHoldNoWorkerAndAreCutAtTheDeadline) {
  HostOptions options;
  options.threads = 2;
  options.head_timeout = std::chrono::seconds(1);
  Start(options);
  std::vector<std::unique_ptr<RawClient>> slow;
  for (int i = 0; i < 64; ++i) {
    slow.push_back(std::make_unique<RawClient>(port()));
    slow.back()->Send("GET /asp.asp HTTP/1.1\r\nHost: a\r\n");
  }
  ExpectServing();
  for (auto& client : slow) client->Send("X-More: 1\r\n");
  ExpectServing();
  // Each keeps trickling, yet the whole head had to come within the deadline.
  for (auto& client : slow) {
    client->ReadAll(5);
    EXPECT_TRUE(client->closed());
  }
  ExpectServing();
  EXPECT_EQ(pages_, 3);
}

// At the bound on connections a new one takes the place of those that have waited longest on
// their clients (between requests or for a head) when all come from one address; only when none
// waits is it refused, at once.
TEST_F(HostileClients, AtTheConnectionBoundTheLongestWaitingMakeRoom) {
  HostOptions options;
  options.threads = 1;
  options.max_connections = 300;
  options.max_client_connections = 1000;
  Start(options);
  std::vector<std::unique_ptr<RawClient>> waiting;
  for (int i = 0; i < 300; ++i) {
    waiting.push_back(std::make_unique<RawClient>(port()));
    waiting.back()->Send(i % 2 ? "GET /a.css HTTP/1.1\r\nHost: a\r\n\r\n"
                               : "GET /asp.asp HTTP/1.1\r\nHost: a\r\n");
  }
  ExpectServing();
  waiting.front()->ReadAll(2);  // the oldest, half a head: closed to make room
  EXPECT_TRUE(waiting.front()->closed());
  waiting.clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // Connections whose pages are running are never given up.
  host_.reset();
  options.threads = 50;
  options.max_connections = 50;
  options.owner_workers = 0;  // every worker and page for the one address
  options.max_client_pages = 50;
  Start(options);
  const int before = pages_;
  std::vector<std::unique_ptr<RawClient>> busy;
  for (int i = 0; i < 50; ++i) {
    busy.push_back(std::make_unique<RawClient>(port()));
    busy.back()->Send("GET /asp.asp?hold HTTP/1.1\r\nHost: a\r\n\r\n");
  }
  while (pages_ < before + 50) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  RawClient over(port());
  EXPECT_NE(over.ReadAll(2).find("503 Service Unavailable"), std::string::npos);
  release_.set_value();
  for (auto& client : busy)
    EXPECT_NE(client->ReadAnswer(5).find("page 127.0.0.1"), std::string::npos);
  ExpectServing();
}

// Clients that try to hold every connection the host allows, until destroyed: from each of six
// addresses ten keep-alive connections that ask for a file every 0.2 s and come back when closed,
// and from four more addresses forty connections that send nothing, one replaced every 5 ms.
class ConnectionFlood {
 public:
  explicit ConnectionFlood(int port) {
    for (int a = 0; a < 6; ++a) {
      threads_.emplace_back([this, port, from = "127.0.1." + std::to_string(a + 1)] {
        std::vector<std::unique_ptr<RawClient>> kept(10);
        std::vector<bool> answered(kept.size());
        while (!stop_) {
          const auto round = std::chrono::steady_clock::now();
          for (size_t i = 0; i < kept.size(); ++i) {
            std::unique_ptr<RawClient>& client = kept[i];
            try {
              if (!client) client = std::make_unique<RawClient>(port, from.c_str());
            } catch (const std::exception&) {
              continue;
            }
            client->Send("GET /a.css HTTP/1.1\r\nHost: a\r\n\r\n");
            if (client->ReadAnswer(1).find(" 200 ") == std::string::npos) client.reset();
            if (client && !answered[i]) {
              answered[i] = true;
              ++answered_;
            }
          }
          std::this_thread::sleep_until(round + std::chrono::milliseconds(200));
        }
      });
    }
    threads_.emplace_back([this, port] {
      std::vector<std::unique_ptr<RawClient>> empty(40);
      for (size_t i = 0; !stop_; i = (i + 1) % empty.size()) {
        const std::string from = "127.0.2." + std::to_string(1 + i % 4);
        try {
          empty[i] = std::make_unique<RawClient>(port, from.c_str());
        } catch (const std::exception&) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
    // Until every kept connection has been answered once, within 5 s.
    for (int i = 0; i < 500 && answered_ < 60; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~ConnectionFlood() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> answered_{0};
  std::vector<std::thread> threads_;
};

// At the bound the connections to close are taken from the addresses that hold the most: a
// flood from a few addresses that renews its connections and opens new ones all the time does
// not push out the one slow connection of another address, be it a console request whose head
// comes slowly, a form or a sign-in whose body does.
TEST_F(HostileClients, AFloodFromFewAddressesDoesNotPushOutSlowClientsOfOthers) {
  HostOptions options;
  options.max_connections = 60;
  options.max_client_connections = 1000;
  options.body_limit = [](const BodyRequest& request) -> BodyAllowance {
    if (request.kind == EntryKind::kAdmin && request.query == "m=login") {
      return {4096, BodyShare::kSignIn};
    }
    return 100000;
  };
  Start(options);
  ConnectionFlood flood(port());
  // Each sends its request in twelve pieces, one every 0.1 s, and reads the answer.
  auto slowly = [this](const char* from, std::string head, std::string piece, std::string last) {
    return std::async(std::launch::async, [=, port = port()] {
      RawClient client(port, from);
      client.Send(head);
      for (int i = 0; i < 12; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        client.Send(i < 11 ? piece : last);
      }
      return client.ReadAnswer(5);
    });
  };
  const std::string close = "Connection: close\r\n";
  auto console = slowly("127.0.3.1", "GET /admin.asp HTTP/1.1\r\n", "X-Part: 1\r\n",
                        "Host: a\r\n" + close + "\r\n");
  auto form = slowly("127.0.3.2",
                     "POST /asp.asp HTTP/1.1\r\nHost: a\r\n" + close +
                         "Content-Type: application/x-www-form-urlencoded\r\n"
                         "Content-Length: 12000\r\n\r\n",
                     std::string(1000, 'a'), std::string(1000, 'a'));
  auto sign_in = slowly(
      "127.0.3.3",
      "POST /admin.asp?m=login HTTP/1.1\r\nHost: a\r\n" + close + "Content-Length: 1200\r\n\r\n",
      std::string(100, 'b'), std::string(100, 'b'));
  EXPECT_NE(console.get().find("page 127.0.3.1 0"), std::string::npos);
  EXPECT_NE(form.get().find("page 127.0.3.2 12000"), std::string::npos);
  EXPECT_NE(sign_in.get().find("page 127.0.3.3 1200"), std::string::npos);
}

TEST_F(HostileClients, FramingIsStrict) {
  HostOptions options;
  options.max_body_bytes = 64 * 1024;
  Start(options);
  std::string head = "POST /asp.asp HTTP/1.1\r\nHost: a\r\n";
  std::string many_fields;
  for (int i = 0; i < 101; ++i) many_fields += "X-" + std::to_string(i) + ": y\r\n";
  struct Probe {
    const char* what;
    std::string request;
    int status;
  } probes[] = {
      {"two lengths", head + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", 400},
      {"length and chunked", head + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
      {"chunked and length", head + "Transfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n", 400},
      {"other coding", head + "Transfer-Encoding: gzip\r\n\r\nabc", 400},
      {"gzip, chunked", head + "Transfer-Encoding: gzip, chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
       400},
      {"deflate, chunked", head + "Transfer-Encoding: deflate, chunked\r\n\r\n0\r\n\r\n", 400},
      {"unknown, chunked", head + "Transfer-Encoding: x-foo, chunked\r\n\r\n0\r\n\r\n", 400},
      {"chunked twice", head + "Transfer-Encoding: chunked, chunked\r\n\r\n0\r\n\r\n", 400},
      {"coding in a second field",
       head + "Transfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400},
      {"bad chunk size", head + "Transfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n", 400},
      {"compressed", head + "Content-Encoding: gzip\r\nContent-Length: 3\r\n\r\nabc", 415},
      {"101 fields", "GET /asp.asp HTTP/1.1\r\nHost: a\r\n" + many_fields + "\r\n", 431},
      {"17 KB head", "GET /asp.asp HTTP/1.1\r\nX: " + std::string(17000, 'a') + "\r\n\r\n", 431},
      {"announced too long", head + "Content-Length: 65537\r\n\r\n", 413},
      {"a static file's body", "POST /a.css HTTP/1.1\r\nHost: a\r\nContent-Length: 65537\r\n\r\n",
       413},
  };
  for (const Probe& probe : probes) {
    EXPECT_EQ(RawExchange(port(), probe.request).status, probe.status) << probe.what;
  }
  // A field line folded onto the one before (which a server in front may read as a field of
  // its own), and a host named never on HTTP/1.1 or twice: 400, and the connection closes.
  const std::string session = std::string(SessionStore::kCookieName) + "=abc";
  struct Refused {
    const char* what;
    std::string request;
  } refused[] = {
      {"folded length", head + "Content-Length:\r\n 3\r\n\r\nabc"},
      {"folded cookie", "GET /asp.asp HTTP/1.1\r\nHost: a\r\nCookie: a=1;\r\n\t" + session +
                            "\r\nX-After: 1\r\n\r\n"},
      {"no host", "GET /asp.asp HTTP/1.1\r\n\r\n"},
      {"two hosts", "GET /asp.asp HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n"},
  };
  for (const Refused& probe : refused) {
    RawClient client(port());
    client.Send(probe.request);
    EXPECT_EQ(client.ReadAll(5).substr(0, 13), "HTTP/1.1 400 ") << probe.what;
    EXPECT_TRUE(client.closed()) << probe.what;
  }
  EXPECT_EQ(pages_, 0);
  // The same bodies framed once are fine, and HTTP/1.0 need not name its host.
  auto chunked = RawExchange(port(), head +
                                         "Transfer-Encoding: Chunked \r\nConnection: close"
                                         "\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n");
  EXPECT_EQ(chunked.status, 200);
  EXPECT_EQ(chunked.body, "page 127.0.0.1 5");
  EXPECT_EQ(RawExchange(port(), "GET /asp.asp HTTP/1.0\r\n\r\n").body, "page 127.0.0.1 0");
  ExpectServing();
}

// The worker that answered a kept connection reads its next request itself: the same rules hold
// there, whether the next request comes whole, in pieces, two at once or not at all.
TEST_F(HostileClients, NextRequestsOnAKeptConnectionAreFramedAlike) {
  HostOptions options;
  options.head_timeout = std::chrono::seconds(1);
  Start(options);
  const std::string get = "GET /asp.asp HTTP/1.1\r\nHost: a\r\n\r\n";
  auto kept = [&] {
    auto client = std::make_unique<RawClient>(port());
    client->Send(get);
    EXPECT_NE(client->ReadAnswer(5).find("page 127.0.0.1 0"), std::string::npos);
    return client;
  };
  {
    auto client = kept();
    client->Send("GET /asp.asp HT");
    client->Send("TP/1.1\r\nHost: a\r\n\r\n");
    EXPECT_NE(client->ReadAnswer(5).find("page 127.0.0.1 0"), std::string::npos);
    client->Send(get + "POST /asp.asp HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_NE(client->ReadAnswer(5).find("page 127.0.0.1 0"), std::string::npos);
    EXPECT_NE(client->ReadAnswer(5).find("page 127.0.0.1 3"), std::string::npos);
  }
  std::string head = "POST /asp.asp HTTP/1.1\r\nHost: a\r\n";
  struct Probe {
    const char* what;
    std::string request;
    const char* answer;
  } probes[] = {
      {"two lengths", head + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", " 400 "},
      {"length and chunked", head + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n",
       " 400 "},
      {"compressed", head + "Content-Encoding: gzip\r\nContent-Length: 3\r\n\r\nabc", " 415 "},
      {"17 KB head", "GET /asp.asp HTTP/1.1\r\nX: " + std::string(17000, 'a') + "\r\n\r\n",
       " 431 "},
      {"not HTTP", "HELLO\r\n\r\n", " 400 "},
      {"folded length", head + "Content-Length:\r\n 3\r\n\r\nabc", " 400 "},
      {"slow head", "GET /asp.asp HTTP/1.1\r\n", ""},
  };
  for (const Probe& probe : probes) {
    auto client = kept();
    client->Send(probe.request);
    EXPECT_NE(client->ReadAll(5).find(probe.answer), std::string::npos) << probe.what;
    EXPECT_TRUE(client->closed()) << probe.what;
  }
  EXPECT_EQ(pages_, 11);
  ExpectServing();
}

TEST_F(HostileClients, FloodsAreRefusedWhileArrivingWithoutGrowingTheServer) {
  HostOptions options;
  options.max_body_bytes = 1 << 20;
  Start(options);
  long before = testing::ProcessMemoryKb("VmHWM");
  // A million header lines: refused once the head passes 16 KB.
  {
    RawClient client(port());
    std::string lines;
    for (int i = 0; i < 2000; ++i) lines += "X-Flood: 0123456789\r\n";
    client.Send("GET /asp.asp HTTP/1.1\r\nHost: a\r\n");
    for (int i = 0; i < 500 && client.Send(lines); ++i) {
    }
    EXPECT_NE(client.ReadAll(5).find(" 431 "), std::string::npos);
  }
  // A chunked body over the limit: counted while it arrives.
  {
    RawClient client(port());
    client.Send("POST /asp.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n");
    std::string chunk = "10000\r\n" + std::string(0x10000, 'x') + "\r\n";
    for (int i = 0; i < 256 && client.Send(chunk); ++i) {
    }
    EXPECT_NE(client.ReadAll(5).find(" 413 "), std::string::npos);
  }
  // A million trailer lines after a small chunked body: a trailer is bounded as a head is.
  {
    RawClient client(port());
    client.Send(
        "POST /asp.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n"
        "3\r\nabc\r\n0\r\n");
    std::string lines;
    for (int i = 0; i < 10000; ++i) lines += "X-a: b\r\n";
    for (int i = 0; i < 100 && client.Send(lines); ++i) {
    }
    std::string answer = client.ReadAll(5);
    EXPECT_NE(answer.find(" 431 "), std::string::npos) << answer.substr(0, 80);
  }
  // A trailer of more than 100 fields with the head's, within 16 KB.
  EXPECT_EQ(RawExchange(
                port(),
                "POST /asp.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n"
                "3\r\nabc\r\n0\r\n" +
                    [] {
                      std::string t;
                      for (int i = 0; i < 100; ++i) t += "X-" + std::to_string(i) + ": b\r\n";
                      return t;
                    }() +
                    "\r\n")
                .status,
            431);
  // One-byte chunks, each with a megabyte of extensions: refused at the first.
  {
    RawClient client(port());
    client.Send("POST /asp.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n");
    const std::string extension = ";" + std::string(1 << 20, 'e');
    const auto sent = std::chrono::steady_clock::now();
    for (int i = 0; i < 64 && client.Send("1" + extension + "\r\nx\r\n"); ++i) {
    }
    std::string answer = client.ReadAll(5);
    EXPECT_NE(answer.find(" 400 "), std::string::npos) << answer.substr(0, 80);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
  }
  // Extensions of 5 KB on a whole chunk line, and within bounds the same body is taken.
  EXPECT_EQ(RawExchange(port(),
                        "POST /asp.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n"
                        "3;" +
                            std::string(5000, 'e') + "\r\nabc\r\n0\r\n\r\n")
                .status,
            400);
  EXPECT_EQ(RawExchange(port(),
                        "POST /asp.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n"
                        "3;a=b\r\nabc\r\n0;c\r\nX-Done: 1\r\n\r\n")
                .body,
            "page 127.0.0.1 3");
  EXPECT_LT(testing::ProcessMemoryKb("VmHWM") - before, 32 * 1024);
  EXPECT_EQ(pages_, 1);
  ExpectServing();
}

// Each body's limit is chosen from its head, and a body past it is refused before it is read:
// the answers below come while the clients still hold their bodies back.
TEST_F(HostileClients, BodiesAreBoundedByWhatTheRequestIsFor) {
  HostOptions options;
  options.body_limit = [](const BodyRequest& request) -> size_t {
    if (request.kind == EntryKind::kPublic) return request.multipart ? 0 : 1000;
    return request.query == "m=big" ? 1000000 : 10000;
  };
  Start(options);
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  struct Probe {
    const char* what;
    std::string head;
    int status;
  } refused[] = {
      {"public form",
       "POST /asp.asp HTTP/1.1\r\nHost: a\r\n" + form + "Content-Length: 1001\r\n\r\n", 413},
      {"public multipart",
       "POST /asp.asp HTTP/1.1\r\nHost: a\r\nContent-Type: multipart/form-data; b=1\r\n"
       "Content-Length: 10\r\n\r\n",
       413},
      {"public chunked multipart",
       "POST /asp.asp HTTP/1.1\r\nHost: a\r\nContent-Type: Multipart/mixed\r\n"
       "Transfer-Encoding: chunked\r\n\r\n",
       413},
      {"console form",
       "POST /admin.asp HTTP/1.1\r\nHost: a\r\n" + form + "Content-Length: 10001\r\n\r\n", 413},
      {"over the host's cap",
       "POST /admin.asp?m=big HTTP/1.1\r\nHost: a\r\nContent-Length: 67108865\r\n\r\n", 413},
  };
  for (const Probe& probe : refused) {
    RawClient client(port());
    client.Send(probe.head);
    EXPECT_NE(client.ReadAll(5).find(" " + std::to_string(probe.status) + " "), std::string::npos)
        << probe.what;
  }
  // Chunked: counted while arriving.
  auto chunked =
      RawExchange(port(),
                  "POST /asp.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n"
                  "3e8\r\n" +
                      std::string(1000, 'a') + "\r\n1\r\nb\r\n0\r\n\r\n");
  EXPECT_EQ(chunked.status, 413);
  EXPECT_EQ(pages_, 0);
  // Within their limits the same are taken.
  EXPECT_EQ(RawExchange(port(), "POST /asp.asp HTTP/1.1\r\nHost: a\r\n" + form +
                                    "Content-Length: 1000\r\n\r\n" + std::string(1000, 'a'))
                .body,
            "page 127.0.0.1 1000");
  EXPECT_EQ(
      RawExchange(port(),
                  "POST /admin.asp?m=big HTTP/1.1\r\nHost: a\r\nContent-Length: 10001\r\n\r\n" +
                      std::string(10001, 'a'))
          .body,
      "page 127.0.0.1 10001");

  // A form of more than 1,000 fields is refused before a page parses it; empty items are none.
  auto fields = [](int n) {
    std::string body;
    for (int i = 0; i < n; ++i) body += "a&";
    return body;
  };
  auto post = [&](const std::string& body) {
    return RawExchange(port(), "POST /admin.asp HTTP/1.1\r\nHost: a\r\n" + form +
                                   "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                   body);
  };
  EXPECT_EQ(post(fields(1000) + "&&&").status, 200);
  EXPECT_EQ(post(fields(1001)).status, 413);
  EXPECT_EQ(post(fields(2000)).status, 413);
  EXPECT_EQ(pages_, 3);
  ExpectServing();
}

std::string Announce(const std::string& target, size_t bytes, const std::string& more = "") {
  return "POST " + target + " HTTP/1.1\r\nHost: a\r\n" + more +
         "Content-Length: " + std::to_string(bytes) + "\r\n\r\n";
}

// Asks, by heads that expect to be told to send `bytes` and never send them (so that they hold
// nothing), until one is refused: the server has taken in what another client sent meanwhile.
// The last status.
int StatusOnceHeld(int port, size_t bytes, const std::string& more = "",
                   const char* from = nullptr) {
  int status = 0;
  for (int i = 0; i < 250 && status != 503; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int fd = testing::ConnectLoopback(port, from);
    testing::SendAll(fd, Announce("/asp.asp", bytes, more + "Expect: 100-continue\r\n"));
    status = testing::ReadAnswerAndClose(fd).status;
  }
  return status;
}

// The bodies in flight share one budget, taken by the bytes that come: a head alone holds
// nothing, a body that would pass what its share has left is refused before it is read, and
// those signed in to the console keep what bodies without an account cannot take.
TEST_F(HostileClients, BodyMemoryIsTakenByTheBytesThatComeFromTheirShare) {
  HostOptions options;
  options.max_body_memory = 800000;  // bodies without an account: 100,000 of it
  options.body_limit = [](const BodyRequest& request) -> BodyAllowance {
    if (request.kind == EntryKind::kAdmin) return {1 << 20, BodyShare::kConsole};
    return 100000;
  };
  Start(options);
  // A chunked body takes its memory as it grows.
  {
    RawClient chunked(port());
    chunked.Send("POST /asp.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n");
    std::string chunk = "4000\r\n" + std::string(0x4000, 'x') + "\r\n";
    for (int i = 0; i < 8 && chunked.Send(chunk); ++i) {
    }
    EXPECT_NE(chunked.ReadAll(5).find(" 503 "), std::string::npos);
  }
  // Twenty heads announcing 60,000 bytes each and sending none are all asked for their bodies.
  std::vector<std::unique_ptr<RawClient>> heads;
  for (int i = 0; i < 20; ++i) {
    heads.push_back(std::make_unique<RawClient>(port()));
    heads.back()->Send(Announce("/asp.asp", 60000, "Expect: 100-continue\r\n"));
    ASSERT_NE(heads.back()->ReadAnswer(5).find(" 100 Continue"), std::string::npos) << i;
  }
  // One whose bytes came holds them: another as large is refused before it is read.
  auto held = std::make_unique<RawClient>(port());
  held->Send(Announce("/asp.asp", 60000) + std::string(59999, 'a'));
  // (It races none of the probes: they announce, are answered, and send nothing.)
  EXPECT_EQ(StatusOnceHeld(port(), 60000), 503);
  RawClient second(port());
  second.Send(Announce("/asp.asp", 60000));
  std::string busy = second.ReadAll(5);
  EXPECT_NE(busy.find(" 503 "), std::string::npos) << busy;
  EXPECT_NE(busy.find("Retry-After: 5"), std::string::npos);
  EXPECT_NE(RawExchange(port(), Announce("/asp.asp", 30000) + std::string(30000, 'a'))
                .body.find(" 30000"),
            std::string::npos);
  // The console's share is untouched.
  EXPECT_NE(RawExchange(port(), Announce("/admin.asp", 700000) + std::string(700000, 'a'))
                .body.find(" 700000"),
            std::string::npos);
  ExpectServing();
  // Once the client gives up, its part is free again.
  held.reset();
  int status = 0;
  for (int i = 0; i < 50 && status != 200; ++i) {
    status = RawExchange(port(), Announce("/asp.asp", 60000) + std::string(60000, 'a')).status;
    if (status != 200) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(status, 200);
  // A head longer than 4 KB takes its room (to 16 KB) from the same share: of ten sent slowly,
  // seven fit and the others are told to come back; short heads are served meanwhile.
  std::vector<std::unique_ptr<RawClient>> long_heads;
  for (int i = 0; i < 10; ++i) {
    long_heads.push_back(std::make_unique<RawClient>(port()));
    long_heads.back()->Send("GET /asp.asp HTTP/1.1\r\nX-Pad: " + std::string(10000, 'a'));
  }
  ExpectServing();
  int answered = 0;
  for (int wait = 0; wait < 100 && answered < 3; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    answered = 0;
    for (auto& client : long_heads) answered += client->HasAnswer() ? 1 : 0;
  }
  EXPECT_EQ(answered, 3);
  for (auto& client : long_heads) {
    if (client->HasAnswer()) {
      EXPECT_NE(client->ReadAnswer(1).find(" 503 "), std::string::npos);
    }
  }
}

// One client address holds at most so many connections and so many body bytes without an
// account; other addresses are not affected. A trusted proxy's connections are not counted, its
// clients' bodies are, by the address it names.
TEST_F(HostileClients, OneAddressHoldsABoundedPart) {
  HostOptions options;
  options.max_client_connections = 20;
  options.max_client_body_memory = 100000;
  std::string bad;
  ASSERT_TRUE(options.trusted_proxies.Parse("127.0.0.5", &bad));
  Start(options);
  std::vector<std::unique_ptr<RawClient>> held;
  for (int i = 0; i < 20; ++i) {
    held.push_back(std::make_unique<RawClient>(port(), "127.0.0.2"));
    held.back()->Send("GET /asp.asp HTTP/1.1\r\nHost: a\r\n");
  }
  RawClient over(port(), "127.0.0.2");
  std::string refused = over.ReadAll(5);
  EXPECT_NE(refused.find(" 503 "), std::string::npos) << refused;
  EXPECT_TRUE(over.closed());
  ExpectServing();
  RawClient other(port(), "127.0.0.3");
  other.Send("GET /asp.asp HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
  EXPECT_NE(other.ReadAll(5).find("page 127.0.0.3 0"), std::string::npos);

  // Bodies: 60,000 bytes held by 127.0.0.3 leave it 40,000.
  RawClient body(port(), "127.0.0.3");
  body.Send(Announce("/asp.asp", 60000) + std::string(59999, 'a'));
  auto exchange_from = [this](const char* from, const std::string& request) {
    RawClient client(port(), from);
    client.Send(request);
    return client.ReadAnswer(5);
  };
  EXPECT_EQ(StatusOnceHeld(port(), 60000, "", "127.0.0.3"), 503);
  EXPECT_NE(exchange_from("127.0.0.4", Announce("/asp.asp", 60000) + std::string(60000, 'a'))
                .find("page 127.0.0.4 60000"),
            std::string::npos);

  // Through the proxy: thirty connections at once, the bodies counted by the address named.
  std::vector<std::unique_ptr<RawClient>> proxied;
  for (int i = 0; i < 30; ++i) {
    proxied.push_back(std::make_unique<RawClient>(port(), "127.0.0.5"));
    proxied.back()->Send("GET /asp.asp HTTP/1.1\r\nHost: a\r\n");
  }
  const std::string named = "X-Forwarded-For: 1.2.3.4\r\n";
  RawClient proxied_body(port(), "127.0.0.5");
  proxied_body.Send(Announce("/asp.asp", 60000, named) + std::string(59999, 'a'));
  EXPECT_EQ(StatusOnceHeld(port(), 60000, named, "127.0.0.5"), 503);
  EXPECT_NE(exchange_from("127.0.0.5", Announce("/asp.asp", 60000, "X-Forwarded-For: 5.6.7.8\r\n") +
                                           std::string(60000, 'a'))
                .find("page 5.6.7.8 60000"),
            std::string::npos);
}

TEST_F(HostileClients, SlowBodyIsCutAtADeadlineThatGrowsWithItsLength) {
  HostOptions options;
  options.threads = 1;
  options.head_timeout = std::chrono::seconds(1);
  options.min_bytes_per_second = 1000;
  Start(options);
  RawClient slow(port());
  slow.Send("POST /asp.asp HTTP/1.1\r\nHost: a\r\nContent-Length: 1000\r\n\r\nabc");
  ExpectServing();
  slow.ReadAll(5);  // 1 s + 1000 bytes at 1000 a second
  EXPECT_TRUE(slow.closed());
  // A body arriving at a fair pace is taken.
  RawClient fair(port());
  fair.Send("POST /asp.asp HTTP/1.1\r\nHost: a\r\nContent-Length: 6\r\nConnection: close\r\n\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  fair.Send("abcdef");
  EXPECT_NE(fair.ReadAll(5).find("page 127.0.0.1 6"), std::string::npos);
}

// An answer has as long to be taken as a body of its length has to arrive: a large page read at
// a fair pace is taken whole, however long past the head's time that takes.
TEST_F(HostileClients, AnswerTakenAtAFairPaceIsNotCut) {
  HostOptions options;
  options.head_timeout = std::chrono::seconds(1);
  options.min_bytes_per_second = 400 * 1024;
  options.max_client_answer_memory = 16u << 20;  // room for the page
  Start(options);
  RawClient reader(port(), nullptr, kUnreadBuffer);
  reader.Send("GET /asp.asp?huge HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
  std::string answer;
  char piece[32 * 1024];
  ssize_t n = 0;
  while ((n = recv(reader.fd(), piece, sizeof(piece), MSG_WAITALL)) > 0) {
    answer.append(piece, static_cast<size_t>(n));
    std::this_thread::sleep_for(std::chrono::milliseconds(6));  // some 5 MB a second
  }
  ASSERT_NE(answer.find("\r\n\r\n"), std::string::npos);
  EXPECT_EQ(answer.size() - answer.find("\r\n\r\n") - 4, kHugePage);
}

TEST_F(HostileClients, StopClosesIdleAndSlowConnectionsAtOnce) {
  HostOptions options;
  options.stop_grace = std::chrono::seconds(60);
  Start(options);
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 20; ++i) {
    idle.push_back(std::make_unique<RawClient>(port()));
    idle.back()->Send(i % 2 ? "GET /a.css HTTP/1.1\r\nHost: a\r\n\r\n"
                            : "GET /asp.asp HTTP/1.1\r\n");
  }
  ExpectServing();
  auto stopped = std::async(std::launch::async, [this] { host_->StopAndJoin(); });
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready)
      << "Stop waited on idle connections";
  for (auto& client : idle) {
    client->ReadAll(2);
    EXPECT_TRUE(client->closed());
  }
}

// Clients that ask for a large file and read nothing hold a descriptor each, not the file: a
// thousand of them from ten addresses leave the server near its idle size, whether the file is a
// megabyte or just past what is kept and shared; what they held goes when they do.
TEST_F(HostileClients, FilesWaitingOnClientsThatDoNotReadHoldNoCopies) {
  Start(HostOptions());
  for (size_t size : {size_t{1000000}, size_t{300000}}) {
    std::string photo;
    for (size_t i = 0; photo.size() < size; ++i) photo += std::to_string(i) + ",";
    photo.resize(size);
    site_.Write("images/big.jpg", photo);
    auto whole = host_->Client()->Get("/images/big.jpg");
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->body == photo) << size;
    const long idle = testing::ProcessMemoryKb("VmRSS");
    testing::ResetPeakMemory();
    auto clients =
        OpenUnreading(port(), 1000, 1, "GET /images/big.jpg HTTP/1.1\r\nHost: a\r\n\r\n");
    ASSERT_TRUE(AllReadable(clients, 10)) << size;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LT(testing::ProcessMemoryKb("VmHWM") - idle, 200 * 1024) << size;
    EXPECT_NE(clients.back()->ReadAnswer(5).find("200 OK"), std::string::npos);
    clients.clear();
    EXPECT_LT(ResidentOnceBelow(idle + 50 * 1024) - idle, 50 * 1024) << size;
  }
  ExpectServing();
}

// What the kernel holds for this process's TCP sockets of `port`, both ends (the server's
// accepted sockets and the clients'), in bytes: each one's queued send memory and its received
// memory (SO_MEMINFO). Counted on the process's own sockets, so that tests running beside this
// one do not count.
long SocketMemoryBytes(int port) {
  long bytes = 0;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ignored)) {
    const int fd = std::atoi(entry.path().filename().c_str());
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    sockaddr_in local{}, peer{};
    socklen_t local_size = sizeof local, peer_size = sizeof peer;
    const bool ours = (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_size) == 0 &&
                       local.sin_family == AF_INET && ntohs(local.sin_port) == port) ||
                      (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_size) == 0 &&
                       peer.sin_family == AF_INET && ntohs(peer.sin_port) == port);
    if (!ours) continue;
    uint32_t meminfo[SK_MEMINFO_VARS] = {};
    socklen_t size = sizeof meminfo;
    if (getsockopt(fd, SOL_SOCKET, SO_MEMINFO, meminfo, &size) != 0) continue;
    bytes += static_cast<long>(meminfo[SK_MEMINFO_WMEM_QUEUED]) +
             static_cast<long>(meminfo[SK_MEMINFO_RMEM_ALLOC]);
  }
  return bytes;
}

// Each connection's kernel send buffer is fixed: clients that ask for a 2 MB file and read
// nothing hold at most what the system allows that buffer (twice its size, for its bookkeeping)
// each, and a little more for their own side; left to grow, the buffers took 2.8 MB each.
TEST_F(HostileClients, UnreadAnswersHoldABoundedPartOfTheMachinesSocketMemory) {
  HostOptions options;
  Start(options);
  site_.Write("images/big.jpg", std::string(2000000, 'j'));
  const int kClients = 200;
  auto clients =
      OpenUnreading(port(), kClients, 5, "GET /images/big.jpg HTTP/1.1\r\nHost: a\r\n\r\n");
  ASSERT_TRUE(AllReadable(clients, 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const long held = SocketMemoryBytes(port());
  const long each = 2 * static_cast<long>(options.send_buffer_bytes) + 128 * 1024;
  EXPECT_LT(held, kClients * each) << held / kClients << " bytes a connection";
  ExpectServing();
}

// A page's answer that its client does not take is held within the answers' budget: a hundred
// clients from ten addresses pipelining requests for a 5 MB page and reading none hold no more
// than the budget (the answers past it are dropped with their connections), and no next request
// is read while an answer waits. Once the held ones have stopped taking, a client that reads
// still gets the whole page: the longest stopped make room for it.
TEST_F(HostileClients, PagesWaitingOnClientsThatDoNotReadStayWithinTheirBudget) {
  HostOptions options;
  options.threads = 4;
  options.max_answer_memory = 24u << 20;
  options.max_client_answer_memory = 12u << 20;
  Start(options);
  const long idle = testing::ProcessMemoryKb("VmRSS");
  testing::ResetPeakMemory();
  std::string pipelined;
  for (int i = 0; i < 5; ++i) pipelined += "GET /asp.asp?big HTTP/1.1\r\nHost: a\r\n\r\n";
  auto clients = OpenUnreading(port(), 100, 2, pipelined);
  ASSERT_TRUE(AllReadable(clients, 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(pages_, 100);
  // The budget, and the pages the four workers make meanwhile.
  EXPECT_LT(testing::ProcessMemoryKb("VmHWM") - idle, 150 * 1024);
  // The held ones count as stopped after two seconds without taking; a reader asks until then.
  std::string answer;
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    RawClient reader(port(), "127.0.3.1", kUnreadBuffer);
    reader.Send("GET /asp.asp?big HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
    answer = reader.ReadAll(10);
    const size_t body = answer.find("\r\n\r\n");
    if (body != std::string::npos && answer.size() - body - 4 == kBigPage) break;
  }
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 200 OK"));
  EXPECT_EQ(answer.size() - answer.find("\r\n\r\n") - 4, kBigPage);
}

// A reader that takes its answer faster than those holding the budget gets it whole: five
// addresses taking a long page at a few times the minimum rate fill the answers' budget; a sixth
// taking it faster is lent the room, and once measured the slowest reader's answer is closed to
// bring the budget back, not its own. (Small sizes, the least socket buffers and a low minimum
// rate keep it to some ten seconds.)
TEST_F(HostileClients, AFasterReaderIsServedInPlaceOfTheSlowestWhenTheBudgetIsFull) {
  HostOptions options;
  options.threads = 4;
  options.min_bytes_per_second = 1024;
  // The system's least socket buffers, so that what they hold is read within a few seconds.
  options.send_buffer_bytes = 2048;
  options.max_answer_memory = 500000;  // five long pages' answers, not six
  options.max_client_answer_memory = 150000;
  options.answer_loan_memory = 300000;  // a page's body and its conversion while it is built
  Start(options);
  const std::string request = "GET /asp.asp?long HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n";
  // Reads `piece` bytes every 100 ms until the answer is whole, the server closes (then ends
  // with "closed"), or stop.
  auto read_at = [](RawClient& client, size_t piece, const std::atomic<bool>& stop) {
    std::string received;
    std::vector<char> buf(piece);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!stop && std::chrono::steady_clock::now() < deadline) {
      const ssize_t n = recv(client.fd(), buf.data(), piece, MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return received + "closed";
      if (n > 0) received.append(buf.data(), static_cast<size_t>(n));
      const size_t body = received.find("\r\n\r\n");
      if (body != std::string::npos && received.size() - body - 4 == kLongPage) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return received;
  };
  std::atomic<bool> stop{false};
  std::vector<std::unique_ptr<RawClient>> slow;
  std::vector<std::future<std::string>> slow_reads;
  for (int i = 1; i <= 5; ++i) {
    const std::string from = "127.0.6." + std::to_string(i);
    slow.push_back(std::make_unique<RawClient>(port(), from.c_str(), 1024));
    slow.back()->Send(request);
    // 3 KB a second, three times the minimum.
    slow_reads.push_back(
        std::async(std::launch::async, read_at, std::ref(*slow.back()), 300, std::cref(stop)));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // Once the slow readers have emptied the socket's buffers, their windows tell their rates.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  RawClient fast(port(), "127.0.7.1", 8192);
  fast.Send(request);
  const std::string answer = read_at(fast, 1500, stop);  // 15 KB a second
  stop = true;
  int cut = 0;
  for (auto& read : slow_reads) {
    const std::string got = read.get();
    EXPECT_TRUE(got.starts_with("HTTP/1.1 200 OK")) << got.substr(0, 40);
    cut += got.ends_with("closed") ? 1 : 0;
  }
  EXPECT_TRUE(answer.starts_with("HTTP/1.1 200 OK")) << answer.substr(0, 40);
  EXPECT_EQ(answer.size() - answer.find("\r\n\r\n") - 4, kLongPage);
  // One slow answer held more than the loan that was over the budget.
  EXPECT_EQ(cut, 1);
}

// A connection whose client has stopped taking its answer waits on its client: at the bound on
// connections it makes room for a new one, as an idle connection does; before its grace has
// passed too, when no connection waits.
TEST_F(HostileClients, ClientsThatStopTakingTheirAnswersMakeRoom) {
  HostOptions options;
  options.threads = 2;
  options.max_connections = 40;
  options.max_client_connections = 1000;
  Start(options);
  site_.Write("images/big.jpg", std::string(1000000, 'j'));
  std::string pipelined;
  for (int i = 0; i < 20; ++i) pipelined += "GET /images/big.jpg HTTP/1.1\r\nHost: a\r\n\r\n";
  auto clients = OpenUnreading(port(), 40, 4, pipelined);
  ASSERT_TRUE(AllReadable(clients, 10));
  ExpectServing();
  // The connection closed to make room is reset, its answer dropped (on its own thread, which
  // may come to it just after the new connection was answered).
  int reset = 0;
  for (int wait = 0; wait < 50 && reset == 0; ++wait) {
    if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const auto& client : clients) {
      pollfd state{client->fd(), POLLIN, 0};
      if (poll(&state, 1, 0) == 1 && (state.revents & (POLLERR | POLLHUP)) != 0) ++reset;
    }
  }
  EXPECT_GE(reset, 1);
}

// One subscriber's IPv6 addresses count as one client: its /64.
TEST(ClientNetworkTest, AnIpv6ClientIsCountedByItsNetwork) {
  EXPECT_EQ(ClientNetwork("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
  EXPECT_EQ(ClientNetwork("[2001:DB8:1:2:ffff:ffff:ffff:ffff]"), "2001:db8:1:2::/64");
  EXPECT_NE(ClientNetwork("2001:db8:1:3::1"), ClientNetwork("2001:db8:1:2::1"));
  EXPECT_EQ(ClientNetwork("::ffff:10.1.2.3"), "10.1.2.3");
  EXPECT_EQ(ClientNetwork("10.1.2.3"), "10.1.2.3");
  EXPECT_EQ(ClientNetwork("not an address"), "");
}

TEST(TrustedProxiesTest, OnlyATrustedPeerNamesTheClient) {
  TrustedProxies none;
  EXPECT_EQ(none.ClientAddress("10.0.0.5", "1.2.3.4"), "10.0.0.5");
  TrustedProxies proxies;
  std::string bad;
  ASSERT_TRUE(proxies.Parse("10.0.0.5, 10.0.0.6 ::1", &bad));
  EXPECT_FALSE(TrustedProxies().Parse("10.0.0.5,proxy.lan", &bad));
  EXPECT_EQ(bad, "proxy.lan");
  // A client that connects directly chooses nothing.
  EXPECT_EQ(proxies.ClientAddress("10.9.9.9", "1.2.3.4"), "10.9.9.9");
  EXPECT_EQ(proxies.ClientAddress("10.0.0.5", "1.2.3.4"), "1.2.3.4");
  EXPECT_EQ(proxies.ClientAddress("::ffff:10.0.0.5", " 1.2.3.4 "), "1.2.3.4");
  // Read from the right: what the client wrote itself before the proxies' entries is not taken.
  EXPECT_EQ(proxies.ClientAddress("10.0.0.5", "6.6.6.6, 1.2.3.4, 10.0.0.6"), "1.2.3.4");
  EXPECT_EQ(proxies.ClientAddress("10.0.0.5", "1.2.3.4, <script>"), "10.0.0.5");
  EXPECT_EQ(proxies.ClientAddress("10.0.0.5", ""), "10.0.0.5");
}

TEST_F(HostileClients, ForwardedForCountsOnlyFromATrustedProxy) {
  HostOptions options;
  Start(options);
  std::string request =
      "GET /asp.asp HTTP/1.1\r\nHost: a\r\nX-Forwarded-For: 1.2.3.4\r\nConnection: close\r\n\r\n";
  EXPECT_EQ(RawExchange(port(), request).body, "page 127.0.0.1 0");
  host_.reset();
  std::string bad;
  ASSERT_TRUE(options.trusted_proxies.Parse("127.0.0.1", &bad));
  Start(options);
  EXPECT_EQ(RawExchange(port(), request).body, "page 1.2.3.4 0");
}

}  // namespace
}  // namespace folirex
