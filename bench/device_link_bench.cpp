// Refresh with both shipped models attached, against the bare simulated
// enumeration underneath it: the ratio is what the link's matching, opening
// and bookkeeping cost on top of the bus.
#include <benchmark/benchmark.h>

#include <string>

#include "app/device_config.h"
#include "device/device_link.h"
#include "device/sim/simulated_hid_bus.h"
#include "util/text.h"

namespace {

using namespace brumkey;

struct Setup {
  VirtualClock clock;
  SimulatedHidBus bus{&clock};
  DeviceLink link{bus, clock};
  bool ok = false;

  Setup() {
    DeviceConfig config;
    ok = LoadDeviceConfig(Utf8ToWide(BRUMKEY_CONFIG_XML), config, [this](const DeviceEntry& e) {
      link.RegisterKnownInterface(e.vid, e.pid, e.name, e.deviceType, e.mode, e.hidInterface);
    });
    for (const DeviceEntry& k : config.keyboards)
      bus.Plug(SimulatedKeyboard::FromConfig(config.modes, k.deviceType, 0));
    ok = ok && bus.Plugged().size() == 2;
  }
};

void BM_SimulatedEnumerate(benchmark::State& state) {
  Setup s;
  if (!s.ok) state.SkipWithError("config.xml not loaded");
  for (auto _ : state) benchmark::DoNotOptimize(s.bus.Enumerate());
}
BENCHMARK(BM_SimulatedEnumerate);

void BM_Refresh(benchmark::State& state) {
  Setup s;
  if (!s.ok) state.SkipWithError("config.xml not loaded");
  for (auto _ : state) {
    s.link.Refresh();
    benchmark::DoNotOptimize(s.link.OpenInterfaceCount());
  }
  if (s.link.OpenInterfaceCount() != 2) state.SkipWithError("expected two command interfaces");
}
BENCHMARK(BM_Refresh);

}  // namespace

BENCHMARK_MAIN();
