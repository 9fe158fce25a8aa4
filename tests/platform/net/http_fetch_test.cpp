#include "platform/net/http_fetch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "platform/text/codepage.h"
#include "support/http_test_server.h"
#include "support/smtp_sink.h"

namespace folirex {
namespace {

constexpr char kPageText[] =
    "<html><title>新闻中心</title><body>春季运动会圆满结束。</body></html>";

class HttpFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    httplib::Server& s = server_.server();
    s.Get("/page.html", [this](const httplib::Request& req, httplib::Response& res) {
      ++requests_;
      std::lock_guard<std::mutex> lock(user_agent_mutex_);
      user_agent_ = req.get_header_value("User-Agent");
      res.set_content(Utf8ToGbk(kPageText), "text/html; charset=gb2312");
    });
    s.Get("/bad-bytes.html", [](const httplib::Request&, httplib::Response& res) {
      // A lone lead byte and an invalid byte between valid text.
      res.set_content(std::string("ab\x81") + "cd" + Utf8ToGbk("中") + "\xFF" + "ef", "text/html");
    });
    s.Get("/old.html",
          [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/page.html"); });
    s.Get("/loop", [this](const httplib::Request&, httplib::Response& res) {
      ++loop_requests_;
      res.set_redirect("/loop");
    });
    s.Get("/to-file", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("file://" + secret_file_.string());
    });
    s.Get("/to-other-loopback", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("http://127.0.0.2:" + std::to_string(server_.port()) + "/page.html");
    });
    s.Get("/to-ftp", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("ftp://127.0.0.1:" + std::to_string(listener_.port()) + "/page.html");
    });
    s.Get("/missing.html", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
      res.set_content(Utf8ToGbk("页面不存在"), "text/html");
    });
    s.Get("/kilobyte", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(1000, 'k'), "application/octet-stream");
    });
    s.Get("/stream", [](const httplib::Request&, httplib::Response& res) {
      // No Content-Length: the cap can only be enforced while receiving.
      res.set_chunked_content_provider("application/octet-stream",
                                       [](size_t offset, httplib::DataSink& sink) {
                                         if (offset >= 100000) {
                                           sink.done();
                                           return true;
                                         }
                                         std::string chunk(1000, 's');
                                         return sink.write(chunk.data(), chunk.size());
                                       });
    });
    s.Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
      std::unique_lock<std::mutex> lock(slow_mutex_);
      slow_cv_.wait_for(lock, std::chrono::seconds(20), [this] { return slow_released_; });
      res.set_content("late", "text/plain");
    });
    s.Get(R"(/files/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
      ++requests_;
      res.set_content("path=" + req.path, "text/plain");
    });

    secret_file_ = std::filesystem::temp_directory_path() /
                   ("folirex_fetch_secret_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ofstream(secret_file_) << "TOP-SECRET-CONTENT";
    server_.Start();
  }

  void TearDown() override {
    {
      std::lock_guard<std::mutex> lock(slow_mutex_);
      slow_released_ = true;
    }
    slow_cv_.notify_all();
    server_.Stop();
    std::filesystem::remove(secret_file_);
  }

  // The test servers listen on loopback, which a fetch reaches only when its network is open.
  static FetchOptions Local() {
    FetchOptions options;
    EXPECT_TRUE(options.allow_networks.Parse("127.0.0.1", nullptr));
    return options;
  }

  HttpTestServer server_;
  // Any TCP listener that counts connections would do: it shows whether a refused address was
  // contacted at all.
  SmtpSink listener_;
  std::atomic<int> requests_{0};
  std::atomic<int> loop_requests_{0};
  std::mutex user_agent_mutex_;
  std::string user_agent_;  // of the last request for /page.html
  std::filesystem::path secret_file_;
  std::mutex slow_mutex_;
  std::condition_variable slow_cv_;
  bool slow_released_ = false;
};

TEST_F(HttpFetchTest, Gb2312PageIsDecoded) {
  FetchResult result = Fetch(server_.Url("/page.html"), Local());
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(result.final_url, server_.Url("/page.html"));
  EXPECT_EQ(result.content_type, "text/html; charset=gb2312");
  EXPECT_EQ(result.body, Utf8ToGbk(kPageText));
  EXPECT_EQ(result.Text(), kPageText);
  EXPECT_EQ(DecodePage(result.body), kPageText);
}

TEST_F(HttpFetchTest, NoUserAgentUnlessConfigured) {
  auto last_user_agent = [this] {
    std::lock_guard<std::mutex> lock(user_agent_mutex_);
    return user_agent_;
  };
  ASSERT_TRUE(Fetch(server_.Url("/page.html"), Local()).ok);
  EXPECT_EQ(last_user_agent(), "");
  FetchOptions options = Local();
  options.user_agent = "Folirex collector";
  ASSERT_TRUE(Fetch(server_.Url("/page.html"), options).ok);
  EXPECT_EQ(last_user_agent(), "Folirex collector");
}

