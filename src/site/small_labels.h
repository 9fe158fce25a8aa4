// Small label values of the template engine: channel and item names, the site home's channel
// statistics, a content page's keywords, and the links to a class list and to the hot, recommended
// and newest lists of `channel`, the channel the page is drawn for (dynamic asp.asp links or
// static files by its HTML mode, channel.GenerateHtml: "0" dynamic, "1" all static, "2" static
// first and content pages).
//
// GetChannelName, GetProjectName and GetMatchedKeywords give the stored text as it is: the caller
// encodes it for its place (the template engine does). ShowChannelStat gives HTML: its lines are
// its own markup, the channel names, units and item words in them are encoded text. The links are
// built from the install path, the channel and class folders (plain folder names the console
// keeps), ids and file extensions, as they are.
//
// Each returns text and writes nothing to the response. An id that is not a plain whole number
// reaches no SQL (the answer is that of a missing row). The lookups read on db.Conn, each through a
// recordset of its own. Database errors throw DbError. Request thread only.
#ifndef FOLIREX_SITE_SMALL_LABELS_H_
#define FOLIREX_SITE_SMALL_LABELS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// d_channelname of the channel (the request's channel rows), "" when there is none.
std::string GetChannelName(DatabaseState& db, RequestCaches& caches, const Variant& channel_id);
// d_projectname (the channel's word for its items), "" when there is none.
std::string GetProjectName(DatabaseState& db, RequestCaches& caches, const Variant& channel_id);
// Two lines per shown, enabled internal channel in d_order: items and approved items.
std::string ShowChannelStat(DatabaseState& db, RequestCaches& caches);
// The typed meta keywords when relative_flag is "0"; otherwise the library keywords of `channel`
// that occur in the title, joined by ",".
std::string GetMatchedKeywords(DatabaseState& db, const ChannelSettings& channel,
                               const Variant& relative_flag, const Variant& title,
                               const Variant& meta_keyword);
std::string GetClassLinkUrl(RequestState& state, const ChannelSettings& channel,
                            std::optional<int64_t> class_id);
std::string GetHotListUrl(RequestState& state, const ChannelSettings& channel);
std::string GetRecommendListUrl(RequestState& state, const ChannelSettings& channel);
std::string GetNewListUrl(RequestState& state, const ChannelSettings& channel);

}  // namespace folirex

#endif  // FOLIREX_SITE_SMALL_LABELS_H_
