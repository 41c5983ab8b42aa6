#include <gtest/gtest.h>

#include "app/platform/hid_monitor.h"
#include "device/device_notify.h"
#include "device/hid_transport.h"

namespace brumkey {
namespace {

TEST(MatchPath, FromSysfsDevicePaths) {
  struct Case {
    const char* devpath;
    const char* expected;
  } cases[] = {
      {"/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.3/0003:1209:5201.0004/hidraw/hidraw3",
       "HID#VID_1209&PID_5201&MI_03#0003:1209:5201.0004&HIDRAW3"},
      {"/devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1.4/3-1.4:1.10/0003:1a2b:00ff.000a/hidraw/"
       "hidraw12",
       "HID#VID_1A2B&PID_00FF&MI_0A#0003:1A2B:00FF.000A&HIDRAW12"},
      // Classic Bluetooth: no USB interface.
      {"/devices/pci0000:00/0000:00:14.0/usb1/1-7/1-7:1.0/bluetooth/hci0/hci0:256/"
       "0005:1209:5203.0009/hidraw/hidraw5",
       "HID#VID_1209&PID_5203#0005:1209:5203.0009&HIDRAW5"},
      // Bluetooth LE through uhid carries the HID service id.
      {"/devices/virtual/misc/uhid/0005:1209:5203.000B/hidraw/hidraw6",
       "HID#VID_1209&PID_5203#{00001812-0000-1000-8000-00805F9B34FB}&0005:1209:5203.000B&"
       "HIDRAW6"},
      // The HID device itself, without its hidraw node.
      {"/devices/pci0000:00/usb1/1-2/1-2:1.1/0003:1209:5201.0005",
       "HID#VID_1209&PID_5201&MI_01#0003:1209:5201.0005"},
      {"/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host3/target3:0:0", ""},
      {"/devices/pci0000:00/usb1/1-2/1-2:1.3/0003:12G9:5201.0004/hidraw/hidraw3", ""},
      {"/devices/pci0000:00/usb1/1-2/1-2:1.3/0003:1209:5201/hidraw/hidraw3", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchPathFromSysfs(c.devpath), c.expected) << c.devpath;
}

TEST(MatchPath, MonitorEventsBecomeNotifications) {
  const char* devpath =
      "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.1/0003:1209:5202.0007/hidraw/hidraw2";
  struct Case {
    const char* action;
    bool ok;
    int kind;
  } cases[] = {{"add", true, 0x8000}, {"remove", true, 0x8004}, {"change", false, 0},
               {"bind", false, 0}};
  for (const Case& c : cases) {
    std::string path;
    int kind = 0;
    EXPECT_EQ(HidMonitor::Translate(c.action, devpath, &path, &kind), c.ok) << c.action;
    if (c.ok) {
      EXPECT_EQ(kind, c.kind);
      EXPECT_EQ(path, MatchPathFromSysfs(devpath));
    }
  }
  std::string path;
  int kind = 0;
  EXPECT_FALSE(HidMonitor::Translate("add", "/devices/virtual/input/input5", &path, &kind));
}

// A udev add and remove of the receiver's interface run through the same
// recognition as every other notification.
TEST(MatchPath, UdevPathsMeetTheConfiguredFragments) {
  std::vector<DeviceEntry> modes(2);
  modes[0].deviceType = 201;
  modes[0].mode = 0;
  modes[0].hidInterface = L"VID_1209&PID_5201";
  modes[1].deviceType = 201;
  modes[1].mode = 1;
  modes[1].hidInterface = L"VID_1209&PID_5202";
  modes[1].present = 1;
  const char* devpath =
      "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.1/0003:1209:5202.0007/hidraw/hidraw2";
  std::string path;
  int kind = 0;
  ASSERT_TRUE(HidMonitor::Translate("add", devpath, &path, &kind));
  EXPECT_EQ(RecognizeDeviceChange(modes, path, kind).deviceType, 201);
  ASSERT_TRUE(HidMonitor::Translate("remove", devpath, &path, &kind));
  DeviceChange ch = RecognizeDeviceChange(modes, path, kind);
  EXPECT_EQ(ch.event, DeviceChange::Event::Removal);
  EXPECT_EQ(ch.mode, 1);
  EXPECT_EQ(modes[1].present, 0);
}

}  // namespace
}  // namespace brumkey
