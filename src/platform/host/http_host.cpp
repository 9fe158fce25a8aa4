#include "platform/host/http_host.h"

#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cerrno>
#include <condition_variable>
#include <iostream>
#include <limits>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/host/answer_budget.h"
#include "platform/host/connection_admission.h"
#include "platform/host/host_text.h"
#include "platform/host/page_scheduler.h"
#include "platform/host/static_site.h"
#include "platform/host/worker_pool.h"
#include "platform/text/codepage.h"

namespace folirex {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using host::EndsWithNoCase;
using host::EqualsNoCase;
using SteadyTime = std::chrono::steady_clock::time_point;

constexpr size_t kMaxHeadBytes = 16 * 1024;
// What every connection's read buffer may hold of a head; a longer head takes the rest, up to
// kMaxHeadBytes, from the share of the body memory of those without an account, so that many
// connections sending long heads slowly cannot together take more than that share.
constexpr size_t kHeadBufferBytes = 4 * 1024;
constexpr size_t kLongHeadBufferBytes = kMaxHeadBytes + 1024;
constexpr size_t kMaxHeaderFields = 100;
constexpr int kMaxRequestsPerConnection = 100;
// How long the worker that answered a keep-alive connection waits for the next request itself
// before handing the connection back to its I/O thread. Clients that load a page's parts one
// after another send the next request well within this.
constexpr auto kWorkerKeepsConnection = std::chrono::milliseconds(5);
// Bodies are read in pieces of this size.
constexpr size_t kBodyPiece = 64 * 1024;
// What one sendfile call is asked to send at most.
constexpr uint64_t kMostSentFromFile = 1u << 30;
// How often an answer waiting on its client is checked; one that took less than
// min_bytes_per_second over this time waits on its client.
constexpr auto kAnswerGrace = std::chrono::seconds(2);
// After an error answer the rest of what the client sends is read and dropped for a moment, so
// that closing does not reset the connection before the client has read the answer.
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr size_t kLingerBytes = 1 << 20;
// Static files take no body; what a request to one carries is read and dropped up to this.
constexpr size_t kStaticBodyBytes = 64 * 1024;
// After a page whose body held this much, the freed heap goes back to the system.
constexpr size_t kTrimAfterBodyBytes = 1 << 20;
// After this many connections were open at once and three quarters of them have gone, the freed
// heap goes back to the system too.
constexpr size_t kTrimAfterConnections = 1000;
constexpr auto kCrowdTrimInterval = std::chrono::seconds(30);
// While a chunked body arrives, what waits in the read buffer unparsed (a chunk line, or the
// trailer after the last chunk) may take this much; a chunk's extensions at most the second.
constexpr size_t kMaxChunkedPendingBytes = kMaxHeadBytes;
constexpr size_t kMaxChunkExtensionBytes = 4 * 1024;

thread_local bool t_in_page = false;
// The connection whose answer this worker is sending, and which it may then keep reading.
thread_local const void* t_answering = nullptr;

struct PageScope {
  PageScope() { t_in_page = true; }
  ~PageScope() { t_in_page = false; }
};

// A request body kept as a string that grows as bytes arrive. Beast's own string body reserves
// the announced Content-Length at once, so a head announcing 64 MB would cost 64 MB before a
// byte of the body came. This one doubles what it holds as bytes come, up to the announced
// length, and asks may_hold before it does: a refusal ends the read with no_buffer_space.
struct GrowingBody {
  struct value_type {
    std::string bytes;
    std::function<bool(size_t)> may_hold;
  };

  class reader {
   public:
    template <bool isRequest, class Fields>
    reader(http::header<isRequest, Fields>&, value_type& body) : body_(body) {}
    void init(const boost::optional<std::uint64_t>& length, beast::error_code& ec) {
      length_ = length ? static_cast<size_t>(*length) : 0;
      ec = {};
    }
    template <class ConstBufferSequence>
    size_t put(const ConstBufferSequence& buffers, beast::error_code& ec) {
      std::string& bytes = body_.bytes;
      const size_t needed = bytes.size() + beast::buffer_bytes(buffers);
      if (needed > bytes.capacity()) {
        size_t grown = std::max(needed, 2 * bytes.capacity());
        if (length_ >= needed) grown = std::min(grown, length_);
        if (body_.may_hold && !body_.may_hold(grown)) {
          ec = asio::error::no_buffer_space;
          return 0;
        }
        bytes.reserve(grown);
      }
      size_t n = 0;
      for (auto it = asio::buffer_sequence_begin(buffers); it != asio::buffer_sequence_end(buffers);
           ++it) {
        asio::const_buffer b = *it;
        bytes.append(static_cast<const char*>(b.data()), b.size());
        n += b.size();
      }
      ec = {};
      return n;
    }
    void finish(beast::error_code& ec) { ec = {}; }

   private:
    value_type& body_;
    size_t length_ = 0;
  };
};

using RequestParser = http::request_parser<GrowingBody>;

// Transfer-Encoding absent or exactly one "chunked": a body is never decoded, so any other
// coding, alone or before chunked, is refused.
template <class Fields>
bool FramedOnlyByChunks(const Fields& fields) {
  int codings = 0;
  for (const auto& field : fields) {
    if (field.name() != http::field::transfer_encoding) continue;
    std::string_view value(field.value().data(), field.value().size());
    size_t begin = value.find_first_not_of(" \t");
    size_t end = value.find_last_not_of(" \t");
    value =
        begin == std::string_view::npos ? std::string_view() : value.substr(begin, end + 1 - begin);
    if (++codings > 1 || !EqualsNoCase(value, "chunked")) return false;
  }
  return true;
}

// The values the request's cookies give the session cookie, in the order sent (an old one may
// come first).
template <class Fields>
std::vector<std::string> SessionCookies(const Fields& fields) {
  std::vector<std::string> values;
  const std::string prefix = std::string(SessionStore::kCookieName) + "=";
  for (const auto& field : fields) {
    if (field.name() != http::field::cookie) continue;
    std::string_view value(field.value().data(), field.value().size());
    for (size_t start = 0; start < value.size();) {
      size_t end = value.find(';', start);
      if (end == std::string_view::npos) end = value.size();
      std::string_view item = value.substr(start, end - start);
      while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
      if (item.starts_with(prefix)) values.emplace_back(item.substr(prefix.size()));
      start = end + 1;
    }
  }
  return values;
}

// The request's X-Forwarded-For values joined in the order sent ("" when there are none).
template <class Fields>
std::string ForwardedFor(const Fields& fields) {
  std::string joined;
  for (const auto& field : fields) {
    const beast::string_view name = field.name_string();
    if (!EqualsNoCase(std::string_view(name.data(), name.size()), "X-Forwarded-For")) continue;
    if (!joined.empty()) joined += ", ";
    joined += std::string_view(field.value().data(), field.value().size());
  }
  return joined;
}

bool IsParseError(const beast::error_code& ec) {
  return ec.category() == beast::error_code(http::error::bad_method).category() &&
         ec != http::error::end_of_stream && ec != http::error::partial_message;
}

// The answer to a chunked body whose unparsed rest filled what it may take: 431 when it is the
// trailer after the last chunk (a chunk size of zeros), else 400 (a chunk line too long).
int PendingChunkedOverflowStatus(const beast::flat_buffer& buffer) {
  std::string_view rest(static_cast<const char*>(buffer.data().data()), buffer.size());
  if (rest.starts_with("\r\n")) rest.remove_prefix(2);  // the end of the chunk before
  const size_t line_end = rest.find('\n');
  const size_t digits = rest.find_first_not_of('0');
  const bool last_chunk = line_end != std::string_view::npos && digits > 0 && digits < line_end &&
                          std::string_view(";\r \t").find(rest[digits]) != std::string_view::npos;
  return last_chunk ? 431 : 400;
}

// The length of the request line at the front of what was received (all of it when no line
// end has come yet).
size_t StartLineLength(const beast::flat_buffer& buffer) {
  std::string_view data(static_cast<const char*>(buffer.data().data()), buffer.size());
  size_t end = data.find('\n');
  return end == std::string_view::npos ? data.size() : end;
}

// The connection's read buffer as the head's parser takes from it. Beast silently joins a field
// line that begins with a space or a tab (an obsolete fold) to the field before it, so a folded
// Content-Length or Cookie would mean one thing here and another to a proxy in front that does
// not fold; the bytes the parser takes of a head pass through consume(), which notices the fold.
class HeadBuffer {
 public:
  using const_buffers_type = beast::flat_buffer::const_buffers_type;
  using mutable_buffers_type = beast::flat_buffer::mutable_buffers_type;

