// What the HTTP host shares among its threads and its connections (HttpHost::Impl): the options,
// the budgets, the connections and their admission, the I/O contexts and the workers. Internal to
// the host (http_host.cpp, http_connection.cpp).
#ifndef FOLIREX_PLATFORM_HOST_HTTP_HOST_IMPL_H_
#define FOLIREX_PLATFORM_HOST_HTTP_HOST_IMPL_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/host/answer_budget.h"
#include "platform/host/body_memory.h"
#include "platform/host/connection_admission.h"
#include "platform/host/http_host.h"
#include "platform/host/http_parsing.h"
#include "platform/host/page_scheduler.h"
#include "platform/host/static_site.h"
#include "platform/host/worker_pool.h"

namespace folirex {

// After a page whose body held this much, the freed heap goes back to the system.
constexpr size_t kTrimAfterBodyBytes = 1 << 20;
// How often an answer waiting on its client is checked; one whose client took less than
// min_bytes_per_second over this time has stopped taking it (AnswerBudget::Stopped) and waits on
// its client.
constexpr auto kAnswerGrace = std::chrono::seconds(2);

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

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_HTTP_HOST_IMPL_H_
