#pragma once
// Starts the desktop program.

#include <string>

/// Shows the main window, opens file when one is given (as if chosen in the
/// open dialog with "Records/Plot" 1) and runs until the window is closed.
/// Returns the exit status.
int RunDesktop(const std::string& file);
