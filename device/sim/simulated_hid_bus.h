#pragma once
// A HID bus of simulated keyboards behind the transport interface. Plugging
// and unplugging raise the same arrival/removal notifications (one per
// collection, with its match path) that the platform monitor raises.
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "device/hid_transport.h"
#include "device/sim/simulated_keyboard.h"
#include "util/clock.h"

namespace brumkey {

class SimulatedHidBus final : public HidTransport {
 public:
  // kind is 0x8000 (arrival) or 0x8004 (removal). Called on the thread that
  // plugged or unplugged, after the bus released its lock; a removal that a
  // fault injection caused arrives inside a link operation, so the listener
  // must only record or post, not call back into the link.
  using Listener = std::function<void(const std::string& matchPath, int kind)>;

  // The clock stamps transfers; null uses none (all stamps 0).
  explicit SimulatedHidBus(Clock* clock = nullptr);
  ~SimulatedHidBus() override;

  void SetListener(Listener listener);
  void Plug(std::shared_ptr<SimulatedKeyboard> keyboard);
  // Open handles of the keyboard fail from now on.
  void Unplug(const std::shared_ptr<SimulatedKeyboard>& keyboard);
  std::vector<std::shared_ptr<SimulatedKeyboard>> Plugged() const;

  // The match paths the keyboard's collections show.
  static std::vector<std::string> MatchPaths(const SimulatedKeyboard& keyboard);

  size_t OpenHandleCount() const;
  // Transfers or closes on a handle that was already closed: always 0 for a
  // correct user of the transport.
  int StaleHandleUses() const;

  std::vector<HidDeviceInfo> Enumerate() override;
  HidHandle* Open(const std::string& path) override;
  void Close(HidHandle* h) override;
  int Write(HidHandle* h, const uint8_t* data, size_t len) override;
  int SendFeature(HidHandle* h, const uint8_t* data, size_t len) override;
  int GetFeature(HidHandle* h, uint8_t* data, size_t len) override;
  std::wstring Error(HidHandle* h) override;

 private:
  struct Handle;
  int Transfer(SimReportKind kind, HidHandle* h, uint8_t* data, size_t len);
  void Notify(const std::vector<std::string>& paths, int kind);

  Clock* clock_;
  mutable std::mutex mu_;
  std::vector<std::shared_ptr<SimulatedKeyboard>> plugged_;
  std::set<Handle*> handles_;
  int staleUses_ = 0;
  Listener listener_;
};

}  // namespace brumkey
