// Key-mapping and macro download end to end: store rows in, keyboard state
// out, with the exact pauses; and the download under transfer faults.
#include <gtest/gtest.h>

#include <atomic>

#include "device/keymap_download.h"
#include "keys/key_codes.h"
#include "protocol_fixture.h"

namespace brumkey {
namespace {

using testing::Bytes;
using testing::Padded;
using testing::ProtocolRig;
using testing::Taps;

constexpr int kProfile = 1;

std::pair<uint8_t, uint8_t> Combo(int key, int usage) {
  return {static_cast<uint8_t>(key), static_cast<uint8_t>(usage)};
}

// Key code -> table position, as a layout gives them.
const std::map<uint32_t, int>& Index() {
  static const std::map<uint32_t, int> m = [] {
    std::map<uint32_t, int> r;
    for (int code = 4; code <= 0x65; ++code) r[code] = code - 4;
    return r;
  }();
  return m;
}

KeyMapRequest Request(const ProtocolRig& rig, int singleKey = 0) {
  KeyMapRequest r;
  r.deviceType = rig.deviceType;
  r.profile = kProfile;
  r.keyIndexByCode = &Index();
  r.singleKeyCode = singleKey;
  return r;
}

void Download(ProtocolRig& rig, int singleKey = 0) {
  DownloadKeyMapping(rig.link(), rig.clock(), rig.store, Request(rig, singleKey));
}

std::vector<FirmwareMacroEvent> Expected(const std::vector<int>& usages, int delay) {
  std::vector<FirmwareMacroEvent> out;
  for (int u : usages) {
    out.push_back({static_cast<uint8_t>(u), false, delay});
    out.push_back({static_cast<uint8_t>(u), true, delay});
  }
  return out;
}

// A shortcut's steps; the second family cannot say "no delay" and plays 10 ms.
std::vector<FirmwareMacroEvent> Steps(int shortcut, int delay = 0) {
  std::vector<FirmwareMacroEvent> out;
  for (const ShortcutStep& s : ShortcutSteps(shortcut)) out.push_back({s.usage, s.release, delay});
  return out;
}

// Two macro keys and a shortcut key, a disabled key and a remapped key.
void FillTypicalProfile(ProtocolRig& rig) {
  const int m1 = rig.AddMacro(L"one", 3, Taps({'A', 'B'}, 20));
  const int m2 = rig.AddMacro(L"two", 1, Taps({'C'}, 120));
  rig.Assign(kProfile, 0x04, kFnMacro, m1);
  rig.Assign(kProfile, 0x05, kFnShortcut, 2);
  rig.Assign(kProfile, 0x06, kFnMacro, m2);
  rig.Assign(kProfile, 0x07, kFnDisabled, 1);
  rig.Assign(kProfile, 0x08, kFnKey, 0x29);
}

TEST(FirstFamilyDownload, MacrosShortcutAndTableWithTheirPauses) {
  ProtocolRig rig(101, 0);
  FillTypicalProfile(rig);
  rig.StartTrace();
  Download(rig);

  EXPECT_EQ(rig.clock().Pauses(), std::vector<int>({10, 100, 10, 100, 10, 20, 10, 10, 10, 10}));
  const auto t = rig.Trace();
  ASSERT_EQ(t.size(), 7u);
  // Macro "one": 4 events, total 15; slot 0.
  EXPECT_EQ(t[0].bytes, Padded({0x00, 0x8E, 15, 0, 0, 0, 3, 4, 0x04, 20, 0x80, 0x04, 0x94, 0x00,
                                0x05, 20, 0x80, 0x05, 0x94, 0x00}, 65));
  EXPECT_EQ(t[1].bytes[5], 1);  // macro "two" in slot 1
  EXPECT_EQ(t[2].bytes[5], 2);  // the shortcut after all macros
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(t[3 + k].bytes[1], 0x8D);
    EXPECT_EQ(t[3 + k].bytes[2], k == 3 ? 40 : 60);
    EXPECT_EQ(t[3 + k].bytes[3], 60 * k);
  }

