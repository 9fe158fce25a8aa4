#include "site/module.h"

namespace folirex {

void RegisterSiteModule(ModuleRegistry &registry) {}

}  // namespace folirex
