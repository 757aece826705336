// zorvan spectra: the power spectra of a page as CSV.

#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <vector>

#include "app/analysis.h"
#include "cli/transform_options.h"
#include "util/number_text.h"
#include "util/parallel.h"

namespace {

// Column names: the channel labels, with the slot number added to a label that
// repeats, and the unit of their power spectral density.
std::vector<std::string> ChannelColumns(const RecorderHeader& h) {
  std::vector<std::string> names;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!h.ChannelEnabled[ch]) continue;
    int same = 0;
    for (int other = 0; other < kChannels; ++other)
      same += h.ChannelEnabled[other] && h.ChannelLabel[other] == h.ChannelLabel[ch];
    const int code = h.ChannelLabel[ch];
    std::string name = ChannelLabelName(code);
    if (same > 1) name += "_" + std::to_string(ch + 1);
    // The unit of the power spectral density.
    if (code == kLabelHx || code == kLabelHy || code == kLabelHz) name += "_pT^2/Hz";
    if (code == kLabelEx || code == kLabelEy) name += "_(mV/km)^2/Hz";
    names.push_back(name);
  }
  return names;
}

}  // namespace

void WriteSpectraRows(const AppState& s, std::ostream& out) {
  const double df = 2 * s.FreqStep;
  const int rows = s.FftLength / 2;
  std::vector<const double*> columns;
  for (int ch = 0; ch < kChannels; ++ch)
    if (s.OutHeader.ChannelEnabled[ch]) columns.push_back(s.yplotdata[ch].data());
  // Rows are formatted a block at a time on both cores and written in order:
  // while the blocks of one round are formatted, the round before is written,
  // so the output is the same whatever the number of threads.
  constexpr int kRowsPerBlock = 8192;
  constexpr int kBlocksPerRound = 4;
  const size_t rowBytes = static_cast<size_t>(kMaxNumberText + 1) * (1 + columns.size()) + 1;
  struct Block {
    std::unique_ptr<char[]> text;
    size_t used = 0;
  };
  std::array<std::array<Block, kBlocksPerRound>, 2> rounds;
  for (auto& round : rounds)
    for (Block& block : round) block.text.reset(new char[rowBytes * kRowsPerBlock]);
  auto format = [&](Block& block, int first) {
    const int last = std::min(rows, first + kRowsPerBlock);
    char* p = block.text.get();
    for (int b = first; b < last; ++b) {
      p = WriteGeneral9(p, b * df);
      for (const double* column : columns) {
        *p++ = ',';
        p = WriteScientific6(p, column[b]);
      }
      *p++ = '\n';
    }
    block.used = static_cast<size_t>(p - block.text.get());
  };
  auto write = [&](std::array<Block, kBlocksPerRound>& round) {
    for (Block& block : round) {
      if (block.used) out.write(block.text.get(), static_cast<std::streamsize>(block.used));
      block.used = 0;
    }
  };
  const int roundRows = kRowsPerBlock * kBlocksPerRound;
  int current = 0;
  for (int first = 0; first < rows && out.good(); first += roundRows, current ^= 1) {
    auto& formatting = rounds[static_cast<size_t>(current)];
    auto& writing = rounds[static_cast<size_t>(current ^ 1)];
    // Task 0 writes the previous round, the others format this one.
    ParallelFor(kBlocksPerRound + 1, [&](int task) {
      if (task == 0)
        write(writing);
      else
        format(formatting[static_cast<size_t>(task - 1)], first + (task - 1) * kRowsPerBlock);
    });
  }
  write(rounds[static_cast<size_t>(current ^ 1)]);
}

int RunSpectra(const Args& args) {
  if (args.positional().size() != 1) return Fail("spectra: give one recorder file (see zorvan spectra --help)");
  PageOptions page;
  if (std::string e = ReadPageOptions(args, page); !e.empty()) return Fail("spectra: " + e);
  Session session;
  AppState& s = session.state;
  if (std::string e = ReadSpectralOptions(args, s); !e.empty()) return Fail("spectra: " + e);
  const std::string path = args.positional()[0];
  if (std::string e = LoadPage(session, path, page); !e.empty()) return Fail("spectra: " + e);

  s.FourierOn = 1;
  AnalysePage(s);
  std::cout << "frequency_Hz";
  for (const std::string& name : ChannelColumns(s.OutHeader)) std::cout << "," << name;
  std::cout << "\n";
  WriteSpectraRows(s, std::cout);
  std::cout.flush();
  return std::cout.good() ? 0 : Fail("spectra: writing the output failed");
}

const CliCommand kSpectraCommand{
    "spectra",
    "print the power spectra of a page as CSV",
    "Usage: zorvan spectra FILE [options]\n"
    "Prints the power spectrum of every enabled channel of the page, as the Fourier display\n"
    "computes it: a header row, then one row per frequency bin (frequency in Hz, then the\n"
    "one-sided power spectral density of each channel in the order of the recorder's slots,\n"
    "in pT^2/Hz or (mV/km)^2/Hz as the header row says).\n\nOptions:\n"
    "  --window KIND         data window: none, hanning, hamming or slepian (default hanning)\n"
    "  --notch               notch the power-line harmonics at 60, 180, 300 and 420 Hz\n"
    "  --fit-order P         order of the polynomial trend removed before the transform, 1 to 20 (default 3)\n"
    "  --record N            first record of the page, 1-based (default 1)\n"
    "  --records-per-plot R  records joined into the page (default 1)\n"
    "  --lemi DIR            folder of the coil response files (default: LEMI beside FILE, then ./LEMI)\n",
    {"notch"},
    {"window", "notch", "fit-order", "record", "records-per-plot", "lemi"},
    RunSpectra};
