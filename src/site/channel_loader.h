// The channel loader: reads the current channel's row of Vantrel_Channel into the channel settings
// of RequestState, builds the channel statistics block ({$showchannelstat} on a channel's pages)
// and keeps the channel's upload folder in the session ("channel_path").
//
// The public entry calls it once per request and the console's channel-scoped pages call it again
// after changing ChannelID; blocks and chips that draw another channel load that channel's
// settings into a value of their own (LoadChannelSettings). It reads
// through a recordset of its own, so a caller's open shared recordset is left alone; state.db.Sql
// holds the channel query afterwards.
//
// Failure: a ChannelID that is not a plain whole number, or one that names no channel, answers
// AlertBack("提示：请先设置频道信息表！"): the database is closed, the alert written and the
// response ended (ResponseEnd is thrown); no field is changed. Database errors throw DbError. Runs
// on the request's thread only.
#ifndef FOLIREX_SITE_CHANNEL_LOADER_H_
#define FOLIREX_SITE_CHANNEL_LOADER_H_

#include <string>

#include "core/request_state.h"

namespace folirex {

void InitChannel(RequestState& state);

// Reads the row of channel.ChannelID into the other fields of `channel`, through the request's
// row cache, and touches nothing else of the request but that cache and state.db.Sql: a block or a
// chip that draws another channel loads that channel's settings into a value of its own. False,
// with `channel` unchanged, when the id is not a plain whole number or names no channel.
bool LoadChannelSettings(RequestState& state, ChannelSettings& channel);

// The statistics block of a channel's pages ({$showchannelstat}), from its counters.
std::string ChannelStatHtml(const ChannelSettings& channel);

}  // namespace folirex

#endif  // FOLIREX_SITE_CHANNEL_LOADER_H_
