// Article loading and content paging. LoadArticle reads one article with its class settings into
// the fixed array of values that the article labels show, and cuts a paged article into content
// pages, returned with the values (each page followed by the separator "[zarnik_pagemark]"; the
// content value is then the placeholder "{$zarnik_pagemark}"). GetContentFileName gives the file
// name of an article's first static page.
//
// Paging happens only when the channel's HTML mode (channel.GenerateHtml) is not "0": manual
// paging splits at "[Vantrel_NextPage]", automatic paging cuts pages of d_maxcharperpage
// characters, moving each cut out of a tag or entity and never leaving an empty page; an automatic
// cut that leaves one page is no paging. A manually paged article shown as one page (mode "0")
// loses its page breaks in the content value; the summary never shows them. A recycled or
// unapproved article loads like any other (the public pages refuse it themselves).
//
// The slots marked encoded hold text encoded for a page; the other text slots hold the stored
// values (titles, keywords: the caller encodes them for their place; the content: the site's own
// HTML).
//
// LoadArticle: no id, an id of more than 18 digits, or no article with the id, gives
// std::nullopt. It reads through a recordset of its own on
// db.Conn, which must be open. Database errors throw DbError. Request thread only.
#ifndef FOLIREX_SITE_ARTICLE_LOADER_H_
#define FOLIREX_SITE_ARTICLE_LOADER_H_

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/request_state.h"
#include "platform/db/sql_params.h"
#include "platform/db/variant.h"

namespace folirex {

// Content paging markers.
inline constexpr const char* kManualPageBreak = "[Vantrel_NextPage]";
inline constexpr const char* kPagePlaceholder = "{$zarnik_pagemark}";
inline constexpr const char* kPageSeparator = "[zarnik_pagemark]";

// The slots of the article value array.
enum ArticleSlot {
  kArticleTitle = 0,              // d_title
  kArticleSubtitle = 1,           // d_subtitle
  kArticleLongTitle = 2,          // d_longtitle, else d_title
  kArticleClassId = 3,            // d_classid as text
  kArticleClassDir = 4,           // the class folder, "" without one
  kArticleAuthor = 5,             // HTML-encoded, "未知" when empty
  kArticleAddTime = 6,            // d_addtime
  kArticleRawContent = 7,         // d_content as stored
  kArticleInputer = 8,            // HTML-encoded
  kArticleEditor = 9,             // HTML-encoded
  kArticleComeFrom = 10,          // HTML-encoded, "未知" when empty
  kArticleLinkUrl = 11,           // d_linkurl
  kArticleClicks = 12,            // d_clicktimes
  kArticleKeyword = 13,           // d_keyword ("|a|b|")
  kArticleProperty = 14,          // top / hot / recommend marks and stars
  kArticleTemplatePage = 15,      // d_templatepageid
  kArticleContent = 16,           // d_content, or kPagePlaceholder when paged
  kArticleCommentFlag = 17,       // the class's d_commentflag; true without a class
  kArticleCommentCheckFlag = 18,  // the class's d_commentcheckflag; true without a class
  kArticleSummary = 19,           // d_summary encoded as text, else ArticleSummary of the
                                  // content
  kArticleMetaRelative = 20,      // d_metarelativeflag
  kArticleMetaKeyword = 21,       // d_metakeyword
  kArticleRelativeFlag = 22,      // d_relativeflag
  kArticleSubjectId = 23,         // d_subjectid as text
  kArticlePublished = 24,         // true unless in the recycle bin or waiting for approval
  kArticleSlotCount = 25,
};

using ArticleValues = std::array<Variant, kArticleSlotCount>;

// One article as LoadArticle reads it: the label values, and for a paged article its content
// pages. A long body is kept once: when the content value is the stored body, slot
// kArticleContent of `values` is left empty and operator[] answers the stored body for it, and
// the content pages are places in the stored body.
struct LoadedArticle {
  // A content page: where it starts in the stored body's text, and its length in bytes.
  struct PageSpan {
    size_t start;
    size_t size;
  };

  ArticleValues values;
  // The content pages, in order; none when the article is not paged.
  std::vector<PageSpan> page_spans;
  // The content value is values[kArticleRawContent].
  bool content_as_stored = false;

  const Variant& operator[](ArticleSlot slot) const {
    return slot == kArticleContent && content_as_stored ? values[kArticleRawContent] : values[slot];
  }
  // The text of content page i.
  std::string_view Page(size_t i) const;
  // Each content page followed by kPageSeparator; "" when the article is not paged.
  std::string JoinedPages() const;
};

// channel: the settings of the channel the article is shown in (its HTML mode decides paging).
// `read_ahead`: the request's caches, whose rows read ahead (core/reads_ahead.h) answer when they
// hold the article's select.
std::optional<LoadedArticle> LoadArticle(DatabaseState& db, const ChannelSettings& channel,
                                         std::optional<int64_t> article_id,
                                         RequestCaches* read_ahead = nullptr);
// The select LoadArticle reads for an article, for reading it ahead.
BoundSql ArticleSelect(int64_t article_id);

// A long article's stored body and the page made of it, counted while the page is built
// (Response::Reserve): twice the body once it passes 64 KB. A visitor's page refused the room
// ends there, and the host answers 503.
void ChargeLongArticle(RequestState& state, const LoadedArticle& article);

// The pages of automatically paged content, of `size` characters each: a cut that would fall
// inside a tag or an entity moves back to its start, or, when that would leave the page empty,
// on past its end; no page is empty. Views into the text. Pure.
std::vector<std::string_view> CutContentPages(std::string_view text, size_t size);

// The summary made for an article without one: the first 130 characters of its body's text
// (page breaks, tags, quotes and angle brackets dropped, "&quot;", "&nbsp;" and "&amp;" taken
// out, white space made single spaces, trimmed). A long body is read only as far as its summary
// needs. Pure.
std::string ArticleSummary(std::string_view content);

// The first page's file name by the channel's rule (file_type 0 id, 1 date, 2
// folder_id, 3 folder_date; anything else ""), without any folder. channel_dir
// is ChannelDir ("news/" or
// ""); extension includes its point. Pure.
std::string GetContentFileName(const Variant& channel_dir, const Variant& article_id,
                               const Variant& add_time, const Variant& file_type,
                               const Variant& extension);

}  // namespace folirex

#endif  // FOLIREX_SITE_ARTICLE_LOADER_H_