TEST_F(HttpFetchTest, BadBytesAreReplacedAndTheRestKept) {
  FetchResult result = Fetch(server_.Url("/bad-bytes.html"), Local());
  ASSERT_TRUE(result.ok) << result.error;
  std::string text = result.Text();
  EXPECT_EQ(text.rfind("ab", 0), 0u) << text;
  EXPECT_NE(text.find("\xEF\xBF\xBD"), std::string::npos) << text;
  EXPECT_NE(text.find("中"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("ef")) << text;
}

TEST_F(HttpFetchTest, RedirectIsFollowed) {
  FetchResult result = Fetch(server_.Url("/old.html"), Local());
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.final_url, server_.Url("/page.html"));
  EXPECT_EQ(result.Text(), kPageText);
}

TEST_F(HttpFetchTest, WithoutRedirectsTheRedirectAnswerIsTheResult) {
  FetchOptions options = Local();
  options.max_redirects = 0;
  FetchResult result = Fetch(server_.Url("/old.html"), options);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.status, 302);
  EXPECT_EQ(requests_, 0);
}

TEST_F(HttpFetchTest, RedirectLoopIsCapped) {
  FetchOptions options = Local();
  options.max_redirects = 3;
  FetchResult result = Fetch(server_.Url("/loop"), options);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error, "");
  EXPECT_EQ(result.body, "");
  // The first request and three redirects, no more.
  EXPECT_EQ(loop_requests_, 4);
}

TEST_F(HttpFetchTest, RedirectToAnotherSchemeIsRefused) {
  FetchResult to_file = Fetch(server_.Url("/to-file"), Local());
  EXPECT_FALSE(to_file.ok);
  EXPECT_NE(to_file.error, "");
  EXPECT_EQ(to_file.body.find("TOP-SECRET"), std::string::npos);

  FetchResult to_ftp = Fetch(server_.Url("/to-ftp"), Local());
  EXPECT_FALSE(to_ftp.ok);
  EXPECT_NE(to_ftp.error, "");
  EXPECT_EQ(listener_.ConnectionCount(), 0);
}

TEST_F(HttpFetchTest, ErrorStatusIsReportedWithItsBody) {
  FetchResult result = Fetch(server_.Url("/missing.html"), Local());
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.status, 404);
  EXPECT_EQ(result.Text(), "页面不存在");
}

TEST_F(HttpFetchTest, SizeCapAllowsExactlyTheCap) {
  FetchOptions options = Local();
  options.max_bytes = 1000;
  FetchResult exact = Fetch(server_.Url("/kilobyte"), options);
  ASSERT_TRUE(exact.ok) << exact.error;
  EXPECT_EQ(exact.body.size(), 1000u);

  options.max_bytes = 999;
  FetchResult over = Fetch(server_.Url("/kilobyte"), options);
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.error, "the response is larger than 999 bytes");
  EXPECT_EQ(over.body, "");
}

TEST_F(HttpFetchTest, SizeCapAbortsABodyOfUnknownLength) {
  FetchOptions options = Local();
  options.max_bytes = 5000;
  FetchResult over = Fetch(server_.Url("/stream"), options);
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.error, "the response is larger than 5000 bytes");
  EXPECT_EQ(over.body, "");

  options.max_bytes = 100000;
  FetchResult whole = Fetch(server_.Url("/stream"), options);
  ASSERT_TRUE(whole.ok) << whole.error;
  EXPECT_EQ(whole.body.size(), 100000u);
}

TEST_F(HttpFetchTest, SlowServerTimesOut) {
  FetchOptions options = Local();
  options.timeout_seconds = 1;
  FetchResult result = Fetch(server_.Url("/slow"), options);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error, "");
  EXPECT_EQ(result.body, "");
}

TEST_F(HttpFetchTest, OtherSchemesAreRefusedWithoutARequest) {
  std::string port = std::to_string(server_.port());
  std::string listener = std::to_string(listener_.port());
  for (const std::string& url :
       {"file://" + secret_file_.string(), "ftp://127.0.0.1:" + listener + "/page.html",
        "gopher://127.0.0.1:" + listener + "/", "dict://127.0.0.1:" + listener + "/",
        "telnet://127.0.0.1:" + listener, "HTTPX://127.0.0.1:" + port + "/page.html",
        std::string("javascript:alert(1)"), std::string(""), std::string("http://"),
        "127.0.0.1:" + port + "/page.html", "//127.0.0.1:" + port + "/page.html"}) {
    FetchResult result = Fetch(url, Local());
    EXPECT_FALSE(result.ok) << url;
    EXPECT_EQ(result.status, 0) << url;
    EXPECT_EQ(result.body, "") << url;
    EXPECT_NE(result.error, "") << url;
  }
  EXPECT_EQ(requests_, 0);
  EXPECT_EQ(listener_.ConnectionCount(), 0);
}

