// The site configuration row, the day's date values and a console page's channel id and path.
//   LoadConfig      fills the site configuration fields of RequestState from Vantrel_Config and
//                   publishes the install folder as Application("server_path").
//   InitDateValues  keeps Application date_today, date_chinese, date_daystart, date_weekstart and
//                   date_monthstart for the server's current date (rewritten under the
//                   Application lock once a day).
//   GetChannelID    takes the query-string channelid of a console page; a value that is not a
//                   plain number answers AlertBack (the request ends).
//   GetChannelPath  gives a channel's folder as a site path and sets RequestState.ChannelDir.
#ifndef FOLIREX_CORE_SITE_CONFIG_H_
#define FOLIREX_CORE_SITE_CONFIG_H_

#include <string>

#include "core/request_state.h"

namespace folirex {

// Throws DbError when the configuration table cannot be read.
void LoadConfig(RequestState& state);
void InitDateValues(RequestState& state);
// The same for a given day (the entry passes today).
void InitDateValues(RequestState& state, const DateTime& today);
void GetChannelID(RequestState& state);
std::string GetChannelPath(RequestState& state, const Variant& id);

// The logo/banner HTML for a file and its size: the Flash form for a ".swf" file, else an image.
std::string MediaHtml(const std::string& file, const std::string& width, const std::string& height);

}  // namespace folirex

#endif  // FOLIREX_CORE_SITE_CONFIG_H_
