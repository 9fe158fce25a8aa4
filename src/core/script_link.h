// The rule for an address that a page writes as a link (a channel's outside link, an article's
// redirect link, an address inside typed HTML): one whose scheme runs script or opens a document
// of its own is refused when it is saved, and one stored before that rule is drawn as "#".
//
// The scheme is read as a browser reads an href: leading blanks and control characters and every
// tab or line break left out, letter case ignored. A caller that holds an attribute value as
// written in HTML decodes its character references first. Pure; any thread.
#ifndef FOLIREX_CORE_SCRIPT_LINK_H_
#define FOLIREX_CORE_SCRIPT_LINK_H_

#include <string>
#include <string_view>

namespace folirex {

// The answer of a save whose link would run script: IsScriptLink.
inline constexpr const char kScriptLinkRefused[] =
    "提示：链接地址不能使用javascript:、vbscript:或data:地址！";

// True for an address whose scheme is "javascript:", "vbscript:" or "data:".
bool IsScriptLink(std::string_view link);

// The href a page writes for a stored link: the link, or "#" for one that IsScriptLink, so that
// it stays harmless to click.
std::string SafeLink(std::string_view link);

}  // namespace folirex

#endif  // FOLIREX_CORE_SCRIPT_LINK_H_
