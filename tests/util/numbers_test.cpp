#include "util/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "util/text.h"

namespace plattero {
namespace {

TEST(StrToIntOr0Test, AcceptsOnlyTheExactSyntax) {
  const std::pair<std::u16string, std::int32_t> cases[] = {
      {u"12", 12},
      {u"  12", 12},
      {u"+12", 12},
      {u"-12", -12},
      {u"007", 7},
      {u"0", 0},
      {u"2147483647", 2147483647},
      {u"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {u"$10", 16},
      {u"0x10", 16},
      {u"0X1f", 31},
      {u"x10", 16},
      {u"X10", 16},
      {u"-$10", -16},
      {u"$FFFFFFFF", -1},
      {u"$80000000", std::numeric_limits<std::int32_t>::min()},
      {u"$000000000001", 1},
      // invalid
      {u"12 ", 0},
      {u"1.5", 0},
      {u"", 0},
      {u"   ", 0},
      {u"-", 0},
      {u"+", 0},
      {u"$", 0},
      {u"0x", 0},
      {u"-0x", 0},
      {u"abc", 0},
      {u"\t12", 0},
      {u"- 12", 0},
      {u"+-12", 0},
      {u"2147483648", 0},
      {u"-2147483649", 0},
      {u"99999999999999999999999", 0},
      {u"$100000000", 0},
      {u"$1G", 0},
      {u"0x0x1", 0},
      {u"１２", 0},  // full-width digits
  };
  for (const auto& [text, want] : cases) {
    EXPECT_EQ(StrToIntOr0(text), want) << Utf16ToUtf8(text);
  }
}

TEST(StrToFloatOr0Test, AcceptsOnlyTheExactSyntax) {
  const std::pair<std::u16string, double> cases[] = {
      {u"10", 10.0},
      {u"  10", 10.0},
      {u".5", 0.5},
      {u"5.", 5.0},
      {u".", 0.0},
      {u"+2.5", 2.5},
      {u"-2.5", -2.5},
      {u"1.5e3", 1500.0},
      {u"1.5E+3", 1500.0},
      {u"15e-1", 1.5},
      {u"-.25e1", -2.5},
      {u"0.1", 0.1},
      {u"00000000000000000000000000012.5", 12.5},
      {u"1e-400", 0.0},
      {u"0e99999999999999999999", 0.0},
      // invalid
      {u"1,5", 0.0},
      {u"10mm", 0.0},
      {u"+", 0.0},
      {u"-", 0.0},
      {u"1e", 0.0},
      {u"1e+", 0.0},
      {u"", 0.0},
      {u"1.2.3", 0.0},
      {u"10 ", 0.0},
      {u"\t10", 0.0},
      {u"inf", 0.0},
      {u"nan", 0.0},
      {u"0x10", 0.0},
      {u"1_000", 0.0},
  };
  for (const auto& [text, want] : cases) {
    EXPECT_EQ(StrToFloatOr0(text), want) << Utf16ToUtf8(text);
  }
}

TEST(StrToFloatOr0Test, OutOfRangeGivesSignedInfinityOrZero) {
  EXPECT_EQ(StrToFloatOr0(u"1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(StrToFloatOr0(u"-1e99999999999999999999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(StrToFloatOr0(u"0.0000001e316"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(StrToFloatOr0(u"1000000e-330"), 0.0);
  const double tiny = StrToFloatOr0(u"-1e-400");
  EXPECT_EQ(tiny, 0.0);
  EXPECT_TRUE(std::signbit(tiny));
  EXPECT_EQ(StrToFloatOr0(u"1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(StrToFloatOr0(u"4.9406564584124654e-324"), std::numeric_limits<double>::denorm_min());
}

// Counts and gaps as typed: what an input method gives is the number it
// shows, blanks around it are fine, and what is no number is told apart from 0.
TEST(TypedNumberTest, ReadsWhatAnInputMethodTypesAndTellsNoNumberFromZero) {
  const std::optional<double> none;
  const std::pair<std::u16string, std::optional<double>> cases[] = {
      {u"10", 10.0},
      {u"\t10 ", 10.0},
      {u"\u3000１０\u3000", 10.0},
      {u"１２３４５６７８９０", 1234567890.0},
      {u"－５", -5.0},
      {u"\u2212５", -5.0},
      {u"＋１．５ｅ３", 1500.0},
      {u"0", 0.0},
      {u"", none},
      {u"   ", none},
      {u"10mm", none},
      {u"１０ｍｍ", none},
      {u"1O", none},
      {u"1 0", none},
      {u"1\u30000", none},
      {u".", none},
      {u"－", none},
      {u"1,5", none},
      {u"1e400", none},
      {u"-1e400", none},
      {std::u16string(u"1\0", 2), none},
  };
  for (const auto& [text, want] : cases) {
    EXPECT_EQ(TypedNumber(text), want) << Utf16ToUtf8(text);
  }
  const std::optional<std::int32_t> no;
  const std::pair<std::u16string, std::optional<std::int32_t>> integers[] = {
      {u"3", 3},     {u" ３ ", 3},        {u"\u3000１０００", 1000},
      {u"－１", -1}, {u"＄１０", 16},     {u"0", 0},
      {u"", no},     {u"1.5", no},        {u"３個", no},
      {u"1 2", no},  {u"2147483648", no}, {u"-", no},
  };
  for (const auto& [text, want] : integers) {
    EXPECT_EQ(TypedInteger(text), want) << Utf16ToUtf8(text);
  }
}

TEST(IntStrTest, Decimal) {
  EXPECT_EQ(IntStr(-5), u"-5");
  EXPECT_EQ(IntStr(0), u"0");
  EXPECT_EQ(IntStr(1234567), u"1234567");
  EXPECT_EQ(IntStr(std::numeric_limits<std::int32_t>::min()), u"-2147483648");
}

TEST(IsFiniteNumberTest, RejectsNanAndInfinities) {
  EXPECT_TRUE(IsFiniteNumber(std::numeric_limits<double>::max()));
  EXPECT_TRUE(IsFiniteNumber(-std::numeric_limits<double>::denorm_min()));
  EXPECT_FALSE(IsFiniteNumber(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(IsFiniteNumber(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(IsFiniteNumber(-std::numeric_limits<double>::infinity()));
}

TEST(SamePointTest, ToleranceIsInclusive) {
  EXPECT_TRUE(SamePoint(0, 0, 1e-12, -1e-12));
  EXPECT_FALSE(SamePoint(0, 0, 2e-12, 0));
  EXPECT_FALSE(SamePoint(0, 0, 0, 2e-12));
  EXPECT_TRUE(SamePoint(1e6, -3.5, 1e6, -3.5));
  EXPECT_FALSE(SamePoint(0, 0, std::nan(""), 0));
}

}  // namespace
}  // namespace plattero
