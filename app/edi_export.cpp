#include "app/edi_export.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/analysis.h"
#include "app/file_commands.h"
#include "app/open_file.h"
#include "app/remote_reference.h"
#include "datafile/loader.h"
#include "datafile/record_io.h"
#include "mt/edi.h"
#include "platform/platform.h"
#include "util/paths.h"

namespace {

// The remote's first header, for its position and sensor angles.
bool RemoteHeader(const AppState& s, RecorderHeader& h) {
  if (s.RemotePath.empty()) return false;
  std::FILE* f = OpenInputFile(s.RemotePath);
  if (!f) return false;
  uint8_t raw[kHeaderBytes];
  const bool ok = ReadHeader(f, raw, h).status == ReadStatus::Ok;
  std::fclose(f);
  return ok;
}

}  // namespace

EdiInput EdiInputOf(const AppState& s) {
  EdiInput in;
  in.OutHeader = s.OutHeader;
  in.PlotCount = s.PlotCount;
  in.BandZ = s.BandZ;
  in.BandFreq = s.BandFreq;
  for (int p = 0; p < 4; ++p) in.ZZPhaseStd[p] = s.ZZPhaseStd[p];
  in.BandCoherence = s.BandCoherence;
  in.LeastSquaresOn = s.LeastSquaresOn;
  in.CurrentFilePath = s.CurrentFilePath;
  in.CurrentFileTitle = s.CurrentFileTitle;
  in.ProgramName = s.ProgramName;
  in.PlotFirstRecordTime = s.PlotFirstRecordTime;
  in.RecordTimeShown = s.RecordTimeShown;
  in.NumPlotPoints = s.NumPlotPoints;
  in.CurrentRecord = s.CurrentRecord;
  in.SampleRateHz = SamplesPerSecond(s);
  in.RemoteBands = s.RemoteBands;
  in.RemoteTitle = s.RemoteTitle;
  in.CoeffsSummed = s.CoeffsSummed;
  in.WindowType = s.WindowType;
  in.NotchOn = s.NotchOn;
  in.FitOrder = s.FitOrder;
  in.HaveRemoteHeader = s.RemoteBands > 0 && RemoteHeader(s, in.RemoteHeader);
  return in;
}

std::vector<FileId> ExportInputs(const AppState& s) {
  std::vector<FileId> inputs;
  if (s.DataFile)
    inputs.push_back(IdOfFile(s.DataFile));
  else if (!s.CurrentFilePath.empty())
    inputs.push_back(IdOfPath(s.CurrentFilePath));
  AddRemoteInput(s, inputs);
  return inputs;
}

std::string WriteEdi(AppState& s, const std::string& path) {
  if (!s.LeastSquaresOn) return "EDI export needs the least-squares estimate; the Sims estimates are no full tensor.";
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  const RecordTime today{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, 0, 0, 0.0};
  const std::string text = EdiText(EdiInputOf(s), EdiDate(today));
  if (text.empty()) return "No band of this page has an impedance estimate; nothing was written.";
  CreateResult created = WriteSystemOf(s).Create(path, ExportInputs(s));
  if (created.status == CreateStatus::IsInput) return path + " is one of the files being read; nothing was written.";
  if (created.status != CreateStatus::Ok) return "Cannot create " + path + ": " + std::strerror(created.err);
  if (!created.file->Write(text.data(), text.size()) || !created.file->Close())
    return "Cannot write " + path + ": " + std::strerror(created.file->error());
  return {};
}

int ExportEdi(AppState& s) {
  if (!s.FileLoaded) {
    ShowMessage(*s.host, "No data to export - read some first");
    return 0;
  }
  if (!s.AppResOn) {
    ShowMessage(*s.host, "EDI export writes the impedance estimates: turn Apparent Resistivity on first.");
    return 0;
  }
  if (!s.LeastSquaresOn) {
    ShowMessage(*s.host,
                "EDI export needs the least-squares estimate (General Settings); the Sims estimates are no "
                "full tensor.");
    return 0;
  }
  // The estimate of the page as it is now, whatever the last repaint left.
  AnalysePage(s);
  if (!s.AppResOn) return 0;
  const std::vector<FileFilter> filters = {{"EDI files(*.edi)", "*.edi"}};
  std::optional<std::string> path =
      s.host->SaveFileDialog(filters, DirectoryOf(s.CurrentFilePath), EdiFileName(s.CurrentFilePath));
  if (!path) return 0;
  const std::string error = WriteEdi(s, *path);
  if (!error.empty()) {
    ShowMessage(*s.host, error, MsgIcon::Error);
    return 0;
  }
  return 1;
}
