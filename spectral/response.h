#pragma once
// Induction-coil response correction: finding and reading the coil's
// response file, and the response at a frequency.

#include <string>
#include <vector>

struct AppState;

/// The coil's response file name for a serial: "LEMI-120_" + serial + ".rsp".
std::string ResponseFileName(const std::string& serial);
/// The folders searched for the response files, in order: ResponseDir alone
/// when set (the tool's --lemi); else "LEMI" beside the open data file, then
/// "LEMI" in the start-up directory (the tool's current directory).
std::vector<std::string> ResponseDirectories(const AppState& s);
/// The serial text of a header field: up to its terminating zero, at most 16 bytes.
std::string SensorSerialText(const char (&field)[17]);

/// Reads the response file of channel ch (the serial of OutHeader) into
/// ResponseTable and ResponseRows, from the first of ResponseDirectories that
/// holds it. When the coil's file is in none of them, reads "LEMI-120.rsp"
/// from the first that holds it and shows "<file> not found, using default
/// LEMI-120.rsp"; when neither exists the table is empty and the message says
/// the channel is shown without coil correction. A message is shown once per
/// file name (until ForgetResponseMessages). At most 200 rows; one row
/// per line, of which the first 1024 characters are read (the rest of a longer
/// line is skipped), a carriage return before the line break dropped, fields
/// separated by blanks (spaces), missing or non-numeric fields 0. Returns 1
/// when the coil's own file was read, else 0.
int LoadResponse(AppState& s, int ch);

/// Forgets which missing coil files have been reported (called when a recording is opened).
void ForgetResponseMessages(AppState& s);

/// The response at f Hz, linearly interpolated between the first pair of
/// consecutive rows whose frequencies bracket f (inclusive, in either order);
/// a frequency equal to a row's gives that row exactly. Outside the table's
/// frequency range the nearest end row (lowest or highest frequency) is used;
/// a single row is used for every f. Returns 0 (and amplitude = phase = 0)
/// for an empty table, else 1.
int ResponseAt(const AppState& s, double f, double* amplitude, double* phaseDegrees);

/// The coil correction of one bin: the magnitude m becomes 200·m/amplitude and the
/// phase phase·π/180 − atan2(re, im). An amplitude of 0 (or not finite) leaves
/// the bin as it is. Returns 1 when the bin was corrected.
int CorrectBin(double* re, double* im, double amplitude, double phaseDegrees);

/// Corrects bins b = 0 … N/2−1 of the interleaved spectrum X (X[2b+1] real,
/// X[2b+2] imaginary part, the layout of four1) by the response at b·df.
/// An empty table corrects nothing.
void CorrectSpectrum(const AppState& s, double X[], unsigned long N, double df);
