#include "core/modules.h"

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

ModuleRegistry& Modules() {
  static ModuleRegistry registry;
  return registry;
}

}  // namespace folirex
