#pragma once
// The zorvan front end: a subcommand runs headless; no subcommand starts the GUI.

/// Runs zorvan with the given arguments; returns the exit status.
int RunZorvan(int argc, char** argv);
