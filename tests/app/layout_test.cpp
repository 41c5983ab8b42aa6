#include "app/keyboard_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/device_config.h"
#include "store/xml_document.h"
#include "support/temp_dir.h"

namespace brumkey {
namespace {

const std::wstring kSourceData = std::filesystem::path(BRUMKEY_TEST_SOURCE_DIR).wstring() + L"/data/";

class ShippedLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadDeviceConfig(kSourceData + L"config.xml", config_));
    std::filesystem::create_directories(dir_.path() / "db");
    root_ = dir_.path().wstring() + L"/";
  }
  LayoutLoadResult Load(int type) {
    return LoadKeyboardLayout(type, config_.keyboards, kSourceData, root_, store_, layout_);
  }
  // The layout's own invariants: unique codes and indexes below 110 (the
  // first family's table), and every code with a cell sits in it once.
  void ExpectConsistent(size_t keys) {
    ASSERT_EQ(layout_.keyItems.size(), keys);
    std::set<uint32_t> codes;
    std::set<int> indexes;
    for (const KeyItem& k : layout_.keyItems) {
      EXPECT_TRUE(codes.insert(k.code).second) << k.code;
      ASSERT_TRUE(layout_.keyIndexByCode.count(k.code));
      int index = layout_.keyIndexByCode.at(k.code);
      EXPECT_EQ(layout_.lightIndexByCode.at(k.code), index);
      EXPECT_TRUE(indexes.insert(index).second) << index;
      EXPECT_LT(index, 110);
      EXPECT_GT(k.rect.right, k.rect.left);
      EXPECT_LE(k.rect.right, layout_.width);
      EXPECT_LE(k.rect.bottom, layout_.height);
    }
    size_t filled = 0;
    for (int r = 0; r < kKeyGridRows; ++r)
      for (int c = 0; c < kKeyGridCols; ++c)
        if (layout_.keyGrid[r][c] != kEmptyGridCell) {
          ++filled;
          EXPECT_LT(r, layout_.rowCount);
          EXPECT_LT(c, layout_.colCount);
        }
    EXPECT_EQ(filled, keys - 1) << "every key has a cell; Fn (0xFF) reads as empty";
  }

  DeviceConfig config_;
  test::TempDir dir_;
  std::wstring root_;
  ProfileStore store_;
  KeyboardLayout layout_;
};

TEST_F(ShippedLayoutTest, K201) {
  LayoutLoadResult r = Load(201);
  ASSERT_TRUE(r.fileLoaded);
  EXPECT_TRUE(r.databaseOpened);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "db" / "Brumkey K201_data_v1.db"));
  EXPECT_EQ(store_.GetCurrentDeviceType(), 201);
  EXPECT_EQ(layout_.currentKeyboardName, L"Brumkey K201");
  EXPECT_EQ(layout_.pageFlags, 0x47u);
  EXPECT_EQ(r.tabVisible, (std::array<bool, 3>{true, true, true}));
  EXPECT_TRUE(r.firmwareButtonVisible);
  EXPECT_EQ(layout_.firmwareUrl.rfind(L"https://", 0), 0u);
  EXPECT_TRUE(layout_.rgbKeyboard);
  EXPECT_EQ(layout_.defaultLightMode, 3);
  EXPECT_EQ(layout_.brightnessMax, 5);
  ASSERT_EQ(layout_.lightModes.size(), 11u);
  EXPECT_EQ(layout_.lightModes[8].name, L"408");
  EXPECT_EQ(layout_.lightModes[8].mode, 9);
  EXPECT_EQ(layout_.lightModes[8].config_func, 0x801);
  EXPECT_EQ(layout_.lightModes[3].config_func, 0x011);
  for (const LightSetting& m : layout_.lightModes) {
    EXPECT_EQ(m.brightness, 5);
    EXPECT_EQ(m.color_value, kInitialLightColor);
  }
  EXPECT_EQ(layout_.rowCount, 6);
  EXPECT_EQ(layout_.colCount, 21);
  EXPECT_EQ(r.viewRect, (KeyRect{350, 80, 1250, 370}));
  EXPECT_EQ(r.picture, L"keyboard/kb_k201.png");
  ExpectConsistent(107);
  EXPECT_EQ(layout_.keyGrid[0][0], 0x29);
  EXPECT_EQ(layout_.keyGrid[4][1], 0x64);
  EXPECT_EQ(layout_.keyIndexByCode.at(0x87), 87);
  EXPECT_EQ(layout_.keyItems[0].rect, (KeyRect{14, 23, 50, 59}));
  EXPECT_EQ(layout_.keyItems[76].name, L"\\");
  EXPECT_EQ(layout_.keyItems[68].name, L"Ç");
}

