#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/device/sim_fixture.h"

namespace brumkey {
namespace {

using testing::SimLink;

constexpr uint16_t kVid = 0x1209;
constexpr uint16_t kPid = 0x5201;

std::vector<OpenInterface> Records(const DeviceLink& link) {
  std::vector<OpenInterface> out;
  link.CollectOpenInterfaces(out);
  return out;
}

TEST(DeviceLink, OpensTheCommandCollectionAndTheStreamOnly) {
  SimLink s;
  auto kb = s.Plug(201, 0);
  s.link.Refresh();

  auto recs = Records(s.link);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].productString, L"Brumkey K201");
  EXPECT_EQ(recs[0].deviceType, 201);
  EXPECT_EQ(recs[0].mode, 0);
  EXPECT_TRUE(recs[0].wired);
  EXPECT_NE(recs[0].matchPath.find("&MI_01"), std::string::npos);
  EXPECT_NE(s.link.StreamInterface(), nullptr);
  // The keyboard and consumer collections were examined and closed again.
  EXPECT_EQ(s.bus.OpenHandleCount(), 2u);

  s.link.CloseAll();
  EXPECT_EQ(s.bus.OpenHandleCount(), 0u);
  EXPECT_EQ(s.link.StreamInterface(), nullptr);
  EXPECT_FALSE(s.link.IsOpen());
}

TEST(DeviceLink, ProductNameDecidesWhenDeclared) {
  struct Case {
    std::wstring declared;
    size_t opened;
  } cases[] = {
      {L"", 1}, {L"Brumkey K201", 1}, {L"brumkey k201", 0}, {L"Brumkey K20", 0},
  };
  for (const Case& c : cases) {
    VirtualClock clock;
    SimulatedHidBus bus(&clock);
    DeviceLink link(bus, clock);
    link.RegisterKnownInterface(kVid, kPid, c.declared, 201, 0, L"");
    bus.Plug(std::make_shared<SimulatedKeyboard>(kVid, kPid, L"Brumkey K201", 201, 0,
                                                 SimulatedKeyboard::StandardCollections(201)));
    link.Refresh();
    EXPECT_EQ(link.OpenInterfaceCount(), c.opened) << WideToUtf8(c.declared);
  }
}

TEST(DeviceLink, FirstDeclarationOfAnIdentityGivesTypeAndMode) {
  VirtualClock clock;
  SimulatedHidBus bus(&clock);
  DeviceLink link(bus, clock);
  // The first declaration does not match the product, yet it types the record.
  link.RegisterKnownInterface(kVid, kPid, L"Other Product", 205, 2, L"");
  link.RegisterKnownInterface(kVid, kPid, L"", 201, 0, L"");
  bus.Plug(std::make_shared<SimulatedKeyboard>(kVid, kPid, L"Brumkey K201", 201, 0,
                                               SimulatedKeyboard::StandardCollections(201)));
  link.Refresh();
  auto recs = Records(link);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0].deviceType, 205);
  EXPECT_EQ(recs[0].mode, 2);
  EXPECT_FALSE(recs[0].wired);
}

TEST(DeviceLink, VidAndPidFormsOfTheConfigAllReachTheKeyboard) {
  struct Case {
    const char* vid;
    const char* pid;
    size_t opened;
  } cases[] = {
      {"1209", "5201", 1},   {"0x1209", "0X5201", 1}, {"0x1209", "5201 ", 1},
      {"001209", "5201", 1}, {"zz1209", "5201", 0},   {"1209", "", 0},
  };
  const auto dir = std::filesystem::temp_directory_path() /
                   ("brumkey-vid-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const Case& c : cases) {
    const auto file = dir / "config.xml";
    std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><config><device.info>"
                           "<keyboard name=\"K\" device_type=\"201\" device_info=\"K201\">"
                           "<mode value=\"0\" vid=\""
                        << c.vid << "\" pid=\"" << c.pid
                        << "\" product_name=\"Brumkey K201\"/></keyboard></device.info></config>";
    VirtualClock clock;
    SimulatedHidBus bus(&clock);
    DeviceLink link(bus, clock);
    DeviceConfig cfg;
    ASSERT_TRUE(LoadDeviceConfig(file.wstring(), cfg, [&](const DeviceEntry& e) {
      link.RegisterKnownInterface(e.vid, e.pid, e.name, e.deviceType, e.mode, e.hidInterface);
    }));
    bus.Plug(std::make_shared<SimulatedKeyboard>(kVid, kPid, L"Brumkey K201", 201, 0,
                                                 SimulatedKeyboard::StandardCollections(201)));
    link.Refresh();
    EXPECT_EQ(link.OpenInterfaceCount(), c.opened) << c.vid << " " << c.pid;
  }
  std::filesystem::remove_all(dir);
}

