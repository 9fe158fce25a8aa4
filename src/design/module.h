// The design folder's console pages: template sets, template pages and skins; site settings,
// announcements and advertisements. RegisterDesignModule adds them to the program's registry.
#ifndef FOLIREX_DESIGN_MODULE_H_
#define FOLIREX_DESIGN_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterDesignModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_DESIGN_MODULE_H_
