#include "cli/session.h"

#include "app/commands.h"
#include "cli/commands.h"

namespace {
const Session* current = nullptr;
}

const Session* Session::Current() { return current; }

std::string Session::LastProblem() const {
  for (auto m = host.messages.rbegin(); m != host.messages.rend(); ++m)
    if (m->icon == MsgIcon::Error || m->icon == MsgIcon::Warning) return m->text;
  return {};
}

Session::Session() {
  current = this;
  host.echo = &pending;
  StartupOptions options;
  options.useDirFile = false;
  options.changeToWorkDir = false;
  InitAppState(state, host, options);
}

Session::~Session() {
  if (current == this) current = nullptr;
  ShutdownAppState(state);
  if (!CommandFailed()) std::cerr << pending.str();
}

std::string Session::OpenFailure(const std::string& path) const {
  for (auto m = host.messages.rbegin(); m != host.messages.rend(); ++m)
    if (m->icon == MsgIcon::Error) return m->text;
  return "cannot open " + path;
}

bool Session::Open(const std::string& path, const PageOptions& page) {
  state.ResponseDir = page.lemiDir;  // coil response files of --lemi
  host.AnswerOpen(path, std::to_string(page.recordsPerPlot));
  return CmdOpenFile(state) != 0;
}
