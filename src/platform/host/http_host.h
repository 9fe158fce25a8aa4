// HttpHost: the HTTP/1.1 server that stands in for the page host. It routes each request:
//   <install folder>admin.asp      -> the administration entry
//   any path ending in /asp.asp    -> the public entry (also inside channel folders)
//   anything else                  -> StaticSite (files, default.asp redirect pages, folders)
// Letter case is ignored throughout.
//
// Connections live on a few I/O threads (Boost.Asio) and cost no worker while they are idle or
// slow. A whole request head must arrive within head_timeout, a body within a time that grows
// with its length, and a keep-alive connection idle past keep_alive_seconds is closed. Framing
// is strict: conflicting lengths, Content-Length with Transfer-Encoding, any transfer coding
// but a single "chunked", bad chunks, a field line folded onto the one before, and a Host field
// twice or (on HTTP/1.1) not at all get 400, a head over 16 KB or 100 fields gets 431 (one
// over 4 KB takes the room for the rest from the anonymous share of the body memory), a
// request with a Content-Encoding gets 415 (bodies are never decompressed). At max_connections
// a new connection takes the place of connections waiting on their clients (between requests,
// for a head, for a body without an account, or for an answer they stopped taking), taken from
// the client addresses that hold the most first (connection_admission.h); when none waits, of
// those whose answers the socket has not taken yet by the same rules; when none may go it is
// answered 503 and closed at once.
//
// Bodies are bounded before they are read. Each request's limit is chosen from its head
// (HostOptions::body_limit for the entries, 64 KB for static files): a longer announced body
// gets 413 at once, a chunked one when it passes the limit while arriving. A form body of more
// than kMaxFormFields fields gets 413. A chunked body's trailer counts like a head (over 16 KB
// or 100 fields with the head's: 431), and a chunk line with more than 4 KB of extensions gets
// 400. The bodies being received or held by pages take memory from one budget,
// max_body_memory, as their bytes arrive, each from the share its head chose (body_memory.h): a
// body announced past what is left of its share gets 503 before it is read, one that grows past
// it 503 when it does; a page's body goes back to the budget when the page has finished, and
// after a large one the freed heap is returned to the system. One client address may hold at
// most max_client_connections connections (more are answered 503 and closed at once) and
// max_client_body_memory of bodies without an account; a trusted proxy's connections are not
// bounded, its clients' bodies are, by the address X-Forwarded-For names.
//
// Answers are bounded by what they hold, not only by what they send. Kept small files are shared
// by every answer, and every other static file is handed to the socket from the disk (sendfile),
// so an answer waiting on its client holds a descriptor, not the file. What else an answer holds
// while the socket has not taken it (a page, an error page, a head) takes memory from
// max_answer_memory, and at most max_client_answer_memory of it for one client address (behind a
// trusted proxy, the address X-Forwarded-For names); at a bound the answers whose clients have
// stopped taking them are closed, longest stopped first, to make room; past an address's bound,
// when its own hold too little, the new answer is dropped and its connection closed. When the
// total is the bound passed and they hold too little, the new answer, whose reader is not
// measured yet, is lent the room past max_answer_memory, within answer_loan_memory in all (past
// that it is dropped too). A reader is measured by what it took in each window of two seconds
// from its second on (the first fills the socket's buffers whatever the client reads); once a
// lent answer's is, the budget is brought back: stopped answers are closed first, longest stopped
// first, then the slowest readers' (a newer before an older as fast), until what was over is
// freed or the lent answer itself comes first (answer_budget.h). So a reader that takes its
// answer faster than those holding the budget is served in their place, answers not measured yet
// are never closed to make room, and clients that read nothing hold no more than the loan past
// the budget and, once measured, go before any client that reads. A connection's next request is
// not read while its answer waits. An answer must be taken within head_timeout plus its length
// at min_bytes_per_second; a client that takes less than that rate over a few seconds waits on
// its client, as a connection between requests does, and may be closed to make room for a new
// connection.
//
// Pages are bounded by the work they make, too. Workers are shared out by lane
// (page_scheduler.h): requests carrying a signed-in console session (those body_limit gives the
// console's share) run before any other on any free worker, and owner_workers are kept from
// visitors so that the owners never wait behind visitors' pages; the sign-in (the sign-in's
// share) runs before visitors on at most sign_in_workers of those, so that a flood of sign-ins
// cannot take them all; every other page (a visitor's, or a console request without a signed-in
// session, whatever cookie it names) runs on the rest. One client address (behind a trusted proxy,
// the address X-Forwarded-For names) has at most max_client_pages visitors' pages (or sign-ins)
// in progress; its other pages wait, served address by address in turn, and one that has waited
// past head_timeout is answered 503. What a page's answer holds counts from the moment it grows:
// the Response reports its body's growth, and the body and then its conversion to code page 936
// take memory from max_answer_memory, the budget of the answers waiting on their clients, so that
// both together stay within it (answer_budget.h). A visitor's page that finds no room, once answers
// whose clients stopped taking them are closed to make some, is lent it within the same loan as
// a new answer, and past the loan is answered 503 and its connection closed; an owner's page and
// its answer take what they need whatever the bound, and are never closed to make room. Each
// accepted socket's kernel send buffer is fixed at send_buffer_bytes, so that a client that reads
// nothing holds at most about twice that of the machine's socket memory.
//
// Each page runs on one worker of the pool from start to end; the handler is called there with
// the request's host objects and must not keep them. The worker that answered a keep-alive
// connection waits a few milliseconds for its next request and runs that too when its lane lets
// it start, unless a page finds no idle worker meanwhile; then, or when nothing came, the
// connection goes back to its I/O thread, so an idle connection still holds no worker. The page's
// body is converted to code page 936 once, when sent; its session cookie is sent when the session
// was stored or its id renewed. Run() blocks until Stop(), which closes the listening socket and
// the idle connections, lets the requests under way finish within stop_grace, then closes what is
// left. The handler may be called from several workers at once.
#ifndef FOLIREX_PLATFORM_HOST_HTTP_HOST_H_
#define FOLIREX_PLATFORM_HOST_HTTP_HOST_H_

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/host/application.h"
#include "platform/host/body_memory.h"
#include "platform/host/client_address.h"
#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/server.h"
#include "platform/host/session.h"

