// The keyword library of a channel (admin.asp?m=admin_articlekeyword&channelid=N): the list with
// its order arrows and bulk delete, the add form and its save, the rename form and the rename,
// which also rewrites the keyword text of the channel's articles that carry exactly that one
// keyword ("|old|" becomes "|new|"; a longer list such as "|old|other|" stays as it is).
//
// A keyword is a Vantrel_Keyword row of one channel; articles refer to keywords by name only.
// Every action works inside the page's channel: a row of another channel is a bad id. Names
// are bound as parameters (a "%", "_" or quote in a name matches only itself) and encoded where
// they are shown. Changes come only from posted forms and run in one transaction each.
#ifndef FOLIREX_TAXONOMY_KEYWORD_LIBRARY_H_
#define FOLIREX_TAXONOMY_KEYWORD_LIBRARY_H_

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

// Inside the console frame (the route needs XT_Manage_ArticleKeyword): action "down", "up", "add",
// "save", "edit", "update", "del", anything else the list.
void ArticleKeyword_Main(RequestState& state, const ConsolePage& page);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_KEYWORD_LIBRARY_H_
