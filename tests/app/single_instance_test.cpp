#include "app/platform/single_instance.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/temp_dir.h"

namespace brumkey {
namespace {

TEST(SingleInstance, SecondStartAsksTheFirstToComeForward) {
  test::TempDir dir;
  SingleInstance first(L"Brumkey", dir.path().string());
  ASSERT_TRUE(first.Acquire());
  std::vector<OutsideMessage> got;
  first.SetHandler([&](const OutsideMessage& m) { got.push_back(m); });

  SingleInstance second(L"Brumkey", dir.path().string());
  EXPECT_FALSE(second.Acquire()) << "the lock is held";
  ASSERT_TRUE(second.Send(OutsideMessage{}));
  ASSERT_TRUE(second.Send(OutsideMessage{1691, 610, 0}));
  ASSERT_TRUE(first.WaitAndHandle(2000));
  first.WaitAndHandle(200);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, OutsideMessage::kShow);
  EXPECT_EQ(got[1].message, 1691u);
  EXPECT_EQ(got[1].wParam, 610);

  // Another product name runs side by side.
  SingleInstance other(L"Other Kb", dir.path().string());
  EXPECT_TRUE(other.Acquire());
}

TEST(SingleInstance, LockIsFreedWhenTheFirstCopyEnds) {
  test::TempDir dir;
  {
    SingleInstance first(L"Brumkey", dir.path().string());
    ASSERT_TRUE(first.Acquire());
  }
  SingleInstance again(L"Brumkey", dir.path().string());
  EXPECT_TRUE(again.Acquire()) << "a stale socket file does not block a new start";
  SingleInstance nobody(L"Nobody", dir.path().string());
  EXPECT_FALSE(nobody.Send(OutsideMessage{}));
}

TEST(SingleInstance, MessageParsing) {
  struct Case { const char* line; bool ok; unsigned msg; long w; };
  const Case cases[] = {
      {"show", true, 0, 0},          {"msg 2022 0 0", true, 2022, 0}, {"msg 1092 7 0", true, 1092, 7},
      {"msg 0 0 0", false, 0, 0},    {"msg 1691 610", false, 0, 0},  {"show extra", false, 0, 0},
      {"msg 99999999 1 1", false, 0, 0}, {"", false, 0, 0},            {"rm -rf", false, 0, 0},
  };
  for (const auto& c : cases) {
    OutsideMessage m;
    EXPECT_EQ(ParseOutsideMessage(c.line, m), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(m.message, c.msg) << c.line;
      EXPECT_EQ(m.wParam, c.w) << c.line;
    }
  }
}

}  // namespace
}  // namespace brumkey

#include <filesystem>
#include <fstream>

#include "app/language.h"
#include "app/paths.h"
#include "app/startup.h"

namespace brumkey {
namespace {

TEST(Startup, FirstRunPreparesFoldersAndASecondStartDefers) {
  test::TempDir dir;
  std::ofstream(dir.File("config.xml")) << "<config><software name=\"Test Kb\"/></config>";
  SetProgramDirectoryOverride(dir.path().wstring());
  setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);

  StartupState first;
  ASSERT_TRUE(PrepareStartup(first, 1031, dir.path().string()));
  EXPECT_EQ(GetDeviceName(), L"Test Kb");
  EXPECT_EQ(first.activeLanguage, 1031);
  EXPECT_EQ(GetActiveLanguage(), 1031) << "language strings follow the choice";
  EXPECT_EQ(ReadLanguage(), 1033);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "data" / "Test Kb Files" / "db"));
  int shows = 0;
  first.instance->SetHandler([&](const OutsideMessage& m) { shows += m.message == OutsideMessage::kShow; });

  StartupState second;
  EXPECT_FALSE(PrepareStartup(second, 1031, dir.path().string()));
  EXPECT_TRUE(second.anotherCopyRunning);
  ASSERT_TRUE(first.instance->WaitAndHandle(2000));
  EXPECT_EQ(shows, 1);

  SetProgramDirectoryOverride(L"");
  SetDeviceName(L"Brumkey");
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace brumkey
