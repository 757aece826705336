#pragma once
// Export of the page's impedance estimate as an EDI file (the SEG MT/EMAP
// data interchange standard) for plotting and inversion programs.
//
// Impedances are written in (mV/km)/nT for an exp(+iωt) time dependence (the
// conjugates of the estimates, which are made with the opposite transform
// sign), so a uniform half-space gives Zxy at +45° and Zyx at −135°; PHSYX is
// the phase of −Zyx, as the panels and tables show it. Bands without an
// estimate are left out; a value needing a missing channel is EMPTY.

#include <array>
#include <string>
#include <vector>

#include "datafile/header.h"

/// What the EDI text is made of: the page's header, its least-squares bands
/// (BandZ, BandFreq, the phase errors and coherences as the estimate left
/// them) and how they were made.
struct EdiInput {
  RecorderHeader OutHeader{};
  int PlotCount = 0;
  std::vector<double> BandZ, BandFreq, BandCoherence;
  std::array<std::vector<double>, 4> ZZPhaseStd;
  int LeastSquaresOn = 1;
  std::string CurrentFilePath, CurrentFileTitle, ProgramName;
  RecordTime PlotFirstRecordTime{}, RecordTimeShown{};
  int NumPlotPoints = 0, CurrentRecord = 0;
  double SampleRateHz = 0;
  int RemoteBands = 0;  // bands estimated with the remote reference
  std::string RemoteTitle;
  int CoeffsSummed = 0, WindowType = 0, NotchOn = 0, FitOrder = 0;
  bool HaveRemoteHeader = false;
  RecorderHeader RemoteHeader{};  // the remote's first header, for its position and sensor angles
};

/// Latitude and longitude in decimal degrees (north and east positive) and
/// elevation in metres from a GPS position text such as
/// "N6451.4021 W14743.1876 A0132.5" (degrees and decimal minutes). Returns
/// false when the latitude or longitude cannot be read; elevation is NaN when absent.
bool ParseGpsPosition(const std::string& text, double& latitude, double& longitude, double& elevation);

/// The EDI text of the current least-squares (or remote-referenced) estimate;
/// empty when there is none (no MT estimate, or the Sims estimates). fileDate
/// is the date written as FILEDATE, MM/DD/YY.
std::string EdiText(const EdiInput& in, const std::string& fileDate);
/// A date as FILEDATE and ACQDATE give it: MM/DD/YY.
std::string EdiDate(const RecordTime& t);

/// The default name of the export: the data file's base + ".edi".
std::string EdiFileName(const std::string& dataPath);
