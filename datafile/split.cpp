#include "datafile/split.h"

#include <algorithm>
#include <cctype>
#include <cstring>
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
  if (std::string why = NoRecordReason(path, 1); !why.empty()) {
    ShowMessage(*s.host, why + "; nothing was written.", MsgIcon::Error);
    return 0;
  }
  if (CountEnabled(s.OutHeader) == 0) {
    ShowMessage(*s.host, "No channel is enabled in the output header; nothing was written.", MsgIcon::Error);
    return 0;
  }
  WriteReport local;
  WriteReport& r = report ? *report : local;
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
  const size_t segments = (records + blocksPerFile - 1) / blocksPerFile;
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
  int number = 0;
  std::string name;
  // A segment is created when its first record is ready, so none is left empty.
  std::unique_ptr<OutputFile> out;
  int ok = 1;
  unsigned c = 0;
  for (;;) {
    NextRecord next = ReadNextRecord(s, in, rec);
    if (next == NextRecord::End || next == NextRecord::Truncated) break;
    if (next == NextRecord::Error) {
      NoteReadError(in.path, in.err, &r);
      ok = 0;
      break;
    }
    if (CountEnabled(rec.h) == 0) {
      TellNoChannels(s, in);
      break;
    }
    if (!out) {
      name = SegmentName(base, ++number);
      out = CreateOutput(s, name, inputs, &r);
      if (!out) {
        ok = -1;  // told by CreateOutput
        break;
      }
      c = 0;
    }
    if (WriteThroughPipeline(s, rec, s.OutHeader, s.FilterOn != 0, *out, work, &r) == PipelineResult::WriteError) {
      ok = 0;
      break;
    }
    progress.Add(kHeaderBytes + rec.blockBytes);
    if (++c < blocksPerFile) continue;
    if (!CloseOutput(*out, &r)) {
      ok = 0;
      break;
    }
    r.outputs.push_back(name);
    r.records.push_back(static_cast<int>(c));
    out.reset();
  }
  if (ok == 1 && out) {
    if (CloseOutput(*out, &r)) {
      r.outputs.push_back(name);
      r.records.push_back(static_cast<int>(c));
      out.reset();
    } else {
      ok = 0;
    }
  }
  if (ok == 0) {
    std::string more;
    if (!r.outputs.empty())
      more = r.outputs.size() == 1 ? FileTitleOf(r.outputs.front()) + " is complete."
                                   : FileTitleOf(r.outputs.front()) + " to " + FileTitleOf(r.outputs.back()) +
                                         " are complete.";
    if (out) AbandonOutput(s, *out, name, r, more);
    else ShowMessage(*s.host, Format("%s failed with error %d: %s (reading %s)", s.ProgramName.c_str(), r.err,
                                     std::strerror(r.err), in.path.c_str()) + (more.empty() ? "" : " " + more),
                     MsgIcon::Error);
  }
  if (ok == 1 && r.outputs.empty()) {
    ShowMessage(*s.host, in.title + " gave no record to write; nothing was written.", MsgIcon::Error);
    ok = 0;
  }
  if (ok == 1) progress.Finish();
  CloseWriterInput(in);
  s.host->SetCursor(CursorShape::Arrow);
  ReopenAtRecord(s, s.CurrentFilePath, shown, true);
  return ok == 1;
}

std::string ConcatenationKey(const std::string& path) {
  // Case plays no part: NORTH_002.BIN sorts as north_002.bin does.
  std::string name = FileTitleOf(path);
  for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
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
  WriteReport local;
  WriteReport& r = report ? *report : local;
  std::vector<FileId> inputs;
  for (const std::string& path : paths) inputs.push_back(IdOfPath(path));
  // Inputs without a complete record add nothing: each is named with the reason.
  std::vector<std::string> joining;
  uint64_t total = 0;
  for (const std::string& path : paths) {
    if (std::string why = NoRecordReason(path, 1); !why.empty()) {
      ShowMessage(*s.host, why + "; it is left out of the concatenation.", MsgIcon::Warning);
      r.leftOut.push_back(path);
      continue;
    }
    joining.push_back(path);
    if (std::FILE* f = OpenInputFile(path)) {
      total += FileBytesOf(f);
      std::fclose(f);
    }
  }
  if (joining.empty()) {
    ShowMessage(*s.host, "None of the files holds a complete record; nothing was written.", MsgIcon::Error);
    return -1;
  }
  std::unique_ptr<OutputFile> out = CreateOutput(s, outPath, inputs, &r);
  if (!out) return -1;

  s.host->SetCursor(CursorShape::Wait);
  Progress progress(s, "Concatenating", total);
  int joined = 0, records = 0, ok = 1;
  PipelineWork work;  // one filter stream over all the inputs
  for (const std::string& path : joining) {
    WriterInput in;
    if (!OpenWriterInput(s, path, in)) {
      r.leftOut.push_back(path);
      continue;
    }
    const int before = records;
    ok = SaveData(s, in, *out, true, progress, records, work, &r);
    CloseWriterInput(in);
    if (!ok) break;
    if (records > before) ++joined;
    else r.leftOut.push_back(path);
  }
  if (ok && records == 0) {
    out->Discard();
    ShowMessage(*s.host, "None of the files gave a record to join; nothing was written.", MsgIcon::Error);
    ok = 0;
  } else if (!ok || !CloseOutput(*out, &r)) {
    ok = 0;
    AbandonOutput(s, *out, outPath, r);
  }
  s.host->SetCursor(CursorShape::Arrow);
  if (!ok) return -1;
  progress.Finish();
  r.outputs.push_back(outPath);
  r.records.push_back(records);
  return joined;
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
