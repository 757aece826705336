#pragma once
// The program's working state: one record that every command, loader, writer
// and the paint pipeline read and write. Functions take it explicitly.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "datafile/header.h"
#include "datafile/loader.h"
#include "datafile/record_io.h"
#include "datafile/record_time.h"
#include "spectral/lowpass.h"
#include "spectral/response.h"
#include "util/page_memory.h"
#include "util/paths.h"

class Platform;

constexpr int kHistoryPoints = 200;  // filter priming points per channel
constexpr int kToolbarButtons = 14;
constexpr int kToolbarHeight = 24;
constexpr int kStatusBarHeight = 20;
constexpr int kMaxMarkers = 100;

using ChannelRows = std::array<std::vector<double>, kChannels>;
using PageRows = std::array<PageRow, kChannels>;  // the page arrays: grown without a zero-fill

struct AppState {
  Platform* host = nullptr;
  std::string ProgramName = "Zorvan";

  // Channel arrays. They grow to what a page needs (EnsurePagePoints), never
  // beyond MaxPlotPoints per channel.
  PageRows yplotdata;       // plotted values
  PageRows yplotdata_orig;  // raw counts as read
  ChannelRows yplotdataFFT;
  PageRows yplotdata2;         // spectra, N + 3 per channel
  ChannelRows yplotdata_prev;  // filter priming, kHistoryPoints per channel
  PageRows ypoly;
  ChannelRows ZZ;
  ChannelRows ZZPhase;
  ChannelRows ZZStd;
  ChannelRows ZZPhaseStd;
  PageRow xplotdata;          // time of each point, seconds from the file's first record
  std::vector<double> PlotX;  // X of each plotted point (time or frequency)
  int PlotCount = 0;
  std::vector<double> eigv;  // Slepian tapers

  // The open file and the record position.
  std::FILE* DataFile = nullptr;
  int FileLoaded = 0;
  int EndOfFile = 0;       // the last read met the end of the file
  int IncompleteTold = 0;  // the incomplete last record was reported for this file
  RecordIndex PageIndex;   // record offsets of the open file, while its size stays the same
  int PageIndexValid = 0;
  int PageRecords = 0;                         // records the page holds, from CurrentRecord on
  std::vector<std::pair<int, int>> PageTrail;  // first record and end of each page stepped forward from
  RecorderHeader Header{};
  RecorderHeader OutHeader{};
  int CurrentRecord = 0;
  int RecordsPerPlot = 1;
  int SampsPerBlock = 0;
  int SampleRate = 0;  // rate code of Header; RateHz gives samples per second
  double PlotStartTime = 0;
  int NumPlotPoints = 0;
  int NumEnabledChans = 0;
  RecordTime PlotFirstRecordTime{};
  int PlotTimeKnown = 1;  // the first record's GPS time is readable; else dates and times stay empty
  RecordTime RecordTimeShown{};
  int TimeFormatHST = 0;
  std::string CurrentFilePath;
  std::string CurrentFileTitle;
  uint64_t BlockBytes = 0;
  std::vector<uint8_t> RawBlock;  // bytes of the last records read
  double SensorScale[kChannels] = {1, 1, 1, 1, 1, 1};
  double AdcSpanMilliVolts = 10000.0;

  // Display modes.
  int ZoomMode = 0;
  int ZoomDragging = 0;
  int Zoomed = 0;
  int PanMode = 0, PanDragging = 0, PanDone = 0;
  int AutoscaleAll = 1;
  int AutoscaleChan[kChannels] = {1, 1, 1, 1, 1, 1};
  int FilterOn = 0;
  int FourierOn = 0;
  int LogX = 0, LogY = 0;
  int AppResOn = 0;
  int AmplPhaseOn = 0;
  int FindPeaksOn = 0;
  int RedrawAll = 1;
  int KeyHandled = 0;
  int CtrlDown = 0;

  // Plot geometry and limits, left by the last full redraw.
  int ClientWidth = 0, ClientHeight = 0;
  int PlotLeft = 0, PlotTop = 0, PlotWidth = 0, PanelHeight = 0, PanelGap = 0;
  int PanelTop[kChannels] = {};
  double XMin = 0, XMax = 0, YMin = 0, YMax = 0;
  double YMinChan[kChannels] = {}, YMaxChan[kChannels] = {};
  double YMinManual[kChannels] = {}, YMaxManual[kChannels] = {};
  double XTickStep = 0, YTickStep = 0;
  int ZoomChannel = 0;
  int StandardLineWidth = 2;

