#include "app/platform/hid_monitor.h"

#include <libudev.h>

#include "device/device_notify.h"
#include "device/hid_transport.h"

namespace brumkey {

HidMonitor::~HidMonitor() { Stop(); }

bool HidMonitor::Start() {
  if (monitor_) return true;
  udev_ = udev_new();
  if (!udev_) return false;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    Stop();
    return false;
  }
  return true;
}

void HidMonitor::Stop() {
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
  monitor_ = nullptr;
  udev_ = nullptr;
}

int HidMonitor::Fd() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

bool HidMonitor::Translate(std::string_view action, std::string_view devpath,
                           std::string* matchPath, int* kind) {
  int k = 0;
  if (action == "add")
    k = kDeviceArrival;
  else if (action == "remove")
    k = kDeviceRemoveComplete;
  else
    return false;
  std::string path = MatchPathFromSysfs(devpath);
  if (path.empty()) return false;
  *matchPath = std::move(path);
  *kind = k;
  return true;
}

int HidMonitor::Dispatch(const Callback& callback) {
  if (!monitor_) return 0;
  int handled = 0;
  // The netlink socket is non-blocking: receive returns null once drained.
  while (udev_device* dev = udev_monitor_receive_device(monitor_)) {
    const char* action = udev_device_get_action(dev);
    const char* devpath = udev_device_get_devpath(dev);
    std::string matchPath;
    int kind = 0;
    if (action && devpath && Translate(action, devpath, &matchPath, &kind)) {
      if (callback) callback(matchPath, kind);
      ++handled;
    }
    udev_device_unref(dev);
  }
  return handled;
}

}  // namespace brumkey
