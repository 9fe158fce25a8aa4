// Text handling at the HTTP edge shared by the host objects: letter case of keys and names,
// percent-encoding of URLs, form bodies and cookies, and HTTP dates.
//
// Letter case is folded for ASCII only: the keys, header names and file names the pages use are
// ASCII, and folding other bytes would change code page 936 text. Pure functions, thread-safe.
#ifndef FOLIREX_PLATFORM_HOST_HOST_TEXT_H_
#define FOLIREX_PLATFORM_HOST_HOST_TEXT_H_

#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folirex::host {

std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Percent-decodes bytes; a "%" not followed by two hex digits is kept as it stands. With
// plus_as_space, "+" becomes a space (query strings and form bodies, not paths).
std::string PercentDecode(std::string_view text, bool plus_as_space);

// Calls visit(name, value) for each item of "a=1&b=2" in order, raw (still encoded); empty
// items are skipped and an item without "=" is a name with an empty value. Nothing is copied.
template <typename Visit>
void ForEachUrlEncoded(std::string_view text, Visit&& visit) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(start, end - start);
    if (!item.empty()) {
      size_t eq = item.find('=');
      if (eq == std::string_view::npos) {
        visit(item, std::string_view());
      } else {
        visit(item.substr(0, eq), item.substr(eq + 1));
      }
    }
    start = end + 1;
  }
}

// How many items ForEachUrlEncoded visits, counting no further than limit + 1: enough to tell
// whether a body holds more than limit fields without reading all of a hostile one.
size_t CountUrlEncoded(std::string_view text, size_t limit);

// The media types a body is read as: a form is parsed into Request::Form; multipart bodies
// (uploads) are kept raw. Parameters after the type ("; charset=gb2312") are allowed.
bool IsFormContentType(std::string_view content_type);
bool IsMultipartContentType(std::string_view content_type);

// Percent-encodes bytes as a form value: letters, digits and "-_.*" stay, a space becomes "+",
// every other byte "%XX".
std::string FormUrlEncodeBytes(std::string_view bytes);

// A decoded URL path as UTF-8: browsers send paths in UTF-8, older ones and hand-made links in
// code page 936; bytes that are not valid UTF-8 are read as code page 936.
std::string PathBytesToUtf8(std::string_view bytes);

// Removes CR, LF and NUL so that a value can never start a new header line.
std::string HeaderSafe(std::string_view value);

// "Tue, 15 Nov 1994 08:12:31 GMT" for a moment in time.
std::string HttpDate(std::time_t when);
// Parses the form above; false when the text is not one.
bool ParseHttpDate(std::string_view text, std::time_t* out);

}  // namespace folirex::host

#endif  // FOLIREX_PLATFORM_HOST_HOST_TEXT_H_
