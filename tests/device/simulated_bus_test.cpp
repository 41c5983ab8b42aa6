#include <gtest/gtest.h>

#include "device/device_notify.h"
#include "tests/device/sim_fixture.h"

namespace brumkey {
namespace {

using testing::SimLink;

TEST(SimulatedBus, ShowsTheCollectionsOfTheConfiguredModels) {
  SimLink s;
  struct Case {
    int type, mode;
    uint16_t pid;
    const wchar_t* product;
    uint16_t vendorPage;
  } cases[] = {
      {201, 0, 0x5201, L"Brumkey K201", 0xFF02},
      {201, 1, 0x5202, L"Brumkey 2.4G Receiver", 0xFF02},
      {201, 2, 0x5203, L"Brumkey BT Receiver", 0xFF02},
      {101, 0, 0x5100, L"Brumkey K100", 0xFF01},
  };
  for (const Case& c : cases) {
    SimulatedHidBus bus;
    bus.Plug(SimulatedKeyboard::FromConfig(s.config.modes, c.type, c.mode));
    auto infos = bus.Enumerate();
    ASSERT_EQ(infos.size(), 4u);
    int vendor = 0, keyboard = 0, streamInterface = -1;
    for (const HidDeviceInfo& i : infos) {
      EXPECT_EQ(i.vid, 0x1209);
      EXPECT_EQ(i.pid, c.pid);
      EXPECT_EQ(i.product, c.product);
      EXPECT_TRUE(IsHidInterfacePath(i.matchPath)) << i.matchPath;
      if (i.usagePage == c.vendorPage) {
        ++vendor;
        if (i.matchPath.find("&MI_03") != std::string::npos) streamInterface = i.interfaceNumber;
      }
      if (i.usagePage == 1 && i.usage == 6) ++keyboard;
    }
    EXPECT_EQ(vendor, 2);
    EXPECT_EQ(keyboard, 1);
    EXPECT_EQ(streamInterface, 3);
  }
  EXPECT_EQ(SimulatedKeyboard::FromConfig(s.config.modes, 101, 1), nullptr);
}

TEST(SimulatedBus, PlugAndUnplugRaiseRecognisedNotifications) {
  SimLink s;
  std::vector<DeviceEntry> modes = s.config.modes;
  std::vector<DeviceChange> changes;
  s.bus.SetListener([&](const std::string& path, int kind) {
    changes.push_back(RecognizeDeviceChange(modes, path, kind));
  });
  auto rx = SimulatedKeyboard::FromConfig(s.config.modes, 201, 1);
  s.bus.Plug(rx);
  ASSERT_EQ(changes.size(), 4u);  // one per collection
  for (const DeviceChange& c : changes) {
    EXPECT_EQ(c.event, DeviceChange::Event::Arrival);
    EXPECT_EQ(c.deviceType, 201);
    EXPECT_EQ(c.workerCommand, 2);
  }
  // What the main window does after the refresh: mark the found modes present.
  s.link.Refresh();
  for (DeviceEntry& e : modes)
    e.present = s.link.FindOpenInterface(e.vid, e.pid, e.name, e.mode) >= 0;
  ASSERT_EQ(modes[1].present, 1);

  changes.clear();
  s.bus.Unplug(rx);
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[0].event, DeviceChange::Event::Removal);
  EXPECT_EQ(changes[0].mode, 1);
  EXPECT_EQ(changes[0].workerCommand, 3);
  for (size_t i = 1; i < changes.size(); ++i)
    EXPECT_EQ(changes[i].event, DeviceChange::Event::None);  // already marked absent
  EXPECT_EQ(modes[1].present, 0);
}

TEST(SimulatedBus, DisconnectAfterReportDropsTheKeyboard) {
  SimLink s;
  auto kb = s.Plug(201, 0);
  int removals = 0;
  s.bus.SetListener([&](const std::string&, int kind) { removals += kind == 0x8004; });
  s.link.Refresh();
  s.link.SetSelectedDeviceType(201);
  kb->DisconnectAfterReports(2);
  const uint8_t r[65] = {};
  EXPECT_TRUE(s.link.WriteReport(r));
  EXPECT_TRUE(s.link.WriteReport(r));
  EXPECT_EQ(removals, 4);
  EXPECT_FALSE(s.link.WriteReport(r));  // both attempts fail on the dead handle
  EXPECT_EQ(kb->Transfers().size(), 2u);
  EXPECT_EQ(s.clock.Pauses(), std::vector<int>{10});
  s.link.Refresh();
  EXPECT_EQ(s.link.OpenInterfaceCount(), 0u);
  EXPECT_EQ(s.bus.OpenHandleCount(), 0u);
}

// The seam the protocol model plugs into: it sees every delivered report
// and answers reads from what it decoded.
TEST(SimulatedBus, FirmwareModelSeesReportsAndAnswersReads) {
  struct EchoFirmware : KeyboardFirmware {
    std::vector<std::vector<uint8_t>> seen;
    void OnReport(SimReportKind kind, int, const uint8_t* data, size_t len) override {
      seen.emplace_back(data, data + len);
      if (kind == SimReportKind::FeatureSet) QueueFeatureReply({data[0], 0xAA, data[1]});
    }
  };
  SimLink s;
  auto kb = s.Plug(201, 0);
  kb->SetFirmware(std::make_unique<EchoFirmware>());
  s.link.Refresh();
  s.link.SetSelectedDeviceType(201);
  const uint8_t f[8] = {7, 0x33};
  ASSERT_TRUE(s.link.SendFeature(f));
  kb->FailNextTransfers(1);
  EXPECT_FALSE(s.link.SendFeature(f));  // refused reports never reach the firmware
  uint8_t buf[8] = {7};
  EXPECT_EQ(s.link.GetFeature(buf), 3);
  EXPECT_EQ(buf[1], 0xAA);
  EXPECT_EQ(buf[2], 0x33);
  kb->WithFirmware([](KeyboardFirmware& fw) {
    EXPECT_EQ(static_cast<EchoFirmware&>(fw).seen.size(), 1u);
  });
  EXPECT_EQ(kb->Transfers().size(), 3u);
}

}  // namespace
}  // namespace brumkey
