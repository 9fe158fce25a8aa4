#include "design/module.h"

#include "design/advert.h"
#include "design/announce.h"
#include "design/site_settings.h"

namespace folirex {

void RegisterDesignModule(ModuleRegistry& registry) {
  // Site settings, announcements and advertisements.
  registry.AddAdminEntry("Set_Main", Set_Main);
  registry.AddAdminEntry("Announce_Main", Announce_Main);
  registry.AddAdminEntry("AD_Main", AD_Main);
}

}  // namespace folirex
