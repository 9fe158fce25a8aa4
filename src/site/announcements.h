// The announcement chip (ListAnnounce) and the body of the announcement pop-up page.
//
// ShowAnnounceList renders the selected announcements of `channel`, the channel the page is drawn
// for (channel 0, the site's own, on the site home page), as a scrolling list, writes it as a
// script file into that channel's Js folder and returns the script tag that loads that file, so
// static pages show the list too. The file is named for what it holds,
// Announce_<channel>_<layout>_<count>_ <author flag><date flag>.js, so pages that list other
// announcements, or list them otherwise, never overwrite each other's list. It is rewritten only
// when the list changed.
//
// What goes in: announcement titles and authors are text, typed in the console, and go in encoded
// (HtmlEscape); the announcement's body (d_content) is the site's own HTML, written by the
// site's editors with the console's HTML editor, and goes in as stored; the marquee, the links
// and the pop-up script are the list's own markup, with ids and the install path as they are.
//
// Request thread only; file writes are atomic, so concurrent renderings leave one whole list.
// Database errors throw DbError; a file that cannot be written leaves the tag in place.
#ifndef FOLIREX_SITE_ANNOUNCEMENTS_H_
#define FOLIREX_SITE_ANNOUNCEMENTS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/request_state.h"

namespace folirex {

// parameters: "layout,count,showauthor,showdate". "" when a field fails its
// check.
std::string ShowAnnounceList(RequestState& state, const ChannelSettings& channel,
                             const Variant& parameters, const Variant& page_type);

// The HTML of one announcement, read on db.Conn; "传入参数错误！" without an id, for one of
// more than 18 digits or one that names no row.
std::string ShowAnnounceDetail(DatabaseState& db, std::optional<int64_t> notice_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_ANNOUNCEMENTS_H_
