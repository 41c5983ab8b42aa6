#include "cli/protocol_cli.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "device/sim/firmware_model.h"

namespace brumkey::cli {

namespace {

// The worker's own pauses shown in the trace beside the link's.
class TracingClock final : public Clock {
 public:
  TracingClock(Clock& inner, std::ostream* trace) : inner_(inner), trace_(trace) {}
  void SleepMs(int ms) override {
    inner_.SleepMs(ms);
    if (trace_) *trace_ << "pause " << ms << "\n";
  }
  int64_t NowMs() override { return inner_.NowMs(); }

 private:
  Clock& inner_;
  std::ostream* trace_;
};

// The command line has no UI thread: what the worker posts runs at once.
class CliWorkerHost final : public WorkerHost {
 public:
  void PostToUi(std::function<void()> task) override { task(); }
  void OnScanDone(const ConnectionState& s) override { state = s; }
  void OnCommandFinished(uint64_t, int code, bool ran) override {
    if (!ran) dropped.push_back(code);
  }
  void RunFirmwareCheck(bool ok, uint16_t v) override {
    firmwareRead = ok;
    firmwareVersion = v;
  }
  ConnectionState state;
  std::vector<int> dropped;
  bool firmwareRead = false;
  uint16_t firmwareVersion = 0;
};

}  // namespace

std::optional<int> ParseNumber(const std::string& text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (text.size() > 10) return std::nullopt;
    int v = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      const char c = text[i];
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return std::nullopt;
      if (v > 0x7FFFFFF) return std::nullopt;
      v = v * 16 + d;
    }
    return v;
  }
  return ParseId(text);
}

std::optional<int> ParseBounded(const std::string& text, int lo, int hi) {
  std::optional<int> v = ParseNumber(text);
  if (!v || *v < lo || *v > hi) return std::nullopt;
  return v;
}

std::optional<int> ParseRgb(const std::string& text) {
  std::string t = text;
  if (!t.empty() && t[0] == '#') t = t.substr(1);
  if (t.size() != 6) return std::nullopt;
  std::optional<int> rgb = ParseNumber("0x" + t);
  if (!rgb) return std::nullopt;
  const int r = (*rgb >> 16) & 0xFF, g = (*rgb >> 8) & 0xFF, b = *rgb & 0xFF;
  return r | (g << 8) | (b << 16);
}

std::string RgbText(int c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return buf;
}

int RunWorkerCommands(Context& ctx, StoreSession& session, const std::vector<int>& codes,
                      bool selectLightMode, uint16_t* firmwareVersion, bool* firmwareRead) {
  const int model = ctx.Options().model;
  TracingClock clock(ctx.ClockInUse(), ctx.Options().trace ? &ctx.out : nullptr);
  CliWorkerHost host;
  ProfileStore& store = session.Store();
  CommandWorker worker(ctx.Link(), clock, store, host, ctx.Config().modes, model);
  const KeyboardLayout& layout = session.Layout();
  WorkerModel wm;
  wm.deviceType = model;
  wm.pageFlags = layout.pageFlags;
  wm.keyIndexByCode = layout.keyIndexByCode;
  wm.lightIndexByCode = layout.lightIndexByCode;
  worker.SetModel(wm);
  const int profile = session.Rules().CurrentProfile();
  worker.SetProfile(profile);
  worker.SetLightMode(store.GetActiveLightMode(profile));

  worker.QueueCommand(kCmdDeviceArrived);
  worker.RunOnce();
  const std::vector<int>& types = host.state.connectedDeviceTypes;
  if (std::find(types.begin(), types.end(), model) == types.end()) {
    return ctx.Failure("no keyboard of model " + std::to_string(model) + " is connected");
  }
  bool select = selectLightMode;
  for (int code : codes) {
    if (code == kCmdSendLight && select) {
      worker.ClearLightParamsFollow();
      select = false;
    }
    worker.QueueCommand(code);
    worker.RunOnce();
  }
  if (!host.dropped.empty()) return ctx.Failure("the keyboard went away during the transfer");
  if (firmwareVersion) *firmwareVersion = host.firmwareVersion;
  if (firmwareRead) *firmwareRead = host.firmwareRead;
  return kExitOk;
}

void PrintSimulatedState(Context& ctx) {
  if (!ctx.Options().state) return;
  for (const auto& kb : ctx.SimulatedKeyboards()) {
    if (kb->DeviceType() != ctx.Options().model) continue;
    ctx.out << "state of simulated " << kb->DeviceType() << " (mode " << kb->Mode() << "):\n"
            << DescribeFirmwareState(ReadFirmwareState(*kb));
  }
}

}  // namespace brumkey::cli