  explicit HeadBuffer(beast::flat_buffer& buffer) : buffer_(buffer) {}

  // Before a new head: its request line comes first.
  void Reset() {
    line_start_ = false;
    folded_ = false;
  }
  bool folded() const { return folded_; }

  size_t size() const { return buffer_.size(); }
  size_t max_size() const { return buffer_.max_size(); }
  size_t capacity() const { return buffer_.capacity(); }
  const_buffers_type data() const { return buffer_.data(); }
  mutable_buffers_type prepare(size_t n) { return buffer_.prepare(n); }
  void commit(size_t n) { buffer_.commit(n); }
  void consume(size_t n) {
    std::string_view taken(static_cast<const char*>(buffer_.data().data()),
                           std::min(n, buffer_.size()));
    if (!taken.empty()) {
      auto blank = [](char c) { return c == ' ' || c == '\t'; };
      if (line_start_ && blank(taken.front())) folded_ = true;
      for (size_t at = taken.find('\n'); at != std::string_view::npos && !folded_;
           at = taken.find('\n', at + 1)) {
        folded_ = at + 1 < taken.size() && blank(taken[at + 1]);
      }
      line_start_ = taken.back() == '\n';
    }
    buffer_.consume(n);
  }

 private:
  beast::flat_buffer& buffer_;
  bool line_start_ = false;  // the last byte taken ended a line
  bool folded_ = false;
};

// A request names its host once, and an HTTP/1.1 one must name it.
template <class Request>
bool NamesItsHost(const Request& req) {
  const size_t hosts = req.count(http::field::host);
  return hosts == 1 || (hosts == 0 && req.version() < 11);
}

// Raises the soft open-file limit to the hard one; returns the limit in force.
rlim_t RaiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur;
}

// Single-threaded contexts: the hint lets each skip the locking a shared one needs.
std::vector<std::unique_ptr<asio::io_context>> MakeContexts(int count) {
  std::vector<std::unique_ptr<asio::io_context>> contexts;
  for (int i = 0; i < count; ++i) contexts.push_back(std::make_unique<asio::io_context>(1));
  return contexts;
}

// One connection thread for every two processors the process may run on. Static files are
// answered on these threads: with a quarter of the processors they were served at two thirds of
// what the machine can do; with one a processor each thread holds so few busy connections that it
// sleeps and wakes for nearly every request, which costs more processor time per request than it
// gains.
int IoThreadCount(int requested) {
  if (requested > 0) return requested;
  int cores = 0;
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) cores = CPU_COUNT(&allowed);
  if (cores <= 0) cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(cores / 2, 2, 32);
}

}  // namespace

class HttpConnection;

struct HttpHost::Impl {
  Impl(HostOptions o, PageHandler h);
  ~Impl() { destroying = true; }

  void Accept();
  void OnAccept(beast::error_code ec, tcp::socket socket);
  void Refuse(tcp::socket socket);
  // Counts a new connection toward its peer's address in *client, and gives in *address what
  // the connection is counted by at the bound (ConnectionAdmission); false when the address
  // already holds max_client_connections. A trusted proxy's connections are not counted toward
  // max_client_connections, and count as the proxy's own address at the bound.
  bool CountClient(const tcp::socket& socket, std::string* address,
                   std::shared_ptr<ClientUse>* client);
  void Register(HttpConnection* connection, const std::shared_ptr<HttpConnection>& shared,
                std::string_view address);
  void Unregister(HttpConnection* connection);
  // Below the bound on connections: true. At it: chooses a few connections to close by the
  // rules of ConnectionAdmission, closes them so that new connections may take their place, and
  // says whether any was chosen.
  bool MakeRoom();
  // A connection chosen by MakeRoom that was no longer waiting: it counts as open again.
  void Unevict(HttpConnection* connection);
  // Closes the answers the budget chose, each on its connection's thread; stalled: only those
  // still stalled by then.
  void CloseChosen(std::vector<AnswerBudget::Chosen> chosen, bool stalled);
  // The connections still alive, kept alive while the caller holds them.
  std::vector<std::shared_ptr<HttpConnection>> OpenConnections();
  void BeginStop();
  void EndWhenIdle();
  // Runs a page whose answer takes from the answers' budget through `charge` as it grows.
  // *refused: the charge refused what the answer was to hold (answered 503).
  HostReply RunPage(EntryKind kind, RawRequest raw, const std::vector<std::string>& cookies,
                    const std::string& target, PageCharge& charge, bool* refused);
  // The stored session that one of the cookie values names, else a new one.
  Session AttachSession(const std::vector<std::string>& cookies);
  // Returns freed heap to the system after a page that held a large body; one trim at a time,
  // and one more when another such page finished meanwhile.
  void ReturnFreedMemory();
  // The same after a crowd of connections has gone, at most once a kCrowdTrimInterval (a later
  // one waits for its turn). On the strand.
  void TrimAfterCrowd();

  HostOptions options;
  PageHandler handler;
  Application application;
  SessionStore sessions;
  BodyMemory body_memory;
  // What each client address holds. Declared before the I/O contexts: the connections they
  // destroy give their entries back.
  ClientTable clients;
  // What answers waiting on their clients and pages being built hold, and which answers close to
  // make room. Declared before the I/O contexts: the connections they destroy give theirs back.
  AnswerBudget answers;
  std::atomic<int> trims_wanted{0};
  std::atomic<bool> trimming{false};
  std::string install_dir;
  std::unique_ptr<StaticSite> static_site;

  // Declared before the I/O context: a connection that the context destroys unregisters here.
  std::mutex connections_mutex;
  std::unordered_map<HttpConnection*, std::weak_ptr<HttpConnection>> connections;
  // Which of them count toward the bound, and which to close at it; made by Bind, which sets
  // the bound.
  std::optional<ConnectionAdmission> admission;
  size_t connections_peak = 0;  // the most open at once since the freed heap was last returned
  std::atomic<bool> stopping{false};
  std::atomic<bool> destroying{false};

  // One I/O context a thread: a connection lives on one of them from start to end, so its
  // steps never meet on two threads and a page's answer wakes just the thread that owns it.
  // The first also runs the acceptor, the timers and the stop steps.
  std::vector<std::unique_ptr<asio::io_context>> contexts;
  asio::io_context& io;
  size_t next_context = 0;  // on the first context
  asio::strand<asio::io_context::executor_type> strand;
  std::vector<asio::executor_work_guard<asio::io_context::executor_type>> keep_running;
  tcp::acceptor acceptor;
  asio::steady_timer accept_retry;
  asio::steady_timer grace_timer;
  // The freed heap after a crowd has gone goes back at most once a kCrowdTrimInterval: a trim
  // holds the allocator's arenas while it runs. On the strand.
  asio::steady_timer crowd_trim_timer;
  SteadyTime last_crowd_trim{};
  bool crowd_trim_due = false;
  bool stop_begun = false;  // on the strand
  // Which page goes to the workers next; its waiting pages hold their connections, so it goes
  // before the I/O contexts do.
  PageScheduler scheduler;
  std::unique_ptr<WorkerPool> workers;

  std::mutex run_mutex;
  std::condition_variable run_cv;
  bool bound = false;
  bool running = false;
  bool stop_requested = false;
  int port = 0;
};

