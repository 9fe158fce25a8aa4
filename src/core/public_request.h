// PublicRequest: the values of a public page request (asp.asp), read once at the public entry
// and handed to the page's handler, so that no page reads or checks them as text again.
//
// An id is a whole number or absent. It is absent when the request lacks it, when it is not a
// plain whole number (digits only, no sign, no leading "0" unless it is "0") or when it does not
// fit 64 bits: a page answers a malformed id as it answers an id that names no row. Ids are read
// from the trimmed text as sent ("5'" is no id). Texts are trimmed of spaces; the texts that the
// site's own links carry (m, the search type and keyword, flag) also lose every single quote,
// double quote and ";", as they always have; the rest are only trimmed.
//
// Any other value a page needs is read through the request's readers (core/request_reader.h):
// `query`, `form` and `values` (the combined collection). The request and the state it was parsed
// with must outlive the PublicRequest; call it on the worker that owns the request.
#ifndef FOLIREX_CORE_PUBLIC_REQUEST_H_
#define FOLIREX_CORE_PUBLIC_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/request_reader.h"
#include "core/request_state.h"
#include "platform/host/request.h"

namespace folirex {

struct PublicRequest {
  std::string m;  // the page asked for, lower case

  std::optional<int64_t> article_id;  // articleid
  std::optional<int64_t> class_id;    // classid
  std::optional<int64_t> subject_id;  // subjectid
  std::optional<int64_t> channel_id;  // channelid
  std::optional<int64_t> notice_id;   // noticeid (only trimmed)
  // Whether the request names a channel at all (a channelid that is not blank). A request that
  // names none is served by the site's default channel; one whose channelid is malformed names a
  // channel that does not exist.
  bool channel_given = false;

  std::string search_type;              // searchtype
  std::optional<int64_t> search_class;  // searchclass
  std::string search_keyword;           // searchkeyword
  std::optional<int64_t> search_order;  // searchorder
  std::string flag;                     // flag: "1" posts the comment or tell-a-friend form

  // The friend's address and name of the tell-a-friend form, from the posted form only: a link
  // carrying them must not send mail.
  std::string mail_to;       // mailto
  std::string mail_to_name;  // mailtoname

  std::string parameter;  // parameter: the comment list's count (only trimmed)
  std::string page_type;  // pagetype (only trimmed)

  RequestReader query;   // the query string only
  RequestReader form;    // the posted form only
  RequestReader values;  // query string, then form, cookies, server variables
};

// The request's public values. m, the ids, the search values and flag come from the combined
// collection (query string, then form, cookies, server variables). The readers refuse through
// `state` (null: they must not refuse).
PublicRequest ParsePublicRequest(const Request& request, RequestState* state = nullptr);

// The list page the combined collection asks for, which the entry keeps in the state it serves.
RequestedListPage ReadListPage(const RequestReader& values);

// The page of a paged list the request being served asks for (RequestReader::Page; 1 while no
// request is served), as the entry read it. Only for the list pieces that are drawn deep inside a
// page and have no reader of their own: the pagers (Cls_Pagination, the console's AdminPager) and
// the comment list's script link. A page takes its values from its own readers.
int32_t RequestedPage(const RequestState& state);
// The request's "page" value as sent, trimmed (the comment list's script link passes it on).
std::string RequestedPageText(const RequestState& state);

// An id from request text as it is (not trimmed here): absent unless it is a plain whole number
// that fits 64 bits.
std::optional<int64_t> ParseId(std::string_view text);

// The id as the text a page puts into SQL or a link: its digits, or "" when absent.
std::string IdText(const std::optional<int64_t>& id);

}  // namespace folirex

#endif  // FOLIREX_CORE_PUBLIC_REQUEST_H_
