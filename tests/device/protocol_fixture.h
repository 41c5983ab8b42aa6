#pragma once
// A simulated keyboard with the protocol firmware behind a device link, and
// a real profile database in a temp folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/protocol.h"
#include "device/sim/firmware_model.h"
#include "sim_fixture.h"
#include "store/profile_store.h"
#include "support/temp_dir.h"

namespace brumkey::testing {

// One report as the keyboard saw it, with the time since the previous one
// (or since the trace start for the first).
struct Sent {
  int64_t pauseBefore = 0;
  SimReportKind kind = SimReportKind::Output;
  int interfaceNumber = 0;
  std::vector<uint8_t> bytes;
  bool ok = false;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int b : v) out.push_back(static_cast<uint8_t>(b));
  return out;
}

// `head` followed by zeros up to `len`.
inline std::vector<uint8_t> Padded(std::initializer_list<int> head, size_t len) {
  std::vector<uint8_t> out = Bytes(head);
  out.resize(len, 0);
  return out;
}

struct ProtocolRig {
  SimLink sim;
  test::TempDir dir;
  ProfileStore store;
  std::shared_ptr<SimulatedKeyboard> kb;
  int deviceType = 0;
  int64_t traceStart = 0;

  ProtocolRig(int type, int mode, bool protocolFirmware = true) : deviceType(type) {
    std::filesystem::create_directories(dir.path() / "db");
    EXPECT_TRUE(store.Open(dir.path().wstring() + L"/", L"K"));
    kb = sim.Plug(type, mode);
    if (protocolFirmware) InstallProtocolFirmware(*kb);
    Rescan();
  }

  void Rescan() {
    sim.link.Refresh();
    sim.link.SetSelectedDeviceType(deviceType);
  }

  DeviceLink& link() { return sim.link; }
  VirtualClock& clock() { return sim.clock; }

  void StartTrace() {
    kb->ClearTransfers();
    sim.clock.ClearPauses();
    traceStart = sim.clock.NowMs();
  }

  std::vector<Sent> Trace() const {
    std::vector<Sent> out;
    int64_t last = traceStart;
    for (const SimTransfer& t : kb->Transfers()) {
      out.push_back({t.atMs - last, t.kind, t.interfaceNumber, t.bytes, t.ok});
      last = t.atMs;
    }
    return out;
  }

  FirmwareState State() { return ReadFirmwareState(*kb); }

  int AddMacro(const std::wstring& name, int playTimes, const std::vector<MacroEvent>& events) {
    const int id = store.AddMacro(name);
    MacroInfo info;
    store.GetMacro(id, info);
    info.play_times = playTimes;
    store.UpdateMacroPlayback(info);
    std::vector<MacroEvent> ev = events;
    for (size_t i = 0; i < ev.size(); ++i) {
      ev[i].macro_id = id;
      ev[i].record_index = static_cast<int>(i);
    }
    store.ReplaceMacroEvents(id, ev);
    return id;
  }

  void Assign(int profile, int keyCode, int type, int value) {
    KeyFunction kf;
    kf.profile = profile;
    kf.key_code = keyCode;
    kf.macro_type = type;
    kf.macro_value = value;
    EXPECT_GT(store.SaveKeyFunction(kf), 0);
  }

  std::vector<KeyFunction> Rows(int profile) {
    std::vector<KeyFunction> rows;
    store.LoadKeyFunctions(profile, 0, rows);
    return rows;
  }
};

// Press then release of each virtual key, `delay` ms after every event.
inline std::vector<MacroEvent> Taps(const std::vector<int>& vks, int delay) {
  std::vector<MacroEvent> out;
  for (int vk : vks) {
    MacroEvent p;
    p.type = 2;
    p.value = vk;
    p.delay_time = delay;
    out.push_back(p);
    MacroEvent r = p;
    r.type = 3;
    out.push_back(r);
  }
  return out;
}

}  // namespace brumkey::testing
