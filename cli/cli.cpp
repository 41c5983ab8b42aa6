#include "cli/cli.h"

#include "device/sim/firmware_model.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "app/paths.h"
#include "device/hidapi/hidapi_transport.h"
#include "util/text.h"

namespace brumkey::cli {

namespace {

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

bool ParseInt(const std::string& s, int* out) {
  if (s.empty() || s.size() > 9) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}

const char kUsage[] =
    "usage: brumkeyctl [options] <command> [arguments]\n"
    "options:\n"
    "  --simulate[=TYPE[:MODE],...]  use simulated keyboards (default: every model, wired)\n"
    "  --real-time                   sleep for real with --simulate\n"
    "  --trace                       print every transfer and pause\n"
    "  --json                        machine-readable output\n"
    "  --config FILE                 config.xml to read (its folder is the program folder)\n"
    "  --data-root DIR               data folder\n"
    "  --model TYPE                  device type commands work on (default 201)\n"
    "  --state                       print the simulated keyboard's state afterwards\n"
    "commands:\n";

void PrintUsage(std::ostream& s) {
  s << kUsage;
  size_t width = 0;
  for (const Command& c : Commands()) width = std::max(width, std::string_view(c.name).size());
  for (const Command& c : Commands()) {
    const std::string_view name(c.name);
    s << "  " << name << std::string(width - name.size() + 2, ' ') << c.summary << "\n";
  }
}

std::string Hex2(uint8_t b) {
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02x", b);
  return buf;
}

}  // namespace

CommandRegistrar::CommandRegistrar(std::string name, std::string summary, CommandFn run,
                                   std::vector<CommandOption> options) {
  Registry().push_back({std::move(name), std::move(summary), run, std::move(options)});
}

std::vector<Command> Commands() {
  std::vector<Command> sorted = Registry();
  std::sort(sorted.begin(), sorted.end(),
            [](const Command& a, const Command& b) { return a.name < b.name; });
  return sorted;
}

std::string TraceLine(const LinkEvent& event) {
  if (event.kind == LinkEvent::Kind::Pause) return "pause " + std::to_string(event.result);
  std::string line;
  switch (event.kind) {
    case LinkEvent::Kind::Write: line = "write"; break;
    case LinkEvent::Kind::Stream: line = "stream"; break;
    case LinkEvent::Kind::FeatureSend: line = "feature-send"; break;
    case LinkEvent::Kind::FeatureGet: line = "feature-get"; break;
    case LinkEvent::Kind::Pause: break;
  }
  for (uint8_t b : event.bytes) line += " " + Hex2(b);
  return line;
}

bool ParseSimulateList(const std::string& list, std::vector<SimulatedModel>* out) {
  std::vector<SimulatedModel> models;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string item = list.substr(start, comma - start);
    SimulatedModel m;
    size_t colon = item.find(':');
    if (!ParseInt(item.substr(0, colon), &m.deviceType)) return false;
    if (colon != std::string::npos && !ParseInt(item.substr(colon + 1), &m.mode)) return false;
    models.push_back(m);
    start = comma + 1;
  }
  *out = std::move(models);
  return true;
}

Context::Context(GlobalOptions options, std::ostream& o, std::ostream& e)
    : out(o), err(e), options_(std::move(options)) {}

Context::~Context() {
  // The link closes its handles on the transport, so it goes first.
  link_.reset();
}

std::wstring Context::ConfigPath() const {
  if (!options_.configPath.empty()) return Utf8ToWide(options_.configPath);
  return GetProgramDirectory() + L"config.xml";
}

int Context::Prepare() {
  if (!options_.configPath.empty()) {
    const std::string& p = options_.configPath;
    const size_t slash = p.rfind('/');
    SetProgramDirectoryOverride(Utf8ToWide(slash == std::string::npos ? "." : p.substr(0, slash)));
  }
  if (!options_.dataRoot.empty()) SetDataRootOverride(Utf8ToWide(options_.dataRoot));

  if (options_.simulate && !options_.realTime) {
    ownedClock_ = std::make_unique<VirtualClock>();
    clock_ = ownedClock_.get();
  } else {
    clock_ = &SystemClock::Instance();
  }
  HidTransport* transport = nullptr;
  if (options_.simulate) {
    bus_ = std::make_unique<SimulatedHidBus>(clock_);
    transport = bus_.get();
  } else {
    hidapi_ = std::make_unique<HidapiTransport>();
    transport = hidapi_.get();
  }
  link_ = std::make_unique<DeviceLink>(*transport, *clock_);

  const std::wstring path = ConfigPath();
  if (!LoadDeviceConfig(path, config_, [this](const DeviceEntry& e) {
        link_->RegisterKnownInterface(e.vid, e.pid, e.name, e.deviceType, e.mode, e.hidInterface);
      })) {
    err << "brumkeyctl: cannot read " << WideToUtf8(path) << "\n";
    return kExitUsage;
  }
  const std::wstring name = ReadDeviceNameFromConfig(path);
  SetDeviceName(name.empty() ? L"Brumkey" : name);
  modes_ = config_.modes;

  if (options_.simulate) {
    std::vector<SimulatedModel> wanted = options_.simulated;
    if (wanted.empty()) {
      for (const DeviceEntry& k : config_.keyboards) wanted.push_back({k.deviceType, 0});
    }
    for (const SimulatedModel& m : wanted) {
      auto kb = SimulatedKeyboard::FromConfig(config_.modes, m.deviceType, m.mode);
      if (!kb) {
        err << "brumkeyctl: config declares no model " << m.deviceType << " in mode " << m.mode
            << "\n";
        return kExitUsage;
      }
      InstallProtocolFirmware(*kb);
      keyboards_.push_back(kb);
      bus_->Plug(kb);
    }
  }
  if (options_.trace) {
    link_->SetObserver([this](const LinkEvent& e) { out << TraceLine(e) << "\n"; });
  }
  return kExitOk;
}

