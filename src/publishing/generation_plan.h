// The generation planner and its batch page. The planner turns a console request (flag 0: the
// smart plan of everything out of date; flag 1: the kinds the selection form posted as
// `d_option`) into the channel's queue of step requests, each with its progress message, every
// large job cut into steps of the channel's batch size. The batch page carries that queue, a
// progress box, a hidden frame (reachable by its name and id, frmUpdateHTML) and the driver
// script: it loads one step after the other into the frame, starts 3000 ms after loading,
// re-drives an unanswered step every 600000 ms, and each step's answer calls doReturn(msg).
//
// Values from the database (class and subject names and folders) go into the step addresses
// URL-encoded and into the messages HTML-encoded, and every queued text is escaped as a script
// string. The planner writes nothing but the page. Request thread only; database errors throw.
#ifndef FOLIREX_PUBLISHING_GENERATION_PLAN_H_
#define FOLIREX_PUBLISHING_GENERATION_PLAN_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"

namespace folirex {

struct PlannedStep {
  std::string url;      // query tail after "?m=...&action=doingupdatehtml&"
  std::string message;  // the progress line, HTML
};

// The planned steps for flag "0" (smart) or "1" (the comma list of kinds in `options`); any other
// flag plans nothing. The channel is state.channel.
std::vector<PlannedStep> PlanGeneration(RequestState& state, std::string_view flag,
                                        std::string_view options);

// The batch page for `steps`; `page` is the module's m value ("admin_articlehtml").
std::string BatchPage(const std::vector<PlannedStep>& steps, std::string_view page);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_GENERATION_PLAN_H_
