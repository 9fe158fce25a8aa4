#include "console/module.h"

#include "console/admin_error.h"
#include "console/admin_index.h"
#include "console/admin_login.h"
#include "console/admin_main.h"
#include "console/admin_manager_privilege.h"
#include "console/admin_menu.h"

namespace folirex {

void RegisterConsoleModule(ModuleRegistry& registry) {
  registry.AddAdminEntry("Login_Main", Login_Main);
  registry.AddAdminEntry("Index_Main", Index_Main);
  registry.AddAdminEntry("Menu_Main", Menu_Main);
  registry.AddAdminEntry("Home_Main", Home_Main);
  registry.AddAdminEntry("Error_Main", Error_Main);
  registry.AddAdminEntry("ManagerPrivilege_Main", ManagerPrivilege_Main);
}

}  // namespace folirex
