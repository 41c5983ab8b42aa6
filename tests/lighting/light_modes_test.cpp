#include <gtest/gtest.h>

#include <filesystem>

#include "lighting/light_modes.h"
#include "support/temp_dir.h"

namespace brumkey {
namespace {

class LightModesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "db");
    ASSERT_TRUE(store_.Open(dir_.path().wstring() + L"/", L"K"));
  }
  LightDefaults Defaults(int type) {
    LightDefaults d;
    d.deviceType = type;
    d.defaultLightMode = 3;
    d.defaultBrightness = 4;
    d.defaultSpeed = 2;
    for (int m : {1, 3, 9}) {
      LightSetting s;
      s.mode = m;
      s.name = std::to_wstring(400 + m);
      s.config_func = 0x800 | m;
      d.modes.push_back(s);
    }
    return d;
  }
  LightSetting Row(int mode) {
    LightSetting r;
    EXPECT_TRUE(store_.GetLight(1, mode, r));
    return r;
  }
  test::TempDir dir_;
  ProfileStore store_;
};

TEST_F(LightModesTest, DefaultRowsOncePerProfile) {
  struct Case { int type; int direction; };
  for (Case c : {Case{101, 0}, {201, 2}}) {
    store_.Close();
    test::TempDir d;
    std::filesystem::create_directories(d.path() / "db");
    ASSERT_TRUE(store_.Open(d.path().wstring() + L"/", L"K"));
    EXPECT_EQ(EnsureDefaultLightRows(store_, 1, Defaults(c.type)), 3);
    EXPECT_EQ(EnsureDefaultLightRows(store_, 1, Defaults(c.type)), 0);
    const LightSetting r = Row(1);
    EXPECT_EQ(r.brightness, 4);
    EXPECT_EQ(r.speed, 2);
    EXPECT_EQ(r.direction, c.direction);
    EXPECT_EQ(r.colorful, 1);
    EXPECT_EQ(r.color_value, 0x0000FF);
    EXPECT_EQ(r.config_func, 0x801);
    const LightSetting nine = Row(9);
    EXPECT_EQ(nine.speed, 0);
    EXPECT_EQ(nine.direction, 0);
    EXPECT_EQ(nine.brightness, 4);
    EXPECT_EQ(store_.GetActiveLightMode(1), 3);
  }
}

TEST_F(LightModesTest, HandlersChangeOneFieldEach) {
  EnsureDefaultLightRows(store_, 1, Defaults(201));
  ASSERT_TRUE(SetLightDirection(store_, 1, 3, 201, true));
  EXPECT_EQ(Row(3).direction, 1);
  ASSERT_TRUE(SetLightDirection(store_, 1, 3, 201, false));
  EXPECT_EQ(Row(3).direction, 2);
  ASSERT_TRUE(SetLightDirection(store_, 1, 3, 101, false));
  EXPECT_EQ(Row(3).direction, 1);
  ASSERT_TRUE(SetLightColour(store_, 1, 3, 0x11, 300, -4));
  EXPECT_EQ(Row(3).color_value, 0x00FF11);
  EXPECT_EQ(Row(3).colorful, 0);
  ASSERT_TRUE(SetLightColourful(store_, 1, 3, true, true));
  ASSERT_TRUE(SetLightColourful(store_, 1, 3, false, false));
  EXPECT_EQ(Row(3).color_value, 0x00FF11);  // unchecked by a colour control: kept
  ASSERT_TRUE(SetLightColourful(store_, 1, 3, false, true));
  EXPECT_EQ(Row(3).color_value, 255);
  EXPECT_FALSE(SetLightBrightness(store_, 1, 77, 5));  // no such row
  EXPECT_FALSE(SetLightBrightness(store_, 2, 3, 5));
}

TEST_F(LightModesTest, AreaNibbles) {
  EnsureDefaultLightRows(store_, 1, Defaults(201));
  ASSERT_TRUE(SetLightSpeed(store_, 1, 1, 0));
  ASSERT_TRUE(SetLightColorIndex(store_, 1, 1, 0));
  for (int area = 1; area <= 6; ++area) ASSERT_TRUE(SetLightArea(store_, 1, 1, area, area - 1 + (area == 1)));
  const LightSetting r = Row(1);
  EXPECT_EQ(r.speed, 0x51);
  EXPECT_EQ(r.direction, 0x21);
  EXPECT_EQ(r.colorindex, 0x43);
  for (int area = 1; area <= 6; ++area) EXPECT_EQ(LightAreaValue(r, area), area - 1 + (area == 1));
  EXPECT_FALSE(SetLightArea(store_, 1, 1, 7, 0));
  EXPECT_FALSE(SetLightArea(store_, 1, 1, 1, 7));
  EXPECT_EQ(LightAreaValue(r, 0), -1);
}

TEST_F(LightModesTest, StoredCustomColoursAreTheSharedSet) {
  ASSERT_TRUE(store_.ReplaceCustomKeyLights({{0, 1, 128, 0x29, 0xFDA810}, {0, 2, 128, 0x04, 0x0000FF}}));
  const std::vector<KeyColour> c = StoredCustomColours(store_);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].keyCode, 0x29);
  EXPECT_EQ(c[0].colour, 0xFDA810);
}

}  // namespace
}  // namespace brumkey
