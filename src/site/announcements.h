// The announcement chip (ListAnnounce) and the body of the announcement pop-up
// page.
//
// ShowAnnounceList renders the selected announcements of the page's channel
// (channel 0 on the site home page) as a scrolling list, writes it as a script
// file of the channel's Js folder and returns the script tag that loads that
// file, so static pages show the list too. Each layout and count has a file of
// its own, so two pages that list announcements differently do not overwrite
// each other's list.
//
// Per request; file writes are atomic, so concurrent renderings leave one whole
// list.
#ifndef FOLIREX_SITE_ANNOUNCEMENTS_H_
#define FOLIREX_SITE_ANNOUNCEMENTS_H_

#include <string>

#include "core/request_state.h"

namespace folirex {

// parameters: "layout,count,showauthor,showdate". "" when a field fails its
// check.
std::string ShowAnnounceList(RequestState& state, const Variant& parameters,
                             const Variant& page_type);

// The HTML of one announcement; "传入参数错误！" for an id that is not digits
// or names no row.
std::string ShowAnnounceDetail(RequestState& state, const Variant& notice_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_ANNOUNCEMENTS_H_
