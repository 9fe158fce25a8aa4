// The template engine: turns the text of one template page into the finished HTML of one public
// page. It finds every distinct label ({$...}), chip (an <img> tag whose TemplateChip attribute
// names a list renderer and its parameters) and sub-class block (ListSubClassList ...
// EndSubClassList) once, computes each value once, and writes them all in one replacement pass, so
// a value that holds label-like text is never evaluated again. Labels are matched without regard to
// case. Which labels and chips a page knows depends on its page type ("default", "first",
// "classlist", "subjectlist", "search", "content", "print", "comment", "tellfriend", "notice",
// "hotlist", "recommendlist", "newlist").
//
// ParseTemplate takes the template text BY REFERENCE: on the site home page ("default") and on
// first and class list pages it rewrites the caller's variable, putting the block markers
// {$zarnik1}, {$zarnik2}, ... or {$zarnik} where the blocks stood. Pass a copy when the text must
// stay as it was.
//
// The page's skin comes in as a value (PageSkin); the page's channel is state.channel, which is
// the same after the call as before. A chip that lists another channel draws with that channel's
// settings as a value of its own (article_list.h, article_pic.h); the cells of the site home blocks
// are drawn as pages of their channels (sub_class_blocks.h).
//
// Article pages ("content", "print", "comment", "tellfriend") load their article once per call;
// when it does not exist the result is "" (provided the template holds a label). The engine writes
// nothing to the response. It may re-enter itself once (block cells are rendered as class lists).
// Database errors of the called renderers propagate. Request thread only.
#ifndef FOLIREX_SITE_TEMPLATE_ENGINE_H_
#define FOLIREX_SITE_TEMPLATE_ENGINE_H_

#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// The skin of the page being drawn: the <link> element of its stylesheet ({$showcss}) and its skin
// number ({$showcssdir}). GetPageSkin (public_pages.h) gives a template page's.
struct PageSkin {
  std::string css_link;
  std::string skin_id;
};

// Arguments a page type does not use are passed as empty text ("").
std::string ParseTemplate(RequestState& state, const PageSkin& skin, std::string& template_text,
                          const Variant& page_type, const Variant& generate_html,
                          const Variant& article_id, const Variant& class_id,
                          const Variant& subject_id, const Variant& page_number,
                          const Variant& page_size, const Variant& search_type,
                          const Variant& search_class, const Variant& search_keyword,
                          const Variant& search_order, const Variant& notice_id);

// A page with the content pages of its article: for a paged article each page followed by
// kPageSeparator (the page holds kPagePlaceholder where they go), else "".
struct ParsedPage {
  std::string html;
  std::string article_pages;
};

// ParseTemplate, with the article's content pages.
ParsedPage ParseTemplatePage(RequestState& state, const PageSkin& skin, std::string& template_text,
                             const Variant& page_type, const Variant& generate_html,
                             const Variant& article_id, const Variant& class_id,
                             const Variant& subject_id, const Variant& page_number,
                             const Variant& page_size, const Variant& search_type,
                             const Variant& search_class, const Variant& search_keyword,
                             const Variant& search_order, const Variant& notice_id);

}  // namespace folirex

#endif  // FOLIREX_SITE_TEMPLATE_ENGINE_H_
