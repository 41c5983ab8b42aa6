#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "cli/json.h"

namespace brumkey::cli {
namespace {

const std::string kConfig = std::string(BRUMKEY_TEST_SOURCE_DIR) + "/data/config.xml";

struct Result {
  int rc;
  std::string out, err;
};

Result RunCli(std::vector<std::string> args, bool withConfig = true) {
  args.insert(args.begin(), "brumkeyctl");
  if (withConfig) {
    args.insert(args.begin() + 1, kConfig);
    args.insert(args.begin() + 1, "--config");
  }
  std::ostringstream out, err;
  int rc = Main(args, out, err);
  return {rc, out.str(), err.str()};
}

TEST(CliDevices, ConnectionFollowsTheSimulatedKeyboards) {
  struct Case {
    std::vector<std::string> args;
    std::string k201, k100;
  } cases[] = {
      {{"--simulate", "devices"}, "connected in mode 0", "connected in mode 0"},
      {{"devices"}, "not connected", "not connected"},
      {{"devices", "--simulate=201:1,201:2"}, "connected in mode 2", "not connected"},
      {{"--simulate=201:1", "devices"}, "connected in mode 1", "not connected"},
      {{"--simulate=101", "--real-time", "devices"}, "not connected", "connected in mode 0"},
  };
  for (const Case& c : cases) {
    Result r = RunCli(c.args);
    SCOPED_TRACE(r.out + r.err);
    ASSERT_EQ(r.rc, 0);
    EXPECT_NE(r.out.find("Brumkey K201: device type 201, family 2, modes 0,1,2, " + c.k201 + "\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Brumkey K100: device type 101, family 1, modes 0, " + c.k100 + "\n"),
              std::string::npos);
    EXPECT_TRUE(r.err.empty());
  }
}

TEST(CliDevices, UsageErrorsExitWithTwo) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("brumkeyctl-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string broken = (dir / "config.xml").string();
  std::ofstream(broken) << "<config><device.info>";
  struct Case {
    std::vector<std::string> args;
    bool withConfig;
  } cases[] = {
      {{"--bogus", "devices"}, true},
      {{"devices", "--bogus"}, true},
      {{"nosuch"}, true},
      {{}, true},
      {{"devices", "extra"}, true},
      {{"--simulate=abc", "devices"}, true},
      {{"--simulate=201:", "devices"}, true},
      {{"--simulate=300", "devices"}, true},
      {{"--simulate=101:1", "devices"}, true},
      {{"--trace=yes", "devices"}, true},
      {{"--model", "x", "devices"}, true},
      {{"devices", "--config"}, false},
      {{"--config", "/nonexistent/config.xml", "devices"}, false},
      {{"--config", broken, "devices"}, false},
  };
  for (const Case& c : cases) {
    Result r = RunCli(c.args, c.withConfig);
    std::string shown;
    for (const auto& a : c.args) shown += a + " ";
    EXPECT_EQ(r.rc, kExitUsage) << shown;
    EXPECT_FALSE(r.err.empty()) << shown;
    EXPECT_TRUE(r.out.empty()) << shown;
  }
  std::filesystem::remove_all(dir);
}

TEST(CliTrace, PrintsTransfersAndPausesInOrderWithoutSleeping) {
  GlobalOptions g;
  g.simulate = true;
  g.trace = true;
  g.configPath = kConfig;
  std::ostringstream out, err;
  Context ctx(g, out, err);
  ASSERT_EQ(ctx.Prepare(), kExitOk);
  ctx.ScanDevices();
  ctx.Link().SetSelectedDeviceType(201);
  const uint8_t f[8] = {0x07, 0xab, 0, 0, 0, 0, 0, 0xff};
  ctx.SimulatedKeyboards()[0]->FailNextTransfers(1);
  const uint8_t r[64] = {0x8b};
  EXPECT_TRUE(ctx.Link().WriteReportZero(r));
  EXPECT_TRUE(ctx.Link().SendFeaturePaced(f));

  std::string zero = "write 00 8b";
  for (int i = 0; i < 63; ++i) zero += " 00";
  EXPECT_EQ(out.str(), zero + "\npause 32\n" + zero + "\npause 16\nfeature-send 07 ab 00 00 00 00 00 ff\n");
  // The pauses passed on the virtual clock, not in real time.
  EXPECT_EQ(ctx.ClockInUse().NowMs(), 48);
}

TEST(CliTrace, LineFormats) {
  struct Case {
    LinkEvent event;
    const char* line;
  } cases[] = {
      {{LinkEvent::Kind::Write, {0x00, 0x0a, 0xff}, 3}, "write 00 0a ff"},
      {{LinkEvent::Kind::Stream, {0x10}, 1}, "stream 10"},
      {{LinkEvent::Kind::FeatureSend, {0x07, 0x80}, 2}, "feature-send 07 80"},
      {{LinkEvent::Kind::FeatureGet, {0x07, 0xfb}, -1}, "feature-get 07 fb"},
      {{LinkEvent::Kind::Pause, {}, 100}, "pause 100"},
  };
  for (const Case& c : cases) EXPECT_EQ(TraceLine(c.event), c.line);
}

TEST(CliJson, WriterEscapesAndSeparates) {
  JsonWriter j;
  j.BeginObject().Key("a").String(std::string("q\"\\\n\x01")).Key("b").BeginArray().Int(-1).Bool(
      true).Null().BeginObject().EndObject().EndArray().Key("w").String(std::wstring(L"\u00e9"));
  j.EndObject();
  EXPECT_EQ(j.Text(), "{\"a\":\"q\\\"\\\\\\n\\u0001\",\"b\":[-1,true,null,{}],\"w\":\"\xc3\xa9\"}");
}

}  // namespace
}  // namespace brumkey::cli
