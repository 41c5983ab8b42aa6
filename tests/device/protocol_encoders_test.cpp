// Byte-exact checks of the report builders that need no keyboard.
#include <gtest/gtest.h>

#include <vector>

#include "device/keymap_download.h"
#include "device/light_commands.h"
#include "device/protocol.h"
#include "protocol_fixture.h"

namespace brumkey {
namespace {

using testing::Bytes;
using testing::Padded;

std::vector<uint8_t> V(const Report65& r) { return {r.begin(), r.end()}; }
std::vector<uint8_t> V(const Feature8& r) { return {r.begin(), r.end()}; }

TEST(ProtocolFamily, BoundariesOfTheCommandSets) {
  struct Case { int type; int family; };
  for (Case c : {Case{1, 1}, {101, 1}, {200, 1}, {201, 2}, {250, 2}, {299, 2}, {300, 0}, {900, 0}})
    EXPECT_EQ(CommandFamily(c.type), c.family) << c.type;
}

TEST(ProtocolFraming, TableChunkCarriesLengthOffsetAndZeroFill) {
  const uint8_t payload[3] = {0xAA, 0xBB, 0xCC};
  const Report65 r = MakeTableChunk(0x8B, 3, 0x1234, payload, 3);
  EXPECT_EQ(V(r), Padded({0x00, 0x8B, 0x03, 0x34, 0x12, 0xAA, 0xBB, 0xCC}, 65));
}

TEST(ProtocolFraming, ReceiverCommandStartsWithTheSignature) {
  const Receiver64 r = MakeReceiverCommand({0xAA, 0x01});
  std::vector<uint8_t> got(r.begin(), r.end());
  EXPECT_EQ(got, Padded({0xBB, 0xAA, 0x99, 0x88, 0xAA, 0x01}, 64));
}

TEST(DelayByte, Table) {
  struct Case { bool release; int ms; int byte; };
  const Case cases[] = {
      {false, 10, 0x01},    {true, 10, 0x81},     {false, 300, 0x1E},   {false, 500, 0x2A},
      {false, 5000, 0x65},  {false, 40000, 0x7F}, {false, -5, 0x01},    {true, -5, 0x81},
      {false, 0, 0x01},     {false, 11, 0x01},    {false, 20, 0x02},    {false, 310, 0x1F},
      {false, 311, 0x26},   {false, 1550, 0x3F},  {false, 1551, 0x4F},  {false, 3100, 0x5F},
      {false, 3101, 0x63},  {false, 31000, 0x7F}, {true, 5000, 0xE5},   {true, 2000, 0xD4},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EncodeDelayByte(c.release, c.ms), c.byte) << c.release << " " << c.ms;
}

TEST(FirstFamilyMacro, BlockEncodesPressAndReleaseDelays) {
  std::vector<MacroEvent> ev(3);
  ev[0] = {0, 0, 2, 0, 'A', 0x0123, L""};
  ev[1] = {0, 0, 1, 1, 0, 500, L""};  // a pause row: counted, not encoded
  ev[2] = {0, 0, 3, 2, 'A', 40000, L""};  // clamped to 31000 = 0x7918
  EXPECT_EQ(FirstFamilyMacroBlock(0, ev),
            Bytes({0x01, 0x03, 0x04, 0x23, 0x81, 0x04, 0x98, 0x79}));
  EXPECT_EQ(FirstFamilyMacroBlock(300, {})[0], 255);
}

// Chunk count, length bytes and offsets for macros of n events.
TEST(FirstFamilyMacro, ChunkLayoutByEventCount) {
  struct Case { int events; std::vector<int> lengths; };
  const Case cases[] = {
      {0, {3}},
      {5, {18}},
      {19, {59, 0}},       // total 60: the second chunk declares nothing
      {20, {59, 3}},
      {38, {59, 57}},      // the largest the old layout covered
      {39, {59, 59, 1}},   // 119 bytes in 59-byte chunks
      {40, {59, 59, 4}},
      {80, {59, 59, 59, 59, 6}},
  };
  for (const Case& c : cases) {
    std::vector<MacroEvent> ev;
    for (int i = 0; i < c.events; ++i) ev.push_back({0, 0, i % 2 ? 3 : 2, i, 'B', i, L""});
    const auto block = FirstFamilyMacroBlock(1, ev);
    const auto chunks = FirstFamilyMacroChunks(block, c.events, 7);
    ASSERT_EQ(chunks.size(), c.lengths.size()) << c.events;
    std::vector<uint8_t> carried;
    for (size_t k = 0; k < chunks.size(); ++k) {
      EXPECT_EQ(chunks[k][0], 0x00);
      EXPECT_EQ(chunks[k][1], 0x8E);
      EXPECT_EQ(chunks[k][2], c.lengths[k]) << c.events << " chunk " << k;
      EXPECT_EQ(chunks[k][3] | (chunks[k][4] << 8), 59 * static_cast<int>(k));
      EXPECT_EQ(chunks[k][5], 7);
      carried.insert(carried.end(), chunks[k].begin() + 6, chunks[k].end());
    }
    // Every block byte travels, and nothing but zeros after it.
    ASSERT_GE(carried.size(), block.size());
    EXPECT_TRUE(std::equal(block.begin(), block.end(), carried.begin())) << c.events;
    EXPECT_TRUE(std::all_of(carried.begin() + block.size(), carried.end(),
                            [](uint8_t b) { return b == 0; }));
  }
}

TEST(FirstFamilyMacro, ShortcutReport) {
  // Ctrl+C: Ctrl down, C down, C up, Ctrl up.
  EXPECT_EQ(V(FirstFamilyShortcutReport(2, 4)),
            Padded({0x00, 0x8E, 12, 0, 0, 4, 0x01, 4, 0xE0, 0x00, 0x80, 0x06, 0x00, 0x80, 0x06,
                    0x80, 0x00, 0xE0, 0x80, 0x00},
                   65));
  // Alt, Space, then X: six steps.
  EXPECT_EQ(FirstFamilyShortcutReport(13, 0)[7], 6);
}

TEST(FirstFamilyKeyTable, EntriesByType) {
  const std::map<uint32_t, int> index = {{0x29, 3}, {0x2A, 0}, {0x04, 1}, {0x05, 2},
                                         {0x06, 179}, {0x07, 180}, {0x08, 5}};
  std::vector<KeyFunction> rows(6);
  rows[0].key_code = 0x29, rows[0].macro_type = 1, rows[0].macro_value = 1;      // disabled
  rows[1].key_code = 0x2A, rows[1].macro_type = 2, rows[1].macro_value = 0x129;  // low byte
  rows[2].key_code = 0x04, rows[2].macro_type = 3, rows[2].macro_value = 9;      // slot 4
  rows[3].key_code = 0x05, rows[3].macro_type = 7, rows[3].macro_value = 1;      // no slot
  rows[4].key_code = 0x06, rows[4].macro_type = 6, rows[4].macro_value = 3;      // media: none
  rows[5].key_code = 0x07, rows[5].macro_type = 2, rows[5].macro_value = 0x10;   // past 180
  const auto t = FirstFamilyKeyTable(rows, index, {{0x04, 4}});
  EXPECT_EQ(t[6], 0x00);
  EXPECT_EQ(t[7], 0x20);
  EXPECT_EQ(t[0], 0x29);
  EXPECT_EQ(t[1], 0x20);
  EXPECT_EQ(t[2], 0x04);
  EXPECT_EQ(t[3], 0x40);
  EXPECT_EQ(t[4], 0x00);
  EXPECT_EQ(t[5], 0x00);
  EXPECT_EQ(t[358], 0x00);
  const int nonzero = static_cast<int>(std::count_if(t.begin(), t.end(), [](uint8_t b) { return b; }));
  EXPECT_EQ(nonzero, 5);
}

TEST(SecondFamilyBlock, MacroShortcutAndReports) {
  std::vector<MacroEvent> ev = {{0, 0, 2, 0, 'A', 10, L""}, {0, 0, 1, 1, 0, 99, L""},
                                {0, 0, 3, 2, 'A', 5000, L""}};
  const SecondFamilyBlock b = SecondFamilyMacroBlock(3, 0x2C, 2, ev);
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 9),
            Bytes({0x01, 0x03, 0x2C, 0x02, 0x04, 0x01, 0x04, 0xE5, 0x00}));
  const SecondFamilyBlock s = SecondFamilyShortcutBlock(1, 0x2C, 15);  // Alt+F4
  EXPECT_EQ(std::vector<uint8_t>(s.begin(), s.begin() + 13),
            Bytes({0x01, 0x01, 0x2C, 0x01, 0xE2, 0x01, 0x3D, 0x01, 0x3D, 0x81, 0xE2, 0x81, 0x00}));
  const auto reports = SecondFamilyBlockReports(s);
  ASSERT_EQ(reports.size(), 28u);
  EXPECT_EQ(V(reports[0]), Bytes({0x07, 0xF1, 0x01, 0x01, 0x2C, 0x01, 0xE2, 0x01}));
  EXPECT_EQ(V(reports[1]), Bytes({0x07, 0x00, 0x3D, 0x01, 0x3D, 0x81, 0xE2, 0x81}));
  EXPECT_EQ(V(reports[27]), Bytes({0x07, 0x00, 0, 0, 0, 0, 0, 0}));
}

