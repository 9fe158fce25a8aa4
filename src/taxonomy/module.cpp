#include "taxonomy/module.h"

// Class tree.
#include "taxonomy/class_admin.h"

namespace folirex {

void RegisterTaxonomyModule(ModuleRegistry& registry) {
  // Class tree.
  registry.AddAdminEntry("ArticleClass_Main", ArticleClass_Main);
}

}  // namespace folirex
