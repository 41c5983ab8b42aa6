#include "device/hid_transport.h"

#include <cstdio>

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

}  // namespace brumkey
