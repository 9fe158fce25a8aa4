#include "publishing/module.h"

// JS snippets and navigation menus.
#include "publishing/js_snippet_console.h"
#include "publishing/navi_menu_console.h"

namespace folirex {

void RegisterPublishingModule(ModuleRegistry& registry) {
  // JS snippets and navigation menus.
  registry.AddAdminEntry("ArticleJs_Main", ArticleJs_Main);
  registry.AddAdminEntry("ArticleNavi_Main", ArticleNavi_Main);
}

}  // namespace folirex