// One client connection: reads a request, answers it (static answers on the I/O thread, pages
// through the worker pool), and reads the next while the connection is kept alive. Every step
// runs on the connection's strand; a page's answer is posted back to it.
class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
 public:
  // client: the entry of the peer's address, which counts this connection; null for a trusted
  // proxy.
  HttpConnection(tcp::socket socket, HttpHost::Impl& host, std::shared_ptr<ClientUse> client)
      : stream_(std::move(socket)), host_(host), client_(std::move(client)) {
    chunk_header_check_ = [](std::uint64_t, beast::string_view extensions, beast::error_code& ec) {
      if (extensions.size() > kMaxChunkExtensionBytes) ec = http::error::bad_chunk_extension;
    };
  }
  ~HttpConnection() {
    if (client_) client_->connections.fetch_sub(1, std::memory_order_relaxed);
    host_.Unregister(this);
  }

  // address: what the connection counts toward at the bound (see CountClient).
  void Start(std::string_view address) {
    // Answers are written without waiting (sendfile takes no flag that says so).
    beast::error_code ec;
    stream_.socket().native_non_blocking(true, ec);
    host_.Register(this, shared_from_this(), address);
    asio::dispatch(stream_.get_executor(), [self = shared_from_this()] {
      self->stream_.expires_after(self->host_.options.head_timeout);
      self->ReadHead();
    });
  }

  // Called on the strand when the host stops: a connection between requests closes now; one
  // with a request under way finishes it and closes after its answer.
  void OnStop() {
    if (state_ == State::kIdle || state_ == State::kHead) Close();
  }
  void ForceClose() { Close(); }
  auto executor() { return stream_.get_executor(); }

  // When the connection began to wait on its client (between requests, for a head, or for a
  // body without an account), in steady-clock ticks; 0 while it has a request to answer or a
  // signed-in console body to read, when it may not be closed to make room. Read by MakeRoom
  // under the host's connections mutex.
  int64_t waiting_since() const { return waiting_since_.load(std::memory_order_relaxed); }
  // When the socket last stopped taking the answer under way (still within its grace), in
  // steady-clock ticks; 0 while no answer waits on it. MakeRoom chooses among these only when no
  // connection waits on its client.
  int64_t blocked_since() const { return blocked_since_.load(std::memory_order_relaxed); }
  // On the connection's thread, once MakeRoom chose it: closes it if it is still waiting on its
  // client or on the socket, else it stays and counts again.
  void Evict() {
    std::lock_guard lock(socket_mutex_);
    if (state_ == State::kClosing) return;  // going anyway
    if (waiting_since() != 0 || blocked_since() != 0) return Close();
    host_.Unevict(this);
  }
  // On the connection's thread: closes it if its answer `number` still waits on its client (and,
  // when `stalled`, that client still does not take it), as the ledger chose.
  void CloseAnswer(unsigned number, bool stalled) {
    std::lock_guard lock(socket_mutex_);
    if (state_ == State::kClosing || !write_watched_ || number != answer_number_) return;
    if (!stalled || stalled_) Close();
  }

 private:
  enum class State { kIdle, kHead, kBody, kPage, kWriting, kClosing };

  void Waiting(bool waiting) {
    waiting_since_.store(
        waiting ? std::max<int64_t>(1, std::chrono::steady_clock::now().time_since_epoch().count())
                : 0,
        std::memory_order_relaxed);
  }

  // True on the worker that is answering this connection, while it holds socket_mutex_. The
  // steps on the connection's thread may run at the same time once the worker has handed the
  // connection back, so this is asked of the thread, not of a member.
  bool OnItsWorker() const { return t_answering == this; }

  void ReadNext() {
    if (host_.stopping || served_ >= kMaxRequestsPerConnection) return Close();
    if (buffer_.size() > 0) {
      if (OnItsWorker()) return ParseBuffered();
      stream_.expires_after(host_.options.head_timeout);
      return ReadHead();
    }
    if (OnItsWorker() && AwaitOnWorker()) return;
    if (host_.stopping) return Close();
    // Idle: wait for the first byte of the next request within the keep-alive time.
    state_ = State::kIdle;
    Waiting(true);
    stream_.expires_after(std::chrono::seconds(std::max(1, host_.options.keep_alive_seconds)));
    stream_.async_read_some(buffer_.prepare(4096),
                            [self = shared_from_this()](beast::error_code ec, size_t n) {
                              if (ec) return self->Close();
                              self->buffer_.commit(n);
                              self->stream_.expires_after(self->host_.options.head_timeout);
                              self->ReadHead();
                            });
  }

  // On the worker that answered the last request: waits a moment for the next one, takes what
  // has come and goes on with it. False when nothing came: the caller reads as usual.
  bool AwaitOnWorker() {
    state_ = State::kIdle;
    Waiting(true);
    tcp::socket& socket = stream_.socket();
    Addresses();  // before the socket leaves the connection's thread, for the protocol
    // While the worker waits, the socket is taken off the connection's thread, which would
    // otherwise be woken for the request the worker reads. It goes back once what came is read,
    // so that putting it back reports nothing new.
    beast::error_code ec;
    const int fd = socket.release(ec);
    if (ec) return false;
    ssize_t n = 0;
    const bool readable = host_.workers->AwaitReadable(fd, kWorkerKeepsConnection);
    asio::mutable_buffer space = buffer_.prepare(4096);
    if (readable) {
      do {
        n = ::recv(fd, space.data(), space.size(), MSG_DONTWAIT);
      } while (n < 0 && errno == EINTR);
    }
    const bool nothing = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    socket.assign(addresses_->protocol, fd, ec);
    if (ec) {
      ::close(fd);
      Close();
      return true;
    }
    if (!readable || nothing) return false;
    if (n <= 0) {
      Close();  // closed or reset by the client
      return true;
    }
    buffer_.commit(static_cast<size_t>(n));
    if (host_.stopping) {
      Close();
      return true;
    }
    ParseBuffered();
    return true;
  }

  // On a worker: parses the head already received, the way ReadHead would; a head not yet
  // complete is left to the connection's thread.
  void ParseBuffered() {
    NewRequest();
    beast::error_code ec;
    while (!parser_->is_header_done()) {
      size_t used = parser_->put(buffer_.data(), ec);
      head_buffer_.consume(used);
      if (ec == http::error::need_more || (!ec && used == 0)) {
        // The parser may have taken the request line already: it goes on from there.
        stream_.expires_after(host_.options.head_timeout);
        return ReadRestOfHead();
      }
      if (ec) break;
    }
    // The deadline was last set for an earlier request; a body, or the 100 Continue before it,
    // has the head's time from here, as it would have from the start of the head.
    if (!ec && !parser_->is_done()) stream_.expires_after(host_.options.head_timeout);
    OnHead(ec);
  }

  void ReadHead() {
    NewRequest();
    ReadRestOfHead();
  }

  // A parser for the next request, and the read buffer without the bound of a chunked body.
  void NewRequest() {
    state_ = State::kHead;
    Waiting(true);
    head_buffer_.Reset();
    share_.reset();
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(kMaxHeadBytes));
    parser_->body_limit(host_.options.max_body_bytes);
    parser_->on_chunk_header(chunk_header_check_);
    // What came after the last request stays.
    buffer_.max_size(std::max(kHeadBufferBytes, buffer_.size()));
  }

  void ReadRestOfHead() {
    http::async_read_header(
        stream_, head_buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, size_t) { self->OnHead(ec); });
  }

  void OnHead(beast::error_code ec) {
    if (ec == http::error::buffer_overflow && head_memory_.bytes() == 0) {
      // A head longer than every connection may hold: the rest of its room is taken from the
      // share of those without an account.
      head_memory_ = BodyReservation(host_.body_memory, BodyShare::kAnonymous, client_);
      if (!head_memory_.GrowTo(kLongHeadBufferBytes - kHeadBufferBytes)) return Fail(503);
      buffer_.max_size(kLongHeadBufferBytes);
      return ReadRestOfHead();
    }
    if (head_memory_.bytes() > 0) {
      // The long head's room goes back; what the buffer still holds is what came after it.
      buffer_.shrink_to_fit();
      head_memory_.Reset();
    }
    if (ec) {
      if (ec == http::error::header_limit) {
        // The request line is taken off the buffer once parsed; before that it is at its front.
        size_t line = parser_->get().target().empty() ? StartLineLength(buffer_)
                                                      : parser_->get().target().size();
        return Fail(line > host_.options.max_url_bytes ? 414 : 431);
      }
      if (ec == http::error::buffer_overflow) return Fail(431);
      if (ec == http::error::body_limit) return Fail(413);
      if (IsParseError(ec)) return Fail(400);
      return Close();  // closed, reset or timed out: nobody to answer
    }
    auto& req = parser_->get();
    if (static_cast<size_t>(std::distance(req.begin(), req.end())) > kMaxHeaderFields) {
      return Fail(431);
    }
    if (req.version() != 10 && req.version() != 11) return Fail(400);
    if (head_buffer_.folded() || !NamesItsHost(req)) return Fail(400);
    if (req.target().size() > host_.options.max_url_bytes) return Fail(414);
    if (req.find(http::field::content_encoding) != req.end()) return Fail(415);
    if (!FramedOnlyByChunks(req)) return Fail(400);
    if (!ReadTarget()) return Fail(400);
    if (!parser_->is_done()) {
      if (int refusal = AdmitBody()) return Fail(refusal);
      auto expect = req.find(http::field::expect);
      if (expect != req.end()) {
        if (!EqualsNoCase(std::string_view(expect->value().data(), expect->value().size()),
                          "100-continue")) {
          return Fail(417);
        }
        return SendContinue();
      }
      return ReadBody();
    }
    Dispatch();
  }

  // What the request asks for, from its target: the absolute form "http://host/path" that
  // proxies send is taken too. False when the path is no path.
  bool ReadTarget() {
    Target& t = target_;
    t.target = std::string(parser_->get().target());
    std::string_view rest = t.target;
    size_t scheme = rest.find("://");
    if (scheme != std::string_view::npos && scheme < rest.find('/')) {
      size_t slash = rest.find('/', scheme + 3);
      rest = slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash);
    }
    size_t question = rest.find('?');
    t.raw_path = std::string(rest.substr(0, question));
    t.query =
        question == std::string_view::npos ? std::string() : std::string(rest.substr(question + 1));
    std::string path_bytes = host::PercentDecode(t.raw_path, false);
    if (path_bytes.empty() || path_bytes.front() != '/' ||
        path_bytes.find('\0') != std::string::npos) {
      return false;
    }
    t.path = host::PathBytesToUtf8(path_bytes);
    t.kind.reset();
    if (EqualsNoCase(t.path, host_.install_dir + "admin.asp")) {
      t.kind = EntryKind::kAdmin;
    } else if (EndsWithNoCase(t.path, "/asp.asp")) {
      t.kind = EntryKind::kPublic;
    }
    return true;
  }

  // The limit of this request's body and the share it draws on, from what it asks for.
  BodyAllowance Allowance() {
    const HostOptions& options = host_.options;
    if (!target_.kind) return std::min(options.max_body_bytes, kStaticBodyBytes);
    if (!options.body_limit) return options.max_body_bytes;
    auto& req = parser_->get();
    auto type = req.find(http::field::content_type);
    BodyRequest request{
        .kind = *target_.kind,
        .query = target_.query,
        .multipart = type != req.end() && host::IsMultipartContentType(std::string_view(
                                              type->value().data(), type->value().size())),
        .session = [this, &req] { return host_.AttachSession(SessionCookies(req)); }};
    BodyAllowance allowance = options.body_limit(request);
    allowance.limit = std::min(options.max_body_bytes, allowance.limit);
    if (allowance.share == BodyShare::kSignIn) {
      allowance.limit = std::min(allowance.limit, options.sign_in_body_bytes);
    }
    return allowance;
  }

  // The entry of the client address that a body without an account counts toward: the peer's,
  // or behind a trusted proxy the address its X-Forwarded-For names.
  std::shared_ptr<ClientUse> BodyClient() {
    if (client_) return client_;
    return host_.clients.Find(ClientNetwork(host_.options.trusted_proxies.ClientAddress(
        Addresses().remote_addr, ForwardedFor(parser_->get()))));
  }

  // Before a byte of the body is read: its limit, and whether what it announces fits what is
  // left of its share (a chunked body is asked for one piece). It then takes memory as its
  // bytes come. 0 when it may come, else the status that refuses it.
  int AdmitBody() {
    const BodyAllowance allowance = Allowance();
    share_ = allowance.share;
    const size_t limit = allowance.limit;
    boost::optional<std::uint64_t> length = parser_->content_length();
    if (limit == 0 || (length && *length > limit)) return 413;
    parser_->body_limit(limit);
    std::shared_ptr<ClientUse> client;
    if (allowance.share != BodyShare::kConsole) client = BodyClient();
    size_t announced = length ? static_cast<size_t>(*length) : std::min(limit, kBodyPiece);
    if (!host_.body_memory.Fits(allowance.share, client.get(), announced)) return 503;
    // A signed-in console body is not given up to make room for other connections.
    if (allowance.share == BodyShare::kConsole) Waiting(false);
    body_memory_ = BodyReservation(host_.body_memory, allowance.share, std::move(client));
    parser_->get().body().may_hold = [this](size_t total) { return body_memory_.GrowTo(total); };
    return 0;
  }

  void SendContinue() {
    static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
    asio::async_write(stream_, asio::buffer(kContinue.data(), kContinue.size()),
                      [self = shared_from_this()](beast::error_code ec, size_t) {
                        if (ec) return self->Close();
                        self->ReadBody();
                      });
  }

  void ReadBody() {
    state_ = State::kBody;
    body_started_ = std::chrono::steady_clock::now();
    // A chunked body's line or trailer waits in the buffer until it is whole, and may not grow
    // past its bound; any other body passes through to the parser as it comes. What came with
    // the head stays.
    buffer_.max_size(
        std::max(parser_->chunked() ? kMaxChunkedPendingBytes : kBodyPiece, buffer_.size()));
    ReadBodySome();
  }

  // The body's deadline grows with what it has to carry: its length when announced, else what
  // has come so far plus one more piece.
  void ReadBodySome() {
    uint64_t expected = 0;
    if (boost::optional<std::uint64_t> length = parser_->content_length()) {
      expected = *length;
    } else {
      expected = parser_->get().body().bytes.size() + kBodyPiece;
    }
    auto allowance = std::chrono::milliseconds(
        expected * 1000 / std::max<size_t>(1, host_.options.min_bytes_per_second));
    stream_.expires_at(body_started_ + host_.options.head_timeout + allowance);
    http::async_read_some(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, size_t) { self->OnBody(ec); });
  }

  void OnBody(beast::error_code ec) {
    if (ec) {
      if (ec == http::error::body_limit) return Fail(413);
      if (ec == asio::error::no_buffer_space) return Fail(503);
      if (ec == http::error::buffer_overflow) return Fail(PendingChunkedOverflowStatus(buffer_));
      if (IsParseError(ec)) return Fail(400);
      return Close();
    }
    if (!parser_->is_done()) return ReadBodySome();
    // A trailer's fields join the head's.
    auto& req = parser_->get();
    if (static_cast<size_t>(std::distance(req.begin(), req.end())) > kMaxHeaderFields) {
      return Fail(431);
    }
    Dispatch();
  }

  void Dispatch() {
    Waiting(false);
    ++served_;
    auto& req = parser_->get();
    keep_alive_ = req.keep_alive();
    head_only_ = req.method() == http::verb::head;
    std::string method(req.method_string());
    // A page holds its body's memory until it has finished; any other answer lets it go here.
    BodyReservation body_memory = std::move(body_memory_);
    answer_address_.clear();
    if (!client_ && !host_.options.trusted_proxies.empty()) {
      answer_address_ =
          host_.options.trusted_proxies.ClientAddress(Addresses().remote_addr, ForwardedFor(req));
    }
    if (!target_.kind) {
      std::string since;
      if (auto it = req.find(http::field::if_modified_since); it != req.end()) {
        since = std::string(it->value());
      }
      return Send(
          host_.static_site->Serve(method, target_.raw_path, target_.path, target_.query, since));
    }
    if (method != "GET" && method != "HEAD" && method != "POST") {
      HostReply reply = ErrorReply(405);
      reply.SetHeader("Allow", "GET, HEAD, POST");
      return Send(std::move(reply));
    }
    if (auto type = req.find(http::field::content_type);
        type != req.end() &&
        host::IsFormContentType(std::string_view(type->value().data(), type->value().size())) &&
        host::CountUrlEncoded(req.body().bytes, kMaxFormFields) > kMaxFormFields) {
      return Fail(413);
    }

    // The owners' requests are told from the others by the share their bodies would take.
    if (!share_) share_ = Allowance().share;
    RawRequest raw;
    raw.method = std::move(method);
    raw.version = req.version() == 10 ? "HTTP/1.0" : "HTTP/1.1";
    raw.path = std::move(target_.path);
    raw.query = std::move(target_.query);
    raw.body = std::move(req.body().bytes);
    std::vector<std::string> session_cookies = SessionCookies(req);
    for (const auto& field : req) {
      raw.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
    }
    const ConnectionAddresses& addresses = Addresses();
    raw.remote_addr = answer_address_.empty() ? host_.options.trusted_proxies.ClientAddress(
                                                    addresses.remote_addr, ForwardedFor(req))
                                              : answer_address_;
    raw.remote_port = addresses.remote_port;
    raw.local_addr = addresses.local_addr;
    raw.local_port = addresses.local_port;
    std::string client = ClientNetwork(raw.remote_addr);
    parser_.reset();

    state_ = State::kPage;
    // The pool takes copyable tasks; the page, holding its body's memory, is moved only.
    auto pending = std::make_shared<PendingPage>(PendingPage{
        *target_.kind, std::move(raw), std::move(session_cookies), std::move(target_.target),
        std::move(body_memory), LaneOf(*share_), std::move(client)});
    auto self = shared_from_this();
    if (!host_.scheduler.Submit(pending->lane, pending->client, std::chrono::steady_clock::now(),
                                [self, pending](bool may) { self->StartPage(pending, may); })) {
      return;  // it waits its turn
    }
    if (OnItsWorker()) {
      next_page_ = std::move(*pending);  // the worker that read it runs it next
      return;
    }
    host_.workers->Post([self, pending] { self->RunPages(std::move(*pending)); });
  }

  // The two ends of the connection, asked of the socket once.
  struct ConnectionAddresses {
    tcp protocol = tcp::v4();
    std::string remote_addr;
    unsigned short remote_port = 0;
    std::string local_addr;
    unsigned short local_port = 0;
  };
  const ConnectionAddresses& Addresses() {
    if (!addresses_) {
      beast::error_code ec;
      tcp::endpoint remote = stream_.socket().remote_endpoint(ec);
      tcp::endpoint local = stream_.socket().local_endpoint(ec);
      ConnectionAddresses a;
      a.protocol = local.protocol();
      a.remote_addr = remote.address().to_string();
      a.remote_port = remote.port();
      a.local_addr = CanonicalAddress(local.address().to_string());
      a.local_port = local.port();
      addresses_ = std::move(a);
    }
    return *addresses_;
  }

  struct PendingPage {
    EntryKind kind;
    RawRequest raw;
    std::vector<std::string> cookies;
    std::string target;
    BodyReservation body_memory;  // given back once the page has finished
    PageScheduler::Lane lane;
    std::string client;  // the address it counts toward in its lane
  };

  // What a request asks for, read at its head.
  struct Target {
    std::string target;             // as sent
    std::string raw_path;           // still percent-encoded
    std::string path;               // decoded, UTF-8
    std::string query;              // raw
    std::optional<EntryKind> kind;  // none: a static file
  };

  static PageScheduler::Lane LaneOf(BodyShare share) {
    switch (share) {
      case BodyShare::kConsole:
        return PageScheduler::Lane::kOwner;
      case BodyShare::kSignIn:
        return PageScheduler::Lane::kSignIn;
      case BodyShare::kAnonymous:
        break;
    }
    return PageScheduler::Lane::kVisitor;
  }

  // A page that waited its turn may run now, or waited too long and is refused.
  void StartPage(const std::shared_ptr<PendingPage>& pending, bool may) {
    auto self = shared_from_this();
    if (may) {
      host_.workers->Post([self, pending] { self->RunPages(std::move(*pending)); });
    } else {
      asio::post(executor(), [self] { self->Fail(503); });
    }
  }

  // On a worker: runs the page, answers it, and runs the connection's next pages as long as
  // they come while the worker waits for them.
  void RunPages(PendingPage first) {
    std::optional<PendingPage> page = std::move(first);
    while (page) {
      size_t body_held = page->body_memory.bytes();
      const bool owners = page->lane != PageScheduler::Lane::kVisitor;
      PageCharge charge(host_.answers, owners);
      bool refused = false;
      HostReply reply = host_.RunPage(page->kind, std::move(page->raw), page->cookies, page->target,
                                      charge, &refused);
      charge.DropBody();  // the page's Response has gone
      host_.scheduler.Finish(page->lane, page->client, std::chrono::steady_clock::now());
      page.reset();
      {
        // The worker answers itself and starts reading the next request, so neither waits for
        // the connection's thread to wake (on a busy machine each wake costs more than a small
        // page). Nothing else touches the connection while its page runs, or while the worker
        // waits for the next request, but a forced close at the end of a stop, which the lock
        // keeps apart; the steps after that run on the connection's thread.
        std::lock_guard lock(socket_mutex_);
        t_answering = this;
        page_charge_ = &charge;
        owners_answer_ = owners;
        // A client whose page found no room is not read further, as after any other 503.
        if (refused) keep_alive_ = false;
        Send(std::move(reply));
        page_charge_ = nullptr;
        owners_answer_ = false;
        t_answering = nullptr;
        page.swap(next_page_);
      }
      if (body_held >= kTrimAfterBodyBytes) host_.ReturnFreedMemory();
    }
  }

  // Answers an error and closes the connection.
  void Fail(int status) {
    keep_alive_ = false;
    head_only_ = false;
    // What came of a refused body is dropped at once.
    parser_.reset();
    body_memory_.Reset();
    head_memory_.Reset();
    HostReply reply = ErrorReply(status);
    if (status == 503) reply.SetHeader("Retry-After", "5");
    Send(std::move(reply));
  }

  void Send(HostReply reply) {
    if (state_ == State::kClosing) return;
    state_ = State::kWriting;
    if (host_.stopping || served_ >= kMaxRequestsPerConnection) keep_alive_ = false;
    reply_ = std::move(reply);
    uint64_t length = reply_.streams_file() ? reply_.file_size : reply_.Body().size();
    bool bodiless = reply_.status == 304 || reply_.status < 200;
    head_.clear();
    head_ += "HTTP/1.1 " + std::to_string(reply_.status) + " ";
    head_ += StatusReason(reply_.status);
    head_ += "\r\n";
    for (const auto& [name, value] : reply_.headers) {
      head_ += name;
      head_ += ": ";
      head_ += value;
      head_ += "\r\n";
    }
    if (!bodiless) head_ += "Content-Length: " + std::to_string(length) + "\r\n";
    head_ += keep_alive_ ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (head_only_ || bodiless) {
      reply_.body = std::string();
      reply_.shared_body.reset();
      reply_.file.Close();
    }
    head_sent_ = 0;
    body_sent_ = 0;
    file_offset_ = 0;
    file_left_ = reply_.streams_file() ? reply_.file_size : 0;
    answer_taken_ = 0;
    WriteAnswer();
  }

  // Hands the socket what it takes of the answer. When it takes no more, the rest waits on the
  // client: it holds memory from the answers' budget, and a watch keeps its deadline and tells
  // whether the client is still taking it.
  void WriteAnswer() {
    switch (WriteNow()) {
      case Written::kAll:
        return FinishAnswer();
      case Written::kFailed:
        return Close();
      case Written::kSome:
        break;
    }
    if (!write_watched_ && !WatchAnswer()) return Close();
    stream_.socket().async_wait(tcp::socket::wait_write,
                                [self = shared_from_this()](beast::error_code ec) {
                                  if (ec) return self->Close();
                                  self->WriteAnswer();
                                });
  }

  enum class Written { kAll, kSome, kFailed };

  // Writes the answer's head and body, then its file, until the socket is full (kSome).
  Written WriteNow() {
    const int socket = stream_.socket().native_handle();
    const std::string& body = reply_.Body();
    while (true) {
      size_t asked = 0;
      ssize_t n = 0;
      if (head_sent_ < head_.size() || body_sent_ < body.size()) {
        const size_t head_rest = head_.size() - head_sent_;
        iovec parts[2] = {{head_.data() + head_sent_, head_rest},
                          {const_cast<char*>(body.data()) + body_sent_, body.size() - body_sent_}};
        asked = parts[0].iov_len + parts[1].iov_len;
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = 2;
        // The head waits for the file's first bytes, to go out in the same packets.
        n = ::sendmsg(socket, &message,
                      MSG_DONTWAIT | MSG_NOSIGNAL | (file_left_ > 0 ? MSG_MORE : 0));
        if (n > 0) {
          const size_t from_head = std::min(static_cast<size_t>(n), head_rest);
          head_sent_ += from_head;
          body_sent_ += static_cast<size_t>(n) - from_head;
        }
      } else if (file_left_ > 0) {
        asked = static_cast<size_t>(std::min<uint64_t>(file_left_, kMostSentFromFile));
        n = ::sendfile(socket, reply_.file.fd(), &file_offset_, asked);
        if (n == 0) return Written::kFailed;  // the file was cut short since it was opened
        if (n > 0) file_left_ -= static_cast<uint64_t>(n);
      } else {
        return Written::kAll;
      }
      if (n > 0) {
        answer_taken_ += static_cast<uint64_t>(n);
        // Less than asked: the socket is full, and asking again would only say so.
        if (static_cast<size_t>(n) < asked) return Written::kSome;
        continue;
      }
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK ? Written::kSome : Written::kFailed;
    }
  }

  // The answer waits on its client from now: its memory is held from the budget, and it must be
  // taken within the time a body of its length would have to arrive in. False when it may not be
  // held.
  bool WatchAnswer() {
    if (!HoldAnswer()) return false;
    write_watched_ = true;
    blocked_since_.store(
        std::max<int64_t>(1, std::chrono::steady_clock::now().time_since_epoch().count()),
        std::memory_order_relaxed);
    const HostOptions& options = host_.options;
    const uint64_t length =
        answer_taken_ + head_.size() - head_sent_ + reply_.Body().size() - body_sent_ + file_left_;
    const SteadyTime now = std::chrono::steady_clock::now();
    write_deadline_ = now + options.head_timeout +
                      std::chrono::milliseconds(length * 1000 /
                                                std::max<size_t>(1, options.min_bytes_per_second));
    taken_at_check_ = answer_taken_;
    if (!write_timer_) write_timer_.emplace(stream_.get_executor());
    WatchAgain(now);
    return true;
  }

  void WatchAgain(SteadyTime now) {
    write_timer_->expires_at(std::min(now + kAnswerGrace, write_deadline_));
    write_timer_->async_wait(
        [self = shared_from_this(), number = answer_number_](beast::error_code ec) {
          if (!ec) self->CheckAnswer(number);
        });
  }

  // Every kAnswerGrace while an answer waits: a client that took less of it than bodies must
  // send in that time waits on its client (and may be closed to make room); one past the
  // deadline is closed.
  void CheckAnswer(unsigned number) {
    std::lock_guard lock(socket_mutex_);
    if (number != answer_number_ || !write_watched_ || state_ == State::kClosing) return;
    const SteadyTime now = std::chrono::steady_clock::now();
    if (now >= write_deadline_) return Close();
    const uint64_t taken = answer_taken_ - taken_at_check_;
    taken_at_check_ = answer_taken_;
    const uint64_t fair = host_.options.min_bytes_per_second *
                          std::chrono::duration_cast<std::chrono::seconds>(kAnswerGrace).count();
    const bool stalled = taken < fair;
    if (stalled != stalled_) {
      stalled_ = stalled;
      Waiting(stalled);
    }
    answer_.Checked(taken, stalled, now.time_since_epoch().count());
    WatchAgain(now);
  }

  // Takes what the answer holds from the answers' budget, which may close others to make room.
  bool HoldAnswer() {
    const size_t bytes = head_.capacity() + (reply_.shared_body ? 0 : reply_.body.capacity());
    // A page's answer held what it holds while it was built: its own hold takes over from here.
    if (page_charge_ != nullptr) page_charge_->Release();
    return answer_.Begin(weak_from_this(), answer_number_, AnswerClient(), bytes, owners_answer_);
  }

  // The client address an answer counts toward: the peer's, or behind a trusted proxy the
  // address its X-Forwarded-For named.
  std::shared_ptr<ClientUse> AnswerClient() {
    if (client_) return client_;
    if (answer_address_.empty()) return nullptr;
    return host_.clients.Find(ClientNetwork(answer_address_));
  }

  void FinishAnswer() {
    EndAnswer();
    if (keep_alive_) return ReadNext();
    Linger();
  }

  // Lets go of what the answer held.
  void EndAnswer() {
    if (write_watched_) {
      write_watched_ = false;
      blocked_since_.store(0, std::memory_order_relaxed);
      ++answer_number_;
      write_timer_->cancel();
      if (stalled_) {
        stalled_ = false;
        Waiting(false);
      }
    }
    answer_.End();
    head_.clear();
    reply_ = HostReply();
    file_left_ = 0;
  }

  // Sends the end of the stream, then reads and drops what the client still sends for a short
  // while before closing.
  void Linger() {
    state_ = State::kClosing;
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    if (ec) return Close();
    buffer_.clear();
    buffer_.shrink_to_fit();
    stream_.expires_after(kLingerTime);
    DropInput();
  }

  void DropInput() {
    // What comes is never read, so every lingering connection reads into the same place: a
    // flood of refused requests holds no buffer each.
    static std::array<char, 16 * 1024> dropped;
    stream_.async_read_some(asio::buffer(dropped),
                            [self = shared_from_this()](beast::error_code ec, size_t n) {
                              self->dropped_ += n;
                              if (ec || self->dropped_ > kLingerBytes) return self->Close();
                              self->DropInput();
                            });
  }

  void Close() {
    std::lock_guard lock(socket_mutex_);
    state_ = State::kClosing;
    beast::error_code ec;
    // An answer cut short goes with what the system still holds of it: the client is reset.
    if (write_watched_) stream_.socket().set_option(asio::socket_base::linger(true, 0), ec);
    stream_.socket().close(ec);
    EndAnswer();
  }

  beast::tcp_stream stream_;
  HttpHost::Impl& host_;
  const std::shared_ptr<ClientUse> client_;
  std::function<void(std::uint64_t, beast::string_view, beast::error_code&)> chunk_header_check_;
  beast::flat_buffer buffer_;
  HeadBuffer head_buffer_{buffer_};
  std::optional<RequestParser> parser_;
  Target target_;
  std::optional<BodyShare> share_;  // what the request's body takes, once asked
  BodyReservation body_memory_;     // the memory the body being read takes
  BodyReservation head_memory_;     // the room a long head takes while it arrives
  // Written by the worker that answers a page while the connection's thread may read it.
  std::atomic<State> state_{State::kHead};
  std::recursive_mutex socket_mutex_;
  int served_ = 0;
  bool keep_alive_ = false;
  bool head_only_ = false;
  SteadyTime body_started_;
  // The answer being written, and how far the socket has taken it.
  HostReply reply_;
  std::string head_;
  size_t head_sent_ = 0;
  size_t body_sent_ = 0;
  off_t file_offset_ = 0;
  uint64_t file_left_ = 0;
  uint64_t answer_taken_ = 0;
  // Set while the answer waits on its client; the rest is read under socket_mutex_ by the watch.
  bool write_watched_ = false;
  bool stalled_ = false;        // it took less than the fair rate at the last check
  unsigned answer_number_ = 0;  // a watch of an earlier answer does nothing
  SteadyTime write_deadline_;
  uint64_t taken_at_check_ = 0;
  std::optional<asio::steady_timer> write_timer_;  // made for the first answer that waits
  WaitingAnswer answer_{host_.answers};            // what it holds of the answers' budget
  // While a worker sends a page's answer: what the page held while it was built, and whether it
  // is the owners'.
  PageCharge* page_charge_ = nullptr;
  bool owners_answer_ = false;
  std::string answer_address_;  // behind a trusted proxy: the client the answer counts toward
  size_t dropped_ = 0;
  // A request read by the worker that answered the last one, for it to run next.
  std::optional<PendingPage> next_page_;
  std::optional<ConnectionAddresses> addresses_;
  std::atomic<int64_t> waiting_since_{0};
  std::atomic<int64_t> blocked_since_{0};
};

