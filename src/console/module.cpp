#include "console/module.h"

#include "console/admin_change_password.h"
#include "console/admin_error.h"
#include "console/admin_frame.h"
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
  using enum ConsoleAccess;
  // Sign-in and the error page answer anyone; every other m value reaches the sign-in page.
  AddConsoleRoute(
      registry,
      {.m = "admin_login", .procedure = "Login_Main", .access = kAnyone, .page = Login_Main});
  AddConsoleRoute(
      registry,
      {.m = "admin_error", .procedure = "Error_Main", .access = kAnyone, .page = Error_Main});
  // The frame set, its menu and the home page of the work frame.
  AddConsoleRoute(registry, {.m = "admin_index",
                             .procedure = "Index_Main",
                             .code = "XT_Manage_Main",
                             .page = StatePage(Index_Main)});
  AddConsoleRoute(registry, {.m = "admin_menu",
                             .procedure = "Menu_Main",
                             .code = "XT_Manage_Main",
                             .page = StatePage(Menu_Main)});
  AddConsoleRoute(registry, {.m = "admin_main",
                             .procedure = "Home_Main",
                             .code = "XT_Manage_Main",
                             .navi = "当前位置：系统主页面",
                             .page = StatePage(Home_Main)});
  AddConsoleRoute(registry, {.m = "admin_servercheck",
                             .procedure = "ServerCheck_Main",
                             .code = "XT_Manage_ServerCheck",
                             .navi = "当前位置：系统管理&gt;&gt;远程服务器环境检测",
                             .page = ServerCheck_Main});
  AddConsoleRoute(registry, {.m = "admin_changepassword",
                             .procedure = "ChangePassword_Main",
                             .code = "XT_Manage_ChangePwd",
                             .navi = "当前位置：首选服务&gt;&gt;修改密码",
                             .page = ChangePassword_Main});
  // Administrators, their rights and their sign-ins.
  AddConsoleRoute(registry, {.m = "admin_manager",
                             .procedure = "Manager_Main",
                             .code = "XT_Manage_Manager",
                             .navi = "当前位置：用户管理>>管理后台用户",
                             .page = Manager_Main});
  AddConsoleRoute(registry, {.m = "admin_managerprivilege",
                             .procedure = "ManagerPrivilege_Main",
                             .code = "XT_Manage_ManagerPrivilege",
                             .navi = "当前位置：用户管理&gt;&gt;后台用户权限管理",
                             .page = ManagerPrivilege_Main});
  AddConsoleRoute(registry, {.m = "admin_loginlog",
                             .procedure = "LoginLog_Main",
                             .code = "XT_Manage_LoginLog",
                             .navi = "当前位置：系统管理&gt;&gt;登陆日志管理",
                             .page = LoginLog_Main});
}

}  // namespace folirex
