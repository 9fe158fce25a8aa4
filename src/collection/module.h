// The collection layer's console pages: the collection console with its batch steps, and the
// collection projects with their test run.
#ifndef FOLIREX_COLLECTION_MODULE_H_
#define FOLIREX_COLLECTION_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterCollectionModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_COLLECTION_MODULE_H_
