// HttpConnection: one client connection of the HTTP host (http_host.h), from its first byte to
// its close. Made by the host for each accepted socket, it lives on one I/O context and is kept
// alive by the steps it has under way; the host keeps it weakly. Internal to the host.
#ifndef FOLIREX_PLATFORM_HOST_HTTP_CONNECTION_H_
#define FOLIREX_PLATFORM_HOST_HTTP_CONNECTION_H_

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/answer_budget.h"
#include "platform/host/body_memory.h"
#include "platform/host/http_host.h"
#include "platform/host/http_parsing.h"
#include "platform/host/page_scheduler.h"
#include "platform/host/request.h"
#include "platform/host/static_site.h"

namespace folirex {

// One client connection: reads a request, answers it (static answers on the I/O thread, pages
// through the worker pool), and reads the next while the connection is kept alive. Every step
// runs on the connection's strand; a page's answer is posted back to it.
class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
 public:
  // client: the entry of the peer's address, which counts this connection; null for a trusted
  // proxy.
  HttpConnection(tcp::socket socket, HttpHost::Impl& host, std::shared_ptr<ClientUse> client);
  ~HttpConnection();

  // address: what the connection counts toward at the bound (see CountClient).
  void Start(std::string_view address);

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
  void Evict();
  // On the connection's thread: closes it if its answer `number` still waits on its client (and,
  // when `stalled`, that client still does not take it), as the answers' budget chose.
  void CloseAnswer(unsigned number, bool stalled);

 private:
  enum class State { kIdle, kHead, kBody, kPage, kWriting, kClosing };

  void Waiting(bool waiting);

  // True on the worker that is answering this connection, while it holds socket_mutex_. The
  // steps on the connection's thread may run at the same time once the worker has handed the
  // connection back, so this is asked of the thread, not of a member.
  bool OnItsWorker() const;

  void ReadNext();

  // On the worker that answered the last request: waits a moment for the next one, takes what
  // has come and goes on with it. False when nothing came: the caller reads as usual.
  bool AwaitOnWorker();

  // On a worker: parses the head already received, the way ReadHead would; a head not yet
  // complete is left to the connection's thread.
  void ParseBuffered();

  void ReadHead();

  // A parser for the next request, and the read buffer without the bound of a chunked body.
  void NewRequest();

  void ReadRestOfHead();

  void OnHead(beast::error_code ec);

  // What the request asks for, from its target: the absolute form "http://host/path" that
  // proxies send is taken too. False when the path is no path.
  bool ReadTarget();

  // The limit of this request's body and the share it draws on, from what it asks for.
  BodyAllowance Allowance();

  // The entry of the client address that a body without an account counts toward: the peer's,
  // or behind a trusted proxy the address its X-Forwarded-For names.
  std::shared_ptr<ClientUse> BodyClient();

  // Before a byte of the body is read: its limit, and whether what it announces fits what is
  // left of its share (a chunked body is asked for one piece). It then takes memory as its
  // bytes come. 0 when it may come, else the status that refuses it.
  int AdmitBody();

  void SendContinue();

  void ReadBody();

  // The body's deadline grows with what it has to carry: its length when announced, else what
  // has come so far plus one more piece.
  void ReadBodySome();

  void OnBody(beast::error_code ec);

  void Dispatch();

  // The two ends of the connection, asked of the socket once.
  struct ConnectionAddresses {
    tcp protocol = tcp::v4();
    std::string remote_addr;
    unsigned short remote_port = 0;
    std::string local_addr;
    unsigned short local_port = 0;
  };
  const ConnectionAddresses& Addresses();

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

  static PageScheduler::Lane LaneOf(BodyShare share);

  // A page that waited its turn may run now, or waited too long and is refused.
  void StartPage(const std::shared_ptr<PendingPage>& pending, bool may);

  // On a worker: runs the page, answers it, and runs the connection's next pages as long as
  // they come while the worker waits for them.
  void RunPages(PendingPage first);

  // Answers an error and closes the connection.
  void Fail(int status);

  void Send(HostReply reply);

  // Hands the socket what it takes of the answer. When it takes no more, the rest waits on the
  // client: it holds memory from the answers' budget, and a watch keeps its deadline and tells
  // whether the client is still taking it.
  void WriteAnswer();

  enum class Written { kAll, kSome, kFailed };

  // Writes the answer's head and body, then its file, until the socket is full (kSome).
  Written WriteNow();

  // The answer waits on its client from now: its memory is held from the budget, and it must be
  // taken within the time a body of its length would have to arrive in. False when it may not be
  // held.
  bool WatchAnswer();

  void WatchAgain(SteadyTime now);

  // Every kAnswerGrace while an answer waits: a client that took less of it than bodies must
  // send in that time waits on its client (and may be closed to make room); one past the
  // deadline is closed.
  void CheckAnswer(unsigned number);

  // Takes what the answer holds from the answers' budget, which may close others to make room.
  bool HoldAnswer();

  // The client address an answer counts toward: the peer's, or behind a trusted proxy the
  // address its X-Forwarded-For named.
  std::shared_ptr<ClientUse> AnswerClient();

  void FinishAnswer();

  // Lets go of what the answer held.
  void EndAnswer();

  // Sends the end of the stream, then reads and drops what the client still sends for a short
  // while before closing.
  void Linger();

  void DropInput();

  void Close();

  beast::tcp_stream stream_;
  HttpHost::Impl& host_;
  const std::shared_ptr<ClientUse> client_;
  std::function<void(std::uint64_t, beast::string_view, beast::error_code&)> chunk_header_check_;
  beast::flat_buffer buffer_;
  host::HeadBuffer head_buffer_{buffer_};
  std::optional<host::RequestParser> parser_;
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
  WaitingAnswer answer_;                           // what it holds of the answers' budget
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

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_HTTP_CONNECTION_H_
