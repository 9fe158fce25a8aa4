// Markup the two collection pages share: the script that turns a link into a posted form (so a
// link that changes something posts, and a plain address changes nothing), and the class select
// of a channel.
#ifndef FOLIREX_COLLECTION_CONSOLE_BITS_H_
#define FOLIREX_COLLECTION_CONSOLE_BITS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/request_state.h"

namespace folirex {

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
