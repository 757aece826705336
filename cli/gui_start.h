#pragma once
// The desktop program from the command line.

#include <string>

/// Whether this build has the desktop program.
bool HasDesktop();
/// Runs the desktop program with file opened (none when empty); the exit status.
int StartDesktop(const std::string& file);
