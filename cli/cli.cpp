#include "cli/cli.h"

#include <cstring>
#include <iostream>
#include <vector>

#include "cli/commands.h"

namespace {

const std::vector<const CliCommand*>& Commands() {
  static const std::vector<const CliCommand*> commands{
      &kInfoCommand,    &kSynthCommand,  &kRenderCommand, &kSaveCommand,
      &kDecimateCommand, &kSegmentCommand, &kConcatCommand, &kSyncCommand};
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

int Fail(const std::string& message) {
  std::cerr << "zorvan: " << message << "\n";
  return 1;
}

int RunZorvan(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(std::cerr);
    return Fail("the desktop program is not part of this build yet; give a command");
  }
  std::string first = argv[1];
  if (first == "--has-gui") return 1;  // the desktop program is not in this build
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
    return c->run(args);
  }
  return Fail("unknown command '" + first + "' (see zorvan --help)");
}
