// ConsoleRequest: the values of a console request (admin.asp), read once at the administration
// entry and handed to the page, so that no page reads m, action or the channel id as text again.
//
// m and action come from the query string only (a posted m or action does not steer the
// console), lower-cased, with quotes and ";" deleted. The channel id follows the one id rule of
// both entries (ParseId: digits only, no sign, no leading "0" unless it is "0", fits 64 bits),
// read from the query string trimmed of spaces; it is absent when the request lacks it or it is
// malformed, and a page that needs one answers that as it always has.
//
// Every other value of the request is read through its readers (core/request_reader.h): `query`
// (the query string only), `form` (the posted form only) and `values` (the combined collection:
// query string, then form, cookies, server variables). They refuse through the RequestState the
// request was parsed with.
//
// The request and the state must outlive the ConsoleRequest; call it on the worker that owns the
// request.
#ifndef FOLIREX_CORE_CONSOLE_REQUEST_H_
#define FOLIREX_CORE_CONSOLE_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/public_request.h"
#include "core/request_reader.h"
#include "core/request_state.h"
#include "platform/host/request.h"

namespace folirex {

struct ConsoleRequest {
  std::string m;                      // the page asked for, lower case
  std::string action;                 // the page's action, lower case
  std::string method;                 // the HTTP method as sent
  bool posted = false;                // the request is a POST (a form was posted)
  std::optional<int64_t> channel_id;  // channelid of the query string

  RequestReader query;   // the query string only
  RequestReader form;    // the posted form only
  RequestReader values;  // query string, then form, cookies, server variables
};

// The values of `request`; the readers refuse through `state` (null: they must not refuse).
ConsoleRequest ParseConsoleRequest(const Request& request, RequestState* state = nullptr);

}  // namespace folirex

#endif  // FOLIREX_CORE_CONSOLE_REQUEST_H_
