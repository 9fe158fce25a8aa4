#include "core/html_clean.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

#include "core/script_link.h"
#include "platform/text/html_escape.h"

namespace folirex {
namespace {

// The collected policy's tags and attributes.
constexpr std::array<std::string_view, 42> kAllowedTags = {
    "a",        "b",     "big", "blockquote", "br",   "caption", "center", "code", "col",
    "colgroup", "dd",    "div", "dl",         "dt",   "em",      "font",   "h1",   "h2",
    "h3",       "h4",    "h5",  "h6",         "hr",   "i",       "img",    "li",   "ol",
    "p",        "pre",   "s",   "small",      "span", "strike",  "strong", "sub",  "sup",
    "table",    "tbody", "td",  "tfoot",      "th",   "thead"};
constexpr std::array<std::string_view, 4> kAllowedTagsMore = {"tr", "u", "ul", "nobr"};

// Elements whose content is not text of the article and goes with them. (Void elements such as
// embed and frame are not allowed tags, so they are dropped alone.)
constexpr std::array<std::string_view, 18> kCollectedDroppedWithContent = {
    "script",   "style",    "iframe", "frameset", "object",   "applet",
    "noscript", "template", "svg",    "math",     "textarea", "select",
    "button",   "title",    "head",   "xml",      "noembed",  "noframes"};

constexpr std::array<std::string_view, 20> kAllowedAttributes = {
    "align",   "valign",  "width",  "height", "border", "cellspacing", "cellpadding",
    "colspan", "rowspan", "color",  "size",   "face",   "bgcolor",     "alt",
    "title",   "nowrap",  "hspace", "vspace", "name",   "span"};

// The typed policy's elements that run script, load another document or plug-in, or hold markup
// that a browser reads differently from the page around it.
constexpr std::array<std::string_view, 13> kTypedDroppedWithContent = {
    "script",  "style",    "iframe",   "frameset", "object", "applet", "noscript",
    "noembed", "noframes", "template", "svg",      "math",   "xml"};
// Tags without content of their own that load something or change how the page is read, and
// the form, which would post to the console from a page of its own origin with one click (its
// controls stay, posting nowhere).
constexpr std::array<std::string_view, 7> kTypedDroppedAlone = {
    "embed", "frame", "base", "meta", "link", "plaintext", "form"};
// Attributes that run script, post (ping) or tie a control to another form of the page.
constexpr std::array<std::string_view, 7> kTypedDroppedAttributes = {
    "srcdoc", "ping", "form", "formaction", "formmethod", "formenctype", "formtarget"};
// Elements whose content a browser reads as text up to their end tag.
constexpr std::array<std::string_view, 3> kTypedRawText = {"textarea", "title", "xmp"};
// Attributes whose value a browser follows as an address.
constexpr std::array<std::string_view, 12> kAddressAttributes = {
    "action",   "data",     "background", "poster",  "codebase", "cite",
    "longdesc", "manifest", "icon",       "archive", "classid",  "usemap"};

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
      {"colon;", ":"}, {"tab;", "\t"}, {"newline;", "\n"}, {"nbsp;", "\xC2\xA0"}, {"sol;", "/"},
      {"bsol;", "\\"}, {"lpar;", "("}, {"rpar;", ")"}};
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
  size_t start = 0;  // the attribute's text in the source: from its name to the end of its value
  size_t end = 0;
};

// One tag as a browser reads it, from its "<" to just past its ">".
struct Tag {
  std::string name;  // lower case
  bool closing = false;
  bool complete = false;  // false when the text ends before the ">"
  std::vector<Attribute> attributes;
  size_t start = 0;
  size_t end = 0;
};

