// Device-level and light commands against the simulated keyboard: the exact
// reports, the pauses around them, and what the keyboard made of them.
#include <gtest/gtest.h>

#include "device/keymap_download.h"
#include "device/light_commands.h"
#include "device/protocol.h"
#include "protocol_fixture.h"

namespace brumkey {
namespace {

using testing::Bytes;
using testing::Padded;
using testing::ProtocolRig;
using testing::Sent;

TEST(ResetKeyboard, FirstFamilySendsOneReportThenWaits) {
  ProtocolRig rig(101, 0);
  rig.StartTrace();
  EXPECT_EQ(ResetKeyboard(rig.link(), rig.clock(), 101), ResetOutcome::ReloadPages);
  const auto t = rig.Trace();
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].bytes, Padded({0x00, 0xFF, 0xFE, 0xAA, 0xFF}, 65));
  EXPECT_EQ(rig.clock().Pauses(), std::vector<int>({100}));
  EXPECT_EQ(rig.State().resets, 1);
  EXPECT_EQ(rig.State().errors, 0);
}

TEST(ResetKeyboard, SecondFamilyWiredIsOnePacedFeature) {
  ProtocolRig rig(201, 0);
  rig.StartTrace();
  EXPECT_EQ(ResetKeyboard(rig.link(), rig.clock(), 201), ResetOutcome::ReloadPagesMusic);
  const auto t = rig.Trace();
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].kind, SimReportKind::FeatureSet);
  EXPECT_EQ(t[0].pauseBefore, 16);
  EXPECT_EQ(t[0].bytes, Bytes({0x07, 0xF0, 0xAA, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rig.clock().Pauses(), std::vector<int>({16, 100}));
  EXPECT_EQ(rig.State().resets, 1);
}

TEST(ResetKeyboard, ThroughAReceiverTwoCommands1600MsApart) {
  for (int mode : {1, 2}) {
    ProtocolRig rig(201, mode);
    rig.StartTrace();
    EXPECT_EQ(ResetKeyboard(rig.link(), rig.clock(), 201), ResetOutcome::ReloadPages);
    const auto t = rig.Trace();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].bytes,
              Padded({0x00, 0xBB, 0xAA, 0x99, 0x88, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}, 65));
    EXPECT_EQ(t[1].bytes, Padded({0x00, 0xBB, 0xAA, 0x99, 0x88}, 65));
    EXPECT_EQ(t[1].pauseBefore, 1600);
    EXPECT_EQ(rig.State().resets, 1);
    EXPECT_EQ(rig.State().errors, 0);
  }
}

TEST(ResetKeyboard, NoCommandSetAbove299) {
  ProtocolRig rig(101, 0);
  rig.StartTrace();
  EXPECT_EQ(ResetKeyboard(rig.link(), rig.clock(), 300), ResetOutcome::NotSent);
  EXPECT_TRUE(rig.Trace().empty());
  EXPECT_TRUE(rig.clock().Pauses().empty());
}

std::vector<uint8_t> Reply(int first) {
  std::vector<uint8_t> r = {0x07};
  for (int i = 0; i < 7; ++i) r.push_back(static_cast<uint8_t>(first + i));
  return r;
}

TEST(QuerySlotTable, AssemblesReplyBytesOneToSeven) {
  ProtocolRig rig(201, 0, /*protocolFirmware=*/false);
  for (int k = 0; k < 4; ++k) rig.kb->QueueFeatureReply(Reply(1 + 7 * k));
  rig.StartTrace();
  SlotTable table;
  EXPECT_TRUE(QuerySlotTable(rig.link(), rig.clock(), table));
  for (int i = 0; i < 28; ++i) EXPECT_EQ(table.image[i], i + 1);
  EXPECT_EQ(table.MacroSlot(1), 2);  // the first reply's byte 2
  const auto t = rig.Trace();
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[0].bytes, Bytes({0x07, 0xFB, 0x01, 0, 0, 0, 0, 0}));
  EXPECT_EQ(t[0].pauseBefore, 0);
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(t[k].kind, SimReportKind::FeatureGet);
    EXPECT_EQ(t[k].pauseBefore, 16);
  }
}

TEST(QuerySlotTable, MissingRepliesFailAndLeaveZeros) {
  for (int answered : {0, 2, 3}) {
    ProtocolRig rig(201, 0, false);
    for (int k = 0; k < answered; ++k) rig.kb->QueueFeatureReply(Reply(1 + 7 * k));
    SlotTable table;
    EXPECT_FALSE(QuerySlotTable(rig.link(), rig.clock(), table)) << answered;
    for (int i = 0; i < 28; ++i) EXPECT_EQ(table.image[i], i < 7 * answered ? i + 1 : 0) << i;
  }
}

