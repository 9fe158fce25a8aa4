#include "platform/host/request.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/host/host_fixture.h"
#include "platform/host/http_host.h"
#include "platform/text/codepage.h"

namespace folirex {
namespace {

using testing::RunningHost;
using testing::TempFolder;

RawRequest FormPost(std::string query, std::string body) {
  RawRequest raw;
  raw.method = "POST";
  raw.version = "HTTP/1.1";
  raw.path = "/asp.asp";
  raw.query = std::move(query);
  raw.body = std::move(body);
  raw.headers = {{"Host", "www.example.cn:8080"},
                 {"Content-Type", "application/x-www-form-urlencoded; charset=gb2312"},
                 {"Cookie", "c=from+cookie; d=5; d=6"},
                 {"X-Forwarded-For", "10.1.2.3"}};
  raw.remote_addr = "127.0.0.9";
  raw.remote_port = 40000;
  raw.local_addr = "127.0.0.1";
  raw.local_port = 8080;
  return raw;
}

TEST(RequestCollections, CombinedOrderIsQueryFormCookiesServerVariables) {
  Request request(FormPost("a=1&b=q&A=3", "a=9&c=form&b=&e=7"));
  // A key in several collections: the first collection that has it wins.
  EXPECT_EQ(request("a"), "1, 3");
  EXPECT_EQ(request("b"), "q");
  EXPECT_EQ(request("c"), "form");
  EXPECT_EQ(request("d"), "5");
  EXPECT_EQ(request("e"), "7");
  EXPECT_EQ(request("REMOTE_ADDR"), "127.0.0.9");
  EXPECT_EQ(request("nothing"), "");
  // An empty value still counts as present.
  Request empty_query(FormPost("b=", "b=form"));
  EXPECT_EQ(empty_query("b"), "");
}

TEST(RequestCollections, KeysIgnoreCaseAndRepeatsJoinOrWalk) {
  Request request(FormPost("Tag=x&b=1&TAG=y&a=2&tag=z", "Name=1&b=3&name=2"));
  EXPECT_EQ(request.QueryString("tag"), "x, y, z");
  EXPECT_EQ(request.QueryStringValues("TaG"), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(request.Form("NAME"), "1, 2");
  EXPECT_EQ(request.FormValues("name"), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(request.Cookies("C"), "from cookie");
  EXPECT_TRUE(request.QueryStringValues("missing").empty());
  EXPECT_EQ(request.Form("missing"), "");
}

TEST(RequestCollections, ValuesAreDecodedFromCodePage936) {
  Request request(
      FormPost("k=%D6%D0%CE%C4&s=a+b%20c&raw=\xD6\xD0&%C3%FB=v", "t=%B1%EA%CC%E2&u=%E4%B8%AD"));
  EXPECT_EQ(request.QueryString("k"), "中文");
  EXPECT_EQ(request.QueryString("s"), "a b c");
  EXPECT_EQ(request.QueryString("raw"), "中");
  EXPECT_EQ(request.QueryString("名"), "v");
  EXPECT_EQ(request.Form("t"), "标题");
  // Bytes that are not code page 936 are replaced, not dropped silently.
  EXPECT_NE(request.Form("u").find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(RequestCollections, MalformedEncodingIsKeptAsSent) {
  Request request(FormPost("a=%zz%4&&=x&flag&b=1=2", ""));
  EXPECT_EQ(request.QueryString("a"), "%zz%4");
  EXPECT_EQ(request.QueryStringValues("flag"), (std::vector<std::string>{""}));
  EXPECT_EQ(request.QueryString("b"), "1=2");
  EXPECT_EQ(request.QueryString(""), "");
}

TEST(RequestCollections, MultipartBodyIsNotFormButReadsRaw) {
  RawRequest raw = FormPost("",
                            "--XyZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n"
                            "--XyZ--\r\n");
  raw.headers[1].second = "multipart/form-data; boundary=XyZ";
  std::string body = raw.body;
  Request request(std::move(raw));
  EXPECT_EQ(request.Form("a"), "");
  EXPECT_EQ(request.TotalBytes(), static_cast<int64_t>(body.size()));
  std::string first = request.BinaryRead(10);
  std::string rest = request.BinaryRead(100000);
  EXPECT_EQ(first, body.substr(0, 10));
  EXPECT_EQ(first + rest, body);
  EXPECT_EQ(request.BinaryRead(5), "");
  EXPECT_EQ(request.BinaryRead(-1), "");
}

TEST(RequestCollections, ReferencesToCharactersOutsideTheCodePageBecomeThoseCharacters) {
  // What a GB2312 page's browser sends for "😀" and "ŉ"-like characters it cannot encode.
  Request request(FormPost(
      "q=a%26%23128512%3Bb&h=%26%23x1F600%3B%26%23X20AC%3B",
      "t=%26%2360%3Bscript%26%2362%3B&m=%26%23128512&c=%26%230%3B%26%23x85%3B%26%23xD800%3B"
      "&s=%26%238232%3B&big=%26%231114112%3B&zh=%26%2320013%3B&z=%26%23000128512%3B&e=%26%23%3B"));
  EXPECT_EQ(request.QueryString("q"), "a\U0001F600b");
  // "€" is in code page 936, so its reference stays as sent; U+1F600 is not.
  EXPECT_EQ(request.QueryString("h"), "\U0001F600&#X20AC;");
  // Markup written as references stays encoded.
  EXPECT_EQ(request.Form("t"), "&#60;script&#62;");
  // No ";", a control, a surrogate, a line separator, past U+10FFFF, a character of the code
  // page, no digits: as sent.
  EXPECT_EQ(request.Form("m"), "&#128512");
  EXPECT_EQ(request.Form("c"), "&#0;&#x85;&#xD800;");
  EXPECT_EQ(request.Form("s"), "&#8232;");
  EXPECT_EQ(request.Form("big"), "&#1114112;");
  EXPECT_EQ(request.Form("zh"), "&#20013;");
  EXPECT_EQ(request.Form("z"), "\U0001F600");
  EXPECT_EQ(request.Form("e"), "&#;");
  EXPECT_FALSE(request.HasNul());
}

TEST(RequestCollections, ANulInAnyValueOrNameIsReported) {
  EXPECT_TRUE(Request(FormPost("a=1%00", "")).HasNul());
  EXPECT_TRUE(Request(FormPost("", "b%00=1")).HasNul());
  RawRequest cookie = FormPost("", "");
  cookie.headers[2].second = "c=x%00y";
  EXPECT_TRUE(Request(std::move(cookie)).HasNul());
  // The raw body of an upload may hold any byte.
  RawRequest upload = FormPost("", std::string("a=\0", 3));
  upload.headers[1].second = "multipart/form-data; boundary=XyZ";
  EXPECT_FALSE(Request(std::move(upload)).HasNul());
}

TEST(RequestServerVariables, NamesThePagesRead) {
  Request request(FormPost("x=%41+b", "a=1"));
  EXPECT_EQ(request.ServerVariables("REQUEST_METHOD"), "POST");
  EXPECT_EQ(request.ServerVariables("QUERY_STRING"), "x=%41+b");
  EXPECT_EQ(request.ServerVariables("SCRIPT_NAME"), "/asp.asp");
  EXPECT_EQ(request.ServerVariables("PATH_INFO"), "/asp.asp");
  EXPECT_EQ(request.ServerVariables("URL"), "/asp.asp");
  EXPECT_EQ(request.ServerVariables("HTTP_HOST"), "www.example.cn:8080");
  EXPECT_EQ(request.ServerVariables("server_name"), "www.example.cn");
  EXPECT_EQ(request.ServerVariables("SERVER_PORT"), "8080");
  EXPECT_EQ(request.ServerVariables("SERVER_PROTOCOL"), "HTTP/1.1");
  EXPECT_EQ(request.ServerVariables("SERVER_SOFTWARE"), "Folirex");
  EXPECT_EQ(request.ServerVariables("REMOTE_ADDR"), "127.0.0.9");
  EXPECT_EQ(request.ServerVariables("REMOTE_HOST"), "127.0.0.9");
  EXPECT_EQ(request.ServerVariables("LOCAL_ADDR"), "127.0.0.1");
  EXPECT_EQ(request.ServerVariables("CONTENT_LENGTH"), "3");
  EXPECT_EQ(request.ServerVariables("CONTENT_TYPE"),
            "application/x-www-form-urlencoded; charset=gb2312");
  EXPECT_EQ(request.ServerVariables("HTTP_X_FORWARDED_FOR"), "10.1.2.3");
  EXPECT_NE(request.ServerVariables("ALL_HTTP").find("HTTP_X_FORWARDED_FOR:10.1.2.3\r\n"),
            std::string::npos);
  EXPECT_GE(std::stoi(request.ServerVariables("NUMBER_OF_PROCESSORS")), 1);
  EXPECT_FALSE(request.ServerVariables("OS").empty());
  EXPECT_EQ(request.ServerVariables("HTTP_REFERER"), "");
  EXPECT_EQ(request.ServerVariables("NO_SUCH_THING"), "");
}

TEST(RequestServerVariables, ServerNameWithoutHostHeaderIsTheLocalAddress) {
  RawRequest raw = FormPost("", "");
  raw.headers.erase(raw.headers.begin());
  Request request(std::move(raw));
  EXPECT_EQ(request.ServerVariables("SERVER_NAME"), "127.0.0.1");
  RawRequest v6 = FormPost("", "");
  v6.headers[0].second = "[::1]:8080";
  EXPECT_EQ(Request(std::move(v6)).ServerVariables("SERVER_NAME"), "[::1]");
}

// The same through the running host, with what a browser sends.
class RequestOverHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    HostOptions options;
    options.site_root = site_.path();
    host_ = std::make_unique<RunningHost>(options, [this](EntryKind, PageObjects& page) {
      std::lock_guard lock(mutex_);
      seen_.push_back(page.request);
      page.response.Write("ok");
    });
  }

  Request Last() {
    std::lock_guard lock(mutex_);
    return seen_.back();
  }

  TempFolder site_;
  std::unique_ptr<RunningHost> host_;
  std::mutex mutex_;
  std::vector<Request> seen_;
};

TEST_F(RequestOverHttp, QueryFormCookiesAndVariables) {
  auto client = host_->Client();
  httplib::Headers headers = {{"Cookie", "m=cookie; who=%D5%C5%C8%FD"}};
  auto res =
      client->Post("/asp.asp?m=content&k=%D6%D0%CE%C4&m=again", headers,
                   "m=form&title=%B1%EA%CC%E2+1&only=posted", "application/x-www-form-urlencoded");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  Request request = Last();
  EXPECT_EQ(request("m"), "content, again");
  EXPECT_EQ(request("k"), "中文");
  EXPECT_EQ(request("title"), "标题 1");
  EXPECT_EQ(request("only"), "posted");
  EXPECT_EQ(request("who"), "张三");
  EXPECT_EQ(request.Form("m"), "form");
  EXPECT_EQ(request.ServerVariables("REMOTE_ADDR"), "127.0.0.1");
  EXPECT_EQ(request.ServerVariables("SERVER_PORT"), std::to_string(host_->port()));
  EXPECT_EQ(request.ServerVariables("QUERY_STRING"), "m=content&k=%D6%D0%CE%C4&m=again");
  EXPECT_EQ(request.ServerVariables("SCRIPT_NAME"), "/asp.asp");
  EXPECT_EQ(request.ServerVariables("CONTENT_TYPE"), "application/x-www-form-urlencoded");
  EXPECT_EQ(request.ServerVariables("REQUEST_METHOD"), "POST");
}

TEST_F(RequestOverHttp, LargeFormBodyArrivesWhole) {
  // Article texts are posted as forms far larger than the HTTP library's own form limit.
  std::string content(300000, 'x');
  auto client = host_->Client();
  auto res = client->Post("/asp.asp", "d_content=" + content + "%D6%D0&after=1",
                          "application/x-www-form-urlencoded");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  Request request = Last();
  EXPECT_EQ(request.Form("d_content"), content + "中");
  EXPECT_EQ(request.Form("after"), "1");
}

TEST_F(RequestOverHttp, MultipartBodyIsKeptRawForTheUploadParser) {
  std::string body =
      "--b0undary\r\nContent-Disposition: form-data; name=\"act\"\r\n\r\nSAVE\r\n"
      "--b0undary\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"a.gif\"\r\n"
      "Content-Type: image/gif\r\n\r\nGIF89a\x00\x01\xff\r\n--b0undary--\r\n";
  body.insert(body.find("GIF89a") + 6, std::string("\0", 1));
  auto client = host_->Client();
  auto res = client->Post("/asp.asp?m=uploadfile", body, "multipart/form-data; boundary=b0undary");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  Request request = Last();
  EXPECT_EQ(request.Form("act"), "");
  EXPECT_EQ(request.ServerVariables("CONTENT_TYPE"), "multipart/form-data; boundary=b0undary");
  ASSERT_EQ(request.TotalBytes(), static_cast<int64_t>(body.size()));
  EXPECT_EQ(request.BinaryRead(request.TotalBytes()), body);
}

TEST_F(RequestOverHttp, SpoofedStashHeaderIsNotTakenForTheContentType) {
  auto client = host_->Client();
  httplib::Headers headers = {{"X-Folirex-Content-Type", "application/x-www-form-urlencoded"}};
  auto res = client->Post("/asp.asp", headers, "a=1", "text/plain");
  ASSERT_TRUE(res);
  Request request = Last();
  EXPECT_EQ(request.ServerVariables("CONTENT_TYPE"), "text/plain");
  EXPECT_EQ(request.Form("a"), "");
  EXPECT_EQ(request.BinaryRead(10), "a=1");
}

TEST_F(RequestOverHttp, PathIsDecodedForScriptName) {
  auto res = testing::RawGet(host_->port(), "/%E6%96%B0%E9%97%BB/asp.asp?x=1");
  EXPECT_EQ(res.status, 200);
  EXPECT_EQ(Last().ServerVariables("SCRIPT_NAME"), "/新闻/asp.asp");
  // The same folder name sent as code page 936 bytes.
  res = testing::RawGet(host_->port(), "/%D0%C2%CE%C5/asp.asp");
  EXPECT_EQ(res.status, 200);
  EXPECT_EQ(Last().ServerVariables("PATH_INFO"), "/新闻/asp.asp");
}

}  // namespace
}  // namespace folirex
