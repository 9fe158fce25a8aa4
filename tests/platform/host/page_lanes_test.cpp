// The work that pages make the server do, through the real host: the owners keep workers that
// no visitor can take, one client address has a few pages in progress at most, and what a page
// holds counts while it is built.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/client_address.h"
#include "platform/host/host_fixture.h"
#include "platform/host/http_host.h"

namespace folirex {
namespace {

using testing::RawAnswer;
using testing::RunningHost;
using testing::ScratchDir;

class PageLanes : public ::testing::Test {
 protected:
  // What pages asked with "big" write before the rest, in pieces of 64 KB.
  static constexpr size_t kBigPage = 3u << 20;

  ~PageLanes() override { Release(); }
  // Lets the pages asked with "hold" end.
  void Release() {
    if (!released_flag_.exchange(true)) release_.set_value();
  }

  // Requests to admin.asp are the owners' when their session is signed in ("User" set), the
  // sign-in when they ask for "m=login"; as the site's own body limits tell them apart.
  static BodyAllowance Limit(const BodyRequest& request) {
    if (request.kind == EntryKind::kPublic) return 64 * 1024;
    if (!request.session().Get("User").IsBlank()) return {1u << 20, BodyShare::kConsole};
    if (request.query.starts_with("m=login")) return {4096, BodyShare::kSignIn};
    return 64 * 1024;
  }

  void Start(HostOptions options) {
    options.site_root = site_.path();
    options.body_limit = Limit;
    host_ = std::make_unique<RunningHost>(options, [this](EntryKind kind, PageObjects& p) {
      const std::string query = p.request.ServerVariables("QUERY_STRING");
      if (query.find("big") != std::string::npos) {
        const std::string piece(64 * 1024, 'x');
        for (size_t i = 0; i < kBigPage / piece.size(); ++i) p.response.Write(piece);
      }
      if (query.find("hold") != std::string::npos) released_.wait();
      if (query.find("slow") != std::string::npos) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      {
        std::lock_guard lock(mutex_);
        ++done_[p.request.ServerVariables("REMOTE_ADDR")];
      }
      p.response.Write(kind == EntryKind::kAdmin ? "console" : "page");
    });
  }

  // A signed-in console session's cookie.
  std::string SignedIn() {
    Session session = host_->host().sessions().Attach("");
    session.Set("User", "admin");
    return std::string(SessionStore::kCookieName) + "=" + session.SessionID();
  }

  // Sends a request from the loopback address `from` on a connection of its own; the answer
  // comes through the future.
  std::future<RawAnswer> Ask(const std::string& from, const std::string& target,
                             const std::string& cookie = "") {
    const int fd = testing::ConnectLoopback(host_->port(), from.c_str());
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: a\r\nConnection: close\r\n";
    if (!cookie.empty()) request += "Cookie: " + cookie + "\r\n";
    testing::SendAll(fd, request + "\r\n");
    return std::async(std::launch::async, [fd] { return testing::ReadAnswerAndClose(fd); });
  }

  int Done(const std::string& address) {
    std::lock_guard lock(mutex_);
    return done_[address];
  }
  int DoneInAll() {
    std::lock_guard lock(mutex_);
    int all = 0;
    for (const auto& [address, n] : done_) all += n;
    return all;
  }

