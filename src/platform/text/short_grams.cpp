#include "platform/text/short_grams.h"

#include <algorithm>

#include "platform/text/vb_text.h"

namespace folirex {
namespace {

// The byte length of the code point that begins at `at`: 1 for ASCII and for a byte that does
// not begin a well-formed shortest sequence (such a byte stands for itself).
size_t CharLength(std::string_view text, size_t at) {
  const unsigned char c = static_cast<unsigned char>(text[at]);
  const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (length == 1 || c > 0xF4 || at + length > text.size()) return 1;
  uint32_t cp = c & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 1;
    cp = (cp << 6) | (next & 0x3F);
  }
  const size_t shortest = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  return shortest == length && cp <= 0x10FFFF ? length : 1;
}

// Marks a malformed byte in a packed sequence (above every code point).
constexpr uint64_t kRawByte = 0x400000;

}  // namespace

std::vector<uint64_t> PackedShortGrams(std::string_view text) {
  std::vector<uint64_t> grams;
  grams.reserve(text.size() * 2);
  uint64_t previous = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t length = CharLength(text, at);
    // Each character's number is one more than its code point, so that none is 0.
    uint64_t c = 0;
    if (length == 1) {
      c = static_cast<unsigned char>(text[at]);
      if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
      // A malformed byte stands for itself, apart from the code point of the same number.
      if (c >= 0x80) c |= kRawByte;
    } else {
      c = static_cast<unsigned char>(text[at]) & (0x7F >> length);
      for (size_t i = 1; i < length; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
      }
    }
    ++c;
    grams.push_back(c);
    if (previous != 0) grams.push_back(previous << 32 | c);
    previous = c;
    at += length;
  }
  std::sort(grams.begin(), grams.end());
  grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
  return grams;
}

std::string UnpackShortGram(uint64_t gram) {
  std::string out;
  auto append = [&out](uint64_t c) {
    --c;
    if (c & kRawByte) {
      out += static_cast<char>(c & 0xFF);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  if (gram >> 32) append(gram >> 32);
  append(gram & 0xFFFFFFFF);
  return out;
}

std::string ShortGramKey(std::string_view keyword) {
  size_t characters = 0;
  for (size_t at = 0; at < keyword.size(); at += CharLength(keyword, at)) ++characters;
  if (characters == 0 || characters > 2) return "";
  return LCase(keyword);
}

}  // namespace folirex
