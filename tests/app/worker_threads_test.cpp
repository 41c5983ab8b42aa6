// The worker on its own thread, raced by a UI thread queueing commands and
// an audio thread sending music levels through the same link.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/worker.h"
#include "protocol_fixture.h"
#include "worker_host.h"

namespace brumkey {
namespace {

using testing::ProtocolRig;
using testing::RecordingWorkerHost;

TEST(WorkerThreads, StartStopAndCommandsFromAnotherThread) {
  ProtocolRig rig(201, 0);
  RecordingWorkerHost host;
  CommandWorker worker(rig.link(), rig.clock(), rig.store, host, rig.sim.config.modes, 201);
  WorkerModel m;
  m.deviceType = 201;
  worker.SetModel(m);
  worker.Start();
  worker.Start();  // already running: nothing
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    const Feature8 level = MakeFeature({0x23, 0x45, 0x67, 0x89, 0x40});
    while (!stop) {
      rig.link().SendFeature(level.data());
      std::this_thread::yield();
    }
  });
  constexpr int kRounds = 40;
  std::vector<uint64_t> tickets;
  for (int i = 0; i < kRounds; ++i) {
    const int codes[] = {kCmdDeviceArrived, kCmdSendKeyMap, kCmdSendLight, kCmdDeviceRemoved,
                         kCmdSelectModel};
    tickets.push_back(worker.QueueCommand(codes[i % 5]));
    worker.SetSingleKey(i % 3 ? 0 : 0x04);
    (void)worker.State();
    host.DrainUi();
  }
  for (int spins = 0; host.finished.size() < tickets.size() && spins < 20000; ++spins) {
    host.DrainUi();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stop = true;
  audio.join();
  worker.Stop();
  EXPECT_FALSE(worker.Running());
  host.DrainUi();
  EXPECT_EQ(host.finished, tickets);
  EXPECT_EQ(rig.State().musicLevel, 0x40);
  EXPECT_EQ(rig.sim.bus.StaleHandleUses(), 0);
}

}  // namespace
}  // namespace brumkey
