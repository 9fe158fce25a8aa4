// Small text parts shared by the site's interaction pages (announcements, related articles,
// comments, clicks, tell-a-friend, static article pages and JS snippet files): the id check that
// guards every query, the encoder for text put into a quoted script string, and the length of
// what a visitor typed.
//
// Pure functions; any thread.
#ifndef FOLIREX_SITE_INTERACTION_TEXT_H_
#define FOLIREX_SITE_INTERACTION_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/variant.h"

namespace folirex::interaction {

// IsDigits, and small enough to be a row id (at most 18 digits), so that the value can go into
// SQL text as a number the database reads as one.
bool IsId(const Variant& value);
// The same for an id already read as a number: present and at most 18 digits.
bool IsId(std::optional<int64_t> id);

// A whole number from IsDigits text no larger than limit; -1 otherwise.
int64_t DigitsUpTo(const Variant& value, int64_t limit);

// The text made safe inside a single- or double-quoted script string of an inline <script>:
// backslashes, both quotes and line breaks escaped, and "<" written as \x3C so the text cannot
// end the script element.
std::string ScriptStringEncode(std::string_view text);

// The number of characters of UTF-8 text (not bytes, not display width): the bounds on what a
// visitor may post are counted in it.
size_t CharCount(std::string_view utf8);

}  // namespace folirex::interaction

#endif  // FOLIREX_SITE_INTERACTION_TEXT_H_
