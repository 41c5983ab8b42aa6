#pragma once
// One supported model, or one connection mode of it, as config.xml declares.
#include <string>

namespace brumkey {

struct DeviceEntry {
  std::wstring name;        // model name; for modes the HID product string
  int deviceType = 0;
  std::wstring layoutName;  // layouts/<layoutName>.xml
  int mode = 0;             // 0 wired, 1 and 2 wireless (receiver)
  int vid = 0;
  int pid = 0;
  std::wstring desc;
  std::wstring hidInterface;  // upper-case match-path fragment
  int present = 0;
};

}  // namespace brumkey
