// ConsoleRequest: the values of a console request (admin.asp), read once at the administration
// entry and handed to the page, so that no page reads m, action or the channel id as text again.
//
// m and action come from the query string only (a posted m or action does not steer the
// console), lower-cased, with quotes and ";" deleted. The channel id follows the one id rule of
// both entries (ParseId: digits only, no sign, no leading "0" unless it is "0", fits 64 bits),
// read from the query string trimmed of spaces; it is absent when the request lacks it or it is
// malformed, and a page that needs one answers that as it always has.
//
// The posted values of the console's forms are read with Posted (the combined collection: query
// string, then form) or PostedForm (the form only), trimmed of spaces.
//
// Pure functions over a Request; call them on the worker that owns the request.
#ifndef FOLIREX_CORE_CONSOLE_REQUEST_H_
#define FOLIREX_CORE_CONSOLE_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/public_request.h"
#include "core/request_state.h"
#include "platform/host/request.h"

namespace folirex {

struct ConsoleRequest {
  std::string m;                      // the page asked for, lower case
  std::string action;                 // the page's action, lower case
  std::string method;                 // the HTTP method as sent
  bool posted = false;                // the request is a POST (a form was posted)
  std::optional<int64_t> channel_id;  // channelid of the query string
};

ConsoleRequest ParseConsoleRequest(const Request& request);

// A number field of a console form: a plain number (ParseId's rule) of at most nine digits, what
// an integer column keeps; absent otherwise. A page's own range rules come on top.
std::optional<int64_t> ColumnNumber(std::string_view text);

// The id `text` holds (ParseId), or the end of the request with the alert `message` (AlertBack).
int64_t RequireId(RequestState& state, std::string_view text, std::string_view message);

// A value of a console form: the combined collection's value (query string first), trimmed.
std::string Posted(const RequestState& state, std::string_view name);
// A value of the posted form only, trimmed: for forms whose fields a link must not fill in.
std::string PostedForm(const RequestState& state, std::string_view name);

}  // namespace folirex

#endif  // FOLIREX_CORE_CONSOLE_REQUEST_H_
