// The publishing pages' entries, registered with the module registry that the administration
// entry dispatches from: ArticleHtml_Main (a channel's static generation) and DefaultHtml_Main
// (the site home's); and the writer of one article's static page, which the article save calls
// through the registry when a channel publishes its articles at once.
#ifndef FOLIREX_PUBLISHING_MODULE_H_
#define FOLIREX_PUBLISHING_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterPublishingModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_MODULE_H_
