#pragma once
// The subcommands of the zorvan tool. Each returns the process exit status,
// prints its results on stdout and its errors on stderr.

#include <iosfwd>
#include <string>

#include "cli/args.h"

struct AppState;

struct CliCommand {
  const char* name;
  const char* summary;
  const char* help;               // usage and options
  std::set<std::string> flags;    // options without a value
  std::set<std::string> options;  // every option it accepts
  int (*run)(const Args& args);
};

int RunInfo(const Args& args);
int RunSynth(const Args& args);
int RunRender(const Args& args);
int RunSave(const Args& args);
int RunDecimate(const Args& args);
int RunSegment(const Args& args);
int RunConcat(const Args& args);
int RunSync(const Args& args);
int RunPeaks(const Args& args);
int RunSpectra(const Args& args);
int RunMt(const Args& args);

extern const CliCommand kInfoCommand;
extern const CliCommand kSynthCommand;
extern const CliCommand kRenderCommand;
extern const CliCommand kSaveCommand;
extern const CliCommand kDecimateCommand;
extern const CliCommand kSegmentCommand;
extern const CliCommand kConcatCommand;
extern const CliCommand kSyncCommand;
extern const CliCommand kPeaksCommand;
extern const CliCommand kSpectraCommand;
extern const CliCommand kMtCommand;

/// The rows of zorvan spectra (frequency, then each enabled channel's power)
/// for the spectra computed into s.
void WriteSpectraRows(const AppState& s, std::ostream& out);

/// Prints "zorvan: <message>" on stderr and returns 1. A failed command prints
/// this one line on stderr and nothing else.
int Fail(const std::string& message);
/// A command of this process has called Fail.
bool CommandFailed();
