// The program's list of feature modules: each feature folder registers its page entries with the
// registry that the two entries dispatch from. Called once at start-up, before any request.
#ifndef FOLIREX_APP_FEATURE_MODULES_H_
#define FOLIREX_APP_FEATURE_MODULES_H_

#include "core/modules.h"

namespace folirex {

void RegisterFeatureModules(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_APP_FEATURE_MODULES_H_
