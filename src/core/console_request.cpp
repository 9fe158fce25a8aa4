#include "core/console_request.h"

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

}  // namespace folirex
