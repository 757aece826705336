#pragma once
// A headless session: the state and the host that a command drives, set up as
// the desktop program sets up its own, without lidar.dir.

#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "app/state.h"
#include "cli/args.h"
#include "platform/headless/headless_platform.h"

struct Session {
  HeadlessPlatform host;
  AppState state;
  /// What the host says (warnings, notices) is held here and printed on stderr
  /// when the session ends, unless the command failed: a failure prints its one line only.
  std::ostringstream pending;

  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  /// Opens path as the open dialog would with "Records/Plot" R. Returns false
  /// (after the host has printed why) when it could not be opened.
  bool Open(const std::string& path, const PageOptions& page);
  /// Why the last Open failed, in one line: the message the host was given, else "cannot open PATH".
  std::string OpenFailure(const std::string& path) const;
  /// The last error or warning the host was given, "" when none.
  std::string LastProblem() const;
  /// The session of the command running now, or nullptr.
  static const Session* Current();
};
