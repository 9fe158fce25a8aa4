#include "taxonomy/module.h"

#include "taxonomy/keyword_library.h"
#include "taxonomy/subject_pages.h"

namespace folirex {

void RegisterTaxonomyModule(ModuleRegistry& registry) {
  // Subjects and the keyword library.
  registry.AddAdminEntry("ArticleSubject_Main", ArticleSubject_Main);
  registry.AddAdminEntry("ArticleKeyword_Main", ArticleKeyword_Main);
}

}  // namespace folirex
