#pragma once
// What only a build with a window system can do for the command line: start the
// desktop program and draw a page into a PNG image. The executable of a Qt build
// installs both before it runs a command; without them the commands that need
// them say so.

#include <cstdint>
#include <string>
#include <vector>

struct AppState;

struct FrontEnd {
  /// Runs the desktop program with file opened (none when empty); the exit status.
  int (*start_desktop)(const std::string& file) = nullptr;
  /// The page of s drawn as the window draws it, PNG-encoded; empty when it
  /// could not be encoded.
  std::vector<uint8_t> (*render_png)(AppState& s, int width, int height) = nullptr;
};

void InstallFrontEnd(const FrontEnd& front_end);
const FrontEnd& InstalledFrontEnd();

/// Whether this build has the desktop program.
bool HasDesktop();
/// Runs the desktop program with file opened (none when empty), or says that
/// this build has none; the exit status.
int StartDesktop(const std::string& file);
