// zorvan mt: the impedance estimates of a page, their tables, and one line per band.

#include <cmath>
#include <cstdio>
#include <iostream>

#include "app/analysis.h"
#include "app/edi_export.h"
#include "app/remote_reference.h"
#include "cli/transform_options.h"
#include "mt/impedance.h"
#include "spectral/spectrum.h"

namespace {

std::string ReadMtOptions(const Args& args, AppState& s) {
  if (auto t = args.Get("coeffs")) {
    long long m = 0;
    if (!ParseInt(*t, m) || m < 1 || m > MaxPlotPoints) return "--coeffs takes a whole number from 1";
    s.CoeffsSummed = static_cast<int>(m);
  }
  const std::string estimate = args.Get("estimate").value_or("ls");
  s.LeastSquaresOn = estimate == "ls";
  s.SimsZxxOn = estimate == "zxx";
  s.SimsZxyOn = estimate == "zxy";
  s.SimsZyxOn = estimate == "zyx";
  s.SimsZyyOn = estimate == "zyy";
  if (!s.LeastSquaresOn && !s.SimsZxxOn && !s.SimsZxyOn && !s.SimsZyxOn && !s.SimsZyyOn)
    return "--estimate takes ls, zxx, zxy, zyx or zyy";
  const std::string quantity = args.Get("quantity").value_or("resistivity");
  s.ResistivityOn = quantity == "resistivity";
  s.ImpedanceOn = quantity == "impedance";
  s.CoherOn = quantity == "coherence";
  if (!s.ResistivityOn && !s.ImpedanceOn && !s.CoherOn) return "--quantity takes resistivity, impedance or coherence";
  return {};
}

// A CSV cell: empty for a value that was not estimated.
std::string Cell(double v) {
  if (std::isnan(v)) return ",";
  char text[40];
  std::snprintf(text, sizeof text, ",%.6e", v);
  return text;
}

void PrintLeastSquares(const AppState& s) {
  std::cout << "frequency_Hz,rhoxy_ohm_m,phasexy_deg,rhoyx_ohm_m,phaseyx_deg,coherence_Ex,coherence_Ey\n";
  for (int b = 0; b < s.PlotCount; ++b) {
    const double f = s.BandFreq[static_cast<size_t>(b)];
    char text[40];
    std::snprintf(text, sizeof text, "%.6e", f);
    std::string line = text;
    for (int p : {1, 2}) {
      const Complex z(s.BandZ[8 * static_cast<size_t>(b) + 2 * p], s.BandZ[8 * static_cast<size_t>(b) + 2 * p + 1]);
      const double magnitude = 1000.0 * std::abs(z);
      line += Cell(0.2 * magnitude * magnitude / f);
      line += Cell(std::isnan(magnitude) ? magnitude : ElementPhase(p, z));
    }
    line += Cell(s.BandCoherence[4 * static_cast<size_t>(b) + 2]);
    line += Cell(s.BandCoherence[4 * static_cast<size_t>(b) + 3]);
    std::cout << line << "\n";
  }
}

void PrintSims(const AppState& s, const std::string& estimate) {
  // The four estimates of the element, 1000·|Z| in (mV/km)/nT, as the panels show them.
  std::cout << "frequency_Hz";
  for (int p = 0; p < 4; ++p) std::cout << "," << estimate << "_" << p;
  std::cout << "\n";
  for (int b = 0; b < s.PlotCount; ++b) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6e", s.BandFreq[static_cast<size_t>(b)]);
    std::string line = text;
    for (int p = 0; p < 4; ++p) line += Cell(s.ZZ[p][static_cast<size_t>(b)]);
    std::cout << line << "\n";
  }
}

}  // namespace