HttpHost::Impl::Impl(HostOptions o, PageHandler h)
    : options(std::move(o)),
      handler(std::move(h)),
      sessions(options.session_idle),
      body_memory(options.max_body_memory, options.max_client_body_memory,
                  options.max_connections * options.sign_in_body_bytes),
      answers({.max_answer_memory = options.max_answer_memory,
               .max_client_answer_memory = options.max_client_answer_memory,
               .answer_loan_memory = options.answer_loan_memory},
              [this](std::vector<AnswerBudget::Chosen> chosen, bool stalled) {
                CloseChosen(std::move(chosen), stalled);
              }),
      contexts(MakeContexts(IoThreadCount(options.io_threads))),
      io(*contexts.front()),
      strand(asio::make_strand(io)),
      acceptor(strand),
      accept_retry(strand),
      grace_timer(strand),
      crowd_trim_timer(strand),
      scheduler({.workers = static_cast<size_t>(std::max(1, options.threads)),
                 .owner_workers = static_cast<size_t>(std::max(0, options.owner_workers)),
                 .sign_in_workers = static_cast<size_t>(std::max(1, options.sign_in_workers)),
                 .per_client = options.max_client_pages,
                 .max_wait = options.head_timeout}) {
  // A block of a megabyte or more (a large body, its parsed values) is mapped on its own and
  // unmapped when freed, so that it goes back to the system at once; without a fixed threshold
  // the allocator raises it after the first such free and keeps later ones in the heap.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kTrimAfterBodyBytes));
  namespace stdfs = std::filesystem;
  std::error_code ec;
  stdfs::path root = stdfs::absolute(options.site_root, ec).lexically_normal();
  if (!ec) {
    if (!root.has_filename() && root.has_parent_path() && root != root.root_path()) {
      root = root.parent_path();
    }
    options.site_root = root;
  }
  static_site = std::make_unique<StaticSite>(options.site_root);
  install_dir = Server(options.site_root, options.install_dir).install_dir();
  options.io_threads = IoThreadCount(options.io_threads);
}

