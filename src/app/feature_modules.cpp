#include "app/feature_modules.h"

#include "articles/module.h"
#include "collection/module.h"
#include "console/module.h"
#include "design/module.h"
#include "publishing/module.h"
#include "site/module.h"
#include "taxonomy/module.h"

namespace folirex {

void RegisterFeatureModules(ModuleRegistry& registry) {
  // Each feature folder adds its registration call here as it is built.
  RegisterConsoleModule(registry);
  RegisterSiteModule(registry);
  RegisterTaxonomyModule(registry);
  RegisterArticlesModule(registry);
  RegisterDesignModule(registry);
  RegisterPublishingModule(registry);
  RegisterCollectionModule(registry);
}

}  // namespace folirex
