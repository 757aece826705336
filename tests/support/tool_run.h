#pragma once
// Runs the zorvan tool as a user does, in a folder, and keeps what it said.

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/support/temp_dir.h"

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

/// zorvan with the given arguments (shell words), run in dir.
inline ToolRun Zorvan(const std::string& args, const TempDir& dir) {
  std::string errPath = dir / "stderr.txt";
  std::string command = "cd '" + dir.path() + "' && '" + ZORVAN_BINARY + "' " + args + " 2>'" + errPath + "'";
  ToolRun run;
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) return run;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) run.out.append(buf, n);
  int status = pclose(p);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto err = ReadBytes(errPath);
  run.err.assign(err.begin(), err.end());
  return run;
}

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