  // Remembered directories, each ending in the path separator.
  std::string StartDir;
  std::string DataDir;
  std::string WorkDir;
  bool UseDirFile = true;  // the command-line tool neither reads nor writes lidar.dir

  std::array<std::string, kToolbarButtons> Tooltips;

  // Display settings and what the paint pipeline leaves for the mouse and the dialogs.
  int SubtractPolyOn = 0;
  int PolyOverlayOn = 0;
  int PolyOverlayCount = 0;
  int ShowPolyOn = 0;
  int ShowPolySaved = 0;
  int NotchFitPending = 1;
  int ResistivityOn = 1, ImpedanceOn = 0, CoherOn = 0;
  int MisfitErrorsOn = 1;
  int LeastSquaresOn = 1;
  int SimsZxxOn = 0, SimsZxyOn = 1, SimsZyxOn = 0, SimsZyyOn = 0;
  int CoeffsSummed = 512;
  int OverlapPct = 0;
  int FitOrder = 3;
  int FitValid = 0;
  double FitCoeffs[22] = {};  // [1 … FitOrder+1]
  double FitRms = 0;
  PageRow FitX;
  int CaptureLimits = 0;  // copy the next autoscaled limits into YMinManual/YMaxManual
  int ZoomHitWidth = 0;
  int ZoomRect[4] = {};  // x1, y1, x2, y2
  double ZoomX1 = 0, ZoomX2 = 0, ZoomY1 = 0, ZoomY2 = 0;
  int FftLength = 0;
  double FreqStep = 0;
  int PeakCount[kChannels] = {};
  ChannelRows PeakX, PeakY;
  ChannelRows NotchFitX, NotchFitY;
  int NotchFitCount = 0;
  std::string XAxisTitle = "UTC";
  std::string YAxisLabel = "mV";

  // Numerics: filter state, tapers, response table.
  static constexpr int kMaxResponseRows = ResponseTable::kMaxRows;
  int LowPassCorner = 1;                            // 1..6: corner of 5, 10, 20, 50, 100, 200 samples
  LowPassState DisplayFilter;                       // the display filter's histories, kept from paint to paint
  std::vector<std::vector<double>> SlepianWindows;  // first Slepian taper of each record length used (NW 3.0)
  ResponseTable Response;                           // the coil response last read: Hz, amplitude, phase in degrees
  std::vector<std::string> ResponseToldNames;       // missing coil files already reported since the last open
  std::string CoeffsMessageShown;                   // the last "#Coeffs summed" too large message shown

  // File writing settings.
  int DecimationFactor = 1;                      // 1, 40, 80 or 200: input records per output record of a save
  int SaveCorner = 1;                            // 1..6: low-pass corner of decimated saves, 5 … 200 samples
  int SaveInDataDir = 1;                         // outputs are offered in DataDir, else in WorkDir
  unsigned BlocksPerSegment = 100;               // records per file of a split
  class FileWriteSystem* WriteSystem = nullptr;  // the writers' file system; null: the real one

  // Window and mouse state.
  int LastClick[2] = {};          // x, y of the last normal-mode click (or marker drawn)
  int CursorIndex = 0;            // point index of the cursor cross
  int CursorShown = 0;            // a click or an arrow key has placed the cross
  int Markers[kMaxMarkers] = {};  // marked point indices, in the order added
  int MarkerCount = 0;

