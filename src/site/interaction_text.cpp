#include "site/interaction_text.h"

#include "core/text_helpers.h"
#include "platform/text/vb_text.h"

namespace folirex::interaction {

bool IsId(const Variant& value) { return IsDigits(value) && value.ToString().size() <= 18; }

bool IsId(std::optional<int64_t> id) { return id && *id <= 999'999'999'999'999'999; }

int64_t DigitsUpTo(const Variant& value, int64_t limit) {
  if (!IsId(value)) return -1;
  int64_t number = value.ToInt64Or(-1);
  return number <= limit ? number : -1;
}

std::string ScriptStringEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\'':
        out += "\\'";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '<':
        out += "\\x3C";
        break;
      case '\xE2':
        if (i + 2 < text.size() && text[i + 1] == '\x80' &&
            (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
          out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
          i += 2;
          break;
        }
        out += c;
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char kHex[] = "0123456789ABCDEF";
          out += "\\x";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out;
}

size_t CharCount(std::string_view utf8) {
  size_t count = 0;
  // Every byte but a continuation byte (10xxxxxx) begins a character.
  for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

}  // namespace folirex::interaction