TEST_F(ShippedLayoutTest, K100AndSwitchingBack) {
  Load(201);
  LayoutLoadResult r = Load(101);
  ASSERT_TRUE(r.fileLoaded);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "db" / "Brumkey K100_data_v1.db"));
  EXPECT_EQ(store_.GetCurrentDeviceType(), 101);
  EXPECT_FALSE(r.firmwarePresent) << "the firmware button keeps its visibility";
  EXPECT_TRUE(layout_.firmwareUrl.empty());
  ASSERT_EQ(layout_.lightModes.size(), 9u);
  EXPECT_EQ(layout_.lightModes.back().config_func, 0x400);
  EXPECT_EQ(layout_.lightModes.back().brightness, 4);
  ExpectConsistent(108);
  EXPECT_EQ(layout_.keyIndexByCode.at(0xEB), 16);
  EXPECT_EQ(layout_.keyGrid[0][17], 0xEB);
  EXPECT_EQ(Load(201).fileLoaded, true);
  EXPECT_EQ(layout_.keyItems.size(), 107u);
}

TEST_F(ShippedLayoutTest, UnknownDeviceTypeOpensTheUnnamedDatabaseAndKeepsTheModel) {
  Load(201);
  LayoutLoadResult r = Load(999);
  EXPECT_FALSE(r.modelFound);
  EXPECT_FALSE(r.fileLoaded);
  EXPECT_TRUE(r.layoutPath.ends_with(L"layouts/.xml"));
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "db" / "_data_v1.db"));
  EXPECT_EQ(layout_.currentDeviceType, 999);
  EXPECT_EQ(layout_.currentKeyboardName, L"");
  EXPECT_EQ(layout_.keyItems.size(), 107u) << "previous key items stay";
  EXPECT_EQ(layout_.lightModes.size(), 11u);
  EXPECT_TRUE(layout_.firmwareUrl.empty()) << "reset at the start of every load";
}

TEST(LayoutParsing, RowCol) {
  struct Case {
    const wchar_t* text;
    bool ok;
    int row, col;
  } cases[] = {
      {L"0,5", true, 0, 5},   {L"0,12", true, 0, 12}, {L"7,31", true, 7, 31}, {L"2;7", true, 2, 7},
      {L"8,1", false, 0, 0},  {L"0,32", false, 0, 0}, {L"9,99", false, 0, 0}, {L"x,1", false, 0, 0},
      {L"1", false, 0, 0},    {L"", false, 0, 0},     {L"2,-1", false, 0, 0}, {L"2, 7", false, 0, 0},
  };
  for (const Case& c : cases) {
    int row = -1, col = -1;
    EXPECT_EQ(ParseRowCol(c.text, row, col), c.ok) << c.text;
    if (c.ok) EXPECT_EQ(std::make_pair(row, col), std::make_pair(c.row, c.col)) << c.text;
  }
}

TEST(LayoutParsing, Rect) {
  struct Case {
    const wchar_t* text;
    KeyRect rect;
  } cases[] = {
      {L"10#20#30#40", {10, 20, 40, 60}},
      {L"10#20#30", {10, 20, 10, 50}},  // w missing: 0, and "30" is read as h
      {L"5", {0, 0, 0, 5}},
      {L"", {0, 0, 0, 0}},
      {L"-5#x#2147483647#2147483647", {-5, 0, 2147483642, 2147483647}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseKeyRect(c.text), c.rect) << c.text;
}

// Applies a small document on top of a layout that already holds a model.
class LayoutFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    layout_.pageFlags = 0x7F;
    layout_.firmwareVersion = L"old";
    layout_.lightModes.resize(2);
    layout_.keyIndexByCode[0x04] = 1;
    layout_.keyGrid[1][1] = 0x04;
    layout_.rowCount = 3;
  }
  bool Apply(const std::wstring& body) {
    XmlDocument xml;
    if (!xml.SetDoc(body)) return false;
    result_ = {};
    return ApplyLayoutDocument(xml, layout_, result_);
  }
  KeyboardLayout layout_;
  LayoutLoadResult result_;
};

