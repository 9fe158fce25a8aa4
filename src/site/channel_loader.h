// The channel loader. LoadChannelSettings reads one channel's row of Vantrel_Channel into a
// ChannelSettings value from the request's channel rows (FindChannelRow: every channel read in
// one statement once per request, through a recordset of its own on db.Conn, so a caller's open
// shared recordset is left alone).
//
// InitChannel gives the settings of the channel a request is served for and keeps its upload
// folder in the session ("channel_path"). The public entry calls it once per request with the
// request's channel and keeps the result as the request's channel (state.channel); the console's
// channel pages call it with the channel they work on. Blocks and chips that draw another
// channel load that channel's settings into a value of their own (LoadChannelSettings).
//
// Failure: InitChannel without an id, or with one that names no channel, answers
// AlertBack("提示：请先设置频道信息表！"): the database is closed, the alert written and the
// response ended (ResponseEnd is thrown). Database errors throw DbError. Runs on the request's
// thread only.
#ifndef FOLIREX_SITE_CHANNEL_LOADER_H_
#define FOLIREX_SITE_CHANNEL_LOADER_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// The settings of channel `id` with ChannelID set to it, through the request's row cache; nullopt
// without an id (no SQL is run) or when it names no channel. A block or a chip that draws another
// channel loads that channel's settings into a value of its own.
std::optional<ChannelSettings> LoadChannelSettings(DatabaseState& db, RequestCaches& caches,
                                                   std::optional<int64_t> id);

// The statistics block of a channel's pages ({$showchannelstat}): items, items waiting,
// comments, subjects, reads. The table is the block's own markup; the channel's item word and
// unit are text and go in encoded, the counters as numbers.
std::string ChannelStatHtml(const ChannelSettings& channel);

ChannelSettings InitChannel(RequestState& state, std::optional<int64_t> id);

}  // namespace folirex

#endif  // FOLIREX_SITE_CHANNEL_LOADER_H_
