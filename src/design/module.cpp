#include "design/module.h"

#include "design/skin_page.h"
#include "design/template_page.h"
#include "design/template_set.h"

namespace folirex {

void RegisterDesignModule(ModuleRegistry& registry) {
  // Template sets, template pages and skins.
  registry.AddAdminEntry("Template_Main", Template_Main);
  registry.AddAdminEntry("TemplatePage_Main", TemplatePage_Main);
  registry.AddAdminEntry("Skin_Main", Skin_Main);
}

}  // namespace folirex
