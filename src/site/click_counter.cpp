#include "site/click_counter.h"

#include <string>

#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/recordset.h"
#include "platform/db/scoped_transaction.h"
#include "site/interaction_text.h"

namespace folirex {

namespace {

// The starts of the day, week (Sunday) and month of a moment, as the storage text the click
// times are kept in.
struct PeriodStarts {
  std::string day, week, month;
};

PeriodStarts PeriodStartsOf(const DateTime& now) {
  const DateTime day{now.year, now.month, now.day, 0, 0, 0};
  const DateTime week = DateTime::FromSerial(day.ToSerial() - (day.Weekday() - 1));
  const DateTime month{now.year, now.month, 1, 0, 0, 0};
  return {day.ToStorage(), week.ToStorage(), month.ToStorage()};
}

}  // namespace

std::string ShowClick(RequestState& state, const Variant& article_id, const Clock& clock) {
  const DateTime now = clock.LocalNow();
  // Every page view must reach the server to be counted: no cache may answer for it.
  DateTime yesterday = DateTime::FromSerial(now.ToSerial() - 1);
  state.host.Response->SetExpires(-1);
  state.host.Response->SetExpiresAbsolute(yesterday);
  state.host.Response->SetExpires(0);
  state.host.Response->SetCacheControl("no-cache");

  if (!interaction::IsId(article_id) || !interaction::IsId(state.channel.ChannelID)) return "0";
  const std::string id = article_id.ToString();
  const PeriodStarts starts = PeriodStartsOf(now);

  // One statement counts the click and moves the day, week and month counters, so clicks that
  // arrive together are all counted; a counter restarts at 1 when the last click came before
  // its period began (an article never clicked has no last click and simply goes on).
  state.db.Sql =
      "update Vantrel_Article set d_clicktimes = d_clicktimes + 1, "
      "d_dayclicktimes = case when d_LastClickTime < '" +
      starts.day +
      "' then 1 else d_dayclicktimes + 1 end, "
      "d_weekclicktimes = case when d_LastClickTime < '" +
      starts.week +
      "' then 1 else d_weekclicktimes + 1 end, "
      "d_monthclicktimes = case when d_LastClickTime < '" +
      starts.month +
      "' then 1 else d_monthclicktimes + 1 end, "
      "d_LastClickTime = '" +
      now.ToStorage() +
      "', "
      "d_hotflag = case when d_clicktimes + 1 >= " +
      std::to_string(state.channel.ClicksOfHot.ToInt64Or(0)) +
      " then true else d_hotflag end "
      "where d_id = " +
      id;

  std::string answer = "0";
  Connection& conn = *state.db.Conn;
  ScopedTransaction transaction(conn);
  if (conn.Execute(state.db.Sql) > 0) {
    // Read inside the same transaction: the total is this click's, not a later one's.
    state.db.Sql = "select d_clicktimes from Vantrel_Article where d_id = " + id;
    Recordset rs;
    rs.Open(state.db.Sql, conn, 0, 1);
    if (!rs.Eof()) answer = HtmlToJsWrite(rs["d_clicktimes"].ToString());
    rs.Close();
    state.db.Sql = "update Vantrel_Channel set d_clickcount = d_clickcount + 1 where d_id = " +
                   state.channel.ChannelID.ToString();
    conn.Execute(state.db.Sql);
  }
  transaction.Commit();
  return answer;
}

}  // namespace folirex
