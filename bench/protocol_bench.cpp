// Protocol overhead of a full second-family key-map download (12 macros,
// 10 remapped keys) against the simulated keyboard: host CPU per report with
// a virtual clock, and real elapsed time against the sum of the pauses the
// protocol requires, beside the same pause list slept alone.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>

#include "device/keymap_download.h"
#include "device/sim/firmware_model.h"
#include "device/sim/simulated_hid_bus.h"
#include "keys/key_codes.h"
#include "store/profile_store.h"

namespace brumkey {
namespace {

constexpr int kType = 201;

// A database with 12 macro keys (20 events each) and 10 remapped keys.
struct Fixture {
  std::filesystem::path dir;
  ProfileStore store;

  Fixture() {
    std::random_device rd;
    dir = std::filesystem::temp_directory_path() / ("brumkey-bench-" + std::to_string(rd()));
    std::filesystem::create_directories(dir / "db");
    store.Open(dir.wstring() + L"/", L"K");
    for (int m = 0; m < 12; ++m) {
      const int id = store.AddMacro(L"M" + std::to_wstring(m));
      std::vector<MacroEvent> ev;
      for (int i = 0; i < 20; ++i) {
        MacroEvent e;
        e.macro_id = id;
        e.type = i % 2 ? kEventRelease : kEventPress;
        e.value = 'A' + (i / 2 + m) % 26;
        e.delay_time = 15 + 10 * i;
        e.record_index = i;
        ev.push_back(e);
      }
      store.ReplaceMacroEvents(id, ev);
      KeyFunction kf;
      kf.profile = 1;
      kf.key_code = 0x04 + m;
      kf.macro_type = kFnMacro;
      kf.macro_value = id;
      store.SaveKeyFunction(kf);
    }
    for (int k = 0; k < 10; ++k) {
      KeyFunction kf;
      kf.profile = 1;
      kf.key_code = 0x1E + k;
      kf.macro_type = kFnKey;
      kf.macro_value = 0x29 + k;
      store.SaveKeyFunction(kf);
    }
  }
  ~Fixture() {
    store.Close();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Fixture& Data() {
  static Fixture f;
  return f;
}

// A keyboard fresh from the factory behind a link on `clock`.
struct Rig {
  SimulatedHidBus bus;
  DeviceLink link;
  std::shared_ptr<SimulatedKeyboard> kb;
  explicit Rig(Clock& clock) : bus(&clock), link(bus, clock) {
    link.RegisterKnownInterface(0x1209, 0x5201, L"Brumkey K201", kType, 0, L"VID_1209&PID_5201");
    kb = std::make_shared<SimulatedKeyboard>(0x1209, 0x5201, L"Brumkey K201", kType, 0,
                                             SimulatedKeyboard::StandardCollections(kType));
    bus.Plug(kb);
    link.Refresh();
    link.SetSelectedDeviceType(kType);
  }
  void Reset() {
    InstallProtocolFirmware(*kb);
    kb->ClearTransfers();
  }
};

KeyMapRequest Request() {
  KeyMapRequest r;
  r.deviceType = kType;
  r.profile = 1;
  return r;
}

// The pauses the protocol asks for, from a dry run on a virtual clock.
const std::vector<int>& RequiredPauses() {
  static const std::vector<int> pauses = [] {
    VirtualClock clock;
    Rig rig(clock);
    rig.Reset();
    DownloadKeyMapping(rig.link, clock, Data().store, Request());
    return clock.Pauses();
  }();
  return pauses;
}

int64_t Sum(const std::vector<int>& v) {
  int64_t s = 0;
  for (int x : v) s += x;
  return s;
}

// Host work only: every pause returns at once.
void BM_DownloadCpuPerReport(benchmark::State& state) {
  VirtualClock clock;
  Rig rig(clock);
  size_t reports = 0;
  for (auto _ : state) {
    state.PauseTiming();
    rig.Reset();
    state.ResumeTiming();
    DownloadKeyMapping(rig.link, clock, Data().store, Request());
    state.PauseTiming();
    reports += rig.kb->Transfers().size();
    state.ResumeTiming();
  }
  state.counters["reports"] = benchmark::Counter(static_cast<double>(reports) / state.iterations());
  state.counters["cpu_per_report"] =
      benchmark::Counter(static_cast<double>(reports), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DownloadCpuPerReport)->Unit(benchmark::kMicrosecond);

double MsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// The real download: elapsed / required pauses is the protocol overhead;
// the same pauses slept alone (the baseline) show what sleeping itself costs.
void BM_DownloadRealTime(benchmark::State& state) {
  Rig rig(SystemClock::Instance());
  const std::vector<int>& pauses = RequiredPauses();
  const int64_t required = Sum(pauses);
  double downloadMs = 0, baselineMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    rig.Reset();
    auto t0 = std::chrono::steady_clock::now();
    for (int ms : pauses) SystemClock::Instance().SleepMs(ms);
    baselineMs += MsSince(t0);
    state.ResumeTiming();
    t0 = std::chrono::steady_clock::now();
    DownloadKeyMapping(rig.link, SystemClock::Instance(), Data().store, Request());
    downloadMs += MsSince(t0);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["pause_sum_ms"] = static_cast<double>(required);
  state.counters["ratio_to_pauses"] = downloadMs / n / static_cast<double>(required);
  state.counters["baseline_ratio"] = baselineMs / n / static_cast<double>(required);
  state.counters["ratio_to_baseline"] = downloadMs / baselineMs;
}
BENCHMARK(BM_DownloadRealTime)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
}  // namespace brumkey

BENCHMARK_MAIN();
