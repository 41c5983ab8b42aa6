#pragma once
// Reads config.xml: the supported models, their connection modes and the
// software's identity.
#include <functional>
#include <string>
#include <vector>

#include "device/device_entry.h"

namespace brumkey {

struct DeviceConfig {
  std::vector<DeviceEntry> keyboards;  // one per <keyboard>, file order
  std::vector<DeviceEntry> modes;      // one per <mode>, all keyboards together
  bool hasSoftware = false;
  std::wstring version;
  std::wstring website;
  std::wstring store;
  std::wstring upgrade;
  bool hasCopyright = false;
  std::wstring copyright;
};

// Fills `out` (emptied first) and calls registerMode for each mode entry in
// file order. False when the file is missing, unreadable, malformed or has
// no <config> root; `out` then holds no devices.
bool LoadDeviceConfig(const std::wstring& path, DeviceConfig& out,
                      const std::function<void(const DeviceEntry&)>& registerMode = {});

// Device family of a device type: 1 (<= 200), 2 (201-299), 0 (none).
int DeviceFamily(int deviceType);

}  // namespace brumkey
