#pragma once
// Every pause and time read of device, worker, lighting and update code goes
// through a Clock so tests can run protocol timing without sleeping.
#include <cstdint>
#include <mutex>
#include <vector>

namespace brumkey {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(int ms) = 0;
  virtual int64_t NowMs() = 0;
};

// Real time (monotonic).
class SystemClock final : public Clock {
 public:
  void SleepMs(int ms) override;
  int64_t NowMs() override;
  static SystemClock& Instance();
};

// Advances at once and records every pause; safe to share between threads.
class VirtualClock final : public Clock {
 public:
  void SleepMs(int ms) override;
  int64_t NowMs() override;
  void Advance(int64_t ms);
  std::vector<int> Pauses() const;
  void ClearPauses();
  int64_t TotalPausedMs() const;

 private:
  mutable std::mutex mu_;
  int64_t now_ = 0;
  std::vector<int> pauses_;
};

}  // namespace brumkey
