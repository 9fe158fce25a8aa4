// The site configuration row, the day's date values and a channel's folder and path.
//   LoadConfig       fills a SiteConfig from Vantrel_Config and publishes the install folder as
//                    Application("server_path").
//   InitDateValues   keeps Application date_today, date_chinese, date_daystart, date_weekstart
//                    and date_monthstart for the server's current date (rewritten under the
//                    Application lock once a day).
//   GetChannelFolder gives a channel's folder, as a site path and as ChannelDir holds it;
//   GetChannelPath   the site path alone. Neither changes the current channel's settings.
//   FindChannelRow   gives a channel's row, all channels read once per request.
// The database functions read on db.Conn, which must be open. Request thread only.
#ifndef FOLIREX_CORE_SITE_CONFIG_H_
#define FOLIREX_CORE_SITE_CONFIG_H_

#include <string>
#include <vector>

#include "core/request_state.h"

namespace folirex {

// Reads through the shared recordset db.Rs. Without a configuration row `site` is left as it
// was. Also tells host.Server whether the site can send mail. Throws DbError when the
// configuration table cannot be read.
void LoadConfig(DatabaseState& db, const HostObjects& host, SiteConfig& site);
void InitDateValues(const HostObjects& host);
// The same for a given day (the entry passes today).
void InitDateValues(const HostObjects& host, const DateTime& today);

// A channel's folder: `path` from the web root ("/" + install folder + folder + "/", or the
// install folder when the channel has no folder, does not exist or the id is not a plain number)
// and `dir` as ChannelDir holds it ("news/", or ""), from the request's channel rows
// (FindChannelRow).
struct ChannelFolder {
  std::string path;
  std::string dir;
};
ChannelFolder GetChannelFolder(const HostObjects& host, DatabaseState& db, RequestCaches& caches,
                               const Variant& id);
std::string GetChannelPath(const HostObjects& host, DatabaseState& db, RequestCaches& caches,
                           const Variant& id);

// The row of channel `id` from the request's copy of Vantrel_Channel (caches.ChannelRows, read
// with one statement through a recordset of its own the first time a page asks); nullptr when no
// channel has that id. On a database server (PostgreSQL) the selects of caches.ReadWithChannels
// go with that first read, in one exchange, and their rows to caches.ReadAhead.
const RequestCaches::ChannelRow* FindChannelRow(DatabaseState& db, RequestCaches& caches,
                                                int64_t id);

// A column of a channel's row (lower-case name); Null when the row has no such column.
const Variant& ChannelValue(const RequestCaches::ChannelRow& row, const char* column);

// The channels a site shows in its lists of channels (of type 1, named and not disabled) in the
// order of d_order (ties by id), from the request's copy of Vantrel_Channel.
std::vector<const RequestCaches::ChannelRow*> ShownChannels(DatabaseState& db,
                                                            RequestCaches& caches);

// The logo/banner HTML for a file and its size: the Flash form for a ".swf" file, else an image.
std::string MediaHtml(const std::string& file, const std::string& width, const std::string& height);

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_CONFIG_H_
