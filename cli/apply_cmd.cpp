// brumkeyctl apply, reset-keyboard, firmware-version: device work through
// the command worker, exactly as the program runs it.
#include <cstdio>
#include <ostream>

#include "cli/protocol_cli.h"

namespace brumkey::cli {
namespace {

int RunApply(Context& ctx) {
  const std::vector<std::string>& a = ctx.args;
  if (a.size() != 1) return ctx.UsageError("apply keys|light|colors|all");
  std::vector<int> codes;
  const std::string& what = a[0];
  if (what == "keys" || what == "all") codes.push_back(kCmdSendKeyMap);
  if (what == "light" || what == "all") codes.push_back(kCmdSendLight);
  if (what == "colors" || what == "all") codes.push_back(kCmdSendCustomColours);
  if (codes.empty()) return ctx.UsageError("apply keys|light|colors|all");
  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  s.EnsureLightRows();
  // A first-family keyboard needs the mode selected before its parameters.
  if (CommandFamily(ctx.Options().model) == 1) {
    for (size_t i = 0; i < codes.size(); ++i) {
      if (codes[i] == kCmdSendLight) {
        codes.insert(codes.begin() + static_cast<long>(i), kCmdSendLight);
        break;
      }
    }
  }
  const int rc = RunWorkerCommands(ctx, s, codes, /*selectLightMode=*/true);
  PrintSimulatedState(ctx);
  return rc;
}

int RunReset(Context& ctx) {
  if (!ctx.args.empty()) return ctx.UsageError("reset-keyboard");
  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  const int rc = RunWorkerCommands(ctx, s, {kCmdFactoryReset});
  PrintSimulatedState(ctx);
  return rc;
}

int RunFirmwareVersion(Context& ctx) {
  if (!ctx.args.empty()) return ctx.UsageError("firmware-version");
  if (CommandFamily(ctx.Options().model) != 2)
    return ctx.Failure("only second-family keyboards (device types 201-299) report a firmware version");
  StoreSession s(ctx);
  if (int rc = s.Open(); rc != kExitOk) return rc;
  uint16_t version = 0;
  bool read = false;
  if (int rc = RunWorkerCommands(ctx, s, {kCmdCheckFirmware}, false, &version, &read); rc != kExitOk)
    return rc;
  PrintSimulatedState(ctx);
  if (!read) return ctx.Failure("the keyboard did not answer the firmware version request");
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", version);
  ctx.out << "0x" << buf << " (" << buf << ")\n";
  return kExitOk;
}

const CommandRegistrar kApply("apply", "send the current profile's keys, light or colours to the keyboard",
                              &RunApply);
const CommandRegistrar kReset("reset-keyboard", "restore the keyboard's factory settings", &RunReset);
const CommandRegistrar kFirmware("firmware-version", "read the keyboard's firmware version",
                                 &RunFirmwareVersion);

}  // namespace
}  // namespace brumkey::cli
