#pragma once
// Key-mapping and macro download: turns the stored key assignments of one
// profile and layer, and the macros they name, into the keyboard's reports.
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "device/device_link.h"
#include "device/protocol.h"
#include "store/profile_store.h"
#include "util/clock.h"

namespace brumkey {

struct KeyMapRequest {
  int deviceType = 0;
  int profile = 0;
  int fnLayer = 0;
  // Key code -> position in the first family's key table.
  const std::map<uint32_t, int>* keyIndexByCode = nullptr;
  // Second family: the one key just changed; 0 sends everything.
  int singleKeyCode = 0;
};

// Worker command 6. The caller clears its single-key flag afterwards.
void DownloadKeyMapping(DeviceLink& link, Clock& clock, ProfileStore& store,
                        const KeyMapRequest& request);

// Deletes the rows of keys the keyboard's slot tables do not hold. Runs only
// for the second family and only on a complete slot table read. Returns the
// number of rows removed, or -1 when nothing was checked.
int PruneKeyAssignments(DeviceLink& link, Clock& clock, ProfileStore& store, int deviceType,
                        int profile, int fnLayer);

// Second family's event delay byte: bit 7 release, bits 6-5 unit
// (10, 50, 100, 1000 ms), bits 4-0 count.
uint8_t EncodeDelayByte(bool release, int ms);

// --- first family ---------------------------------------------------------
inline constexpr int kFirstFamilyTablePositions = 180;
inline constexpr int kFirstFamilySentPositions = 110;
inline constexpr int kMaxMacroRows = 255;

// Play count, row count, then 3 bytes per press or release event.
std::vector<uint8_t> FirstFamilyMacroBlock(int playTimes, const std::vector<MacroEvent>& events);
// The 0x8E chunks of one macro block for `rowCount` event rows.
std::vector<Report65> FirstFamilyMacroChunks(const std::vector<uint8_t>& block, int rowCount,
                                             uint8_t slot);
// The single 0x8E report of shortcut `number`.
Report65 FirstFamilyShortcutReport(int number, uint8_t slot);
// The 2-byte-per-position key table; `slots` maps key codes to macro slots.
std::array<uint8_t, 2 * kFirstFamilyTablePositions> FirstFamilyKeyTable(
    const std::vector<KeyFunction>& rows, const std::map<uint32_t, int>& keyIndexByCode,
    const std::map<int, int>& slots);

// --- second family --------------------------------------------------------
inline constexpr size_t kSecondFamilyBlockLen = 168;
inline constexpr int kSecondFamilyMaxEvents = 82;
using SecondFamilyBlock = std::array<uint8_t, kSecondFamilyBlockLen>;

// Header (1, slot, key, count) then (usage, delay byte) per press/release.
SecondFamilyBlock SecondFamilyMacroBlock(uint8_t slot, uint8_t key, uint8_t count,
                                         const std::vector<MacroEvent>& events);
SecondFamilyBlock SecondFamilyShortcutBlock(uint8_t slot, uint8_t key, int number);
// The 28 feature reports carrying a block (0xF1 in the first only).
std::vector<Feature8> SecondFamilyBlockReports(const SecondFamilyBlock& block);
// 0xFA: assign `usage` to `key` in combination slot `slot` (0, 0 clears).
Feature8 CombinationSlotReport(uint8_t slot, uint8_t key, uint8_t usage);

}  // namespace brumkey
