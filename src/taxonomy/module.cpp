#include "taxonomy/module.h"

#include "taxonomy/channel_admin.h"

namespace folirex {

void RegisterTaxonomyModule(ModuleRegistry& registry) {
  // Channels.
  registry.AddAdminEntry("Channel_Main", Channel_Main);
}

}  // namespace folirex
