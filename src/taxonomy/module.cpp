#include "taxonomy/module.h"

#include "console/admin_frame.h"
#include "taxonomy/channel_admin.h"
#include "taxonomy/channel_page_script.h"
#include "taxonomy/class_admin.h"
#include "taxonomy/keyword_library.h"
#include "taxonomy/subject_pages.h"

namespace folirex {

void RegisterTaxonomyModule(ModuleRegistry& registry) {
  using enum ConsoleChannelUse;
  // Channels.
  AddConsoleRoute(registry, {.m = "admin_channel",
                             .procedure = "Channel_Main",
                             .code = "XT_Manage_ChannelSet",
                             .navi = "当前位置：系统管理>>频道管理",
                             .page = Channel_Main,
                             .trailer = Channel_ShowScript});
  // The class tree, subjects and the keyword library of a channel.
  AddConsoleRoute(registry, {.m = "admin_articleclass",
                             .procedure = "ArticleClass_Main",
                             .code = "XT_Manage_ArticleClass",
                             .channel = kChannel,
                             .navi = "分类管理",
                             .page = ArticleClass_Main});
  AddConsoleRoute(registry, {.m = "admin_articlesubject",
                             .procedure = "ArticleSubject_Main",
                             .code = "XT_Manage_ArticleSubject",
                             .channel = kChannel,
                             .navi = "专题管理",
                             .page = ArticleSubject_Main});
  AddConsoleRoute(registry, {.m = "admin_articlekeyword",
                             .procedure = "ArticleKeyword_Main",
                             .code = "XT_Manage_ArticleKeyword",
                             .channel = kChannel,
                             .navi = "关键字库管理",
                             .page = ArticleKeyword_Main});
}

}  // namespace folirex