void HttpHost::Impl::Accept() {
  asio::io_context& owner = *contexts[next_context++ % contexts.size()];
  acceptor.async_accept(
      owner, [this](beast::error_code ec, tcp::socket socket) { OnAccept(ec, std::move(socket)); });
}

void HttpHost::Impl::OnAccept(beast::error_code ec, tcp::socket socket) {
  if (stopping || !acceptor.is_open()) return;
  if (ec) {
    // Out of file descriptors or a connection reset before it was taken: try again shortly,
    // without spinning.
    accept_retry.expires_after(std::chrono::milliseconds(50));
    accept_retry.async_wait([this](beast::error_code wait_ec) {
      if (!wait_ec && !stopping) Accept();
    });
    return;
  }
  std::string address;
  std::shared_ptr<ClientUse> client;
  if (!CountClient(socket, &address, &client) || !MakeRoom()) {
    if (client) client->connections.fetch_sub(1, std::memory_order_relaxed);
    Refuse(std::move(socket));
  } else {
    beast::error_code opt_ec;
    socket.set_option(tcp::no_delay(true), opt_ec);
    if (options.send_buffer_bytes > 0) {
      socket.set_option(
          asio::socket_base::send_buffer_size(static_cast<int>(options.send_buffer_bytes)), opt_ec);
    }
    std::make_shared<HttpConnection>(std::move(socket), *this, std::move(client))->Start(address);
  }
  Accept();
}

