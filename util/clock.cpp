#include "util/clock.h"

#include <chrono>
#include <numeric>
#include <thread>

namespace brumkey {

void SystemClock::SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t SystemClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SystemClock& SystemClock::Instance() {
  static SystemClock clock;
  return clock;
}

void VirtualClock::SleepMs(int ms) {
  std::lock_guard lock(mu_);
  pauses_.push_back(ms);
  if (ms > 0) now_ += ms;
}

int64_t VirtualClock::NowMs() {
  std::lock_guard lock(mu_);
  return now_;
}

void VirtualClock::Advance(int64_t ms) {
  std::lock_guard lock(mu_);
  now_ += ms;
}

std::vector<int> VirtualClock::Pauses() const {
  std::lock_guard lock(mu_);
  return pauses_;
}

void VirtualClock::ClearPauses() {
  std::lock_guard lock(mu_);
  pauses_.clear();
}

int64_t VirtualClock::TotalPausedMs() const {
  std::lock_guard lock(mu_);
  return std::accumulate(pauses_.begin(), pauses_.end(), int64_t{0});
}

}  // namespace brumkey
