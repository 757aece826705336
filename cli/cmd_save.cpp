// zorvan save and zorvan decimate: a processed or decimated copy of a recording.

#include <cstring>
#include <iostream>

#include "app/file_commands.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "spectral/lowpass.h"

namespace {

// Corner index 1..6 of a corner given in samples; 0 when it is none of them.
int CornerIndex(const std::string& text) {
  long long samples = 0;
  if (!ParseInt(text, samples)) return 0;
  for (int i = 1; i <= 6; ++i)
    if (LowPassCornerSamples(i) == samples) return i;
  return 0;
}

// Applies a comma-separated list of 1-based channel slots to flags of OutHeader.
std::string ApplyChannelList(const std::string& option, const std::string& text, const std::string& path, AppState& s,
                             int32_t (RecorderHeader::*flags)[kChannels], int32_t value) {
  for (const std::string& item : SplitList(text)) {
    long long slot = 0;
    if (!ParseInt(item, slot) || slot < 1 || slot > kChannels)
      return "--" + option + " takes channel numbers from 1 to 6, comma-separated";
    if (!s.OutHeader.ChannelEnabled[slot - 1]) return "channel " + std::to_string(slot) + " is not enabled in " + path;
    (s.OutHeader.*flags)[slot - 1] = value;
  }
  return {};
}

int Failure(const std::string& command, const WriteReport& report) {
  std::string why = report.failedPath.empty() ? "" : " (" + report.failedPath;
  if (!why.empty()) why += report.err ? std::string(": ") + std::strerror(report.err) + ")" : ")";
  return Fail(command + ": nothing complete was written" + why);
}

int Write(const std::string& command, Session& session, const Args& args) {
  AppState& s = session.state;
  const std::string out = args.Get("out").value_or(DefaultSaveName(s));
  WriteReport report;
  if (!WriteProcessedFile(s, out, &report)) return Failure(command, report);
  const int records = report.records.empty() ? 0 : report.records.front();
  std::cout << "Wrote " << out << ": " << records << " records";
  if (s.DecimationFactor >= 2) std::cout << ", each from " << s.DecimationFactor << " input records";
  std::cout << "\n";
  if (report.recordsLeftOut > 0)
    std::cout << "The last " << report.recordsLeftOut << " records were left out (fewer than a group of "
              << s.DecimationFactor << ").\n";
  return 0;
}

}  // namespace

int RunSave(const Args& args) {
  if (args.positional().size() != 1) return Fail("save: give one recorder file (see zorvan save --help)");
  const std::string path = args.positional()[0];
  Session session;
  if (!session.Open(path, PageOptions{})) return Fail("save: " + session.OpenFailure(path));
  AppState& s = session.state;
  s.DecimationFactor = 1;
  if (auto t = args.Get("filter")) {
    const int corner = CornerIndex(*t);
    if (!corner) return Fail("save: --filter takes a corner of 5, 10, 20, 50, 100 or 200 samples");
    s.LowPassCorner = corner;
    s.FilterOn = 1;
  }
  if (auto t = args.Get("invert"))
    if (std::string e = ApplyChannelList("invert", *t, path, s, &RecorderHeader::ChannelInvert, 1); !e.empty())
      return Fail("save: " + e);
  if (auto t = args.Get("drop"))
    if (std::string e = ApplyChannelList("drop", *t, path, s, &RecorderHeader::ChannelEnabled, 0); !e.empty())
      return Fail("save: " + e);
  return Write("save", session, args);
}

int RunDecimate(const Args& args) {
  if (args.positional().size() != 1) return Fail("decimate: give one recorder file (see zorvan decimate --help)");
  const std::string path = args.positional()[0];
  long long factor = 0;
  auto f = args.Get("factor");
  if (!f || !ParseInt(*f, factor) || (factor != 40 && factor != 80 && factor != 200))
    return Fail("decimate: --factor takes 40, 80 or 200");
  int corner = 1;
  if (auto t = args.Get("corner"))
    if (!(corner = CornerIndex(*t))) return Fail("decimate: --corner takes 5, 10, 20, 50, 100 or 200 samples");
  Session session;
  if (!session.Open(path, PageOptions{})) return Fail("decimate: " + session.OpenFailure(path));
  // A rate the output header cannot state is refused before anything is written.
  RecorderHeader first{};
  if (NoRecordReason(path, 1, &first).empty())
    if (std::string why = DecimationRefusal(first.SampleRate, static_cast<int>(factor)); !why.empty())
      return Fail("decimate: " + why);
  session.state.DecimationFactor = static_cast<int>(factor);
  session.state.SaveCorner = corner;
  return Write("decimate", session, args);
}

const CliCommand kSaveCommand{"save",
                              "write a filtered copy of a recording, channels inverted or dropped",
                              "Usage: zorvan save FILE [options]\n"
                              "Writes every record of FILE through the record pipeline of File, Save File: the\n"
                              "header re-encoded, the samples optionally low-pass filtered, channels inverted\n"
                              "or dropped (the others move down a slot).\n\nOptions:\n"
                              "  --out PATH       the output (default: FILE's folder, its name + _MOD.bin)\n"
                              "  --filter CORNER  low-pass filter, corner 5, 10, 20, 50, 100 or 200 samples\n"
                              "  --invert LIST    channels to negate, by slot number 1..6, comma-separated\n"
                              "  --drop LIST      channels to leave out, by slot number 1..6, comma-separated\n",
                              {},
                              {"out", "filter", "invert", "drop"},
                              RunSave};

const CliCommand kDecimateCommand{
    "decimate",
    "write a low-pass filtered copy keeping every F-th sample",
    "Usage: zorvan decimate FILE --factor F [options]\n"
    "Filters every sample with the order-4 low-pass of the corner and keeps every\n"
    "F-th: F input records make one output record, whose rate code is divided by F.\n"
    "A factor whose output rate a header cannot state (1000 Hz by 80 gives 12.5 Hz) is\n"
    "refused. Input records that do not fill a last group are left out; a file of fewer\n"
    "records than one group writes nothing.\n\nOptions:\n"
    "  --factor F       40, 80 or 200\n"
    "  --corner CORNER  corner of the filter, 5, 10, 20, 50, 100 or 200 samples (default 5)\n"
    "  --out PATH       the output (default: FILE's folder, its name + _DEC.bin)\n",
    {},
    {"factor", "corner", "out"},
    RunDecimate};
