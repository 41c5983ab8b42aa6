#pragma once
// A main-window stand-in for the worker: posted tasks wait in a queue until
// the test's "UI thread" drains them; every effect is recorded as text.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/worker.h"

namespace brumkey::testing {

class RecordingWorkerHost : public WorkerHost {
 public:
  void PostToUi(std::function<void()> task) override {
    std::lock_guard lock(mu_);
    posted_.push_back(std::move(task));
  }
  // Runs what was posted, in order; returns how many tasks ran.
  size_t DrainUi() {
    std::vector<std::function<void()>> tasks;
    {
      std::lock_guard lock(mu_);
      tasks.swap(posted_);
    }
    for (auto& t : tasks) t();
    return tasks.size();
  }

  void OnScanDone(const ConnectionState& s) override {
    last = s;
    Log("scan found=" + std::to_string(s.deviceFound) + " known=" + std::to_string(s.deviceKnown) +
        " mode=" + std::to_string(s.connectionMode));
  }
  void OnCommandFinished(uint64_t ticket, int code, bool ran) override {
    finished.push_back(ticket);
    Log("done " + std::to_string(code) + (ran ? " ran" : " dropped"));
  }
  void SetWindowEnabled(bool e) override { Log(e ? "enable" : "disable"); }
  void OnReloadPages(bool reset, bool music) override {
    Log(std::string("reload") + (reset ? " reset" : "") + (music ? " music" : ""));
  }
  void RunFirmwareCheck(bool ok, uint16_t v) override {
    std::lock_guard lock(mu_);
    worker.push_back("firmware " + std::to_string(ok) + " " + std::to_string(v));
  }
  void RunIdle() override {
    std::lock_guard lock(mu_);
    ++idle;
  }

  // UI-thread records (written only by drained tasks).
  std::vector<std::string> ui;
  std::vector<uint64_t> finished;
  ConnectionState last;
  // Worker-thread records.
  std::vector<std::string> worker;
  int idle = 0;

 private:
  void Log(std::string s) { ui.push_back(std::move(s)); }
  std::mutex mu_;
  std::vector<std::function<void()>> posted_;
};

}  // namespace brumkey::testing