// Reads the attributes from `pos` (just after the tag name) to the closing ">", which it passes,
// by the browser's rules: a name runs to a blank, "/", ">" or "=" (an "=" that comes first
// belongs to the name), quoted values may hold ">" and line breaks, an unquoted value runs to a
// blank or ">". Without a closing ">" pos ends at the text's end.
void ReadAttributes(std::string_view html, size_t& pos, Tag& tag) {
  const size_t n = html.size();
  while (pos < n) {
    char c = html[pos];
    if (c == '>') {
      ++pos;
      tag.complete = true;
      return;
    }
    if (IsSpace(c) || c == '/') {
      ++pos;
      continue;
    }
    Attribute attribute;
    attribute.start = pos++;
    while (pos < n && !IsSpace(html[pos]) && html[pos] != '/' && html[pos] != '>' &&
           html[pos] != '=') {
      ++pos;
    }
    attribute.name = LowerCopy(html.substr(attribute.start, pos - attribute.start));
    attribute.end = pos;
    size_t look = pos;
    while (look < n && IsSpace(html[look])) ++look;
    if (look < n && html[look] == '=') {
      pos = look + 1;
      while (pos < n && IsSpace(html[pos])) ++pos;
      std::string_view raw;
      if (pos < n && (html[pos] == '"' || html[pos] == '\'')) {
        char quote = html[pos++];
        size_t end = html.find(quote, pos);
        if (end == std::string_view::npos) end = n;
        raw = html.substr(pos, end - pos);
        pos = std::min(end + 1, n);
      } else {
        size_t start = pos;
        while (pos < n && !IsSpace(html[pos]) && html[pos] != '>') ++pos;
        raw = html.substr(start, pos - start);
      }
      attribute.value = DecodeEntities(raw);
      attribute.has_value = true;
      attribute.end = pos;
    }
    tag.attributes.push_back(std::move(attribute));
  }
}

// The tag at `pos`, where "<" or "</" is followed by an ASCII letter. Its name runs, as a
// browser reads it, to a blank, "/" or ">".
Tag ReadTag(std::string_view html, size_t pos) {
  Tag tag;
  tag.start = pos;
  tag.closing = html[pos + 1] == '/';
  size_t name_start = pos + (tag.closing ? 2 : 1);
  size_t name_end = name_start;
  while (name_end < html.size() && !IsSpace(html[name_end]) && html[name_end] != '/' &&
         html[name_end] != '>') {
    ++name_end;
  }
  tag.name = LowerCopy(html.substr(name_start, name_end - name_start));
  size_t end = name_end;
  ReadAttributes(html, end, tag);
  tag.end = end;
  return tag;
}

// True when a equals b (in lower case) without regard to letter case.
bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == y; });
}

// Finds the end tags of elements whose content is skipped or read as text: where "</" and the
// name (any letter case) are followed by a blank, "/" or ">", as a browser ends such an element.
// The cleaner reads forward only, so the last answer for each name is reused while it lies ahead:
// the searches together read the text once per name.
class EndTagFinder {
 public:
  explicit EndTagFinder(std::string_view html) : html_(html) {}

  // The start of the first end tag of `name` (lower case) at or after pos, or npos.
  size_t Find(size_t pos, std::string_view name) {
    for (Found& found : found_) {
      if (found.name != name) continue;
      if (found.at == std::string_view::npos || found.at >= pos) return found.at;
      found.at = Search(pos, name);
      return found.at;
    }
    found_.push_back({std::string(name), Search(pos, name)});
    return found_.back().at;
  }

  // Position just past the end tag of `name` at or after pos, or npos when there is none or the
  // text ends inside it.
  size_t Skip(size_t pos, std::string_view name) {
    size_t at = Find(pos, name);
    if (at == std::string_view::npos) return at;
    size_t close = html_.find('>', at);
    return close == std::string_view::npos ? close : close + 1;
  }

 private:
  struct Found {
    std::string name;
    size_t at;
  };

