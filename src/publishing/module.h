// The publishing folder's console pages and hooks: static generation, JS snippets and
// navigation menus.
#ifndef FOLIREX_PUBLISHING_MODULE_H_
#define FOLIREX_PUBLISHING_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterPublishingModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_MODULE_H_
