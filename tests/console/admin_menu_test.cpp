// The console frame set and the menu built from Vantrel_MenuSet.
#include <gtest/gtest.h>

#include <string>

#include "console_site.h"

namespace folirex::testing {
namespace {

// The part of the page between the group row "left_<n>" and the next group head.
std::string Group(const std::string& page, int n) {
  std::string marker = "<tr id=\"left_" + std::to_string(n) + "\"";
  size_t begin = page.find(marker);
  if (begin == std::string::npos) return "";
  size_t end = page.find("<table class=\"Menu\"", begin);
  return page.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(site_.SignInAsAdmin().status, 302); }
  std::string Menu() { return site_.Get("/admin.asp?m=admin_menu").text; }
  void ReplaceMenu(const std::string& values) {
    site_.Sql("delete from Vantrel_MenuSet");
    if (!values.empty()) {
      site_.Sql(
          "insert into Vantrel_MenuSet (d_channelid, d_name, d_linkurl, d_openflag, d_topflag, "
          "d_displayflag, d_order) values " +
          values);
    }
  }
  ConsoleSite site_;
};

TEST_F(MenuTest, FrameSetHoldsTheMenuAndTheWorkFrame) {
  std::string page = site_.Get("/admin.asp?m=admin_index").text;
  EXPECT_TRUE(Contains(page, "<title>后台管理程序</title>"));
  EXPECT_TRUE(Contains(page, "<frameset cols=\"150,*\""));
  EXPECT_TRUE(Contains(page, "name=\"frame_left\""));
  EXPECT_TRUE(Contains(page, "src=\"?m=admin_menu\""));
  EXPECT_TRUE(Contains(page, "name=\"center\""));
  EXPECT_TRUE(Contains(page, "src=\"?m=admin_main\""));
  EXPECT_TRUE(Contains(page, "此网页使用了框架，但您的浏览器不支持框架"));
  EXPECT_FALSE(Contains(page, "admin/admin.js"));  // no console header
}

TEST_F(MenuTest, ShippedMenuGroupsItsRowsUnderTheHeads) {
  std::string page = Menu();
  EXPECT_TRUE(Contains(page, "<base target=\"center\">"));
  EXPECT_TRUE(Contains(page, "admin/admin.css"));
  // Heads at positions 1, 11, 20 and 29 of the shipped rows; every group starts folded.
  EXPECT_EQ(CountOf(page, "<table class=\"Menu\""), 4);
  for (int n : {1, 11, 20, 29}) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(Contains(page, "menu_tree('left_" + std::to_string(n) + "')"));
    EXPECT_TRUE(
        Contains(page, "<tr id=\"left_" + std::to_string(n) + "\" style=\"display:none;\""));
  }
  EXPECT_TRUE(Contains(page, "≡ 系统管理 ≡"));
  EXPECT_TRUE(Contains(page, "≡ 用户管理 ≡"));
  EXPECT_TRUE(Contains(Group(page, 1), "href=\"?m=admin_set\""));
  EXPECT_TRUE(Contains(Group(page, 11), "href=\"?m=admin_articleclass&amp;channelid=1\""));
  EXPECT_FALSE(Contains(Group(page, 11), "?m=admin_set\""));
  EXPECT_TRUE(Contains(Group(page, 29), "?m=admin_managerprivilege"));
  // The sign-out row: the fixed label, the whole window, a question first.
  EXPECT_TRUE(Contains(Group(page, 29),
                       "<a href=\"?m=admin_login&action=out\" target=\"_parent\" "
                       "onclick=\"return confirm('提示：您确定要退出系统吗?');\">注销登陆</a>"));
  EXPECT_TRUE(Contains(page, "function menu_tree(meval)"));
}

