#include "app/device_config.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace brumkey {
namespace {

std::wstring Write(const test::TempDir& dir, const std::string& body) {
  std::ofstream(dir.File("config.xml")) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" << body;
  return dir.WFile("config.xml");
}

TEST(DeviceConfig, ShippedFileListsBothModels) {
  const char* src = BRUMKEY_TEST_SOURCE_DIR;
  DeviceConfig cfg;
  std::vector<DeviceEntry> registered;
  ASSERT_TRUE(LoadDeviceConfig(std::filesystem::path(src).wstring() + L"/data/config.xml", cfg,
                               [&](const DeviceEntry& e) { registered.push_back(e); }));
  ASSERT_EQ(cfg.keyboards.size(), 2u);
  EXPECT_EQ(cfg.keyboards[0].deviceType, 201) << "restore defaults loads the first entry";
  EXPECT_EQ(cfg.keyboards[1].deviceType, 101);
  ASSERT_EQ(cfg.modes.size(), 4u);
  ASSERT_EQ(registered.size(), 4u);
  for (const auto& m : cfg.modes) {
    EXPECT_EQ(m.vid, 0x1209);
    EXPECT_EQ(m.hidInterface, [&] {
      wchar_t buf[32];
      swprintf(buf, 32, L"VID_%04X&PID_%04X", m.vid, m.pid);
      return std::wstring(buf);
    }()) << "upper case, or it never matches";
  }
  EXPECT_EQ(cfg.modes[2].mode, 2);
  EXPECT_EQ(cfg.modes[2].name, L"Brumkey BT Receiver");
  EXPECT_EQ(cfg.modes[2].layoutName, L"K201");
  EXPECT_EQ(cfg.version, L"1.0.0");
  EXPECT_EQ(cfg.upgrade.back(), L'/');
}

TEST(DeviceConfig, ModeEntriesInheritTheKeyboardAndEachOther) {
  test::TempDir dir;
  DeviceConfig cfg;
  ASSERT_TRUE(LoadDeviceConfig(
      Write(dir, "<config><device.info>"
                 "<keyboard name='Kb' device_type='205' device_info='L'>"
                 "<mode value='1' vid='0x1a2b' pid='00FF' product_name='P' hid_interface='X'/>"
                 "<mode value='2' vid='1A2B' pid='zz'/>"
                 "</keyboard><keyboard name='Bare' device_type=' 7x'/>"
                 "</device.info></config>"),
      cfg));
  ASSERT_EQ(cfg.modes.size(), 2u);
  EXPECT_EQ(cfg.modes[0].vid, 0x1A2B);
  EXPECT_EQ(cfg.modes[0].pid, 0xFF);
  EXPECT_EQ(cfg.modes[0].deviceType, 205);
  EXPECT_EQ(cfg.modes[0].layoutName, L"L");
  EXPECT_EQ(cfg.modes[1].pid, 0) << "not hexadecimal reads as 0";
  EXPECT_EQ(cfg.modes[1].name, L"") << "missing product name empties the name";
  EXPECT_EQ(cfg.modes[1].hidInterface, L"") << "missing attribute reads as empty";
  EXPECT_EQ(cfg.keyboards[1].deviceType, 7);
  EXPECT_FALSE(cfg.hasSoftware);
}

TEST(DeviceConfig, LookupsContinueAfterThePreviousElement) {
  struct Case {
    const char* name;
    const char* body;
    size_t keyboards;
    bool software;
    const wchar_t* website;
    const wchar_t* store;
    const wchar_t* copyright;
  } cases[] = {
      {"in order",
       "<config><device.info><keyboard name='a'/></device.info><software version='2'>"
       "<website url='w'/><store url='s'/><upgrade url='u'/><copyright info='c'/></software></config>",
       1, true, L"w", L"s", L"c"},
      {"software first",
       "<config><software version='2'><website url='w'/></software>"
       "<device.info><keyboard name='a'/></device.info></config>",
       1, false, L"", L"", L""},
      {"store before website",
       "<config><software><store url='s'/><website url='w'/><copyright info='c'/></software></config>",
       0, true, L"w", L"", L"c"},
      {"missing device.info",
       "<config><software><upgrade url='u'/></software></config>", 0, true, L"", L"", L""},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    DeviceConfig cfg;
    ASSERT_TRUE(LoadDeviceConfig(Write(dir, c.body), cfg)) << c.name;
    EXPECT_EQ(cfg.keyboards.size(), c.keyboards) << c.name;
    EXPECT_EQ(cfg.hasSoftware, c.software) << c.name;
    EXPECT_EQ(cfg.website, c.website) << c.name;
    EXPECT_EQ(cfg.store, c.store) << c.name;
    EXPECT_EQ(cfg.copyright, c.copyright) << c.name;
  }
}

TEST(DeviceConfig, UnusableFilesGiveNoDevices) {
  test::TempDir dir;
  DeviceConfig cfg;
  cfg.keyboards.resize(3);
  EXPECT_FALSE(LoadDeviceConfig(dir.WFile("missing.xml"), cfg));
  EXPECT_TRUE(cfg.keyboards.empty());
  EXPECT_FALSE(LoadDeviceConfig(Write(dir, "<config><device.info>"), cfg));
  EXPECT_FALSE(LoadDeviceConfig(Write(dir, "<other/>"), cfg));
}

TEST(DeviceConfig, FamilyBoundaries) {
  EXPECT_EQ(DeviceFamily(101), 1);
  EXPECT_EQ(DeviceFamily(200), 1);
  EXPECT_EQ(DeviceFamily(201), 2);
  EXPECT_EQ(DeviceFamily(299), 2);
  EXPECT_EQ(DeviceFamily(300), 0);
}

}  // namespace
}  // namespace brumkey
