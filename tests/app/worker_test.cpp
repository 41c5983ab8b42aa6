// The worker cycle against the simulated keyboard: scans, the drop rule,
// FIFO order, the pauses, and key maps, light and colours landing in the
// keyboard's decoded state.
#include <gtest/gtest.h>

#include "app/worker.h"
#include "keys/key_functions.h"
#include "lighting/light_modes.h"
#include "protocol_fixture.h"
#include "worker_host.h"

namespace brumkey {
namespace {

using testing::ProtocolRig;
using testing::RecordingWorkerHost;

WorkerModel Model(int type) {
  WorkerModel m;
  m.deviceType = type;
  m.pageFlags = 0x07;
  for (int code = 4; code <= 0x65; ++code) {
    m.keyIndexByCode[code] = code - 4;
    m.lightIndexByCode[code] = code - 4;
  }
  return m;
}

struct WorkerRig {
  ProtocolRig rig;
  RecordingWorkerHost host;
  CommandWorker worker;
  WorkerRig(int type, int mode, bool plugged = true)
      : rig(type, mode), worker(rig.link(), rig.clock(), rig.store, host, rig.sim.config.modes, type) {
    if (!plugged) rig.sim.bus.Unplug(rig.kb);
    worker.SetModel(Model(type));
    worker.SetProfile(1);
  }
  // Queues `code`, runs one cycle and lets the UI take what was posted.
  void Run(int code) {
    worker.QueueCommand(code);
    worker.RunOnce();
    host.DrainUi();
  }
};

TEST(Worker, DeviceCommandsWithoutAKeyboardAreDroppedButFinished) {
  WorkerRig w(201, 0, /*plugged=*/false);
  w.Run(kCmdDeviceArrived);
  w.rig.StartTrace();
  for (int code : {4, 5, 6, 7, 8, 10, 13, 14, 15}) w.Run(code);
  EXPECT_TRUE(w.rig.Trace().empty());
  EXPECT_TRUE(w.rig.clock().Pauses().empty());
  EXPECT_EQ(w.host.finished.size(), 10u);
  EXPECT_EQ(w.host.ui.back(), "done 15 dropped");
  EXPECT_TRUE(w.worker.QueueEmpty());
}

TEST(Worker, ScanFindsTheKeyboardAndItsConnectionMode) {
  for (int mode : {0, 1, 2}) {
    WorkerRig w(201, mode);
    w.Run(kCmdFirstScan);
    EXPECT_EQ(w.host.ui.front(), "scan found=1 known=1 mode=" + std::to_string(mode));
    const ConnectionState s = w.worker.State();
    ASSERT_EQ(s.presentModes.size(), 1u);
    EXPECT_EQ(w.rig.sim.config.modes[s.presentModes[0]].mode, mode);
    EXPECT_EQ(w.rig.link().SelectedDeviceType(), 201);
  }
}

TEST(Worker, FirstScanRunsOnce) {
  WorkerRig w(101, 0);
  w.Run(kCmdFirstScan);
  w.Run(kCmdFirstScan);
  EXPECT_EQ(std::count(w.host.ui.begin(), w.host.ui.end(), "scan found=1 known=1 mode=0"), 1);
}

TEST(Worker, RemovalRescansAndLaterWorkIsDropped) {
  WorkerRig w(101, 0);
  w.Run(kCmdDeviceArrived);
  ASSERT_TRUE(w.worker.State().deviceKnown);
  w.rig.sim.bus.Unplug(w.rig.kb);
  w.Run(kCmdDeviceRemoved);
  EXPECT_FALSE(w.worker.State().deviceFound);
  EXPECT_EQ(w.worker.State().connectionMode, -1);
  w.Run(kCmdSendLight);
  EXPECT_EQ(w.host.ui.back(), "done 7 dropped");
  w.rig.sim.bus.Plug(w.rig.kb);
  w.Run(kCmdDeviceArrived);
  EXPECT_TRUE(w.worker.State().deviceKnown);
}

TEST(Worker, OneCommandPerCycleInOrderWithTheWindowDisabled) {
  WorkerRig w(101, 0);
  w.Run(kCmdDeviceArrived);
  w.host.ui.clear();
  w.host.finished.clear();
  const uint64_t a = w.worker.QueueCommand(kCmdSendKeyMap);
  const uint64_t b = w.worker.QueueCommand(kCmdSelectModel);
  w.worker.RunOnce();
  EXPECT_EQ(w.worker.QueueLength(), 1u);
  w.worker.RunOnce();
  w.host.DrainUi();
  EXPECT_EQ(w.host.ui, (std::vector<std::string>{"disable", "enable", "done 6 ran", "disable",
                                                 "enable", "done 4 ran"}));
  EXPECT_EQ(w.host.finished, (std::vector<uint64_t>{a, b}));
}

TEST(Worker, TransfersAreFollowedBy100Ms) {
  WorkerRig w(101, 0);
  w.Run(kCmdDeviceArrived);
  for (int code : {6, 7, 8, 10}) {
    w.rig.clock().ClearPauses();
    w.Run(code);
    ASSERT_FALSE(w.rig.clock().Pauses().empty());
    EXPECT_EQ(w.rig.clock().Pauses().back(), 100) << code;
  }
  w.rig.clock().ClearPauses();
  w.Run(kCmdSelectModel);
  EXPECT_TRUE(w.rig.clock().Pauses().empty());
}

TEST(Worker, IdleCyclesWithADeviceOnly) {
  WorkerRig w(101, 0);
  w.worker.RunOnce();
  EXPECT_EQ(w.host.idle, 0);
  w.Run(kCmdDeviceArrived);
  w.worker.RunOnce();
  EXPECT_EQ(w.host.idle, 1);
}

// The key view of the main window reduced to what reaches the worker.
class QueueingView : public KeyView {
 public:
  explicit QueueingView(CommandWorker& w) : worker_(w) {}
  void SetKeyCheck(int, bool) override {}
  void SetTip(int, int, const std::wstring&) override {}
  void ResetAllChecks() override {}
  void Deselect() override {}
  void Redraw() override {}
  void SelectPickerItem(int, int, int) override {}
  void ShowMessage(int, int) override {}
  std::wstring LangString(int) override { return L""; }
  void RequestKeyMapSend(int key) override {
    worker_.SetSingleKey(key);
    worker_.QueueCommand(kCmdSendKeyMap);
  }

