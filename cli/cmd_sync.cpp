// zorvan sync: copies of recordings cut to a common start and length.

#include <cstring>
#include <iostream>

#include "app/file_commands.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "datafile/loader.h"

int RunSync(const Args& args) {
  const std::vector<std::string>& paths = args.positional();
  if (paths.size() < 2) return Fail("sync: give two or more recorder files (see zorvan sync --help)");
  Session session;
  session.state.DataDir = DirectoryOf(paths.front());
  WriteReport report;
  SyncPlan plan;
  const int written = SynchronizeInto(session.state, paths, &report, &plan);
  for (size_t i = 0; i < report.outputs.size() && i < plan.files.size(); ++i)
    std::cout << "Wrote " << report.outputs[i] << ": " << report.records[i] << " records, "
              << plan.files[i].SamplesToStart << " samples skipped at the start\n";
  if (written < 0) {
    std::string why = report.failedPath.empty() ? "" : " (" + report.failedPath;
    if (!why.empty()) why += report.err ? std::string(": ") + std::strerror(report.err) + ")" : ")";
    return Fail("sync: the synchronization did not complete" + why);
  }
  if (written == 0) return Fail("sync: fewer than two of the files can be synchronized");
  if (written < static_cast<int>(paths.size())) return Fail("sync: some files were left out");
  return 0;
}

const CliCommand kSyncCommand{"sync",
                              "cut recordings of one sampling rate to a common start and length",
                              "Usage: zorvan sync FILE FILE...\n"
                              "Writes for each file its path without .bin + _SYNC.bin: the copy starts at the\n"
                              "latest start among the files and all copies have the same length, a multiple of\n"
                              "5120 samples; each record's header states the time of its own first sample. Files\n"
                              "that cannot take part (empty, fewer than two complete records, no enabled channel,\n"
                              "no usable start time) are left out with the reason.\n",
                              {},
                              {},
                              RunSync};
