// The read of one channel's rows of a table, kept in memory where the connection keeps that
// table (platform/db/kept_reads.h): the named columns of the rows whose d_channelid is the
// channel's, in the order given. The console's lists and select boxes of a channel's classes,
// snippets and menus read their rows through it.
//
// The read holds `table` as a view: it must outlive the read (a name the code spells).
#ifndef FOLIREX_CORE_CHANNEL_ROWS_H_
#define FOLIREX_CORE_CHANNEL_ROWS_H_

#include <cstdint>
#include <string_view>

#include "platform/db/kept_reads.h"

namespace folirex {

// "select <columns> from <table> where d_channelid = ? order by <order>", bound to the channel.
db::KeptRead ChannelRowsRead(std::string_view table, std::string_view columns, int64_t channel_id,
                             std::string_view order);

}  // namespace folirex

#endif  // FOLIREX_CORE_CHANNEL_ROWS_H_