TEST_F(MenuTest, GroupIdsCountItemsTooAndHiddenRowsDropOut) {
  ReplaceMenu(
      "(0, 'A', '', 0, 1, 1, 1), (0, 'a1', '?m=a1', 0, 0, 1, 2), (0, 'a2', '?m=a2', 0, 0, 1, 3),"
      "(0, 'a3', '?m=a3', 0, 0, 1, 4), (0, 'B', '', 0, 1, 1, 5), (0, 'b1', '?m=b1', 0, 0, 1, 6),"
      "(0, 'hidden', '?m=h', 0, 0, 0, 7), (0, 'C', '', 0, 1, 0, 8), (0, 'c1', '?m=c1', 0, 0, 1, "
      "9)");
  std::string page = Menu();
  EXPECT_TRUE(Contains(page, "left_1"));
  EXPECT_TRUE(Contains(page, "left_5"));
  EXPECT_EQ(CountOf(page, "<table class=\"Menu\""), 2);
  EXPECT_FALSE(Contains(page, "hidden"));
  EXPECT_FALSE(Contains(page, "≡ C ≡"));
  // The items of a hidden head join the group above them.
  EXPECT_TRUE(Contains(Group(page, 5), "href=\"?m=c1\""));
  EXPECT_TRUE(Contains(Group(page, 1), "href=\"?m=a3\""));
}

TEST_F(MenuTest, NewWindowFlagAndTheWorkFrame) {
  ReplaceMenu(
      "(0, 'G', '', 0, 1, 1, 1), (0, 'out', 'http://example.invalid/', 1, 0, 1, 2),"
      "(0, 'in', '?m=admin_main', 0, 0, 1, 3), (0, 'odd', '?m=x', 7, 0, 1, 4),"
      "(0, 'my exit', '?m=admin_login&action=out', 1, 0, 1, 5)");
  std::string page = Menu();
  EXPECT_TRUE(Contains(page, "href=\"http://example.invalid/\" target=\"_blank\">out</a>"));
  // No empty target: that would name the menu frame itself instead of the base target center.
  EXPECT_TRUE(Contains(page, "href=\"?m=admin_main\">in</a>"));
  EXPECT_TRUE(Contains(page, "href=\"?m=x\">odd</a>"));
  EXPECT_FALSE(Contains(page, "target=\"\""));
  // The stored sign-out row keeps the fixed label and frame whatever its own name and flag.
  EXPECT_FALSE(Contains(page, "my exit"));
  EXPECT_TRUE(Contains(page, "target=\"_parent\""));
  EXPECT_EQ(CountOf(page, "注销登陆</a>"), 1);
}

TEST_F(MenuTest, NamesAndAddressesAreEncoded) {
  ReplaceMenu(
      "(0, '<b>head</b>', '', 0, 1, 1, 1),"
      "(0, 'a \"quoted\" <i>item</i>', '?m=x&y=\"><script>alert(1)</script>', 0, 0, 1, 2),"
      "(0, 'it''s', '?m=y', 0, 0, 1, 3)");
  std::string page = Menu();
  // Attributes take both quote kinds as entities; element text keeps the single quote.
  EXPECT_TRUE(Contains(page, "alt=\"it&#39;s\" title=\"it&#39;s\""));
  EXPECT_TRUE(Contains(page, "href=\"?m=y\">it's</a>"));
  EXPECT_TRUE(Contains(page, "≡ &lt;b&gt;head&lt;/b&gt; ≡"));
  EXPECT_TRUE(Contains(page, ">a &quot;quoted&quot; &lt;i&gt;item&lt;/i&gt;</a>"));
  EXPECT_TRUE(Contains(page, "title=\"a &quot;quoted&quot; &lt;i&gt;item&lt;/i&gt;\""));
  EXPECT_TRUE(
      Contains(page, "href=\"?m=x&amp;y=&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""));
  EXPECT_FALSE(Contains(page, "<script>alert(1)"));
  EXPECT_FALSE(Contains(page, "<b>head"));
}

TEST_F(MenuTest, EmptyMenuIsOnlyTheSpacer) {
  ReplaceMenu("");
  std::string page = Menu();
  EXPECT_EQ(CountOf(page, "<table class=\"Menu\""), 0);
  EXPECT_EQ(CountOf(page, "</table>"), 1);
  ReplaceMenu("(0, 'G', '', 0, 1, 0, 1), (0, 'x', '?m=x', 0, 0, 0, 2)");
  EXPECT_EQ(CountOf(Menu(), "</table>"), 1);
}

}  // namespace
}  // namespace folirex::testing
