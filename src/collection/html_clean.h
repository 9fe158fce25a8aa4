// The allow-list cleaner that collected HTML passes before it is stored: what another site's page
// holds is shown later on this site's pages, so only plain formatting survives.
//
// Kept: the tags of text, lists, tables, links and pictures (p, br, div, span, b, i, u, font,
// h1..h6, ul/ol/li, table/tr/td/th, a, img and the like), written again in lower case with only
// presentational attributes, href (a) and src (img) when they are http, https or relative
// addresses, and target only as "_blank". Dropped with everything inside: script, style,
// iframe, object, applet, noscript, template, svg, math and the form controls. Dropped alone:
// every other tag (embed and frame among them), comments and declarations. A "<" that starts no tag
// is written as "&lt;". Tag and attribute names are matched in any letter case, across line breaks,
// and attribute values are read after their entities are decoded, so "JaVa&#115;cript:" is refused
// like "javascript:". Pure; any thread.
#ifndef FOLIREX_COLLECTION_HTML_CLEAN_H_
#define FOLIREX_COLLECTION_HTML_CLEAN_H_

#include <string>
#include <string_view>

namespace folirex {

std::string CleanCollectedHtml(std::string_view html);

// Text from a remote page for a plain-text field (a title, an author): every tag removed, also
// one written across lines, and any "<" or ">" left over removed.
std::string StripTags(std::string_view text);

}  // namespace folirex

#endif  // FOLIREX_COLLECTION_HTML_CLEAN_H_
