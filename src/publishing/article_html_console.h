// The console pages of static publishing: a channel's generation console (ArticleHtml_Main: the
// smart and select generation forms, the planner's batch page, the step requests and the mode
// switch between static and dynamic output) and the site home's (DefaultHtml_Main: generation of
// the static home page and its mode switch).
//
// The mode switches and the planner take posted forms only; the step requests, which the batch
// page's hidden frame loads by address, carry the session's publishing token that the batch page
// was written with, and a step without it is refused. Files are written after the rows commit,
// and a file that could not be written is reported. Request thread only.
#ifndef FOLIREX_PUBLISHING_ARTICLE_HTML_CONSOLE_H_
#define FOLIREX_PUBLISHING_ARTICLE_HTML_CONSOLE_H_

#include <string>

#include "console/admin_frame.h"
#include "core/request_state.h"

namespace folirex {

void ArticleHtml_Main(RequestState& state, const ConsolePage& page);
void DefaultHtml_Main(RequestState& state, const ConsolePage& page);

// The session's publishing token, made on first use: the batch pages add it to every step address.
std::string PublishingToken(RequestState& state);
// True when the request carries the session's token (query value "token").
bool HasPublishingToken(RequestState& state, const ConsoleRequest& request);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_ARTICLE_HTML_CONSOLE_H_
