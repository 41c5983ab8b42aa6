#pragma once
// Test suites that need an X server derive from XvfbTest: one private Xvfb
// per suite; each test is skipped with the reason when it cannot run here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/ui/xvfb_server.h"

namespace kelvo::testing {

class XvfbTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new XvfbServer;
    why_.clear();
    if (server_->Start(&why_)) {
      ::setenv("DISPLAY", server_->display().c_str(), 1);
      ::setenv("KELVO_PLATFORM", "x11", 1);
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!why_.empty()) GTEST_SKIP() << why_;
  }
  static const std::string& Display() { return server_->display(); }

  static inline XvfbServer* server_ = nullptr;
  static inline std::string why_;
};

}  // namespace kelvo::testing