TEST(SecondFamilyBlock, LongMacroStopsAtTheBlockEnd) {
  std::vector<MacroEvent> ev;
  for (int i = 0; i < 100; ++i) ev.push_back({0, 0, 2, i, 'C', 0, L""});
  const SecondFamilyBlock b = SecondFamilyMacroBlock(1, 4, 1, ev);
  EXPECT_EQ(b[166], 0x06);  // event 82 is the last one that fits
  EXPECT_EQ(b[167], 0x01);
}

TEST(CombinationSlot, Report) {
  EXPECT_EQ(V(CombinationSlotReport(2, 0x29, 0x2A)), Bytes({0x07, 0xFA, 0x01, 0x02, 0x29, 0x01, 0x2A, 0x01}));
  EXPECT_EQ(V(CombinationSlotReport(10, 0, 0)), Bytes({0x07, 0xFA, 0x01, 0x0A, 0x00, 0x01, 0x00, 0x01}));
}

LightSetting Row(int mode, int brightness, int speed, int direction, int colorful, int colorindex,
                 int colour, int func = 0) {
  LightSetting r;
  r.mode = mode;
  r.brightness = brightness;
  r.speed = speed;
  r.direction = direction;
  r.colorful = colorful;
  r.colorindex = colorindex;
  r.color_value = colour;
  r.config_func = func;
  return r;
}

