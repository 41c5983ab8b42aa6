#include "device/sim/simulated_hid_bus.h"

#include <algorithm>
#include <vector>

namespace brumkey {

struct SimulatedHidBus::Handle {
  std::shared_ptr<SimulatedKeyboard> keyboard;
  SimCollection collection;
  bool unplugged = false;
  std::wstring error;
};

namespace {

constexpr int kArrival = 0x8000;
constexpr int kRemoval = 0x8004;
constexpr char kPathPrefix[] = "sim:";

std::string OpenPath(const SimulatedKeyboard& kb, size_t collection) {
  return kPathPrefix + kb.Instance() + "/" + std::to_string(collection);
}

std::string MatchPathOf(const SimulatedKeyboard& kb, size_t collection) {
  const SimCollection& c = kb.Collections()[collection];
  // Every collection is its own HID interface with its own instance.
  return MakeMatchPath(kb.Vid(), kb.Pid(), c.interfaceNumber,
                       kb.Instance() + "&" + std::to_string(collection));
}

}  // namespace

SimulatedHidBus::SimulatedHidBus(Clock* clock) : clock_(clock) {}

SimulatedHidBus::~SimulatedHidBus() {
  for (Handle* h : handles_) delete h;
}

void SimulatedHidBus::SetListener(Listener listener) {
  std::lock_guard lock(mu_);
  listener_ = std::move(listener);
}

std::vector<std::string> SimulatedHidBus::MatchPaths(const SimulatedKeyboard& keyboard) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < keyboard.Collections().size(); ++i)
    paths.push_back(MatchPathOf(keyboard, i));
  return paths;
}

void SimulatedHidBus::Notify(const std::vector<std::string>& paths, int kind) {
  Listener listener;
  {
    std::lock_guard lock(mu_);
    listener = listener_;
  }
  if (!listener) return;
  for (const std::string& p : paths) listener(p, kind);
}

void SimulatedHidBus::Plug(std::shared_ptr<SimulatedKeyboard> keyboard) {
  if (!keyboard) return;
  {
    std::lock_guard lock(mu_);
    if (std::find(plugged_.begin(), plugged_.end(), keyboard) != plugged_.end()) return;
    plugged_.push_back(keyboard);
  }
  Notify(MatchPaths(*keyboard), kArrival);
}

void SimulatedHidBus::Unplug(const std::shared_ptr<SimulatedKeyboard>& keyboard) {
  {
    std::lock_guard lock(mu_);
    auto it = std::find(plugged_.begin(), plugged_.end(), keyboard);
    if (it == plugged_.end()) return;
    plugged_.erase(it);
    for (Handle* h : handles_) {
      if (h->keyboard == keyboard) h->unplugged = true;
    }
  }
  Notify(MatchPaths(*keyboard), kRemoval);
}

std::vector<std::shared_ptr<SimulatedKeyboard>> SimulatedHidBus::Plugged() const {
  std::lock_guard lock(mu_);
  return plugged_;
}

size_t SimulatedHidBus::OpenHandleCount() const {
  std::lock_guard lock(mu_);
  return handles_.size();
}

int SimulatedHidBus::StaleHandleUses() const {
  std::lock_guard lock(mu_);
  return staleUses_;
}

std::vector<HidDeviceInfo> SimulatedHidBus::Enumerate() {
  std::lock_guard lock(mu_);
  std::vector<HidDeviceInfo> out;
  for (const auto& kb : plugged_) {
    for (size_t i = 0; i < kb->Collections().size(); ++i) {
      const SimCollection& c = kb->Collections()[i];
      HidDeviceInfo info;
      info.path = OpenPath(*kb, i);
      info.matchPath = MatchPathOf(*kb, i);
      info.vid = kb->Vid();
      info.pid = kb->Pid();
      info.product = kb->Product();
      info.release = 0x0100;
      info.usagePage = c.usagePage;
      info.usage = c.usage;
      info.interfaceNumber = c.interfaceNumber;
      out.push_back(std::move(info));
    }
  }
  return out;
}

HidHandle* SimulatedHidBus::Open(const std::string& path) {
  std::lock_guard lock(mu_);
  for (const auto& kb : plugged_) {
    for (size_t i = 0; i < kb->Collections().size(); ++i) {
      if (OpenPath(*kb, i) != path) continue;
      Handle* h = new Handle{kb, kb->Collections()[i], false, {}};
      handles_.insert(h);
      return reinterpret_cast<HidHandle*>(h);
    }
  }
  return nullptr;
}

void SimulatedHidBus::Close(HidHandle* hh) {
  if (!hh) return;
  std::lock_guard lock(mu_);
  Handle* h = reinterpret_cast<Handle*>(hh);
  if (!handles_.erase(h)) {
    ++staleUses_;
    return;
  }
  delete h;
}

int SimulatedHidBus::Transfer(SimReportKind kind, HidHandle* hh, uint8_t* data, size_t len) {
  if (!hh || !data) return -1;
  std::shared_ptr<SimulatedKeyboard> kb;
  int interfaceNumber = 0;
  {
    std::lock_guard lock(mu_);
    Handle* h = reinterpret_cast<Handle*>(hh);
    if (!handles_.count(h)) {
      ++staleUses_;
      return -1;
    }
    if (h->unplugged) {
      h->error = L"device disconnected";
      return -1;
    }
    kb = h->keyboard;
    interfaceNumber = h->collection.interfaceNumber;
  }
  const int64_t now = clock_ ? clock_->NowMs() : 0;
  bool disconnect = false;
  const int rc = kb->Deliver(kind, interfaceNumber, data, len, now, &disconnect);
  if (rc < 0) {
    std::lock_guard lock(mu_);
    Handle* h = reinterpret_cast<Handle*>(hh);
    if (handles_.count(h)) h->error = L"transfer failed";
  }
  if (disconnect) Unplug(kb);
  return rc;
}

int SimulatedHidBus::Write(HidHandle* h, const uint8_t* data, size_t len) {
  std::vector<uint8_t> copy(data ? data : nullptr, data ? data + len : nullptr);
  return Transfer(SimReportKind::Output, h, copy.data(), copy.size());
}

int SimulatedHidBus::SendFeature(HidHandle* h, const uint8_t* data, size_t len) {
  std::vector<uint8_t> copy(data ? data : nullptr, data ? data + len : nullptr);
  return Transfer(SimReportKind::FeatureSet, h, copy.data(), copy.size());
}

int SimulatedHidBus::GetFeature(HidHandle* h, uint8_t* data, size_t len) {
  return Transfer(SimReportKind::FeatureGet, h, data, len);
}

std::wstring SimulatedHidBus::Error(HidHandle* hh) {
  std::lock_guard lock(mu_);
  Handle* h = reinterpret_cast<Handle*>(hh);
  if (!hh || !handles_.count(h)) return L"invalid handle";
  return h->error;
}

}  // namespace brumkey
