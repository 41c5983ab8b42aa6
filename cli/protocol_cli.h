#pragma once
// What the keyboard-facing commands share: parsing of key codes, colours
// and bounded numbers, the worker run of `apply`, and --state.
#include <optional>
#include <string>
#include <vector>

#include "app/worker.h"
#include "cli/cli.h"
#include "cli/store_session.h"

namespace brumkey::cli {

// Decimal or 0x-prefixed hexadecimal.
std::optional<int> ParseNumber(const std::string& text);
// Within [lo, hi].
std::optional<int> ParseBounded(const std::string& text, int lo, int hi);
// "RRGGBB" (optionally with '#') to 0x00BBGGRR.
std::optional<int> ParseRgb(const std::string& text);
std::string RgbText(int colour);

// Runs the worker the way the program does: a scan (command 2), then each
// code, one cycle each. Returns kExitFailure when no keyboard of the model
// is connected (the commands were dropped).
int RunWorkerCommands(Context& ctx, StoreSession& session, const std::vector<int>& codes,
                      bool selectLightMode = false, uint16_t* firmwareVersion = nullptr,
                      bool* firmwareRead = nullptr);

// --state: the decoded state of every simulated keyboard of the model.
void PrintSimulatedState(Context& ctx);

}  // namespace brumkey::cli
