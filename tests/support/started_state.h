#pragma once
// A state started in a temporary folder on the headless host: a fresh one for
// every test, shut down after it.

#include <gtest/gtest.h>

#include "app/state.h"
#include "platform/headless/headless_platform.h"
#include "tests/support/temp_dir.h"

class StartedStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartupOptions options;
    options.startDir = dir.path();
    options.useDirFile = useDirFile;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
  }
  void TearDown() override { ShutdownAppState(s); }

  bool useDirFile = false;  // set in a constructor to read and write lidar.dir in the folder
  TempDir dir;
  HeadlessPlatform host;
  AppState s;
};
