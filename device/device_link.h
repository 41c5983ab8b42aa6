#pragma once
// The one place the program touches the keyboard: finds the declared HID
// interfaces, opens the vendor collections and offers the paced report
// operations every command goes through.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid_transport.h"
#include "util/clock.h"

namespace brumkey {

// One declared connection mode (a `mode` element of config.xml).
struct KnownInterface {
  int vid = 0;
  int pid = 0;
  std::wstring productName;  // empty: any product string
  int deviceType = 0;
  int mode = 0;
  std::wstring hidInterface;
};

// One opened command interface.
struct OpenInterface {
  int index = 0;
  uint16_t vid = 0;
  uint16_t pid = 0;
  std::string path;       // as enumerated, case unchanged
  std::string matchPath;  // Windows-form path of the same interface
  std::wstring productString;
  HidHandle* device = nullptr;
  uint16_t release = 0;
  int deviceType = 0;
  int mode = 0;
  bool wired = false;
};

// What the link did, for --trace style observers. Pauses are reported as
// they are taken, transfers after they returned (result: byte count or -1).
struct LinkEvent {
  enum class Kind { Write, Stream, FeatureSend, FeatureGet, Pause };
  Kind kind = Kind::Write;
  std::vector<uint8_t> bytes;  // for FeatureGet: the buffer after the read
  int result = 0;              // byte count, -1; for Pause the milliseconds
};

class DeviceLink {
 public:
  static constexpr size_t kFeatureLen = 8;
  static constexpr size_t kReportLen = 65;
  static constexpr int kPacedDelayMs = 16;
  static constexpr int kWriteRetryDelayMs = 10;
  static constexpr int kZeroRetryDelayMs = 32;

  DeviceLink(HidTransport& transport, Clock& clock);
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // The process-wide link. Uses what Configure() installed, else hidapi and
  // the system clock. Creation is safe against racing first uses.
  static DeviceLink& Instance();
  // Only before the first Instance(); false afterwards. Both must outlive
  // the process-wide link.
  static bool Configure(HidTransport& transport, Clock& clock);

  void RegisterKnownInterface(int vid, int pid, const std::wstring& productName,
                              int deviceType, int mode, const std::wstring& hidInterface);
  std::vector<KnownInterface> Known() const;

  void OpenAll();
  void CloseAll();
  void Refresh();
  // Closes everything, stream included, whatever isOpen says (process end).
  void Shutdown();

  bool IsOpen() const;
  int SelectedDeviceType() const;
  // Clears the cached command interface.
  void SetSelectedDeviceType(int deviceType);

  HidHandle* GetCommandInterface();
  HidHandle* StreamInterface() const;
  int GetConnectionMode() const;
  int FindOpenInterface(int vid, int pid, const std::wstring& productName, int mode) const;
  // Copies of the records (the handles stay owned by the link).
  bool CollectOpenInterfaces(std::vector<OpenInterface>& out) const;
  size_t OpenInterfaceCount() const;

  // Report operations; each fails while the link is not open or its
  // interface is missing. Buffers are the caller's, of the stated size.
  bool SendFeaturePaced(const uint8_t* data8);
  bool SendFeature(const uint8_t* data8);
  bool WriteReport(const uint8_t* data65);
  bool WriteStreamReport(const uint8_t* data65);
  bool WriteReportZero(const uint8_t* data64);
  int GetFeature(uint8_t* data8);

  // Called on the thread doing the operation, under the link's lock: it
  // must not call back into the link.
  void SetObserver(std::function<void(const LinkEvent&)> observer);

 private:
  void OpenAllLocked();
  void CloseAllLocked(bool force);
  void SetStreamLocked(HidHandle* h);
  HidHandle* CommandInterfaceLocked();
  void Pause(int ms);
  int Transfer(LinkEvent::Kind kind, HidHandle* h, uint8_t* data, size_t len);
  bool WriteWithRetry(LinkEvent::Kind kind, HidHandle* h, uint8_t* data65, int retryDelayMs);

  HidTransport& transport_;
  Clock& clock_;
  mutable std::mutex mu_;
  bool isOpen_ = false;
  std::vector<std::unique_ptr<OpenInterface>> interfaces_;
  std::vector<KnownInterface> known_;
  int selectedDeviceType_ = 0;
  HidHandle* commandDevice_ = nullptr;
  HidHandle* streamDevice_ = nullptr;
  std::function<void(const LinkEvent&)> observer_;
};

}  // namespace brumkey
