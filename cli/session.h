#pragma once
// A headless session: the state and the host that a command drives, set up as
// the desktop program sets up its own, without lidar.dir.

#include <iostream>
#include <memory>
#include <string>

#include "app/state.h"
#include "cli/args.h"
#include "platform/headless/headless_platform.h"

struct Session {
  HeadlessPlatform host;
  AppState state;

  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  /// Opens path as the open dialog would with "Records/Plot" R. Returns false
  /// (after the host has printed why) when it could not be opened.
  bool Open(const std::string& path, const PageOptions& page);
};