namespace folirex {

// The host objects of one request, as a page receives them.
struct PageObjects {
  Request& request;
  Response& response;
  Session& session;
  Application& application;
  Server& server;
};

enum class EntryKind { kAdmin, kPublic };

// What a request to an entry is, as far as its head tells, for choosing the limit of its body
// before any of the body is read.
struct BodyRequest {
  EntryKind kind;
  std::string_view query;  // the raw query string
  bool multipart;          // a multipart/... Content-Type
  // The session the request's cookie names (a new, empty one when none), found when asked.
  std::function<Session()> session;
};

struct HostOptions {
  std::string listen_host = "127.0.0.1";
  int port = 8080;     // 0: any free port (see HttpHost::port)
  int threads = 32;    // page workers
  int io_threads = 0;  // connection threads; 0: one for every two processors, 2 to 32
  std::filesystem::path site_root;
  std::string install_dir = "/";  // site address of the install folder, "/" or "/sub/"
  // The site's folder names, kept between requests by the site's server, which the static files
  // and the pages resolve addresses through (site_path.h); null keeps none. Must outlive the host.
  SiteFolderNames* folder_names = nullptr;
  size_t max_body_bytes = 64u << 20;  // a longer body is answered 413, chunked or not
  // The largest body a request to an entry may carry, chosen from its head (0 takes no body),
  // and the share of max_body_memory it draws on. Called on the I/O threads: quick and
  // thread-safe. Unset: max_body_bytes, anonymous, for every request; never more than that.
  std::function<BodyAllowance(const BodyRequest&)> body_limit;
  // The memory that bodies being received or held by pages may take in all.
  size_t max_body_memory = 256u << 20;
  // The largest sign-in body (BodyShare::kSignIn; a larger allowance is cut to it). The sign-in's
  // share holds one for every connection the host allows (within a quarter of the budget), so
  // that connections alone cannot fill it.
  size_t sign_in_body_bytes = 4 * 1024;
  // What one client address may hold at once: open connections, and bodies without an account.
  size_t max_client_connections = 256;
  size_t max_client_body_memory = 4u << 20;
  // What answers waiting on their clients may hold in all, and for one client address.
  size_t max_answer_memory = 64u << 20;
  size_t max_client_answer_memory = 4u << 20;
  // What new answers (and pages being built) whose readers are not measured yet may be lent past
  // max_answer_memory in all, until they are (answer_budget.h). A quarter of the default budget:
  // a page of 6-8 MB holds its body and its conversion while it is built.
  size_t answer_loan_memory = 16u << 20;
  size_t max_url_bytes = 8192;  // a longer request target is answered 414
  // Open connections at most; the process's open-file limit is raised to fit where it can, and
  // the bound is lowered to what that limit allows (two descriptors a connection: its socket,
  // and the file an answer sends).
  size_t max_connections = 10000;
  int keep_alive_seconds = 5;
  std::chrono::seconds head_timeout{10};
  // A body must arrive within head_timeout plus its length at this many bytes a second; an
  // answer must be taken within that time too.
  size_t min_bytes_per_second = 16 * 1024;
  std::chrono::milliseconds stop_grace{10000};
  std::chrono::seconds session_idle = std::chrono::minutes(20);
  TrustedProxies trusted_proxies;  // whose X-Forwarded-For names the client
  // Page workers kept for the owners: visitors' pages run on the others (page_scheduler.h). A
  // request is the owners' when body_limit gives it the console's share (a signed-in session),
  // a sign-in when it gives the sign-in's; at most sign_in_workers sign-ins run at once.
  // Four of the default 32 (at most half of threads): the console's pages are a few at a time,
  // and a sign-in is cheap, so two of them for sign-ins leave two for those signed in.
  int owner_workers = 4;
  int sign_in_workers = 2;
  // Visitors' pages (and sign-ins) in progress for one client address; the rest wait their turn.
  // Four: a browser's page and the few it loads alongside run at once; eight addresses still
  // share the default 28 visitors' workers.
  size_t max_client_pages = 4;
  // Each connection's kernel send buffer (SO_SNDBUF, which the system doubles for its own
  // bookkeeping); 0 leaves the system's, which grows to its maximum (4 MB) whatever the client
  // reads. At 128 KB a file goes over loopback as fast as with the system's own (some 2-3 GB/s),
  // and 1,000 connections that read nothing hold about 270 MB of socket memory (256 KB: 540 MB).
  size_t send_buffer_bytes = 128 * 1024;
};

class HttpConnection;

class HttpHost {
 public:
  // Called for admin.asp and asp.asp requests, on a worker. A ResponseEnd thrown out of it is
  // normal; any other exception is answered with a 500 page and logged to stderr.
  using PageHandler = std::function<void(EntryKind, PageObjects&)>;

  HttpHost(HostOptions options, PageHandler handler);
  ~HttpHost();
  HttpHost(const HttpHost&) = delete;
  HttpHost& operator=(const HttpHost&) = delete;

  // Binds the listening socket; false (with a message in *error) when it cannot.
  bool Bind(std::string* error);
  // The bound port (after Bind).
  int port() const;
  // Serves until Stop().
  void Run();
  // Stops accepting, finishes the requests under way, makes Run() return, and waits for that
  // (from inside a page it returns at once). Safe from any thread and from a signal-watching
  // thread.
  void Stop();

  Application& application();
  SessionStore& sessions();
  // The bound on open connections in force (after Bind).
  size_t max_connections() const;

 private:
  friend class HttpConnection;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_HTTP_HOST_H_
