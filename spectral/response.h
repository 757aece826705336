#pragma once
// Induction-coil response correction: the coil's response table, read from
// the text of its response file, and the response at a frequency.

#include <string>
#include <string_view>

/// A coil's response: rows of frequency (Hz), amplitude and phase (degrees).
struct ResponseTable {
  static constexpr int kMaxRows = 200;
  int rows = 0;
  double table[kMaxRows][3] = {};
};

/// The default response file, used when a coil's own file is missing.
extern const char* const kDefaultResponseFile;  // "LEMI-120.rsp"

/// The coil's response file name for a serial: "LEMI-120_" + serial + ".rsp".
std::string ResponseFileName(const std::string& serial);

/// The table of a response file's text: at most 200 rows; one row per line, of
/// which the first 1024 characters are read (the rest of a longer line is
/// skipped), a carriage return before the line break dropped, fields separated
/// by blanks (spaces), missing or non-numeric fields 0.
ResponseTable ParseResponseText(std::string_view text);

/// The response at f Hz, linearly interpolated between the first pair of
/// consecutive rows whose frequencies bracket f (inclusive, in either order);
/// a frequency equal to a row's gives that row exactly. Outside the table's
/// frequency range the nearest end row (lowest or highest frequency) is used;
/// a single row is used for every f. Returns 0 (and amplitude = phase = 0)
/// for an empty table, else 1.
int ResponseAt(const ResponseTable& response, double f, double* amplitude, double* phaseDegrees);

/// The coil correction of one bin: the magnitude m becomes 200·m/amplitude and the
/// phase phase·π/180 − atan2(re, im). An amplitude of 0 (or not finite) leaves
/// the bin as it is. Returns 1 when the bin was corrected.
int CorrectBin(double* re, double* im, double amplitude, double phaseDegrees);

/// Corrects bins b = 0 … N/2−1 of the interleaved spectrum X (X[2b+1] real,
/// X[2b+2] imaginary part, the layout of four1) by the response at b·df.
/// An empty table corrects nothing.
void CorrectSpectrum(const ResponseTable& response, double X[], unsigned long N, double df);