TEST(QuerySlotTable, ReadsTheKeyboardsSlots) {
  ProtocolRig rig(201, 0);
  // Combination slot 3 for key 0x29 and the slot table answer from it.
  const Feature8 f = CombinationSlotReport(3, 0x29, 0x2A);
  rig.link().SendFeaturePaced(f.data());
  SlotTable table;
  ASSERT_TRUE(QuerySlotTable(rig.link(), rig.clock(), table));
  EXPECT_EQ(table.ComboSlot(3), 0x29);
  EXPECT_EQ(table.FindComboSlot(0x29), 3);
  EXPECT_EQ(table.FindComboSlot(0), 1);
  EXPECT_EQ(table.FindMacroSlot(0x29), 0);
}

TEST(ReadFirmwareVersion, FromTheKeyboard) {
  ProtocolRig rig(201, 0);
  SetSimFirmwareVersion(*rig.kb, 0x0105);
  rig.StartTrace();
  uint16_t v = 0;
  ASSERT_TRUE(ReadFirmwareVersion(rig.link(), rig.clock(), v));
  EXPECT_EQ(v, 0x0105);
  EXPECT_EQ(rig.clock().Pauses(), std::vector<int>({16, 16}));
  EXPECT_EQ(rig.Trace()[0].bytes, Bytes({0x07, 0xFD, 0, 0, 0, 0, 0, 0}));
}

TEST(ReadFirmwareVersion, WrongReportIdIsReadOnceMore) {
  ProtocolRig rig(201, 0, false);
  rig.kb->QueueFeatureReply({0x05, 0x09, 0x09});
  rig.kb->QueueFeatureReply({0x07, 0x02, 0x03});
  uint16_t v = 0;
  ASSERT_TRUE(ReadFirmwareVersion(rig.link(), rig.clock(), v));
  EXPECT_EQ(v, 0x0203);
  EXPECT_EQ(rig.clock().Pauses(), std::vector<int>({16, 16, 16}));
}

TEST(ReadFirmwareVersion, UnansweredReadIsAFailureNotFD00) {
  ProtocolRig rig(201, 0, false);
  uint16_t v = 0x1234;
  EXPECT_FALSE(ReadFirmwareVersion(rig.link(), rig.clock(), v));
  EXPECT_EQ(v, 0x1234);
  rig.kb->FailNextTransfers(1);  // the request itself
  EXPECT_FALSE(ReadFirmwareVersion(rig.link(), rig.clock(), v));
}

LightSetting Mode(int mode, int func) {
  LightSetting r;
  r.mode = mode;
  r.brightness = 4;
  r.speed = 5;
  r.direction = 2;
  r.colorful = 1;
  r.color_value = 0x00336699;
  r.config_func = func;
  return r;
}

TEST(LightCommands, FirstFamilySelectsThenCarriesParameters) {
  ProtocolRig rig(101, 0);
  LightProtocolState st;
  st.paramsFollow = false;  // a mode was just chosen
  rig.StartTrace();
  EXPECT_TRUE(SendLightRow(rig.link(), 101, Mode(6, 0x3), st));
  EXPECT_TRUE(SendLightRow(rig.link(), 101, Mode(6, 0x3), st));
  const auto t = rig.Trace();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].bytes, Padded({0x00, 0x88, 0x00, 0x06}, 65));
  EXPECT_EQ(t[1].bytes, Padded({0x00, 0x89, 0x00, 0x65, 0x99, 0x66, 0x33, 0x04}, 65));
  const FirmwareState s = rig.State();
  EXPECT_EQ(s.light.mode, 6);
  EXPECT_EQ(s.light.params, 0x65);
  EXPECT_EQ(s.light.brightness, 4);
  EXPECT_TRUE(st.paramsFollow);
}

TEST(LightCommands, SecondFamilyWiredAndReceiver) {
  {
    ProtocolRig rig(201, 0);
    LightProtocolState st;
    rig.StartTrace();
    EXPECT_TRUE(SendLightRow(rig.link(), 201, Mode(3, 0x7), st));
    const auto t = rig.Trace();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].pauseBefore, 16);
    EXPECT_EQ(t[0].bytes, Bytes({0x07, 0xF7, 0x02, 0x00, 0x02, 0x04, 0x03, 0x00}));
    EXPECT_EQ(rig.State().light.mode, 3);
  }
  {
    ProtocolRig rig(201, 2);
    LightProtocolState st;
    st.customSlot = 1;
    rig.StartTrace();
    EXPECT_TRUE(SendLightRow(rig.link(), 201, Mode(8, 0x100), st));
    const auto t = rig.Trace();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].bytes, Padded({0x00, 0xBB, 0xAA, 0x99, 0x88, 0xAA, 0x07, 0x00, 0x02, 0x04,
                                  0x03, 0x01}, 65));
    EXPECT_EQ(rig.State().light.mode, 8);
    EXPECT_EQ(rig.State().light.customSlot, 1);
    EXPECT_EQ(rig.State().errors, 0);
  }
}

