// The article record: every column that the article form shows and the save writes, as one
// value. The add form draws a new record's proposals (the defaults below), the edit form a record
// read from a stored row (ArticleFromRow); the add-save and the update read the posted form into a
// record (ReadArticleFields) and write its columns (SetArticleColumns).
//
// ReadArticleFields applies the rules of the form (defaults, keyword wrapping, link or content,
// paging, the hot minimum) and the checks that keep bad input out of the row (numbers in range,
// codes from their lists, texts within the form's lengths, the class, subject and template page
// belonging to the channel, a class that takes articles, a redirect link that would run script).
// The content comes back cleaned of script by the typed-HTML cleaner (core/html_clean.h),
// otherwise as typed. It answers the first failed check through AlertBack (the request ends,
// nothing is written), and reads lookups on state.db.Conn with recordsets of its own. Request
// thread only.
#ifndef FOLIREX_ARTICLES_ARTICLE_FIELDS_H_
#define FOLIREX_ARTICLES_ARTICLE_FIELDS_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "articles/article_channel.h"
#include "core/request_reader.h"
#include "core/request_state.h"
#include "platform/db/recordset.h"

namespace folirex {

// The title colours of the colour list, in list order.
inline constexpr std::array<const char*, 15> kTitleColors = {
    "#000000", "#FFFFFF", "#008000", "#800000", "#808000", "#000080", "#800080", "#808080",
    "#FFFF00", "#00FF00", "#00FFFF", "#FF00FF", "#FF0000", "#0000FF", "#008080"};

// The manual page break of the content.
inline constexpr char kNextPageMark[] = "[Vantrel_NextPage]";

// The defaults are what the add form proposes for a new article.
struct ArticleRecord {
  int64_t class_id = -1;  // -1: no class chosen yet (the form selects none)
  int64_t subject_id = 0;
  int64_t title_prefix = 0;
  std::string title;
  std::string title_color;
  int64_t font_shape = 0;
  std::string long_title;
  std::string subtitle;
  bool show_comment_link = false;
  bool relative = true;
  std::string keyword;  // stored form: "|k1|k2|" or ""
  bool meta_relative = true;
  std::string meta_keyword;
  std::string author;
  std::string come_from = "本站原创";
  std::string link_url;  // "" when the article is not a link
  std::string summary;
  std::string content;
  std::string pic_url;
  std::string upload_files;  // lower-cased when posted
  int64_t pagination = 0;
  int64_t max_char_per_page = 10000;
  bool top = false;
  bool hot = false;
  bool recommend = false;
  int64_t stars = 3;
  int64_t click_times = 0;
  int64_t template_page = 0;
  bool publish_now = false;
};

// The record of the current row of `rs` (a select of Vantrel_Article), the short texts trimmed.
ArticleRecord ArticleFromRow(Recordset& rs);

// The keywords as the form's box shows them: the stored "|k1|k2|" without its outer bars.
std::string KeywordAsTyped(const std::string& stored);

// The posted form as `in` reads it (the combined collection), checked. `update` chooses the wording
// of the hot-minimum message (the edit form speaks of 文章).
ArticleRecord ReadArticleFields(RequestState& state, const RequestReader& in,
                                const ArticleChannel& channel, bool update);

// Sets every column the form writes on the current row of the updatable `rs`.
void SetArticleColumns(Recordset& rs, const ArticleRecord& f);

// Whether a class of the tree takes articles: a class with sub-classes must be marked to.
bool ClassTakesArticles(int64_t child_count, bool add_article_flag);
// Whether class `class_id` of the channel takes articles; nullopt when the channel has no such
// class.
std::optional<bool> ChannelClassTakesArticles(Connection& conn, int64_t class_id,
                                              int64_t channel_id);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_ARTICLE_FIELDS_H_
