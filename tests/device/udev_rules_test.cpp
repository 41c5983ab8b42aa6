#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/device_config.h"
#include "packaging/udev_rules.h"
#include "util/text.h"

namespace brumkey {
namespace {

DeviceEntry Mode(int vid, int pid, const wchar_t* name, int mode) {
  DeviceEntry e;
  e.vid = vid;
  e.pid = pid;
  e.name = name;
  e.mode = mode;
  return e;
}

std::vector<std::string> GrantLines(const std::string& rules) {
  std::vector<std::string> lines;
  std::istringstream in(rules);
  for (std::string line; std::getline(in, line);) {
    if (line.find("uaccess") != std::string::npos) lines.push_back(line);
    if (line.find(", mode ") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

TEST(UdevRules, OneGrantPerDistinctIdentity) {
  const std::vector<DeviceEntry> modes = {
      Mode(0x1209, 0x5201, L"Brumkey K201", 0), Mode(0x1a2b, 0x00ff, L"Rx", 1),
      Mode(0x1209, 0x5201, L"Again", 2),        Mode(0, 0x5202, L"No vendor", 1),
      Mode(0x1209, 0, L"No product", 0),        Mode(0x12345, 0x1, L"Too wide", 0),
      Mode(0x1209, 0x5100, L"Two\nlines", 0)};
  const std::vector<std::string> expected = {
      "# Brumkey K201, mode 0", "KERNELS==\"*:1209:5201.*\", TAG+=\"uaccess\"",
      "# Rx, mode 1", "KERNELS==\"*:1A2B:00FF.*\", TAG+=\"uaccess\"",
      "# Two lines, mode 0", "KERNELS==\"*:1209:5100.*\", TAG+=\"uaccess\""};
  const std::string rules = MakeUdevRules(modes);
  EXPECT_EQ(GrantLines(rules), expected);
  // Boot keyboard and mouse interfaces skip every grant; the label closes the file.
  const size_t skip = rules.find("ATTRS{bInterfaceSubClass}==\"01\", GOTO=\"brumkey_end\"");
  ASSERT_NE(skip, std::string::npos);
  EXPECT_LT(skip, rules.find("KERNELS=="));
  EXPECT_TRUE(rules.ends_with("LABEL=\"brumkey_end\"\n"));
}

TEST(UdevRules, BuildWritesTheShippedModels) {
  std::ifstream in(std::string(BRUMKEY_TEST_BIN_DIR) + "/70-brumkey.rules");
  ASSERT_TRUE(in.good());
  std::stringstream text;
  text << in.rdbuf();
  DeviceConfig config;
  ASSERT_TRUE(LoadDeviceConfig(
      Utf8ToWide(std::string(BRUMKEY_TEST_SOURCE_DIR) + "/data/config.xml"), config));
  EXPECT_EQ(text.str(), MakeUdevRules(config.modes));
  EXPECT_EQ(GrantLines(text.str()).size(), 2 * config.modes.size());
}

}  // namespace
}  // namespace brumkey