TEST(LightReports, FirstFamily) {
  EXPECT_EQ(V(FirstFamilyModeReport(6)), Padded({0x00, 0x88, 0x00, 0x06}, 65));
  EXPECT_EQ(V(FirstFamilyParamsReport(Row(3, 4, 5, 2, 1, 0, 0x00336699))),
            Padded({0x00, 0x89, 0x00, 0x65, 0x99, 0x66, 0x33, 0x04}, 65));
  EXPECT_EQ(V(FirstFamilyParamsReport(Row(3, 9, 0x1F, 7, 0, 0, 0xFF))),
            Padded({0x00, 0x89, 0x00, 0x3F, 0xFF, 0x00, 0x00, 0x09}, 65));
}

TEST(LightReports, SecondFamilyWired) {
  struct Case { LightSetting row; int slot; std::vector<uint8_t> bytes; };
  const Case cases[] = {
      {Row(3, 5, 4, 2, 1, 6, 0), 2, Bytes({0x07, 0xF7, 0x02, 0x06, 0x02, 0x03, 0x04, 0x00})},
      {Row(3, 5, 4, 2, 1, 6, 0, 0x100), 2, Bytes({0x07, 0xF7, 0x02, 0x06, 0x02, 0x03, 0x04, 0x02})},
      {Row(4, 5, 4, 2, 0, 1, 0x00336699), 0, Bytes({0x07, 0xF7, 0x03, 0x01, 0x99, 0x66, 0x04, 0x33})},
      {Row(2, 0, 0, 1, 1, 0, 0), 0, Bytes({0x07, 0xF7, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00})},
      {Row(9, 3, 4, 0, 1, 0, 0), 0, Bytes({0x07, 0xF7, 0x08, 0x00, 0x00, 0x04, 0x02, 0x00})},
  };
  for (const Case& c : cases) EXPECT_EQ(V(SecondFamilyLightFeature(c.row, c.slot)), c.bytes);
}

TEST(LightReports, ReceiverAndCustomSlot) {
  const Receiver64 r = ReceiverLightCommand(Row(4, 5, 4, 2, 0, 1, 0x00336699, 0x100), 1);
  EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.end()),
            Padded({0xBB, 0xAA, 0x99, 0x88, 0xAA, 0x03, 0x01, 0x99, 0x66, 0x04, 0x33}, 64));
  EXPECT_EQ(V(CustomSlotFeature(Row(8, 4, 3, 0, 0, 0, 0, 0x100), 2)),
            Bytes({0x07, 0xFF, 0xFF, 0x07, 0x04, 0x03, 0x00, 0x02}));
}

TEST(CustomColours, UploadImageAndChunks) {
  const std::map<uint32_t, int> index = {{0x29, 0}, {0x04, 149}, {0x05, 150}};
  const auto img = UploadImage({{0x29, 0xFDA810}, {0x04, 0x010203}, {0x05, 0xFFFFFF}, {0x06, 1}}, index);
  EXPECT_EQ(std::vector<uint8_t>(img.begin(), img.begin() + 4), Bytes({0x10, 0xA8, 0xFD, 0xFF}));
  EXPECT_EQ(std::vector<uint8_t>(img.begin() + 596, img.end()), Bytes({3, 2, 1, 0xFF}));
  const auto chunks = UploadChunks(img);
  ASSERT_EQ(chunks.size(), 8u);
  EXPECT_EQ(chunks[0][2], 60);
  EXPECT_EQ(chunks[7][2], 20);
  EXPECT_EQ(chunks[7][3], 0xA4);  // 420
  EXPECT_EQ(chunks[7][4], 0x01);
}

TEST(CustomColours, StreamImageAndChunks) {
  const std::map<uint32_t, int> index = {{0x29, 1}, {0x04, 199}, {0x05, 200}};
  const auto img = StreamImage({{0x29, 0x00332211}, {0x04, 0x0000FF}, {0x05, 0xFFFFFF}}, index);
  EXPECT_EQ(std::vector<uint8_t>(img.begin(), img.begin() + 6), Bytes({0, 0, 0, 0x11, 0x22, 0x33}));
  EXPECT_EQ(img[597], 0xFF);
  const auto chunks = StreamChunks(img);
  ASSERT_EQ(chunks.size(), 6u);
  EXPECT_EQ(chunks[5][1], 0xF1);
  EXPECT_EQ(chunks[5][2], 30);
  EXPECT_EQ(chunks[5][3] | (chunks[5][4] << 8), 300);
  EXPECT_EQ(V(StreamStartReport()), Padded({0x00, 0xF0, 0xF4, 0x01}, 65));
}

}  // namespace
}  // namespace brumkey