TEST_F(HttpFetchTest, SchemeLetterCaseDoesNotMatter) {
  std::string url = server_.Url("/page.html");
  url.replace(0, 4, "HTTP");
  FetchResult result = Fetch(url, Local());
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.Text(), kPageText);
}

TEST_F(HttpFetchTest, ControlCharactersInTheAddressAreRefused) {
  FetchResult result = Fetch(server_.Url("/files/a.html\r\nX-Injected: 1"), Local());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "the address holds a control character");
  EXPECT_EQ(requests_, 0);
}

TEST_F(HttpFetchTest, BlanksAndNonAsciiInTheAddressAreSentEncoded) {
  FetchResult result = Fetch(server_.Url("/files/my photo.jpg"), Local());
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.body, "path=/files/my photo.jpg");

  result = Fetch(server_.Url("/files/图片.jpg"), Local());
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.body, "path=/files/图片.jpg");
}

TEST(HttpFetchConnectionTest, NoServerListeningIsAFailure) {
  std::string url;
  {
    HttpTestServer gone;
    gone.Start();
    url = gone.Url("/page.html");
  }
  FetchOptions options;
  ASSERT_TRUE(options.allow_networks.Parse("127.0.0.0/8", nullptr));
  FetchResult result = Fetch(url, options);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.error, "");
  EXPECT_FALSE(result.refused);
  EXPECT_EQ(result.refused_address, "");
}

TEST_F(HttpFetchTest, LocalTargetsAreRefusedUnlessTheirNetworkIsOpen) {
  // By address, by other text forms of it and by a name that resolves to this machine: refused
  // before any request, also when only another network is open.
  const std::string port = std::to_string(server_.port());
  FetchOptions other;
  ASSERT_TRUE(other.allow_networks.Parse("10.0.0.0/8, fd00::/8", nullptr));
  for (const std::string& url :
       {server_.Url("/page.html"), "http://localhost:" + port + "/page.html",
        "http://2130706433:" + port + "/page.html", "http://0x7f.1:" + port + "/page.html"}) {
    for (const FetchOptions& options : {FetchOptions(), other}) {
      FetchResult result = Fetch(url, options);
      EXPECT_FALSE(result.ok) << url;
      EXPECT_NE(result.error.find("refused"), std::string::npos) << url << ": " << result.error;
      // The refusal is told apart from other failures, with the address that was refused.
      EXPECT_TRUE(result.refused) << url;
      EXPECT_TRUE(result.refused_address == "127.0.0.1" || result.refused_address == "::1")
          << url << ": " << result.refused_address;
    }
  }
  EXPECT_EQ(requests_.load(), 0);
  ASSERT_TRUE(Fetch(server_.Url("/page.html"), Local()).ok);
  EXPECT_EQ(requests_.load(), 1);

  // A redirect from an open network to an address outside it is refused at the redirect.
  FetchResult redirected = Fetch(server_.Url("/to-other-loopback"), Local());
  EXPECT_FALSE(redirected.ok);
  EXPECT_NE(redirected.error.find("refused"), std::string::npos) << redirected.error;
  EXPECT_TRUE(redirected.refused);
  EXPECT_EQ(redirected.refused_address, "127.0.0.2");
  EXPECT_EQ(requests_.load(), 1);
}

TEST_F(HttpFetchTest, NoTimeLeftMeansNoRequest) {
  FetchOptions options = Local();
  options.time_left = std::chrono::milliseconds(0);
  FetchResult result = Fetch(server_.Url("/page.html"), options);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "no time is left for the fetch");
  EXPECT_EQ(requests_.load(), 0);
  options.time_left = std::chrono::milliseconds(5000);
  EXPECT_TRUE(Fetch(server_.Url("/page.html"), options).ok);
}

TEST(DecodePageAsDeclared, HeaderOrMetaCharsetChoosesUtf8) {
  const std::string text = "<p>春季运动会</p>";
  EXPECT_EQ(DecodePageAsDeclared(text, "text/html; charset=UTF-8"), text);
  std::string meta =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=utf-8\"></head>" +
      text;
  EXPECT_EQ(DecodePageAsDeclared(meta, "text/html"), meta);
  EXPECT_EQ(DecodePageAsDeclared("<meta charset='utf-8'>" + text + "\xFF", ""),
            "<meta charset='utf-8'>" + text + "\xEF\xBF\xBD");
  // No declaration, or a declared GB2312: code page 936.
  EXPECT_EQ(DecodePageAsDeclared(Utf8ToGbk(text), ""), text);
  EXPECT_EQ(DecodePageAsDeclared(Utf8ToGbk(text), "text/html; charset=gb2312"), text);
}

}  // namespace
}  // namespace folirex
