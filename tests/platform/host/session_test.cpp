#include "platform/host/session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "platform/host/host_fixture.h"
#include "platform/host/http_host.h"
#include "support/manual_clock.h"

namespace folirex {
namespace {

using testing::RunningHost;
using testing::TempFolder;

std::string Text(const Variant& v) {
  const auto* s = std::get_if<std::string>(&v.raw());
  return s == nullptr ? "<not text>" : *s;
}

TEST(SessionStoreTest, StoredOnlyOnceAValueIsSet) {
  SessionStore store;
  Session fresh = store.Attach("");
  EXPECT_EQ(fresh.SessionID(), "");
  EXPECT_TRUE(fresh.Get("User_Code").IsEmpty());
  EXPECT_FALSE(SessionStore::NeedsCookie(fresh));
  EXPECT_EQ(store.size(), 0u);

  fresh.Set("User_Code", "admin");
  EXPECT_EQ(store.size(), 1u);
  EXPECT_TRUE(SessionStore::NeedsCookie(fresh));
  EXPECT_TRUE(std::regex_match(fresh.SessionID(), std::regex("[0-9a-f]{32}")));
  EXPECT_EQ(SessionStore::CookieHeader(fresh),
            "FOLIREXSESSIONID=" + fresh.SessionID() + "; Path=/; HttpOnly; SameSite=Lax");

  Session again = store.Attach(fresh.SessionID());
  EXPECT_EQ(again.SessionID(), fresh.SessionID());
  EXPECT_FALSE(SessionStore::NeedsCookie(again));
  EXPECT_EQ(Text(again.Get("user_code")), "admin");
  EXPECT_EQ(Text(again.Get("USER_CODE")), "admin");
  again.Remove("User_CODE");
  EXPECT_TRUE(store.Attach(fresh.SessionID()).Get("User_Code").IsEmpty());
}

TEST(SessionStoreTest, UnknownIdsAreNeverTakenOver) {
  SessionStore store;
  const std::string chosen = "0123456789abcdef0123456789abcdef";
  Session s = store.Attach(chosen);
  EXPECT_EQ(s.SessionID(), "");
  s.Set("x", 1);
  EXPECT_NE(s.SessionID(), chosen);
  // Malformed values are not even looked up.
  EXPECT_EQ(store.Attach("../../etc").SessionID(), "");
  EXPECT_EQ(store.Attach(std::string(5000, 'a')).SessionID(), "");
  // Ids differ from one session to the next.
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) {
    Session n = store.Attach("");
    n.Set("k", i);
    ids.insert(n.SessionID());
  }
  EXPECT_EQ(ids.size(), 200u);
}

TEST(SessionStoreTest, IdleSessionsExpire) {
  auto clock = std::make_shared<testing::ManualClock>();
  SessionStore store(std::chrono::seconds(2), clock);
  Session a = store.Attach("");
  a.Set("k", "v");
  Session b = store.Attach("");
  b.Set("k", "w");
  EXPECT_EQ(store.size(), 2u);
  clock->Advance(std::chrono::milliseconds(1200));
  store.Attach(b.SessionID());  // b is used again, a is not
  clock->Advance(std::chrono::milliseconds(1200));
  store.Sweep();
  EXPECT_EQ(store.size(), 1u);
  EXPECT_EQ(store.Attach(a.SessionID()).SessionID(), "");
  EXPECT_EQ(Text(store.Attach(b.SessionID()).Get("k")), "w");
  clock->Advance(std::chrono::milliseconds(2300));
  // An expired session is not handed out even before a sweep runs.
  EXPECT_EQ(store.Attach(b.SessionID()).SessionID(), "");
}

TEST(SessionStoreTest, AbandonAndRenewId) {
  SessionStore store;
  Session s = store.Attach("");
  s.Set("User_Code", "admin");
  s.Set("User_Name", "管理员");
  const std::string first = s.SessionID();

  Session renewed = store.Attach(first);
  renewed.RenewId();
  EXPECT_NE(renewed.SessionID(), first);
  EXPECT_TRUE(SessionStore::NeedsCookie(renewed));
  EXPECT_EQ(store.Attach(first).SessionID(), "");
  EXPECT_EQ(Text(store.Attach(renewed.SessionID()).Get("User_Name")), "管理员");
  EXPECT_EQ(store.size(), 1u);

  Session leaving = store.Attach(renewed.SessionID());
  leaving.Abandon();
  EXPECT_TRUE(leaving.Get("User_Code").IsEmpty());
  EXPECT_EQ(store.size(), 0u);
  EXPECT_EQ(store.Attach(renewed.SessionID()).SessionID(), "");
  // A value set after abandoning starts a new session.
  leaving.Set("k", "v");
  EXPECT_EQ(store.size(), 1u);
  EXPECT_NE(leaving.SessionID(), renewed.SessionID());
  EXPECT_FALSE(leaving.SessionID().empty());
}

TEST(SessionStoreTest, EndWhereEndsTheSessionsHoldingTheValue) {
  SessionStore store;
  auto signed_in = [&store](const char* name) {
    Session s = store.Attach("");
    s.Set("User_Name", name);
    return s;
  };
  Session here = signed_in("Olga");
  Session there = signed_in("olga");
  Session other = signed_in("pete");
  Session anonymous = store.Attach("");
  anonymous.Set("k", "v");
  Session held = store.Attach(there.SessionID());  // a request of it under way

  EXPECT_EQ(here.EndOthersWith("user_name", "OLGA"), 1u);
  EXPECT_EQ(store.Attach(there.SessionID()).SessionID(), "");
  EXPECT_TRUE(held.Get("User_Name").IsEmpty());
  EXPECT_EQ(Text(store.Attach(here.SessionID()).Get("User_Name")), "Olga");
  EXPECT_EQ(Text(store.Attach(other.SessionID()).Get("User_Name")), "pete");
  EXPECT_EQ(store.size(), 3u);
  // From the store itself, every holder goes; an empty value ends nothing.
  EXPECT_EQ(store.EndWhere("User_Name", ""), 0u);
  EXPECT_EQ(store.EndWhere("User_Name", "olga"), 1u);
  EXPECT_EQ(store.size(), 2u);
  EXPECT_EQ(Session().EndOthersWith("User_Name", "pete"), 0u);
  EXPECT_EQ(store.size(), 2u);
}

TEST(SessionStoreTest, ParallelRequestsOfOneBrowserShareValues) {
  SessionStore store;
  Session s = store.Attach("");
  s.Set("n", 0);
  const std::string id = s.SessionID();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&store, &id, t] {
      for (int i = 0; i < 200; ++i) {
        Session mine = store.Attach(id);
        mine.Set("k" + std::to_string(t) + "_" + std::to_string(i), i);
      }
    });
  }
  for (auto& t : threads) t.join();
  Session check = store.Attach(id);
  EXPECT_EQ(std::get<int64_t>(check.Get("K7_199").raw()), 199);
  EXPECT_EQ(std::get<int64_t>(check.Get("k0_0").raw()), 0);
}

