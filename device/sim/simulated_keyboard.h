#pragma once
// One simulated physical keyboard (or receiver): the identity and HID
// collections it shows on the bus, what it received, its injected faults,
// and the firmware model that interprets its reports.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_entry.h"

namespace brumkey {

enum class SimReportKind { Output, FeatureSet, FeatureGet };

struct SimCollection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  int interfaceNumber = 0;
};

struct SimTransfer {
  SimReportKind kind = SimReportKind::Output;
  int interfaceNumber = 0;
  std::vector<uint8_t> bytes;  // feature reads: the reply (or the request when failed)
  int64_t atMs = 0;            // bus clock when it arrived
  int64_t pauseMs = 0;         // since this keyboard's previous transfer
  bool ok = false;
};

// The keyboard's firmware. This base only answers feature reads from a reply
// queue; a protocol model derives from it, decodes OnReport into keyboard
// state and queues the replies the commands call for.
class KeyboardFirmware {
 public:
  virtual ~KeyboardFirmware() = default;
  // An output report or feature report the host sent and the device took.
  virtual void OnReport(SimReportKind kind, int interfaceNumber, const uint8_t* data, size_t len);
  // Fills data (data[0] holds the requested report id) and returns the
  // byte count, or -1 when there is nothing to answer.
  virtual int OnFeatureGet(int interfaceNumber, uint8_t* data, size_t len);

  void QueueFeatureReply(std::vector<uint8_t> reply);
  size_t PendingReplies() const { return replies_.size(); }

 protected:
  std::deque<std::vector<uint8_t>> replies_;
};

class SimulatedKeyboard {
 public:
  SimulatedKeyboard(uint16_t vid, uint16_t pid, std::wstring product, int deviceType, int mode,
                    std::vector<SimCollection> collections);

  // The collections a keyboard of this model shows: the standard keyboard
  // (interface 0), the vendor command collection (1), consumer control (2)
  // and the vendor stream collection (3).
  static std::vector<SimCollection> StandardCollections(int deviceType);
  // The mode entry of config.xml's mode list with this model and mode, with
  // the standard collections; null when the list has no such entry.
  static std::shared_ptr<SimulatedKeyboard> FromConfig(const std::vector<DeviceEntry>& modes,
                                                       int deviceType, int mode);

  uint16_t Vid() const { return vid_; }
  uint16_t Pid() const { return pid_; }
  const std::wstring& Product() const { return product_; }
  int DeviceType() const { return deviceType_; }
  int Mode() const { return mode_; }
  const std::vector<SimCollection>& Collections() const { return collections_; }
  // The per-device part of its match paths (unique per keyboard object).
  const std::string& Instance() const { return instance_; }

  // Replaces the firmware model (e.g. with the protocol decoder).
  void SetFirmware(std::unique_ptr<KeyboardFirmware> firmware);
  void QueueFeatureReply(std::vector<uint8_t> reply);
  // Runs f with the firmware under the keyboard's lock.
  template <class F>
  auto WithFirmware(F&& f) {
    std::lock_guard lock(mu_);
    return f(*firmware_);
  }

  std::vector<SimTransfer> Transfers() const;
  void ClearTransfers();

  // The next n transfers fail (recorded, not delivered).
  void FailNextTransfers(int n);
  // After k more delivered reports the keyboard drops off the bus; -1 never.
  void DisconnectAfterReports(int k);

  // Bus side: records and delivers one transfer. Returns the byte count or
  // -1; *disconnect is set when this report was the last before a drop.
  int Deliver(SimReportKind kind, int interfaceNumber, uint8_t* data, size_t len, int64_t nowMs,
              bool* disconnect);

 private:
  const uint16_t vid_;
  const uint16_t pid_;
  const std::wstring product_;
  const int deviceType_;
  const int mode_;
  const std::vector<SimCollection> collections_;
  const std::string instance_;

  mutable std::mutex mu_;
  std::unique_ptr<KeyboardFirmware> firmware_;
  std::vector<SimTransfer> transfers_;
  int64_t lastAtMs_ = -1;
  int failNext_ = 0;
  int disconnectAfter_ = -1;
};

}  // namespace brumkey