  const FirmwareState s = rig.State();
  EXPECT_EQ(s.errors, 0) << s.lastError;
  ASSERT_EQ(s.firstMacros.size(), 3u);
  EXPECT_EQ(s.firstMacros.at(0).playCount, 3);
  EXPECT_EQ(s.firstMacros.at(0).events, Expected({0x04, 0x05}, 20));
  EXPECT_EQ(s.firstMacros.at(1).events, Expected({0x06}, 120));
  EXPECT_EQ(s.firstMacros.at(2).events, Steps(2));
  // Positions are key code - 4.
  EXPECT_EQ(std::vector<uint8_t>(s.keyTable.begin(), s.keyTable.begin() + 10),
            Bytes({0, 0x40, 2, 0x40, 1, 0x40, 0x00, 0x20, 0x29, 0x20}));
}

TEST(FirstFamilyDownload, LongMacrosArriveWhole) {
  for (int taps : {10, 20, 40}) {  // 20, 40 and 80 events
    ProtocolRig rig(101, 0);
    std::vector<int> vks;
    for (int i = 0; i < taps; ++i) vks.push_back('A' + i % 26);
    std::vector<int> usages;
    for (int vk : vks) usages.push_back(VkToKeyCode(vk));
    rig.Assign(kProfile, 0x10, kFnMacro, rig.AddMacro(L"long", 1, Taps(vks, 7)));
    Download(rig);
    const FirmwareState s = rig.State();
    EXPECT_EQ(s.errors, 0) << s.lastError;
    ASSERT_EQ(s.firstMacros.count(0), 1u);
    EXPECT_EQ(s.firstMacros.at(0).events, Expected(usages, 7)) << taps;
    EXPECT_EQ(s.firstMacros.at(0).declaredBytes, 2 + 3 * 2 * taps) << taps;
  }
}

TEST(FirstFamilyDownload, NineteenEventMacroUsesTwoChunks) {
  ProtocolRig rig(101, 0);
  std::vector<MacroEvent> ev = Taps({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J'}, 5);
  ev.pop_back();
  rig.Assign(kProfile, 0x10, kFnMacro, rig.AddMacro(L"nineteen", 1, ev));
  rig.StartTrace();
  Download(rig);
  const auto t = rig.Trace();
  ASSERT_GE(t.size(), 2u);
  EXPECT_EQ(t[0].bytes[2], 59);
  EXPECT_EQ(t[1].bytes[2], 0);
  EXPECT_EQ(t[1].bytes[3], 59);
  EXPECT_EQ(rig.State().firstMacros.at(0).events.size(), 19u);
}

TEST(FirstFamilyDownload, FailedMacroChunkStopsMacrosButNotTheTable) {
  ProtocolRig rig(101, 0);
  FillTypicalProfile(rig);
  const auto before = rig.Rows(kProfile);
  rig.kb->FailNextTransfers(2);  // the first chunk and its retry
  Download(rig);
  const FirmwareState s = rig.State();
  EXPECT_TRUE(s.firstMacros.empty());
  EXPECT_EQ(std::vector<uint8_t>(s.keyTable.begin(), s.keyTable.begin() + 10),
            Bytes({0, 0, 0, 0, 0, 0, 0x00, 0x20, 0x29, 0x20}));
  EXPECT_EQ(rig.Rows(kProfile).size(), before.size());
}

// Everything a download leaves in the keyboard that tests compare.
struct Snapshot {
  std::array<uint8_t, 360> table{};
  std::vector<std::pair<int, std::vector<FirmwareMacroEvent>>> macros;
  std::vector<std::pair<uint8_t, uint8_t>> combos;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Snap(const FirmwareState& s) {
  Snapshot out;
  out.table = s.keyTable;
  for (const auto& [slot, m] : s.firstMacros) out.macros.push_back({slot, m.events});
  for (int n = 1; n <= 13; ++n) out.macros.push_back({s.macroSlots[n].owner, s.macroSlots[n].events});
  for (int n = 1; n <= 10; ++n) out.combos.push_back(s.comboSlots[n]);
  return out;
}

TEST(SecondFamilyDownload, FullDownloadFillsSlotsWithItsPauses) {
  for (int mode : {0, 1}) {
    ProtocolRig rig(201, mode);
    FillTypicalProfile(rig);
    rig.StartTrace();
    Download(rig);
    const FirmwareState s = rig.State();
    EXPECT_EQ(s.errors, 0) << s.lastError;
    EXPECT_EQ(s.macroSlots[1].owner, 0x04);
    EXPECT_EQ(s.macroSlots[1].playCount, 3);
    EXPECT_EQ(s.macroSlots[1].events, Expected({0x04, 0x05}, 20));
    EXPECT_EQ(s.macroSlots[2].owner, 0x05);
    EXPECT_EQ(s.macroSlots[2].events, Steps(2, 10));
    EXPECT_EQ(s.macroSlots[3].owner, 0x06);
    EXPECT_EQ(s.macroSlots[3].events, Expected({0x06}, 120));
    EXPECT_EQ(s.comboSlots[1], Combo(0x07, 0x01));
    EXPECT_EQ(s.comboSlots[2], Combo(0x08, 0x29));
    // Query, then per macro slot 16 + 28 x 16, per combination slot 16 + 16.
    std::vector<int> expected(4, 16);
    for (int i = 0; i < 3 * 29 + 2 * 2; ++i) expected.push_back(16);
    EXPECT_EQ(rig.clock().Pauses(), expected) << mode;

    // Again: the old slots are cleared first, the result is the same.
    Download(rig);
    EXPECT_EQ(Snap(rig.State()), Snap(s));
  }
}

TEST(SecondFamilyDownload, SingleKeyBackToDefaultClearsItsSlot) {
  ProtocolRig rig(201, 0);
  FillTypicalProfile(rig);
  Download(rig);
  KeyFunction none;
  none.profile = kProfile;
  none.key_code = 0x06;
  rig.store.SaveKeyFunction(none);  // deletes the row
  rig.StartTrace();
  Download(rig, 0x06);
  const auto t = rig.Trace();
  ASSERT_EQ(t.size(), 5u + 28u);
  EXPECT_EQ(t[5].bytes, Bytes({0x07, 0xF1, 0x01, 0x03, 0x00, 0x00, 0x00, 0x00}));
  for (size_t i = 6; i < t.size(); ++i) EXPECT_EQ(t[i].bytes, Padded({0x07}, 8));
  EXPECT_EQ(rig.clock().Pauses()[4], 100);
  const FirmwareState s = rig.State();
  EXPECT_EQ(s.macroSlots[3].owner, 0);
  EXPECT_EQ(s.macroSlots[1].owner, 0x04);
}

TEST(SecondFamilyDownload, SingleKeyTakesItsOwnSlotOrAFreeOne) {
  ProtocolRig rig(201, 0);
  FillTypicalProfile(rig);
  Download(rig);
  rig.Assign(kProfile, 0x08, kFnKey, 0x2B);  // already in combination slot 2
  Download(rig, 0x08);
  rig.Assign(kProfile, 0x09, kFnShortcut, 15);  // new: first free macro slot, 4
  Download(rig, 0x09);
  const FirmwareState s = rig.State();
  EXPECT_EQ(s.comboSlots[2], Combo(0x08, 0x2B));
  EXPECT_EQ(s.macroSlots[4].owner, 0x09);
  EXPECT_EQ(s.macroSlots[4].events, Steps(15, 10));
}

TEST(SecondFamilyDownload, FullDownloadLeavesSlot13) {
  ProtocolRig rig(201, 0);
  for (const Feature8& f : SecondFamilyBlockReports(SecondFamilyShortcutBlock(13, 0x50, 1)))
    rig.link().SendFeaturePaced(f.data());
  ASSERT_EQ(rig.State().macroSlots[13].owner, 0x50);
  rig.Assign(kProfile, 0x04, kFnShortcut, 3);
  Download(rig);
  EXPECT_EQ(rig.State().macroSlots[13].owner, 0x50);
  EXPECT_EQ(rig.State().macroSlots[1].owner, 0x04);
}

TEST(SecondFamilyDownload, NoSlotIsTakenFromAnotherKey) {
  ProtocolRig rig(201, 0);
  for (int k = 0; k < 13; ++k) rig.Assign(kProfile, 0x10 + k, kFnShortcut, 1 + k % 15);
  rig.Assign(kProfile, 0x30, kFnShortcut, 4);  // a 14th: no slot for it
  Download(rig);
  FirmwareState s = rig.State();
  for (int n = 1; n <= 13; ++n) EXPECT_EQ(s.macroSlots[n].owner, 0x10 + n - 1);
  rig.StartTrace();
  Download(rig, 0x30);
  EXPECT_EQ(rig.Trace().size(), 5u);  // the query only
  s = rig.State();
  for (int n = 1; n <= 13; ++n) EXPECT_EQ(s.macroSlots[n].owner, 0x10 + n - 1);
}

TEST(SecondFamilyDownload, OnlyPlainAndDisabledKeysGoToTheRemapTable) {
  ProtocolRig rig(201, 0);
  rig.Assign(kProfile, 0x04, kFnKey, 0x29);
  rig.Assign(kProfile, 0x05, kFnMouse, 3);
  rig.Assign(kProfile, 0x06, kFnMedia, 2);
  rig.Assign(kProfile, 0x07, kFnKey, 0x2A);
  Download(rig);
  const FirmwareState s = rig.State();
  EXPECT_EQ(s.comboSlots[1], Combo(0x04, 0x29));
  EXPECT_EQ(s.comboSlots[2].first, 0);
  EXPECT_EQ(s.comboSlots[3].first, 0);
  EXPECT_EQ(s.comboSlots[4], Combo(0x07, 0x2A));
  // A key changed from a plain key to a mouse button leaves the remap table.
  rig.Assign(kProfile, 0x04, kFnMouse, 1);
  Download(rig, 0x04);
  EXPECT_EQ(rig.State().comboSlots[1].first, 0);
}

TEST(PruneKeyAssignments, RemovesRowsTheKeyboardDoesNotHold) {
  ProtocolRig rig(201, 0);
  rig.Assign(kProfile, 0x04, kFnKey, 0x29);
  Download(rig);
  rig.Assign(kProfile, 0x05, kFnKey, 0x2A);      // stored, never sent
  rig.Assign(kProfile, 0x06, kFnRunProgram, 7);  // host-side: exempt
  EXPECT_EQ(PruneKeyAssignments(rig.link(), rig.clock(), rig.store, 201, kProfile, 0), 1);
  std::vector<int> keys;
  for (const KeyFunction& k : rig.Rows(kProfile)) keys.push_back(k.key_code);
  EXPECT_EQ(keys, std::vector<int>({0x04, 0x06}));
}

TEST(PruneKeyAssignments, IncompleteReadOrFirstFamilyRemovesNothing) {
  {
    ProtocolRig rig(201, 0, /*protocolFirmware=*/false);  // answers no reads
    rig.Assign(kProfile, 0x04, kFnKey, 0x29);
    EXPECT_EQ(PruneKeyAssignments(rig.link(), rig.clock(), rig.store, 201, kProfile, 0), -1);
    EXPECT_EQ(rig.Rows(kProfile).size(), 1u);
  }
  {
    ProtocolRig rig(201, 0);
    rig.Assign(kProfile, 0x04, kFnKey, 0x29);
    Download(rig);
    rig.kb->FailNextTransfers(2);  // the request and the first read
    EXPECT_EQ(PruneKeyAssignments(rig.link(), rig.clock(), rig.store, 201, kProfile, 0), -1);
    EXPECT_EQ(rig.Rows(kProfile).size(), 1u);
  }
  ProtocolRig rig(101, 0);
  rig.Assign(kProfile, 0x04, kFnKey, 0x29);
  EXPECT_EQ(PruneKeyAssignments(rig.link(), rig.clock(), rig.store, 101, kProfile, 0), -1);
  EXPECT_EQ(rig.Rows(kProfile).size(), 1u);
}

TEST(SecondFamilyDownload, IncompleteSlotReadSendsNoSingleKey) {
  ProtocolRig rig(201, 0);
  FillTypicalProfile(rig);
  Download(rig);
  const Snapshot before = Snap(rig.State());
  rig.Assign(kProfile, 0x09, kFnKey, 0x2C);
  rig.StartTrace();
  rig.kb->FailNextTransfers(3);
  Download(rig, 0x09);
  EXPECT_EQ(rig.Trace().size(), 5u);
  EXPECT_EQ(Snap(rig.State()), before);
}

// Number of reports a clean download of the typical profile sends.
size_t CleanReportCount(int type) {
  ProtocolRig rig(type, 0);
  FillTypicalProfile(rig);
  rig.StartTrace();
  Download(rig);
  return rig.Trace().size();
}

Snapshot CleanSnapshot(int type) {
  ProtocolRig rig(type, 0);
  FillTypicalProfile(rig);
  Download(rig);
  return Snap(rig.State());
}

TEST(DownloadFaults, ATransferFailingAtEachReportIndex) {
  for (int type : {101, 201}) {
    const size_t n = CleanReportCount(type);
    const Snapshot good = CleanSnapshot(type);
    for (size_t k = 0; k < n; ++k) {
      ProtocolRig rig(type, 0);
      FillTypicalProfile(rig);
      const auto rowsBefore = rig.Rows(kProfile);
      auto kb = rig.kb;
      std::atomic<size_t> seen{0};
      if (k == 0) kb->FailNextTransfers(2);
      rig.link().SetObserver([&, kb](const LinkEvent& e) {
        if (e.kind == LinkEvent::Kind::Pause) return;
        if (++seen == k) kb->FailNextTransfers(2);  // this report and its retry
      });
      Download(rig);  // returns: lost reports are not waited for
      rig.link().SetObserver({});
      EXPECT_EQ(rig.Rows(kProfile).size(), rowsBefore.size());
      Download(rig);  // the next command recovers everything
      EXPECT_EQ(Snap(rig.State()), good) << type << " at " << k;
    }
  }
}

TEST(DownloadFaults, UnplugMidDownloadThenRecover) {
  for (int type : {101, 201}) {
    const size_t n = CleanReportCount(type);
    const Snapshot good = CleanSnapshot(type);
    for (size_t k = 1; k < n; k += 7) {
      ProtocolRig rig(type, 0);
      FillTypicalProfile(rig);
      const auto rowsBefore = rig.Rows(kProfile);
      rig.kb->DisconnectAfterReports(static_cast<int>(k));
      Download(rig);
      EXPECT_EQ(rig.sim.bus.Plugged().size(), 0u);
      EXPECT_EQ(rig.Rows(kProfile).size(), rowsBefore.size());
      rig.sim.bus.Plug(rig.kb);
      rig.Rescan();
      Download(rig);
      EXPECT_EQ(Snap(rig.State()), good) << type << " unplugged after " << k;
    }
  }
}

}  // namespace
}  // namespace brumkey