const std::vector<DeviceEntry>& Context::ScanDevices() {
  link_->Refresh();
  for (DeviceEntry& e : modes_) {
    e.present = link_->FindOpenInterface(e.vid, e.pid, e.name, e.mode) >= 0 ? 1 : 0;
  }
  return modes_;
}

std::optional<std::string> Context::Option(const std::string& name) const {
  auto it = commandOptions.find(name);
  if (it == commandOptions.end()) return std::nullopt;
  return it->second;
}

int Context::UsageError(const std::string& message) {
  err << "brumkeyctl: " << message << "\n";
  return kExitUsage;
}

int Context::Failure(const std::string& message) {
  err << "brumkeyctl: " << message << "\n";
  return kExitFailure;
}

int Main(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  GlobalOptions g;
  const Command* command = nullptr;
  const std::vector<Command> commands = Commands();
  std::vector<std::string> positional;
  std::map<std::string, std::string> commandOptions;
  auto usage = [&](const std::string& msg) {
    err << "brumkeyctl: " << msg << "\n";
    return kExitUsage;
  };

  bool optionsDone = false;
  for (size_t i = 1; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (optionsDone || a.empty() || a[0] != '-' || a == "-") {
      if (!command) {
        for (const Command& c : commands) {
          if (c.name == a) command = &c;
        }
        if (!command) return usage("unknown command '" + a + "'");
      } else {
        positional.push_back(a);
      }
      continue;
    }
    if (a == "--") {
      optionsDone = true;
      continue;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    const bool inlineValue = eq != std::string::npos;
    auto value = [&](std::string* v) {
      if (inlineValue) {
        *v = a.substr(eq + 1);
        return true;
      }
      if (i + 1 >= argv.size()) return false;
      *v = argv[++i];
      return true;
    };
    auto flag = [&](bool* f) {
      if (inlineValue) return false;
      *f = true;
      return true;
    };
    bool ok = true;
    if (name == "--help" || name == "-h") {
      PrintUsage(out);
      return kExitOk;
    } else if (name == "--simulate") {
      g.simulate = true;
      if (inlineValue && !ParseSimulateList(a.substr(eq + 1), &g.simulated))
        return usage("bad --simulate list '" + a.substr(eq + 1) + "'");
    } else if (name == "--trace") {
      ok = flag(&g.trace);
    } else if (name == "--json") {
      ok = flag(&g.json);
    } else if (name == "--real-time") {
      ok = flag(&g.realTime);
    } else if (name == "--state") {
      ok = flag(&g.state);
    } else if (name == "--data-root") {
      ok = value(&g.dataRoot) && !g.dataRoot.empty();
    } else if (name == "--config") {
      ok = value(&g.configPath) && !g.configPath.empty();
    } else if (name == "--model") {
      std::string v;
      ok = value(&v) && ParseInt(v, &g.model);
    } else {
      const CommandOption* known = nullptr;
      if (command) {
        for (const CommandOption& o : command->options) {
          if (o.name == name) known = &o;
        }
      }
      if (!known) return usage("unknown option '" + name + "'");
      std::string v;
      if (known->takesValue)
        ok = value(&v);
      else
        ok = !inlineValue;
      commandOptions[name] = v;
    }
    if (!ok) return usage("bad use of option '" + name + "'");
  }
  if (!command) {
    PrintUsage(err);
    return kExitUsage;
  }

  Context ctx(g, out, err);
  ctx.args = std::move(positional);
  ctx.commandOptions = std::move(commandOptions);
  if (int rc = ctx.Prepare(); rc != kExitOk) return rc;
  return command->run(ctx);
}

}  // namespace brumkey::cli
