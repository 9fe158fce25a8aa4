#include "core/console_request.h"

#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/host/host_text.h"
#include "platform/text/vb_text.h"

namespace folirex {

ConsoleRequest ParseConsoleRequest(const Request& request) {
  ConsoleRequest r;
  r.m = LCase(FilterSql(request.QueryString("m")));
  r.action = LCase(FilterSql(request.QueryString("action")));
  r.method = request.Method();
  r.posted = host::EqualsNoCase(r.method, "POST");
  r.channel_id = ParseId(Trim(request.QueryString("channelid")));
  return r;
}

std::optional<int64_t> ColumnNumber(std::string_view text) {
  if (text.size() > 9) return std::nullopt;
  return ParseId(text);
}

int64_t RequireId(RequestState& state, std::string_view text, std::string_view message) {
  std::optional<int64_t> id = ParseId(text);
  if (!id) AlertBack(state, message);
  return *id;
}

std::string Posted(const RequestState& state, std::string_view name) {
  return Trim((*state.host.Request)(name));
}

std::string PostedForm(const RequestState& state, std::string_view name) {
  return Trim(state.host.Request->Form(name));
}

}  // namespace folirex
