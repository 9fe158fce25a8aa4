#include "console/console_text.h"

#include "core/messages.h"
#include "platform/host/host_text.h"

namespace folirex {

std::vector<std::string> RequestValues(const Request& request, std::string_view key) {
  std::vector<std::string> values = request.QueryStringValues(key);
  if (values.empty()) values = request.FormValues(key);
  return values;
}

void RequireFormPost(RequestState& state) {
  if (!host::EqualsNoCase(state.host.Request->Method(), "POST"))
    AlertBack(state, "提示：参数错误！");
}

}  // namespace folirex
