#include "device/protocol.h"

#include <algorithm>
#include <cstring>

namespace brumkey {

Report65 MakeTableChunk(uint8_t command, uint8_t validCount, uint16_t offset,
                        const uint8_t* payload, size_t payloadLen) {
  Report65 r{};
  r[1] = command;
  r[2] = validCount;
  r[3] = static_cast<uint8_t>(offset & 0xFF);
  r[4] = static_cast<uint8_t>(offset >> 8);
  if (payload) std::memcpy(r.data() + 5, payload, std::min(payloadLen, kChunkPayload));
  return r;
}

Report65 MakeShortOutput(std::initializer_list<uint8_t> bytes) {
  Report65 r{};
  size_t i = 1;
  for (uint8_t b : bytes) {
    if (i >= r.size()) break;
    r[i++] = b;
  }
  return r;
}

Feature8 MakeFeature(std::initializer_list<uint8_t> bytes) {
  Feature8 f{};
  f[0] = kFeatureReportId;
  size_t i = 1;
  for (uint8_t b : bytes) {
    if (i >= f.size()) break;
    f[i++] = b;
  }
  return f;
}

Receiver64 MakeReceiverCommand(const uint8_t* bytes, size_t len) {
  Receiver64 r{};
  std::memcpy(r.data(), kReceiverSignature, 4);
  if (bytes) std::memcpy(r.data() + 4, bytes, std::min(len, r.size() - 4));
  return r;
}

Receiver64 MakeReceiverCommand(std::initializer_list<uint8_t> bytes) {
  return MakeReceiverCommand(bytes.begin(), bytes.size());
}

ResetOutcome ResetKeyboard(DeviceLink& link, Clock& clock, int deviceType) {
  switch (CommandFamily(deviceType)) {
    case 1: {
      const Report65 r = MakeShortOutput({0xFF, 0xFE, 0xAA, 0xFF});
      link.WriteReport(r.data());
      clock.SleepMs(100);
      return ResetOutcome::ReloadPages;
    }
    case 2:
      if (link.GetConnectionMode() == 0) {
        const Feature8 f = MakeFeature({0xF0, 0xAA});
        link.SendFeaturePaced(f.data());
        clock.SleepMs(100);
        return ResetOutcome::ReloadPagesMusic;
      } else {
        const Receiver64 reset = MakeReceiverCommand({0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA});
        link.WriteReportZero(reset.data());
        clock.SleepMs(1600);
        const Receiver64 done = MakeReceiverCommand({});
        link.WriteReportZero(done.data());
        return ResetOutcome::ReloadPages;
      }
    default: return ResetOutcome::NotSent;
  }
}

int SlotTable::FindMacroSlot(uint8_t key) const {
  for (int n = 1; n <= kMacroSlots; ++n)
    if (MacroSlot(n) == key) return n;
  return 0;
}

int SlotTable::FindComboSlot(uint8_t key) const {
  for (int n = 1; n <= kComboSlots; ++n)
    if (ComboSlot(n) == key) return n;
  return 0;
}

bool QuerySlotTable(DeviceLink& link, Clock& clock, SlotTable& out) {
  out.image.fill(0);
  const Feature8 request = MakeFeature({0xFB, 0x01});
  link.SendFeature(request.data());
  bool all = true;
  for (int k = 0; k < 4; ++k) {
    // A fresh buffer per read: nothing of the request or an earlier reply
    // can pass for slot contents.
    Feature8 buf = request;
    clock.SleepMs(16);
    if (link.GetFeature(buf.data()) > 0) {
      std::memcpy(out.image.data() + 7 * k, buf.data() + 1, 7);
    } else {
      all = false;
    }
  }
  return all;
}

bool ReadFirmwareVersion(DeviceLink& link, Clock& clock, uint16_t& version) {
  const Feature8 request = MakeFeature({0xFD});
  clock.SleepMs(16);
  if (!link.SendFeature(request.data())) return false;
  Feature8 buf = request;
  clock.SleepMs(16);
  int rc = link.GetFeature(buf.data());
  if (buf[0] != kFeatureReportId) {
    clock.SleepMs(16);
    buf = request;
    rc = link.GetFeature(buf.data());
  }
  // A failed read leaves the request in the buffer; that is no answer.
  if (rc <= 0 || buf[0] != kFeatureReportId) return false;
  version = static_cast<uint16_t>((buf[1] << 8) | buf[2]);
  return true;
}

}  // namespace brumkey
