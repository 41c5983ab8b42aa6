#include "device/keymap_download.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "keys/key_codes.h"

namespace brumkey {

namespace {

int ClampDelay(int ms) { return std::clamp(ms, 0, kMaxEventDelayMs); }
int ClampPlayCount(int n) { return std::clamp(n, 1, 255); }
bool IsKeyEvent(const MacroEvent& e) { return e.type == kEventPress || e.type == kEventRelease; }

void PutFirstFamilyEvent(std::vector<uint8_t>& out, uint8_t usage, bool release, int ms) {
  const int d = ClampDelay(ms);
  const uint8_t lo = static_cast<uint8_t>(d & 0xFF);
  const uint8_t hi = static_cast<uint8_t>((d >> 8) & 0xFF);
  out.push_back(usage);
  if (release) {
    out.push_back(lo | 0x80);
    out.push_back(hi & 0x7F);
  } else {
    out.push_back(lo);
    out.push_back(hi | 0x80);
  }
}

void SendFirstFamily(DeviceLink& link, Clock& clock, ProfileStore& store,
                     const KeyMapRequest& req) {
  std::vector<KeyFunction> rows;
  store.LoadKeyFunctions(req.profile, req.fnLayer, rows);

  std::map<int, int> slots;  // key code -> macro slot, this download only
  int slot = 0;
  bool aborted = false;
  for (const KeyFunction& row : rows) {
    if (row.macro_type != kFnMacro) continue;
    int play = 0;
    store.GetMacroPlayTimes(row.macro_value, play);
    std::vector<MacroEvent> events;
    store.LoadMacroEvents(row.macro_value, events);
    const std::vector<uint8_t> block = FirstFamilyMacroBlock(play, events);
    clock.SleepMs(10);
    for (const Report65& chunk :
         FirstFamilyMacroChunks(block, static_cast<int>(events.size()), static_cast<uint8_t>(slot))) {
      clock.SleepMs(100);
      if (!link.WriteReport(chunk.data())) {
        aborted = true;
        break;
      }
    }
    if (aborted) break;
    slots[row.key_code] = slot++;
  }
  if (!aborted) {
    for (const KeyFunction& row : rows) {
      if (row.macro_type != kFnShortcut) continue;
      const Report65 r = FirstFamilyShortcutReport(row.macro_value, static_cast<uint8_t>(slot));
      clock.SleepMs(10);
      link.WriteReport(r.data());
      slots[row.key_code] = slot++;
    }
  }

  clock.SleepMs(20);
  static const std::map<uint32_t, int> kNoPositions;
  const auto table =
      FirstFamilyKeyTable(rows, req.keyIndexByCode ? *req.keyIndexByCode : kNoPositions, slots);
  for (int k = 0; k < 4; ++k) {
    const uint8_t len = k == 3 ? 40 : 60;
    const Report65 chunk = MakeTableChunk(0x8D, len, static_cast<uint16_t>(60 * k),
                                          table.data() + 60 * k, len);
    clock.SleepMs(10);
    link.WriteReport(chunk.data());
  }
}

void SendMacroSlot(DeviceLink& link, ProfileStore& store, uint8_t key, int slot, int type,
                   int value) {
  if (!link.IsOpen()) return;
  SecondFamilyBlock block{};
  const uint8_t s = static_cast<uint8_t>(slot);
  if (type == kFnShortcut) {
    block = SecondFamilyShortcutBlock(s, key, value);
  } else if (type == kFnMacro) {
    MacroInfo info;
    std::vector<MacroEvent> events;
    store.LoadMacroEvents(value, events);
    if (store.GetMacro(value, info)) {
      block = SecondFamilyMacroBlock(s, key, static_cast<uint8_t>(ClampPlayCount(info.play_times)),
                                     events);
    } else {
      block = SecondFamilyMacroBlock(s, 0, 0, events);
    }
  } else {
    block[0] = 0x01;
    block[1] = s;
  }
  for (const Feature8& f : SecondFamilyBlockReports(block)) link.SendFeaturePaced(f.data());
}

// Assigns or clears combination slot `slot` from `key`'s stored row.
void SendCombinationSlot(DeviceLink& link, ProfileStore& store, const KeyMapRequest& req,
                         uint8_t key, int slot) {
  KeyFunction kf;
  const bool found = key != 0 && store.GetKeyFunction(req.profile, req.fnLayer, key, kf);
  Feature8 f;
  if (!found || kf.macro_value < 1) {
    f = CombinationSlotReport(static_cast<uint8_t>(slot), 0, 0);
  } else if (kf.macro_type == kFnDisabled || kf.macro_type == kFnKey) {
    f = CombinationSlotReport(static_cast<uint8_t>(slot), key,
                              static_cast<uint8_t>(kf.macro_value & 0xFF));
  } else {
    return;  // the remap table holds only plain keys and disabled keys
  }
  link.SendFeaturePaced(f.data());
}

void ClearCombinationSlot(DeviceLink& link, int slot) {
  const Feature8 f = CombinationSlotReport(static_cast<uint8_t>(slot), 0, 0);
  link.SendFeaturePaced(f.data());
}

void SendSecondFamily(DeviceLink& link, Clock& clock, ProfileStore& store,
                      const KeyMapRequest& req) {
  SlotTable table;
  const bool complete = QuerySlotTable(link, clock, table);

  if (req.singleKeyCode != 0) {
    const uint8_t key = static_cast<uint8_t>(req.singleKeyCode);
    clock.SleepMs(100);
    // Without the whole table no slot is known to be free or this key's.
    if (!complete) return;
    KeyFunction kf;
    if (!store.GetKeyFunction(req.profile, req.fnLayer, req.singleKeyCode, kf)) {
      kf.macro_type = 0;
      kf.macro_value = 0;
    }
    switch (kf.macro_type) {
      case kFnMacro:
      case kFnShortcut: {
        // Never take a slot another key holds: its owner would lose it.
        int slot = table.FindMacroSlot(key);
        if (slot == 0) slot = table.FindMacroSlot(0);
        if (slot != 0) SendMacroSlot(link, store, key, slot, kf.macro_type, kf.macro_value);
        break;
      }
      case kFnDisabled:
      case kFnKey: {
        int slot = table.FindComboSlot(key);
        if (slot == 0) slot = table.FindComboSlot(0);
        if (slot != 0) SendCombinationSlot(link, store, req, key, slot);
        break;
      }
      default: {
        if (const int m = table.FindMacroSlot(key))
          SendMacroSlot(link, store, key, m, kf.macro_type, kf.macro_value);
        // The key now has a function the remap table cannot hold: free its
        // slot rather than leave the old remap active.
        if (const int c = table.FindComboSlot(key)) ClearCombinationSlot(link, c);
        break;
      }
    }
    return;
  }

  for (int n = 1; n <= 12; ++n) {
    if (table.MacroSlot(n) == 0) continue;
    clock.SleepMs(16);
    SendMacroSlot(link, store, table.MacroSlot(n), n, 0, 0);
  }
  for (int n = 1; n <= SlotTable::kComboSlots; ++n) {
    if (table.ComboSlot(n) == 0) continue;
    clock.SleepMs(16);
    SendCombinationSlot(link, store, req, 0, n);
  }
  std::vector<KeyFunction> rows;
  store.LoadKeyFunctions(req.profile, req.fnLayer, rows);
  int macroSlot = 1, comboSlot = 1;
  for (const KeyFunction& row : rows) {
    if (row.macro_type == 0) continue;
    const uint8_t key = static_cast<uint8_t>(row.key_code);
    if (row.macro_type == kFnMacro || row.macro_type == kFnShortcut) {
      if (macroSlot <= SlotTable::kMacroSlots) {
        clock.SleepMs(16);
        SendMacroSlot(link, store, key, macroSlot, row.macro_type, row.macro_value);
      }
      ++macroSlot;
    } else {
      if (comboSlot <= SlotTable::kComboSlots &&
          (row.macro_type == kFnDisabled || row.macro_type == kFnKey)) {
        clock.SleepMs(16);
        SendCombinationSlot(link, store, req, key, comboSlot);
      }
      ++comboSlot;
    }
  }
}

}  // namespace

uint8_t EncodeDelayByte(bool release, int ms) {
  const int d = ClampDelay(ms);
  int count = 0, unit = 0;
  if (d <= 10) {
    count = 1;
  } else if (d <= 310) {
    count = d / 10;
  } else if (d <= 1550) {
    count = d / 50;
    unit = 1;
  } else if (d <= 3100) {
    count = d / 100;
    unit = 2;
  } else {
    count = d / 1000;
    unit = 3;
  }
  const int byte = (release ? 0x80 : 0) | (unit << 5) | count;
  return static_cast<uint8_t>(byte <= 1 ? 0x01 : byte);
}

std::vector<uint8_t> FirstFamilyMacroBlock(int playTimes, const std::vector<MacroEvent>& events) {
  const size_t rows = std::min<size_t>(events.size(), kMaxMacroRows);
  std::vector<uint8_t> block;
  block.reserve(2 + 3 * rows);
  block.push_back(static_cast<uint8_t>(ClampPlayCount(playTimes)));
  block.push_back(static_cast<uint8_t>(rows));
  for (size_t i = 0; i < rows; ++i) {
    const MacroEvent& e = events[i];
    if (!IsKeyEvent(e)) continue;
    PutFirstFamilyEvent(block, static_cast<uint8_t>(VkToKeyCode(e.value)),
                        e.type == kEventRelease, e.delay_time);
  }
  return block;
}

std::vector<Report65> FirstFamilyMacroChunks(const std::vector<uint8_t>& block, int rowCount,
                                             uint8_t slot) {
  constexpr int kCarry = 59;  // byte 5 holds the slot, 59 block bytes follow
  const int rows = std::clamp(rowCount, 0, kMaxMacroRows);
  const int total = 3 * (rows + 1);
  int chunks = 0, lastLen = 0;
  if (total < 120) {
    // Up to 38 rows the declared lengths cover the block: keep them as the
    // keyboard has always received them.
    chunks = total / 60 + 1;
    lastLen = total - 60 * (chunks - 1);
  } else {
    const int len = total - 1;  // play count, row count, 3 bytes per row
    chunks = (len + kCarry - 1) / kCarry;
    lastLen = len - kCarry * (chunks - 1);
  }
  std::vector<uint8_t> padded(static_cast<size_t>(kCarry * chunks), 0);
  std::memcpy(padded.data(), block.data(), std::min(block.size(), padded.size()));

  std::vector<Report65> out;
  for (int k = 0; k < chunks; ++k) {
    Report65 r{};
    r[1] = 0x8E;
    r[2] = static_cast<uint8_t>(k == chunks - 1 ? lastLen : kCarry);
    const int offset = kCarry * k;
    r[3] = static_cast<uint8_t>(offset & 0xFF);
    r[4] = static_cast<uint8_t>(offset >> 8);
    r[5] = slot;
    std::memcpy(r.data() + 6, padded.data() + offset, kCarry);
    out.push_back(r);
  }
  return out;
}

Report65 FirstFamilyShortcutReport(int number, uint8_t slot) {
  const std::vector<ShortcutStep> steps = ShortcutSteps(number);
  std::vector<uint8_t> events;
  for (const ShortcutStep& s : steps) PutFirstFamilyEvent(events, s.usage, s.release, 0);
  Report65 r{};
  r[1] = 0x8E;
  r[2] = static_cast<uint8_t>(3 * steps.size());
  r[5] = slot;
  r[6] = 0x01;
  r[7] = static_cast<uint8_t>(steps.size());
  std::memcpy(r.data() + 8, events.data(), std::min<size_t>(events.size(), r.size() - 8));
  return r;
}

std::array<uint8_t, 2 * kFirstFamilyTablePositions> FirstFamilyKeyTable(
    const std::vector<KeyFunction>& rows, const std::map<uint32_t, int>& keyIndexByCode,
    const std::map<int, int>& slots) {
  std::array<uint8_t, 2 * kFirstFamilyTablePositions> t{};
  for (const KeyFunction& row : rows) {
    if (row.key_code <= 0) continue;
    auto it = keyIndexByCode.find(static_cast<uint32_t>(row.key_code));
    if (it == keyIndexByCode.end() || it->second < 0 || it->second >= kFirstFamilyTablePositions)
      continue;
    uint8_t* e = t.data() + 2 * it->second;
    switch (row.macro_type) {
      case kFnKey:
        e[0] = static_cast<uint8_t>(row.macro_value & 0xFF);
        e[1] = 0x20;
        break;
      case kFnDisabled:
        e[0] = 0x00;
        e[1] = 0x20;
        break;
      case kFnMacro:
      case kFnShortcut: {
        auto s = slots.find(row.key_code);
        if (s != slots.end()) {
          e[0] = static_cast<uint8_t>(s->second);
          e[1] = 0x40;
        } else {
          e[0] = e[1] = 0;
        }
        break;
      }
      default: e[0] = e[1] = 0; break;
    }
  }
  return t;
}

SecondFamilyBlock SecondFamilyMacroBlock(uint8_t slot, uint8_t key, uint8_t count,
                                         const std::vector<MacroEvent>& events) {
  SecondFamilyBlock b{};
  b[0] = 0x01;
  b[1] = slot;
  b[2] = key;
  b[3] = count;
  size_t pos = 4;
  for (const MacroEvent& e : events) {
    if (!IsKeyEvent(e)) continue;
    if (pos + 2 > b.size()) break;
    b[pos++] = static_cast<uint8_t>(VkToKeyCode(e.value));
    b[pos++] = EncodeDelayByte(e.type == kEventRelease, e.delay_time);
  }
  return b;
}

SecondFamilyBlock SecondFamilyShortcutBlock(uint8_t slot, uint8_t key, int number) {
  SecondFamilyBlock b{};
  b[0] = 0x01;
  b[1] = slot;
  b[2] = key;
  b[3] = 0x01;
  size_t pos = 4;
  for (const ShortcutStep& s : ShortcutSteps(number)) {
    b[pos++] = s.usage;
    b[pos++] = EncodeDelayByte(s.release, 0);
  }
  return b;
}

std::vector<Feature8> SecondFamilyBlockReports(const SecondFamilyBlock& block) {
  std::vector<Feature8> out(28);
  for (size_t i = 0; i < 28; ++i) {
    out[i][0] = kFeatureReportId;
    out[i][1] = i == 0 ? 0xF1 : 0x00;
    std::memcpy(out[i].data() + 2, block.data() + 6 * i, 6);
  }
  return out;
}

Feature8 CombinationSlotReport(uint8_t slot, uint8_t key, uint8_t usage) {
  return MakeFeature({0xFA, 0x01, slot, key, 0x01, usage, 0x01});
}

void DownloadKeyMapping(DeviceLink& link, Clock& clock, ProfileStore& store,
                        const KeyMapRequest& request) {
  switch (CommandFamily(request.deviceType)) {
    case 1: SendFirstFamily(link, clock, store, request); break;
    case 2: SendSecondFamily(link, clock, store, request); break;
    default: break;
  }
}

int PruneKeyAssignments(DeviceLink& link, Clock& clock, ProfileStore& store, int deviceType,
                        int profile, int fnLayer) {
  if (CommandFamily(deviceType) != 2) return -1;
  SlotTable table;
  // An incomplete read proves nothing about which keys the keyboard holds.
  if (!QuerySlotTable(link, clock, table)) return -1;
  std::set<int> held;
  for (int i = 1; i <= 23; ++i)
    if (table.image[i] != 0) held.insert(table.image[i]);
  std::vector<KeyFunction> rows;
  store.LoadKeyFunctions(profile, fnLayer, rows);
  int removed = 0;
  for (const KeyFunction& row : rows) {
    const bool slotKind = row.macro_type == kFnDisabled || row.macro_type == kFnKey ||
                          row.macro_type == kFnMacro || row.macro_type == kFnShortcut;
    if (!slotKind || held.count(row.key_code)) continue;
    KeyFunction fresh;
    fresh.profile = profile;
    fresh.fn_layer = fnLayer;
    fresh.key_code = row.key_code;
    store.SaveKeyFunction(fresh);
    ++removed;
  }
  return removed;
}

}  // namespace brumkey
