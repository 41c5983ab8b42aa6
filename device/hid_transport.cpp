#include "device/hid_transport.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "util/text.h"

namespace brumkey {

std::string MakeMatchPath(uint16_t vid, uint16_t pid, int interfaceNumber,
                          const std::string& instance) {
  char head[64];
  if (interfaceNumber >= 0)
    std::snprintf(head, sizeof head, "HID#VID_%04X&PID_%04X&MI_%02X#", vid, pid, interfaceNumber);
  else
    std::snprintf(head, sizeof head, "HID#VID_%04X&PID_%04X#", vid, pid);
  return head + instance;
}

namespace {

bool IsHexRun(std::string_view s, size_t n) {
  if (s.size() != n) return false;
  for (char c : s) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// "BBBB:VVVV:PPPP.IIII", the kernel's name of a HID device.
bool ParseHidDeviceName(std::string_view name, unsigned* bus, unsigned* vid, unsigned* pid) {
  if (name.size() != 19 || name[4] != ':' || name[9] != ':' || name[14] != '.') return false;
  if (!IsHexRun(name.substr(0, 4), 4) || !IsHexRun(name.substr(5, 4), 4) ||
      !IsHexRun(name.substr(10, 4), 4) || !IsHexRun(name.substr(15, 4), 4))
    return false;
  auto hex = [&](size_t at) { return static_cast<unsigned>(std::stoul(std::string(name.substr(at, 4)), nullptr, 16)); };
  *bus = hex(0);
  *vid = hex(5);
  *pid = hex(10);
  return true;
}

// "<bus>-<port>:<config>.<interface>", the kernel's name of a USB interface.
int ParseUsbInterfaceNumber(std::string_view name) {
  size_t colon = name.find(':');
  size_t dot = name.rfind('.');
  if (colon == std::string_view::npos || dot == std::string_view::npos || dot < colon ||
      name.find('-') > colon)
    return -1;
  std::string_view digits = name.substr(dot + 1);
  if (digits.empty() || digits.size() > 3) return -1;
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

std::string MatchPathFromSysfs(std::string_view devpath) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= devpath.size()) {
    size_t end = devpath.find('/', start);
    if (end == std::string_view::npos) end = devpath.size();
    if (end > start) parts.push_back(devpath.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = parts.size(); i-- > 0;) {
    unsigned bus = 0, vid = 0, pid = 0;
    if (!ParseHidDeviceName(parts[i], &bus, &vid, &pid)) continue;
    int interfaceNumber = i > 0 ? ParseUsbInterfaceNumber(parts[i - 1]) : -1;
    std::string instance;
    bool uhid = false;
    for (size_t j = 0; j < i; ++j) uhid = uhid || parts[j] == "uhid";
    if (bus == 0x0005 && uhid) instance = "{00001812-0000-1000-8000-00805F9B34FB}&";
    instance += parts[i];
    if (parts.size() >= i + 3 && parts[i + 1] == "hidraw") {
      instance += '&';
      instance += parts[i + 2];
    }
    return MakeMatchPath(static_cast<uint16_t>(vid), static_cast<uint16_t>(pid), interfaceNumber,
                         ToUpperAscii(std::string_view(instance)));
  }
  return {};
}

}  // namespace brumkey