  size_t Search(size_t pos, std::string_view name) const {
    for (size_t at = html_.find("</", pos); at != std::string_view::npos;
         at = html_.find("</", at + 2)) {
      size_t after = at + 2 + name.size();
      if (after > html_.size()) break;
      if (!EqualsNoCase(html_.substr(at + 2, name.size()), name)) continue;
      if (after == html_.size() || IsSpace(html_[after]) || html_[after] == '>' ||
          html_[after] == '/') {
        return at;
      }
    }
    return std::string_view::npos;
  }

  std::string_view html_;
  std::vector<Found> found_;
};

// Text that is left as it stands, with every "<" written as "&lt;" so that none opens a tag.
std::string AsText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '<') {
      out += "&lt;";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Position just past a comment or declaration that starts at pos ("<!" or "<?"), as a browser
// ends it: a comment at "<!-->", "<!--->", "-->" or "--!>", anything else at its first ">".
// npos when the text ends inside it.
size_t DeclarationEnd(std::string_view html, size_t pos) {
  std::string_view rest = html.substr(pos);
  if (!rest.starts_with("<!--")) {
    size_t close = html.find('>', pos);
    return close == std::string_view::npos ? close : close + 1;
  }
  std::string_view body = rest.substr(4);
  if (body.starts_with(">")) return pos + 5;
  if (body.starts_with("->")) return pos + 6;
  for (size_t at = body.find("--"); at != std::string_view::npos; at = body.find("--", at + 1)) {
    std::string_view tail = body.substr(at + 2);
    if (tail.starts_with(">")) return pos + 4 + at + 3;
    if (tail.starts_with("!>")) return pos + 4 + at + 4;
  }
  return std::string_view::npos;
}

std::string WriteCollectedTag(const std::string& name, const std::vector<Attribute>& attributes) {
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

// A style value as a browser's style parser reads it, for the search for what runs script:
// comments and blanks left out, escapes ("\65", "\e") resolved, in lower case.
std::string ReadableCss(std::string_view css) {
  std::string out;
  for (size_t i = 0; i < css.size();) {
    char c = css[i];
    if (css.substr(i).starts_with("/*")) {
      size_t end = css.find("*/", i + 2);
      i = end == std::string_view::npos ? css.size() : end + 2;
      continue;
    }
    if (c == '\\' && i + 1 < css.size()) {
      size_t j = i + 1;
      uint32_t code = 0;
      while (j < css.size() && j < i + 7 && std::isxdigit(static_cast<unsigned char>(css[j]))) {
        char d = Lower(css[j]);
        code = code * 16 + static_cast<uint32_t>(d <= '9' ? d - '0' : d - 'a' + 10);
        ++j;
      }
      if (j > i + 1) {
        if (j < css.size() && IsSpace(css[j])) ++j;
        if (code < 0x80) {
          out.push_back(Lower(static_cast<char>(code)));
        } else {
          AppendUtf8(out, code);
        }
        i = j;
        continue;
      }
      if (!IsSpace(css[j])) out.push_back(Lower(css[j]));
      i = j + 1;
      continue;
    }
    if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F) out.push_back(Lower(c));
    ++i;
  }
  return out;
}

// True for a style that runs script in some browser: expression(), a behavior or binding, or a
// script address anywhere (a url() above all).
bool IsScriptStyle(std::string_view decoded) {
  std::string css = ReadableCss(decoded);
  for (std::string_view word :
       {"expression(", "javascript:", "vbscript:", "behavior:", "-moz-binding"}) {
    if (css.find(word) != std::string::npos) return true;
  }
  for (size_t at = css.find("url("); at != std::string::npos; at = css.find("url(", at + 4)) {
    size_t from = at + 4;
    while (from < css.size() && (css[from] == '"' || css[from] == '\'')) ++from;
    if (IsScriptLink(std::string_view(css).substr(from))) return true;
  }
  return false;
}

bool IsAddressAttribute(std::string_view name) {
  return name.ends_with("href") || name.ends_with("src") || In(kAddressAttributes, name);
}

// An attribute of typed HTML that runs script, loads a script address or posts.
bool IsScriptAttribute(const Attribute& a) {
  if (a.name.starts_with("on") || In(kTypedDroppedAttributes, a.name)) return true;
  if (a.name == "style") return IsScriptStyle(a.value);
  return IsAddressAttribute(a.name) && IsScriptLink(a.value);
}

// The tag as typed, without its script attributes. Where one goes, so does any attribute whose
// name begins with "=" (a typing slip): written after a blank, that "=" would give the attribute
// before it a value.
std::string WriteTypedTag(std::string_view html, const Tag& tag) {
  if (std::none_of(tag.attributes.begin(), tag.attributes.end(), IsScriptAttribute)) {
    return std::string(html.substr(tag.start, tag.end - tag.start));
  }
  std::string out;
  size_t from = tag.start;
  for (const Attribute& a : tag.attributes) {
    if (!IsScriptAttribute(a) && !a.name.starts_with("=")) continue;
    // With the blanks before it when a blank or the tag's end follows; otherwise the blank keeps
    // what follows (an attribute, a "/") apart from what comes before (an unquoted value would
    // take in a "/").
    size_t cut = a.start;
    char next = a.end < tag.end ? html[a.end] : '>';
    if (IsSpace(next) || next == '>') {
      while (cut > from && IsSpace(html[cut - 1])) --cut;
    }
    out.append(html.substr(from, cut - from));
    from = a.end;
  }
  out.append(html.substr(from, tag.end - from));
  return out;
}

}  // namespace

