// The articles folder's page entries, registered with the module registry that the
// administration entry dispatches from.
#ifndef FOLIREX_ARTICLES_MODULE_H_
#define FOLIREX_ARTICLES_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterArticlesModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_ARTICLES_MODULE_H_
