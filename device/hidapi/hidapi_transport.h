#pragma once
// The real transport: hidapi over hidraw. hid_init runs at construction,
// hid_exit at destruction.
#include "device/hid_transport.h"

namespace brumkey {

class HidapiTransport final : public HidTransport {
 public:
  HidapiTransport();
  ~HidapiTransport() override;
  HidapiTransport(const HidapiTransport&) = delete;
  HidapiTransport& operator=(const HidapiTransport&) = delete;

  bool Initialised() const { return ok_; }

  std::vector<HidDeviceInfo> Enumerate() override;
  HidHandle* Open(const std::string& path) override;
  void Close(HidHandle* h) override;
  int Write(HidHandle* h, const uint8_t* data, size_t len) override;
  int SendFeature(HidHandle* h, const uint8_t* data, size_t len) override;
  int GetFeature(HidHandle* h, uint8_t* data, size_t len) override;
  std::wstring Error(HidHandle* h) override;

 private:
  bool ok_ = false;
};

}  // namespace brumkey
