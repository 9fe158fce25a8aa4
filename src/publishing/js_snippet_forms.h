// The JS snippet definitions of a channel (Vantrel_JS): the add and edit forms of each type and
// their saves (actions add, save, edit, update of m=admin_articlejs). A definition is a type flag
// (0 article list, 1 picture list, 2 search form, 3 class navigation, 4 class menu, 5 subject
// list) and a parameter text d_config whose positions are joined by "|"; for the two list types
// it is the parameter list of the matching template chip. Every save writes the definition's
// file <channel folder>Js/<d_filename> after the row has committed; a file that could not be
// written is reported on the answer page.
//
// Every procedure runs inside the snippet console page (js_snippet_console.h), which passes the
// settings of the channel it loaded; a refused request ends with AlertBack and changes nothing.
// Rows are found by id within the current channel. Request thread only.
#ifndef FOLIREX_PUBLISHING_JS_SNIPPET_FORMS_H_
#define FOLIREX_PUBLISHING_JS_SNIPPET_FORMS_H_

#include <string>
#include <string_view>

#include "console/channel_page.h"
#include "core/console_request.h"
#include "core/request_state.h"

namespace folirex {

// The console's name of a type flag (compared as text); empty for any other flag.
std::string ArticleJs_TypeName(std::string_view flag);

// " checked" when the value, lower-cased, is "true".
std::string ArticleJs_CheckedIf(std::string_view value);

// The class drop-down of the list types: "所有分类" (0) first, then the channel's classes in tree
// order, one ideographic space of indent per level, `selected` preselected.
std::string ArticleJs_ClassSelect(DatabaseState& db, int64_t channel, std::string_view field,
                                  std::string_view selected);

// The procedures of the definitions of `channel`, the page's channel as the frame loaded it.
void ArticleJs_Add(RequestState& state, const ConsoleChannel& channel,
                   const ConsoleRequest& request);
void ArticleJs_Save(RequestState& state, const ConsoleChannel& channel,
                    const ConsoleRequest& request);
void ArticleJs_Edit(RequestState& state, const ConsoleChannel& channel,
                    const ConsoleRequest& request);
void ArticleJs_Update(RequestState& state, const ConsoleChannel& channel,
                      const ConsoleRequest& request);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_JS_SNIPPET_FORMS_H_
