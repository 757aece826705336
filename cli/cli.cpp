#include "cli/cli.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

#include "cli/commands.h"
#include "cli/front_end.h"
#include "cli/session.h"

namespace {

const std::vector<const CliCommand*>& Commands() {
  static const std::vector<const CliCommand*> commands{
      &kInfoCommand,   &kSynthCommand, &kRenderCommand, &kSaveCommand,    &kDecimateCommand, &kSegmentCommand,
      &kConcatCommand, &kSyncCommand,  &kPeaksCommand,  &kSpectraCommand, &kMtCommand};
  return commands;
}

void PrintUsage(std::ostream& out) {
  out << "Usage: zorvan [FILE]            open the desktop program (with FILE opened)\n"
         "       zorvan COMMAND [ARGS]    run a command without a window\n"
         "       zorvan COMMAND --help    describe a command's options\n\nCommands:\n";
  for (const CliCommand* c : Commands()) {
    std::string name = c->name;
    out << "  " << name << std::string(name.size() < 10 ? 10 - name.size() : 1, ' ') << c->summary << "\n";
  }
}

}  // namespace

namespace {
bool failed = false;
}

int Fail(const std::string& message) {
  failed = true;
  std::string line = message;
  // What the session's host was told is not printed on a failure; its last
  // problem joins the one line when it says more.
  if (const Session* session = Session::Current()) {
    std::string problem = session->LastProblem();
    if (!problem.empty() && line.find(problem) == std::string::npos) line += ": " + problem;
  }
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  std::cerr << "zorvan: " << line << "\n";
  return 1;
}

bool CommandFailed() { return failed; }

int RunZorvan(int argc, char** argv) {
  if (argc < 2) return StartDesktop("");
  std::string first = argv[1];
  if (first == "--has-gui") return HasDesktop() ? 0 : 1;
  if (first == "--help" || first == "-h" || first == "help") {
    PrintUsage(std::cout);
    return 0;
  }
  for (const CliCommand* c : Commands()) {
    if (first != c->name) continue;
    for (int i = 2; i < argc; ++i)
      if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
        std::cout << c->help;
        return 0;
      }
    Args args;
    if (!args.Parse(argc, argv, 2, c->flags)) return Fail(std::string(c->name) + ": " + args.error());
    for (const std::string& unknown : args.Unknown(c->options))
      return Fail(std::string(c->name) + ": unknown option --" + unknown + " (see zorvan " + c->name + " --help)");
    try {
      return c->run(args);
    } catch (const std::exception& e) {
      return Fail(std::string(c->name) + ": " + e.what());
    }
  }
  // zorvan FILE: the desktop program with FILE opened.
  std::error_code ec;
  if (argc == 2 && first[0] != '-' && std::filesystem::is_regular_file(first, ec)) return StartDesktop(first);
  return Fail("unknown command or file '" + first + "' (see zorvan --help)");
}
