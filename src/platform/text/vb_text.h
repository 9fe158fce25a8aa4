// The scripting engine's small string functions that page code leans on, over UTF-8 text:
// Trim/LTrim/RTrim remove spaces only (not tabs or line breaks), LCase/UCase change the case of
// ASCII letters (Chinese text has no case), Left/Mid count characters, not bytes; Replace and Split
// compare exactly.
#ifndef FOLIREX_PLATFORM_TEXT_VB_TEXT_H_
#define FOLIREX_PLATFORM_TEXT_VB_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace folirex {

std::string Trim(std::string_view text);
std::string LTrim(std::string_view text);
std::string RTrim(std::string_view text);
std::string LCase(std::string_view text);
std::string UCase(std::string_view text);
// Number of characters.
size_t Len(std::string_view text);
// The first count characters.
std::string Left(std::string_view text, size_t count);
// count characters from the 1-based character position start (to the end when count is npos).
std::string Mid(std::string_view text, size_t start, size_t count = std::string_view::npos);
// Every occurrence of find replaced by with, left to right; what was put in is not scanned
// again. An empty find leaves the text as it is.
std::string Replace(std::string_view text, std::string_view find, std::string_view with);
// The parts between the separators (n separators give n + 1 parts, empty ones included); an
// empty separator gives the whole text as the one part.
std::vector<std::string> Split(std::string_view text, std::string_view separator);
// Case-insensitive (ASCII) equality.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_TEXT_VB_TEXT_H_
