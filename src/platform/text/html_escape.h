// The two HTML escapers: one for element text, one for attribute values. Every value a page
// writes that is not the site's own HTML goes through one of them, chosen by where it lands.
// Both replace "&" first in effect (one pass), so an entity the user typed shows literally.
// Pure; any thread.
#ifndef FOLIREX_PLATFORM_TEXT_HTML_ESCAPE_H_
#define FOLIREX_PLATFORM_TEXT_HTML_ESCAPE_H_

#include <string>
#include <string_view>

namespace folirex {

// What the text escaper does with a line feed: keep it, or show it as a line break ("<br>"; a
// carriage return stays as it is).
enum class LineFeeds { kKeep, kBreak };

// Element text: "&" "<" ">" and the double quote as &amp; &lt; &gt; &quot;. The single quote is
// left as typed (it cannot end element text); a value inside an attribute takes HtmlEscapeAttr.
std::string HtmlEscapeText(std::string_view text, LineFeeds line_feeds = LineFeeds::kKeep);

// An attribute value of either quote kind (and the content of a text area): "&" "<" ">" "\"" "'"
// as &amp; &lt; &gt; &quot; &#39;; line feeds kept.
std::string HtmlEscapeAttr(std::string_view text);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_TEXT_HTML_ESCAPE_H_