bool HttpHost::Impl::CountClient(const tcp::socket& socket, std::string* address,
                                 std::shared_ptr<ClientUse>* client) {
  beast::error_code ec;
  tcp::endpoint peer = socket.remote_endpoint(ec);
  if (ec) return true;  // reset already: its first read ends it
  std::string peer_address = CanonicalAddress(peer.address().to_string());
  *address = ClientNetwork(peer_address);
  if (options.trusted_proxies.Contains(peer_address)) return true;
  std::shared_ptr<ClientUse> use = clients.Find(*address);
  if (use->connections.fetch_add(1, std::memory_order_relaxed) >= options.max_client_connections) {
    use->connections.fetch_sub(1, std::memory_order_relaxed);
    return false;
  }
  *client = std::move(use);
  return true;
}

// A connection past the bound gets a short 503 if the socket takes it at once, and is closed.
void HttpHost::Impl::Refuse(tcp::socket socket) {
  static const std::string kBusy = [] {
    HostReply reply = ErrorReply(503);
    return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html; charset=gb2312\r\n"
           "Retry-After: 5\r\nContent-Length: " +
           std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body;
  }();
  beast::error_code ec;
  socket.non_blocking(true, ec);
  socket.write_some(asio::buffer(kBusy), ec);
  socket.shutdown(tcp::socket::shutdown_both, ec);
  socket.close(ec);
}

