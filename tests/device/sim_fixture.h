#pragma once
// A device link over a simulated bus, declared from the shipped config.xml.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/device_config.h"
#include "device/device_link.h"
#include "device/sim/simulated_hid_bus.h"
#include "util/clock.h"
#include "util/text.h"

namespace brumkey::testing {

inline std::wstring ShippedConfigPath() {
  return Utf8ToWide(std::string(BRUMKEY_TEST_SOURCE_DIR) + "/data/config.xml");
}

struct SimLink {
  VirtualClock clock;
  SimulatedHidBus bus{&clock};
  DeviceLink link{bus, clock};
  DeviceConfig config;

  SimLink() {
    EXPECT_TRUE(LoadDeviceConfig(ShippedConfigPath(), config, [this](const DeviceEntry& e) {
      link.RegisterKnownInterface(e.vid, e.pid, e.name, e.deviceType, e.mode, e.hidInterface);
    }));
  }

  std::shared_ptr<SimulatedKeyboard> Plug(int deviceType, int mode) {
    auto kb = SimulatedKeyboard::FromConfig(config.modes, deviceType, mode);
    EXPECT_NE(kb, nullptr) << deviceType << ":" << mode;
    bus.Plug(kb);
    return kb;
  }
};

}  // namespace brumkey::testing