TEST_F(LayoutFixture, MenuFlagsAndTabs) {
  ASSERT_TRUE(Apply(L"<device.info><menu macro='0' light_mode='1'/></device.info>"));
  EXPECT_EQ(layout_.pageFlags, 0x45u);
  EXPECT_EQ(result_.tabVisible, (std::array<bool, 3>{true, false, true}));
  ASSERT_TRUE(Apply(L"<device.info><menu macro='yes' light_mode='01'/></device.info>"));
  EXPECT_EQ(layout_.pageFlags, 0x45u) << "a flag is the number 1 only";
  ASSERT_TRUE(Apply(L"<device.info/>"));
  EXPECT_FALSE(result_.menuPresent);
  EXPECT_EQ(layout_.pageFlags, 0x45u) << "without menu the flags stay";
}

TEST_F(LayoutFixture, MissingSectionsKeepTheirPreviousContentButKeysAreAlwaysReset) {
  ASSERT_TRUE(Apply(L"<device.info><function sleep_time='1'/></device.info>"));
  EXPECT_FALSE(result_.firmwarePresent);
  EXPECT_EQ(layout_.firmwareVersion, L"old");
  EXPECT_EQ(layout_.lightModes.size(), 2u);
  EXPECT_TRUE(layout_.keyIndexByCode.empty());
  EXPECT_EQ(layout_.keyGrid[1][1], kEmptyGridCell);
  EXPECT_EQ(layout_.rowCount, 0);
  EXPECT_TRUE(result_.keysCleared);
}

TEST_F(LayoutFixture, EachLookupContinuesAfterThePreviousFind) {
  // menu is found after light, so light (searched after menu) is not.
  ASSERT_TRUE(Apply(L"<device.info><light><info name='1' mode='1'/></light><menu macro='0'/></device.info>"));
  EXPECT_EQ(layout_.pageFlags, 0x41u);
  EXPECT_FALSE(result_.lightPresent);
  EXPECT_EQ(layout_.lightModes.size(), 2u);
  ASSERT_TRUE(Apply(L"<device.info><firmware version='1' file='f'/><menu macro='0'/></device.info>"));
  EXPECT_TRUE(result_.menuPresent);
  EXPECT_FALSE(result_.firmwarePresent);
  ASSERT_TRUE(Apply(L"<device.info><firmware version='1' file='f'/><light/></device.info>"));
  EXPECT_TRUE(result_.firmwareButtonVisible);
  EXPECT_TRUE(layout_.lightModes.empty());
  ASSERT_TRUE(Apply(L"<device.info><firmware version='1' file=''/></device.info>"));
  EXPECT_FALSE(result_.firmwareButtonVisible);
}

TEST_F(LayoutFixture, WrongRootChangesNothing) {
  EXPECT_FALSE(Apply(L"<layout><menu macro='0'/></layout>"));
  EXPECT_EQ(layout_.keyIndexByCode.size(), 1u);
  EXPECT_EQ(layout_.pageFlags, 0x7Fu);
}

TEST_F(LayoutFixture, OutOfRangeValuesStayInsideTheGrids) {
  ASSERT_TRUE(Apply(
      L"<device.info><Keyboard row_count='99' col_count='1000' image='k.png'><KeyItems>"
      L"<key code='0x04' key_index='3' row_col='8,1'/>"
      L"<key code='0x05' key_index='-1' row_col='0,32'/>"
      L"<key code='zz' key_index='7' row_col='7,31' rect='1#2#3#4'/>"
      L"<key code='0x104' key_index='9' row_col='x,1'/>"
      L"<key code='0x04' key_index='5' row_col='1'/>"
      L"</KeyItems></Keyboard></device.info>"));
  EXPECT_EQ(layout_.rowCount, kKeyGridRows);
  EXPECT_EQ(layout_.colCount, kKeyGridCols);
  ASSERT_EQ(layout_.keyItems.size(), 5u);
  EXPECT_EQ(layout_.keyIndexByCode.at(0x04), 5) << "a repeated code keeps the second index";
  EXPECT_FALSE(layout_.keyIndexByCode.count(0x05)) << "negative positions are not used";
  EXPECT_EQ(layout_.keyIndexByCode.at(0), 7) << "a non-hex code reads as 0";
  EXPECT_EQ(layout_.keyGrid[7][31], 0x00);
  EXPECT_EQ(layout_.keyItems[2].rect, (KeyRect{1, 2, 4, 6}));
  int filled = 0;
  for (const auto& row : layout_.keyGrid)
    for (uint8_t cell : row) filled += cell != kEmptyGridCell;
  EXPECT_EQ(filled, 1);
  ASSERT_TRUE(Apply(L"<device.info><Keyboard row_count='-3' col_count='4'/></device.info>"));
  EXPECT_EQ(layout_.rowCount, 0);
  EXPECT_EQ(layout_.colCount, 4);
}

}  // namespace
}  // namespace brumkey
