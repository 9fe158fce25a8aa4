// Holds connections open against an HTTP server the way idle and slow clients do, so that a
// benchmark can measure a page while they are there:
//   - idle: each sends one complete keep-alive GET, reads the answer, then sends nothing more;
//   - slow: each sends a request head one header line every few seconds and never finishes it.
// A connection that the server closes is counted and opened again. After S seconds (or at
// SIGINT/SIGTERM) one line reports how many of each kind were open and how many the server
// closed. Against a server on 127/8 the connections come from many clients, as a public site's
// idle and slow visitors do: a hundred to each source address of 127.1.0.0/16 (a server bounds
// what one client address may hold). One thread, non-blocking sockets and poll(); IPv4
// addresses only.
//
//   folirex-hold HOST PORT --idle N --slow M --seconds S [--path P] [--interval SECONDS]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

enum class Kind { kIdle, kSlow };
enum class State { kClosed, kConnecting, kOpen };

struct Conn {
  Kind kind = Kind::kIdle;
  State state = State::kClosed;
  int fd = -1;
  bool answered = false;    // idle: the server has sent something back
  int lines_sent = 0;       // slow: header lines sent so far on this connection
  in_addr_t source = 0;     // the address it connects from (network order); 0: any
  Clock::time_point due{};  // closed: when to connect again; slow: when the next line goes out
};

struct Counts {
  long closed_by_server[2] = {0, 0};
  long connect_failures = 0;
};

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "folirex-hold: %s\n", message.c_str());
  std::exit(2);
}

long NumberArg(int argc, char** argv, int* i) {
  std::string name = argv[*i];
  if (*i + 1 >= argc) Die(name + " needs a value");
  char* end = nullptr;
  long v = std::strtol(argv[++*i], &end, 10);
  if (*end != '\0' || v < 0) Die(name + " takes a number");
  return v;
}

void RaiseFileLimit(long wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur != RLIM_INFINITY && static_cast<long>(limit.rlim_cur) < wanted) {
    std::fprintf(stderr, "folirex-hold: file limit %ld is below the %ld connections asked for\n",
                 static_cast<long>(limit.rlim_cur), wanted);
  }
}

class Holder {
 public:
  Holder(sockaddr_in address, std::string path, milliseconds interval)
      : address_(address), path_(std::move(path)), interval_(interval) {}

  void Add(Kind kind, long n, Clock::time_point now) {
    const bool loopback = (ntohl(address_.sin_addr.s_addr) >> 24) == 127;
    for (long i = 0; i < n; ++i) {
      Conn c;
      c.kind = kind;
      c.due = now;
      if (loopback) {
        const uint32_t client = static_cast<uint32_t>(conns_.size() / kPerClient);
        c.source = htonl((127u << 24) | (1u << 16) | ((client / 250) << 8) | (client % 250 + 1));
      }
      conns_.push_back(c);
    }
  }

  // Runs until `end` or a signal; returns early only on a signal.
  void Run(Clock::time_point end) {
    std::vector<pollfd> fds;
    std::vector<size_t> index;
    while (!g_stop) {
      Clock::time_point now = Clock::now();
      if (now >= end) break;
      Clock::time_point wake = end;
      for (Conn& c : conns_) {
        if (c.state == State::kClosed && now >= c.due) Connect(c, now);
        if (c.kind == Kind::kSlow && c.state == State::kOpen && now >= c.due) SendLine(c, now);
        if (c.state != State::kConnecting && c.due > now && c.due < wake) wake = c.due;
      }
      fds.clear();
      index.clear();
      for (size_t i = 0; i < conns_.size(); ++i) {
        const Conn& c = conns_[i];
        if (c.state == State::kClosed) continue;
        short events = c.state == State::kConnecting ? POLLOUT : POLLIN;
        fds.push_back(pollfd{c.fd, events, 0});
        index.push_back(i);
      }
      auto wait = std::chrono::duration_cast<milliseconds>(wake - now).count() + 1;
      if (wait > 200) wait = 200;
      int ready = poll(fds.data(), fds.size(), static_cast<int>(wait));
      if (ready < 0) {
        if (errno == EINTR) continue;
        Die(std::string("poll: ") + std::strerror(errno));
      }
      now = Clock::now();
      for (size_t k = 0; k < fds.size() && ready > 0; ++k) {
        if (fds[k].revents == 0) continue;
        --ready;
        Conn& c = conns_[index[k]];
        if (c.state == State::kConnecting) {
          Connected(c, now);
        } else {
          Readable(c, now);
        }
      }
    }
  }

  void Report() const {
    long open[2] = {0, 0}, total[2] = {0, 0}, answered = 0;
    for (const Conn& c : conns_) {
      int k = static_cast<int>(c.kind);
      ++total[k];
      if (c.state == State::kOpen) {
        ++open[k];
        if (c.answered) ++answered;
      }
    }
    std::printf(
        "idle %ld/%ld open (%ld answered), %ld closed by server; slow %ld/%ld open, %ld closed "
        "by server; %ld connect failures\n",
        open[0], total[0], answered, counts_.closed_by_server[0], open[1], total[1],
        counts_.closed_by_server[1], counts_.connect_failures);
    std::fflush(stdout);
  }

