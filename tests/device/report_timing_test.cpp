#include <gtest/gtest.h>

#include <functional>

#include "tests/device/sim_fixture.h"

namespace brumkey {
namespace {

using testing::SimLink;

enum class Op { Paced, Feature, Write, Stream, Zero };

bool RunOp(DeviceLink& link, Op op) {
  uint8_t buf[65];
  for (int i = 0; i < 65; ++i) buf[i] = static_cast<uint8_t>(i + 1);
  switch (op) {
    case Op::Paced: return link.SendFeaturePaced(buf);
    case Op::Feature: return link.SendFeature(buf);
    case Op::Write: return link.WriteReport(buf);
    case Op::Stream: return link.WriteStreamReport(buf);
    case Op::Zero: return link.WriteReportZero(buf);
  }
  return false;
}

TEST(ReportTiming, PacingRetriesAndResults) {
  struct Case {
    const char* name;
    Op op;
    int failures;  // transfers the keyboard refuses
    bool result;
    std::vector<int> pauses;
    std::vector<bool> transfersOk;
  } cases[] = {
      {"paced", Op::Paced, 0, true, {16}, {true}},
      {"paced refused", Op::Paced, 1, false, {16}, {false}},
      {"feature", Op::Feature, 0, true, {}, {true}},
      {"feature refused", Op::Feature, 1, false, {}, {false}},
      {"write", Op::Write, 0, true, {}, {true}},
      {"write retried", Op::Write, 1, true, {10}, {false, true}},
      {"write lost", Op::Write, 2, false, {10}, {false, false}},
      {"stream retried", Op::Stream, 1, true, {10}, {false, true}},
      {"stream lost", Op::Stream, 2, false, {10}, {false, false}},
      {"zero", Op::Zero, 0, true, {}, {true}},
      {"zero retried", Op::Zero, 1, true, {32}, {false, true}},
      {"zero lost", Op::Zero, 2, false, {32}, {false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink s;
    auto kb = s.Plug(201, 0);
    s.link.Refresh();
    s.link.SetSelectedDeviceType(201);
    kb->FailNextTransfers(c.failures);
    s.clock.ClearPauses();

    EXPECT_EQ(RunOp(s.link, c.op), c.result);
    EXPECT_EQ(s.clock.Pauses(), c.pauses);
    auto t = kb->Transfers();
    ASSERT_EQ(t.size(), c.transfersOk.size());
    for (size_t i = 0; i < t.size(); ++i) {
      EXPECT_EQ(t[i].ok, c.transfersOk[i]) << i;
      EXPECT_EQ(t[i].interfaceNumber, c.op == Op::Stream ? 3 : 1);
    }
    // The keyboard sees the retry exactly one delay after the first attempt.
    if (t.size() == 2) EXPECT_EQ(t[1].pauseMs, c.pauses.at(0));
  }
}

TEST(ReportTiming, BytesOnTheWire) {
  SimLink s;
  auto kb = s.Plug(201, 0);
  s.link.Refresh();
  s.link.SetSelectedDeviceType(201);
  ASSERT_TRUE(RunOp(s.link, Op::Zero));
  ASSERT_TRUE(RunOp(s.link, Op::Write));
  ASSERT_TRUE(RunOp(s.link, Op::Paced));
  auto t = kb->Transfers();
  ASSERT_EQ(t.size(), 3u);

  // Report id 0, then the caller's 64 bytes.
  ASSERT_EQ(t[0].bytes.size(), 65u);
  EXPECT_EQ(t[0].bytes[0], 0);
  EXPECT_EQ(t[0].bytes[1], 1);
  EXPECT_EQ(t[0].bytes[64], 64);
  EXPECT_EQ(t[0].kind, SimReportKind::Output);
  // The caller's 65 bytes as they are.
  ASSERT_EQ(t[1].bytes.size(), 65u);
  EXPECT_EQ(t[1].bytes[0], 1);
  EXPECT_EQ(t[1].bytes[64], 65);
  // 8 feature bytes, report id first.
  EXPECT_EQ(t[2].kind, SimReportKind::FeatureSet);
  EXPECT_EQ(t[2].bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(t[2].pauseMs, 16);
}

TEST(ReportTiming, FeatureReadsComeFromTheReplyQueue) {
  SimLink s;
  auto kb = s.Plug(201, 0);
  s.link.Refresh();
  s.link.SetSelectedDeviceType(201);
  kb->QueueFeatureReply({7, 0xFB, 1, 2, 3, 4, 5, 6});

  uint8_t buf[8] = {7};
  EXPECT_EQ(s.link.GetFeature(buf), 8);
  EXPECT_EQ(buf[1], 0xFB);
  EXPECT_EQ(buf[7], 6);
  uint8_t again[8] = {7};
  EXPECT_EQ(s.link.GetFeature(again), -1);  // nothing left to answer
  kb->QueueFeatureReply({7, 9});
  kb->FailNextTransfers(1);
  EXPECT_EQ(s.link.GetFeature(again), -1);
  EXPECT_TRUE(s.clock.Pauses().empty());
}

TEST(ReportTiming, NothingGoesOutWithoutAnOpenInterface) {
  SimLink s;
  auto kb = s.Plug(201, 0);
  uint8_t buf[65] = {};
  // Before any refresh, and after one with no type selected (no command interface).
  for (int step = 0; step < 2; ++step) {
    EXPECT_FALSE(s.link.SendFeaturePaced(buf));
    EXPECT_FALSE(s.link.SendFeature(buf));
    EXPECT_FALSE(s.link.WriteReport(buf));
    EXPECT_FALSE(s.link.WriteReportZero(buf));
    EXPECT_EQ(s.link.GetFeature(buf), -1);
    s.link.Refresh();
  }
  // The stream interface needs no type.
  EXPECT_TRUE(s.link.WriteStreamReport(buf));
  EXPECT_EQ(kb->Transfers().size(), 1u);
  EXPECT_TRUE(s.clock.Pauses().empty());
}

TEST(ReportTiming, ObserverSeesPausesAndTransfersInOrder) {
  SimLink s;
  auto kb = s.Plug(201, 0);
  s.link.Refresh();
  s.link.SetSelectedDeviceType(201);
  std::vector<std::pair<LinkEvent::Kind, int>> seen;
  s.link.SetObserver([&](const LinkEvent& e) { seen.push_back({e.kind, e.result}); });
  kb->FailNextTransfers(1);
  RunOp(s.link, Op::Write);
  RunOp(s.link, Op::Paced);
  using K = LinkEvent::Kind;
  const std::vector<std::pair<K, int>> expected = {
      {K::Write, -1}, {K::Pause, 10}, {K::Write, 65}, {K::Pause, 16}, {K::FeatureSend, 8}};
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace brumkey
