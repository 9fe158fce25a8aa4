// Id lists posted by the console's list forms.
#include "core/id_list.h"

#include <gtest/gtest.h>

namespace folirex {
namespace {

TEST(ParseIdList, TakesTheIdsTheBrowserJoins) {
  IdList list;
  ASSERT_TRUE(ParseIdList("3, 7,12", &list));
  EXPECT_EQ(list.ids, (std::vector<int64_t>{3, 7, 12}));
  EXPECT_EQ(list.sql, "3,7,12");
  ASSERT_TRUE(ParseIdList("  5  ", &list));
  EXPECT_EQ(list.sql, "5");
  ASSERT_TRUE(ParseIdList("4, 4, 0", &list));
  EXPECT_EQ(list.sql, "4,0");
  ASSERT_TRUE(ParseIdList("9223372036854775807", &list));
  EXPECT_EQ(list.ids.front(), 9223372036854775807LL);
}

TEST(ParseIdList, RefusesAnythingButPlainIds) {
  IdList list;
  list.sql = "untouched";
  for (const char* bad :
       {"", " ", "1,", ",1", "1,,2", "1;2", "1) or (1=1", "1 2", "-1", "+1", "01", "1.0", "0x10",
        "1e3", "９", "9223372036854775808", "3, 7 union select d_password from Vantrel_Admin"}) {
    EXPECT_FALSE(ParseIdList(bad, &list)) << bad;
  }
  EXPECT_EQ(list.sql, "untouched");
}

TEST(ParseIdList, RefusesMoreIdsThanAFormPostsButNotRepeats) {
  std::string posted;
  for (size_t i = 1; i <= kMostPostedIds; ++i) posted += std::to_string(i) + ",";
  IdList list;
  ASSERT_TRUE(ParseIdList(posted + "1, 2", &list));
  EXPECT_EQ(list.ids.size(), kMostPostedIds);
  list.sql = "untouched";
  EXPECT_FALSE(ParseIdList(posted + "99999", &list));
  EXPECT_EQ(list.sql, "untouched");
}

}  // namespace
}  // namespace folirex