std::string CleanHtml(std::string_view html, HtmlPolicy policy) {
  const bool typed = policy == HtmlPolicy::kTyped;
  EndTagFinder end_tags(html);
  std::string out;
  out.reserve(html.size());
  size_t pos = 0;
  while (pos < html.size()) {
    char c = html[pos];
    if (c == '>' && !typed) {
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
    if (rest.starts_with("<!") || rest.starts_with("<?")) {
      size_t end = DeclarationEnd(html, pos);
      if (end == std::string_view::npos) {
        // A comment left open would take in the page after it: typed, the rest shows as text.
        if (typed) out += AsText(rest);
        break;
      }
      if (typed) out.append(html.substr(pos, end - pos));
      pos = end;
      continue;
    }
    bool closing = rest.starts_with("</");
    size_t name_start = pos + (closing ? 2 : 1);
    if (name_start >= html.size() || !IsAsciiLetter(html[name_start])) {
      out += "&lt;";
      ++pos;
      continue;
    }
    Tag tag = ReadTag(html, pos);
    if (!typed) {
      pos = tag.end;
      if (closing) {
        if (IsAllowedTag(tag.name)) out += "</" + tag.name + ">";
      } else if (In(kCollectedDroppedWithContent, tag.name)) {
        size_t end = end_tags.Skip(pos, tag.name);
        pos = end == std::string_view::npos ? html.size() : end;
      } else if (IsAllowedTag(tag.name)) {
        out += WriteCollectedTag(tag.name, tag.attributes);
      }
      continue;
    }
    if (!tag.complete) {
      out += AsText(rest);  // as above: a tag left open
      break;
    }
    pos = tag.end;
    bool with_content = In(kTypedDroppedWithContent, tag.name);
    if (with_content || In(kTypedDroppedAlone, tag.name)) {
      if (with_content && !closing) {
        // Without an end tag only the start tag goes, and what follows is read as markup.
        size_t end = end_tags.Skip(pos, tag.name);
        if (end != std::string_view::npos) pos = end;
      }
      continue;
    }
    if (!closing && In(kTypedRawText, tag.name)) {
      size_t end = end_tags.Find(pos, tag.name);
      // As above, without a whole end tag the start tag goes alone.
      if (end == std::string_view::npos || !ReadTag(html, end).complete) continue;
      out += WriteTypedTag(html, tag);
      out.append(html.substr(pos, end - pos));
      pos = end;
      continue;
    }
    out += WriteTypedTag(html, tag);
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
