#include "articles/module.h"

#include "articles/article_form.h"
#include "articles/article_manager.h"

namespace folirex {

void RegisterArticlesModule(ModuleRegistry& registry) {
  // The article add page and the article manager.
  registry.AddAdminEntry("ArticleAdd_Main", ArticleAdd_Main);
  registry.AddAdminEntry("Article_Main", Article_Main);
}

}  // namespace folirex
