#include "device/device_notify.h"

#include "util/text.h"

namespace brumkey {

namespace {
constexpr std::string_view kBleHidService = "00001812-0000-1000-8000-00805F9B34FB";
}

bool IsHidInterfacePath(std::string_view path) {
  if (path.empty() || path.size() >= 1024) return false;
  for (unsigned char c : path) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  std::string upper = ToUpperAscii(path);
  std::string_view rest = upper;
  if (rest.starts_with("\\\\?\\")) rest.remove_prefix(4);
  return rest.starts_with("HID#") && rest.size() > 4;
}

DeviceChange RecognizeDeviceChange(std::vector<DeviceEntry>& modes, std::string_view path,
                                   int kind) {
  DeviceChange change;
  if (kind != kDeviceArrival && kind != kDeviceRemoveComplete) return change;
  if (!IsHidInterfacePath(path)) return change;
  // Only ASCII reaches here, so the narrow upper case equals the wide one.
  const std::wstring upper = Utf8ToWide(ToUpperAscii(path));
  if (upper.find(Utf8ToWide(kBleHidService)) != std::wstring::npos) return change;

  for (DeviceEntry& e : modes) {
    // An empty fragment occurs in every path; it names no interface.
    if (e.hidInterface.empty() || upper.find(e.hidInterface) == std::wstring::npos) continue;
    if (kind == kDeviceArrival) {
      change.event = DeviceChange::Event::Arrival;
      change.deviceType = e.deviceType;
      change.workerCommand = kWorkerCommandArrivalRefresh;
      return change;
    }
    if (!e.present) continue;
    e.present = 0;
    change.event = DeviceChange::Event::Removal;
    change.mode = e.mode;
    change.workerCommand = kWorkerCommandRemovalRefresh;
    return change;
  }
  return change;
}

}  // namespace brumkey
