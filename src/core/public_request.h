// PublicRequest: the values of a public page request (asp.asp), read once at the public entry
// and handed to the page's handler, so that no page reads or checks them as text again.
//
// An id is a whole number or absent. It is absent when the request lacks it, when it is not a
// plain whole number (digits only, no sign, no leading "0" unless it is "0") or when it does not
// fit 64 bits: a page answers a malformed id as it answers an id that names no row. Texts are
// trimmed of spaces. The values that the site's own links carry (m, the article, class, subject
// and channel ids, the search values and flag) also lose every single quote, double quote and
// ";" before they are read, as they always have ("5'" reads as 5); the rest are only trimmed.
//
// Pure functions over a Request; call them on the worker that owns the request.
#ifndef FOLIREX_CORE_PUBLIC_REQUEST_H_
#define FOLIREX_CORE_PUBLIC_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
};

// The request's public values. m, the ids, the search values and flag come from the combined
// collection (query string, then form, cookies, server variables).
PublicRequest ParsePublicRequest(const Request& request);

// An id from request text as it is (not trimmed here): absent unless it is a plain whole number
// that fits 64 bits.
std::optional<int64_t> ParseId(std::string_view text);

// The id as the text a page puts into SQL or a link: its digits, or "" when absent.
std::string IdText(const std::optional<int64_t>& id);

}  // namespace folirex

#endif  // FOLIREX_CORE_PUBLIC_REQUEST_H_
