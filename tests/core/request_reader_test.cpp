// The request reader that every page reads its values through: where each reader looks, the one
// rule of each kind of value, and the page's own refusal.
#include "core/request_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/console_request.h"
#include "platform/host/response.h"

namespace folirex::testing {
namespace {

Request MakeRequest(const std::string& query, const std::string& form_body = "",
                    const std::string& cookie = "") {
  RawRequest raw;
  raw.method = form_body.empty() ? "GET" : "post";
  raw.path = "/admin.asp";
  raw.query = query;
  raw.body = form_body;
  raw.remote_addr = "127.0.0.9";
  if (!form_body.empty()) {
    raw.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  }
  if (!cookie.empty()) raw.headers.emplace_back("Cookie", cookie);
  return Request(std::move(raw));
}

TEST(RequestReaderTest, EachReaderLooksInItsOwnPlace) {
  const Request request =
      MakeRequest("id=1&only_query=q&Page=3", "id=2&only_form=%20f%20&box=a&box=b", "seen=c");
  const RequestReader values(request, nullptr);
  const RequestReader query = values.Query();
  const RequestReader form = values.Form();

  EXPECT_EQ(values.Id("ID"), 1) << "the query string comes first";
  EXPECT_EQ(query.Id("id"), 1);
  EXPECT_EQ(form.Id("id"), 2);
  EXPECT_EQ(query.Text("only_form"), "");
  EXPECT_EQ(form.Text("only_query"), "");
  EXPECT_EQ(values.Text("only_form"), "f");
  EXPECT_EQ(values.Raw("only_form"), " f ");
  EXPECT_EQ(values.Text("seen"), "c") << "the combined collection reads cookies too";
  EXPECT_EQ(form.Text("seen"), "");

  EXPECT_EQ(form.Values("box"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(values.Values("box"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(query.Values("box").empty());
  EXPECT_TRUE(values.Has("only_query"));
  EXPECT_FALSE(query.Has("box"));

  EXPECT_EQ(values.Page(), 3);
  EXPECT_EQ(form.Page(), 1);
  EXPECT_TRUE(values.IsPost());
  EXPECT_EQ(query.ClientAddress(), "127.0.0.9");
  EXPECT_EQ(form.Body(), request.Body());
}

TEST(RequestReaderTest, EachKindOfValueHasOneRule) {
  const Request request = MakeRequest(
      "id=%2012%20&zero=0&lead=007&sign=-4&quote=5'&big=9223372036854775808"
      "&ids=3,%207,3&badids=3,x&nine=123456789&ten=1234567890&on=1&off=0&word=yes&blank=%20"
      "&page=2.5&badpage=abc");
  const RequestReader in(request, nullptr);

  EXPECT_EQ(in.Id("id"), 12) << "an id is read trimmed";
  EXPECT_EQ(in.Id("zero"), 0);
  for (const char* bad : {"lead", "sign", "quote", "big", "missing", "blank"}) {
    EXPECT_EQ(in.Id(bad), std::nullopt) << bad;
  }

  std::optional<IdList> ids = in.Ids("ids");
  ASSERT_TRUE(ids.has_value());
  EXPECT_EQ(ids->ids, (std::vector<int64_t>{3, 7}));
  EXPECT_EQ(ids->sql, "3,7");
  EXPECT_EQ(in.Ids("badids"), std::nullopt);
  EXPECT_EQ(in.Ids("missing"), std::nullopt);

  EXPECT_EQ(in.Number("nine"), 123456789);
  EXPECT_EQ(in.Number("ten"), std::nullopt) << "more than an integer column keeps";
  EXPECT_EQ(in.Number("lead"), std::nullopt);

  EXPECT_TRUE(in.Checked("on"));
  EXPECT_TRUE(in.Checked("word"));
  EXPECT_FALSE(in.Checked("off"));
  EXPECT_FALSE(in.Checked("blank"));
  EXPECT_FALSE(in.Checked("missing"));

  EXPECT_EQ(in.Page(), 2) << "a fraction rounds half to even, as the pagers read it";
  EXPECT_EQ(RequestReader(MakeRequest("page=abc"), nullptr).Page(), 1);
}

TEST(RequestReaderTest, AReaderOfNoRequestReadsNothing) {
  const RequestReader none;
  EXPECT_EQ(none.Text("id"), "");
  EXPECT_EQ(none.Id("id"), std::nullopt);
  EXPECT_TRUE(none.Values("id").empty());
  EXPECT_EQ(none.Page(), 1);
  EXPECT_FALSE(none.IsPost());
  EXPECT_FALSE(none.HasNul());
  EXPECT_THROW(none.Id("id", "提示：参数错误！"), std::logic_error);
}

TEST(RequestReaderTest, AMissingOrMalformedValueEndsTheRequestWithThePagesMessage) {
  const Request request = MakeRequest("id=7&bad=7a&ids=1,2");
  RequestState state;
  Response response;
  state.host.Response = &response;
  const RequestReader in(request, &state);

  EXPECT_EQ(in.Id("id", "提示：无效的ID！"), 7);
  EXPECT_EQ(in.Ids("ids", "提示：请选择！").sql, "1,2");
  EXPECT_TRUE(response.body().empty());

  EXPECT_THROW(in.Id("bad", "提示：无效的ID！"), ResponseEnd);
  EXPECT_NE(response.body().find("alert('提示：无效的ID！"), std::string::npos) << response.body();
  EXPECT_NE(response.body().find("history.back()"), std::string::npos);

  Response second;
  state.host.Response = &second;
  EXPECT_THROW(in.Ids("missing", "提示：请选择！"), ResponseEnd);
  EXPECT_NE(second.body().find("alert('提示：请选择！"), std::string::npos) << second.body();
}

TEST(RequestReaderTest, TheConsoleRequestSteersByItsQueryStringOnly) {
  RequestState state;
  const Request request = MakeRequest("m=%20Admin_Main%20&action=Sa'Ve&channelid=%201%20",
                                      "m=admin_login&action=out&channelid=2&d_name=x");
  const ConsoleRequest r = ParseConsoleRequest(request, &state);
  EXPECT_EQ(r.m, "admin_main");
  EXPECT_EQ(r.action, "save");
  EXPECT_EQ(r.channel_id, 1);
  EXPECT_TRUE(r.posted);
  EXPECT_EQ(r.form.Text("d_name"), "x");
  EXPECT_EQ(r.query.Text("d_name"), "");
  EXPECT_EQ(r.values.Text("channelid"), "1");
}

}  // namespace
}  // namespace folirex::testing
