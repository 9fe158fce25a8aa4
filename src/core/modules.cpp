#include "core/modules.h"

#include "platform/text/vb_text.h"

namespace folirex {

void ModuleRegistry::AddAdminEntry(std::string procedure, AdminEntry entry) {
  admin_[std::move(procedure)] = std::move(entry);
}

void ModuleRegistry::AddPublicRoute(std::string_view m, PublicHandler handler) {
  public_routes_[LCase(m)] = std::move(handler);
}

const AdminEntry* ModuleRegistry::FindAdminEntry(std::string_view procedure) const {
  auto it = admin_.find(procedure);
  return it == admin_.end() ? nullptr : &it->second;
}

const PublicHandler* ModuleRegistry::FindPublicRoute(std::string_view m) const {
  auto it = public_routes_.find(m);
  return it == public_routes_.end() ? nullptr : &it->second;
}

ModuleRegistry& Modules() {
  static ModuleRegistry registry;
  return registry;
}

}  // namespace folirex
