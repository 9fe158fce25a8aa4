#include "platform/host/http_host.h"

#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <iostream>
#include <thread>
#include <utility>

#include "platform/host/host_text.h"
#include "platform/host/http_connection.h"
#include "platform/host/http_host_impl.h"
#include "platform/text/codepage.h"

namespace folirex {

namespace {

using host::EqualsNoCase;

// After this many connections were open at once and three quarters of them have gone, the freed
// heap goes back to the system too.
constexpr size_t kTrimAfterConnections = 1000;
constexpr auto kCrowdTrimInterval = std::chrono::seconds(30);

thread_local bool t_in_page = false;

struct PageScope {
  PageScope() { t_in_page = true; }
  ~PageScope() { t_in_page = false; }
};

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

HttpHost::Impl::Impl(HostOptions o, PageHandler h)
    : options(std::move(o)),
      handler(std::move(h)),
      sessions(options.session_idle),
      body_memory(options.max_body_memory, options.max_client_body_memory,
                  options.max_connections * options.sign_in_body_bytes),
      answers(
          {.max_answer_memory = options.max_answer_memory,
           .max_client_answer_memory = options.max_client_answer_memory,
           .answer_loan_memory = options.answer_loan_memory,
           .stopped_below = options.min_bytes_per_second *
                            std::chrono::duration_cast<std::chrono::seconds>(kAnswerGrace).count()},
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
  // Fixing that threshold also fixes the one above which a thread's heap gives its free top back
  // at its default of 128 KB, which a page's few hundred kilobytes cross: each page then gave
  // pages back and faulted them in again, every return flushing the TLB of every core (nearly
  // half of a long article page's CPU). Half a megabyte keeps a page's heap and bounds what each
  // thread's heap holds unused; what a crowd of pages leaves is given back after it
  // (TrimAfterCrowd).
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kTrimAfterBodyBytes / 2));
  namespace stdfs = std::filesystem;
  std::error_code ec;
  stdfs::path root = stdfs::absolute(options.site_root, ec).lexically_normal();
  if (!ec) {
    if (!root.has_filename() && root.has_parent_path() && root != root.root_path()) {
      root = root.parent_path();
    }
    options.site_root = root;
  }
  static_site = std::make_unique<StaticSite>(options.site_root, options.folder_names);
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
  Server page_server(options.site_root, install_dir, options.folder_names);
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
