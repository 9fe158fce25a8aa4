#include "platform/text/header_date.h"

#include <cstdio>

namespace folirex {

namespace {
constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}  // namespace

std::string UtcHeaderDate(std::time_t when, std::string_view zone) {
  std::tm utc{};
  gmtime_r(&when, &utc);
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%s, %02d %s %04d %02d:%02d:%02d ", kWeekdays[utc.tm_wday],
                utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                utc.tm_sec);
  return buffer + std::string(zone);
}

int MonthOfAbbreviation(std::string_view name) {
  for (int i = 0; i < 12; ++i) {
    if (name == kMonths[i]) return i;
  }
  return -1;
}

}  // namespace folirex
