#include "platform/text/html_escape.h"

namespace folirex {
namespace {

enum class Place { kText, kTextWithBreaks, kAttribute };

// The one escaping loop: what each character becomes in its place, or nullptr to keep it.
const char* EntityOf(char c, Place place) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return place == Place::kAttribute ? "&#39;" : nullptr;
    case '\n':
      return place == Place::kTextWithBreaks ? "<br>" : nullptr;
    default:
      return nullptr;
  }
}

std::string Escape(std::string_view text, Place place) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    if (const char* entity = EntityOf(c, place)) {
      out += entity;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string HtmlEscapeText(std::string_view text, LineFeeds line_feeds) {
  return Escape(text, line_feeds == LineFeeds::kBreak ? Place::kTextWithBreaks : Place::kText);
}

std::string HtmlEscapeAttr(std::string_view text) { return Escape(text, Place::kAttribute); }

}  // namespace folirex