  // Spectra and MT estimates.
  int WindowType = 1;          // 0 None, 1 Hanning, 2 Hamming, 3 Slepian
  int SineTestOn = 0;          // transform a test sine instead of the data
  double SineTestFreq = 60.0;  // Hz
  int NotchOn = 0;             // power-line harmonic notch
  int HxChan = 0, HyChan = 0, ExChan = 0, EyChan = 0;
  int MtChannelFound[4] = {};                // Hx, Hy, Ex, Ey among the enabled channels (MT mode)
  int TrendFitted[kChannels] = {};           // ypoly[ch] is the trend of the current page's data
  double TrendSignature[kChannels][3] = {};  // order and point count, two weighted sums of the data it was fitted to
  double TrendCoeffs[22] = {};               // coefficients of the spectral pipeline's own trend fits
  // Per band b: CrossSpec[32·b + 8·a + 2·c + {0 re, 1 im}] = mean of X_a·conj(X_c)
  // over the band's bins, channels a, c in the order Hx, Hy, Ex, Ey (unscaled spectra).
  std::vector<double> CrossSpec;
  std::vector<int> BandBins;                   // bins each band averaged (MT mode leaves notched bins out)
  std::vector<uint8_t> NotchedBins;            // 1 for each spectral bin the notch replaced
  std::vector<double> BandFreq;                // Hz, the mean frequency of each band's bins
  std::vector<double> ResidualEx, ResidualEy;  // mean |E' − E|² of each band
  std::vector<double> BandZ;          // per band 8 doubles: least-squares Zxx, Zxy, Zyx, Zyy (re, im), (mV/km)/pT
  std::vector<double> BandCoherence;  // per band 4: coherence of Hx, Hy, Ex, Ey
  std::string ResponseDir;   // folder of the coil response files; empty: LEMI beside the file, then in StartDir
  int TableWriteFailed = 0;  // the last impedance tables could not be written (status part 0 says so)

  // Remote reference: the Hx, Hy of a second station recorded at the same time (mt/remote).
  std::string RemotePath;                             // empty: none; the estimates use the page's own magnetic field
  std::string RemoteTitle;                            // its file name, shown in status part 0 as " (RR: name)"
  std::array<std::vector<double>, 2> RemoteSeries;    // remote Hx, Hy at the page's sample times, pT
  std::array<std::vector<double>, 2> RemoteSpectrum;  // their coil-corrected spectra, laid out as yplotdata2
  std::string RemoteSeriesKey;                        // the page and remote RemoteSeries (or RemoteProblem) belongs to
  std::string RemoteProblem;                          // why the remote cannot serve that page; empty when it can
  std::string RemoteSerial[2];                        // sensor serials of the remote Hx, Hy (their coil files)
  std::string RemoteToldKey;                          // the page whose problem was last shown
  // Per band 24 doubles: <A R*> (re, im) for A = Hx, Hy, Ex, Ey, Rx, Ry and R = Rx, Ry, at 24·b + 4·A + 2·R.
  std::vector<double> RemoteCrossSpec;
  int RemoteBands = 0;  // bands of RemoteCrossSpec for the current page; 0: estimated without the remote

  // Dialog and peak settings.
  RecorderHeader HeaderBackup{};  // OutHeader as a header dialog found it; its Cancel puts it back
  int HeaderChannel = 1;          // channel shown by File Information, 1..6
  int ScalingChannel = 1;         // channel shown by Plot Scaling, 1..6
  double NoiseLevel[kChannels] = {0.5, 0.5, 0.03, 0.03, 0, 0};  // noise sigma of the peak search per channel
  double SNCutoff = 2.0;  // a minimum deeper than SNCutoff sigma hides the next 5 samples from the search
  int RemovePeaks = 0;
  int PeakFileFailed = 0;  // the last search could not write PeakData.txt (status part 0 says so)
};

struct StartupOptions {
  std::string startDir;  // empty: the current directory
  bool useDirFile = true;
  bool changeToWorkDir = true;
};

/// Status part 0 for the open file: its title, with " (RR: name)" while a remote reference is set.
std::string FileStatusText(const AppState& s);

/// Start-up: defaults, tooltips, directories and lidar.dir. Returns 1.
int InitAppState(AppState& s, Platform& host, const StartupOptions& options = {});
/// Shut-down: closes the open file and releases the arrays.
void ShutdownAppState(AppState& s);

/// Grows the page arrays (yplotdata, yplotdata_orig, xplotdata) to hold n points.
/// Returns 0 after "Unable to allocate memory for <array>" when memory runs out.
int EnsurePagePoints(AppState& s, int n);

/// The clock time of a point secondsFromFirst after the file's first record, as
/// shown: UTC as recorded, or Hawaii Standard Time (UTC − 10 h) with TimeFormatHST.
RecordTime ShownTime(const AppState& s, double secondsFromFirst);

/// Reads lidar.dir at path into DataDir and WorkDir; 0 when it cannot be opened.
int ReadDirFile(AppState& s, const std::string& path);
/// Writes the two-line lidar.dir; 0 when it cannot be opened for writing.
int WriteDirFile(const std::string& path, const std::string& dataDir, const std::string& workDir);
/// Writes lidar.dir in StartDir when the state uses it.
void RememberDirectories(AppState& s);
