// The channel loader: reads the current channel's row of Vantrel_Channel into the channel settings
// of RequestState, builds the channel statistics block ({$showchannelstat} on a channel's pages)
// and keeps the channel's upload folder in the session ("channel_path").
//
// The public entry calls it once per request; blocks that render several channels, the list
// renderers and the console's channel-scoped pages call it again after changing ChannelID. It reads
// through a recordset of its own, so a caller's open shared recordset is left alone; state.db.Sql
// holds the channel query afterwards.
//
// Failure: a ChannelID that is not a plain whole number, or one that names no channel, answers
// AlertBack("提示：请先设置频道信息表！"): the database is closed, the alert written and the
// response ended (ResponseEnd is thrown); no field is changed. Database errors throw DbError. Runs
// on the request's thread only.
#ifndef FOLIREX_SITE_CHANNEL_LOADER_H_
#define FOLIREX_SITE_CHANNEL_LOADER_H_

#include "core/request_state.h"

namespace folirex {

void InitChannel(RequestState& state);

}  // namespace folirex

#endif  // FOLIREX_SITE_CHANNEL_LOADER_H_
