#pragma once
// Export of the page's impedance estimate as an EDI file (the SEG MT/EMAP
// data interchange standard) for plotting and inversion programs.
//
// Impedances are written in (mV/km)/nT for an exp(+iωt) time dependence (the
// conjugates of the estimates, which are made with the opposite transform
// sign), so a uniform half-space gives Zxy at +45° and Zyx at −135°; PHSYX is
// the phase of −Zyx, as the panels and tables show it. Bands without an
// estimate are left out; a value needing a missing channel is EMPTY.

#include <string>
#include <vector>

#include "datafile/file_io.h"

struct AppState;

/// Latitude and longitude in decimal degrees (north and east positive) and
/// elevation in metres from a GPS position text such as
/// "N6451.4021 W14743.1876 A0132.5" (degrees and decimal minutes). Returns
/// false when the latitude or longitude cannot be read; elevation is NaN when absent.
bool ParseGpsPosition(const std::string& text, double& latitude, double& longitude, double& elevation);

/// The EDI text of the current least-squares (or remote-referenced) estimate;
/// empty when there is none (no MT estimate, or the Sims estimates). fileDate
/// is the date written as FILEDATE, MM/DD/YY.
std::string EdiText(const AppState& s, const std::string& fileDate);

/// The inputs an export must not overwrite: the open recording and the remote reference.
std::vector<FileId> ExportInputs(const AppState& s);

/// Writes the current estimate to path; returns "" or a message saying why not.
std::string WriteEdi(AppState& s, const std::string& path);

/// The default name of the export: the data file's base + ".edi".
std::string EdiFileName(const std::string& dataPath);

/// File, Export EDI...: estimates the page (in MT mode, least squares), asks
/// for the file (a save dialog offering EdiFileName) and writes it. Returns 1
/// when a file was written.
int ExportEdi(AppState& s);
