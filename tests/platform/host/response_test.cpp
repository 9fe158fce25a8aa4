#include "platform/host/response.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/host/host_fixture.h"
#include "platform/host/host_text.h"
#include "platform/host/http_host.h"
#include "platform/text/codepage.h"

namespace folirex {
namespace {

using testing::RunningHost;
using testing::TempFolder;

std::string HeaderOf(const Response& response, std::string_view name) {
  for (const auto& [n, v] : response.headers()) {
    if (host::EqualsNoCase(n, name)) return v;
  }
  return "";
}

TEST(ResponseBuffer, WriteClearEndAndRedirect) {
  Response response;
  response.Write("<p>");
  response.Write("中文");
  EXPECT_EQ(response.body(), "<p>中文");
  EXPECT_EQ(response.content_type(), "text/html; charset=gb2312");
  EXPECT_THROW(response.End(), ResponseEnd);
  EXPECT_TRUE(response.ended());
  EXPECT_EQ(response.body(), "<p>中文");
  response.Write("after the end");
  EXPECT_EQ(response.body(), "<p>中文");

  Response redirected;
  redirected.Write("dropped");
  EXPECT_THROW(redirected.Redirect("?m=admin_error&errnum=0"), ResponseEnd);
  EXPECT_EQ(redirected.status(), 302);
  EXPECT_EQ(redirected.body(), "");
  EXPECT_EQ(HeaderOf(redirected, "Location"), "?m=admin_error&errnum=0");

  Response cleared;
  cleared.Write("x");
  cleared.Clear();
  EXPECT_EQ(cleared.body(), "");
}

TEST(ResponseHeaders, NoCacheMembersAndSafeValues) {
  Response response;
  response.SetExpires(-1);
  response.SetExpiresAbsolute(DateTime{2001, 2, 3, 4, 5, 6});
  response.SetExpires(0);
  response.SetCacheControl("no-cache");
  // Only the last expiry stands, as one header.
  int expires = 0;
  for (const auto& [n, v] : response.headers()) {
    if (n == "Expires") ++expires;
  }
  EXPECT_EQ(expires, 1);
  std::time_t when = 0;
  ASSERT_TRUE(host::ParseHttpDate(HeaderOf(response, "Expires"), &when));
  EXPECT_LE(std::llabs(static_cast<long long>(when - std::time(nullptr))), 5);
  EXPECT_EQ(HeaderOf(response, "Cache-Control"), "no-cache");

  response.SetExpiresAbsolute(DateTime{2001, 2, 3, 4, 5, 6});
  ASSERT_TRUE(host::ParseHttpDate(HeaderOf(response, "Expires"), &when));
  std::tm local{};
  localtime_r(&when, &local);
  EXPECT_EQ(local.tm_year, 101);
  EXPECT_EQ(local.tm_mday, 3);
  EXPECT_EQ(local.tm_hour, 4);

  response.AddHeader("X-Test", "a\r\nSet-Cookie: evil=1");
  EXPECT_EQ(HeaderOf(response, "X-Test"), "aSet-Cookie: evil=1");
}

TEST(ResponseHeaders, CookiesAreEncodedAndReplaced) {
  Response response;
  response.SetCookie("who", "张三 & co");
  response.SetCookie("who", "李四", true);
  response.SetCookie("bad;name", "v");
  int cookies = 0;
  std::string who;
  for (const auto& [n, v] : response.headers()) {
    if (n != "Set-Cookie") continue;
    ++cookies;
    if (v.starts_with("who=")) who = v;
  }
  EXPECT_EQ(cookies, 2);
  EXPECT_EQ(who, "who=%C0%EE%CB%C4; path=/; HttpOnly");
}

class ResponseOverHttp : public ::testing::Test {
 protected:
  void Start(HttpHost::PageHandler handler) {
    HostOptions options;
    options.site_root = site_.path();
    host_ = std::make_unique<RunningHost>(options, std::move(handler));
  }
  TempFolder site_;
  std::unique_ptr<RunningHost> host_;
};

TEST_F(ResponseOverHttp, BodyGoesOutAsCodePage936WithCharRefs) {
  const std::string page = "<p>中文页面，表情😀结束</p>";
  Start([&](EntryKind, PageObjects& p) { p.response.Write(page); });
  auto res = host_->Client()->Get("/asp.asp");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=gb2312");
  EXPECT_EQ(res->body, Utf8ToGbk(page, Unmappable::kCharRef));
  EXPECT_NE(res->body.find("\xD6\xD0\xCE\xC4"), std::string::npos);  // 中文
  EXPECT_EQ(GbkToUtf8(res->body), "<p>中文页面，表情&#128512;结束</p>");
  EXPECT_EQ(res->get_header_value("Cache-Control"), "private");
}

TEST_F(ResponseOverHttp, RedirectIs302WithExactLocationAndNoBody) {
  Start([](EntryKind, PageObjects& p) {
    p.response.Write("this must not be sent");
    p.response.Redirect("?m=admin_error&errnum=0");
  });
  auto res = host_->Client()->Get("/admin.asp?m=admin_set");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 302);
  EXPECT_EQ(res->get_header_value("Location"), "?m=admin_error&errnum=0");
  EXPECT_EQ(res->body, "");
}

TEST_F(ResponseOverHttp, EndKeepsWhatWasWritten) {
  std::atomic<bool> after_end{false};
  Start([&](EntryKind, PageObjects& p) {
    p.response.Write("<script>alert('提示：参数错误！');history.back();</script>");
    p.response.End();
    after_end = true;  // never reached
  });
  auto res = host_->Client()->Get("/asp.asp");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(GbkToUtf8(res->body), "<script>alert('提示：参数错误！');history.back();</script>");
  EXPECT_FALSE(after_end);
}

TEST_F(ResponseOverHttp, HeadersContentTypeAndStatusFromThePage) {
  Start([](EntryKind, PageObjects& p) {
    p.response.SetContentType("application/x-javascript");
    p.response.SetStatus(404);
    p.response.SetExpires(-1);
    p.response.SetCacheControl("no-cache");
    p.response.SetCookie("lang", "中");
    p.response.Write("document.write('中');");
  });
  auto res = host_->Client()->Get("/news/asp.asp?m=click");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 404);
  EXPECT_EQ(res->get_header_value("Content-Type"), "application/x-javascript");
  EXPECT_EQ(res->get_header_value("Cache-Control"), "no-cache");
  EXPECT_FALSE(res->get_header_value("Expires").empty());
  EXPECT_EQ(res->body, "document.write('\xD6\xD0');");
  // On the wire the cookie value stays percent-encoded (the client library decodes headers).
  auto raw = testing::RawGet(host_->port(), "/asp.asp");
  EXPECT_NE((raw.head + "\r\n").find("\r\nSet-Cookie: lang=%D6%D0; path=/\r\n"), std::string::npos)
      << raw.head;
}

TEST_F(ResponseOverHttp, FailingPageAnswers500AndTheServerGoesOn) {
  std::atomic<int> calls{0};
  Start([&](EntryKind, PageObjects& p) {
    if (calls++ == 0) {
      p.response.Write("half a page");
      throw std::runtime_error("database went away");
    }
    p.response.Write("fine");
  });
  auto client = host_->Client();
  auto res = client->Get("/asp.asp");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 500);
  EXPECT_EQ(res->body.find("half a page"), std::string::npos);
  EXPECT_EQ(res->body.find("database went away"), std::string::npos);
  EXPECT_NE(GbkToUtf8(res->body).find("服务器处理页面时出错"), std::string::npos);
  auto next = client->Get("/asp.asp");
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200);
  EXPECT_EQ(next->body, "fine");
}

TEST_F(ResponseOverHttp, HeadAnswersWithoutBody) {
  Start([](EntryKind, PageObjects& p) { p.response.Write("<html>page</html>"); });
  auto res = host_->Client()->Head("/asp.asp");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "");
}

}  // namespace
}  // namespace folirex
