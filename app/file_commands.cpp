#include "app/file_commands.h"

#include <optional>

#include "app/commands.h"
#include "app/open_file.h"
#include "datafile/loader.h"
#include "datafile/record_io.h"
#include "platform/platform.h"
#include "util/paths.h"
#include "util/text.h"

const char* const kNoDataMessage = "No data to save - read some first";

namespace {

// Shows what a writer tells through the host: messages, progress, the wait
// cursor while records stream, and the status texts.
class HostEvents : public WriterEvents {
 public:
  explicit HostEvents(AppState& s) : s_(s) {}

  void Tell(const std::string& text, Kind kind) override {
    switch (kind) {
      case Kind::Warning: ShowMessage(*s_.host, text, MsgIcon::Warning); break;
      case Kind::Error: ShowMessage(*s_.host, text, MsgIcon::Error); break;
      case Kind::SystemError: s_.host->MessageBox(text, "Error", MsgButtons::Ok, MsgIcon::Error); break;
    }
  }
  void ShowProgress(const std::string& what, double fraction) override { s_.host->ReportProgress(what, fraction); }
  void SetBusy(bool busy) override { s_.host->SetCursor(busy ? CursorShape::Wait : CursorShape::Arrow); }
  void RecordsWritten(int records) override { s_.host->SetStatusText(1, std::to_string(records)); }
  void Copying(const std::string& path) override {
    s_.host->SetStatusText(0, "processing " + FileTitleOf(path));
    s_.host->InvalidatePlot(false);
  }

 private:
  AppState& s_;
};

// The display filter's settings; a copy's filter has its own histories, at
// rest at the start of the operation.
SampleFilter SamplesOf(const AppState& s) {
  SampleFilter f;
  f.on = s.FilterOn != 0;
  f.corner = s.LowPassCorner;
  f.adcSpanMv = s.AdcSpanMilliVolts;
  return f;
}

WriterSetup SetupOf(AppState& s, std::vector<FileId> keep) {
  WriterSetup setup;
  setup.system = s.WriteSystem;
  setup.keep = std::move(keep);
  setup.programName = s.ProgramName;
  return setup;
}

}  // namespace

FileWriteSystem& WriteSystemOf(AppState& s) { return WriteSystemOr(s.WriteSystem); }

std::vector<FileId> OpenInputsOf(const AppState& s) { return IdsOfOpenFile(s.DataFile, s.CurrentFilePath); }

std::string WriteCheckedFile(AppState& s, const std::string& path, const void* data, size_t n,
                             const std::vector<FileId>& moreInputs) {
  std::vector<FileId> inputs = OpenInputsOf(s);
  inputs.insert(inputs.end(), moreInputs.begin(), moreInputs.end());
  return WriteCheckedFile(WriteSystemOf(s), path, data, n, inputs);
}

// ---- Names and the page --------------------------------------------------

std::string OutputDirectory(const AppState& s) { return WithSeparator(s.SaveInDataDir ? s.DataDir : s.WorkDir); }

std::string DefaultSaveName(const AppState& s) {
  return OutputDirectory(s) + BaseOfTitle(s.CurrentFileTitle) + (s.DecimationFactor >= 2 ? "_DEC.bin" : "_MOD.bin");
}

std::string ConcatenationName(const AppState& s, const std::string& firstPath) {
  return OutputDirectory(s) + BaseOfTitle(FileTitleOf(firstPath)) + "_CONCAT.bin";
}

std::string SavedMessage(const AppState& s, const WriteReport& report) {
  const int records = report.records.empty() ? 0 : report.records.front();
  std::string text = Format("%d Records Filtered & Saved", records);
  if (report.recordsLeftOut > 0)
    text += Format("; the last %d records were left out (fewer than a group of %d)", report.recordsLeftOut,
                   s.DecimationFactor);
  return text;
}

int ReopenAtRecord(AppState& s, const std::string& path, int record, bool keepOutHeader) {
  const RecorderHeader kept = s.OutHeader;
  if (!LoadRecorderFile(s, path)) return 0;
  if (keepOutHeader) s.OutHeader = kept;
  s.FileLoaded = 1;
  s.CurrentRecord = 0;
  s.PlotStartTime = 0;
  if (record > 0 && !LoadPageAt(s, record)) {
    // The file has fewer records now: show its last page.
    RecordIndex index = ScanRecords(s.DataFile);
    const int count = static_cast<int>(index.offsets.size());
    const int perPlot = s.RecordsPerPlot > 0 ? s.RecordsPerPlot : 1;
    LoadPageAt(s, count > 0 ? (count - 1) / perPlot * perPlot : 0);
  }
  ShowRecordStatus(s);
  s.RedrawAll = 1;
  s.host->InvalidatePlot(true);
  return 1;
}

// ---- The commands --------------------------------------------------------

int WriteProcessedFile(AppState& s, const std::string& outPath, WriteReport* report) {
  if (!s.FileLoaded || s.CurrentFilePath.empty()) {
    ShowMessage(*s.host, kNoDataMessage, MsgIcon::Warning);
    return 0;
  }
  WriteReport local;
  SaveJob job;
  job.inPath = s.CurrentFilePath;
  job.outPath = outPath;
  job.outHeader = s.OutHeader;
  job.samples = SamplesOf(s);
  job.decimation = s.DecimationFactor;
  job.decimationCorner = s.SaveCorner;
  job.setup = SetupOf(s, OpenInputsOf(s));
  HostEvents events(s);
  const int ok = WriteProcessedCopy(job, events, report ? *report : local);
  s.OutHeader = job.outHeader;  // as encoding settled it
  return ok;
}

