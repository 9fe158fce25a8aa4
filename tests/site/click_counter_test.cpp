// The click script: totals written back, day, week and month counters across their boundaries,
// the hot mark, the ids it refuses, clicks that arrive together, and a state without caches.
#include "site/click_counter.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/public_request.h"
#include "core/text_helpers.h"
#include "support/manual_clock.h"
#include "support/site_fixture.h"

namespace folirex::testing {
namespace {

class ClickCounterTest : public ::testing::Test {
 protected:
  // Counts one click in-process; the answer.
  std::string Click(const Variant& id, int channel = 1) {
    std::string answer;
    site_.InRequest(
        [&](RequestState& state) { answer = ShowClick(state, ParseId(id.ToString()), clock_); },
        channel);
    return answer;
  }

  std::string Counters(int id) {
    return site_.SqlValue(
        "select d_clicktimes || ',' || d_dayclicktimes || ',' || d_weekclicktimes || ',' || "
        "d_monthclicktimes || ',' || d_hotflag from Vantrel_Article where d_id = " +
        std::to_string(id));
  }

  std::string ChannelClicks(int channel = 1) {
    return site_.SqlValue("select d_clickcount from Vantrel_Channel where d_id = " +
                          std::to_string(channel));
  }

  SiteFixture site_;
  ManualClock clock_;  // 2024-05-15 10:00:00, a Wednesday
};

TEST_F(ClickCounterTest, AClickIsCountedAndTheNewTotalWritten) {
  int id = site_.Add(ArticleRow{.title = "a", .content = "b", .clicks = 56, .day_clicks = 3});
  site_.SetChannel(1, "d_clickcount = 7, d_clicksofhot = 1000");
  EXPECT_EQ(Click(id), "document.write(\"57\");\r\n");
  // Never clicked before: the period counters go on from what they hold.
  EXPECT_EQ(Counters(id), "57,4,1,1,0");
  EXPECT_EQ(ChannelClicks(), "8");
  EXPECT_EQ(site_.SqlValue("select d_LastClickTime from Vantrel_Article where d_id = " +
                           std::to_string(id)),
            "2024-05-15 10:00:00");

  // No cache may answer for the script.
  Response& response = site_.runner().response();
  EXPECT_EQ(HeaderOf(response, "Cache-Control"), "no-cache");
  EXPECT_FALSE(HeaderOf(response, "Expires").empty());

  // Two clicks in a row: consecutive totals.
  EXPECT_EQ(Click(id), "document.write(\"58\");\r\n");
  EXPECT_EQ(Click(id), "document.write(\"59\");\r\n");
  EXPECT_EQ(Counters(id), "59,6,3,3,0");
}

// A state that keeps nothing between requests (no server's caches) still counts every click.
TEST_F(ClickCounterTest, AStateWithoutTheServersCachesCountsEachClickOnItsOwn) {
  int id = site_.Add(ArticleRow{.title = "a", .content = "b", .clicks = 9});
  std::vector<std::string> answers;
  site_.InRequest([&](RequestState& state) {
    state.site_caches = nullptr;
    for (int i = 0; i < 2; ++i) answers.push_back(ShowClick(state, id, clock_));
  });
  EXPECT_EQ(answers, (std::vector<std::string>{"document.write(\"10\");\r\n",
                                               "document.write(\"11\");\r\n"}));
  EXPECT_EQ(ChannelClicks(), "2");
}

TEST_F(ClickCounterTest, PeriodCountersRestartAtTheirBoundaries) {
  site_.SetChannel(1, "d_clicksofhot = 1000");
  int id = site_.Add(ArticleRow{.title = "a",
                                .content = "b",
                                .clicks = 10,
                                .day_clicks = 5,
                                .week_clicks = 6,
                                .month_clicks = 7});
  Click(id);  // stamps the last click
  EXPECT_EQ(Counters(id), "11,6,7,8,0");

  auto click_after = [&](const std::string& last_click) {
    site_.Exec(
        "update Vantrel_Article set d_clicktimes = 10, d_dayclicktimes = 5, "
        "d_weekclicktimes = 6, d_monthclicktimes = 7, d_LastClickTime = ? where d_id = ?",
        {last_click, id});
    Click(id);
    return Counters(id);
  };
  // Earlier today: every counter goes on.
  EXPECT_EQ(click_after("2024-05-15 00:00:00"), "11,6,7,8,0");
  // The last second of yesterday: a new day.
  EXPECT_EQ(click_after("2024-05-14 23:59:59"), "11,1,7,8,0");
  // The last second of the previous week (weeks begin on Sunday).
  EXPECT_EQ(click_after("2024-05-11 23:59:59"), "11,1,1,8,0");
  // The last second of the previous month: all three restart.
  EXPECT_EQ(click_after("2024-04-30 23:59:59"), "11,1,1,1,0");
  // A year ago.
  EXPECT_EQ(click_after("2001-01-01 00:00:00"), "11,1,1,1,0");

  // The clock crossing midnight into Saturday the first of June, then into Sunday.
  clock_.SetLocal(DateTime{2024, 5, 31, 23, 59, 59});
  EXPECT_EQ(click_after("2024-05-31 08:00:00"), "11,6,7,8,0");
  clock_.Advance(std::chrono::seconds(1));
  Click(id);
  EXPECT_EQ(Counters(id), "12,1,8,1,0");
  clock_.Advance(std::chrono::hours(24));
  Click(id);
  EXPECT_EQ(Counters(id), "13,1,1,2,0");
}

TEST_F(ClickCounterTest, TheClickThatReachesTheThresholdMakesTheArticleHot) {
  site_.SetChannel(1, "d_clicksofhot = 100");
  int id = site_.Add(ArticleRow{.title = "a", .content = "b", .clicks = 98});
  Click(id);
  EXPECT_EQ(Counters(id).back(), '0');
  Click(id);
  EXPECT_EQ(Counters(id), "100,2,2,2,-1");
  Click(id);
  EXPECT_EQ(Counters(id).substr(Counters(id).rfind(',') + 1), "-1");

  // A hot article stays hot below the threshold.
  int hot = site_.Add(ArticleRow{.title = "h", .content = "b", .hot = true, .clicks = 3});
  Click(hot);
  EXPECT_EQ(Counters(hot), "4,1,1,1,-1");
}

TEST_F(ClickCounterTest, IdsThatNameNoArticleCountNothing) {
  int id = site_.Add(ArticleRow{.title = "a", .content = "b", .clicks = 5});
  site_.SetChannel(1, "d_clickcount = 7");
  for (const char* bad :
       {"", "abc", "1 or 1=1", "-1", "1.0", "01", " 1", "999999", "12345678901234567890123"}) {
    EXPECT_EQ(Click(bad), "0") << bad;
  }
  EXPECT_EQ(Counters(id), "5,0,0,0,0");
  // A click on nothing is not a click of the channel either.
  EXPECT_EQ(ChannelClicks(), "7");
}

TEST_F(ClickCounterTest, FiftyClicksAtOnceAreAllCounted) {
  site_.SetChannel(1, "d_clicksofhot = 40, d_clickcount = 0");
  int id = site_.Add(ArticleRow{.title = "a", .content = "b"});
  const std::string path = "/asp.asp?m=click&articleid=" + std::to_string(id) + "&channelid=1";
  ASSERT_EQ(site_.Get(path).status, 200);  // warms the site; the first click

  constexpr int kClicks = 50;
  std::vector<std::string> answers(kClicks);
  std::vector<std::thread> threads;
  for (int i = 0; i < kClicks; ++i) {
    threads.emplace_back([&, i] {
      httplib::Client client("127.0.0.1", site_.port());
      client.set_read_timeout(60, 0);
      auto result = client.Get(path.c_str());
      if (result && result->status == 200) answers[i] = result->body;
    });
  }
  for (std::thread& t : threads) t.join();

  // Every click got its own total: 2 to 51, each once.
  std::set<std::string> totals(answers.begin(), answers.end());
  EXPECT_EQ(totals.size(), static_cast<size_t>(kClicks));
  for (int total = 2; total <= kClicks + 1; ++total) {
    EXPECT_EQ(totals.count("document.write(\"" + std::to_string(total) + "\");\r\n"), 1u) << total;
  }
  EXPECT_EQ(Counters(id), "51,51,51,51,-1");
  EXPECT_EQ(ChannelClicks(), "51");
}

}  // namespace
}  // namespace folirex::testing
