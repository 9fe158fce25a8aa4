// The console's page entries, registered with the module registry that the
// administration entry dispatches from: Login_Main, Index_Main, Menu_Main, Home_Main,
// Error_Main, ManagerPrivilege_Main, Manager_Main, ChangePassword_Main, LoginLog_Main and
// ServerCheck_Main.
#ifndef FOLIREX_CONSOLE_MODULE_H_
#define FOLIREX_CONSOLE_MODULE_H_

#include "core/modules.h"

namespace folirex {

void RegisterConsoleModule(ModuleRegistry& registry);

}  // namespace folirex

#endif  // FOLIREX_CONSOLE_MODULE_H_
