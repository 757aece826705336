#include "spectral/response.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

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

// One line of text from pos: up to and without its line break, its first
// kLineChars characters kept (the rest of a longer line is skipped), a
// carriage return before the break dropped. Returns false at the end of the
// text with nothing read.
bool ReadLine(std::string_view text, size_t& pos, std::string& line) {
  line.clear();
  if (pos >= text.size()) return false;
  size_t end = text.find('\n', pos);
  const bool lineBreak = end != std::string_view::npos;
  if (!lineBreak) end = text.size();
  line.assign(text.substr(pos, std::min(end - pos, static_cast<size_t>(kLineChars))));
  pos = lineBreak ? end + 1 : end;
  if (lineBreak && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace

const char* const kDefaultResponseFile = "LEMI-120.rsp";

std::string ResponseFileName(const std::string& serial) { return "LEMI-120_" + serial + ".rsp"; }

ResponseTable ParseResponseText(std::string_view text) {
  ResponseTable r;
  std::string line;
  size_t at = 0;
  while (r.rows < ResponseTable::kMaxRows && ReadLine(text, at, line)) {
    size_t pos = 0;
    double freq = NextField(line, pos);
    double amp = NextField(line, pos);
    double phase = NextField(line, pos);
    r.table[r.rows][0] = freq;
    r.table[r.rows][1] = amp;
    r.table[r.rows][2] = phase;
    ++r.rows;
  }
  return r;
}

int ResponseAt(const ResponseTable& response, double f, double* amplitude, double* phaseDegrees) {
  const int rows = std::clamp(response.rows, 0, ResponseTable::kMaxRows);
  const auto& T = response.table;
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

void CorrectSpectrum(const ResponseTable& response, double X[], unsigned long N, double df) {
  if (response.rows <= 0) return;
  for (unsigned long b = 0; b < N / 2; ++b) {
    double amplitude = 0.0, phase = 0.0;
    ResponseAt(response, static_cast<double>(b) * df, &amplitude, &phase);
    CorrectBin(&X[2 * b + 1], &X[2 * b + 2], amplitude, phase);
  }
}
