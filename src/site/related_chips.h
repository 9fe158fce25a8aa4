// Three small chips of the template language: the related-article list of an article page
// (listarticlecorrelative), the member ranking (ListTopUser) and the script tag of a channel's
// JS snippet file (JSFile). Each returns the HTML that replaces its chip, "" when its parameters
// fail their checks. None writes the database.
//
// Related articles are approved articles of `channel` (the channel the page is drawn for) outside
// the recycle bin, each listed once, whether they are found through the article's own keywords or
// through the keyword library; the JS file's script tag points into that channel's folder.
//
// What goes in: the related articles' titles (link text and tool tip) and the members' nicknames
// are text and go in encoded (HtmlEscape; the nicknames through HTMLEncode); the JS file name
// is encoded for its attribute; the tables, links and headings are the chips' own markup, with
// ids, counts, the install path and the channel and class folders (plain folder names the
// console keeps) as they are. Request thread only; database errors throw DbError.
#ifndef FOLIREX_SITE_RELATED_CHIPS_H_
#define FOLIREX_SITE_RELATED_CHIPS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/request_state.h"
#include "platform/db/sql_params.h"

namespace folirex {

struct LoadedArticle;

// What the related-article list reads: `select` (empty when the article's keywords name nothing,
// which the list says) and whether it reads the keyword index.
struct RelatedRead {
  BoundSql select;
  bool indexed = false;
  int64_t title_width = 0;
};

// chip_value: the whole TemplateChip value ("listarticlecorrelative:count,titlewidth").
// `loaded`: the article of article_id as the page read it already, or null to read it here.
// nullopt when the chip draws nothing.
std::optional<RelatedRead> RelatedArticlesRead(RequestState& state, const ChannelSettings& channel,
                                               const Variant& chip_value, const Variant& page_type,
                                               std::optional<int64_t> article_id,
                                               const LoadedArticle* loaded);
// The list of what `read` reads (its rows read ahead when they were, core/reads_ahead.h).
std::string ShowArticleCorrelative(RequestState& state, const ChannelSettings& channel,
                                   const std::optional<RelatedRead>& read);
// The two in one.
std::string ShowArticleCorrelative(RequestState& state, const ChannelSettings& channel,
                                   const Variant& chip_value, const Variant& page_type,
                                   std::optional<int64_t> article_id,
                                   const LoadedArticle* loaded = nullptr);

// kind: "1" by articles, "2" by comments, "3" by money spent.
std::string ShowTopUser(RequestState& state, const Variant& count, const Variant& kind);

std::string ShowJsFile(RequestState& state, const ChannelSettings& channel,
                       const Variant& file_name);

}  // namespace folirex

#endif  // FOLIREX_SITE_RELATED_CHIPS_H_