void HttpHost::Impl::Register(HttpConnection* connection,
                              const std::shared_ptr<HttpConnection>& shared,
                              std::string_view address) {
  std::lock_guard lock(connections_mutex);
  connections.emplace(connection, shared);
  admission->Add(reinterpret_cast<ConnectionAdmission::Id>(connection), address);
  connections_peak = std::max(connections_peak, connections.size());
}

bool HttpHost::Impl::MakeRoom() {
  // A few at a time, so that a stream of new connections at the bound does not look at every
  // connection for each; no more than the open files left beside the bound can take while the
  // chosen ones are still closing.
  const size_t batch = std::clamp<size_t>(options.max_connections / 64, 1, 64);
  std::vector<std::shared_ptr<HttpConnection>> chosen;
  {
    std::lock_guard lock(connections_mutex);
    if (!admission->Full()) return true;
    std::vector<ConnectionAdmission::Id> ids =
        admission->ChooseToClose(batch, [](ConnectionAdmission::Id id) {
          return reinterpret_cast<const HttpConnection*>(id)->waiting_since();
        });
    // None waits on its client: then answers that the socket has not taken, within their grace,
    // by the same rules, so that clients which have just stopped reading do not fill the bound
    // until the grace has passed.
    if (ids.empty()) {
      ids = admission->ChooseToClose(batch, [](ConnectionAdmission::Id id) {
        return reinterpret_cast<const HttpConnection*>(id)->blocked_since();
      });
    }
    if (ids.empty()) return false;
    for (ConnectionAdmission::Id id : ids) {
      // One no longer alive is being destroyed: it leaves as it goes.
      auto it = connections.find(reinterpret_cast<HttpConnection*>(id));
      if (auto shared = it == connections.end() ? nullptr : it->second.lock()) {
        chosen.push_back(std::move(shared));
      }
    }
  }
  // The shared pointers are let go outside the lock: the last one unregisters.
  for (auto& connection : chosen) {
    asio::post(connection->executor(), [connection] { connection->Evict(); });
  }
  return true;
}

void HttpHost::Impl::Unevict(HttpConnection* connection) {
  std::lock_guard lock(connections_mutex);
  admission->Keep(reinterpret_cast<ConnectionAdmission::Id>(connection));
}

void HttpHost::Impl::Unregister(HttpConnection* connection) {
  bool last;
  bool trim = false;
  {
    std::lock_guard lock(connections_mutex);
    connections.erase(connection);
    admission->Remove(reinterpret_cast<ConnectionAdmission::Id>(connection));
    last = connections.empty();
    // After a crowd of connections has mostly gone, what they held goes back to the system.
    if (connections_peak >= kTrimAfterConnections && connections.size() <= connections_peak / 4) {
      connections_peak = connections.size();
      trim = true;
    }
  }
  if (trim && !destroying) asio::post(strand, [this] { TrimAfterCrowd(); });
  if (last && stopping && !destroying) asio::post(strand, [this] { EndWhenIdle(); });
}

void HttpHost::Impl::CloseChosen(std::vector<AnswerBudget::Chosen> chosen, bool stalled) {
  for (AnswerBudget::Chosen& answer : chosen) {
    auto connection = std::static_pointer_cast<HttpConnection>(std::move(answer.holder));
    asio::post(connection->executor(), [connection, number = answer.number, stalled] {
      connection->CloseAnswer(number, stalled);
    });
  }
}

std::vector<std::shared_ptr<HttpConnection>> HttpHost::Impl::OpenConnections() {
  std::vector<std::shared_ptr<HttpConnection>> open;
  std::lock_guard lock(connections_mutex);
  for (auto& [raw, weak] : connections) {
    if (auto shared = weak.lock()) open.push_back(std::move(shared));
  }
  return open;
}

