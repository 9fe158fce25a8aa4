#include "console/module.h"

#include "console/admin_change_password.h"
#include "console/admin_error.h"
#include "console/admin_index.h"
#include "console/admin_login.h"
#include "console/admin_login_log.h"
#include "console/admin_main.h"
#include "console/admin_manager.h"
#include "console/admin_manager_privilege.h"
#include "console/admin_menu.h"
#include "console/admin_server_check.h"

namespace folirex {

void RegisterConsoleModule(ModuleRegistry& registry) {
  registry.AddAdminEntry("Login_Main", Login_Main);
  registry.AddAdminEntry("Index_Main", Index_Main);
  registry.AddAdminEntry("Menu_Main", Menu_Main);
  registry.AddAdminEntry("Home_Main", Home_Main);
  registry.AddAdminEntry("Error_Main", Error_Main);
  registry.AddAdminEntry("ManagerPrivilege_Main", ManagerPrivilege_Main);
  registry.AddAdminEntry("Manager_Main", Manager_Main);
  registry.AddAdminEntry("ChangePassword_Main", ChangePassword_Main);
  registry.AddAdminEntry("LoginLog_Main", LoginLog_Main);
  registry.AddAdminEntry("ServerCheck_Main", ServerCheck_Main);
}

}  // namespace folirex
