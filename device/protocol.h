#pragma once
// Report framings shared by every keyboard command, and the device-level
// commands: factory reset, slot table query, firmware version.
#include <array>
#include <cstddef>
#include <cstdint>

#include "device/device_link.h"
#include "util/clock.h"

namespace brumkey {

using Report65 = std::array<uint8_t, 65>;   // output report, byte 0 = report id 0
using Feature8 = std::array<uint8_t, 8>;    // feature report, byte 0 = report id 7
using Receiver64 = std::array<uint8_t, 64>; // what WriteReportZero takes (bytes 1-64)

// Command set of a device type: 1 up to 200, 2 for 201-299, 0 (none) above.
inline int CommandFamily(int deviceType) {
  return deviceType <= 200 ? 1 : deviceType <= 299 ? 2 : 0;
}

inline constexpr uint8_t kFeatureReportId = 0x07;
inline constexpr size_t kChunkPayload = 60;
inline constexpr uint8_t kReceiverSignature[4] = {0xBB, 0xAA, 0x99, 0x88};

// Output table chunk: byte 1 command, byte 2 valid count, bytes 3-4 offset
// (little-endian), then up to 60 payload bytes (the rest zero).
Report65 MakeTableChunk(uint8_t command, uint8_t validCount, uint16_t offset,
                        const uint8_t* payload, size_t payloadLen);
// Output command: `bytes` land at byte 1 onward, the rest zero.
Report65 MakeShortOutput(std::initializer_list<uint8_t> bytes);
// Feature command: byte 0 = 7, `bytes` from byte 1, the rest zero.
Feature8 MakeFeature(std::initializer_list<uint8_t> bytes);
// Receiver command: signature at bytes 1-4, `bytes` from byte 5; returned
// without the report id byte, as WriteReportZero wants it.
Receiver64 MakeReceiverCommand(std::initializer_list<uint8_t> bytes);
// Same with byte 5 onward from a buffer (at most 60 bytes).
Receiver64 MakeReceiverCommand(const uint8_t* bytes, size_t len);

// What the caller should reload after a reset.
enum class ResetOutcome {
  NotSent,           // no command set for this device type
  ReloadPages,       // key, macro and lighting pages
  ReloadPagesMusic,  // the same, then the music controls back to defaults
};
ResetOutcome ResetKeyboard(DeviceLink& link, Clock& clock, int deviceType);

// Second family's two slot tables as the host reads them: byte n (1-13) is
// macro slot n, byte 13 + n (1-10) combination slot n; 0 is a free slot.
struct SlotTable {
  static constexpr int kMacroSlots = 13;
  static constexpr int kComboSlots = 10;
  std::array<uint8_t, 28> image{};
  uint8_t MacroSlot(int n) const { return image[n]; }
  uint8_t ComboSlot(int n) const { return image[13 + n]; }
  // First slot holding `key`, else 0.
  int FindMacroSlot(uint8_t key) const;
  int FindComboSlot(uint8_t key) const;
};
// True only when all four reads were answered; the image then holds their
// bytes 1-7 in order. A failed read leaves its part zero.
bool QuerySlotTable(DeviceLink& link, Clock& clock, SlotTable& out);

// True only when a read answered with report id 7; version = byte1:byte2.
bool ReadFirmwareVersion(DeviceLink& link, Clock& clock, uint16_t& version);

}  // namespace brumkey
