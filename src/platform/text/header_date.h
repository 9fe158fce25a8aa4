// Dates as the headers of HTTP and mail write them: "Sun, 06 Nov 1994 08:49:37 GMT", in UTC,
// with English day and month names whatever the locale. Pure functions; any thread.
#ifndef FOLIREX_PLATFORM_TEXT_HEADER_DATE_H_
#define FOLIREX_PLATFORM_TEXT_HEADER_DATE_H_

#include <ctime>
#include <string>
#include <string_view>

namespace folirex {

// The UTC date of `when` followed by `zone` ("GMT" for HTTP, "+0000" for mail).
std::string UtcHeaderDate(std::time_t when, std::string_view zone);

// The month of its English abbreviation ("Jan" 0 ... "Dec" 11, letter case as written); -1 for
// any other text.
int MonthOfAbbreviation(std::string_view name);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_TEXT_HEADER_DATE_H_
