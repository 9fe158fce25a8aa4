#include "collection/html_clean.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/text/html_escape.h"

namespace folirex {
namespace {

constexpr std::array<std::string_view, 42> kAllowedTags = {
    "a",        "b",     "big", "blockquote", "br",   "caption", "center", "code", "col",
    "colgroup", "dd",    "div", "dl",         "dt",   "em",      "font",   "h1",   "h2",
    "h3",       "h4",    "h5",  "h6",         "hr",   "i",       "img",    "li",   "ol",
    "p",        "pre",   "s",   "small",      "span", "strike",  "strong", "sub",  "sup",
    "table",    "tbody", "td",  "tfoot",      "th",   "thead"};
constexpr std::array<std::string_view, 4> kAllowedTagsMore = {"tr", "u", "ul", "nobr"};

// Elements whose content is not text of the article and goes with them.
// Elements whose content is not text of the article and goes with them. (Void elements such as
// embed and frame are not allowed tags, so they are dropped alone.)
constexpr std::array<std::string_view, 18> kDroppedWithContent = {
    "script",   "style",    "iframe", "frameset", "object",   "applet",
    "noscript", "template", "svg",    "math",     "textarea", "select",
    "button",   "title",    "head",   "xml",      "noembed",  "noframes"};

constexpr std::array<std::string_view, 20> kAllowedAttributes = {
    "align",   "valign",  "width",  "height", "border", "cellspacing", "cellpadding",
    "colspan", "rowspan", "color",  "size",   "face",   "bgcolor",     "alt",
    "title",   "nowrap",  "hspace", "vspace", "name",   "span"};

template <size_t N>
bool In(const std::array<std::string_view, N>& list, std::string_view name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

bool IsAllowedTag(std::string_view name) {
  return In(kAllowedTags, name) || In(kAllowedTagsMore, name);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string LowerCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// An attribute value with its character references decoded, as a browser reads it (numeric
// references with or without ";", and the named ones that can hide a scheme).
std::string DecodeEntities(std::string_view value) {
  static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
      {"amp;", "&"},   {"lt;", "<"},   {"gt;", ">"},       {"quot;", "\""},       {"apos;", "'"},
      {"colon;", ":"}, {"tab;", "\t"}, {"newline;", "\n"}, {"nbsp;", "\xC2\xA0"}, {"sol;", "/"}};
  std::string out;
  for (size_t i = 0; i < value.size();) {
    if (value[i] != '&') {
      out.push_back(value[i++]);
      continue;
    }
    std::string_view rest = value.substr(i + 1);
    if (rest.starts_with("#")) {
      size_t j = 1;
      bool hex = j < rest.size() && (rest[j] == 'x' || rest[j] == 'X');
      if (hex) ++j;
      uint32_t code = 0;
      size_t digits = 0;
      while (j < rest.size()) {
        char c = Lower(rest[j]);
        int d = (c >= '0' && c <= '9')          ? c - '0'
                : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                : -1;
        if (d < 0) break;
        if (code < 0x110000) code = code * (hex ? 16 : 10) + static_cast<uint32_t>(d);
        ++j;
        ++digits;
      }
      if (digits > 0) {
        if (j < rest.size() && rest[j] == ';') ++j;
        AppendUtf8(out, code);
        i += 1 + j;
        continue;
      }
    } else {
      std::string lower = LowerCopy(rest.substr(0, 9));
      bool matched = false;
      for (const auto& [name, text] : kNamed) {
        if (std::string_view(lower).starts_with(name)) {
          out += text;
          i += 1 + name.size();
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    out.push_back(value[i++]);
  }
  return out;
}

// True for an http, https or relative address: the scheme is read as a browser reads it, with
// blanks and control characters anywhere left out.
bool IsSafeAddress(std::string_view decoded) {
  std::string compact;
  for (char c : decoded) {
    if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F) compact.push_back(Lower(c));
  }
  size_t colon = compact.find(':');
  size_t path = compact.find_first_of("/?#");
  if (colon == std::string::npos || (path != std::string::npos && path < colon)) return true;
  std::string_view scheme = std::string_view(compact).substr(0, colon);
  return scheme == "http" || scheme == "https";
}

struct Attribute {
  std::string name;   // lower case
  std::string value;  // decoded
  bool has_value = false;
};

// Reads the attributes from `pos` (just after the tag name) to the closing ">", which it passes.
// Quoted values may hold ">" and line breaks. Without a closing ">" pos ends at the text's end.
std::vector<Attribute> ReadAttributes(std::string_view html, size_t& pos) {
  std::vector<Attribute> attributes;
  while (pos < html.size()) {
    char c = html[pos];
    if (c == '>') {
      ++pos;
      break;
    }
    if (IsSpace(c) || c == '/') {
      ++pos;
      continue;
    }
    size_t name_start = pos;
    while (pos < html.size() && !IsSpace(html[pos]) && html[pos] != '=' && html[pos] != '>' &&
           !(html[pos] == '/' && pos > name_start)) {
      ++pos;
    }
    Attribute attribute;
    attribute.name = LowerCopy(html.substr(name_start, pos - name_start));
    size_t look = pos;
    while (look < html.size() && IsSpace(html[look])) ++look;
    if (look < html.size() && html[look] == '=') {
      pos = look + 1;
      while (pos < html.size() && IsSpace(html[pos])) ++pos;
      std::string_view raw;
      if (pos < html.size() && (html[pos] == '"' || html[pos] == '\'')) {
        char quote = html[pos++];
        size_t end = html.find(quote, pos);
        if (end == std::string_view::npos) end = html.size();
        raw = html.substr(pos, end - pos);
        pos = std::min(end + 1, html.size());
      } else {
        size_t start = pos;
        while (pos < html.size() && !IsSpace(html[pos]) && html[pos] != '>') ++pos;
        raw = html.substr(start, pos - start);
      }
      attribute.value = DecodeEntities(raw);
      attribute.has_value = true;
    }
    if (!attribute.name.empty()) attributes.push_back(std::move(attribute));
  }
  return attributes;
}

std::string WriteStartTag(const std::string& name, const std::vector<Attribute>& attributes) {
  std::string tag = "<" + name;
  for (const Attribute& a : attributes) {
    bool keep = In(kAllowedAttributes, a.name) ||
                (name == "a" && a.name == "href" && IsSafeAddress(a.value)) ||
                (name == "img" && a.name == "src" && IsSafeAddress(a.value)) ||
                (name == "a" && a.name == "target" && LowerCopy(a.value) == "_blank");
    if (!keep) continue;
    tag += " " + a.name;
    if (a.has_value) tag += "=\"" + HtmlEscapeAttr(a.value) + "\"";
  }
  return tag + ">";
}

// Position just past the end tag of `name` at or after pos (any letter case), or the text's end.
size_t SkipElement(std::string_view html, size_t pos, std::string_view name) {
  std::string lower = LowerCopy(html.substr(pos));
  std::string end_tag = "</" + std::string(name);
  size_t from = 0;
  for (;;) {
    size_t at = lower.find(end_tag, from);
    if (at == std::string::npos) return html.size();
    size_t after = at + end_tag.size();
    if (after >= lower.size() || IsSpace(lower[after]) || lower[after] == '>' ||
        lower[after] == '/') {
      size_t close = lower.find('>', after);
      return close == std::string::npos ? html.size() : pos + close + 1;
    }
    from = after;
  }
}

}  // namespace

std::string CleanCollectedHtml(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  size_t pos = 0;
  while (pos < html.size()) {
    char c = html[pos];
    if (c == '>') {
      out += "&gt;";
      ++pos;
      continue;
    }
    if (c != '<') {
      out.push_back(c);
      ++pos;
      continue;
    }
    std::string_view rest = html.substr(pos);
    if (rest.starts_with("<!--")) {
      size_t end = html.find("-->", pos + 4);
      pos = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    if (rest.starts_with("<!") || rest.starts_with("<?")) {
      size_t end = html.find('>', pos);
      pos = end == std::string_view::npos ? html.size() : end + 1;
      continue;
    }
    bool closing = rest.starts_with("</");
    size_t name_start = pos + (closing ? 2 : 1);
    if (name_start >= html.size() || !IsAsciiLetter(html[name_start])) {
      out += "&lt;";
      ++pos;
      continue;
    }
    size_t name_end = name_start;
    while (name_end < html.size() &&
           (IsAsciiLetter(html[name_end]) || (html[name_end] >= '0' && html[name_end] <= '9'))) {
      ++name_end;
    }
    std::string name = LowerCopy(html.substr(name_start, name_end - name_start));
    pos = name_end;
    std::vector<Attribute> attributes = ReadAttributes(html, pos);
    if (closing) {
      if (IsAllowedTag(name)) out += "</" + name + ">";
      continue;
    }
    if (In(kDroppedWithContent, name)) {
      pos = SkipElement(html, pos, name);
      continue;
    }
    if (IsAllowedTag(name)) out += WriteStartTag(name, attributes);
  }
  return out;
}

std::string StripTags(std::string_view text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    char c = text[pos];
    if (c == '<') {
      size_t end = text.find('>', pos);
      if (end == std::string_view::npos) {
        ++pos;  // a "<" that opens no tag is dropped
        continue;
      }
      pos = end + 1;
      continue;
    }
    if (c != '>') out.push_back(c);
    ++pos;
  }
  return out;
}

}  // namespace folirex
