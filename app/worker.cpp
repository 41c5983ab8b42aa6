#include "app/worker.h"

#include <chrono>

#include "device/keymap_download.h"
#include "lighting/light_modes.h"

namespace brumkey {

bool IsScanOrCheckCommand(int code) {
  return code == kCmdFirstScan || code == kCmdDeviceArrived || code == kCmdDeviceRemoved ||
         code == kCmdCheckSoftware;
}

bool IsTransferCommand(int code) {
  return code == kCmdSendKeyMap || code == kCmdSendLight || code == kCmdSendCustomColours ||
         code == kCmdFactoryReset;
}

CommandWorker::CommandWorker(DeviceLink& link, Clock& clock, ProfileStore& store, WorkerHost& host,
                             std::vector<DeviceEntry> modes, int scanDeviceType)
    : link_(link),
      clock_(clock),
      store_(store),
      host_(host),
      modes_(std::move(modes)),
      scanDeviceType_(scanDeviceType) {}

CommandWorker::~CommandWorker() { Stop(); }

uint64_t CommandWorker::QueueCommand(int code) {
  std::lock_guard lock(queueMu_);
  const uint64_t ticket = nextTicket_++;
  queue_.push_back({code, ticket});
  return ticket;
}

size_t CommandWorker::QueueLength() const {
  std::lock_guard lock(queueMu_);
  return queue_.size();
}

void CommandWorker::Start() {
  std::lock_guard lock(threadMu_);
  if (running_) return;
  running_ = true;
  thread_ = std::thread([this] {
    std::unique_lock lk(threadMu_);
    while (running_) {
      lk.unlock();
      RunOnce();
      lk.lock();
      wake_.wait_for(lk, std::chrono::milliseconds(kPeriodMs), [this] { return !running_; });
    }
  });
}

void CommandWorker::Stop() {
  std::thread t;
  {
    std::lock_guard lock(threadMu_);
    running_ = false;
    t = std::move(thread_);
  }
  wake_.notify_all();
  if (t.joinable()) t.join();
}

bool CommandWorker::Running() const {
  std::lock_guard lock(threadMu_);
  return running_;
}

void CommandWorker::SetModel(WorkerModel model) {
  std::lock_guard lock(stateMu_);
  model_ = std::move(model);
}

void CommandWorker::SetProfile(int profile) {
  std::lock_guard lock(stateMu_);
  profile_ = profile;
}

void CommandWorker::SetLightMode(int mode) {
  std::lock_guard lock(stateMu_);
  lightMode_ = mode;
}

void CommandWorker::SetSingleKey(int keyCode) {
  std::lock_guard lock(stateMu_);
  singleKey_ = keyCode;
}

void CommandWorker::ClearLightParamsFollow() {
  std::lock_guard lock(lightMu_);
  light_.paramsFollow = false;
}

LightProtocolState CommandWorker::LightState() const {
  std::lock_guard lock(lightMu_);
  return light_;
}

bool CommandWorker::SelectCustomSlot(int slot) {
  int type, profile, mode;
  {
    std::lock_guard lock(stateMu_);
    type = model_.deviceType;
    profile = profile_;
    mode = lightMode_;
  }
  LightSetting row;
  std::lock_guard lock(lightMu_);
  light_.customSlot = slot;
  if (!store_.GetLight(profile, mode, row)) return false;
  return brumkey::SelectCustomSlot(link_, type, row, light_, slot);
}

ConnectionState CommandWorker::State() const {
  std::lock_guard lock(stateMu_);
  return state_;
}

void CommandWorker::Post(std::function<void()> f) { host_.PostToUi(std::move(f)); }

void CommandWorker::Scan() {
  ConnectionState s;
  link_.Refresh();
  std::vector<OpenInterface> open;
  link_.CollectOpenInterfaces(open);
  for (size_t i = 0; i < modes_.size(); ++i) {
    const DeviceEntry& e = modes_[i];
    if (link_.FindOpenInterface(e.vid, e.pid, e.name, e.mode) >= 0) {
      s.deviceKnown = true;
      s.presentModes.push_back(static_cast<int>(i));
      s.connectedDeviceTypes.push_back(e.deviceType);
    }
  }
  s.deviceFound = !open.empty();
  link_.SetSelectedDeviceType(scanDeviceType_);
  s.connectionMode = link_.GetConnectionMode();
  {
    std::lock_guard lock(stateMu_);
    state_ = s;
  }
  Post([this, s] { host_.OnScanDone(s); });
}

void CommandWorker::RunCommand(int code) {
  WorkerModel model;
  int profile, lightMode, singleKey;
  {
    std::lock_guard lock(stateMu_);
    model = model_;  // a snapshot: the UI may load another layout meanwhile
    profile = profile_;
    lightMode = lightMode_;
    singleKey = singleKey_;
  }
  const int type = model.deviceType;
  switch (code) {
    case kCmdReloadPages: {
      constexpr uint32_t kKeyPage = 0x01;
      if ((model.pageFlags & kKeyPage) && type >= 200 && type <= 300)
        PruneKeyAssignments(link_, clock_, store_, type, profile, 0);
      Post([this] { host_.OnReloadPages(false, false); });
      break;
    }
    case kCmdSendKeyMap: {
      KeyMapRequest req;
      req.deviceType = type;
      req.profile = profile;
      req.keyIndexByCode = &model.keyIndexByCode;
      req.singleKeyCode = CommandFamily(type) == 2 ? singleKey : 0;
      DownloadKeyMapping(link_, clock_, store_, req);
      if (CommandFamily(type) == 2) {
        std::lock_guard lock(stateMu_);
        if (singleKey_ == singleKey) singleKey_ = 0;
      }
      break;
    }
    case kCmdSendLight: {
      std::lock_guard lock(lightMu_);
      SendLightSettings(link_, store_, type, profile, lightMode, light_);
      break;
    }
    case kCmdSendCustomColours:
      UploadCustomColours(link_, clock_, StoredCustomColours(store_), model.lightIndexByCode);
      break;
    case kCmdFactoryReset: {
      const ResetOutcome r = ResetKeyboard(link_, clock_, type);
      if (r != ResetOutcome::NotSent) {
        const bool music = r == ResetOutcome::ReloadPagesMusic;
        Post([this, music] { host_.OnReloadPages(true, music); });
      }
      break;
    }
    case kCmdCheckFirmware: {
      uint16_t version = 0;
      const bool ok = CommandFamily(type) == 2 && ReadFirmwareVersion(link_, clock_, version);
      host_.RunFirmwareCheck(ok, version);
      break;
    }
    case kCmdInstallSoftware: host_.RunInstallSoftware(); break;
    case kCmdDownloadFirmware: host_.RunDownloadFirmware(); break;
    default: break;  // 4 and unused codes: nothing beyond the check
  }
}

void CommandWorker::RunOnce() {
  Item head{0, 0};
  {
    std::lock_guard lock(queueMu_);
    if (!queue_.empty()) head = queue_.front();
  }
  if (head.code == 0) {
    bool found;
    {
      std::lock_guard lock(stateMu_);
      found = state_.deviceFound;
    }
    if (found) host_.RunIdle();
    return;
  }

  bool ran = false;
  switch (head.code) {
    case kCmdFirstScan: {
      bool first;
      {
        std::lock_guard lock(stateMu_);
        first = !firstScanDone_;
        firstScanDone_ = true;
      }
      if (first) {
        Scan();
        host_.RunFirstScanExtras();
      }
      ran = true;
      break;
    }
    case kCmdDeviceArrived:
    case kCmdDeviceRemoved:
      Scan();
      ran = true;
      break;
    case kCmdCheckSoftware:
      host_.RunSoftwareCheck();
      ran = true;
      break;
    default: break;
  }

  bool connected;
  {
    std::lock_guard lock(stateMu_);
    connected = state_.deviceFound && state_.deviceKnown;
  }
  if (!ran && connected) {
    Post([this] { host_.SetWindowEnabled(false); });
    RunCommand(head.code);
    Post([this] { host_.SetWindowEnabled(true); });
    ran = true;
  }
  {
    std::lock_guard lock(queueMu_);
    if (!queue_.empty() && queue_.front().ticket == head.ticket) queue_.pop_front();
  }
  // Also for a dropped command: its wait dialog must not stay open.
  Post([this, head, ran] { host_.OnCommandFinished(head.ticket, head.code, ran); });
  if (ran && IsTransferCommand(head.code)) clock_.SleepMs(kTransferPauseMs);
}

}  // namespace brumkey
