// The channel bar: the script file js/ShowChannelMenu.js in the install folder, which pages
// include with a script element to draw a one-row table of links, the site home first and then
// every shown and enabled channel in channel order. It is rewritten whole after every change of
// the set of channels (creation, update, deletion, disabling, enabling) and by `folirex init`.
//
// Names, descriptions and addresses are encoded for their place in the bar's HTML, and the HTML
// for the script string. Call on one thread at a time per connection; database failures throw
// DbError.
#ifndef FOLIREX_TAXONOMY_CHANNEL_BAR_H_
#define FOLIREX_TAXONOMY_CHANNEL_BAR_H_

#include <string>
#include <string_view>

#include "core/request_state.h"
#include "platform/db/connection.h"

namespace folirex {

// The bar's HTML for the site whose install folder the browser addresses as `server_path`
// ("/" or "/site/"). Empty when exactly one channel is shown: a bar of one link is no bar.
std::string ChannelMenuHtml(Connection& conn, std::string_view server_path);

// The file's text: the bar's HTML as document.write lines (empty for an empty bar).
std::string ChannelMenuScript(Connection& conn, std::string_view server_path);

// The same with the install folder read from the site's configuration row, for callers outside
// a request (a new site).
std::string ChannelMenuScriptOfSite(Connection& conn);

// The site path of the file, from the install folder.
inline constexpr const char* kChannelMenuFile = "js/ShowChannelMenu.js";

// Writes the file for the request's site (Application "server_path"), creating the folder js
// when it is missing. False when the file could not be written.
bool Channel_CreateMenuJs(RequestState& state);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_CHANNEL_BAR_H_
