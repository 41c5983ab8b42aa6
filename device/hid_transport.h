#pragma once
// The report transport under the device link: the real one is hidapi over
// hidraw, the simulated keyboard is another.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brumkey {

struct HidDeviceInfo {
  std::string path;       // what Open() takes (a hidraw node, or a sim path)
  std::string matchPath;  // Windows-form path: HID#VID_xxxx&PID_xxxx&MI_xx#...
  uint16_t vid = 0;
  uint16_t pid = 0;
  std::wstring product;
  uint16_t release = 0;
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  int interfaceNumber = -1;
};

// Opaque per-transport handle.
struct HidHandle;

class HidTransport {
 public:
  virtual ~HidTransport() = default;
  virtual std::vector<HidDeviceInfo> Enumerate() = 0;
  virtual HidHandle* Open(const std::string& path) = 0;
  virtual void Close(HidHandle* h) = 0;
  // Each returns the byte count, or -1 on failure.
  virtual int Write(HidHandle* h, const uint8_t* data, size_t len) = 0;
  virtual int SendFeature(HidHandle* h, const uint8_t* data, size_t len) = 0;
  // data[0] names the report id before the call.
  virtual int GetFeature(HidHandle* h, uint8_t* data, size_t len) = 0;
  virtual std::wstring Error(HidHandle* h) = 0;
};

// Builds the Windows-form match path the arrival/removal rules look at.
std::string MakeMatchPath(uint16_t vid, uint16_t pid, int interfaceNumber,
                          const std::string& instance);

// The match path of a hidraw node from its sysfs device path, e.g.
// ".../1-2/1-2:1.3/0003:1209:5201.0004/hidraw/hidraw3" gives
// "HID#VID_1209&PID_5201&MI_03#0003:1209:5201.0004&HIDRAW3". Works on the
// path alone, so removals (whose sysfs entries are gone) map to the same
// text as the arrival. A Bluetooth LE (uhid) device carries the HID service
// id in its instance part, as on other systems. Empty when no HID device
// is named.
std::string MatchPathFromSysfs(std::string_view devpath);

}  // namespace brumkey
