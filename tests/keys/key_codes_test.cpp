#include <gtest/gtest.h>

#include <climits>

#include "keys/key_codes.h"

namespace brumkey {
namespace {

TEST(VkToKeyCode, Table) {
  struct Case { int vk; int code; };
  const Case cases[] = {
      {'A', 4},    {'Z', 29},   {'1', 30},   {'9', 38},   {'0', 39},   {8, 42},     {9, 43},
      {13, 40},    {19, 72},    {20, 57},    {27, 41},    {32, 44},    {33, 75},    {34, 78},
      {35, 77},    {36, 74},    {37, 80},    {38, 82},    {39, 79},    {40, 81},    {44, 70},
      {45, 73},    {46, 76},    {91, 227},   {92, 231},   {93, 101},   {96, 98},    {97, 89},
      {105, 97},   {106, 85},   {107, 87},   {108, 88},   {109, 86},   {110, 99},   {111, 84},
      {112, 58},   {123, 69},   {124, 104},  {135, 115},  {136, 136},  {139, 139},  {144, 83},
      {145, 71},   {160, 225},  {161, 229},  {162, 224},  {163, 228},  {164, 226},  {165, 230},
      {166, 243},  {167, 244},  {168, 246},  {169, 245},  {170, 247},  {171, 248},  {172, 241},
      {173, 235},  {174, 233},  {175, 234},  {176, 239},  {177, 237},  {178, 236},  {179, 238},
      {180, 240},  {181, 232},  {182, 249},  {183, 242},  {186, 51},   {187, 46},   {188, 54},
      {189, 45},   {190, 55},   {191, 56},   {192, 53},   {193, 135},  {219, 47},   {220, 49},
      {221, 48},   {222, 52},   {226, 100},  {254, 175},  {666, 50},
  };
  for (const Case& c : cases) EXPECT_EQ(VkToKeyCode(c.vk), c.code) << c.vk;
}

TEST(VkToKeyCode, TotalOverInt) {
  for (int vk : {INT_MIN, -1, 0, 7, 16, 17, 18, 47, 58, 64, 94, 95, 140, 146, 159, 184, 194,
                 218, 223, 255, 665, 667, INT_MAX})
    EXPECT_EQ(VkToKeyCode(vk), 0) << vk;
}

TEST(KeyLegend, TableAndTotality) {
  struct Case { int code; const wchar_t* text; };
  const Case cases[] = {
      {4, L"A"},       {29, L"Z"},     {30, L"1"},       {39, L"0"},       {89, L"1"},
      {98, L"0"},      {40, L"ENTER"}, {42, L"backspace"}, {49, L"\\"},    {58, L"F1"},
      {69, L"F12"},    {72, L"PASE"},  {75, L"PG UP"},   {83, L"NumLock"}, {88, L"Enter"},
      {100, L"k45"},   {101, L"MENU"}, {135, L"k56"},    {175, L"FN"},     {224, L"CTRL"},
      {229, L"RSHIFT"}, {230, L"RALT"},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyLegend(c.code), c.text) << c.code;
  for (int code : {INT_MIN, -4, 0, 3, 50, 102, 134, 174, 223, 231, 232, 255, INT_MAX})
    EXPECT_EQ(KeyLegend(code), L"") << code;
}

TEST(Shortcuts, ModifiersFirstReleasedInReverse) {
  const auto ctrlC = ShortcutSteps(2);
  ASSERT_EQ(ctrlC.size(), 4u);
  EXPECT_EQ(ctrlC[0].usage, 0xE0);
  EXPECT_FALSE(ctrlC[0].release);
  EXPECT_EQ(ctrlC[1].usage, 0x06);
  EXPECT_EQ(ctrlC[2].usage, 0x06);
  EXPECT_TRUE(ctrlC[2].release);
  EXPECT_EQ(ctrlC[3].usage, 0xE0);
  EXPECT_TRUE(ctrlC[3].release);
  // Alt+Space is let go before the menu letter.
  const auto close = ShortcutSteps(13);
  ASSERT_EQ(close.size(), 6u);
  EXPECT_EQ(close[3].usage, 0xE2);
  EXPECT_TRUE(close[3].release);
  EXPECT_EQ(close[4].usage, 0x1B);
  for (int n = 1; n <= 15; ++n) {
    EXPECT_FALSE(ShortcutSteps(n).empty()) << n;
    EXPECT_EQ(ShortcutLabel(n), 700 + n);
  }
  EXPECT_TRUE(ShortcutSteps(0).empty());
  EXPECT_TRUE(ShortcutSteps(16).empty());
  EXPECT_EQ(ShortcutLabel(16), 0);
}

TEST(MediaAndMouse, Numbers) {
  const int codes[] = {238, 236, 237, 239, 234, 233, 235};
  for (int n = 1; n <= 7; ++n) {
    EXPECT_EQ(MediaFunctionCode(n), codes[n - 1]);
    EXPECT_EQ(MediaFunctionLabel(n), 229 + n);
    // The number's label is its code's description.
    EXPECT_EQ(MediaCodeDescription(codes[n - 1]), MediaFunctionLabel(n));
  }
  EXPECT_EQ(MediaFunctionCode(8), 0);
  EXPECT_EQ(MediaCodeDescription(249), 252);
  EXPECT_EQ(MediaCodeDescription(231), 0);
  for (int n : {1, 2, 3, 7, 8}) EXPECT_TRUE(IsMouseFunction(n));
  for (int n : {0, 4, 5, 6, 9}) EXPECT_FALSE(IsMouseFunction(n));
  EXPECT_EQ(MouseFunctionLabel(2), 222);
  EXPECT_EQ(MouseFunctionLabel(8), 228);
}

}  // namespace
}  // namespace brumkey
