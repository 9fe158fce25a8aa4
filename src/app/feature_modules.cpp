#include "app/feature_modules.h"

#include "articles/module.h"
#include "collection/module.h"
#include "console/module.h"
#include "design/module.h"
#include "publishing/article_html.h"
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
  // The article saves publish at once through the static article page writer.
  registry.SetArticlePageWriter([](RequestState& state, int64_t id) {
    return CreateArticleHtml(state, Variant(static_cast<long long>(id)));
  });
  // JS snippets and navigation menus (publishing/module.h).
  RegisterPublishingModule(registry);
  RegisterCollectionModule(registry);
}

}  // namespace folirex
