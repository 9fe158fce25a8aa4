#include "core/modules.h"

#include "console/module.h"
#include "site/module.h"

namespace folirex {

void ModuleRegistry::AddAdminEntry(std::string procedure, AdminEntry entry) {
  admin_[std::move(procedure)] = std::move(entry);
}

void ModuleRegistry::AddPublicHandler(std::string procedure, PublicHandler handler) {
  public_[std::move(procedure)] = std::move(handler);
}

const AdminEntry* ModuleRegistry::FindAdminEntry(std::string_view procedure) const {
  auto it = admin_.find(procedure);
  return it == admin_.end() ? nullptr : &it->second;
}

const PublicHandler* ModuleRegistry::FindPublicHandler(std::string_view procedure) const {
  auto it = public_.find(procedure);
  return it == public_.end() ? nullptr : &it->second;
}

void RegisterAllModules(ModuleRegistry& registry) {
  // Each feature folder adds its registration call here as it is built.
  RegisterConsoleModule(registry);
  RegisterSiteModule(registry);
}

const ModuleRegistry& Modules() {
  static const ModuleRegistry registry = [] {
    ModuleRegistry r;
    RegisterAllModules(r);
    return r;
  }();
  return registry;
}

}  // namespace folirex
