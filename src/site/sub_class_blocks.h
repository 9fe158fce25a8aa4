// Sub-class list blocks: one piece of template design repeated in a grid, once
// per article channel on the site home page (ShowSubClassListByChannel) and
// once per class on a channel's first page or a class list (ShowSubClassList).
// Each cell is the block body rendered again by the template engine.
//
// A site home cell is drawn as a page of its channel: the channel's settings are
// loaded into a value and the engine draws the cell with it (template_engine.h);
// the request's channel settings are neither read nor changed. A class cell is
// drawn by the class list handler for the channel the page is drawn for, with
// the class's own skin; the page's skin is a value and stays the page's. The
// grids are the blocks' own markup; what the cells put in is the engine's
// decision. Runs on the request's worker. Database failures throw DbError.
#ifndef FOLIREX_SITE_SUB_CLASS_BLOCKS_H_
#define FOLIREX_SITE_SUB_CLASS_BLOCKS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"
#include "site/template_engine.h"

namespace folirex {

// Block i of a site home page; `design` is the block text, "[zarnik<i>]", the
// body, "[zarnik<i>]". Each cell is the body rendered as a class list of its
// channel without a class, with the page's skin. A column count that is not one
// digit from 1 to 9 gives the block text as typed.
std::string ShowSubClassListByChannel(RequestState& state, const PageSkin& skin,
                                      int64_t block_number, const Variant& design);

// The block of a first page ("first": the top classes of `channel`) or a class
// list ("classlist": the children of `class_id`, of class 0 without one); `design` is the
// block text, "[zarnik]", the body, "[zarnik]".
std::string ShowSubClassList(RequestState& state, const ChannelSettings& channel,
                             std::optional<int64_t> class_id, const Variant& page_type,
                             const Variant& design);

}  // namespace folirex

#endif  // FOLIREX_SITE_SUB_CLASS_BLOCKS_H_
