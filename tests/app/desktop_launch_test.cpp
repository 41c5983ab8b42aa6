#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/platform/desktop_launch.h"
#include "support/temp_dir.h"

namespace brumkey {
namespace {

TEST(DesktopLaunch, StartsDetachedAndReportsFailures) {
  test::TempDir dir;
  const std::string file = dir.File("started");
  ASSERT_TRUE(os::StartDetached("/bin/sh", {"-c", "echo started > '" + file + "'"}));
  // The program runs on its own; give it a moment to write.
  for (int i = 0; i < 500 && !std::filesystem::exists(file); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ifstream in(file);
  std::string word;
  in >> word;
  EXPECT_EQ(word, "started");
  EXPECT_FALSE(os::StartDetached("brumkey-no-such-program"));
  EXPECT_FALSE(os::StartDetached(""));
  EXPECT_FALSE(os::OpenWithDesktop(""));
}

}  // namespace
}  // namespace brumkey
