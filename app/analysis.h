#pragma once
// The page's analysis: runs the numerics (spectral/, mt/) over the state's
// page, copies their results into the state's arrays for the panels, reads
// the coil response files and the remote reference, shows the analysis's
// messages and writes its outputs (the impedance tables, PeakData.txt).

#include <string>
#include <vector>

#include "app/state.h"

/// Everything a full redraw computes before the axes: sensor scales and gains,
/// units, peaks when FindPeaksOn, spectra in spectral mode and impedance
/// estimates in MT mode. When the MT channels are missing it shows "Ex, Ey, Hx,
/// Hy Labels not all present in header" and leaves the time-series mode on.
void AnalysePage(AppState& s);

/// Raw counts to units for every enabled channel of OutHeader, through the
/// display filter when FilterOn, negated for inverted channels.
void ScaleRecordToUnits(AppState& s);

/// Finds the enabled channels labelled Hx, Hy, Ex, Ey into HxChan … EyChan and
/// MtChannelFound. Returns 1 when the estimates can be made: Hx, Hy and at
/// least one of Ex, Ey are present.
int FindMtChannels(AppState& s);

/// Computes the spectra of the enabled channels into yplotdata (power spectral
/// densities) and yplotdata2 (complex spectra) and, in MT mode, the band
/// cross-spectra of Hx, Hy, Ex, Ey (CrossSpec, BandBins, PlotCount). Returns 0
/// when MT mode is on and Hx, Hy and at least one of Ex, Ey are not all among
/// the enabled channels (AppResOn and FourierOn are then cleared), else 1.
int RunSpectrumPipeline(AppState& s);

/// CrossSpec, BandBins and PlotCount from the spectra in yplotdata2 of the
/// channels hx, hy, ex, ey (−1 for a missing one), CoeffsSummed bins per band.
void AccumulatePageCrossSpectra(AppState& s, int hx, int hy, int ex, int ey);

/// In MT mode (least squares) with a remote reference set: the remote spectra
/// of the current page and their band cross-spectra with the local channels
/// (RemoteCrossSpec, RemoteBands). Called after the spectrum pipeline. When the
/// remote cannot serve the page, says why once for that page and leaves
/// RemoteBands 0, so the page is estimated without it.
void ComputeRemoteSpectra(AppState& s);

/// Estimates the tensor of every band left by the spectrum pipeline, fills ZZ,
/// ZZStd, ZZPhase, ZZPhaseStd of the four MT panels as the display asks
/// (magnitude, apparent resistivity with twice the relative error, or
/// coherence; NaN where nothing was estimated), BandFreq, BandZ, ResidualEx,
/// ResidualEy and BandCoherence, and rewrites the four impedance tables
/// beside the data file (status part 0 names one that cannot be written).
void EstimateImpedance(AppState& s);

/// The folders searched for the coil response files, in order: ResponseDir
/// alone when set (the tool's --lemi); else "LEMI" beside the open data file,
/// then "LEMI" in the start-up directory (the tool's current directory).
std::vector<std::string> ResponseDirectories(const AppState& s);

/// Reads the response file of the coil with the given serial into Response,
/// from the first of ResponseDirectories that holds it. When the coil's file is
/// in none of them, reads "LEMI-120.rsp" from the first that holds it and shows
/// "<file> not found, using default LEMI-120.rsp"; when neither exists the
/// table is empty and the message says the channel (labelCode) is shown
/// without coil correction. A message is shown once per file name (until
/// ForgetResponseMessages). Returns 1 when the coil's own file was read, else 0.
int LoadResponseOfSerial(AppState& s, const std::string& serial, int labelCode);
/// LoadResponseOfSerial for channel ch of OutHeader.
int LoadResponse(AppState& s, int ch);
/// Forgets which missing coil files have been reported (called when a recording is opened).
void ForgetResponseMessages(AppState& s);

struct PeakSearchResult {
  std::string path;  // where PeakData.txt was written, or could not be
  int lines = 0;     // directions written
  int err = 0;       // nonzero when the file was not written (an errno value where one applies)
  std::string why;   // the one-line reason when it was not written
};

/// The peak search over the current page: PeakCount, PeakX and PeakY of every
/// channel (0 for those not enabled), FitValid set, and PeakData.txt rewritten
/// in StartDir. When the file cannot be written the marks still stand and
/// status part 0 says so.
PeakSearchResult FindPeaks(AppState& s);
