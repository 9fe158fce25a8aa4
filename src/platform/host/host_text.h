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

// Splits "a=1&b=2" into raw (still encoded) name/value pairs; empty items are skipped and a
// item without "=" is a name with an empty value.
std::vector<std::pair<std::string_view, std::string_view>> SplitUrlEncoded(std::string_view text);

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
