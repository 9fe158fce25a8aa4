#include "articles/module.h"

#include "articles/article_form.h"
#include "articles/article_manager.h"
#include "articles/keyword_pick.h"
#include "articles/upload_popup.h"

namespace folirex {

void RegisterArticlesModule(ModuleRegistry& registry) {
  // Pop-ups of the console forms: uploads and the keyword pick list.
  registry.AddAdminEntry("Upload_Main", Upload_Main);
  registry.AddAdminEntry("SelectMore_Main", SelectMore_Main);
  // The article add page and the article manager.
  registry.AddAdminEntry("ArticleAdd_Main", ArticleAdd_Main);
  registry.AddAdminEntry("Article_Main", Article_Main);
}

}  // namespace folirex
