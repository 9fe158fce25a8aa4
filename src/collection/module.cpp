#include "collection/module.h"

#include "collection/admin_collect.h"
#include "collection/admin_collect_set.h"

namespace folirex {

void RegisterCollectionModule(ModuleRegistry& registry) {
  registry.AddAdminEntry("ArticleCollect_Main", ArticleCollect_Main);
  registry.AddAdminEntry("ArticleCollectSet_Main", ArticleCollectSet_Main);
}

}  // namespace folirex
