#pragma once
// The udev rule that gives the user at the seat the hidraw interfaces of the
// configured keyboards.
#include <string>
#include <vector>

#include "device/device_entry.h"

namespace brumkey {

// One uaccess rule per distinct vid/pid of the mode list, in file order.
// Modes whose identity is 0 (unparsable in config.xml) are left out.
std::string MakeUdevRules(const std::vector<DeviceEntry>& modes);

}  // namespace brumkey
