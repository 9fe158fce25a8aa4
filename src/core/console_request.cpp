#include "core/console_request.h"

#include "core/messages.h"
#include "core/text_helpers.h"
#include "platform/host/host_text.h"
#include "platform/text/vb_text.h"

namespace folirex {

ConsoleRequest ParseConsoleRequest(const Request& request, RequestState* state) {
  ConsoleRequest r;
  r.values = RequestReader(request, state);
  r.query = r.values.Query();
  r.form = r.values.Form();
  r.m = LCase(FilterSql(r.query.Raw("m")));
  r.action = LCase(FilterSql(r.query.Raw("action")));
  r.method = request.Method();
  r.posted = host::EqualsNoCase(r.method, "POST");
  r.channel_id = r.query.Id("channelid");
  return r;
}

ConsoleRequest ParseConsoleRequest(RequestState& state) {
  return ParseConsoleRequest(*state.host.Request, &state);
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
