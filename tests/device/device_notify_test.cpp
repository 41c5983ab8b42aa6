#include <gtest/gtest.h>

#include "device/device_notify.h"

namespace brumkey {
namespace {

DeviceEntry Mode(int type, int mode, const wchar_t* fragment, int present = 0) {
  DeviceEntry e;
  e.deviceType = type;
  e.mode = mode;
  e.hidInterface = fragment;
  e.present = present;
  return e;
}

using Event = DeviceChange::Event;

TEST(DeviceNotify, RecognitionRules) {
  struct Case {
    const char* name;
    const char* path;
    int kind;
    Event event;
    int deviceType;
    int mode;
    int command;
    std::vector<int> presentAfter;
  } cases[] = {
      {"arrival, path case ignored", "hid#vid_1209&pid_5201&mi_01#7&abc&0&0000", 0x8000,
       Event::Arrival, 201, -1, 2, {1, 1, 1, 1}},
      {"arrival with device prefix", "\\\\?\\HID#VID_1209&PID_5202&MI_01#X", 0x8000,
       Event::Arrival, 201, -1, 2, {1, 1, 1, 1}},
      {"lower-case fragment never matches", "HID#VID_1209&PID_5100&MI_01#X", 0x8000, Event::None,
       0, -1, 0, {1, 1, 1, 1}},
      {"Bluetooth LE HID service ignored",
       "HID#{00001812-0000-1000-8000-00805f9b34fb}_VID_1209&PID_5201#X", 0x8000, Event::None, 0,
       -1, 0, {1, 1, 1, 1}},
      {"removal marks the entry", "HID#VID_1209&PID_5202&MI_01#X", 0x8004, Event::Removal, 0, 1,
       3, {1, 0, 1, 1}},
      {"BLE removal ignored", "HID#VID_1209&PID_5202#00001812-0000-1000-8000-00805F9B34FB",
       0x8004, Event::None, 0, -1, 0, {1, 1, 1, 1}},
      {"other kinds ignored", "HID#VID_1209&PID_5201&MI_01#X", 0x8001, Event::None, 0, -1, 0,
       {1, 1, 1, 1}},
      {"query-remove ignored", "HID#VID_1209&PID_5201&MI_01#X", 0x8003, Event::None, 0, -1, 0,
       {1, 1, 1, 1}},
      {"USB device, not a HID interface", "USB#VID_1209&PID_5201#X", 0x8004, Event::None, 0, -1,
       0, {1, 1, 1, 1}},
      {"storage", "\\\\?\\USBSTOR#Disk&Ven_1209&PID_5201#X", 0x8000, Event::None, 0, -1, 0,
       {1, 1, 1, 1}},
      {"empty path", "", 0x8000, Event::None, 0, -1, 0, {1, 1, 1, 1}},
      {"control character", "HID#VID_1209&PID_5201\n#X", 0x8000, Event::None, 0, -1, 0,
       {1, 1, 1, 1}},
      {"no fragment names an unrelated device", "HID#VID_046D&PID_C077#X", 0x8004, Event::None, 0,
       -1, 0, {1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<DeviceEntry> modes = {
        Mode(201, 0, L"VID_1209&PID_5201", 1), Mode(201, 1, L"VID_1209&PID_5202", 1),
        Mode(101, 0, L"vid_1209&pid_5100", 1), Mode(300, 0, L"", 1)};
    DeviceChange ch = RecognizeDeviceChange(modes, c.path, c.kind);
    EXPECT_EQ(ch.event, c.event);
    EXPECT_EQ(ch.deviceType, c.deviceType);
    EXPECT_EQ(ch.mode, c.mode);
    EXPECT_EQ(ch.workerCommand, c.command);
    std::vector<int> present;
    for (const DeviceEntry& e : modes) present.push_back(e.present);
    EXPECT_EQ(present, c.presentAfter);
  }
}

TEST(DeviceNotify, RemovalConsidersOnlyPresentEntriesInOrder) {
  // Two declarations share a fragment: the first present one is taken.
  std::vector<DeviceEntry> modes = {Mode(201, 0, L"PID_5201", 0), Mode(201, 2, L"PID_5201", 1),
                                    Mode(201, 1, L"PID_5201", 1)};
  DeviceChange ch = RecognizeDeviceChange(modes, "HID#VID_1209&PID_5201#X", 0x8004);
  EXPECT_EQ(ch.event, Event::Removal);
  EXPECT_EQ(ch.mode, 2);
  EXPECT_EQ(modes[1].present, 0);
  EXPECT_EQ(modes[2].present, 1);
  ch = RecognizeDeviceChange(modes, "HID#VID_1209&PID_5201#X", 0x8004);
  EXPECT_EQ(ch.mode, 1);
  ch = RecognizeDeviceChange(modes, "HID#VID_1209&PID_5201#X", 0x8004);
  EXPECT_EQ(ch.event, Event::None);
  // An arrival takes the first entry whatever its presence.
  ch = RecognizeDeviceChange(modes, "HID#VID_1209&PID_5201#X", 0x8000);
  EXPECT_EQ(ch.event, Event::Arrival);
  EXPECT_EQ(ch.deviceType, 201);
}

}  // namespace
}  // namespace brumkey
