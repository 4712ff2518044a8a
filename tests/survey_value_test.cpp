#include "survey/survey_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/utf.h"

namespace varnello {
namespace {

const NumberFormat kChinese{u"."};
const NumberFormat kComma{u","};

SurveyValue T(const std::u16string& s) { return SurveyValue::Text(s); }

std::string Memory(const std::vector<SurveyValue>& capacities) {
  SurveyValue total = SurveyValue::Whole(0), count;
  for (const auto& capacity : capacities) {
    auto sum = Sum(total, capacity, kChinese);
    if (sum) total = *sum;
    count = *Sum(count, SurveyValue::Whole(1), kChinese);
  }
  auto text = MemoryText(total, count, kChinese);
  return text ? ToUtf8(*text) : "<failed>";
}

std::string Disk(const SurveyValue& size, const NumberFormat& format = kChinese) {
  auto text = DiskSizeText(size, format);
  return text ? ToUtf8(*text) : "<failed>";
}

std::string Text(double x, const NumberFormat& format = kChinese) {
  return ToUtf8(TextOf(SurveyValue::Real(x), format));
}

// Modules' capacities summed as the survey sums them: a capacity that is
// no number fails its own sum only, a null one empties the total for good.
TEST(MemoryText, SumsModulesAndCountsThem) {
  const SurveyValue null = SurveyValue::Null();
  EXPECT_EQ(Memory({T(u"4294967296"), T(u"4294967296")}), "8192 MB / 2条");
  EXPECT_EQ(Memory({T(u"536871912")}), "512.000953674316 MB / 1条");
  EXPECT_EQ(Memory({}), "0 MB / 条");
  EXPECT_EQ(Memory({null, T(u"4294967296")}), " MB / 2条");
  EXPECT_EQ(Memory({T(u"4294967296"), null}), " MB / 2条");
  EXPECT_EQ(Memory({T(u"4294967296"), T(u"unknown")}), "4096 MB / 2条");
}

// Two decimals, halves to the even hundredth, trailing zeros dropped;
// below 1 GB in MB; a null size takes the GB branch, an unset one is 0; the
// size text is read with the region's separator.
TEST(DiskSizeText, RoundedInGigabytesOrMegabytes) {
  struct Case {
    SurveyValue size;
    const char* shown;
    NumberFormat format = kChinese;
  };
  const Case cases[] = {
      {T(u"500105249280"), "465.76 GB"},   {T(u"2000398934016"), "1863.02 GB"},
      {T(u"1073741824"), "1 GB"},          {T(u"500000000000000"), "465661.29 GB"},
      {T(u"1073741823"), "1024 MB"},       {T(u"0"), "0 MB"},
      {T(u"131072"), "0.12 MB"},           {T(u"393216"), "0.38 MB"},
      {SurveyValue::Real(465.7 * 1073741824.0), "465.7 GB"},
      {SurveyValue::Null(), " GB"},        {SurveyValue(), "0 MB"},
      {T(u"500105249280"), "465,76 GB", kComma},
      {T(u"1,5"), "0 MB", kComma},         {T(u"1.5"), "<failed>", kComma},
      {T(u""), "<failed>"},                {T(u"about 80 GB"), "<failed>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Disk(c.size, c.format), c.shown) << ToUtf8(TextOf(c.size, kChinese));
}

// Reals in their shortest form of at most fifteen digits, rounded at the
// fifteenth, in exponent form from 1E+15 and below 1E-04.
TEST(TextOf, RealsInShortestFormOfFifteenDigits) {
  const std::pair<double, const char*> cases[] = {
      {8192, "8192"},   {-0.25, "-0.25"}, {-0.0, "0"}, {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"}, {123456789012345.0, "123456789012345"}, {0.0001, "0.0001"},
      {1e15, "1E+15"},  {1234567890123456789.0, "1.23456789012346E+18"}, {0.00001, "1E-05"},
      {-2.5e-300, "-2.5E-300"}};
  for (const auto& [x, text] : cases) EXPECT_EQ(Text(x), text) << x;
  EXPECT_EQ(Text(465.76, kComma), "465,76");
  EXPECT_EQ(Text(465.76, NumberFormat{u""}), "465.76");
}

TEST(TextOf, OtherKinds) {
  EXPECT_EQ(TextOf(SurveyValue(), kChinese), u"");
  EXPECT_EQ(TextOf(SurveyValue::Null(), kChinese), u"");
  EXPECT_EQ(TextOf(T(u"  Intel  "), kChinese), u"  Intel  ");
  EXPECT_EQ(TextOf(SurveyValue::Whole(-42), kChinese), u"-42");
  EXPECT_EQ(TextOf(SurveyValue::Whole(INT64_MIN), kChinese), u"-9223372036854775808");
}

TEST(CaptionText, NullFailsWhereJoiningWouldNot) {
  EXPECT_FALSE(CaptionText(SurveyValue::Null(), kChinese).ok());
  EXPECT_EQ(*CaptionText(SurveyValue(), kChinese), u"");
  EXPECT_EQ(*CaptionText(T(u" x"), kChinese), u" x");
  EXPECT_EQ(Join({SurveyValue::Null(), u"型号:", SurveyValue()}, kChinese), u"型号:");
}

TEST(Arithmetic, KindOfSums) {
  EXPECT_EQ(*Sum(SurveyValue(), SurveyValue::Whole(1), kChinese), SurveyValue::Whole(1));
  EXPECT_EQ(*Sum(SurveyValue::Whole(0), T(u"2"), kChinese), SurveyValue::Real(2));
  EXPECT_EQ(*Sum(SurveyValue::Whole(INT64_MAX), SurveyValue::Whole(1), kChinese),
            SurveyValue::Real(9223372036854775808.0));
  EXPECT_EQ(Sum(SurveyValue::Real(1.7e308), T(u"1.7e308"), kChinese).error().code, hr::kOverflow);
}

// Property texts of any content get a defined result and never read out of
// bounds.
struct ParseCase {
  std::u16string text;
  bool ok;
  double value;
};

TEST(ParseDecimal, OddTexts) {
  const std::vector<ParseCase> cases = {
      {u"12", true, 12},          {u"  12  ", true, 12},    {u"+7", true, 7},
      {u"-0", true, -0.0},        {u".5", true, 0.5},       {u"5.", true, 5},
      {u"000123.4500", true, 123.45},  {u"1e3", true, 1000},  {u"2.5E-3", true, 0.0025},
      {u"1e-400", true, 0},       {u"18446744073709551617", true, 18446744073709551617.0},  // beyond 64 bits
      {u"0.000000000000000000000000000000000000001e39", true, 1},
      {u"", false, 0},    {u"   ", false, 0},   {u".", false, 0},     {u"-", false, 0},
      {u"1e", false, 0},  {u"1e+", false, 0},   {u"1e400", false, 0}, {u"-1e400", false, 0},
      {u"0x10", false, 0}, {u"&H10", false, 0}, {u"1,000", false, 0}, {u"12 34", false, 0},
      {u"\t12", false, 0}, {std::u16string(u"12\0" u"34", 5), false, 0}, {std::u16string(u"12\0", 3), false, 0},
      {u"\xD800" u"12", false, 0}, {u"12\xDFFF", false, 0},
      {u"１２", false, 0},  // full-width digits
      {u"NaN", false, 0}, {u"inf", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    auto r = ParseDecimal(c.text, kChinese);
    ASSERT_EQ(r.ok(), c.ok);
    if (c.ok) {
      EXPECT_EQ(*r, c.value);
      EXPECT_EQ(std::signbit(*r), std::signbit(c.value));
    }
  }
}

TEST(ParseDecimal, VeryLongTexts) {
  const std::u16string million_digits(1 << 20, u'9');
  auto huge = ParseDecimal(million_digits, kChinese);
  EXPECT_EQ(huge.error().code, hr::kOverflow);

  std::u16string long_fraction = u"0." + std::u16string(1 << 20, u'0') + u"1e1048577";
  EXPECT_DOUBLE_EQ(*ParseDecimal(long_fraction, kChinese), 1.0);

  std::u16string long_exponent = u"1e" + std::u16string(1 << 20, u'9');
  EXPECT_FALSE(ParseDecimal(long_exponent, kChinese).ok());
  std::u16string long_negative_exponent = u"1e-" + std::u16string(1 << 20, u'9');
  EXPECT_EQ(*ParseDecimal(long_negative_exponent, kChinese), 0.0);

  std::u16string junk(1 << 20, u'\xD83D');
  EXPECT_FALSE(ParseDecimal(junk, kChinese).ok());
}

TEST(ParseDecimal, RegionalSeparatorsOfMoreThanOneCharacter) {
  const NumberFormat odd{u"::"};
  EXPECT_EQ(*ParseDecimal(u"1::5", odd), 1.5);
  EXPECT_FALSE(ParseDecimal(u"1:5", odd).ok());
  EXPECT_EQ(ToUtf8(TextOf(SurveyValue::Real(1.5), odd)), "1::5");
}

}  // namespace
}  // namespace varnello
