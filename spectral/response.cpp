#include "spectral/response.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "datafile/header.h"
#include "datafile/loader.h"
#include "platform/platform.h"

namespace {

constexpr const char* kDefaultResponseFile = "LEMI-120.rsp";
constexpr int kLineChars = 1024;

// A decimal number as strtod reads it in the "C" locale, whatever the process's
// locale: the whole field when it is one, else its leading number, else 0.
double FieldValue(const char* begin, const char* end) {
  if (begin < end && *begin == '+') ++begin;
  double value = 0.0;
  std::from_chars_result r = std::from_chars(begin, end, value);
  return r.ec == std::errc() ? value : 0.0;
}

// The next field of line from pos: skips blanks, then takes the text up to the next blank.
double NextField(const std::string& line, size_t& pos) {
  while (pos < line.size() && line[pos] == ' ') ++pos;
  size_t start = pos;
  while (pos < line.size() && line[pos] != ' ') ++pos;
  return FieldValue(line.data() + start, line.data() + pos);
}

// One line as the text-mode reader gives it: up to and without its line break,
// its first kLineChars characters kept (the rest of a longer line is skipped),
// a carriage return before the break dropped. Returns false at the end of the
// file with nothing read.
bool ReadLine(std::FILE* f, std::string& line) {
  line.clear();
  bool any = false;
  bool lineBreak = false;
  int c = 0;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') {
      lineBreak = true;
      break;
    }
    if (line.size() < static_cast<size_t>(kLineChars)) line.push_back(static_cast<char>(c));
  }
  if (!any) return false;
  if (lineBreak && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void ReadTable(AppState& s, std::FILE* f) {
  std::string line;
  int rows = 0;
  while (rows < AppState::kMaxResponseRows && ReadLine(f, line)) {
    size_t pos = 0;
    double freq = NextField(line, pos);
    double amp = NextField(line, pos);
    double phase = NextField(line, pos);
    s.ResponseTable[rows][0] = freq;
    s.ResponseTable[rows][1] = amp;
    s.ResponseTable[rows][2] = phase;
    ++rows;
  }
  s.ResponseRows = rows;
}

}  // namespace

std::string ResponseFileName(const std::string& serial) { return "LEMI-120_" + serial + ".rsp"; }

std::vector<std::string> ResponseDirectories(const AppState& s) {
  if (!s.ResponseDir.empty()) return {WithSeparator(s.ResponseDir)};
  std::vector<std::string> dirs;
  if (!s.CurrentFilePath.empty()) dirs.push_back(WithSeparator(DirectoryOf(s.CurrentFilePath)) + "LEMI" + kPathSeparator);
  const std::string start = WithSeparator(s.StartDir) + "LEMI" + kPathSeparator;
  if (dirs.empty() || dirs[0] != start) dirs.push_back(start);
  return dirs;
}

std::string SensorSerialText(const char (&field)[17]) {
  size_t len = 0;
  while (len < 16 && field[len] != '\0') ++len;
  return std::string(field, len);
}

int LoadResponse(AppState& s, int ch) {
  s.ResponseRows = 0;
  if (ch < 0 || ch >= kChannels) return 0;
  const std::vector<std::string> dirs = ResponseDirectories(s);
  const std::string name = ResponseFileName(SensorSerialText(s.OutHeader.SensorSerial[ch]));
  // Read only: a read-only coil file is as good as any. The coil's own file
  // in any of the folders comes before the default file.
  auto open = [&](const std::string& file) -> std::FILE* {
    for (const std::string& dir : dirs)
      if (std::FILE* f = std::fopen((dir + file).c_str(), "r")) return f;
    return nullptr;
  };
  std::FILE* f = open(name);
  const int own = f != nullptr;
  if (!f) f = open(kDefaultResponseFile);
  if (!own && std::find(s.ResponseToldNames.begin(), s.ResponseToldNames.end(), name) == s.ResponseToldNames.end()) {
    s.ResponseToldNames.push_back(name);
    std::string text = name + " not found, using default " + kDefaultResponseFile;
    if (!f) {
      std::string where;
      for (size_t i = 0; i < dirs.size(); ++i) where += (i == 0 ? "" : " and ") + dirs[i];
      const int code = s.OutHeader.ChannelLabel[ch];
      const std::string label = code == kLabelHx ? "Hx" : code == kLabelHy ? "Hy" : "H";
      text = name + " not found, nor the default " + kDefaultResponseFile + ", in " + where + ": " + label +
             " is shown without coil correction";
    }
    if (s.host) ShowMessage(*s.host, text, MsgIcon::Warning);
  }
  if (!f) return 0;
  ReadTable(s, f);
  std::fclose(f);
  return own;
}

void ForgetResponseMessages(AppState& s) { s.ResponseToldNames.clear(); }

int ResponseAt(const AppState& s, double f, double* amplitude, double* phaseDegrees) {
  const int rows = std::clamp(s.ResponseRows, 0, AppState::kMaxResponseRows);
  const auto& T = s.ResponseTable;
  *amplitude = 0.0;
  *phaseDegrees = 0.0;
  if (rows == 0) return 0;
  for (int i = 0; i + 1 < rows; ++i) {
    double f0 = T[i][0], f1 = T[i + 1][0];
    if (f < std::min(f0, f1) || f > std::max(f0, f1)) continue;
    if (f == f0 || f0 == f1) {
      *amplitude = T[i][1];
      *phaseDegrees = T[i][2];
    } else if (f == f1) {
      *amplitude = T[i + 1][1];
      *phaseDegrees = T[i + 1][2];
    } else {
      *amplitude = T[i][1] + (f - f0) * (T[i + 1][1] - T[i][1]) / (f1 - f0);
      *phaseDegrees = T[i][2] + (f - f0) * (T[i + 1][2] - T[i][2]) / (f1 - f0);
    }
    return 1;
  }
  // Outside the table (or a single row): the end row nearest in frequency.
  int lowest = 0, highest = 0;
  for (int i = 1; i < rows; ++i) {
    if (T[i][0] < T[lowest][0]) lowest = i;
    if (T[i][0] > T[highest][0]) highest = i;
  }
  int row = f < T[lowest][0] ? lowest : highest;
  if (rows == 1 || std::isnan(f)) row = 0;
  *amplitude = T[row][1];
  *phaseDegrees = T[row][2];
  return 1;
}

int CorrectBin(double* re, double* im, double amplitude, double phaseDegrees) {
  if (amplitude == 0.0 || !std::isfinite(amplitude) || !std::isfinite(phaseDegrees)) return 0;
  const double pi = std::acos(-1.0);
  double m = std::sqrt(*re * *re + *im * *im);
  double theta = std::atan2(*re, *im);  // the real part first, as the pipeline has it
  double mc = 200.0 * m / amplitude;
  double phi = phaseDegrees * pi / 180.0 - theta;
  *re = mc * std::cos(phi);
  *im = mc * std::sin(phi);
  return 1;
}

void CorrectSpectrum(const AppState& s, double X[], unsigned long N, double df) {
  if (s.ResponseRows <= 0) return;
  for (unsigned long b = 0; b < N / 2; ++b) {
    double amplitude = 0.0, phase = 0.0;
    ResponseAt(s, static_cast<double>(b) * df, &amplitude, &phase);
    CorrectBin(&X[2 * b + 1], &X[2 * b + 2], amplitude, phase);
  }
}
