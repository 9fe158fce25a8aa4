// Links of the publishing console pages that change something (write a file, move or delete a
// row): they post through one small form, never as a plain address, so that a link followed from
// elsewhere changes nothing. The link keeps the look of a plain link.
//
// PostLinkForm() is written once on a page that carries post links, outside any other form (a
// form inside a form is dropped by the browser). Both return markup; the URL is encoded here, the
// inner HTML and the question are the caller's own constant texts.
#ifndef FOLIREX_PUBLISHING_POST_LINK_H_
#define FOLIREX_PUBLISHING_POST_LINK_H_

#include <string>
#include <string_view>

namespace folirex {

// The form the links post through, and its script.
std::string PostLinkForm();

// A link to `url` that posts to it; with a `question`, only once the visitor confirms it.
std::string PostLink(std::string_view url, std::string_view inner_html,
                     std::string_view question = "");

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_POST_LINK_H_
