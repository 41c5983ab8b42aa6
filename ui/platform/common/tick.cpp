// The process's periodic tick: one thread sleeping to absolute deadlines on a
// timerfd, calling each event's callback on that thread.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "ui/platform/common/platform.h"

namespace kelvo::platform {
namespace {

using Clock = std::chrono::steady_clock;

struct TickEvent {
  UINT id;
  UINT period;
  bool periodic;
  LPTIMECALLBACK cb;
  DWORD_PTR user;
  Clock::time_point due;
};

class TickThread {
 public:
  static TickThread& Get() {
    static TickThread t;
    return t;
  }

  UINT Add(UINT delay, LPTIMECALLBACK cb, DWORD_PTR user, bool periodic) {
    std::lock_guard lk(mu_);
    if (!Start()) return 0;
    UINT id = next_++;
    if (next_ == 0) next_ = 1;
    events_[id] = TickEvent{id, std::max(1u, delay), periodic, cb, user,
                            Clock::now() + std::chrono::milliseconds(std::max(1u, delay))};
    Kick();
    return id;
  }

  bool Remove(UINT id) {
    std::unique_lock lk(mu_);
    if (!events_.erase(id)) return false;
    // Wait for a callback of this event in flight, unless it is asking itself.
    if (std::this_thread::get_id() != thread_.get_id())
      idle_.wait(lk, [&] { return running_ != id; });
    Kick();
    return true;
  }

  ~TickThread() {
    {
      std::lock_guard lk(mu_);
      stop_ = true;
      Kick();
    }
    if (thread_.joinable()) thread_.join();
    if (timerFd_ >= 0) ::close(timerFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
  }

 private:
  bool Start() {
    if (thread_.joinable()) return true;
    timerFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (timerFd_ < 0 || wakeFd_ < 0) return false;
    thread_ = std::thread([this] { Run(); });
    return true;
  }
  void Kick() {
    std::uint64_t one = 1;
    if (wakeFd_ >= 0) (void)!::write(wakeFd_, &one, sizeof one);
  }

  void Arm(Clock::time_point due) {
    itimerspec its{};
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count();
    if (ns <= 0) ns = 1;
    its.it_value.tv_sec = ns / 1000000000;
    its.it_value.tv_nsec = ns % 1000000000;
    ::timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &its, nullptr);
  }

  void Run() {
    std::unique_lock lk(mu_);
    while (!stop_) {
      // Fire everything due.
      auto now = Clock::now();
      TickEvent* due = nullptr;
      for (auto& [id, e] : events_)
        if (e.due <= now && (!due || e.due < due->due)) due = &e;
      if (due) {
        TickEvent e = *due;
        if (e.periodic) {
          // Absolute deadlines: no drift; a late tick does not queue up copies.
          due->due += std::chrono::milliseconds(e.period);
          if (due->due <= now) due->due = now + std::chrono::milliseconds(e.period);
        } else {
          events_.erase(e.id);
        }
        running_ = e.id;
        lk.unlock();
        e.cb(e.id, 0, e.user, 0, 0);
        lk.lock();
        running_ = 0;
        idle_.notify_all();
        continue;
      }
      itimerspec off{};
      ::timerfd_settime(timerFd_, 0, &off, nullptr);
      if (!events_.empty()) {
        auto first = std::min_element(events_.begin(), events_.end(), [](auto& a, auto& b) {
          return a.second.due < b.second.due;
        });
        Arm(first->second.due);
      }
      lk.unlock();
      pollfd fds[2] = {{timerFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
      ::poll(fds, 2, -1);
      std::uint64_t v;
      (void)!::read(timerFd_, &v, sizeof v);
      (void)!::read(wakeFd_, &v, sizeof v);
      lk.lock();
    }
  }

  std::mutex mu_;
  std::condition_variable idle_;
  std::map<UINT, TickEvent> events_;
  UINT next_ = 1;
  UINT running_ = 0;
  bool stop_ = false;
  int timerFd_ = -1, wakeFd_ = -1;
  std::thread thread_;
};

std::mutex g_periodMu;
int g_periodRequests = 0;

}  // namespace

UINT timeGetDevCaps(TIMECAPS* caps, UINT size) {
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
  return TIMERR_NOERROR;
}

// The tick thread always sleeps to exact deadlines, so a resolution request
// only needs to be counted.
UINT timeBeginPeriod(UINT period) {
  if (period == 0) return TIMERR_NOCANDO;
  std::lock_guard lk(g_periodMu);
  ++g_periodRequests;
  return TIMERR_NOERROR;
}
UINT timeEndPeriod(UINT period) {
  std::lock_guard lk(g_periodMu);
  if (period == 0 || g_periodRequests == 0) return TIMERR_NOCANDO;
  --g_periodRequests;
  return TIMERR_NOERROR;
}

DWORD timeGetTime() {
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                Clock::now().time_since_epoch())
                                .count());
}

UINT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK cb, DWORD_PTR user, UINT flags) {
  if (!cb || delay == 0) return 0;
  return TickThread::Get().Add(delay, cb, user, flags & TIME_PERIODIC);
}

UINT timeKillEvent(UINT id) {
  return TickThread::Get().Remove(id) ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

}  // namespace kelvo::platform
