#include <gtest/gtest.h>

#include "app/platform/hid_monitor.h"
#include "device/device_link.h"
#include "device/device_notify.h"
#include "device/hidapi/hidapi_transport.h"

namespace brumkey {
namespace {

TEST(HidapiTransport, EnumeratesThisMachine) {
  HidapiTransport hid;
  ASSERT_TRUE(hid.Initialised());
  for (const HidDeviceInfo& info : hid.Enumerate()) {
    EXPECT_FALSE(info.path.empty());
    EXPECT_TRUE(IsHidInterfacePath(info.matchPath)) << info.matchPath;
  }
  EXPECT_EQ(hid.Open("/nonexistent/hidraw99"), nullptr);
  uint8_t buf[8] = {7};
  EXPECT_EQ(hid.Write(nullptr, buf, sizeof buf), -1);
  EXPECT_EQ(hid.GetFeature(nullptr, buf, sizeof buf), -1);
}

TEST(HidapiTransport, LinkOverItFindsNoKeyboardHere) {
  HidapiTransport hid;
  VirtualClock clock;
  DeviceLink link(hid, clock);
  link.RegisterKnownInterface(0x1209, 0x5201, L"Brumkey K201", 201, 0, L"VID_1209&PID_5201");
  link.Refresh();
  EXPECT_TRUE(link.IsOpen());
  EXPECT_EQ(link.OpenInterfaceCount(), 0u);
  link.SetSelectedDeviceType(201);
  EXPECT_EQ(link.GetConnectionMode(), -1);
  const uint8_t f[8] = {7};
  EXPECT_FALSE(link.SendFeaturePaced(f));
  EXPECT_TRUE(clock.Pauses().empty());
}

TEST(HidMonitor, SubscribesWithoutBlocking) {
  HidMonitor monitor;
  EXPECT_EQ(monitor.Fd(), -1);
  if (!monitor.Start()) GTEST_SKIP() << "no udev netlink socket in this environment";
  EXPECT_GE(monitor.Fd(), 0);
  int calls = 0;
  EXPECT_EQ(monitor.Dispatch([&](const std::string&, int) { ++calls; }), calls);
  monitor.Stop();
  EXPECT_EQ(monitor.Fd(), -1);
}

}  // namespace
}  // namespace brumkey

namespace brumkey {
namespace {

TEST(HidapiTransport, TransportsShareOneInitialisation) {
  HidapiTransport first;
  {
    HidapiTransport second;
    EXPECT_TRUE(second.Initialised());
  }
  // The second one going away must not shut hidapi down under the first.
  EXPECT_TRUE(first.Initialised());
  EXPECT_EQ(first.Open("/nonexistent/hidraw98"), nullptr);
  first.Enumerate();
}

}  // namespace
}  // namespace brumkey
