#include "publishing/module.h"

#include "publishing/article_html.h"
#include "publishing/article_html_console.h"
#include "publishing/js_snippet_console.h"
#include "publishing/navi_menu_console.h"

namespace folirex {

void RegisterPublishingModule(ModuleRegistry& registry) {
  // JS snippets and navigation menus.
  registry.AddAdminEntry("ArticleJs_Main", ArticleJs_Main);
  registry.AddAdminEntry("ArticleNavi_Main", ArticleNavi_Main);
  // Static generation of a channel and of the site home.
  registry.AddAdminEntry("ArticleHtml_Main", ArticleHtml_Main);
  registry.AddAdminEntry("DefaultHtml_Main", DefaultHtml_Main);
  // The article saves publish at once through the static article page writer.
  registry.SetArticlePageWriter(
      [](RequestState& state, int64_t id) { return CreateArticleHtml(state, id); });
}

}  // namespace folirex
