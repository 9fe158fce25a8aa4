// Sub-class list blocks: one piece of template design repeated in a grid, once
// per article channel on the site home page (ShowSubClassListByChannel) and
// once per class on a channel's first page or a class list (ShowSubClassList).
// Each cell is the block body rendered again by the template engine.
//
// Runs on the request's worker. Rendering a grid changes the request's
// ChannelID, channel settings and SkinCssLink cell by cell; the functions put
// the page's own values back when the grid is done, so the page's labels still
// read its own channel. Database failures throw DbError.
#ifndef FOLIREX_SITE_SUB_CLASS_BLOCKS_H_
#define FOLIREX_SITE_SUB_CLASS_BLOCKS_H_

#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// Block i of a site home page; `design` is the block text, "[zarnik<i>]", the
// body,
// "[zarnik<i>]". A column count that is not one digit from 1 to 9 gives the
// block text as typed.
std::string ShowSubClassListByChannel(RequestState& state, const Variant& block_number,
                                      const Variant& design);

// One site home cell: the body rendered as a class list of channel `channel_id`
// without a class.
std::string ParseSubClassBlock(RequestState& state, const Variant& channel_id,
                               const Variant& generate_html, const Variant& body);

// The block of a first page ("first": the channel's top classes) or a class
// list ("classlist": the children of `class_id`); `design` is the block text,
// "[zarnik]", the body, "[zarnik]".
std::string ShowSubClassList(RequestState& state, const Variant& class_id, const Variant& page_type,
                             const Variant& design);

}  // namespace folirex

#endif  // FOLIREX_SITE_SUB_CLASS_BLOCKS_H_
