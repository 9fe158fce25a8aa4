// The text parts of the interaction pages: the id check, and
// the encoder for text inside a quoted script string.
#include "site/interaction_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace folirex::interaction {
namespace {

TEST(InteractionTextTest, IdsAreDigitsThatFitARowId) {
  EXPECT_TRUE(IsId("1"));
  EXPECT_TRUE(IsId(Variant(42)));
  EXPECT_TRUE(IsId("123456789012345678"));
  EXPECT_FALSE(IsId("1234567890123456789"));
  for (const char* bad : {"", "01", "-1", "1.5", " 1", "1 or 1=1", "1e3"}) {
    EXPECT_FALSE(IsId(bad)) << bad;
  }
  EXPECT_FALSE(IsId(Variant::Null()));
  EXPECT_EQ(DigitsUpTo("32767", 32767), 32767);
  EXPECT_EQ(DigitsUpTo("32768", 32767), -1);
  EXPECT_EQ(DigitsUpTo("x", 32767), -1);
}

TEST(InteractionTextTest, ScriptStringsCannotBeLeftOrEndTheScript) {
  EXPECT_EQ(ScriptStringEncode("it's \"q\" \\"), "it\\'s \\\"q\\\" \\\\");
  EXPECT_EQ(ScriptStringEncode("a\r\nb"), "a\\r\\nb");
  EXPECT_EQ(ScriptStringEncode("</script>"), "\\x3C/script>");
  EXPECT_EQ(ScriptStringEncode(std::string("a\tb\x01", 4)), "a\\x09b\\x01");
  EXPECT_EQ(ScriptStringEncode("x\xE2\x80\xA8y"), "x\\u2028y");
  EXPECT_EQ(ScriptStringEncode("邮件发送成功"), "邮件发送成功");
}

}  // namespace
}  // namespace folirex::interaction