TEST(DeviceLink, CommandInterfaceAndConnectionModePreferDifferently) {
  struct Case {
    std::vector<int> present;
    int commandMode;  // -1: none
    int connectionMode;
  } cases[] = {
      {{0, 1, 2}, 0, 0}, {{2, 1}, 1, 2}, {{1}, 1, 1}, {{2}, 2, 2}, {{}, -1, -1},
  };
  for (const Case& c : cases) {
    SimLink s;
    for (int m : c.present) s.Plug(201, m);
    s.Plug(101, 0);
    s.link.Refresh();
    // Right after a refresh no type is selected: nothing serves as command interface.
    EXPECT_EQ(s.link.GetCommandInterface(), nullptr);
    EXPECT_EQ(Records(s.link).size(), c.present.size() + 1);

    s.link.SetSelectedDeviceType(201);
    EXPECT_EQ(s.link.GetConnectionMode(), c.connectionMode);
    HidHandle* cmd = s.link.GetCommandInterface();
    int modeOfCmd = -1;
    for (const OpenInterface& r : Records(s.link)) {
      EXPECT_EQ(r.deviceType, 201);
      if (r.device == cmd) modeOfCmd = r.mode;
    }
    EXPECT_EQ(modeOfCmd, c.commandMode);
  }
}

TEST(DeviceLink, SelectingATypeDropsTheCachedCommandInterface) {
  SimLink s;
  auto k201 = s.Plug(201, 0);
  auto k100 = s.Plug(101, 0);
  s.link.Refresh();
  s.link.SetSelectedDeviceType(101);
  const uint8_t report[65] = {0, 0x42};
  ASSERT_TRUE(s.link.WriteReport(report));
  s.link.SetSelectedDeviceType(201);
  ASSERT_TRUE(s.link.WriteReport(report));
  EXPECT_EQ(k100->Transfers().size(), 1u);
  EXPECT_EQ(k201->Transfers().size(), 1u);
}

TEST(DeviceLink, FindOpenInterfaceStopsAtTheFirstNumericMatch) {
  VirtualClock clock;
  SimulatedHidBus bus(&clock);
  DeviceLink link(bus, clock);
  link.RegisterKnownInterface(kVid, kPid, L"", 201, 0, L"");
  // Two devices with one identity but different product strings.
  bus.Plug(std::make_shared<SimulatedKeyboard>(kVid, kPid, L"First", 201, 0,
                                               SimulatedKeyboard::StandardCollections(201)));
  bus.Plug(std::make_shared<SimulatedKeyboard>(kVid, kPid, L"Second", 201, 0,
                                               SimulatedKeyboard::StandardCollections(201)));
  link.Refresh();
  ASSERT_EQ(link.OpenInterfaceCount(), 2u);
  struct Case {
    int vid, pid;
    std::wstring name;
    int mode, expected;
  } cases[] = {
      {kVid, kPid, L"", 0, 0},       {kVid, kPid, L"First", 0, 0}, {kVid, kPid, L"Second", 0, -1},
      {kVid, kPid, L"First", 1, -1}, {kVid, 0x5202, L"", 0, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(link.FindOpenInterface(c.vid, c.pid, c.name, c.mode), c.expected)
        << WideToUtf8(c.name) << " mode " << c.mode;
}

TEST(DeviceLink, LaterStreamCollectionReplacesAndClosesTheEarlier) {
  VirtualClock clock;
  SimulatedHidBus bus(&clock);
  DeviceLink link(bus, clock);
  link.RegisterKnownInterface(0x1209, 0x5100, L"", 101, 0, L"");
  auto kb = std::make_shared<SimulatedKeyboard>(
      0x1209, 0x5100, L"K", 101, 0,
      std::vector<SimCollection>{{0xFF01, 1, 3}, {0xFF02, 2, 3}, {0xFF01, 1, 0}});
  bus.Plug(kb);
  link.Refresh();
  EXPECT_EQ(link.OpenInterfaceCount(), 1u);  // interface 3 never serves commands
  EXPECT_EQ(bus.OpenHandleCount(), 2u);      // the first stream handle was closed

  // The stream does not depend on the selected type.
  const uint8_t frame[65] = {0, 0x10, 0x20};
  ASSERT_TRUE(link.WriteStreamReport(frame));
  auto t = kb->Transfers();
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].interfaceNumber, 3);
  EXPECT_EQ(t[0].bytes, std::vector<uint8_t>(frame, frame + 65));
}

