// What the two collection pages share: what they keep of their request, the head of their
// search bars, the script that turns a link into a posted form (so a link that changes something
// posts, and a plain address changes nothing), and the class select of a channel.
#ifndef FOLIREX_COLLECTION_CONSOLE_BITS_H_
#define FOLIREX_COLLECTION_CONSOLE_BITS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// The request a collection page answers (it outlives the page), the page's channel (its id, and
// the id as text for addresses) and the list's search values as a query (URL-encoded, with the
// channel), which the page fills in.
struct CollectPageBase {
  explicit CollectPageBase(const ConsolePage& frame)
      : request(&frame.request), channel(frame.channel.id), channel_text(frame.channel.id_text) {}
  const ConsoleRequest* request;
  int64_t channel = 0;
  std::string channel_text;
  std::string list_query;
};

// The search bar's table up to its first cell: the position "<project>管理>><where>".
std::string CollectNaviHead(RequestState& state, std::string_view where);

// Defines collectPost(url): posts an empty form to the url. Links call it from onclick.
std::string CollectPostScript();

// An anchor to `url` (a page address, encoded here) that posts when clicked.
std::string PostLink(std::string_view url, std::string_view inner_html);

// The class select of the channel: "不属于任何分类..." (0) first, then the classes in tree order
// indented by level, the selected one marked.
std::string ArticleCollectSet_ClassSelect(DatabaseState& db, int64_t channel,
                                          std::string_view field, std::string_view selected);

}  // namespace folirex

#endif  // FOLIREX_COLLECTION_CONSOLE_BITS_H_