int SaveProcessedFile(AppState& s) {
  if (!s.FileLoaded) {
    ShowMessage(*s.host, kNoDataMessage, MsgIcon::Warning);
    return 0;
  }
  if (s.DecimationFactor >= 2) {
    // A rate the output header cannot state is refused before the user picks a name.
    RecorderHeader first{};
    if (NoRecordReason(s.CurrentFilePath, 1, &first).empty())
      if (std::string why = DecimationRefusal(first.SampleRate, s.DecimationFactor); !why.empty()) {
        ShowMessage(*s.host, why + "; nothing was written.", MsgIcon::Error);
        return 0;
      }
  }
  const int shown = s.CurrentRecord;
  const std::string suggested = DefaultSaveName(s);
  std::optional<std::string> chosen = s.host->SaveFileDialog(RecorderFileFilters(), DirectoryOf(suggested), suggested);
  if (!chosen) return 0;
  if (!s.SaveInDataDir) s.WorkDir = DirectoryOf(*chosen);
  RememberDirectories(s);

  WriteReport report;
  const int ok = WriteProcessedFile(s, *chosen, &report);
  std::string path = s.CurrentFilePath;
  bool keepOutHeader = true;
  if (ok && s.DecimationFactor >= 2) {
    ShowMessage(*s.host, SavedMessage(s, report));
  } else if (ok) {
    MsgAnswer answer = s.host->MessageBox(SavedMessage(s, report) + "\n\nLoad Modified File?", "Zorvan",
                                          MsgButtons::YesNo, MsgIcon::Question);
    keepOutHeader = false;
    if (answer == MsgAnswer::Yes) {
      path = *chosen;
      // The new file carries the inversions; showing it inverted again would undo them.
      for (int& flag : s.OutHeader.ChannelInvert) flag = 0;
    }
  }
  ReopenAtRecord(s, path, shown, keepOutHeader);
  return ok;
}

int SplitFile(AppState& s, const std::string& path, unsigned blocksPerFile, WriteReport* report) {
  if (!s.FileLoaded || path.empty()) {
    ShowMessage(*s.host, kNoDataMessage, MsgIcon::Warning);
    return 0;
  }
  WriteReport local;
  const int shown = s.CurrentRecord;
  SplitJob job;
  job.inPath = path;
  job.recordsPerFile = blocksPerFile;
  job.outHeader = s.OutHeader;
  job.samples = SamplesOf(s);
  job.setup = SetupOf(s, OpenInputsOf(s));
  HostEvents events(s);
  const int result = WriteSegments(job, events, report ? *report : local);
  s.OutHeader = job.outHeader;
  // A split that read its input shows the page again, written or not.
  if (result >= 0) ReopenAtRecord(s, s.CurrentFilePath, shown, true);
  return result == 1;
}

int ConcatenateInto(AppState& s, const std::vector<std::string>& paths, const std::string& outPath,
                    WriteReport* report) {
  WriteReport local;
  ConcatJob job;
  job.inPaths = paths;
  job.outPath = outPath;
  job.samples = SamplesOf(s);
  job.setup = SetupOf(s, OpenInputsOf(s));  // never onto the open recording
  HostEvents events(s);
  return WriteConcatenation(job, events, report ? *report : local);
}

void ConcatenateFiles(AppState& s) {
  const int shown = s.CurrentRecord;
  std::vector<std::string> paths =
      s.host->OpenFilesDialog(RecorderFileFilters(), s.DataDir, "Select recordings to concatenate");
  if (paths.empty()) return;
  s.DataDir = DirectoryOf(paths.front());
  RememberDirectories(s);
  int joined = 0;
  if (paths.size() >= 2) {
    const std::vector<std::string> sorted = SortForConcatenation(paths);
    const std::string suggested = ConcatenationName(s, sorted.front());
    std::optional<std::string> chosen =
        s.host->SaveFileDialog(RecorderFileFilters(), DirectoryOf(suggested), suggested);
    if (!chosen) return;
    joined = ConcatenateInto(s, sorted, *chosen);
  }
  if (joined >= 0) ShowMessage(*s.host, Format("%d Files Concatenated", joined));
  if (s.FileLoaded) ReopenAtRecord(s, s.CurrentFilePath, shown, true);
}

int SynchronizeInto(AppState& s, const std::vector<std::string>& paths, WriteReport* report, SyncPlan* planOut) {
  WriteReport local;
  SyncJob job;
  job.inPaths = paths;
  job.besideInputs = s.SaveInDataDir != 0;
  job.outDir = s.WorkDir;
  job.setup = SetupOf(s, OpenInputsOf(s));  // never onto the open recording
  HostEvents events(s);
  return WriteSynchronizedCopies(job, events, report ? *report : local, planOut);
}

void SynchronizeFiles(AppState& s) {
  const bool wasOpen = s.FileLoaded && !s.CurrentFilePath.empty();
  const std::string openPath = s.CurrentFilePath;
  const int shown = s.CurrentRecord;
  std::vector<std::string> paths =
      s.host->OpenFilesDialog(RecorderFileFilters(), s.DataDir, "Select recordings to synchronize");
  if (!paths.empty()) {
    s.DataDir = DirectoryOf(paths.front());
    RememberDirectories(s);
    // One file has nothing to be synchronized with.
    const int written = paths.size() >= 2 ? SynchronizeInto(s, paths) : 0;
    if (written >= 0) ShowMessage(*s.host, Format("%d Files Synchronized", written));
  }
  if (wasOpen) ReopenAtRecord(s, openPath, shown, true);
  if (!paths.empty()) s.host->SetStatusText(0, "Ready");
}
