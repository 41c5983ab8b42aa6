#pragma once
// The command worker: the one thread that does device work. It takes one
// numbered command per 16 ms cycle from a guarded FIFO queue, drops device
// commands while no known keyboard is connected, and tells the main window
// what happened through WorkerHost, on the UI thread.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "device/device_entry.h"
#include "device/device_link.h"
#include "device/light_commands.h"
#include "device/protocol.h"
#include "store/profile_store.h"
#include "util/clock.h"

namespace brumkey {

enum WorkerCommand : int {
  kCmdFirstScan = 1,
  kCmdDeviceArrived = 2,
  kCmdDeviceRemoved = 3,
  kCmdSelectModel = 4,
  kCmdReloadPages = 5,
  kCmdSendKeyMap = 6,
  kCmdSendLight = 7,
  kCmdSendCustomColours = 8,
  kCmdFactoryReset = 10,
  kCmdCheckSoftware = 12,
  kCmdCheckFirmware = 13,
  kCmdInstallSoftware = 14,
  kCmdDownloadFirmware = 15,
};

// Commands that run without a known keyboard.
bool IsScanOrCheckCommand(int code);
// Commands followed by the 100 ms pause.
bool IsTransferCommand(int code);

struct ConnectionState {
  bool deviceFound = false;  // an interface of a configured model is open
  bool deviceKnown = false;  // a declared mode entry matched
  int connectionMode = -1;   // 0 wired, 1 or 2 receiver, -1 none
  // Indexes into the mode list of the entries found (their `present`).
  std::vector<int> presentModes;
  std::vector<int> connectedDeviceTypes;
};

// What the worker reads for a command; set from the UI thread.
struct WorkerModel {
  int deviceType = 0;
  uint32_t pageFlags = 0;
  std::map<uint32_t, int> keyIndexByCode;
  std::map<uint32_t, int> lightIndexByCode;
};

// The main window's side. The On* calls and SetWindowEnabled arrive on the
// UI thread (through PostToUi); the Run* hooks run on the worker thread.
class WorkerHost {
 public:
  virtual ~WorkerHost() = default;
  // Runs `task` on the UI thread later (a posted message).
  virtual void PostToUi(std::function<void()> task) = 0;

  virtual void OnScanDone(const ConnectionState&) {}
  // Every queued command ends here once, run or dropped; the wait dialog of
  // `ticket` closes (or is never shown).
  virtual void OnCommandFinished(uint64_t /*ticket*/, int /*code*/, bool /*ran*/) {}
  virtual void SetWindowEnabled(bool) {}
  // Command 5 and the reset reload the pages from the store.
  virtual void OnReloadPages(bool /*afterReset*/, bool /*resetMusicControls*/) {}

  virtual void RunFirstScanExtras() {}  // the music visualizer starts
  virtual void RunSoftwareCheck() {}
  virtual void RunFirmwareCheck(bool /*versionRead*/, uint16_t /*version*/) {}
  virtual void RunInstallSoftware() {}
  virtual void RunDownloadFirmware() {}
  // Idle cycle with a device: one streamed lighting frame, when due.
  virtual void RunIdle() {}
};

class CommandWorker {
 public:
  static constexpr int kPeriodMs = 16;
  static constexpr int kTransferPauseMs = 100;

  // `modes`: the mode entries of config.xml in file order. After each scan
  // the link's selected device type becomes `scanDeviceType`.
  CommandWorker(DeviceLink& link, Clock& clock, ProfileStore& store, WorkerHost& host,
                std::vector<DeviceEntry> modes, int scanDeviceType);
  ~CommandWorker();
  CommandWorker(const CommandWorker&) = delete;
  CommandWorker& operator=(const CommandWorker&) = delete;

  // Any thread. Returns the ticket the completion will carry.
  uint64_t QueueCommand(int code);
  size_t QueueLength() const;
  bool QueueEmpty() const { return QueueLength() == 0; }

  // Starts the thread (nothing if running); Stop waits for it.
  void Start();
  void Stop();
  bool Running() const;

  // One cycle, on the calling thread (the thread calls it every period).
  void RunOnce();

  // --- state the UI sets (any thread) ---------------------------------
  void SetModel(WorkerModel model);
  void SetProfile(int profile);
  void SetLightMode(int mode);
  // The key just changed: the next key-map send updates only it.
  void SetSingleKey(int keyCode);
  // A mode was selected: the next first-family light command selects it.
  void ClearLightParamsFollow();
  // Sends the custom slot selection at once (from the caller's thread).
  bool SelectCustomSlot(int slot);
  LightProtocolState LightState() const;

  ConnectionState State() const;

 private:
  void Scan();
  void RunCommand(int code);
  void Post(std::function<void()> f);

  DeviceLink& link_;
  Clock& clock_;
  ProfileStore& store_;
  WorkerHost& host_;
  const std::vector<DeviceEntry> modes_;
  const int scanDeviceType_;

  struct Item {
    int code;
    uint64_t ticket;
  };
  mutable std::mutex queueMu_;
  std::deque<Item> queue_;
  uint64_t nextTicket_ = 1;

  mutable std::mutex stateMu_;
  ConnectionState state_;
  bool firstScanDone_ = false;
  WorkerModel model_;
  int profile_ = 1;
  int lightMode_ = 0;
  int singleKey_ = 0;
  // Held across a light send so a mode selection cannot slip in between.
  mutable std::mutex lightMu_;
  LightProtocolState light_;

  mutable std::mutex threadMu_;
  std::condition_variable wake_;
  bool running_ = false;
  std::thread thread_;
};

}  // namespace brumkey
