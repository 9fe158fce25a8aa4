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
// The page's skin and the channel the page is drawn for come in as values (PageSkin,
// ChannelSettings): a page handler passes the request's channel (state.channel), a site home block
// passes each cell's channel (sub_class_blocks.h). Every label and chip of the page reads that
// value, never state.channel, and the call changes no channel settings of the request. A chip that
// lists another channel draws with that channel's settings as a value of its own (article_list.h,
// article_pic.h).
//
// What the labels put into the page:
// - text, encoded (HtmlEscape: fit for element text and for attribute values of either quote
//   kind): the page title ({$showpagetitle}: the site name, the article title, the class or
//   subject name), {$showpagekeyword} (the site's keywords, the article's meta keywords or the
//   library keywords its title holds), {$showpagedesc} (the site's description; on a content
//   page the article's summary, which the article loader gives already encoded), the site
//   address {$showsiteurl} and {$showwebmasteremail}, {$showchannelname}, {$showprojectname},
//   {$showclassname}, {$showsubjectname}, {$showarticletitle}, {$showarticlesubtitle} and
//   {$showarticlelongtitle}; {$showarticleauthor}, {$showarticleinputer},
//   {$showarticleeditor} and {$showarticlecomefrom} come encoded from the article loader;
// - the site's own HTML, as it stands: the template text itself, the article body
//   ({$showarticlecontent}), the logo, banner and copyright blocks ({$showlogo}, {$showbanner},
//   {$showcopyright}, typed as HTML by the site's owner in the configuration);
// - markup built by the engine and its renderers, which encode the stored text they put in
//   (location_path.h, small_labels.h, announcements.h, related_chips.h, article_list.h,
//   article_pic.h, search.h, comments.h): the path, the neighbour links, the statistics, the
//   lists, the footer, the click script, the property marks, the links and the skin link;
// - numbers, dates and folders as they are: ids, the skin number, the update time, the install
//   folder and the channel folder (plain folder names the console keeps).
//
// Article pages ("content", "print", "comment", "tellfriend") load their article once per call;
// when it does not exist the result is "" (provided the template holds a label). The engine writes
// nothing to the response. It may re-enter itself once (block cells are rendered as class lists).
// Database errors of the called renderers propagate. Request thread only.
#ifndef FOLIREX_SITE_TEMPLATE_ENGINE_H_
#define FOLIREX_SITE_TEMPLATE_ENGINE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/reads_ahead.h"
#include "core/request_state.h"
#include "platform/db/sql_params.h"
#include "platform/db/variant.h"

namespace folirex {

// The skin of the page being drawn: the <link> element of its stylesheet ({$showcss}) and its skin
// number ({$showcssdir}). GetPageSkin (public_pages.h) gives a template page's.
struct PageSkin {
  std::string css_link;
  std::string skin_id;
};

// The chip and label values that a run of pages can share: a caller that draws many pages in a
// row (a generation step) keeps one and passes it to each page. Only values that depend on nothing
// of the page's article are kept: the article list, picture list, announcement, top-user and JS
// file chips, and the path, channel name, project name, statistics, list link and class and
// subject name labels, each under every page argument its renderer reads (the channel, the page
// type, the class, the subject and the publishing mode; a paged list chip also its page number
// and size). The article, its keywords, related articles, comments and neighbours are drawn for
// every page. The values stay as first drawn, so keep the cache no longer than the rows they show
// stay unchanged (one generation step). Not thread-safe; it belongs to one request.
struct NeighbourRows;
class PageValueCache {
 public:
  PageValueCache();
  ~PageValueCache();
  PageValueCache(const PageValueCache&) = delete;
  PageValueCache& operator=(const PageValueCache&) = delete;

  // The value kept under key, or null.
  const std::string* Find(const std::string& key) const;
  void Store(const std::string& key, std::string value);

  // The previous and next articles of the run's articles, read at once (LoadNeighbourRows,
  // location_path.h); null until kept, and then each page reads its own.
  void KeepNeighbours(NeighbourRows rows);
  const NeighbourRows* neighbours() const { return neighbours_.get(); }

 private:
  std::unordered_map<std::string, std::string> values_;
  std::unique_ptr<NeighbourRows> neighbours_;
};

// The arguments of one page: what a page type does not use stays at its default (no id, no
// page number, no search values).
struct LoadedArticle;

struct TemplateArgs {
  std::string page_type{};  // matched without regard to case
  // The publishing mode the page is drawn in ("0", "1", "2").
  std::string generate_html{};
  std::optional<int64_t> article_id{};
  std::optional<int64_t> class_id{};
  std::optional<int64_t> subject_id{};
  // A paged list's page (absent: the one the request asks for) and rows a page (0: the pager's).
  std::optional<int64_t> page_number{};
  int64_t page_size = 0;
  std::string search_type{};
  std::optional<int64_t> search_class{};
  std::string search_keyword{};
  std::optional<int64_t> search_order{};
  std::optional<int64_t> notice_id{};
  // The article of article_id as the caller read it already (LoadArticle), or null.
  const LoadedArticle* article = nullptr;
};

// What drawing the text as a page of `channel` with `args` reads, for reading it ahead
// (ReadAhead): its whole lists (WholeListSelect, site/article_list.h), its pictures' lists and,
// on an article page that links them, its article's neighbours. (The related articles, which
// need the article's keywords, the page plans itself.)
PageReads PageReadsOf(RequestState& state, const ChannelSettings& channel,
                      const std::string& template_text, const TemplateArgs& args);

// `channel` must outlive the call.
std::string ParseTemplate(RequestState& state, const ChannelSettings& channel, const PageSkin& skin,
                          std::string& template_text, const TemplateArgs& args);

// A page with the content pages of its article: for a paged article each page followed by
// kPageSeparator (the page holds kPagePlaceholder where they go), else "". An article the caller
// gave (args.article) keeps its pages: article_pages is then "".
struct ParsedPage {
  std::string html;
  std::string article_pages;
};

// ParseTemplate, with the article's content pages, drawing the values it can share from
// `shared` (null: none shared), which must outlive the call.
ParsedPage ParseTemplatePage(RequestState& state, const ChannelSettings& channel,
                             const PageSkin& skin, std::string& template_text,
                             const TemplateArgs& args, PageValueCache* shared = nullptr);

}  // namespace folirex

#endif  // FOLIREX_SITE_TEMPLATE_ENGINE_H_
