// The allow-list cleaner for HTML that is shown on this site's pages but was written by someone
// who may not run script there: pages of other sites brought in by the collector, and the HTML
// typed in the console by accounts that do not design the site (article bodies, announcements,
// the copyright line). One reading of the markup serves two policies:
//
// Collected: only plain formatting survives. Kept are the tags of text, lists, tables, links and
// pictures (p, br, div, span, b, i, u, font, h1..h6, ul/ol/li, table/tr/td/th, a, img and the
// like), written again in lower case with only presentational attributes, href (a) and src (img)
// when they are http, https or relative addresses, and target only as "_blank". Dropped with
// everything inside: script, style, iframe, object, applet, noscript, template, svg, math and the
// form controls. Dropped alone: every other tag, comments and declarations. A "<" that starts no
// tag is written as "&lt;", a ">" outside a tag as "&gt;".
//
// Typed: the markup stays as typed, byte for byte, and only what can run script or post to the
// console goes. Dropped with everything inside: script, style, iframe, frameset, object, applet,
// noscript, noembed, noframes, template, svg, math and xml (only the start tag when no end tag
// follows, so that nothing after it is lost). Dropped alone: embed, frame, base, meta, link,
// plaintext and form (public pages share the console's origin, so a form there would post to the
// console with the reader's sign-in; its controls stay). Cut out of the tags that stay: every
// on... handler, srcdoc, ping, the form... attributes, an address attribute (href, src, action,
// background and the like) whose scheme IsScriptLink (core/script_link.h), and a style that holds
// expression(), behavior, -moz-binding or a script address. The text of textarea, title and xmp
// is copied as the browser reads it, as text. Comments and declarations stay. A "<" that opens no
// complete tag is written as "&lt;", which reads the same; nothing else is re-encoded.
//
// Both policies read tags as a browser does: names in any letter case, tags across line breaks,
// attribute values after their character references are decoded, so "JaVa&#115;cript:" is refused
// like "javascript:". Pure; any thread.
#ifndef FOLIREX_CORE_HTML_CLEAN_H_
#define FOLIREX_CORE_HTML_CLEAN_H_

#include <string>
#include <string_view>

namespace folirex {

enum class HtmlPolicy { kCollected, kTyped };

std::string CleanHtml(std::string_view html, HtmlPolicy policy);

inline std::string CleanCollectedHtml(std::string_view html) {
  return CleanHtml(html, HtmlPolicy::kCollected);
}

inline std::string CleanTypedHtml(std::string_view html) {
  return CleanHtml(html, HtmlPolicy::kTyped);
}

// Text from a remote page for a plain-text field (a title, an author): every tag removed, also
// one written across lines, and any "<" or ">" left over removed.
std::string StripTags(std::string_view text);

}  // namespace folirex

#endif  // FOLIREX_CORE_HTML_CLEAN_H_
