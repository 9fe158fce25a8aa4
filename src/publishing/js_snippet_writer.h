// The JS snippet file writer: renders an article list, picture list, search form, class
// navigation or subject list and writes it as <channel folder>Js/<file name>, a script of
// document.write lines that any page can include.
//
// Types (compared as text): "0" article list, "1" picture list, "2" search form, "3" class
// navigation, "5" subject list; any other type writes an empty file. Returns true when the file
// was written. The file name must be one plain name (no folder part, no control character);
// another name is refused and nothing is written. Request thread only; database errors of the
// renderers throw DbError.
//
// The snippet is drawn for `channel` (its id, folder and settings); the article and picture lists
// are drawn by the site's list renderers, which draw the request's channel (state.channel), so
// the caller passes that channel's settings.
#ifndef FOLIREX_PUBLISHING_JS_SNIPPET_WRITER_H_
#define FOLIREX_PUBLISHING_JS_SNIPPET_WRITER_H_

#include <string_view>

#include "core/request_state.h"

namespace folirex {

bool CreateJsFile(RequestState& state, const ChannelSettings& channel, const Variant& file_name,
                  const Variant& parameters, const Variant& type);

// A snippet definition's file name (d_filename): a letter, one or more letters, digits or
// underscores, then ".js", letters of either case. Only such names are written, previewed or
// deleted by the snippet pages.
bool IsSnippetFileName(std::string_view name);

// Writes the file of a stored definition: its d_config with every "|" turned into "," is the
// parameter text. False when the name is not a snippet file name or the file was not written.
bool WriteSnippetFile(RequestState& state, const ChannelSettings& channel, const Variant& file_name,
                      const Variant& config, const Variant& type);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_JS_SNIPPET_WRITER_H_
