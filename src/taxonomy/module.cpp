#include "taxonomy/module.h"

#include "taxonomy/channel_admin.h"
#include "taxonomy/class_admin.h"
#include "taxonomy/keyword_library.h"
#include "taxonomy/subject_pages.h"

namespace folirex {

void RegisterTaxonomyModule(ModuleRegistry& registry) {
  // Subjects and the keyword library.
  registry.AddAdminEntry("ArticleSubject_Main", ArticleSubject_Main);
  registry.AddAdminEntry("ArticleKeyword_Main", ArticleKeyword_Main);
  // Channels.
  registry.AddAdminEntry("Channel_Main", Channel_Main);
  // Class tree.
  registry.AddAdminEntry("ArticleClass_Main", ArticleClass_Main);
}

}  // namespace folirex
