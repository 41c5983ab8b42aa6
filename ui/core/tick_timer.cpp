#include <algorithm>
#include <mutex>

#include "kelvo/paint_manager.h"

namespace kelvo {
namespace pf = kelvo::platform;

unsigned MTickTimer::m_uAccuracy = 1;
int MTickTimer::m_bIsTmierOK = 0;

namespace {
std::mutex& RegistryMu() {
  static std::mutex mu;
  return mu;
}
std::vector<MTickTimer*>& Registry() {
  static std::vector<MTickTimer*> r;
  return r;
}
}  // namespace

MTickTimer::MTickTimer() {
  std::lock_guard lock(RegistryMu());
  Registry().push_back(this);
}

MTickTimer::~MTickTimer() {
  KillTimer();
  {
    std::lock_guard lock(RegistryMu());
    auto& r = Registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
  }
}

unsigned MTickTimer::SetTimer(unsigned periodMs, const std::wstring& name, int isApp) {
  {
    std::lock_guard lock(RegistryMu());
    if (!m_bIsTmierOK) {
      pf::TIMECAPS caps;
      unsigned res = 1;
      if (pf::timeGetDevCaps(&caps, sizeof(caps)) == pf::TIMERR_NOERROR)
        res = std::min(std::max(caps.wPeriodMin, 1u), caps.wPeriodMax);
      pf::timeBeginPeriod(res);
      m_uAccuracy = res;
      m_bIsTmierOK = 1;
    }
  }
  // The record exists before the first tick can look for it.
  std::lock_guard lock(mu_);
  const unsigned id = pf::timeSetEvent(std::max(periodMs, 1u), m_uAccuracy, &MTickTimer::TimerCallProc,
                                       reinterpret_cast<uintptr_t>(this), pf::TIME_PERIODIC);
  if (id == 0) return 0;
  records_.push_back({id, name, isApp});
  return id;
}

int MTickTimer::KillTimer(unsigned id) {
  bool found = false;
  {
    std::lock_guard lock(mu_);
    auto it = std::find_if(records_.begin(), records_.end(), [id](const Record& r) { return r.id == id; });
    if (it != records_.end()) {
      records_.erase(it);
      found = true;
    }
  }
  // Waits for a tick in flight; never under our lock, which the tick takes.
  if (found) pf::timeKillEvent(id);
  std::lock_guard lock(mu_);
  return static_cast<int>(records_.size());
}

int MTickTimer::KillTimer(const std::wstring& name) {
  std::vector<unsigned> ids;
  {
    std::lock_guard lock(mu_);
    for (auto& r : records_)
      if (r.name == name) ids.push_back(r.id);
  }
  int left = 0;
  for (unsigned id : ids) left = KillTimer(id);
  if (ids.empty()) {
    std::lock_guard lock(mu_);
    left = static_cast<int>(records_.size());
  }
  return left;
}

void MTickTimer::KillTimer() {
  std::vector<Record> all;
  {
    std::lock_guard lock(mu_);
    all.swap(records_);
  }
  for (auto& r : all) pf::timeKillEvent(r.id);
}

int MTickTimer::GetTimerIsRun(unsigned id) const {
  std::lock_guard lock(mu_);
  return std::any_of(records_.begin(), records_.end(), [id](const Record& r) { return r.id == id; }) ? 1 : 0;
}

int MTickTimer::GetTimerIsRun(const std::wstring& name) const {
  std::lock_guard lock(mu_);
  return std::any_of(records_.begin(), records_.end(), [&](const Record& r) { return r.name == name; }) ? 1 : 0;
}

int MTickTimer::IsAppTimer(unsigned id) const {
  std::lock_guard lock(mu_);
  for (auto& r : records_)
    if (r.id == id) return r.isApp;
  return 0;
}

std::wstring MTickTimer::GetTimerName(unsigned id) const {
  std::lock_guard lock(mu_);
  for (auto& r : records_)
    if (r.id == id) return r.name;
  return L"";
}

MTickTimer* MTickTimer::GetFSTimer(unsigned id) {
  std::lock_guard lock(RegistryMu());
  for (MTickTimer* t : Registry())
    if (t->GetTimerIsRun(id)) return t;
  return nullptr;
}

void MTickTimer::TimerCallProc(unsigned id, unsigned, uintptr_t user, uintptr_t, uintptr_t) {
  auto* self = reinterpret_cast<MTickTimer*>(user);
  if (!self) return;
  self->OnMTimer(id);
  if (self->IsAppTimer(id)) self->OnMTimer(id, self->GetTimerName(id));
}

}  // namespace kelvo
