#include "publishing/module.h"

#include "console/admin_frame.h"
#include "publishing/article_html.h"
#include "publishing/article_html_console.h"
#include "publishing/js_snippet_console.h"
#include "publishing/navi_menu_console.h"

namespace folirex {

void RegisterPublishingModule(ModuleRegistry& registry) {
  // JS snippets and navigation menus of a channel.
  AddConsoleRoute(registry, {.m = "admin_articlejs",
                             .procedure = "ArticleJs_Main",
                             .code = "XT_Manage_ArticleJs",
                             .channel = ConsoleChannelUse::kChannel,
                             .navi = "JS文件管理",
                             .page = ArticleJs_Main});
  AddConsoleRoute(registry, {.m = "admin_articlenavi",
                             .procedure = "ArticleNavi_Main",
                             .code = "XT_Manage_ArticleNavi",
                             .channel = ConsoleChannelUse::kChannel,
                             .navi = "导航菜单管理",
                             .page = ArticleNavi_Main});
  // Static generation of a channel and of the site home: their generation steps answer without
  // the console's header, so the pages write their own.
  AddConsoleRoute(registry, {.m = "admin_articlehtml",
                             .procedure = "ArticleHtml_Main",
                             .code = "XT_Manage_ArticleHtml",
                             .channel = ConsoleChannelUse::kChannel,
                             .page = ArticleHtml_Main});
  AddConsoleRoute(registry, {.m = "admin_defaulthtml",
                             .procedure = "DefaultHtml_Main",
                             .code = "XT_Manage_DefaultHtml",
                             .page = DefaultHtml_Main});
  // The article saves publish at once through the static article page writer.
  registry.SetArticlePageWriter(
      [](RequestState& state, int64_t id) { return CreateArticleHtml(state, id); });
}

}  // namespace folirex
