// The public request read once at the entry: which texts are ids, which are trimmed or filtered,
// and where each value may come from.
#include "core/public_request.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/host/request.h"

namespace folirex::testing {
namespace {

PublicRequest Parse(const std::string& query, const std::string& form_body = "") {
  RawRequest raw;
  raw.method = form_body.empty() ? "GET" : "POST";
  raw.path = "/asp.asp";
  raw.query = query;
  raw.body = form_body;
  if (!form_body.empty()) {
    raw.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  }
  return ParsePublicRequest(Request(std::move(raw)));
}

TEST(PublicRequestTest, IdsArePlainWholeNumbersThatFit64Bits) {
  EXPECT_EQ(ParseId("123"), 123);
  EXPECT_EQ(ParseId("0"), 0);
  EXPECT_EQ(ParseId("9223372036854775807"), INT64_MAX);
  for (const char* bad : {"", "007", "00", "-5", "+5", "1.0", "1e3", "12a", " 12", "12 ", "1 2",
                          "9223372036854775808", "99999999999999999999"}) {
    EXPECT_EQ(ParseId(bad), std::nullopt) << '"' << bad << '"';
  }
  EXPECT_EQ(IdText(42), "42");
  EXPECT_EQ(IdText(std::nullopt), "");
}

TEST(PublicRequestTest, ValuesAreTrimmedAndTheLinkValuesFiltered) {
  PublicRequest r = Parse(
      "m=%20ConTent%20&articleid=%2012%20&classid=007&subjectid=-3&noticeid=5'&searchclass=3'"
      "&searchorder=99999999999999999999&searchtype=%20d_title&searchkeyword=%20a'b;%22c%20"
      "&flag=1&parameter=%20a'b%20&pagetype=%20Comment%20&mailto=x@y.cn&mailtoname=x");
  EXPECT_EQ(r.m, "content");
  EXPECT_EQ(r.article_id, 12);
  EXPECT_EQ(r.class_id, std::nullopt) << "a leading 0 is no id";
  EXPECT_EQ(r.subject_id, std::nullopt);
  EXPECT_EQ(r.notice_id, std::nullopt) << "noticeid is only trimmed: the quote stays and spoils it";
  EXPECT_EQ(r.search_class, std::nullopt) << "an id is read as sent: \"3'\" is no id";
  EXPECT_EQ(r.search_order, std::nullopt);
  EXPECT_EQ(r.search_type, "d_title");
  EXPECT_EQ(r.search_keyword, "abc");
  EXPECT_EQ(r.flag, "1");
  EXPECT_EQ(r.parameter, "a'b");
  EXPECT_EQ(r.page_type, "Comment");
  EXPECT_EQ(r.mail_to, "") << "the friend's address comes from the posted form only";
  EXPECT_EQ(r.mail_to_name, "");
  EXPECT_FALSE(r.channel_given);
  EXPECT_EQ(r.channel_id, std::nullopt);

  PublicRequest posted =
      Parse("channelid=x", "m=tellfriend&articleid=7&mailto=%20x@y.cn%20&mailtoname=%20Li%20");
  EXPECT_EQ(posted.m, "tellfriend");
  EXPECT_EQ(posted.article_id, 7);
  EXPECT_EQ(posted.mail_to, "x@y.cn");
  EXPECT_EQ(posted.mail_to_name, "Li");
  EXPECT_TRUE(posted.channel_given) << "a malformed channel id still names a channel";
  EXPECT_EQ(posted.channel_id, std::nullopt);
  // Quotes and ";" are not taken out of an id before it is read: "1;2" is not article 12.
  EXPECT_EQ(Parse("articleid=1;2").article_id, std::nullopt);

  EXPECT_FALSE(Parse("channelid=%20%20").channel_given);
  EXPECT_EQ(Parse("channelid=%2011%20").channel_id, 11);
}

}  // namespace
}  // namespace folirex::testing