  ScratchDir site_;
  std::mutex mutex_;
  std::map<std::string, int> done_;  // pages finished, by client address
  // Pages asked with "hold" wait for this.
  std::promise<void> release_;
  std::shared_future<void> released_ = release_.get_future().share();
  std::atomic<bool> released_flag_{false};
  std::unique_ptr<RunningHost> host_;
};

// 64 connections from eight addresses hold every visitor worker with pages that do not end: the
// sign-in form is answered at once all the same, and so is a signed-in console request while
// sign-ins that do not end either hold the sign-in's worker. A request that names a session
// that is not signed in (a made-up cookie), and a console request without a session, wait with
// the visitors.
TEST_F(PageLanes, TheOwnersAreNotQueuedBehindVisitors) {
  HostOptions options;
  options.threads = 5;
  options.owner_workers = 2;
  options.sign_in_workers = 1;
  options.head_timeout = std::chrono::seconds(30);
  Start(options);
  std::vector<std::future<RawAnswer>> flood;
  for (int i = 0; i < 64; ++i) {
    flood.push_back(Ask("127.0.0." + std::to_string(11 + i % 8), "/asp.asp?hold"));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  auto forged =
      Ask("127.0.0.41", "/admin.asp?m=main", std::string(SessionStore::kCookieName) + "=made-up");
  auto no_session = Ask("127.0.0.42", "/admin.asp?m=main");

  auto sign_in = Ask("127.0.0.50", "/admin.asp?m=login");
  ASSERT_EQ(sign_in.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(sign_in.get().body, "console");
  // Sign-ins that never end take the sign-in's worker, not the other one kept for the owners.
  for (int i = 0; i < 5; ++i) flood.push_back(Ask("127.0.0.30", "/admin.asp?m=login&hold"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto console = Ask("127.0.0.50", "/admin.asp?m=main", SignedIn());
  ASSERT_EQ(console.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(console.get().body, "console");
  EXPECT_EQ(DoneInAll(), 2);  // no visitor page had ended

  EXPECT_EQ(forged.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);
  EXPECT_EQ(no_session.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  Release();
  for (auto* answer : {&forged, &no_session}) EXPECT_EQ(answer->get().body, "console");
  for (auto& answer : flood) EXPECT_EQ(answer.get().status, 200);
}

// One address with 64 connections has at most two pages in progress: another address's page
// takes a free worker at once, though the first address's pages never end; and, with pages that
// do end, it is answered while nearly all of them still wait. Behind a trusted proxy the same
// holds for the addresses the proxy names.
TEST_F(PageLanes, OneAddressCannotTakeEveryWorker) {
  for (const bool proxied : {false, true}) {
    HostOptions options;
    options.threads = 4;
    options.owner_workers = 1;
    options.max_client_pages = 2;
    options.head_timeout = std::chrono::seconds(30);
    std::string bad;
    if (proxied) {
      ASSERT_TRUE(options.trusted_proxies.Parse("127.0.0.1", &bad));
    }
    done_.clear();
    Start(options);
    const std::string flooder = proxied ? "10.0.0.1" : "127.0.0.21";
    const std::string other = proxied ? "10.0.0.2" : "127.0.0.22";
    auto ask = [&](const std::string& address, const std::string& target) {
      if (!proxied) return Ask(address, target);
      const int fd = testing::ConnectLoopback(host_->port());
      testing::SendAll(fd, "GET " + target + " HTTP/1.1\r\nHost: a\r\nConnection: close\r\n" +
                               "X-Forwarded-For: " + address + "\r\n\r\n");
      return std::async(std::launch::async, [fd] { return testing::ReadAnswerAndClose(fd); });
    };
    // Pages that end only when let go (the first round), then slow ones.
    const std::string flood_page = proxied ? "/asp.asp?slow" : "/asp.asp?hold";
    std::vector<std::future<RawAnswer>> flood;
    for (int i = 0; i < 64; ++i) flood.push_back(ask(flooder, flood_page));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto answer = ask(other, "/asp.asp?slow");
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(3)), std::future_status::ready) << proxied;
    EXPECT_EQ(answer.get().body, "page");
    // Queued behind the flood, it would have waited for some sixty of its pages.
    EXPECT_LE(Done(flooder), 8) << proxied;
    Release();
    for (auto& answer : flood) EXPECT_EQ(answer.get().status, 200) << proxied;
    host_.reset();
  }
}

// What a page's answer holds counts from the moment it grows: sixteen visitors' pages of 3 MB
// built at once, each kept open once built, fit a few at a time in a budget of 16 MB; the others
// wait for room and are answered 503 when none comes, and the server's peak stays near the
// budget. A signed-in console page as large is answered whole meanwhile. The budget is all given
// back afterwards.
TEST_F(PageLanes, PagesInProgressAreChargedToTheAnswersBudget) {
  HostOptions options;
  options.threads = 18;
  options.owner_workers = 2;
  options.max_answer_memory = 16u << 20;
  // Nothing lent past it: pages in progress are never measured, so a loan would only add its
  // bound to the budget's.
  options.answer_loan_memory = 0;
  options.head_timeout = std::chrono::seconds(30);
  Start(options);
  const long idle = testing::ProcessMemoryKb("VmRSS");
  testing::ResetPeakMemory();
  std::vector<std::future<RawAnswer>> flood;
  for (int i = 0; i < 16; ++i) {
    flood.push_back(Ask("127.0.0." + std::to_string(61 + i), "/asp.asp?big&hold"));
  }
  // At most five fit (the fifth in part): the others are refused after their wait.
  std::vector<RawAnswer> refused;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (refused.size() < 11 && std::chrono::steady_clock::now() < deadline) {
    for (auto& answer : flood) {
      if (answer.valid() &&
          answer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready) {
        refused.push_back(answer.get());
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_GE(refused.size(), 11u);
  for (const RawAnswer& answer : refused) {
    EXPECT_EQ(answer.status, 503);
    EXPECT_NE(answer.head.find("Retry-After"), std::string::npos);
  }
  auto console = Ask("127.0.0.90", "/admin.asp?big", SignedIn());
  ASSERT_EQ(console.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  const RawAnswer whole = console.get();
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body.size(), kBigPage + 7);
  // The budget, the console page and its conversion, and what every process has besides; the
  // sixteen pages at once would take 48 MB.
  EXPECT_LT(testing::ProcessMemoryKb("VmHWM") - idle, 32 * 1024);
  // Let go, the pages kept open are converted within the budget too (200, or 503 when it is full
  // of the others); then all they held is back, and a page as large is answered whole.
  Release();
  for (auto& answer : flood) {
    if (!answer.valid()) continue;
    const int status = answer.get().status;
    EXPECT_TRUE(status == 200 || status == 503) << status;
  }
  const RawAnswer after = Ask("127.0.0.91", "/asp.asp?big").get();
  EXPECT_EQ(after.status, 200);
  EXPECT_EQ(after.body.size(), kBigPage + 4);
}

}  // namespace
}  // namespace folirex
