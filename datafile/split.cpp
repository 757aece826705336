#include "datafile/split.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "datafile/record_io.h"
#include "util/paths.h"
#include "util/text.h"

std::string SegmentBase(const std::string& path) {
  const std::string title = FileTitleOf(path);
  const size_t dot = title.rfind('.');
  if (dot == std::string::npos || dot == 0) return path;
  return path.substr(0, path.size() - title.size() + dot);
}

std::string SegmentName(const std::string& base, int number) { return base + Format("_%02d", number) + ".bin"; }

int WriteSegments(SplitJob& job, WriterEvents& events, WriteReport& r) {
  const std::string& path = job.inPath;
  const unsigned blocksPerFile = job.recordsPerFile;
  if (blocksPerFile < 1) {
    events.Tell("The size of the output files must be at least 1 block; nothing was written.",
                WriterEvents::Kind::Error);
    return -1;
  }
  if (std::string why = NoRecordReason(path, 1); !why.empty()) {
    events.Tell(why + "; nothing was written.", WriterEvents::Kind::Error);
    return -1;
  }
  if (CountEnabled(job.outHeader) == 0) {
    events.Tell("No channel is enabled in the output header; nothing was written.", WriterEvents::Kind::Error);
    return -1;
  }
  WriterInput in;
  if (!OpenWriterInput(events, path, in)) return -1;
  std::vector<FileId> inputs{in.id};
  inputs.insert(inputs.end(), job.setup.keep.begin(), job.setup.keep.end());

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
      events.Tell(name + " is one of the files being read; nothing was written.", WriterEvents::Kind::Error);
      CloseWriterInput(in);
      return -1;
    }
  }

  events.SetBusy(true);
  const SampleFilter& samples = job.samples;
  FileWriteSystem& system = WriteSystemOr(job.setup.system);
  Progress progress(events, "Splitting " + in.title, in.bytes);
  PipelineWork work;  // one filter stream over all the segments
  InputRecord rec;
  int number = 0;
  std::string name;
  // A segment is created when its first record is ready, so none is left empty.
  std::unique_ptr<OutputFile> out;
  int ok = 1;
  unsigned c = 0;
  for (;;) {
    NextRecord next = ReadNextRecord(events, in, rec);
    if (next == NextRecord::End || next == NextRecord::Truncated) break;
    if (next == NextRecord::Error) {
      NoteReadError(in.path, in.err, &r);
      ok = 0;
      break;
    }
    if (CountEnabled(rec.h) == 0) {
      TellNoChannels(events, in);
      break;
    }
    if (!out) {
      name = SegmentName(base, ++number);
      out = CreateOutput(events, system, name, inputs, &r);
      if (!out) {
        ok = -1;  // told by CreateOutput
        break;
      }
      c = 0;
    }
    if (WriteThroughPipeline(rec, job.outHeader, samples, *out, work, &r) == PipelineResult::WriteError) {
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
      more = r.outputs.size() == 1
                 ? FileTitleOf(r.outputs.front()) + " is complete."
                 : FileTitleOf(r.outputs.front()) + " to " + FileTitleOf(r.outputs.back()) + " are complete.";
    if (out)
      AbandonOutput(events, job.setup.programName, *out, name, r, more);
    else
      events.Tell(Format("%s failed with error %d: %s (reading %s)", job.setup.programName.c_str(), r.err,
                         std::strerror(r.err), in.path.c_str()) +
                      (more.empty() ? "" : " " + more),
                  WriterEvents::Kind::Error);
  }
  if (ok == 1 && r.outputs.empty()) {
    events.Tell(in.title + " gave no record to write; nothing was written.", WriterEvents::Kind::Error);
    ok = 0;
  }
  if (ok == 1) progress.Finish();
  CloseWriterInput(in);
  events.SetBusy(false);
  return ok == 1 ? 1 : 0;
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

int WriteConcatenation(ConcatJob& job, WriterEvents& events, WriteReport& r) {
  const std::vector<std::string>& paths = job.inPaths;
  const std::string& outPath = job.outPath;
  std::vector<FileId> inputs;
  for (const std::string& path : paths) inputs.push_back(IdOfPath(path));
  inputs.insert(inputs.end(), job.setup.keep.begin(), job.setup.keep.end());
  // Inputs without a complete record add nothing: each is named with the reason.
  std::vector<std::string> joining;
  uint64_t total = 0;
  for (const std::string& path : paths) {
    if (std::string why = NoRecordReason(path, 1); !why.empty()) {
      events.Tell(why + "; it is left out of the concatenation.", WriterEvents::Kind::Warning);
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
    events.Tell("None of the files holds a complete record; nothing was written.", WriterEvents::Kind::Error);
    return -1;
  }
  std::unique_ptr<OutputFile> out = CreateOutput(events, WriteSystemOr(job.setup.system), outPath, inputs, &r);
  if (!out) return -1;

  events.SetBusy(true);
  Progress progress(events, "Concatenating", total);
  int joined = 0, records = 0, ok = 1;
  PipelineWork work;  // one filter stream over all the inputs
  for (const std::string& path : joining) {
    WriterInput in;
    if (!OpenWriterInput(events, path, in)) {
      r.leftOut.push_back(path);
      continue;
    }
    const int before = records;
    ok = SaveData(events, in, *out, nullptr, job.samples, progress, records, work, &r);
    CloseWriterInput(in);
    if (!ok) break;
    if (records > before)
      ++joined;
    else
      r.leftOut.push_back(path);
  }
  if (ok && records == 0) {
    out->Discard();
    events.Tell("None of the files gave a record to join; nothing was written.", WriterEvents::Kind::Error);
    ok = 0;
  } else if (!ok || !CloseOutput(*out, &r)) {
    ok = 0;
    AbandonOutput(events, job.setup.programName, *out, outPath, r);
  }
  events.SetBusy(false);
  if (!ok) return -1;
  progress.Finish();
  r.outputs.push_back(outPath);
  r.records.push_back(records);
  return joined;
}