 private:
  void Connect(Conn& c, Clock::time_point now) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      ++counts_.connect_failures;
      c.due = now + milliseconds(1000);
      return;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (c.source != 0) {
      sockaddr_in from{};
      from.sin_family = AF_INET;
      from.sin_addr.s_addr = c.source;
      if (bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) {
        close(fd);
        ++counts_.connect_failures;
        c.due = now + milliseconds(1000);
        return;
      }
    }
    c.fd = fd;
    c.answered = false;
    c.lines_sent = 0;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address_), sizeof address_) == 0) {
      Opened(c, now);
    } else if (errno == EINPROGRESS) {
      c.state = State::kConnecting;
    } else {
      Failed(c, now);
    }
  }

  void Connected(Conn& c, Clock::time_point now) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      Failed(c, now);
    } else {
      Opened(c, now);
    }
  }

  void Opened(Conn& c, Clock::time_point now) {
    c.state = State::kOpen;
    std::string head = "GET " + path_ + " HTTP/1.1\r\nHost: " + HostHeader() + "\r\n";
    if (c.kind == Kind::kIdle) {
      head += "Connection: keep-alive\r\n\r\n";
    } else {
      // Spread the slow lines over the interval so that they do not all arrive at once.
      c.due = now + milliseconds(interval_.count() * (&c - conns_.data()) /
                                 static_cast<long>(conns_.size() ? conns_.size() : 1));
      if (c.due <= now) c.due = now + interval_;
    }
    if (!Send(c, head)) Closed(c, now);
  }

  void SendLine(Conn& c, Clock::time_point now) {
    ++c.lines_sent;
    std::string line = "X-Hold-" + std::to_string(c.lines_sent) + ": x\r\n";
    if (Send(c, line)) {
      c.due = now + interval_;
    } else {
      Closed(c, now);
    }
  }

  void Readable(Conn& c, Clock::time_point now) {
    char buffer[16384];
    for (;;) {
      ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        c.answered = true;
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (n < 0 && errno == EINTR) continue;
      Closed(c, now);  // end of stream or a reset
      return;
    }
  }

  bool Send(Conn& c, const std::string& data) {
    // A few bytes on a fresh or idle connection always fit the socket buffer.
    ssize_t n = send(c.fd, data.data(), data.size(), MSG_NOSIGNAL);
    return n == static_cast<ssize_t>(data.size());
  }

  void Closed(Conn& c, Clock::time_point now) {
    ++counts_.closed_by_server[static_cast<int>(c.kind)];
    Reset(c, now + milliseconds(50));
  }

  void Failed(Conn& c, Clock::time_point now) {
    ++counts_.connect_failures;
    Reset(c, now + milliseconds(200));
  }

  void Reset(Conn& c, Clock::time_point again) {
    close(c.fd);
    c.fd = -1;
    c.state = State::kClosed;
    c.due = again;
  }

  std::string HostHeader() const {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address_.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address_.sin_port));
  }

  static constexpr size_t kPerClient = 100;  // connections from one source address
  sockaddr_in address_;
  std::string path_;
  milliseconds interval_;
  std::vector<Conn> conns_;
  Counts counts_;
};

}  // namespace

int main(int argc, char** argv) {
  const char* usage =
      "usage: folirex-hold HOST PORT --idle N --slow M --seconds S [--path P] "
      "[--interval SECONDS]\n";
  std::vector<std::string> positional;
  long idle = 0, slow = 0, seconds = 10, interval = 3;
  std::string path = "/images/hot.gif";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--idle") {
      idle = NumberArg(argc, argv, &i);
    } else if (a == "--slow") {
      slow = NumberArg(argc, argv, &i);
    } else if (a == "--seconds") {
      seconds = NumberArg(argc, argv, &i);
    } else if (a == "--interval") {
      interval = NumberArg(argc, argv, &i);
    } else if (a == "--path") {
      if (i + 1 >= argc) Die("--path needs a value");
      path = argv[++i];
      if (path.empty() || path[0] != '/' || path.find_first_of("\r\n ") != std::string::npos) {
        Die("--path takes an absolute path without spaces");
      }
    } else if (a == "--help" || a == "-h") {
      std::printf("%s", usage);
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      Die("unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) {
    std::fprintf(stderr, "%s", usage);
    return 2;
  }
  if (interval < 1) Die("--interval takes a number of seconds from 1");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (inet_pton(AF_INET, positional[0].c_str(), &address.sin_addr) != 1) {
    Die("HOST must be an IPv4 address such as 127.0.0.1");
  }
  char* end = nullptr;
  long port = std::strtol(positional[1].c_str(), &end, 10);
  if (*end != '\0' || port < 1 || port > 65535) Die("PORT must be a number from 1 to 65535");
  address.sin_port = htons(static_cast<uint16_t>(port));

  RaiseFileLimit(idle + slow + 16);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  Holder holder(address, path, std::chrono::seconds(interval));
  Clock::time_point start = Clock::now();
  holder.Add(Kind::kIdle, idle, start);
  holder.Add(Kind::kSlow, slow, start);
  holder.Run(start + std::chrono::seconds(seconds));
  holder.Report();
  return 0;
}
