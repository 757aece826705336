// zorvan peaks: the window's peak search over one page of a recording.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>

#include "app/analysis.h"
#include "app/open_file.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "dialogs/header_fields.h"
#include "spectral/peaks.h"

namespace {

// The peak options, as the Find Peaks dialog would set them.
std::string ApplyPeakOptions(const Args& args, AppState& s) {
  if (auto t = args.Get("noise")) {
    std::vector<std::string> items = SplitList(*t);
    double levels[4];
    bool ok = items.size() == 4;
    for (size_t i = 0; ok && i < 4; ++i)
      ok = ParseDouble(items[i], levels[i]) && std::isfinite(levels[i]) && levels[i] >= 0;
    if (!ok) return "--noise takes four noise levels of 0 or more, for channels 1 to 4 (e.g. 0.5,0.5,0.03,0.03)";
    for (int i = 0; i < 4; ++i) s.NoiseLevel[i] = levels[i];
  }
  if (auto t = args.Get("cutoff")) {
    double c = 0;
    if (!ParseDouble(*t, c) || !std::isfinite(c) || c < 0) return "--cutoff takes a number of 0 or more";
    s.SNCutoff = c;
  }
  return {};
}

const char* UnitOf(int label) {
  if (label >= kLabelHx && label <= kLabelHz) return "pT";
  if (label == kLabelEx || label == kLabelEy) return "mV/km";
  return "";
}

}  // namespace

int RunPeaks(const Args& args) {
  if (args.positional().size() != 1) return Fail("peaks: give one recorder file (see zorvan peaks --help)");
  PageOptions page;
  if (std::string e = ReadPageOptions(args, page); !e.empty()) return Fail("peaks: " + e);
  Session session;
  AppState& s = session.state;
  if (std::string e = ApplyPeakOptions(args, s); !e.empty()) return Fail("peaks: " + e);
  const std::string path = args.positional()[0];
  if (!session.Open(path, page)) return Fail("peaks: " + session.OpenFailure(path));
  if (page.record > 1 && !LoadPageAt(s, page.record - 1))
    return Fail("peaks: " + path + " has no record " + std::to_string(page.record));
  if (s.NumPlotPoints == 0) return Fail("peaks: " + path + " has no samples on that page");

  // The steps of a full redraw up to the search: gains, units, the search itself.
  ComputeSensorScales(s, s.OutHeader);
  ComputeGains(s.OutHeader);
  ScaleRecordToUnits(s);
  const PeakSearchResult result = FindPeaks(s);

  std::cout << "Page: records " << s.CurrentRecord + 1 << " to "
            << s.CurrentRecord + (s.NumPlotPoints + s.SampsPerBlock - 1) / std::max(1, s.SampsPerBlock) << " of "
            << path << ", " << s.NumPlotPoints << " points\n";
  const RecorderHeader& h = s.OutHeader;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!h.ChannelEnabled[ch]) continue;
    const int label = h.ChannelLabel[ch];
    std::cout << "\nChannel " << ch + 1 << " (" << ChannelLabelName(label) << "): " << s.PeakCount[ch]
              << (s.PeakCount[ch] == 1 ? " peak" : " peaks") << ", noise " << Format("%g", s.NoiseLevel[ch]);
    if (s.PeakCount[ch] == kMaxPeaks) std::cout << " (the first " << kMaxPeaks << " are kept)";
    std::cout << "\n";
    if (s.PeakCount[ch] > 0) std::cout << Format("  %14s  %14s\n", "time, s", UnitOf(label));
    for (int k = 0; k < s.PeakCount[ch]; ++k)
      std::cout << Format("  %14.6f  %14.6g\n", s.PeakX[ch][static_cast<size_t>(k)],
                          s.PeakY[ch][static_cast<size_t>(k)]);
  }
  if (result.err) return Fail("peaks: " + result.why);
  std::cout << "\nWrote " << result.path << ": " << result.lines << (result.lines == 1 ? " line" : " lines")
            << " (direction and magnitude of the channel 3 peaks beyond channel 2, with channel 4)\n";
  return 0;
}

const CliCommand kPeaksCommand{
    "peaks",
    "find the peaks of a page and write PeakData.txt",
    "Usage: zorvan peaks FILE [options]\n"
    "Searches the page for the peaks that the window marks with Find Peaks on: the local extremes of each\n"
    "enabled channel, after its polynomial trend is removed, that stand more than twice the channel's noise\n"
    "level above (or below) the samples two before or after. A minimum deeper than cutoff x noise hides the\n"
    "next 5 samples. Prints the time and value of each peak per channel, and writes PeakData.txt in the\n"
    "current directory: for every peak of channel 3 that exceeds channel 2 at that time, a direction in\n"
    "degrees and a magnitude formed with channel 4, \"%8.3f %8.3f\" per line.\n\nOptions:\n"
    "  --noise A,B,C,D       noise levels of channels 1 to 4 in their units (default 0.5,0.5,0.03,0.03)\n"
    "  --cutoff C            signal-to-noise cutoff of deep minima (default 2)\n"
    "  --record N            first record of the page, 1-based (default 1)\n"
    "  --records-per-plot R  records joined into the page (default 1)\n"
    "  --lemi DIR            folder of the coil response files (default: LEMI beside FILE, then ./LEMI)\n",
    {},
    {"noise", "cutoff", "record", "records-per-plot", "lemi"},
    RunPeaks};
