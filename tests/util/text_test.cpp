#include "util/text.h"

#include <gtest/gtest.h>

namespace brumkey {
namespace {

TEST(Text, Utf8RoundTripAndInvalidBytes) {
  const std::wstring w = L"K\u00e9y \u20ac \U0001F3B9";
  EXPECT_EQ(Utf8ToWide(WideToUtf8(w)), w);
  // A truncated, overlong or surrogate sequence becomes one U+FFFD.
  EXPECT_EQ(Utf8ToWide("a\xE2\x82"), L"a\uFFFD");
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD");
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD");
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
  EXPECT_FALSE(IsValidUtf8("\xFF"));
  EXPECT_TRUE(IsValidUtf8("plain \xC3\xA9"));
}

TEST(Text, NumberParsingFollowsTheLooseRules) {
  struct Case { const wchar_t* in; int dec; int hex; };
  const Case cases[] = {
      {L"", 0, 0},          {L"  42x", 42, 0x42},    {L"-7", -7, -7},
      {L"1a2b", 1, 0x1A2B}, {L"0x1A2B", 0, 0x1A2B}, {L"0X1a2b", 0, 0x1A2B},
      {L"zz", 0, 0},        {L"99999999999", 2147483647, 2147483647},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDecimal(c.in), c.dec) << c.in;
    EXPECT_EQ(ParseHex(c.in), c.hex) << c.in;
  }
}

TEST(Text, UpperCaseTouchesAsciiOnly) {
  EXPECT_EQ(ToUpperAscii(std::wstring(L"hid#vid_1209&mi_03\u00e9")), L"HID#VID_1209&MI_03\u00e9");
}

}  // namespace
}  // namespace brumkey
