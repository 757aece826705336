// zorvan spectra: the power spectra of a page as CSV.

#include <charconv>
#include <iostream>
#include <vector>

#include "app/analysis.h"
#include "cli/transform_options.h"

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
  // Rows go into a buffer written a megabyte at a time; std::to_chars with a
  // precision gives the text of printf's %.9g and %.6e.
  std::vector<char> buffer(size_t{1} << 20);
  size_t used = 0;
  for (int b = 0; b < s.FftLength / 2; ++b) {
    if (buffer.size() - used < 256) {
      out.write(buffer.data(), static_cast<std::streamsize>(used));
      used = 0;
    }
    char* p = buffer.data() + used;
    char* end = buffer.data() + buffer.size();
    p = std::to_chars(p, end, b * df, std::chars_format::general, 9).ptr;
    for (int ch = 0; ch < kChannels; ++ch) {
      if (!s.OutHeader.ChannelEnabled[ch]) continue;
      *p++ = ',';
      p = std::to_chars(p, end, s.yplotdata[ch][static_cast<size_t>(b)], std::chars_format::scientific, 6).ptr;
    }
    *p++ = '\n';
    used = static_cast<size_t>(p - buffer.data());
  }
  out.write(buffer.data(), static_cast<std::streamsize>(used));
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
