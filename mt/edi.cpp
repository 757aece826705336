#include "mt/edi.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "datafile/header.h"
#include "mt/impedance.h"
#include "util/paths.h"
#include "util/text.h"

namespace {

using Complex = std::complex<double>;
constexpr double kEmpty = 1.0e32;           // EMPTY: a value that was not estimated
constexpr char kProgramVersion[] = "2.37";  // as the About dialog shows it
constexpr char kProgramDate[] = "11/06/13";
constexpr int kValuesPerLine = 5;
constexpr double kMetresPerDegree = 111195.0;  // on a sphere of the Earth's mean radius

std::string DateText(const RecordTime& t) {
  return Format("%02d/%02d/%02d", t.month, t.day, ((t.year % 100) + 100) % 100);
}

// A value as EDI data blocks carry it; not a number is EMPTY.
std::string Value(double v) { return Format("%14.6E", std::isfinite(v) ? v : kEmpty); }

void Block(std::string& out, const std::string& keyword, const std::vector<double>& values) {
  out += ">" + keyword + " //" + std::to_string(values.size()) + "\n";
  for (size_t i = 0; i < values.size(); ++i) {
    out += Value(values[i]);
    if ((i + 1) % kValuesPerLine == 0 || i + 1 == values.size()) out += "\n";
  }
}

// The channel of each label among OutHeader's enabled channels (the last one wins), −1 when absent.
int ChannelOf(const RecorderHeader& h, int label) {
  int found = -1;
  for (int ch = 0; ch < kChannels; ++ch)
    if (h.ChannelEnabled[ch] && h.ChannelLabel[ch] == label) found = ch;
  return found;
}

// A coordinate rounded to decimetres, without a negative zero.
double Metres(double v) { return std::round(v * 10.0) / 10.0 + 0.0; }

std::string Decimal(double v, int decimals) { return Format("%.*f", decimals, v); }

}  // namespace

bool ParseGpsPosition(const std::string& text, double& latitude, double& longitude, double& elevation) {
  bool haveLat = false, haveLon = false;
  elevation = std::numeric_limits<double>::quiet_NaN();
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == ',')) ++pos;
    size_t end = pos;
    while (end < text.size() && text[end] != ' ' && text[end] != ',' && text[end] != '\0') ++end;
    if (end == pos) break;
    const std::string token = text.substr(pos, end - pos);
    pos = end;
    if (token.size() < 2) continue;
    char* stop = nullptr;
    const double v = std::strtod(token.c_str() + 1, &stop);
    if (stop == token.c_str() + 1 || *stop != '\0' || !std::isfinite(v) || v < 0) continue;
    // ddmm.mmmm or dddmm.mmmm: whole degrees, then minutes.
    const double degrees = std::floor(v / 100.0), minutes = v - 100.0 * degrees;
    const double angle = degrees + minutes / 60.0;
    switch (token[0]) {
      case 'N':
      case 'S':
        if (minutes >= 60 || angle > 90) return false;
        latitude = token[0] == 'N' ? angle : -angle;
        haveLat = true;
        break;
      case 'E':
      case 'W':
        if (minutes >= 60 || angle > 180) return false;
        longitude = token[0] == 'E' ? angle : -angle;
        haveLon = true;
        break;
      case 'A': elevation = v; break;
      default: break;
    }
  }
  return haveLat && haveLon;
}

std::string EdiFileName(const std::string& dataPath) { return ImpedanceTableBase(FileTitleOf(dataPath)) + ".edi"; }

std::string EdiDate(const RecordTime& t) { return DateText(t); }

