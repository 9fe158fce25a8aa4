#include "core/modules.h"

#include "platform/text/vb_text.h"

namespace folirex {

void ModuleRegistry::AddAdminRoute(AdminRoute route) { admin_.push_back(std::move(route)); }

void ModuleRegistry::AddPublicRoute(std::string_view m, PublicHandler handler) {
  public_routes_[LCase(m)] = std::move(handler);
}

const AdminRoute* ModuleRegistry::FindAdminRoute(std::string_view m) const {
  for (const AdminRoute& route : admin_) {
    if (route.m == m) return &route;
  }
  return nullptr;
}

const AdminRoute* ModuleRegistry::FindAdminProcedure(std::string_view procedure) const {
  for (const AdminRoute& route : admin_) {
    if (route.procedure == procedure) return &route;
  }
  return nullptr;
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