// On the I/O threads: stop accepting, close the connections between requests, and give the
// others the grace period.
void HttpHost::Impl::BeginStop() {
  if (stop_begun) return;
  stop_begun = true;
  beast::error_code ec;
  acceptor.close(ec);
  accept_retry.cancel();
  crowd_trim_timer.cancel();
  for (auto& connection : OpenConnections()) {
    asio::post(connection->executor(), [connection] { connection->OnStop(); });
  }
  grace_timer.expires_after(options.stop_grace);
  grace_timer.async_wait([this](beast::error_code wait_ec) {
    if (wait_ec) return;
    for (auto& connection : OpenConnections()) {
      asio::post(connection->executor(), [connection] { connection->ForceClose(); });
    }
    EndWhenIdle();
  });
  EndWhenIdle();
}

// Lets Run() return once no connection is left (a page still running keeps its connection).
void HttpHost::Impl::EndWhenIdle() {
  bool empty;
  {
    std::lock_guard lock(connections_mutex);
    empty = connections.empty();
  }
  if (!empty) return;
  grace_timer.cancel();
  crowd_trim_timer.cancel();
  keep_running.clear();
}

Session HttpHost::Impl::AttachSession(const std::vector<std::string>& cookies) {
  for (const std::string& value : cookies) {
    Session attached = sessions.Attach(value);
    if (!attached.SessionID().empty()) return attached;
  }
  return sessions.Attach("");
}

void HttpHost::Impl::TrimAfterCrowd() {
  if (crowd_trim_due || stopping) return;
  const SteadyTime now = std::chrono::steady_clock::now();
  const SteadyTime next = last_crowd_trim + kCrowdTrimInterval;
  if (last_crowd_trim == SteadyTime{} || now >= next) {
    last_crowd_trim = now;
    return ReturnFreedMemory();
  }
  crowd_trim_due = true;
  crowd_trim_timer.expires_at(next);
  crowd_trim_timer.async_wait([this](beast::error_code ec) {
    crowd_trim_due = false;
    if (ec || stopping) return;
    last_crowd_trim = std::chrono::steady_clock::now();
    ReturnFreedMemory();
  });
}

void HttpHost::Impl::ReturnFreedMemory() {
  ++trims_wanted;
  while (!trimming.exchange(true)) {
    bool wanted = trims_wanted.exchange(0) > 0;
    if (wanted) malloc_trim(0);
    trimming = false;
    // A page that finished while this one trimmed saw it busy and left its trim to it.
    if (trims_wanted.load() == 0) break;
  }
}

HostReply HttpHost::Impl::RunPage(EntryKind kind, RawRequest raw,
                                  const std::vector<std::string>& cookies,
                                  const std::string& target, PageCharge& charge, bool* refused) {
  Request request(std::move(raw));
  Response response;
  response.SetCharge(&charge);
  Session session = AttachSession(cookies);
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
      std::cerr << "folirex: error serving " << target << ": " << e.what() << "\n";
    } catch (...) {
      failed = true;
      std::cerr << "folirex: error serving " << target << "\n";
    }
  }
  // A page must not leave the Application locked: the worker would keep every other out.
  while (application.LockedByCaller()) application.UnLock();

  // The converted answer takes its room before it is made.
  *refused =
      !failed && (response.refused() || !charge.HoldConverted(response.body().size(), false));
  HostReply reply;
  if (failed || *refused) reply = ErrorReply(failed ? 500 : 503);
  if (*refused) reply.SetHeader("Retry-After", "5");
  if (SessionStore::NeedsCookie(session)) {
    reply.headers.emplace_back("Set-Cookie", SessionStore::CookieHeader(session));
  }
  if (failed || *refused) return reply;
  reply.status = std::clamp(response.status(), 100, 999);
  bool cache_control = false;
  bool content_type = false;
  for (const auto& [name, value] : response.headers()) {
    if (EqualsNoCase(name, "Cache-Control")) cache_control = true;
    if (EqualsNoCase(name, "Content-Length") || EqualsNoCase(name, "Connection") ||
        EqualsNoCase(name, "Transfer-Encoding")) {
      continue;  // the connection writes these itself
    }
    if (EqualsNoCase(name, "Content-Type")) content_type = true;
    reply.headers.emplace_back(name, Utf8ToGbk(value, Unmappable::kQuestion));
  }
  // Pages are made for one visitor; shared caches must not keep them unless a page says so.
  if (!cache_control) reply.headers.emplace_back("Cache-Control", "private");
  if (!content_type) {
    reply.headers.emplace_back("Content-Type", host::HeaderSafe(response.content_type()));
  }
  // Converted once, into the answer itself: no text of its own for any stretch of the page.
  AppendUtf8ToGbk(response.body(), reply.body, Unmappable::kCharRef);
  charge.HoldConverted(reply.body.capacity(), true);
  return reply;
}

HttpHost::HttpHost(HostOptions options, PageHandler handler)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(handler))) {}

HttpHost::~HttpHost() { Stop(); }

bool HttpHost::Bind(std::string* error) {
  std::lock_guard lock(impl_->run_mutex);
  if (impl_->bound) return true;
  Impl& impl = *impl_;
  beast::error_code ec;
  auto fail = [&] {
    beast::error_code ignored;
    impl.acceptor.close(ignored);
    if (error != nullptr) {
      *error = impl.options.listen_host + ":" + std::to_string(impl.options.port) +
               " is in use or not an address of this machine";
    }
    return false;
  };
  asio::ip::address address = asio::ip::make_address(impl.options.listen_host, ec);
  if (ec) {
    tcp::resolver resolver(impl.io);
    auto results = resolver.resolve(impl.options.listen_host, "", ec);
    if (ec || results.empty()) return fail();
    address = results.begin()->endpoint().address();
  }
  tcp::endpoint endpoint(address, static_cast<unsigned short>(impl.options.port));
  impl.acceptor.open(endpoint.protocol(), ec);
  if (ec) return fail();
  // SO_REUSEADDR lets a restarted server take its port back at once; SO_REUSEPORT is not set,
  // so a second server on the same port fails here instead of sharing it.
  impl.acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  impl.acceptor.bind(endpoint, ec);
  if (ec) return fail();
  impl.acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) return fail();
  impl.port = impl.acceptor.local_endpoint(ec).port();

  // Each connection takes a descriptor, and one more while it sends a file from the disk; leave
  // room for the database and pages too.
  rlim_t files = RaiseOpenFileLimit();
  size_t room =
      (files > 256 ? static_cast<size_t>(files - 128) : static_cast<size_t>(files / 2)) / 2;
  impl.options.max_connections = std::min(impl.options.max_connections, room);
  impl.admission.emplace(impl.options.max_connections);
  impl.bound = true;
  return true;
}

int HttpHost::port() const { return impl_->port; }

size_t HttpHost::max_connections() const { return impl_->options.max_connections; }

void HttpHost::Run() {
  Impl& impl = *impl_;
  {
    std::lock_guard lock(impl.run_mutex);
    if (!impl.bound || impl.stop_requested || impl.running) return;
    impl.running = true;
  }
  impl.workers =
      std::make_unique<WorkerPool>(static_cast<size_t>(std::max(1, impl.options.threads)));
  for (auto& context : impl.contexts) impl.keep_running.emplace_back(context->get_executor());
  asio::post(impl.strand, [&impl] {
    if (impl.stopping) {
      impl.BeginStop();
    } else {
      impl.Accept();
    }
  });
  std::vector<std::thread> threads;
  for (size_t i = 1; i < impl.contexts.size(); ++i) {
    threads.emplace_back([context = impl.contexts[i].get()] { context->run(); });
  }
  impl.io.run();
  for (std::thread& t : threads) t.join();
  impl.workers->Drain();
  {
    std::lock_guard lock(impl.run_mutex);
    impl.running = false;
  }
  impl.run_cv.notify_all();
}

void HttpHost::Stop() {
  Impl& impl = *impl_;
  std::unique_lock lock(impl.run_mutex);
  impl.stop_requested = true;
  if (!impl.stopping.exchange(true) && impl.running) {
    asio::post(impl.strand, [&impl] { impl.BeginStop(); });
  }
  if (!impl.running) {
    // Bound but never run: nothing to wait for; the listening socket closes with the host.
    return;
  }
  // From inside a page: Run() returns once this request, too, has finished.
  if (t_in_page) return;
  impl.run_cv.wait(lock, [&impl] { return !impl.running; });
}

Application& HttpHost::application() { return impl_->application; }

SessionStore& HttpHost::sessions() { return impl_->sessions; }

}  // namespace folirex
