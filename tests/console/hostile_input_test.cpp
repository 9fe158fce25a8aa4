// Console pages under requests that try to get more than the page offers: saves that would
// change nothing, rights left behind by deleted accounts, and changes asked for by a plain link.
#include <gtest/gtest.h>

#include <string>

#include "console_site.h"

namespace folirex::testing {
namespace {

TEST(ConsoleHostile, GrantSaveWithoutChosenNamesIsNotReportedAsDone) {
  ConsoleSite site;
  ASSERT_EQ(site.SignInAsAdmin().status, 302);
  site.AddAdmin("nora", "password1", {"XT_Manage_Main"});
  site.Post("/admin.asp?m=admin_managerprivilege&action=privilege", {{"selectdel", "nora"}});
  // The list shown again (another window) forgets the chosen names.
  ASSERT_EQ(site.Get("/admin.asp?m=admin_managerprivilege").status, 200);
  HttpAnswer saved = site.Post("/admin.asp?m=admin_managerprivilege&action=authorization",
                               {{"functioncode", "XT_Manage_Set"}});
  EXPECT_FALSE(Contains(saved.text, "授权成功！"));
  EXPECT_TRUE(Contains(AlertText(saved.text), "提示：请先选择用户再授权！"));
  EXPECT_EQ(site.SqlValue("select group_concat(d_functioncode) from Vantrel_ManagerFunction "
                          "where d_adminname = 'nora'"),
            "XT_Manage_Main");
}

}  // namespace
}  // namespace folirex::testing