std::string EdiText(const EdiInput& s, const std::string& fileDate) {
  const int bands = std::min<int>(s.PlotCount, static_cast<int>(s.BandZ.size() / 8));
  if (!s.LeastSquaresOn || bands <= 0 || s.BandFreq.size() < static_cast<size_t>(bands)) return {};

  // The bands with an estimate, highest frequency first.
  std::vector<int> kept;
  for (int b = bands - 1; b >= 0; --b) {
    bool any = false;
    for (int k = 0; k < 8; ++k) any = any || std::isfinite(s.BandZ[8 * static_cast<size_t>(b) + k]);
    if (any && s.BandFreq[static_cast<size_t>(b)] > 0) kept.push_back(b);
  }
  if (kept.empty()) return {};
  const size_t n = kept.size();

  const std::string station = ImpedanceTableBase(FileTitleOf(s.CurrentFilePath));
  const std::string gps = s.OutHeader.GpsPosition;
  double lat = 0, lon = 0, elev = 0;
  const bool located = ParseGpsPosition(gps, lat, lon, elev);
  const bool remote = s.RemoteBands > 0;

  std::string out;
  out += ">HEAD\n";
  out += "    DATAID=\"" + station + "\"\n";
  out += "    ACQBY=\"" + std::string(s.OutHeader.RecorderSerial) + "\"\n";
  out += "    FILEBY=\"" + s.ProgramName + "\"\n";
  out += "    ACQDATE=" + DateText(s.PlotFirstRecordTime) + "\n";
  out += "    FILEDATE=" + fileDate + "\n";
  if (located) {
    out += "    LAT=" + Decimal(lat, 6) + "\n";
    out += "    LONG=" + Decimal(lon, 6) + "\n";
    if (std::isfinite(elev)) out += "    ELEV=" + Decimal(elev, 1) + "\n";
  }
  out += "    STDVERS=\"SEG 1.0\"\n";
  out += "    PROGVERS=\"" + s.ProgramName + " " + kProgramVersion + "\"\n";
  out += "    PROGDATE=" + std::string(kProgramDate) + "\n";
  out += "    MAXSECT=1\n";
  out += "    EMPTY=1.0E+32\n\n";

  static const char* const kWindowNames[4] = {"none", "Hanning", "Hamming", "Slepian"};
  std::vector<std::string> info;
  info.push_back("Recorder " + std::string(s.OutHeader.RecorderSerial) + ", file " + s.CurrentFileTitle);
  info.push_back(Format("Page of %d samples from record %d at %g samples/s, starting %s %s UTC", s.NumPlotPoints,
                        s.CurrentRecord + 1, s.SampleRateHz, FormatDate(s.RecordTimeShown).c_str(),
                        FormatTime(s.RecordTimeShown).c_str()));
  info.push_back(remote ? "Estimate: remote reference " + s.RemoteTitle + ", Z = <E R*><H R*>^-1"
                        : std::string("Estimate: least squares"));
  info.push_back(Format("Bands of %d Fourier coefficients, %s window, notch %s, trend order %d", s.CoeffsSummed,
                        kWindowNames[s.WindowType >= 0 && s.WindowType < 4 ? s.WindowType : 0],
                        s.NotchOn ? "on" : "off", s.FitOrder));
  info.push_back("Impedances in (mV/km)/nT for exp(+iwt); PHSYX is the phase of -Zyx");
  if (!located) info.push_back("GPS position not readable: " + gps);
  if (s.OutHeader.Comments[0]) info.push_back(std::string("Comments: ") + s.OutHeader.Comments);
  out += ">INFO\n    MAXINFO=" + std::to_string(info.size()) + "\n";
  for (const std::string& line : info) out += "    " + line + "\n";
  out += "\n";

  // Measurements: the magnetic sensors at the site, the dipoles centred on it.
  struct Meas {
    const char* type;
    int label;
    const char* id;
  };
  static const Meas kMeas[5] = {{"HX", kLabelHx, "1001.001"},
                                {"HY", kLabelHy, "1002.001"},
                                {"HZ", kLabelHz, "1003.001"},
                                {"EX", kLabelEx, "1004.001"},
                                {"EY", kLabelEy, "1005.001"}};
  std::vector<std::string> meas, sect;
  for (const Meas& m : kMeas) {
    const int ch = ChannelOf(s.OutHeader, m.label);
    if (ch < 0) continue;
    const double angle = s.OutHeader.SensorAngle[ch];
    if (m.label == kLabelEx || m.label == kLabelEy) {
      const double half = 0.5 * s.OutHeader.Spacing[ch], a = angle * M_PI / 180.0;
      const double x = half * std::cos(a), y = half * std::sin(a);
      meas.push_back(Format(">EMEAS ID=%s CHTYPE=%s X=%.1f Y=%.1f Z=0.0 X2=%.1f Y2=%.1f Z2=0.0 ACQCHAN=%d", m.id,
                            m.type, Metres(-x), Metres(-y), Metres(x), Metres(y), ch + 1));
    } else {
      meas.push_back(Format(">HMEAS ID=%s CHTYPE=%s X=0.0 Y=0.0 Z=0.0 AZM=%.1f DIP=%.1f ACQCHAN=%d", m.id, m.type,
                            m.label == kLabelHz ? 0.0 : angle, m.label == kLabelHz ? 90.0 : 0.0, ch + 1));
    }
    sect.push_back(std::string("    ") + m.type + "=" + m.id);
  }
  const RecorderHeader& rh = s.RemoteHeader;
  if (remote && s.HaveRemoteHeader) {
    double rlat = 0, rlon = 0, relev = 0;
    double x = 0, y = 0;
    if (located && ParseGpsPosition(rh.GpsPosition, rlat, rlon, relev)) {
      x = (rlat - lat) * kMetresPerDegree;
      y = (rlon - lon) * kMetresPerDegree * std::cos(lat * M_PI / 180.0);
    }
    int chans[2] = {-1, -1};
    for (int ch = 0; ch < kChannels; ++ch) {
      if (!rh.ChannelEnabled[ch]) continue;
      if (rh.ChannelLabel[ch] == kLabelHx) chans[0] = ch;
      if (rh.ChannelLabel[ch] == kLabelHy) chans[1] = ch;
    }
    static const char* const kRemote[2][2] = {{"RX", "2001.001"}, {"RY", "2002.001"}};
    for (int r = 0; r < 2; ++r) {
      if (chans[r] < 0) continue;
      meas.push_back(Format(">HMEAS ID=%s CHTYPE=%s X=%.1f Y=%.1f Z=0.0 AZM=%.1f DIP=0.0", kRemote[r][1], kRemote[r][0],
                            x, y, static_cast<double>(rh.SensorAngle[chans[r]])));
      sect.push_back(std::string("    ") + kRemote[r][0] + "=" + kRemote[r][1]);
    }
  }
  out += ">=DEFINEMEAS\n";
  out += "    MAXCHAN=" + std::to_string(meas.size()) + "\n";
  out += "    MAXRUN=999\n    MAXMEAS=9999\n    UNITS=M\n    REFTYPE=CART\n";
  if (located) {
    out += "    REFLAT=" + Decimal(lat, 6) + "\n    REFLONG=" + Decimal(lon, 6) + "\n";
    if (std::isfinite(elev)) out += "    REFELEV=" + Decimal(elev, 1) + "\n";
  }
  out += "\n";
  for (const std::string& m : meas) out += m + "\n";
  out += "\n>=MTSECT\n    SECTID=\"" + station + "\"\n    NFREQ=" + std::to_string(n) + "\n";
  for (const std::string& line : sect) out += line + "\n";
  out += "\n";

  // Per band: EDI impedances, relative errors of |Z| (tan of the phase error), coherences.
  std::vector<double> freq(n), zrot(n, 0.0);
  std::vector<double> zr[4], zi[4], var[4], rho[4], rhoErr[4], phs[4], phsErr[4], coh[2];
  for (int p = 0; p < 4; ++p) {
    zr[p].resize(n), zi[p].resize(n), var[p].resize(n), rho[p].resize(n), rhoErr[p].resize(n), phs[p].resize(n),
        phsErr[p].resize(n);
  }
  coh[0].resize(n), coh[1].resize(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t b = static_cast<size_t>(kept[i]);
    const double f = s.BandFreq[b];
    freq[i] = f;
    for (int p = 0; p < 4; ++p) {
      const Complex z = 1000.0 * std::conj(Complex(s.BandZ[8 * b + 2 * p], s.BandZ[8 * b + 2 * p + 1]));
      const double phaseErr = b < s.ZZPhaseStd[p].size() ? s.ZZPhaseStd[p][b] : NAN;
      const double rel = std::tan(phaseErr * M_PI / 180.0);
      const double magnitude = std::abs(z);
      zr[p][i] = z.real();
      zi[p][i] = z.imag();
      var[p][i] = std::pow(rel * magnitude, 2);
      rho[p][i] = 0.2 * magnitude * magnitude / f;
      rhoErr[p][i] = 2.0 * rel * rho[p][i];
      const Complex shown = p == 2 ? -z : z;
      phs[p][i] = std::isfinite(magnitude) ? std::atan2(shown.imag(), shown.real()) * 180.0 / M_PI : NAN;
      phsErr[p][i] = phaseErr;
    }
    coh[0][i] = 4 * b + 3 < s.BandCoherence.size() ? s.BandCoherence[4 * b + 2] : NAN;
    coh[1][i] = 4 * b + 3 < s.BandCoherence.size() ? s.BandCoherence[4 * b + 3] : NAN;
  }
  static const char* const kEl[4] = {"XX", "XY", "YX", "YY"};
  out += ">!****FREQUENCIES****!\n";
  Block(out, "FREQ ORDER=DEC", freq);
  out += ">!****IMPEDANCE ROTATION ANGLES****!\n";
  Block(out, "ZROT", zrot);
  out += ">!****IMPEDANCES****!\n";
  for (int p = 0; p < 4; ++p) {
    Block(out, std::string("Z") + kEl[p] + "R ROT=ZROT", zr[p]);
    Block(out, std::string("Z") + kEl[p] + "I ROT=ZROT", zi[p]);
    Block(out, std::string("Z") + kEl[p] + ".VAR ROT=ZROT", var[p]);
  }
  out += ">!****APPARENT RESISTIVITIES AND PHASES****!\n";
  for (int p = 0; p < 4; ++p) {
    Block(out, std::string("RHO") + kEl[p] + " ROT=ZROT", rho[p]);
    Block(out, std::string("RHO") + kEl[p] + ".ERR ROT=ZROT", rhoErr[p]);
    Block(out, std::string("PHS") + kEl[p] + " ROT=ZROT", phs[p]);
    Block(out, std::string("PHS") + kEl[p] + ".ERR ROT=ZROT", phsErr[p]);
  }
  out += ">!****COHERENCES OF THE PREDICTED ELECTRIC FIELDS****!\n";
  Block(out, "EXCOH ROT=ZROT", coh[0]);
  Block(out, "EYCOH ROT=ZROT", coh[1]);
  out += ">END\n";
  return out;
}
