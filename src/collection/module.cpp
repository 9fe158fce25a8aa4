#include "collection/module.h"

#include "collection/admin_collect.h"
#include "collection/admin_collect_set.h"
#include "console/admin_frame.h"

namespace folirex {

void RegisterCollectionModule(ModuleRegistry& registry) {
  // Both pages write their own header after the channel is opened.
  AddConsoleRoute(registry, {.m = "admin_articlecollect",
                             .procedure = "ArticleCollect_Main",
                             .code = "XT_Manage_ArticleCollect",
                             .channel = ConsoleChannelUse::kChannel,
                             .page = ArticleCollect_Main});
  AddConsoleRoute(registry, {.m = "admin_articlecollectset",
                             .procedure = "ArticleCollectSet_Main",
                             .code = "XT_Manage_ArticleCollectSet",
                             .channel = ConsoleChannelUse::kChannel,
                             .page = ArticleCollectSet_Main});
}

}  // namespace folirex
