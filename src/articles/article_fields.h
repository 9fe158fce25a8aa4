// The article form's posted values, read and checked once for the add-save and the update: the
// rules of the form (defaults, keyword wrapping, link or content, paging, the hot minimum) and the
// checks that keep bad input out of the row (numbers in range, codes from their lists, texts
// within the form's lengths, the class, subject and template page belonging to the channel, a
// class that takes articles, a redirect link that would run script). The content comes back
// cleaned of script by the typed-HTML cleaner (core/html_clean.h), otherwise as typed.
//
// ReadArticleFields answers the first failed check through AlertBack (the request ends, nothing
// is written). It reads lookups on state.db.Conn with recordsets of its own. Request thread only.
#ifndef FOLIREX_ARTICLES_ARTICLE_FIELDS_H_
#define FOLIREX_ARTICLES_ARTICLE_FIELDS_H_

#include <array>
#include <cstdint>
#include <string>

#include "articles/article_channel.h"
#include "core/request_state.h"

namespace folirex {

// The title colours of the colour list, in list order.
inline constexpr std::array<const char*, 15> kTitleColors = {
    "#000000", "#FFFFFF", "#008000", "#800000", "#808000", "#000080", "#800080", "#808080",
    "#FFFF00", "#00FF00", "#00FFFF", "#FF00FF", "#FF0000", "#0000FF", "#008080"};

// The manual page break of the content.
inline constexpr char kNextPageMark[] = "[Vantrel_NextPage]";

struct ArticleFields {
  int64_t class_id = 0;
  int64_t subject_id = 0;
  int64_t title_prefix = 0;
  std::string title;
  std::string title_color;
  int64_t font_shape = 0;
  std::string long_title;
  std::string subtitle;
  bool show_comment_link = false;
  bool relative = false;
  std::string keyword;  // stored form: "|k1|k2|" or ""
  bool meta_relative = false;
  std::string meta_keyword;
  std::string author;
  std::string come_from;
  std::string link_url;  // "" when the article is not a link
  std::string summary;
  std::string content;
  std::string pic_url;
  std::string upload_files;  // lower-cased
  int64_t pagination = 0;
  int64_t max_char_per_page = 0;
  bool top = false;
  bool hot = false;
  bool recommend = false;
  int64_t stars = 0;
  int64_t click_times = 0;
  int64_t template_page = 0;
  bool publish_now = false;
};

// `update` chooses the wording of the hot-minimum message (the edit form speaks of 文章).
ArticleFields ReadArticleFields(RequestState& state, const ArticleChannel& channel, bool update);

// Whether a class of the tree takes articles: a class with sub-classes must be marked to.
bool ClassTakesArticles(int64_t child_count, bool add_article_flag);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_ARTICLE_FIELDS_H_
