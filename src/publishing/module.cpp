#include "publishing/module.h"

#include "publishing/article_html.h"
#include "publishing/article_html_console.h"

namespace folirex {

void RegisterPublishingModule(ModuleRegistry& registry) {
  registry.AddAdminEntry("ArticleHtml_Main", ArticleHtml_Main);
  registry.AddAdminEntry("DefaultHtml_Main", DefaultHtml_Main);
  registry.SetArticlePageWriter(CreateArticleHtml);
}

}  // namespace folirex
