// The static page writers of a channel: its first page, the pages of one class or subject list,
// the hot, recommended and newest lists, and every JS snippet file. Each renders through the
// public site's template engine exactly as the dynamic page of the same address would, and writes
// the files the public pages link to when the channel runs in a static mode:
//
//   first page        <channel>default<first ext>
//   class list        <channel><class dir>/List_<id>[_n]<ext>  (list folder code 0, class folder,
//                                                              one or more plain names)
//                     <channel>List_<id>[_n]<ext>              (code 0 without folder, code 2)
//                     <channel>List/List_<id>[_n]<ext>         (code 1)
//   subject list      <channel>Subject/<dir>/List_<id>[_n]<ext>
//   hot, recommended  <channel>listhot/list_hot[_n]<ext>, list_recommend[_n], list_new[_n]
//   and newest lists
//
// Everything a writer needs is read from the database (the channel's settings in state.channel,
// the class or subject row, its template page and page size); nothing comes from the request.
// The template and the skin are read once per call, not once per page. Files are written whole
// (temporary name, then rename). A class's or subject's generated flag is set only when the call
// ends on the list's last page and every file of the call was written; a call with a failed file
// clears it.
//
// Request thread only; database errors throw DbError.
#ifndef FOLIREX_PUBLISHING_STATIC_WRITERS_H_
#define FOLIREX_PUBLISHING_STATIC_WRITERS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/request_state.h"
#include "platform/db/variant.h"

namespace folirex {

// What a writer did: files written and files that could not be written.
struct WriteResult {
  int64_t written = 0;
  int64_t failed = 0;
  bool ok() const { return failed == 0; }
};

// The list kinds of the channel's paged lists.
enum class ListKind { kClass, kSubject, kHot, kRecommend, kNew };

// A paged list of the current channel, as the database holds it: for a class or subject its row
// (which must belong to the channel), for the other lists the channel's own page of that type.
struct ListTarget {
  ListKind kind = ListKind::kHot;
  std::optional<int64_t> id;  // class or subject id; none for the other lists
  std::string dir;            // class or subject folder
  Variant template_page_id;   // own template page id, 0 or empty for the channel's set
  int64_t page_size = 20;     // rows a page, as the dynamic page takes it
};

// The page type ("classlist", ...) of a list kind.
const char* ListPageType(ListKind kind);

// A class or subject list from its row's values (the page size settled as the dynamic page
// settles it: 20 when empty or not above 0).
ListTarget MakeListTarget(ListKind kind, int64_t id, const Variant& dir, const Variant& page_num,
                          const Variant& template_page_id);

// The class or subject `id` of the current channel; nullopt without an id or when it names no
// row of this channel. kHot, kRecommend and kNew give their fixed target (id ignored).
std::optional<ListTarget> LoadListTarget(RequestState& state, ListKind kind,
                                         std::optional<int64_t> id);

// The number of pages the list has: as many as the page bar of its first paged ListArticleList
// chip links (counted with that chip's own query), at least 1; a class or subject list whose
// template has no valid paged chip has 1 page. The hot, recommended and newest lists are not
// generated at all without a valid ListArticleList chip: nullopt then.
std::optional<int64_t> CountListPages(RequestState& state, const ListTarget& target);

// The site path (from the install folder) of page n of the list, and the folder it lies in ("" when
// the file lies straight in the install folder). "" for a class list whose channel's list folder
// code is not 0, 1 or 2.
struct ListFile {
  std::string path;
  std::string folder;
};
ListFile ListPageFile(const ChannelSettings& channel, const ListTarget& target, int64_t n);

WriteResult ArticleHtml_CreateFirst(RequestState& state);
WriteResult ArticleHtml_CreateJsAll(RequestState& state);
// Pages first..last (an empty range writes nothing) of the list whose page count is page_count.
WriteResult ArticleHtml_CreateList(RequestState& state, const ListTarget& target, int64_t first,
                                   int64_t last, int64_t page_count);

// The redirect page the mode switches write, sending visitors to `target`.
std::string RedirectPageText(const std::string& target);
// True when the site file is a redirect page (a script page that a static page must not replace).
bool IsRedirectPageFile(const HostObjects& host, const std::string& path);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_STATIC_WRITERS_H_
