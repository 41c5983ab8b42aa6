#include "packaging/udev_rules.h"

#include <cstdio>
#include <set>
#include <utility>

#include "util/text.h"

namespace brumkey {

std::string MakeUdevRules(const std::vector<DeviceEntry>& modes) {
  std::string text =
      "# Generated from config.xml when the program is built; do not edit.\n"
      "# Gives the user at the seat the hidraw interfaces of the supported keyboards.\n"
      "# udev cannot read a node's HID usage page, so every interface of the listed\n"
      "# identities qualifies except boot keyboard and boot mouse interfaces (the\n"
      "# supported models keep their vendor collections elsewhere). The HID\n"
      "# device's name (bus:vendor:product) matches USB and Bluetooth alike.\n"
      "ACTION==\"remove\", GOTO=\"brumkey_end\"\n"
      "SUBSYSTEM!=\"hidraw\", GOTO=\"brumkey_end\"\n"
      "SUBSYSTEMS==\"usb\", ATTRS{bInterfaceClass}==\"03\", ATTRS{bInterfaceSubClass}==\"01\", "
      "GOTO=\"brumkey_end\"\n";
  std::set<std::pair<int, int>> seen;
  for (const DeviceEntry& e : modes) {
    if (e.vid <= 0 || e.vid > 0xFFFF || e.pid <= 0 || e.pid > 0xFFFF) continue;
    if (!seen.insert({e.vid, e.pid}).second) continue;
    // udev takes comments on lines of their own only; keep names on one line.
    std::string name = WideToUtf8(e.name);
    for (char& c : name) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    text += "# " + name + ", mode " + std::to_string(e.mode) + "\n";
    char line[96];
    std::snprintf(line, sizeof line, "KERNELS==\"*:%04X:%04X.*\", TAG+=\"uaccess\"\n", e.vid,
                  e.pid);
    text += line;
  }
  text += "LABEL=\"brumkey_end\"\n";
  return text;
}

}  // namespace brumkey
