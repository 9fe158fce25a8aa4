#include "design/module.h"

#include "console/admin_frame.h"
#include "design/advert.h"
#include "design/announce.h"
#include "design/site_settings.h"
#include "design/skin_page.h"
#include "design/template_page.h"
#include "design/template_set.h"

namespace folirex {

void RegisterDesignModule(ModuleRegistry& registry) {
  using enum ConsoleChannelUse;
  // Template sets, template pages and skins: template pages and skins also of the site itself
  // (channel 0).
  AddConsoleRoute(registry, {.m = "admin_template",
                             .procedure = "Template_Main",
                             .code = "XT_Manage_Template",
                             .channel = kChannel,
                             .navi = "模板方案管理",
                             .page = Template_Main});
  AddConsoleRoute(registry, {.m = "admin_templatepage",
                             .procedure = "TemplatePage_Main",
                             .code = "XT_Manage_TemplatePage",
                             .channel = kChannelOrSite,
                             .navi = "模板页管理",
                             .page = TemplatePage_Main});
  AddConsoleRoute(registry, {.m = "admin_skin",
                             .procedure = "Skin_Main",
                             .code = "XT_Manage_Skin",
                             .channel = kChannelOrSite,
                             .navi = "风格管理",
                             .page = Skin_Main});
  // Site settings, announcements and advertisements (which reads its list query before it
  // writes its own header).
  AddConsoleRoute(registry, {.m = "admin_set",
                             .procedure = "Set_Main",
                             .code = "XT_Manage_Set",
                             .navi = "当前位置：系统管理 &gt;&gt;基本设置",
                             .page = Set_Main});
  AddConsoleRoute(registry, {.m = "admin_announce",
                             .procedure = "Announce_Main",
                             .code = "XT_Manage_Announce",
                             .navi = "当前位置：系统管理>>公告管理",
                             .page = Announce_Main});
  AddConsoleRoute(
      registry, {.m = "admin_ad", .procedure = "AD_Main", .code = "XT_Manage_AD", .page = AD_Main});
}

}  // namespace folirex
