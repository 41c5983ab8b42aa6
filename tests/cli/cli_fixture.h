#pragma once
// Runs brumkeyctl in-process against the shipped config and a fresh data root.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/temp_dir.h"

namespace brumkey::cli {

struct Result {
  int rc;
  std::string out, err;
};

class CliTest : public ::testing::Test {
 protected:
  Result Run(std::vector<std::string> args) {
    static const std::string config = std::string(BRUMKEY_TEST_SOURCE_DIR) + "/data/config.xml";
    args.insert(args.begin(), {"brumkeyctl", "--config", config, "--data-root", dir_.path().string()});
    std::ostringstream out, err;
    const int rc = Main(args, out, err);
    return {rc, out.str(), err.str()};
  }
  std::string File(const std::string& name) { return dir_.File(name); }
  test::TempDir dir_;
};

}  // namespace brumkey::cli
