#include "core/channel_rows.h"

#include <string>

namespace folirex {

db::KeptRead ChannelRowsRead(std::string_view table, std::string_view columns, int64_t channel_id,
                             std::string_view order) {
  return db::KeptRead{.tables = {table},
                      .sql = "select " + std::string(columns) + " from " + std::string(table) +
                             " where d_channelid = ? order by " + std::string(order),
                      .values = {Variant(channel_id)}};
}

}  // namespace folirex