// Pages driving the session through the running host.
class SessionOverHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    HostOptions options;
    options.site_root = site_.path();
    host_ = std::make_unique<RunningHost>(options, [](EntryKind, PageObjects& p) {
      std::string m = p.request.QueryString("m");
      if (m == "login") {
        p.session.Set("User_Code", p.request.QueryString("who"));
        p.session.RenewId();
      } else if (m == "logout") {
        p.session.Abandon();
      }
      const Variant user = p.session.Get("user_code");
      const auto* who = std::get_if<std::string>(&user.raw());
      p.response.Write(who == nullptr ? "(none)" : *who);
    });
  }

  static std::string CookieValue(const httplib::Result& res) {
    std::string header = res->get_header_value("Set-Cookie");
    std::smatch m;
    if (!std::regex_search(header, m, std::regex("FOLIREXSESSIONID=([0-9a-f]+)"))) return "";
    return m[1];
  }

  httplib::Result Get(const std::string& target, const std::string& cookie) {
    httplib::Headers headers;
    if (!cookie.empty()) headers.emplace("Cookie", "FOLIREXSESSIONID=" + cookie);
    return host_->Client()->Get(target.c_str(), headers);
  }

  TempFolder site_;
  std::unique_ptr<RunningHost> host_;
};

TEST_F(SessionOverHttp, CookieKeepsTheSignInAcrossRequests) {
  auto anonymous = Get("/admin.asp", "");
  ASSERT_TRUE(anonymous);
  EXPECT_EQ(anonymous->body, "(none)");
  EXPECT_FALSE(anonymous->has_header("Set-Cookie"));

  auto login = Get("/admin.asp?m=login&who=admin", "");
  ASSERT_TRUE(login);
  std::string header = login->get_header_value("Set-Cookie");
  EXPECT_NE(header.find("HttpOnly"), std::string::npos);
  EXPECT_NE(header.find("Path=/"), std::string::npos);
  std::string id = CookieValue(login);
  ASSERT_EQ(id.size(), 32u);

  auto next = Get("/news/asp.asp", id);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->body, "admin");
  EXPECT_FALSE(next->has_header("Set-Cookie"));
  EXPECT_EQ(Get("/admin.asp", "ffffffffffffffffffffffffffffffff")->body, "(none)");
}

TEST_F(SessionOverHttp, SignInRenewsTheIdAndTheOldOneIsWorthNothing) {
  auto first = Get("/admin.asp?m=login&who=one", "");
  std::string before = CookieValue(first);
  auto second = Get("/admin.asp?m=login&who=two", before);
  std::string after = CookieValue(second);
  ASSERT_EQ(after.size(), 32u);
  EXPECT_NE(after, before);
  EXPECT_EQ(Get("/admin.asp", before)->body, "(none)");
  EXPECT_EQ(Get("/admin.asp", after)->body, "two");
}

TEST_F(SessionOverHttp, AbandonSignsOut) {
  std::string id = CookieValue(Get("/admin.asp?m=login&who=admin", ""));
  EXPECT_EQ(Get("/admin.asp", id)->body, "admin");
  EXPECT_EQ(Get("/admin.asp?m=logout", id)->body, "(none)");
  EXPECT_EQ(Get("/admin.asp", id)->body, "(none)");
  EXPECT_EQ(host_->host().sessions().size(), 0u);
}

TEST_F(SessionOverHttp, AStaleCookieBeforeTheLiveOneIsSkipped) {
  std::string id = CookieValue(Get("/admin.asp?m=login&who=admin", ""));
  httplib::Headers headers = {
      {"Cookie", "FOLIREXSESSIONID=00000000000000000000000000000000; FOLIREXSESSIONID=" + id}};
  auto res = host_->Client()->Get("/admin.asp", headers);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "admin");
}

}  // namespace
}  // namespace folirex
