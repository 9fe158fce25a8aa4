// The taxonomy pages' entries, registered with the module registry that the administration
// entry dispatches from: ArticleSubject_Main (subjects) and ArticleKeyword_Main (the keyword
// library).
#ifndef FOLIREX_TAXONOMY_MODULE_H_
#define FOLIREX_TAXONOMY_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterTaxonomyModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_TAXONOMY_MODULE_H_