int RunMt(const Args& args) {
  if (args.positional().size() != 1) return Fail("mt: give one recorder file (see zorvan mt --help)");
  PageOptions page;
  if (std::string e = ReadPageOptions(args, page); !e.empty()) return Fail("mt: " + e);
  Session session;
  AppState& s = session.state;
  if (std::string e = ReadSpectralOptions(args, s); !e.empty()) return Fail("mt: " + e);
  if (std::string e = ReadMtOptions(args, s); !e.empty()) return Fail("mt: " + e);
  const std::string path = args.positional()[0];
  if (std::string e = LoadPage(session, path, page); !e.empty()) return Fail("mt: " + e);
  if (!FindMtChannels(s)) return Fail("mt: Ex, Ey, Hx, Hy Labels not all present in header");
  if (auto remote = args.Get("remote")) {
    if (std::string e = SetRemoteReference(s, *remote); !e.empty()) return Fail("mt: " + e);
  }

  // Bands wider than the page: nothing to estimate, and the tables are left as they are.
  const std::string tooWide = CoeffsSummedMessage(s.CoeffsSummed, TransformLength(s.NumPlotPoints));
  if (!tooWide.empty()) return Fail("mt: " + tooWide);
  s.FourierOn = 1;
  s.AppResOn = 1;
  AnalysePage(s);
  if (s.RemoteBands > 0) std::cerr << "Estimated with the remote reference " << s.RemoteTitle << "\n";
  if (s.LeastSquaresOn)
    PrintLeastSquares(s);
  else
    PrintSims(s, args.Get("estimate").value_or(""));
  if (s.TableWriteFailed) return Fail("mt: " + session.host.status[0]);
  if (auto edi = args.Get("edi")) {
    if (std::string e = WriteEdi(s, *edi); !e.empty()) return Fail("mt: " + e);
    std::cerr << "Wrote " << *edi << "\n";
  }
  std::cerr << "Wrote " << s.PlotCount << " bands to the tables " << ImpedanceTablePath(s.CurrentFilePath, 0)
            << " … _ZYY.dat\n";
  return std::cout.good() ? 0 : Fail("mt: writing the output failed");
}

const CliCommand kMtCommand{
    "mt",
    "impedance estimates of a page: the four tables and one line per band",
    "Usage: zorvan mt FILE [options]\n"
    "Estimates the impedance tensor in every band of the page as the MT display does, writes\n"
    "the tables FILE_ZXX.dat, FILE_ZXY.dat, FILE_ZYX.dat and FILE_ZYY.dat beside FILE (the\n"
    "base loses its last four characters when the name contains .bin or .BIN), and prints\n"
    "a CSV header and one line per band: the band's frequency in Hz, the apparent\n"
    "resistivity (ohm-m) and phase (degrees) of Zxy and of Zyx, and the coherences of Ex and\n"
    "Ey; a value that needs a missing channel is left empty. With a Sims estimate the tables\n"
    "stay empty and the lines hold the element's four estimates, 1000*|Z| in (mV/km)/nT.\n\n"
    "Options:\n"
    "  --coeffs M            Fourier coefficients averaged per band (default 512)\n"
    "  --estimate KIND       ls (least squares, default), or the Sims estimates of zxx, zxy, zyx or zyy\n"
    "  --quantity KIND       what the tables' second column holds: resistivity (default),\n"
    "                        impedance (1000*|Z|) or coherence\n"
    "  --window KIND         data window: none, hanning, hamming or slepian (default hanning)\n"
    "  --notch               notch the power-line harmonics at 60, 180, 300 and 420 Hz\n"
    "  --fit-order P         order of the polynomial trend removed before the transform, 1 to 20 (default 3)\n"
    "  --record N            first record of the page, 1-based (default 1)\n"
    "  --records-per-plot R  records joined into the page (default 1)\n"
    "  --lemi DIR            folder of the coil response files (default: LEMI beside FILE, then ./LEMI)\n"
    "  --remote FILE         remote reference: the Hx, Hy of FILE recorded over the same times\n"
    "                        give Z = <E R*><H R*>^-1; a page FILE does not cover (or another\n"
    "                        sample rate) is estimated without it, with a message on stderr\n"
    "  --edi OUT.edi         also write the estimate as an EDI file (SEG MT data interchange)\n",
    {"notch"},
    {"coeffs", "estimate", "quantity", "window", "notch", "fit-order", "record", "records-per-plot", "lemi", "remote",
     "edi"},
    RunMt};
