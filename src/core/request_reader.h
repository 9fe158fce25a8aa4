// RequestReader: the one way a page reads the values of its request. The entries build the
// readers once (ConsoleRequest, PublicRequest) and hand them to the page with its other
// arguments; a page never reads the host's Request itself.
//
// A reader looks in one place: the query string only, the posted form only, or the combined
// collection (query string, then form, cookies, server variables: the first that has the name
// wins). Names are matched without regard to case. Each kind of value has one rule:
//   Text     trimmed of spaces; "" when the request lacks it.
//   Raw      as sent, for the few values kept exactly as typed (a password, an editor's HTML).
//   Values   each value sent under the name, in order (every ticked box one).
//   Id       the trimmed text by the one id rule of both entries (ParseId: digits only, no sign,
//            no leading "0" unless it is "0", fits 64 bits); absent when missing or malformed.
//   Ids      a list of ids joined by "," (ParseIdList); absent when missing or any part is not
//            an id.
//   Number   a number of an integer column: an id of at most nine digits; absent otherwise. A
//            page's own range comes on top.
//   Checked  a box: ticked when it is sent with any value but "" or "0".
// A page that cannot go on without a value answers with its own message: the overloads that take
// `refusal` end the request with it (AlertBack) when the value is absent.
//
// A reader borrows the Request and the RequestState it was built with: both must outlive it. A
// reader built without a request reads nothing (every value missing, page 1, not a POST); one
// built without a state must not be asked to refuse. Call it on the worker that owns the request.
#ifndef FOLIREX_CORE_REQUEST_READER_H_
#define FOLIREX_CORE_REQUEST_READER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/id_list.h"
#include "core/request_state.h"
#include "platform/host/request.h"

namespace folirex {

class RequestReader {
 public:
  enum class Source { kCombined, kQuery, kForm };

  RequestReader() = default;
  RequestReader(const Request& request, RequestState* state, Source source = Source::kCombined)
      : request_(&request), state_(state), source_(source) {}

  // The same request, looking only in the query string or only in the posted form.
  RequestReader Query() const { return {request_, state_, Source::kQuery}; }
  RequestReader Form() const { return {request_, state_, Source::kForm}; }

  std::string Text(std::string_view name) const;
  std::string Raw(std::string_view name) const;
  // In the combined collection: the query string's values, else the form's.
  std::vector<std::string> Values(std::string_view name) const;
  // Whether the name is sent at all (with an empty value too); the combined collection looks in
  // the query string and the form.
  bool Has(std::string_view name) const;

  std::optional<int64_t> Id(std::string_view name) const;
  int64_t Id(std::string_view name, std::string_view refusal) const;
  std::optional<IdList> Ids(std::string_view name) const;
  IdList Ids(std::string_view name, std::string_view refusal) const;
  std::optional<int64_t> Number(std::string_view name) const;
  int64_t Number(std::string_view name, std::string_view refusal) const;
  bool Checked(std::string_view name) const;

  // The page of a paged list the request asks for: its value "page", trimmed, through the pagers'
  // number rule (CheckNum) with 1 for a missing or non-numeric value. It may lie below 1 or
  // beyond the last page; each pager settles it by its own rule.
  int32_t Page() const;

  // Ends the request with the page's own message (AlertBack).
  [[noreturn]] void Refuse(std::string_view message) const;

  // The request itself, wherever the reader looks.
  bool IsPost() const;
  // The host's variable (Request::ServerVariables); "" for none.
  std::string ServerVariable(std::string_view name) const;
  // The client's address (REMOTE_ADDR).
  std::string ClientAddress() const { return ServerVariable("REMOTE_ADDR"); }
  // The whole body in place, for the one page that reads an upload; valid while the Request lives.
  std::string_view Body() const;
  // True when a query, form or cookie name or value holds a NUL (Request::HasNul).
  bool HasNul() const;

 private:
  RequestReader(const Request* request, RequestState* state, Source source)
      : request_(request), state_(state), source_(source) {}

  const Request* request_ = nullptr;
  RequestState* state_ = nullptr;
  Source source_ = Source::kCombined;
};

}  // namespace folirex

#endif  // FOLIREX_CORE_REQUEST_READER_H_
