// What the design pages (template sets, template pages, skins) share: the current channel of the
// page with its breadcrumb word, the tip box and the bulk-delete row under their lists, the
// content of a text area that gives back exactly what it was filled with, and the link items of
// their message boxes.
//
// Call on the request's worker. OpenDesignChannel ends the request (AlertBack) when it refuses.
#ifndef FOLIREX_DESIGN_TEMPLATE_BLOCKS_H_
#define FOLIREX_DESIGN_TEMPLATE_BLOCKS_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/request_state.h"

namespace folirex {

inline constexpr char kDesignParameterError[] = "提示：参数错误！";

// The channel a design page works on, from the query string's channelid.
struct DesignChannel {
  int64_t id = 0;
  std::string id_text;  // the id as the page's addresses and statements carry it
  std::string label;    // the breadcrumb's item word (text, not encoded)
};

// A channelid that is not a plain id answers "提示：参数错误，请返回！". Channel 0 is the site
// itself where `site_allowed` (label 系统, no channel loaded); any other id loads the channel
// (InitChannel, which refuses a channel that does not exist) and takes its item word.
DesignChannel OpenDesignChannel(RequestState& state, bool site_allowed);

// The tip box under a list: 提示： in bold blue, then one "<li>" per item (markup).
std::string TipBox(std::initializer_list<std::string_view> items);

// The last row of a list with rows: the action select holding 删除 and the 执行 button, which
// posts the list form "delform" with the chosen action (doAction of admin/admin.js).
std::string BulkDeleteRow(int columns);

// The content of a text area for `text`: encoded for both quote kinds, after a line feed that
// the browser drops, so that a text starting with a line feed, holding "</textarea>" or quotes
// comes back from the form unchanged.
std::string TextAreaContent(std::string_view text);

// A link item of a message box to one of the page's own addresses (encoded for the attribute).
std::string PageLink(std::string_view url, std::string_view text);

// The number of characters of UTF-8 text.
int64_t CharacterCount(std::string_view text);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_TEMPLATE_BLOCKS_H_
