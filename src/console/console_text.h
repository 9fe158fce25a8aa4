// Small text routines the console pages share: the list of names a form posts under one
// field (every checked box a value of its own).
//
// Pure functions over the request's values; call on the request's worker.
#ifndef FOLIREX_CONSOLE_CONSOLE_TEXT_H_
#define FOLIREX_CONSOLE_CONSOLE_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/host/request.h"

namespace folirex {

// The values of a field as the combined collection finds it (query string
// first, then the form), one element per value sent, so that a value holding ",
// " stays whole.
std::vector<std::string> RequestValues(const Request& request, std::string_view key);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_CONSOLE_TEXT_H_
