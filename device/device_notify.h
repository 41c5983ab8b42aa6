#pragma once
// Turns a HID interface arrival or removal into what the main window does:
// which model arrived or which mode left, and the worker command to queue.
#include <string_view>
#include <vector>

#include "device/device_entry.h"

namespace brumkey {

constexpr int kDeviceArrival = 0x8000;
constexpr int kDeviceRemoveComplete = 0x8004;

constexpr int kWorkerCommandArrivalRefresh = 2;
constexpr int kWorkerCommandRemovalRefresh = 3;

struct DeviceChange {
  enum class Event { None, Arrival, Removal };
  Event event = Event::None;
  int deviceType = 0;     // arrival: the arrived model
  int mode = -1;          // removal: the mode that left
  int workerCommand = 0;  // 2 after an arrival, 3 after a removal, else 0
};

// A HID device-interface path as notifications carry it: "HID#..." with or
// without the "\\?\" prefix, printable ASCII, shorter than 1024 characters.
bool IsHidInterfacePath(std::string_view path);

// Walks `modes` (config.xml's mode list, in file order). A removal marks the
// matching present entry not present. Anything that is not a valid HID
// interface path, a Bluetooth LE HID service path, or a kind other than
// arrival/removal changes nothing.
DeviceChange RecognizeDeviceChange(std::vector<DeviceEntry>& modes, std::string_view path,
                                   int kind);

}  // namespace brumkey
