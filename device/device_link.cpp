#include "device/device_link.h"

#include <cstring>

#include "device/hidapi/hidapi_transport.h"
#include "util/text.h"

namespace brumkey {

namespace {

bool IsVendorCollection(uint16_t usagePage, uint16_t usage) {
  return (usagePage == 0xFF01 && usage == 0x01) || (usagePage == 0xFF02 && usage == 0x02);
}

std::mutex g_configMu;
HidTransport* g_transport = nullptr;
Clock* g_clock = nullptr;
bool g_created = false;

HidTransport& ConfiguredTransport() {
  std::lock_guard lock(g_configMu);
  g_created = true;
  if (g_transport) return *g_transport;
  // Constructed before the link that uses it, so destroyed after it.
  static HidapiTransport hidapi;
  return hidapi;
}

Clock& ConfiguredClock() {
  std::lock_guard lock(g_configMu);
  return g_clock ? *g_clock : SystemClock::Instance();
}

}  // namespace

DeviceLink::DeviceLink(HidTransport& transport, Clock& clock)
    : transport_(transport), clock_(clock) {}

DeviceLink::~DeviceLink() { Shutdown(); }

DeviceLink& DeviceLink::Instance() {
  static DeviceLink link(ConfiguredTransport(), ConfiguredClock());
  return link;
}

bool DeviceLink::Configure(HidTransport& transport, Clock& clock) {
  std::lock_guard lock(g_configMu);
  if (g_created) return false;
  g_transport = &transport;
  g_clock = &clock;
  return true;
}

void DeviceLink::RegisterKnownInterface(int vid, int pid, const std::wstring& productName,
                                        int deviceType, int mode,
                                        const std::wstring& hidInterface) {
  std::lock_guard lock(mu_);
  known_.push_back({vid, pid, productName, deviceType, mode, hidInterface});
}

std::vector<KnownInterface> DeviceLink::Known() const {
  std::lock_guard lock(mu_);
  return known_;
}

void DeviceLink::SetStreamLocked(HidHandle* h) {
  // A replaced stream handle would otherwise stay open until process end.
  if (streamDevice_ && streamDevice_ != h) transport_.Close(streamDevice_);
  streamDevice_ = h;
}

void DeviceLink::OpenAll() {
  std::lock_guard lock(mu_);
  OpenAllLocked();
}

void DeviceLink::OpenAllLocked() {
  for (const HidDeviceInfo& info : transport_.Enumerate()) {
    const KnownInterface* declared = nullptr;
    for (const KnownInterface& k : known_) {
      if (k.vid != info.vid || k.pid != info.pid) continue;
      if (!k.productName.empty() && k.productName != info.product) continue;
      declared = &k;
      break;
    }
    if (!declared) continue;

    const std::string upper = ToUpperAscii(std::string_view(info.matchPath));
    HidHandle* h = transport_.Open(info.path);
    if (!h) continue;
    if (!IsVendorCollection(info.usagePage, info.usage)) {
      transport_.Close(h);
      continue;
    }
    if (upper.find("&MI_03") != std::string::npos) {
      SetStreamLocked(h);
      continue;
    }
    auto rec = std::make_unique<OpenInterface>();
    rec->index = static_cast<int>(interfaces_.size());
    rec->vid = info.vid;
    rec->pid = info.pid;
    rec->path = info.path.substr(0, 1023);
    rec->matchPath = info.matchPath;
    rec->productString = info.product;
    rec->device = h;
    rec->release = info.release;
    // The first declaration with the same identity decides, product aside.
    for (const KnownInterface& k : known_) {
      if (k.vid == info.vid && k.pid == info.pid) {
        rec->deviceType = k.deviceType;
        rec->mode = k.mode;
        break;
      }
    }
    rec->wired = rec->mode == 0;
    interfaces_.push_back(std::move(rec));
  }
}

void DeviceLink::CloseAllLocked(bool force) {
  if (!isOpen_ && !force) return;
  isOpen_ = false;
  for (auto& rec : interfaces_) transport_.Close(rec->device);
  interfaces_.clear();
  commandDevice_ = nullptr;
  if (streamDevice_) transport_.Close(streamDevice_);
  streamDevice_ = nullptr;
}

void DeviceLink::CloseAll() {
  std::lock_guard lock(mu_);
  CloseAllLocked(false);
}

void DeviceLink::Refresh() {
  std::lock_guard lock(mu_);
  // Also drops what a scan before the first refresh left open, so records
  // are never listed twice and no handle leaks.
  CloseAllLocked(true);
  OpenAllLocked();
  isOpen_ = true;
  selectedDeviceType_ = 0;
  commandDevice_ = nullptr;
}

void DeviceLink::Shutdown() {
  std::lock_guard lock(mu_);
  CloseAllLocked(true);
}

bool DeviceLink::IsOpen() const {
  std::lock_guard lock(mu_);
  return isOpen_;
}

int DeviceLink::SelectedDeviceType() const {
  std::lock_guard lock(mu_);
  return selectedDeviceType_;
}

void DeviceLink::SetSelectedDeviceType(int deviceType) {
  std::lock_guard lock(mu_);
  selectedDeviceType_ = deviceType;
  commandDevice_ = nullptr;
}

HidHandle* DeviceLink::CommandInterfaceLocked() {
  if (commandDevice_) return commandDevice_;
  for (int mode : {0, 1, 2}) {
    for (const auto& rec : interfaces_) {
      if (rec->deviceType == selectedDeviceType_ && rec->mode == mode) {
        commandDevice_ = rec->device;
        return commandDevice_;
      }
    }
  }
  return nullptr;
}

HidHandle* DeviceLink::GetCommandInterface() {
  std::lock_guard lock(mu_);
  return CommandInterfaceLocked();
}

HidHandle* DeviceLink::StreamInterface() const {
  std::lock_guard lock(mu_);
  return streamDevice_;
}

int DeviceLink::GetConnectionMode() const {
  std::lock_guard lock(mu_);
  bool has[3] = {false, false, false};
  for (const auto& rec : interfaces_) {
    if (rec->deviceType == selectedDeviceType_ && rec->mode >= 0 && rec->mode <= 2)
      has[rec->mode] = true;
  }
  if (has[0]) return 0;
  if (has[2]) return 2;
  if (has[1]) return 1;
  return -1;
}

int DeviceLink::FindOpenInterface(int vid, int pid, const std::wstring& productName,
                                  int mode) const {
  std::lock_guard lock(mu_);
  for (const auto& rec : interfaces_) {
    if (rec->vid != vid || rec->pid != pid || rec->mode != mode) continue;
    if (productName.empty() || rec->productString == productName) return rec->index;
    return -1;
  }
  return -1;
}

bool DeviceLink::CollectOpenInterfaces(std::vector<OpenInterface>& out) const {
  std::lock_guard lock(mu_);
  if (interfaces_.empty()) return false;
  for (const auto& rec : interfaces_) {
    if (selectedDeviceType_ == 0 || rec->deviceType == selectedDeviceType_) out.push_back(*rec);
  }
  return true;
}

size_t DeviceLink::OpenInterfaceCount() const {
  std::lock_guard lock(mu_);
  return interfaces_.size();
}

void DeviceLink::SetObserver(std::function<void(const LinkEvent&)> observer) {
  std::lock_guard lock(mu_);
  observer_ = std::move(observer);
}

void DeviceLink::Pause(int ms) {
  clock_.SleepMs(ms);
  if (observer_) observer_({LinkEvent::Kind::Pause, {}, ms});
}

int DeviceLink::Transfer(LinkEvent::Kind kind, HidHandle* h, uint8_t* data, size_t len) {
  int rc = -1;
  switch (kind) {
    case LinkEvent::Kind::Write:
    case LinkEvent::Kind::Stream: rc = transport_.Write(h, data, len); break;
    case LinkEvent::Kind::FeatureSend: rc = transport_.SendFeature(h, data, len); break;
    case LinkEvent::Kind::FeatureGet: rc = transport_.GetFeature(h, data, len); break;
    case LinkEvent::Kind::Pause: break;
  }
  if (observer_) observer_({kind, std::vector<uint8_t>(data, data + len), rc});
  return rc;
}

bool DeviceLink::WriteWithRetry(LinkEvent::Kind kind, HidHandle* h, uint8_t* data65,
                                int retryDelayMs) {
  if (Transfer(kind, h, data65, kReportLen) > 0) return true;
  Pause(retryDelayMs);
  return Transfer(kind, h, data65, kReportLen) > 0;
}

bool DeviceLink::SendFeaturePaced(const uint8_t* data8) {
  std::lock_guard lock(mu_);
  HidHandle* h = isOpen_ ? CommandInterfaceLocked() : nullptr;
  if (!h || !data8) return false;
  uint8_t buf[kFeatureLen];
  std::memcpy(buf, data8, sizeof buf);
  Pause(kPacedDelayMs);
  return Transfer(LinkEvent::Kind::FeatureSend, h, buf, sizeof buf) > 0;
}

bool DeviceLink::SendFeature(const uint8_t* data8) {
  std::lock_guard lock(mu_);
  HidHandle* h = isOpen_ ? CommandInterfaceLocked() : nullptr;
  if (!h || !data8) return false;
  uint8_t buf[kFeatureLen];
  std::memcpy(buf, data8, sizeof buf);
  return Transfer(LinkEvent::Kind::FeatureSend, h, buf, sizeof buf) > 0;
}

bool DeviceLink::WriteReport(const uint8_t* data65) {
  std::lock_guard lock(mu_);
  HidHandle* h = isOpen_ ? CommandInterfaceLocked() : nullptr;
  if (!h || !data65) return false;
  uint8_t buf[kReportLen];
  std::memcpy(buf, data65, sizeof buf);
  return WriteWithRetry(LinkEvent::Kind::Write, h, buf, kWriteRetryDelayMs);
}

bool DeviceLink::WriteStreamReport(const uint8_t* data65) {
  std::lock_guard lock(mu_);
  HidHandle* h = isOpen_ ? streamDevice_ : nullptr;
  if (!h || !data65) return false;
  uint8_t buf[kReportLen];
  std::memcpy(buf, data65, sizeof buf);
  return WriteWithRetry(LinkEvent::Kind::Stream, h, buf, kWriteRetryDelayMs);
}

bool DeviceLink::WriteReportZero(const uint8_t* data64) {
  std::lock_guard lock(mu_);
  HidHandle* h = isOpen_ ? CommandInterfaceLocked() : nullptr;
  if (!h || !data64) return false;
  uint8_t buf[kReportLen];
  buf[0] = 0;
  std::memcpy(buf + 1, data64, kReportLen - 1);
  return WriteWithRetry(LinkEvent::Kind::Write, h, buf, kZeroRetryDelayMs);
}

int DeviceLink::GetFeature(uint8_t* data8) {
  std::lock_guard lock(mu_);
  HidHandle* h = isOpen_ ? CommandInterfaceLocked() : nullptr;
  if (!h || !data8) return -1;
  return Transfer(LinkEvent::Kind::FeatureGet, h, data8, kFeatureLen);
}

}  // namespace brumkey
