#include "cli/session.h"

#include <unistd.h>

#include "app/commands.h"

Session::Session() {
  host.echo = &std::cerr;
  host.echoProgress = isatty(2) != 0;
  StartupOptions options;
  options.useDirFile = false;
  options.changeToWorkDir = false;
  InitAppState(state, host, options);
}

Session::~Session() { ShutdownAppState(state); }

bool Session::Open(const std::string& path, const PageOptions& page) {
  state.ResponseDir = page.lemiDir;  // coil response files of --lemi
  host.AnswerOpen(path, std::to_string(page.recordsPerPlot));
  return CmdOpenFile(state) != 0;
}
