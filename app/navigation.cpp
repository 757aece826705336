#include "app/navigation.h"

#include <cstdio>

#include "app/open_file.h"
#include "datafile/record_io.h"
#include "platform/platform.h"

namespace {

// The loader's record index, brought up to date as LoadPageAt does; the file
// position is left where it was.
const RecordIndex* FreshIndex(AppState& s) {
  if (!s.DataFile || !s.FileLoaded) return nullptr;
  const long position = std::ftell(s.DataFile);
  uint64_t bytes = 0;
  if (std::fseek(s.DataFile, 0, SEEK_END) == 0) {
    const long end = std::ftell(s.DataFile);
    if (end > 0) bytes = static_cast<uint64_t>(end);
  }
  if (!s.PageIndexValid || s.PageIndex.fileBytes != bytes || s.PageIndex.err) {
    s.PageIndex = ScanRecords(s.DataFile);
    s.PageIndexValid = 1;
  }
  if (position >= 0) std::fseek(s.DataFile, position, SEEK_SET);
  return &s.PageIndex;
}

}  // namespace

int RecordCount(AppState& s) {
  const RecordIndex* index = FreshIndex(s);
  return index ? static_cast<int>(index->offsets.size()) : 0;
}

bool RecordSpan(AppState& s, int record, double& start, double& end) {
  const RecordIndex* index = FreshIndex(s);
  if (!index || record < 0 || static_cast<size_t>(record) >= index->offsets.size()) return false;
  const long position = std::ftell(s.DataFile);
  bool ok = false;
  if (std::fseek(s.DataFile, static_cast<long>(index->offsets[static_cast<size_t>(record)]), SEEK_SET) == 0) {
    uint8_t raw[kHeaderBytes];
    RecorderHeader h{};
    if (ReadHeader(s.DataFile, raw, h).status == ReadStatus::Ok) {
      const double rate = RateHz(h.SampleRate);
      start = SecondsBetween(s.PlotFirstRecordTime, h.StartTime);
      end = start + SampsPerBlockOf(h) / (rate > 0 ? rate : 1.0);
      ok = true;
    }
  }
  if (position >= 0) std::fseek(s.DataFile, position, SEEK_SET);
  return ok;
}

int RecordAtTime(AppState& s, double seconds) {
  const int count = RecordCount(s);
  double start = 0, end = 0;
  if (count == 0 || !RecordSpan(s, 0, start, end) || seconds < start) return -1;
  // The last record that starts at or before the time; records are in time order.
  int lo = 0, hi = count - 1;
  while (lo < hi) {
    const int mid = lo + (hi - lo + 1) / 2;
    if (!RecordSpan(s, mid, start, end)) return -1;
    if (start <= seconds)
      lo = mid;
    else
      hi = mid - 1;
  }
  if (!RecordSpan(s, lo, start, end)) return -1;
  if (seconds < end) return lo;
  return lo + 1 < count ? lo + 1 : -2;
}

int PageStartOf(const AppState& s, int record) {
  const int per = s.RecordsPerPlot > 0 ? s.RecordsPerPlot : 1;
  return record / per * per;
}

bool GoToRecord(AppState& s, int record) {
  if (!s.FileLoaded || record < 0 || record >= RecordCount(s)) return false;
  s.host->SetCursor(CursorShape::Wait);
  const bool loaded = LoadPageAt(s, PageStartOf(s, record)) > 0;
  s.host->SetCursor(s.ZoomMode ? CursorShape::Zoom : CursorShape::Arrow);
  if (!loaded) return false;
  s.RedrawAll = 1;
  s.host->InvalidatePlot(false);
  return true;
}

void CmdFirstPage(AppState& s) { GoToRecord(s, 0); }

void CmdLastPage(AppState& s) { GoToRecord(s, RecordCount(s) - 1); }
