#include "platform/db/variant.h"

#include <gtest/gtest.h>

namespace folirex {
namespace {

DateTime D(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  DateTime t;
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  return t;
}

TEST(VariantTest, TypesAndBlankness) {
  EXPECT_EQ(Variant().type(), Variant::Type::kEmpty);
  EXPECT_EQ(Variant::Null().type(), Variant::Type::kNull);
  EXPECT_EQ(Variant(true).type(), Variant::Type::kBoolean);
  EXPECT_EQ(Variant(3).type(), Variant::Type::kInteger);
  EXPECT_EQ(Variant(2.5).type(), Variant::Type::kDouble);
  EXPECT_EQ(Variant(D(2024, 1, 2)).type(), Variant::Type::kDate);
  EXPECT_EQ(Variant("x").type(), Variant::Type::kText);
  EXPECT_TRUE(Variant().IsBlank());
  EXPECT_TRUE(Variant::Null().IsBlank());
  EXPECT_TRUE(Variant("").IsBlank());
  EXPECT_FALSE(Variant(" ").IsBlank());
  EXPECT_FALSE(Variant(0).IsBlank());
}

TEST(VariantTest, TextOfValues) {
  EXPECT_EQ(Variant().ToString(), "");
  EXPECT_EQ(Variant::Null().ToString(), "");
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant(false).ToString(), "False");
  EXPECT_EQ(Variant(-42).ToString(), "-42");
  EXPECT_EQ(Variant(2.5).ToString(), "2.5");
  EXPECT_EQ(Variant(2.0).ToString(), "2");
  EXPECT_EQ(Variant(0.1 + 0.2).ToString(), "0.3");
  EXPECT_EQ(Variant(1e15).ToString(), "1E+15");
  EXPECT_EQ(Variant(1e14).ToString(), "100000000000000");
  EXPECT_EQ(Variant(0.0001).ToString(), "0.0001");
  EXPECT_EQ(Variant(0.00001).ToString(), "1E-05");
  EXPECT_EQ(Variant(D(2024, 3, 5, 9, 7, 3)).ToString(), "2024-3-5 9:07:03");
  EXPECT_EQ(Variant(D(2024, 12, 25)).ToString(), "2024-12-25");
  EXPECT_EQ(Variant("中文").ToString(), "中文");
  EXPECT_THROW(Variant::Null().CStr(), VariantError);
  EXPECT_EQ(Variant(7).CStr(), "7");
}

TEST(VariantTest, WholeNumberConversionsRoundHalfToEvenAndOverflow) {
  EXPECT_EQ(Variant(2.5).CLng(), 2);
  EXPECT_EQ(Variant(3.5).CLng(), 4);
  EXPECT_EQ(Variant(-2.5).CLng(), -2);
  EXPECT_EQ(Variant(2.6).CLng(), 3);
  EXPECT_EQ(Variant(" 12 ").CLng(), 12);
  EXPECT_EQ(Variant("1.5").CInt(), 2);
  EXPECT_EQ(Variant("&HFF").CLng(), 255);
  EXPECT_EQ(Variant("&HFFFF").CInt(), -1);
  EXPECT_EQ(Variant(true).CLng(), -1);
  EXPECT_EQ(Variant(false).CInt(), 0);
  EXPECT_EQ(Variant().CLng(), 0);
  EXPECT_EQ(Variant(32767).CInt(), 32767);
  EXPECT_THROW(Variant(32768).CInt(), VariantError);
  EXPECT_THROW(Variant(-32769).CInt(), VariantError);
  EXPECT_EQ(Variant(-32768).CInt(), -32768);
  EXPECT_EQ(Variant("2147483647").CLng(), 2147483647);
  EXPECT_THROW(Variant("2147483648").CLng(), VariantError);
  EXPECT_THROW(Variant(2147483647.5).CLng(), VariantError);  // rounds to 2147483648
  EXPECT_THROW(Variant("abc").CLng(), VariantError);
  EXPECT_THROW(Variant("").CLng(), VariantError);
  EXPECT_THROW(Variant("1 2").CLng(), VariantError);
  EXPECT_THROW(Variant::Null().CLng(), VariantError);
  EXPECT_EQ(Variant("9000000000").ToInt64(), 9000000000LL);
  EXPECT_EQ(Variant("x").ToInt64Or(-7), -7);
  EXPECT_EQ(Variant::Null().ToInt64Or(5), 5);
}

TEST(VariantTest, DoubleAndBooleanConversions) {
  EXPECT_DOUBLE_EQ(Variant("1e3").CDbl(), 1000);
  EXPECT_DOUBLE_EQ(Variant("-.5").CDbl(), -0.5);
  EXPECT_DOUBLE_EQ(Variant(true).CDbl(), -1);
  EXPECT_DOUBLE_EQ(Variant(D(1900, 1, 1)).CDbl(), 2);
  EXPECT_THROW(Variant("1,000").CDbl(), VariantError);
  EXPECT_DOUBLE_EQ(Variant("bad").ToDoubleOr(1.5), 1.5);
  EXPECT_TRUE(Variant("TRUE").CBool());
  EXPECT_FALSE(Variant(" false ").CBool());
  EXPECT_TRUE(Variant("2").CBool());
  EXPECT_FALSE(Variant("0").CBool());
  EXPECT_TRUE(Variant(-1).CBool());
  EXPECT_FALSE(Variant().CBool());
  EXPECT_THROW(Variant("yes").CBool(), VariantError);
  EXPECT_THROW(Variant::Null().CBool(), VariantError);
  EXPECT_TRUE(Variant("yes").ToBoolOr(true));
}

TEST(VariantTest, NumericAndDateTests) {
  EXPECT_TRUE(Variant("12").IsNumeric());
  EXPECT_TRUE(Variant(" -1.5e2 ").IsNumeric());
  EXPECT_TRUE(Variant().IsNumeric());
  EXPECT_TRUE(Variant(true).IsNumeric());
  EXPECT_FALSE(Variant("").IsNumeric());
  EXPECT_FALSE(Variant("12a").IsNumeric());
  EXPECT_FALSE(Variant::Null().IsNumeric());
  EXPECT_FALSE(Variant(D(2024, 1, 1)).IsNumeric());
  EXPECT_TRUE(Variant("2024-2-29").IsDate());
  EXPECT_FALSE(Variant("2023-2-29").IsDate());
  EXPECT_FALSE(Variant("hello").IsDate());
  EXPECT_EQ(Variant("2024/02/03 04:05:06").CDate(), D(2024, 2, 3, 4, 5, 6));
  EXPECT_THROW(Variant("hello").CDate(), VariantError);
}

TEST(VariantTest, ScriptingEqualityRules) {
  EXPECT_TRUE(Variant("2") == Variant(2));
  EXPECT_TRUE(Variant(2) == Variant("2"));
  EXPECT_TRUE(Variant(" 2.0 ") == Variant(2));
  EXPECT_TRUE(Variant(2.0) == Variant(2));
  EXPECT_FALSE(Variant("2a") == Variant(2));
  EXPECT_TRUE(Variant(true) == Variant(-1));
  EXPECT_TRUE(Variant(false) == Variant(0));
  EXPECT_FALSE(Variant(true) == Variant(1));
  EXPECT_TRUE(Variant(true) == Variant("True"));
  EXPECT_TRUE(Variant() == Variant(0));
  EXPECT_TRUE(Variant() == Variant(""));
  EXPECT_TRUE(Variant() == Variant());
  EXPECT_FALSE(Variant() == Variant("a"));
  // Null is equal to nothing, itself included.
  EXPECT_FALSE(Variant::Null() == Variant::Null());
  EXPECT_FALSE(Variant::Null() == Variant(0));
  EXPECT_FALSE(Variant::Null() == Variant(""));
  EXPECT_FALSE(Variant(0).Less(Variant::Null()));
  EXPECT_FALSE(Variant::Null().Less(Variant(0)));
  // Text compares as text, with letter case.
  EXPECT_FALSE(Variant("abc") == Variant("ABC"));
  EXPECT_TRUE(Variant("abc") == Variant("abc"));
  EXPECT_TRUE(Variant(D(2024, 1, 2)) == Variant("2024-01-02"));
  EXPECT_TRUE(Variant(D(2024, 1, 2)) == Variant(D(2024, 1, 2)));
}

TEST(VariantTest, ScriptingOrderingRules) {
  EXPECT_TRUE(Variant("10").Less(Variant(11)));
  EXPECT_TRUE(Variant(9).Less(Variant("10")));    // numerically, not as text
  EXPECT_TRUE(Variant("10").Less(Variant("9")));  // two texts compare as text
  EXPECT_TRUE(Variant(5).Less(Variant("abc")));   // a number is below non-numeric text
  EXPECT_FALSE(Variant("abc").Less(Variant(5)));
  EXPECT_TRUE(Variant(true).Less(Variant(false)));  // -1 < 0
  EXPECT_TRUE(Variant(D(2024, 1, 1)).Less(Variant(D(2024, 1, 1, 0, 0, 1))));
  EXPECT_TRUE(Variant().Less(Variant(1)));
}

TEST(DateTimeTest, ParseAcceptsThePagesFormsOnly) {
  DateTime d;
  ASSERT_TRUE(DateTime::Parse("2024-3-5", &d));
  EXPECT_EQ(d, D(2024, 3, 5));
  ASSERT_TRUE(DateTime::Parse("2024-03-05 7:08", &d));
  EXPECT_EQ(d, D(2024, 3, 5, 7, 8, 0));
  ASSERT_TRUE(DateTime::Parse("2024/03/05 07:08:09", &d));
  EXPECT_EQ(d, D(2024, 3, 5, 7, 8, 9));
  ASSERT_TRUE(DateTime::Parse("2024-03-05T07:08:09", &d));
  EXPECT_EQ(d, D(2024, 3, 5, 7, 8, 9));
  ASSERT_TRUE(DateTime::Parse("2024-03-05 07:08:09.123", &d));
  EXPECT_EQ(d, D(2024, 3, 5, 7, 8, 9));
  DateTime untouched = D(2000, 1, 1);
  d = untouched;
  for (const char* bad : {"", "2024", "2024-13-01", "2024-02-30", "2024-1-1 24:00",
                          "2024-1-1 10:60", "2024-1-1 x", "24-1-1", "2024-1/1", "abc"}) {
    EXPECT_FALSE(DateTime::Parse(bad, &d)) << bad;
    EXPECT_EQ(d, untouched) << bad;
  }
}

TEST(DateTimeTest, SerialsWeekdaysAndTexts) {
  EXPECT_DOUBLE_EQ(D(1899, 12, 30).ToSerial(), 0);
  EXPECT_DOUBLE_EQ(D(1899, 12, 31, 12).ToSerial(), 1.5);
  EXPECT_DOUBLE_EQ(D(1899, 12, 29, 6).ToSerial(), -1.25);
  EXPECT_EQ(DateTime::FromSerial(-1.25), D(1899, 12, 29, 6));
  EXPECT_EQ(DateTime::FromSerial(45292.75), D(2024, 1, 1, 18));
  DateTime round = D(2031, 7, 19, 23, 59, 59);
  EXPECT_EQ(DateTime::FromSerial(round.ToSerial()), round);
  EXPECT_EQ(D(1970, 1, 1).DayNumber(), 0);
  EXPECT_EQ(D(1969, 12, 31).DayNumber(), -1);
  EXPECT_EQ(D(2024, 1, 7).Weekday(), 1);   // Sunday
  EXPECT_EQ(D(2024, 1, 13).Weekday(), 7);  // Saturday
  EXPECT_EQ(D(1899, 12, 30).Weekday(), 7);
  EXPECT_EQ(D(2024, 1, 5, 3, 4, 5).ToStorage(), "2024-01-05 03:04:05");
  EXPECT_EQ(D(2024, 1, 5, 3, 4, 5).ToDefaultText(), "2024-1-5 3:04:05");
  EXPECT_EQ(D(2024, 1, 5).ToDefaultText(), "2024-1-5");
  DateTime now = DateTime::Now();
  DateTime parsed;
  ASSERT_TRUE(DateTime::Parse(now.ToStorage(), &parsed));
  EXPECT_EQ(parsed, now);
}

TEST(DateTimeTest, DateDiffCountsBoundaries) {
  int64_t n = 0;
  ASSERT_TRUE(DateDiff("d", D(2024, 1, 1, 23, 59), D(2024, 1, 2, 0, 1), &n));
  EXPECT_EQ(n, 1);
  ASSERT_TRUE(DateDiff("y", D(2024, 1, 1), D(2024, 3, 1), &n));
  EXPECT_EQ(n, 60);  // day of year: counts days like "d"
  ASSERT_TRUE(DateDiff("D", D(2024, 1, 10), D(2024, 1, 1), &n));
  EXPECT_EQ(n, -9);
  ASSERT_TRUE(DateDiff("yyyy", D(2023, 12, 31), D(2024, 1, 1), &n));
  EXPECT_EQ(n, 1);
  ASSERT_TRUE(DateDiff("m", D(2023, 11, 30), D(2024, 2, 1), &n));
  EXPECT_EQ(n, 3);
  ASSERT_TRUE(DateDiff("q", D(2024, 3, 31), D(2024, 4, 1), &n));
  EXPECT_EQ(n, 1);
  ASSERT_TRUE(DateDiff("h", D(2024, 1, 1, 10, 59), D(2024, 1, 1, 11, 0), &n));
  EXPECT_EQ(n, 1);
  ASSERT_TRUE(DateDiff("n", D(2024, 1, 1, 10, 59, 59), D(2024, 1, 1, 11, 0, 0), &n));
  EXPECT_EQ(n, 1);
  ASSERT_TRUE(DateDiff("s", D(2024, 1, 1), D(2024, 1, 2), &n));
  EXPECT_EQ(n, 86400);
  ASSERT_TRUE(DateDiff("ww", D(2024, 1, 6), D(2024, 1, 7), &n));  // Saturday to Sunday
  EXPECT_EQ(n, 1);
  ASSERT_TRUE(DateDiff("w", D(2024, 1, 6), D(2024, 1, 12), &n));
  EXPECT_EQ(n, 0);
  ASSERT_TRUE(DateDiff("w", D(2024, 1, 6), D(2024, 1, 13), &n));
  EXPECT_EQ(n, 1);
  EXPECT_FALSE(DateDiff("x", D(2024, 1, 1), D(2024, 1, 2), &n));
}

}  // namespace
}  // namespace folirex
