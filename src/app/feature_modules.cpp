#include "app/feature_modules.h"

#include "console/module.h"
#include "publishing/module.h"
#include "site/module.h"
#include "taxonomy/module.h"

namespace folirex {

void RegisterFeatureModules(ModuleRegistry& registry) {
  // Each feature folder adds its registration call here as it is built.
  RegisterConsoleModule(registry);
  RegisterSiteModule(registry);
  RegisterTaxonomyModule(registry);
  RegisterPublishingModule(registry);
}

}  // namespace folirex
