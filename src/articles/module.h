// The articles folder's console pages: uploads and comments.
#ifndef FOLIREX_ARTICLES_MODULE_H_
#define FOLIREX_ARTICLES_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterArticlesModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_MODULE_H_
