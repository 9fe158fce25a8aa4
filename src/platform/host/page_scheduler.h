// Which page runs next on the workers. Pages come in three lanes:
//   kOwner    requests that carry a signed-in console session: served before any other, on any
//             worker that is free;
//   kSignIn   the console's sign-in: served before visitors, at most sign_in_workers at once;
//   kVisitor  every other page: at most workers - owner_workers at once, so that the owners
//             always find a worker however many visitors wait.
// In the sign-in and visitors' lanes one client address has at most per_client pages in
// progress; the rest wait, and the waiting pages are served address by address in turn (each
// address's in the order they came), so that an address with many connections delays another's
// page by one of its own pages at most. A page of these two lanes that has waited past max_wait
// is refused instead of started. The owners' pages wait only for a worker, in the order they came.
//
// The scheduler only counts: a caller runs a page that Submit lets start at once itself, and the
// scheduler calls a waiting page's Start when it may start (or is refused); either way the page
// must be reported by Finish once it has run. Thread-safe; a Start is called without the
// scheduler's lock, on the thread of the Submit or Finish that let it go, and must be quick (post
// the page somewhere). Times are given by the caller.
#ifndef FOLIREX_PLATFORM_HOST_PAGE_SCHEDULER_H_
#define FOLIREX_PLATFORM_HOST_PAGE_SCHEDULER_H_

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace folirex {

class PageScheduler {
 public:
  enum class Lane { kOwner, kSignIn, kVisitor };
  using Clock = std::chrono::steady_clock;

  struct Limits {
    size_t workers = 32;
    // Kept from visitors; at most half the workers, so that visitors keep the others.
    size_t owner_workers = 4;
    // At once in the sign-in lane; at least one, at most owner_workers.
    size_t sign_in_workers = 2;
    // In progress for one client address in the sign-in and visitors' lanes; at least one.
    size_t per_client = 4;
    Clock::duration max_wait = std::chrono::seconds(10);
  };

  // Called with true when a waiting page may start (its place is taken), with false when it is
  // refused.
  using Start = std::function<void(bool)>;

  explicit PageScheduler(Limits limits);
  PageScheduler(const PageScheduler&) = delete;
  PageScheduler& operator=(const PageScheduler&) = delete;

  // True when the page may start now (its place is taken, `start` is dropped); else it waits and
  // `start` is called later.
  bool Submit(Lane lane, std::string_view client, Clock::time_point now, Start start);
  // A page that started has run: its place goes to the waiting pages it lets start.
  void Finish(Lane lane, std::string_view client, Clock::time_point now);

  // Pages started and not finished, and pages waiting.
  size_t running() const;
  size_t waiting() const;
  // What the limits became once bounded as said above.
  const Limits& limits() const { return limits_; }

 private:
  struct Waiting {
    Start start;
    Clock::time_point since;
  };
  // One client address in the sign-in or visitors' lane.
  struct Client {
    size_t running = 0;
    std::deque<Waiting> waiting;
    bool ready = false;  // in its lane's turn list
  };
  struct FairLane {
    size_t running = 0;
    size_t most = 0;  // at once
    std::unordered_map<std::string, Client> clients;
    // The addresses with a page waiting and room for it, in turn.
    std::deque<std::string> turn;
    size_t waiting = 0;
  };
  using Decision = std::pair<Start, bool>;

  FairLane& LaneOf(Lane lane) { return lane == Lane::kSignIn ? sign_in_ : visitors_; }
  // Under mutex_: whether a page of the lane may start now, as far as the lanes tell.
  bool HasRoom(Lane lane) const;
  // Under mutex_: puts the address in its lane's turn when a page of it waits and may run.
  void MakeReady(FairLane& lane, const std::string& address, Client& client);
  // Under mutex_: the waiting pages that may start now, and those to refuse.
  void Pump(Clock::time_point now, std::vector<Decision>* decisions);
  // Under mutex_: takes the next page of a fair lane, or refuses it; false when none waits.
  bool TakeFrom(Lane lane, Clock::time_point now, std::vector<Decision>* decisions);
  void Forget(FairLane& lane, const std::string& address);

  const Limits limits_;
  mutable std::mutex mutex_;
  size_t running_ = 0;
  size_t owners_running_ = 0;
  std::deque<Start> owners_waiting_;
  FairLane sign_in_;
  FairLane visitors_;
};

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_HOST_PAGE_SCHEDULER_H_
