#include "design/module.h"

#include "design/advert.h"
#include "design/announce.h"
#include "design/site_settings.h"
#include "design/skin_page.h"
#include "design/template_page.h"
#include "design/template_set.h"

namespace folirex {

void RegisterDesignModule(ModuleRegistry& registry) {
  // Template sets, template pages and skins.
  registry.AddAdminEntry("Template_Main", Template_Main);
  registry.AddAdminEntry("TemplatePage_Main", TemplatePage_Main);
  registry.AddAdminEntry("Skin_Main", Skin_Main);
  // Site settings, announcements and advertisements.
  registry.AddAdminEntry("Set_Main", Set_Main);
  registry.AddAdminEntry("Announce_Main", Announce_Main);
  registry.AddAdminEntry("AD_Main", AD_Main);
}

}  // namespace folirex
