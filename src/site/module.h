// The public site's registration: the channel loader and every public page handler, by the
// procedure names that the public entry's dispatch table uses.
#ifndef FOLIREX_SITE_MODULE_H_
#define FOLIREX_SITE_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterSiteModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_SITE_MODULE_H_
