// zorvan segment and zorvan concat: splitting a recording, joining several.

#include <cstring>
#include <iostream>

#include "app/file_commands.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "datafile/loader.h"

namespace {

std::string Why(const WriteReport& report) {
  if (report.failedPath.empty()) return "";
  return " (" + report.failedPath + (report.err ? std::string(": ") + std::strerror(report.err) : "") + ")";
}

}  // namespace

int RunSegment(const Args& args) {
  if (args.positional().size() != 1) return Fail("segment: give one recorder file (see zorvan segment --help)");
  const std::string path = args.positional()[0];
  long long blocks = 0;
  auto b = args.Get("blocks");
  if (!b || !ParseInt(*b, blocks) || blocks < 1 || blocks > 1000000000)
    return Fail("segment: --blocks takes the records per output file, a whole number from 1");
  Session session;
  if (!session.Open(path, PageOptions{})) return Fail("segment: " + session.OpenFailure(path));
  WriteReport report;
  const int ok = SplitFile(session.state, path, static_cast<unsigned>(blocks), &report);
  for (size_t i = 0; i < report.outputs.size(); ++i)
    std::cout << "Wrote " << report.outputs[i] << ": " << report.records[i] << " records\n";
  if (!ok) return Fail("segment: the split did not complete" + Why(report));
  return 0;
}

int RunConcat(const Args& args) {
  const std::vector<std::string>& paths = args.positional();
  if (paths.size() < 2) return Fail("concat: give two or more recorder files (see zorvan concat --help)");
  Session session;
  AppState& s = session.state;
  s.DataDir = DirectoryOf(paths.front());
  const std::vector<std::string> sorted = SortForConcatenation(paths);
  const std::string out = args.Get("out").value_or(ConcatenationName(s, sorted.front()));
  WriteReport report;
  const int joined = ConcatenateInto(s, sorted, out, &report);
  if (joined < 0) return Fail("concat: nothing complete was written" + Why(report));
  const int records = report.records.empty() ? 0 : report.records.front();
  std::cout << "Wrote " << out << ": " << records << " records from " << joined << " files, in this order:\n";
  for (const std::string& path : sorted) std::cout << "  " << path << "\n";
  if (!report.leftOut.empty()) {
    std::string names;
    for (const std::string& p : report.leftOut) names += (names.empty() ? "" : ", ") + p;
    return Fail("concat: left out " + names);
  }
  return 0;
}

const CliCommand kSegmentCommand{"segment",
                                 "split a recording into files of N records each",
                                 "Usage: zorvan segment FILE --blocks N\n"
                                 "Writes the records of FILE, through the record pipeline, into FILE's path\n"
                                 "without its extension + _01.bin, _02.bin, …, N records each (the last one holds\n"
                                 "the rest). A recording without a complete record writes nothing.\n",
                                 {},
                                 {"blocks"},
                                 RunSegment};

const CliCommand kConcatCommand{"concat",
                                "join recordings into one file, ordered by their names",
                                "Usage: zorvan concat FILE FILE... [--out PATH]\n"
                                "Joins every record of the files, each with its own header, ordered by the part of\n"
                                "the name that starts three characters before its first \".b\" (X_007.bin: 007.bin),\n"
                                "upper and lower case alike.\n\n"
                                "Options:\n"
                                "  --out PATH  the output (default: the first file's folder and name + _CONCAT.bin)\n",
                                {},
                                {"out"},
                                RunConcat};
