// The frame of a channel's console page: the channel of the query string's channelid with its
// settings, handed to the page, and the breadcrumb that names it by its item word. Pages that
// work on one channel (classes, subjects, keywords, articles, templates, skins) open it the same
// way and pass its settings to what they call.
//
// The settings are also kept as the request's channel (state.channel) for the site's renderers,
// which static generation and the article saves call and which draw the request's channel.
//
// Call on the request's worker with the request's open database. A refused channel ends the
// request through AlertBack.
#ifndef FOLIREX_CONSOLE_CHANNEL_PAGE_H_
#define FOLIREX_CONSOLE_CHANNEL_PAGE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/request_state.h"

namespace folirex {

// The channel a console page works on.
struct ConsoleChannel {
  int64_t id = 0;
  std::string id_text;  // the id as digits, for the page's addresses and statements
  std::string word;     // the channel's item word (d_projectname), as stored; 系统 for the site
  ChannelSettings settings;  // the channel's row (InitChannel); empty for the site
};

// The channel `id` (the console request's channelid): absent (missing or not a plain id) answers
// "提示：参数错误，请返回！". Channel 0 is the site itself where `site_allowed` (word 系统,
// nothing loaded); any other id is loaded by InitChannel, which answers
// "提示：请先设置频道信息表！" for an id without a channel row.
ConsoleChannel OpenConsoleChannel(RequestState& state, std::optional<int64_t> id,
                                  bool site_allowed = false);

// AdminNavi with "当前位置：" + the item word (encoded) + "管理>>" + `tail` (markup).
void ChannelNavi(RequestState& state, const ConsoleChannel& channel, std::string_view tail);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_CHANNEL_PAGE_H_
