// The public site's registration: the channel loader, the route table (each m value of asp.asp
// with the handler that serves it) and the home and first pages that serve every other m.
#ifndef FOLIREX_SITE_MODULE_H_
#define FOLIREX_SITE_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterSiteModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_SITE_MODULE_H_