TEST(DeviceLink, CloseAllBeforeTheFirstRefreshLeavesAScanAlone) {
  SimLink s;
  s.Plug(201, 0);
  s.link.OpenAll();
  s.link.CloseAll();
  EXPECT_EQ(s.link.OpenInterfaceCount(), 1u);
  // Not open yet: nothing goes out.
  s.link.SetSelectedDeviceType(201);
  const uint8_t f[8] = {7};
  EXPECT_FALSE(s.link.SendFeature(f));
  // A refresh replaces the earlier scan instead of adding to it.
  s.link.Refresh();
  EXPECT_EQ(s.link.OpenInterfaceCount(), 1u);
  EXPECT_EQ(s.bus.OpenHandleCount(), 2u);
  s.link.Shutdown();
  EXPECT_EQ(s.bus.OpenHandleCount(), 0u);
}

// Refreshes close handles while other threads send: each report must run
// on a handle that is still open.
TEST(DeviceLink, RefreshNeverClosesAHandleUnderAReport) {
  SimLink s;
  s.Plug(201, 0);
  s.Plug(101, 0);
  s.link.Refresh();
  std::atomic<bool> stop{false};
  std::atomic<int> sent{0};
  auto sender = [&](int type) {
    const uint8_t f[8] = {7, 1};
    const uint8_t r[65] = {0, 2};
    while (!stop) {
      s.link.SetSelectedDeviceType(type);
      sent += s.link.SendFeature(f);
      sent += s.link.WriteReport(r);
      sent += s.link.WriteStreamReport(r);
    }
  };
  std::thread a(sender, 201), b(sender, 101);
  int refreshes = 0;
  // Keep refreshing until the senders got real traffic through in between.
  while ((refreshes < 300 || sent < 300) && refreshes < 200000) {
    s.link.Refresh();
    ++refreshes;
    if (refreshes % 16 == 0) std::this_thread::yield();
  }
  stop = true;
  a.join();
  b.join();
  EXPECT_GE(sent.load(), 300);
  EXPECT_EQ(s.bus.StaleHandleUses(), 0);
}

}  // namespace
}  // namespace brumkey

namespace brumkey {
namespace {

// Runs in its own process under ctest; nothing else here touches Instance().
TEST(DeviceLinkInstance, UsesWhatWasConfiguredBeforeFirstUse) {
  static VirtualClock clock;
  static SimulatedHidBus bus(&clock);
  ASSERT_TRUE(DeviceLink::Configure(bus, clock));
  bus.Plug(std::make_shared<SimulatedKeyboard>(0x1209, 0x5201, L"Brumkey K201", 201, 0,
                                               SimulatedKeyboard::StandardCollections(201)));
  DeviceLink& link = DeviceLink::Instance();
  EXPECT_EQ(&link, &DeviceLink::Instance());
  link.RegisterKnownInterface(0x1209, 0x5201, L"", 201, 0, L"");
  link.Refresh();
  link.SetSelectedDeviceType(201);
  const uint8_t f[8] = {7};
  EXPECT_TRUE(link.SendFeaturePaced(f));
  EXPECT_EQ(clock.Pauses(), std::vector<int>{16});
  // Too late to swap the transport now.
  VirtualClock other;
  EXPECT_FALSE(DeviceLink::Configure(bus, other));
  link.Shutdown();
}

}  // namespace
}  // namespace brumkey
