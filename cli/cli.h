#pragma once
// brumkeyctl: global options, the command registry and the context a
// command runs in. A command lives in its own source file and registers
// itself with a static CommandRegistrar; command code reaches the keyboard
// through ctx.Link() only (never the process-wide link), so --simulate and
// --trace hold for it.
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/device_config.h"
#include "device/device_link.h"
#include "device/sim/simulated_hid_bus.h"
#include "util/clock.h"

namespace brumkey::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct SimulatedModel {
  int deviceType = 0;
  int mode = 0;
};

struct GlobalOptions {
  bool simulate = false;
  std::vector<SimulatedModel> simulated;  // empty with simulate: every model, wired
  bool trace = false;
  bool json = false;
  bool realTime = false;
  bool state = false;
  std::string dataRoot;
  std::string configPath;
  int model = 201;
};

// An option a command accepts after its name; a value is given as
// "--name VALUE" or "--name=VALUE".
struct CommandOption {
  std::string name;  // with the leading "--"
  bool takesValue = false;
};

class Context;
using CommandFn = int (*)(Context&);

struct Command {
  std::string name;
  std::string summary;
  CommandFn run = nullptr;
  std::vector<CommandOption> options;
};

class CommandRegistrar {
 public:
  CommandRegistrar(std::string name, std::string summary, CommandFn run,
                   std::vector<CommandOption> options = {});
};

// Sorted by name.
std::vector<Command> Commands();

class Context {
 public:
  Context(GlobalOptions options, std::ostream& out, std::ostream& err);
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  // Loads config.xml, registers its modes and attaches the simulated
  // keyboards; returns an exit status (kExitOk to go on).
  int Prepare();

  const GlobalOptions& Options() const { return options_; }
  const DeviceConfig& Config() const { return config_; }
  std::wstring ConfigPath() const;
  DeviceLink& Link() { return *link_; }
  Clock& ClockInUse() { return *clock_; }
  // Null without --simulate.
  SimulatedHidBus* Bus() { return bus_.get(); }
  const std::vector<std::shared_ptr<SimulatedKeyboard>>& SimulatedKeyboards() const {
    return keyboards_;
  }

  // Refreshes the link and marks the mode entries found (as the main window
  // does after a scan). Returns the mode list with `present` set.
  const std::vector<DeviceEntry>& ScanDevices();

  // Positional arguments after the command name.
  std::vector<std::string> args;
  // Command options that were given (flags map to "").
  std::map<std::string, std::string> commandOptions;
  std::optional<std::string> Option(const std::string& name) const;

  std::ostream& out;
  std::ostream& err;
  int UsageError(const std::string& message);
  int Failure(const std::string& message);

 private:
  GlobalOptions options_;
  DeviceConfig config_;
  std::vector<DeviceEntry> modes_;
  std::unique_ptr<Clock> ownedClock_;
  Clock* clock_ = nullptr;
  std::unique_ptr<HidTransport> hidapi_;
  std::unique_ptr<SimulatedHidBus> bus_;
  std::vector<std::shared_ptr<SimulatedKeyboard>> keyboards_;
  std::unique_ptr<DeviceLink> link_;
};

// One trace line: "write 00 ff ...", "stream ...", "feature-send ...",
// "feature-get ..." or "pause <ms>".
std::string TraceLine(const LinkEvent& event);

// Parses --simulate's list "TYPE[:MODE],..."; false on a malformed item.
bool ParseSimulateList(const std::string& list, std::vector<SimulatedModel>* out);

// The whole program: parses argv[1..], runs the command, returns the exit
// status. Usage errors and unreadable config give 2.
int Main(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

}  // namespace brumkey::cli
