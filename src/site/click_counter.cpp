#include "site/click_counter.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/site_caches.h"
#include "core/site_files.h"
#include "core/text_helpers.h"
#include "platform/db/connection.h"
#include "platform/db/provider.h"
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

// The article's counters after n more clicks at `now`: the assignments of an update of
// Vantrel_Article with their values in `params`, in order. A counter restarts when the last click
// came before its period began (an article never clicked has no last click and simply goes on).
// The values are bound, so that every click runs the same statement text.
std::string ClickAssignments(const DateTime& now, int64_t n, int64_t clicks_of_hot,
                             std::vector<Variant>* params) {
  const PeriodStarts starts = PeriodStartsOf(now);
  const Variant add(static_cast<long long>(n));
  *params = {add,
             Variant(starts.day),
             add,
             add,
             Variant(starts.week),
             add,
             add,
             Variant(starts.month),
             add,
             add,
             Variant(now.ToStorage()),
             add,
             Variant(static_cast<long long>(clicks_of_hot))};
  return "d_clicktimes = d_clicktimes + ?, d_dayclicktimes = case when d_LastClickTime < ? then "
         "? else d_dayclicktimes + ? end, d_weekclicktimes = case when d_LastClickTime < ? then ? "
         "else d_weekclicktimes + ? end, d_monthclicktimes = case when d_LastClickTime < ? then ? "
         "else d_monthclicktimes + ? end, d_LastClickTime = ?, d_hotflag = case when d_clicktimes "
         "+ ? >= ? then true else d_hotflag end";
}

// Counts n clicks of the article: the new total, or -1 when no article has the id (then nothing
// is counted, not even for the channel).
int64_t CountClicks(RequestState& state, int64_t id, int64_t n, const Clock& clock) {
  std::vector<Variant> params;
  const std::string assignments =
      ClickAssignments(clock.LocalNow(), n, state.channel.ClicksOfHot.ToInt64Or(0), &params);
  const Variant article(static_cast<long long>(id));
  const Variant add(static_cast<long long>(n));
  const Variant channel(static_cast<long long>(state.channel.ChannelID.ToInt64Or(0)));
  Connection& conn = *state.db.Conn;
  if (conn.engine() == SqlEngine::kPostgres) {
    // One statement moves both counters, so the click costs one round trip to the server and no
    // transaction of its own; the channel counts only when the article's row changed.
    params.insert(params.end(), {article, add, channel});
    const Variant counted = conn.ExecuteScalar(
        "with a as (update Vantrel_Article set " + assignments +
            " where d_id = ? returning d_clicktimes), c as (update Vantrel_Channel set "
            "d_clickcount = d_clickcount + ? where d_id = ? and exists (select 1 from a)) "
            "select d_clicktimes from a",
        params);
    return counted.IsNull() ? -1 : counted.ToInt64Or(0);
  }
  params.push_back(article);
  int64_t total = -1;
  ScopedTransaction transaction(conn);
  // The total comes back from the update itself: these clicks', not later ones'.
  const Variant counted = conn.ExecuteScalar(
      "update Vantrel_Article set " + assignments + " where d_id = ? returning d_clicktimes",
      params);
  if (!counted.IsNull()) {
    total = counted.ToInt64Or(0);
    conn.Execute("update Vantrel_Channel set d_clickcount = d_clickcount + ? where d_id = ?",
                 {add, channel});
  }
  transaction.Commit();
  return total;
}

}  // namespace

std::string ShowClick(RequestState& state, std::optional<int64_t> article_id, const Clock& clock) {
  const DateTime now = clock.LocalNow();
  // Every page view must reach the server to be counted: no cache may answer for it.
  DateTime yesterday = DateTime::FromSerial(now.ToSerial() - 1);
  state.host.Response->SetExpires(-1);
  state.host.Response->SetExpiresAbsolute(yesterday);
  state.host.Response->SetExpires(0);
  state.host.Response->SetCacheControl("no-cache");

  if (!interaction::IsId(article_id) || !interaction::IsId(state.channel.ChannelID)) return "0";
  const std::string id = std::to_string(*article_id);

  // Without the server's batches each click is counted on its own.
  if (state.site_caches == nullptr) {
    const int64_t total = CountClicks(state, *article_id, 1, clock);
    return total < 0 ? "0" : HtmlToJsWrite(std::to_string(total));
  }
  ClickBatches& batches = state.site_caches->clicks;

  // Join the clicks waiting for this article, or count at once when none are being counted.
  const std::string key = state.db.Conn->session().pool_key() + "\n" + id;
  std::unique_lock<std::mutex> lock(batches.mutex);
  ClickBatches::Article& article = batches.by_article[key];
  std::shared_ptr<ClickBatches::Batch> batch;
  int64_t position = 1;
  if (!article.counting) {
    article.counting = true;
    batch = std::make_shared<ClickBatches::Batch>();
    batch->clicks = 1;
    batch->lead = true;
  } else {
    if (!article.next) article.next = std::make_shared<ClickBatches::Batch>();
    batch = article.next;
    position = ++batch->clicks;
    batch->changed.wait(lock, [&] { return batch->done || (batch->lead && position == 1); });
  }
  if (!batch->done) {
    // This click counts the batch; no click joins it any more.
    const int64_t n = batch->clicks;
    lock.unlock();
    int64_t total = -1;
    std::exception_ptr error;
    try {
      total = CountClicks(state, *article_id, n, clock);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    batch->total = total;
    batch->error = error;
    batch->done = true;
    batch->changed.notify_all();
    // The clicks that came meanwhile are counted next, by the first of them.
    ClickBatches::Article& same = batches.by_article[key];
    if (same.next) {
      same.next->lead = true;
      same.next->changed.notify_all();
      same.next.reset();
    } else {
      batches.by_article.erase(key);
    }
  }
  if (batch->error) std::rethrow_exception(batch->error);
  if (batch->total < 0) return "0";
  // Counted in the order they joined: each click's own total.
  return HtmlToJsWrite(std::to_string(batch->total - (batch->clicks - position)));
}

}  // namespace folirex
