#include "platform/host/http_connection.h"

#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <utility>

#include "platform/host/host_text.h"
#include "platform/host/http_host_impl.h"

namespace folirex {

namespace {

using host::EndsWithNoCase;
using host::EqualsNoCase;
using host::ForwardedFor;
using host::FramedOnlyByChunks;
using host::IsParseError;
using host::NamesItsHost;
using host::PendingChunkedOverflowStatus;
using host::SessionCookies;
using host::StartLineLength;

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
// After an error answer the rest of what the client sends is read and dropped for a moment, so
// that closing does not reset the connection before the client has read the answer.
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr size_t kLingerBytes = 1 << 20;
// Static files take no body; what a request to one carries is read and dropped up to this.
constexpr size_t kStaticBodyBytes = 64 * 1024;
// While a chunked body arrives, what waits in the read buffer unparsed (a chunk line, or the
// trailer after the last chunk) may take this much; a chunk's extensions at most the second.
constexpr size_t kMaxChunkedPendingBytes = kMaxHeadBytes;
constexpr size_t kMaxChunkExtensionBytes = 4 * 1024;

// The connection whose answer this worker is sending, and which it may then keep reading.
thread_local const void* t_answering = nullptr;

}  // namespace

HttpConnection::HttpConnection(tcp::socket socket, HttpHost::Impl& host,
                               std::shared_ptr<ClientUse> client)
    : stream_(std::move(socket)), host_(host), client_(std::move(client)), answer_(host.answers) {
  chunk_header_check_ = [](std::uint64_t, beast::string_view extensions, beast::error_code& ec) {
    if (extensions.size() > kMaxChunkExtensionBytes) ec = http::error::bad_chunk_extension;
  };
}

HttpConnection::~HttpConnection() {
  if (client_) client_->connections.fetch_sub(1, std::memory_order_relaxed);
  host_.Unregister(this);
}

void HttpConnection::Start(std::string_view address) {
  // Answers are written without waiting (sendfile takes no flag that says so).
  beast::error_code ec;
  stream_.socket().native_non_blocking(true, ec);
  host_.Register(this, shared_from_this(), address);
  asio::dispatch(stream_.get_executor(), [self = shared_from_this()] {
    self->stream_.expires_after(self->host_.options.head_timeout);
    self->ReadHead();
  });
}

void HttpConnection::Evict() {
  std::lock_guard lock(socket_mutex_);
  if (state_ == State::kClosing) return;  // going anyway
  if (waiting_since() != 0 || blocked_since() != 0) return Close();
  host_.Unevict(this);
}

void HttpConnection::CloseAnswer(unsigned number, bool stalled) {
  std::lock_guard lock(socket_mutex_);
  if (state_ == State::kClosing || !write_watched_ || number != answer_number_) return;
  if (!stalled || stalled_) Close();
}

void HttpConnection::Waiting(bool waiting) {
  waiting_since_.store(
      waiting ? std::max<int64_t>(1, std::chrono::steady_clock::now().time_since_epoch().count())
              : 0,
      std::memory_order_relaxed);
}

void HttpConnection::ReadNext() {
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

bool HttpConnection::AwaitOnWorker() {
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

void HttpConnection::ParseBuffered() {
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

void HttpConnection::ReadHead() {
  NewRequest();
  ReadRestOfHead();
}

void HttpConnection::NewRequest() {
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

void HttpConnection::ReadRestOfHead() {
  http::async_read_header(
      stream_, head_buffer_, *parser_,
      [self = shared_from_this()](beast::error_code ec, size_t) { self->OnHead(ec); });
}

void HttpConnection::OnHead(beast::error_code ec) {
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

bool HttpConnection::ReadTarget() {
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

BodyAllowance HttpConnection::Allowance() {
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

std::shared_ptr<ClientUse> HttpConnection::BodyClient() {
  if (client_) return client_;
  return host_.clients.Find(ClientNetwork(host_.options.trusted_proxies.ClientAddress(
      Addresses().remote_addr, ForwardedFor(parser_->get()))));
}

int HttpConnection::AdmitBody() {
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

void HttpConnection::SendContinue() {
  static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
  asio::async_write(stream_, asio::buffer(kContinue.data(), kContinue.size()),
                    [self = shared_from_this()](beast::error_code ec, size_t) {
                      if (ec) return self->Close();
                      self->ReadBody();
                    });
}

void HttpConnection::ReadBody() {
  state_ = State::kBody;
  body_started_ = std::chrono::steady_clock::now();
  // A chunked body's line or trailer waits in the buffer until it is whole, and may not grow
  // past its bound; any other body passes through to the parser as it comes. What came with
  // the head stays.
  buffer_.max_size(
      std::max(parser_->chunked() ? kMaxChunkedPendingBytes : kBodyPiece, buffer_.size()));
  ReadBodySome();
}

void HttpConnection::ReadBodySome() {
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

void HttpConnection::OnBody(beast::error_code ec) {
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

void HttpConnection::Dispatch() {
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

const HttpConnection::ConnectionAddresses& HttpConnection::Addresses() {
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

PageScheduler::Lane HttpConnection::LaneOf(BodyShare share) {
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

void HttpConnection::StartPage(const std::shared_ptr<PendingPage>& pending, bool may) {
  auto self = shared_from_this();
  if (may) {
    host_.workers->Post([self, pending] { self->RunPages(std::move(*pending)); });
  } else {
    asio::post(executor(), [self] { self->Fail(503); });
  }
}

void HttpConnection::RunPages(PendingPage first) {
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

void HttpConnection::Fail(int status) {
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

void HttpConnection::Send(HostReply reply) {
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

void HttpConnection::WriteAnswer() {
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

HttpConnection::Written HttpConnection::WriteNow() {
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

bool HttpConnection::WatchAnswer() {
  if (!HoldAnswer()) return false;
  write_watched_ = true;
  blocked_since_.store(
      std::max<int64_t>(1, std::chrono::steady_clock::now().time_since_epoch().count()),
      std::memory_order_relaxed);
  const HostOptions& options = host_.options;
  const uint64_t length =
      answer_taken_ + head_.size() - head_sent_ + reply_.Body().size() - body_sent_ + file_left_;
  const SteadyTime now = std::chrono::steady_clock::now();
  write_deadline_ =
      now + options.head_timeout +
      std::chrono::milliseconds(length * 1000 / std::max<size_t>(1, options.min_bytes_per_second));
  taken_at_check_ = answer_taken_;
  if (!write_timer_) write_timer_.emplace(stream_.get_executor());
  WatchAgain(now);
  return true;
}

void HttpConnection::WatchAgain(SteadyTime now) {
  write_timer_->expires_at(std::min(now + kAnswerGrace, write_deadline_));
  write_timer_->async_wait(
      [self = shared_from_this(), number = answer_number_](beast::error_code ec) {
        if (!ec) self->CheckAnswer(number);
      });
}

void HttpConnection::CheckAnswer(unsigned number) {
  std::lock_guard lock(socket_mutex_);
  if (number != answer_number_ || !write_watched_ || state_ == State::kClosing) return;
  const SteadyTime now = std::chrono::steady_clock::now();
  if (now >= write_deadline_) return Close();
  const uint64_t taken = answer_taken_ - taken_at_check_;
  taken_at_check_ = answer_taken_;
  const bool stalled = host_.answers.Stopped(taken);
  if (stalled != stalled_) {
    stalled_ = stalled;
    Waiting(stalled);
  }
  answer_.Checked(taken, stalled, now.time_since_epoch().count());
  WatchAgain(now);
}

bool HttpConnection::HoldAnswer() {
  const size_t bytes = head_.capacity() + (reply_.shared_body ? 0 : reply_.body.capacity());
  // A page's answer held what it holds while it was built: its own hold takes over from here.
  if (page_charge_ != nullptr) page_charge_->Release();
  return answer_.Begin(weak_from_this(), answer_number_, AnswerClient(), bytes, owners_answer_);
}

std::shared_ptr<ClientUse> HttpConnection::AnswerClient() {
  if (client_) return client_;
  if (answer_address_.empty()) return nullptr;
  return host_.clients.Find(ClientNetwork(answer_address_));
}

void HttpConnection::FinishAnswer() {
  EndAnswer();
  if (keep_alive_) return ReadNext();
  Linger();
}

void HttpConnection::EndAnswer() {
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

void HttpConnection::Linger() {
  state_ = State::kClosing;
  beast::error_code ec;
  stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
  if (ec) return Close();
  buffer_.clear();
  buffer_.shrink_to_fit();
  stream_.expires_after(kLingerTime);
  DropInput();
}

void HttpConnection::DropInput() {
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

void HttpConnection::Close() {
  std::lock_guard lock(socket_mutex_);
  state_ = State::kClosing;
  beast::error_code ec;
  // An answer cut short goes with what the system still holds of it: the client is reset.
  if (write_watched_) stream_.socket().set_option(asio::socket_base::linger(true, 0), ec);
  stream_.socket().close(ec);
  EndAnswer();
}

bool HttpConnection::OnItsWorker() const { return t_answering == this; }

}  // namespace folirex
