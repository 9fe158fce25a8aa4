// The frame of a channel's console page: the channel of the query string's channelid, kept as
// the request's channel (state.channel), and the breadcrumb that names it by its item word. Pages
// that work on one channel (classes, subjects, keywords, articles, templates, skins) open it the
// same way.
//
// Call on the request's worker with the request's open database. A refused channel ends the
// request through AlertBack.
#ifndef FOLIREX_CONSOLE_CHANNEL_PAGE_H_
#define FOLIREX_CONSOLE_CHANNEL_PAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/request_state.h"

namespace folirex {

// The channel a console page works on.
struct ConsoleChannel {
  int64_t id = 0;
  std::string id_text;  // the id as digits, for the page's addresses and statements
  std::string word;     // the channel's item word (d_projectname), as stored; 系统 for the site
};

// GetChannelID, as a plain id: anything else (also a number too large to be one) answers
// "提示：参数错误，请返回！". Channel 0 is the site itself where `site_allowed` (word 系统,
// nothing loaded); any other id is loaded by InitChannel, which answers
// "提示：请先设置频道信息表！" for an id without a channel row.
ConsoleChannel OpenConsoleChannel(RequestState& state, bool site_allowed = false);

// AdminNavi with "当前位置：" + the item word (encoded) + "管理>>" + `tail` (markup).
void ChannelNavi(RequestState& state, const ConsoleChannel& channel, std::string_view tail);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_CHANNEL_PAGE_H_
