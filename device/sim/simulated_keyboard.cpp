#include "device/sim/simulated_keyboard.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace brumkey {

namespace {
std::string NextInstance() {
  static std::atomic<unsigned> counter{0};
  return "7&5E1A" + std::to_string(++counter) + "&0&0000";
}
}  // namespace

void KeyboardFirmware::OnReport(SimReportKind, int, const uint8_t*, size_t) {}

int KeyboardFirmware::OnFeatureGet(int, uint8_t* data, size_t len) {
  if (replies_.empty()) return -1;
  std::vector<uint8_t> reply = std::move(replies_.front());
  replies_.pop_front();
  size_t n = std::min(reply.size(), len);
  std::memcpy(data, reply.data(), n);
  return static_cast<int>(n);
}

void KeyboardFirmware::QueueFeatureReply(std::vector<uint8_t> reply) {
  replies_.push_back(std::move(reply));
}

SimulatedKeyboard::SimulatedKeyboard(uint16_t vid, uint16_t pid, std::wstring product,
                                     int deviceType, int mode,
                                     std::vector<SimCollection> collections)
    : vid_(vid),
      pid_(pid),
      product_(std::move(product)),
      deviceType_(deviceType),
      mode_(mode),
      collections_(std::move(collections)),
      instance_(NextInstance()),
      firmware_(std::make_unique<KeyboardFirmware>()) {}

std::vector<SimCollection> SimulatedKeyboard::StandardCollections(int deviceType) {
  // Second-family firmware answers on the 0xFF02 collection, the first on 0xFF01.
  const bool second = deviceType > 200 && deviceType < 300;
  const uint16_t page = second ? 0xFF02 : 0xFF01;
  const uint16_t usage = second ? 0x02 : 0x01;
  return {{0x0001, 0x0006, 0}, {page, usage, 1}, {0x000C, 0x0001, 2}, {page, usage, 3}};
}

std::shared_ptr<SimulatedKeyboard> SimulatedKeyboard::FromConfig(
    const std::vector<DeviceEntry>& modes, int deviceType, int mode) {
  for (const DeviceEntry& e : modes) {
    if (e.deviceType != deviceType || e.mode != mode) continue;
    return std::make_shared<SimulatedKeyboard>(static_cast<uint16_t>(e.vid),
                                               static_cast<uint16_t>(e.pid), e.name, deviceType,
                                               mode, StandardCollections(deviceType));
  }
  return nullptr;
}

void SimulatedKeyboard::SetFirmware(std::unique_ptr<KeyboardFirmware> firmware) {
  std::lock_guard lock(mu_);
  if (firmware) firmware_ = std::move(firmware);
}

void SimulatedKeyboard::QueueFeatureReply(std::vector<uint8_t> reply) {
  std::lock_guard lock(mu_);
  firmware_->QueueFeatureReply(std::move(reply));
}

std::vector<SimTransfer> SimulatedKeyboard::Transfers() const {
  std::lock_guard lock(mu_);
  return transfers_;
}

void SimulatedKeyboard::ClearTransfers() {
  std::lock_guard lock(mu_);
  transfers_.clear();
}

void SimulatedKeyboard::FailNextTransfers(int n) {
  std::lock_guard lock(mu_);
  failNext_ = std::max(0, n);
}

void SimulatedKeyboard::DisconnectAfterReports(int k) {
  std::lock_guard lock(mu_);
  disconnectAfter_ = k < 0 ? -1 : k;
}

int SimulatedKeyboard::Deliver(SimReportKind kind, int interfaceNumber, uint8_t* data,
                               size_t len, int64_t nowMs, bool* disconnect) {
  std::lock_guard lock(mu_);
  *disconnect = false;
  SimTransfer t;
  t.kind = kind;
  t.interfaceNumber = interfaceNumber;
  t.atMs = nowMs;
  t.pauseMs = lastAtMs_ < 0 ? 0 : nowMs - lastAtMs_;
  lastAtMs_ = nowMs;

  int rc = -1;
  if (failNext_ > 0) {
    --failNext_;
  } else if (kind == SimReportKind::FeatureGet) {
    rc = firmware_->OnFeatureGet(interfaceNumber, data, len);
  } else {
    firmware_->OnReport(kind, interfaceNumber, data, len);
    rc = static_cast<int>(len);
  }
  const size_t shown = kind == SimReportKind::FeatureGet && rc > 0 ? static_cast<size_t>(rc) : len;
  t.bytes.assign(data, data + shown);
  t.ok = rc >= 0;
  transfers_.push_back(std::move(t));

  if (rc >= 0 && disconnectAfter_ > 0 && --disconnectAfter_ == 0) {
    disconnectAfter_ = -1;
    *disconnect = true;
  }
  return rc;
}

}  // namespace brumkey
