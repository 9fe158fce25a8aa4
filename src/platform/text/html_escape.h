// Escaping text for HTML: the five characters that can end an element's text or an attribute
// value of either quote kind become entities. Pure; any thread.
#ifndef FOLIREX_PLATFORM_TEXT_HTML_ESCAPE_H_
#define FOLIREX_PLATFORM_TEXT_HTML_ESCAPE_H_

#include <string>
#include <string_view>

namespace folirex {

// "&" "<" ">" "\"" "'" as &amp; &lt; &gt; &quot; &#39;; everything else unchanged.
std::string HtmlEscape(std::string_view text);

}  // namespace folirex

#endif  // FOLIREX_PLATFORM_TEXT_HTML_ESCAPE_H_
