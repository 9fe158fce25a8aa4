#include "core/script_link.h"

#include <cctype>

namespace folirex {

bool IsScriptLink(std::string_view link) {
  std::string scheme;
  bool started = false;
  for (char c : link) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\t' || c == '\n' || c == '\r' || (!started && u <= 0x20)) continue;
    started = true;
    if (c == ':') return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
    // Past the longest of the three, or a character no scheme holds: a plain or relative address.
    if (scheme.size() == 10 || (!std::isalnum(u) && c != '+' && c != '-' && c != '.')) return false;
    scheme.push_back(static_cast<char>(std::tolower(u)));
  }
  return false;
}

std::string SafeLink(std::string_view link) { return IsScriptLink(link) ? "#" : std::string(link); }

}  // namespace folirex
