#pragma once
// HID hot-plug notifications: a libudev monitor on hidraw whose add and
// remove events become arrival (0x8000) and removal (0x8004) notifications
// carrying the interface's Windows-form match path.
#include <functional>
#include <string>
#include <string_view>

struct udev;
struct udev_monitor;

namespace brumkey {

class HidMonitor {
 public:
  using Callback = std::function<void(const std::string& matchPath, int kind)>;

  HidMonitor() = default;
  ~HidMonitor();
  HidMonitor(const HidMonitor&) = delete;
  HidMonitor& operator=(const HidMonitor&) = delete;

  // Subscribes to udev's hidraw events; false when udev is unavailable.
  bool Start();
  void Stop();
  // Readable while events wait (for the event loop to watch); -1 when stopped.
  int Fd() const;
  // Reads every waiting event without blocking; returns how many were
  // handed to the callback.
  int Dispatch(const Callback& callback);

  // One udev event as a notification; false for actions other than add and
  // remove, or a path naming no HID device.
  static bool Translate(std::string_view action, std::string_view devpath,
                        std::string* matchPath, int* kind);

 private:
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
};

}  // namespace brumkey
