// The one- and two-character sequences of a text, as a keyword search of one or two characters
// looks for them: every distinct character and every distinct pair of neighbouring characters
// (UTF-8 code points; a byte that does not begin a well-formed character stands for itself),
// ASCII letters lowered, the only folding SQLite's like applies. A text holds a keyword of one or
// two characters exactly when the keyword, so lowered, is among them.
#ifndef FOLIREX_PLATFORM_TEXT_SHORT_GRAMS_H_
#define FOLIREX_PLATFORM_TEXT_SHORT_GRAMS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace folirex {

// The distinct sequences of `text` packed as numbers: a character's number (one
// more than its code point, or a malformed byte marked apart), a pair's the first's shifted 32
// bits up and the second's; distinct, sorted by number.
std::vector<uint64_t> PackedShortGrams(std::string_view text);
// A packed sequence's UTF-8.
std::string UnpackShortGram(uint64_t gram);

// `keyword` as the sequences hold it (ASCII letters lowered) when it has one or two characters;
// "" otherwise.
std::string ShortGramKey(std::string_view keyword);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_TEXT_SHORT_GRAMS_H_
