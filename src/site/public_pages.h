// The public page handlers: each turns one public request into one page by finding the template
// page of its page type (the channel's template set, or an own template page of the article, class,
// subject or site), taking that template page's skin and running the template engine with it.
// GetPageSkin gives a template page's skin.
//
// Handlers return the page text, which the entry writes once; ShowDefault writes its page itself
// and returns "". A page whose template page is not there (its set maps none of the type, or the
// page id it names is gone) answers a short page that says so instead of an empty one. Ids come as
// numbers or absent, as the entry parsed them (PublicRequest): an absent article, class or subject
// id, like one that names no row, answers the page's alert script as the whole page (the response
// is not ended). The handlers draw the request's channel (state.channel); the sub-class blocks call
// ShowClassList with the channel their page is drawn for. Database errors throw DbError. Request
// thread only.
#ifndef FOLIREX_SITE_PUBLIC_PAGES_H_
#define FOLIREX_SITE_PUBLIC_PAGES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/request_state.h"
#include "platform/db/variant.h"
#include "site/template_engine.h"

namespace folirex {

// The answer of the content, print, comment and tell-a-friend pages when their article is not on
// the site (missing, malformed id, in the recycle bin or waiting for approval).
inline constexpr const char kBadArticle[] =
    "<script>alert('传入文章id错误！');history.go(-1)</script>";

// True for an article that is on the site: a row neither in the recycle bin nor waiting for
// approval. Every page that shows or sends an article asks this first.
bool IsPublishedArticle(RequestState& state, std::optional<int64_t> article_id);

// The channel's template page of the type (with its skin) drawn for one article: the comment
// and tell-a-friend pages.
std::string ShowArticlePage(RequestState& state, const char* page_type,
                            std::optional<int64_t> article_id);

std::string ShowDefault(RequestState& state);
std::string ShowFirst(RequestState& state);
std::string ShowSearch(RequestState& state, std::string_view search_type,
                       std::optional<int64_t> search_class, std::string_view search_keyword,
                       std::optional<int64_t> search_order);
std::string ShowPrint(RequestState& state, std::optional<int64_t> article_id);
std::string ShowNotice(RequestState& state, std::optional<int64_t> notice_id);
// Reads and writes nothing: the user list has no page.
std::string ShowUserList(RequestState& state);
std::string ShowContent(RequestState& state, std::optional<int64_t> article_id);
// A non-empty template_text is rendered in place of the class's template page (the sub-class blocks
// pass their block body); the skin link and the page size stay those of the class.
std::string ShowClassList(RequestState& state, std::optional<int64_t> class_id,
                          std::string_view template_text);
// The same drawn for `channel` (its template set, folder and HTML mode).
std::string ShowClassList(RequestState& state, const ChannelSettings& channel,
                          std::optional<int64_t> class_id, std::string_view template_text);
std::string ShowSubjectList(RequestState& state, std::optional<int64_t> subject_id);
std::string ShowHotList(RequestState& state);
std::string ShowRecommendList(RequestState& state);
std::string ShowNewList(RequestState& state);

// The skin of a template page drawn for `channel`: its number and the <link> element of its
// stylesheet; by template set and page type when template_id is not empty, else by
// template_page_id. The home page ("default") links under the install folder, every other page
// type under the channel's folder (GetChannelPath). No skin row: Skin/1.css.
PageSkin GetPageSkin(RequestState& state, const ChannelSettings& channel,
                     const Variant& template_id, const Variant& template_page_id,
                     const Variant& page_type);
// GetPageSkin's <link> element alone.
std::string GetSkinCssLink(RequestState& state, const ChannelSettings& channel,
                           const Variant& template_id, const Variant& template_page_id,
                           const Variant& page_type);

}  // namespace folirex

#endif  // FOLIREX_SITE_PUBLIC_PAGES_H_
