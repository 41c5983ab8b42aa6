#include "device/hidapi/hidapi_transport.h"

#include <hidapi/hidapi.h>
#include <libudev.h>

#include <mutex>
#include <string_view>

namespace brumkey {

namespace {

hid_device* Dev(HidHandle* h) { return reinterpret_cast<hid_device*>(h); }

// hidapi-hidraw enumerates /dev/hidrawN nodes; the sysfs path of the node
// carries the USB interface and HID instance the match path is made of.
std::string MatchPathOfNode(udev* u, const hid_device_info* d) {
  std::string_view node = d->path ? d->path : "";
  size_t slash = node.rfind('/');
  std::string sysname(slash == std::string_view::npos ? node : node.substr(slash + 1));
  std::string match;
  if (u && !sysname.empty()) {
    if (udev_device* dev = udev_device_new_from_subsystem_sysname(u, "hidraw", sysname.c_str())) {
      if (const char* devpath = udev_device_get_devpath(dev)) match = MatchPathFromSysfs(devpath);
      udev_device_unref(dev);
    }
  }
  if (match.empty()) {
    match = MakeMatchPath(d->vendor_id, d->product_id, d->interface_number, sysname);
  }
  return match;
}

}  // namespace

namespace {
// hidapi's state is process-wide: initialise with the first transport,
// shut down with the last.
std::mutex g_initMu;
int g_users = 0;
}  // namespace

HidapiTransport::HidapiTransport() {
  std::lock_guard lock(g_initMu);
  if (g_users > 0 || hid_init() == 0) {
    ++g_users;
    ok_ = true;
  }
}

HidapiTransport::~HidapiTransport() {
  if (!ok_) return;
  std::lock_guard lock(g_initMu);
  if (--g_users == 0) hid_exit();
}

std::vector<HidDeviceInfo> HidapiTransport::Enumerate() {
  std::vector<HidDeviceInfo> out;
  if (!ok_) return out;
  hid_device_info* list = hid_enumerate(0, 0);
  udev* u = list ? udev_new() : nullptr;
  for (hid_device_info* d = list; d; d = d->next) {
    HidDeviceInfo info;
    info.path = d->path ? d->path : "";
    info.matchPath = MatchPathOfNode(u, d);
    info.vid = d->vendor_id;
    info.pid = d->product_id;
    info.product = d->product_string ? d->product_string : L"";
    info.release = d->release_number;
    info.usagePage = d->usage_page;
    info.usage = d->usage;
    info.interfaceNumber = d->interface_number;
    out.push_back(std::move(info));
  }
  if (u) udev_unref(u);
  hid_free_enumeration(list);
  return out;
}

HidHandle* HidapiTransport::Open(const std::string& path) {
  if (!ok_) return nullptr;
  return reinterpret_cast<HidHandle*>(hid_open_path(path.c_str()));
}

void HidapiTransport::Close(HidHandle* h) {
  if (h) hid_close(Dev(h));
}

int HidapiTransport::Write(HidHandle* h, const uint8_t* data, size_t len) {
  return h ? hid_write(Dev(h), data, len) : -1;
}

int HidapiTransport::SendFeature(HidHandle* h, const uint8_t* data, size_t len) {
  return h ? hid_send_feature_report(Dev(h), data, len) : -1;
}

int HidapiTransport::GetFeature(HidHandle* h, uint8_t* data, size_t len) {
  return h ? hid_get_feature_report(Dev(h), data, len) : -1;
}

std::wstring HidapiTransport::Error(HidHandle* h) {
  const wchar_t* e = hid_error(h ? Dev(h) : nullptr);
  return e ? e : L"";
}

}  // namespace brumkey
