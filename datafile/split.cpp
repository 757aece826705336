#include "datafile/split.h"

#include <algorithm>
#include <optional>

#include "datafile/loader.h"
#include "datafile/record_io.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

std::string SegmentBase(const std::string& path) {
  const std::string title = FileTitleOf(path);
  const size_t dot = title.rfind('.');
  if (dot == std::string::npos || dot == 0) return path;
  return path.substr(0, path.size() - title.size() + dot);
}

std::string SegmentName(const std::string& base, int number) {
  return base + Format("_%02d", number) + ".bin";
}

int SplitFile(AppState& s, const std::string& path, unsigned blocksPerFile, WriteReport* report) {
  if (!s.FileLoaded || path.empty()) {
    ShowMessage(*s.host, kNoDataMessage, MsgIcon::Warning);
    return 0;
  }
  if (blocksPerFile < 1) {
    ShowMessage(*s.host, "The size of the output files must be at least 1 block; nothing was written.", MsgIcon::Error);
    return 0;
  }
  if (CountEnabled(s.OutHeader) == 0) {
    ShowMessage(*s.host, "No channel is enabled in the output header; nothing was written.", MsgIcon::Error);
    return 0;
  }
  const int shown = s.CurrentRecord;
  WriterInput in;
  if (!OpenWriterInput(s, path, in)) return 0;
  std::vector<FileId> inputs{in.id};
  if (s.DataFile) inputs.push_back(IdOfFile(s.DataFile));

  // Every segment name is checked before anything is written.
  const std::string base = SegmentBase(path);
  size_t records = 0;
  if (std::FILE* scan = std::fopen(path.c_str(), "rb")) {  // small reads: a stream's own buffer
    records = ScanRecords(scan).offsets.size();
    std::fclose(scan);
  }
  const size_t segments = records / blocksPerFile + 1;
  for (size_t n = 1; n <= segments; ++n) {
    const std::string name = SegmentName(base, static_cast<int>(n));
    if (IsOneOf(IdOfPath(name), inputs)) {
      ShowMessage(*s.host, name + " is one of the files being read; nothing was written.", MsgIcon::Error);
      CloseWriterInput(in);
      return 0;
    }
  }

  s.host->SetCursor(CursorShape::Wait);
  Progress progress(s, "Splitting " + in.title, in.bytes);
  PipelineWork work;
  InputRecord rec;
  int number = 1;
  std::string name = SegmentName(base, number);
  std::unique_ptr<OutputFile> out = CreateOutput(s, name, inputs, report);
  int ok = out != nullptr;
  unsigned c = 0;
  while (ok) {
    NextRecord next = ReadNextRecord(s, in, rec);
    if (next == NextRecord::End || next == NextRecord::Truncated) break;
    if (next == NextRecord::Error) {
      ok = 0;
      if (report) {
        report->err = in.err;
        report->failedPath = in.path;
      }
      break;
    }
    PipelineResult r = WriteThroughPipeline(s, rec, s.OutHeader, s.FilterOn != 0, *out, work, report);
    if (r == PipelineResult::NoChannels) {
      TellNoChannels(s, in);
      break;
    }
    if (r == PipelineResult::WriteError) {
      ok = 0;
      if (report) report->failedPath = name;
      break;
    }
    progress.Add(kHeaderBytes + rec.blockBytes);
    if (++c < blocksPerFile) continue;
    // This segment is full: the next one is started at once.
    ok = CloseOutput(s, *out, report);
    if (report) {
      report->outputs.push_back(name);
      report->records.push_back(static_cast<int>(c));
      if (!ok) report->failedPath = name;
    }
    c = 0;
    if (!ok) break;
    name = SegmentName(base, ++number);
    out = CreateOutput(s, name, inputs, report);
    ok = out != nullptr;
  }
  if (out) {
    if (ok) {
      ok = CloseOutput(s, *out, report);
      if (!ok && report) report->failedPath = name;
    } else {
      out->Close();  // keeps what was written before the error
    }
    if (report) {
      report->outputs.push_back(name);
      report->records.push_back(static_cast<int>(c));
    }
  }
  if (ok) progress.Finish();
  CloseWriterInput(in);
  s.host->SetCursor(CursorShape::Arrow);
  ReopenAtRecord(s, s.CurrentFilePath, shown, true);
  return ok;
}

std::string ConcatenationKey(const std::string& path) {
  const std::string name = FileTitleOf(path);
  const size_t dot = name.find(".b");
  if (dot == std::string::npos || dot < 3) return name;
  return name.substr(dot - 3);
}

std::vector<std::string> SortForConcatenation(std::vector<std::string> paths) {
  std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return ConcatenationKey(a) < ConcatenationKey(b);
  });
  return paths;
}

std::string ConcatenationName(const AppState& s, const std::string& firstPath) {
  return OutputDirectory(s) + BaseOfTitle(FileTitleOf(firstPath)) + "_CONCAT.bin";
}

int ConcatenateInto(AppState& s, const std::vector<std::string>& paths, const std::string& outPath,
                    WriteReport* report) {
  std::vector<FileId> inputs;
  uint64_t total = 0;
  for (const std::string& path : paths) {
    inputs.push_back(IdOfPath(path));
    std::FILE* f = OpenInputFile(path);
    if (f) {
      total += FileBytesOf(f);
      std::fclose(f);
    }
  }
  std::unique_ptr<OutputFile> out = CreateOutput(s, outPath, inputs, report);
  if (!out) return -1;

  s.host->SetCursor(CursorShape::Wait);
  Progress progress(s, "Concatenating", total);
  int joined = 0, records = 0, ok = 1;
  for (const std::string& path : paths) {
    WriterInput in;
    if (!OpenWriterInput(s, path, in)) continue;
    ok = SaveData(s, in, *out, true, progress, records, report);
    CloseWriterInput(in);
    if (!ok) {
      if (report) report->failedPath = in.err ? in.path : outPath;
      if (report && in.err) report->err = in.err;
      break;
    }
    ++joined;
  }
  if (ok) {
    ok = CloseOutput(s, *out, report);
    if (!ok && report) report->failedPath = outPath;
  } else {
    out->Close();  // keeps what was written before the error
  }
  if (ok) progress.Finish();
  s.host->SetCursor(CursorShape::Arrow);
  if (report) {
    report->outputs.push_back(outPath);
    report->records.push_back(records);
  }
  return ok ? joined : -1;
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
