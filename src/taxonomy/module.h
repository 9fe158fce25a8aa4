// The taxonomy folder's registration: its console pages.
#ifndef FOLIREX_TAXONOMY_MODULE_H_
#define FOLIREX_TAXONOMY_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterTaxonomyModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_MODULE_H_