 private:
  CommandWorker& worker_;
};

TEST(WorkerEndToEnd, KeyAssignmentsReachTheKeyboard) {
  struct Case { int type, mode; };
  for (Case c : {Case{101, 0}, {201, 0}, {201, 1}, {201, 2}}) {
    WorkerRig w(c.type, c.mode);
    w.Run(kCmdDeviceArrived);
    QueueingView view(w.worker);
    KeyFunctionModel keys(w.rig.store, view);
    keys.SetSelectedKey(0x04);
    PickerItem esc{0x29, 0, 0, L"Esc"};
    ASSERT_TRUE(keys.AssignPicked(&esc));
    w.worker.RunOnce();
    keys.SetSelectedKey(0x05);
    keys.DisableKey();
    w.worker.RunOnce();
    w.host.DrainUi();
    const FirmwareState s = w.rig.State();
    EXPECT_EQ(s.errors, 0) << s.lastError;
    if (c.type == 101) {
      EXPECT_EQ(s.keyTable[0], 0x29);
      EXPECT_EQ(s.keyTable[1], 0x20);
      EXPECT_EQ(s.keyTable[3], 0x20);
    } else {
      EXPECT_EQ(s.comboSlots[1], std::make_pair(uint8_t{0x04}, uint8_t{0x29})) << c.mode;
      EXPECT_EQ(s.comboSlots[2], std::make_pair(uint8_t{0x05}, uint8_t{0x01})) << c.mode;
    }
    // Back to default: the keyboard forgets it too.
    keys.SetSelectedKey(0x04);
    keys.RestoreKey();
    w.worker.RunOnce();
    if (c.type == 101)
      EXPECT_EQ(w.rig.State().keyTable[0], 0);
    else
      EXPECT_EQ(w.rig.State().comboSlots[1].first, 0);
  }
}

TEST(WorkerEndToEnd, LightAndCustomColours) {
  for (int type : {101, 201}) {
    WorkerRig w(type, 0);
    w.Run(kCmdDeviceArrived);
    LightDefaults d;
    d.deviceType = type;
    d.defaultLightMode = 3;
    d.defaultBrightness = 4;
    d.defaultSpeed = 2;
    for (int m : {1, 3, 8}) {
      LightSetting s;
      s.mode = m;
      s.config_func = m == 8 ? kCapCustom : 0x33;
      d.modes.push_back(s);
    }
    ASSERT_EQ(EnsureDefaultLightRows(w.rig.store, 1, d), 3);
    w.worker.SetLightMode(3);
    ASSERT_TRUE(SetLightBrightness(w.rig.store, 1, 3, 5));
    w.Run(kCmdSendLight);
    EXPECT_EQ(w.rig.State().light.brightness, type == 101 ? 5 : 4);  // second family sends b - 1
    EXPECT_EQ(w.rig.State().light.commands, 1);
    ASSERT_TRUE(w.rig.store.ReplaceCustomKeyLights({{0, 1, 128, 0x04, 0xFDA810}, {0, 1, 128, 0x06, 0x0000FF}}));
    w.Run(kCmdSendCustomColours);
    if (type == 101) {
      const auto& c = w.rig.State().customColours;
      EXPECT_EQ(std::vector<uint8_t>(c.begin(), c.begin() + 12),
                testing::Bytes({0x10, 0xA8, 0xFD, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0xFF}));
    }
  }
}

TEST(WorkerEndToEnd, ResetReloadAndFirmwareCheck) {
  WorkerRig w(201, 0);
  w.Run(kCmdDeviceArrived);
  w.rig.Assign(1, 0x09, kFnKey, 0x2A);  // stored but not on the keyboard
  w.Run(kCmdReloadPages);
  EXPECT_TRUE(w.rig.Rows(1).empty());  // pruned
  EXPECT_EQ(w.host.ui[w.host.ui.size() - 3], "reload");
  w.Run(kCmdFactoryReset);
  EXPECT_EQ(w.rig.State().resets, 1);
  EXPECT_NE(std::find(w.host.ui.begin(), w.host.ui.end(), "reload reset music"), w.host.ui.end());
  SetSimFirmwareVersion(*w.rig.kb, 0x0105);
  w.Run(kCmdCheckFirmware);
  EXPECT_EQ(w.host.worker.back(), "firmware 1 261");
}

}  // namespace
}  // namespace brumkey