TEST(LightCommands, CustomSlotOnlyForTheFirstFamily) {
  ProtocolRig rig(101, 0);
  LightProtocolState st;
  rig.StartTrace();
  EXPECT_TRUE(SelectCustomSlot(rig.link(), 101, Mode(8, 0x100), st, 2));
  EXPECT_EQ(rig.Trace().at(0).bytes, Bytes({0x07, 0xFF, 0xFF, 0x07, 0x04, 0x05, 0x00, 0x02}));
  EXPECT_EQ(rig.State().light.customSlot, 2);
  EXPECT_FALSE(SelectCustomSlot(rig.link(), 201, Mode(8, 0x100), st, 1));
  EXPECT_EQ(rig.Trace().size(), 1u);
}

std::map<uint32_t, int> Positions(int n) {
  std::map<uint32_t, int> m;
  for (int i = 0; i < n; ++i) m[static_cast<uint32_t>(i + 1)] = i;
  return m;
}

TEST(CustomColourUpload, EightChunksLandInTheKeyboard) {
  for (int type : {101, 201}) {  // sent for every family
    ProtocolRig rig(type, 0);
    std::vector<KeyColour> keys;
    for (int i = 0; i < 104; ++i) keys.push_back({i + 1, 0x010000 * i + 0x0100 * 2 + 3});
    rig.StartTrace();
    if (type == 101) {
      EXPECT_EQ(UploadCustomColours(rig.link(), rig.clock(), keys, Positions(104)), 8);
      EXPECT_EQ(rig.State().customColours, UploadImage(keys, Positions(104)));
      EXPECT_EQ(rig.State().errors, 0);
    } else {
      EXPECT_EQ(UploadCustomColours(rig.link(), rig.clock(), keys, Positions(104)), 8);
    }
    const auto t = rig.Trace();
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[7].bytes[2], 20);
    EXPECT_EQ(rig.clock().Pauses(), std::vector<int>(8, 1));
  }
}

TEST(CustomColourUpload, StopsAtTheFirstFailingChunk) {
  ProtocolRig rig(101, 0);
  rig.StartTrace();
  rig.kb->DisconnectAfterReports(3);
  EXPECT_EQ(UploadCustomColours(rig.link(), rig.clock(), {{1, 0xFF}}, Positions(10)), 3);
  // The fourth chunk fails with its retry; nothing after it.
  EXPECT_EQ(rig.Trace().size(), 3u);
  EXPECT_EQ(rig.clock().Pauses(), std::vector<int>({1, 1, 1, 1, 10}));
}

TEST(ColourStream, StartGoesOutOncePerRun) {
  ProtocolRig rig(101, 0);
  LightProtocolState st;
  const std::vector<KeyColour> keys = {{1, 0x112233}, {2, 0x445566}};
  rig.StartTrace();
  EXPECT_EQ(StreamKeyColours(rig.link(), rig.clock(), keys, Positions(2), st), 6);
  EXPECT_EQ(StreamKeyColours(rig.link(), rig.clock(), keys, Positions(2), st), 6);
  const auto t = rig.Trace();
  ASSERT_EQ(t.size(), 13u);
  EXPECT_EQ(t[0].bytes, Padded({0x00, 0xF0, 0xF4, 0x01}, 65));
  EXPECT_EQ(t[0].interfaceNumber, 1);
  for (size_t i = 1; i < t.size(); ++i) {
    EXPECT_EQ(t[i].interfaceNumber, 3);
    EXPECT_EQ(t[i].bytes[1], 0xF1);
  }
  const FirmwareState s = rig.State();
  EXPECT_EQ(s.streamFrame, StreamImage(keys, Positions(2)));
  EXPECT_EQ(s.streamChunks, 12);
  EXPECT_EQ(s.errors, 0);
}

TEST(ColourStream, WithoutStreamInterfaceStopsAtTheFirstChunk) {
  testing::SimLink sim;
  auto kb = std::make_shared<SimulatedKeyboard>(
      0x1209, 0x5100, L"Brumkey K100", 101, 0,
      std::vector<SimCollection>{{0x0001, 0x0006, 0}, {0xFF01, 0x01, 1}});
  InstallProtocolFirmware(*kb);
  sim.bus.Plug(kb);
  sim.link.Refresh();
  sim.link.SetSelectedDeviceType(101);
  LightProtocolState st;
  EXPECT_EQ(StreamKeyColours(sim.link, sim.clock, {{1, 5}}, Positions(1), st), 0);
  EXPECT_EQ(kb->Transfers().size(), 1u);  // the stream start only
  EXPECT_EQ(sim.clock.Pauses(), std::vector<int>({1}));
  EXPECT_TRUE(st.streamStarted);
}

}  // namespace
}  // namespace brumkey
