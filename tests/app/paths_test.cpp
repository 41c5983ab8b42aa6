#include "app/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace brumkey {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetSettingsPathOverride(dir.WFile("cfg/Brumkey/settings.ini")); }
  void TearDown() override { SetSettingsPathOverride(L""); }
  test::TempDir dir;
};

TEST_F(SettingsTest, MissingKeyIsCreatedAndReadsZero) {
  EXPECT_EQ(ReadRegistryNumber(L"exit_mode"), 0);
  EXPECT_TRUE(fs::exists(dir.path() / "cfg/Brumkey/settings.ini"));
  WriteRegistryText(L"exit_mode", L"2");
  WriteRegistryText(L"LCID", L"1046");
  WriteRegistryText(L"exit_mode", L"1");  // replaces
  EXPECT_EQ(ReadRegistryNumber(L"exit_mode"), 1);
  EXPECT_EQ(ReadLanguage(), 1046);
  EXPECT_EQ(ReadRegistryNumber(L"absent"), 0);
}

TEST_F(SettingsTest, WriteWithoutKeyWritesNothing) {
  WriteRegistryText(L"LCID", L"1033");
  EXPECT_FALSE(fs::exists(dir.path() / "cfg/Brumkey/settings.ini"));
}

TEST_F(SettingsTest, ReadLanguageTellsMissingFromUnreadable) {
  // Fresh key: 0 (first run).
  EXPECT_EQ(ReadLanguage(), 0);
  // A value that is not a number reads as 0, which is a first run too.
  WriteRegistryText(L"LCID", L"abc");
  EXPECT_EQ(ReadLanguage(), 0);
  // A key that exists but cannot be read: 1046.
  fs::remove(dir.path() / "cfg/Brumkey/settings.ini");
  fs::create_directories(dir.path() / "cfg/Brumkey/settings.ini");
  EXPECT_EQ(ReadLanguage(), 1046);
  EXPECT_EQ(ReadRegistryNumber(L"LCID"), 0);
}

TEST_F(SettingsTest, KeyThatCannotBeCreatedGives1046) {
  // The settings folder's parent is a plain file: creation fails.
  std::ofstream(dir.File("blocker")) << "x";
  SetSettingsPathOverride(dir.WFile("blocker/Brumkey/settings.ini"));
  EXPECT_EQ(ReadLanguage(), 1046);
}

TEST_F(SettingsTest, FirstRunLanguageRule) {
  struct Case { int stored; int ui; int active; int written; };
  const Case cases[] = {
      {0, 1031, 1031, 1033}, {0, 1046, 1046, 1046}, {0, 1033, 1033, 1033},
      {1046, 1033, 1046, 1046}, {1033, 1046, 1033, 1033},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir.path() / "cfg");
    ReadLanguage();  // creates the key as start-up would
    if (c.stored) WriteLanguage(c.stored);
    EXPECT_EQ(ChooseActiveLanguage(c.ui), c.active) << c.ui;
    EXPECT_EQ(ReadLanguage(), c.written) << c.ui;
  }
}

TEST(Paths, CreateDirectoryTreeMakesEveryLevel) {
  test::TempDir dir;
  const auto deep = dir.path() / "outer" / "middle" / "inner";
  EXPECT_TRUE(CreateDirectoryTree(deep.wstring()));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_TRUE(CreateDirectoryTree(deep.wstring())) << "existing is fine";
  EXPECT_TRUE(CreateDirectoryTree(dir.WFile("a\\b\\c"))) << "backslashes are separators";
  EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "b" / "c"));
  std::ofstream(dir.File("file")) << "x";
  EXPECT_FALSE(CreateDirectoryTree(dir.WFile("file")));
  EXPECT_FALSE(CreateDirectoryTree(dir.WFile("file/sub")));
}

TEST(Paths, DataRootAndDeviceNameFromConfig) {
  test::TempDir dir;
  std::ofstream(dir.File("config.xml"))
      << "<?xml version=\"1.0\"?><config><device.info/><software name=\"Other Kb\"/></config>";
  EXPECT_EQ(ReadDeviceNameFromConfig(dir.WFile("config.xml")), L"Other Kb");
  std::ofstream(dir.File("bad.xml")) << "<config><software name='x'>";
  EXPECT_EQ(ReadDeviceNameFromConfig(dir.WFile("bad.xml")), L"");
  EXPECT_EQ(ReadDeviceNameFromConfig(dir.WFile("missing.xml")), L"");

  setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  SetDeviceName(L"Other Kb");
  EXPECT_EQ(GetDataRoot(), dir.WFile("data") + L"/Other Kb Files/");
  SetDeviceName(L"../evil");
  EXPECT_EQ(GetDataRoot(), dir.WFile("data") + L"/.._evil Files/") << "stays one folder";
  SetDeviceName(L"Brumkey");
  unsetenv("XDG_DATA_HOME");
}

TEST(Paths, ProgramDirectoryHoldsConfig) {
  // Tests run from the build tree, whose bin/ is a program directory.
  const std::wstring dir = GetProgramDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), L'/');
}

}  // namespace
}  // namespace brumkey
