#pragma once
// What the profile, macro and layout commands share: the model chosen with
// --model made current the way the program does it (layout loaded, its
// database opened), the active language, and strict argument parsing.
#include <optional>
#include <string>

#include "app/keyboard_layout.h"
#include "app/profile_rules.h"
#include "cli/cli.h"

namespace brumkey::cli {

class StoreSession {
 public:
  explicit StoreSession(Context& ctx);
  // Exit status: kExitOk when the model's database is open.
  int Open();

  ProfileStore& Store() { return store_; }
  ProfileRules& Rules() { return rules_; }
  const KeyboardLayout& Layout() const { return layout_; }
  const LayoutLoadResult& LoadResult() const { return result_; }
  // The current profile's light rows, created from the layout's defaults
  // the first time, as the lighting page does.
  void EnsureLightRows();

 private:
  Context& ctx_;
  ProfileStore& store_;
  ProfileRules rules_;
  KeyboardLayout layout_;
  LayoutLoadResult result_;
};

// Decimal without sign, blanks or trailing text; nothing otherwise.
std::optional<int> ParseId(const std::string& text);

}  // namespace brumkey::cli
