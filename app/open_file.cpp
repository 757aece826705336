#include "app/open_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "spectral/response.h"

namespace {

void TellLayoutChange(AppState& s, int record) {
  ShowMessage(*s.host,
              "Record " + std::to_string(record + 1) + " of " + s.CurrentFileTitle +
                  " has another channel set; the page ends before it.",
              MsgIcon::Warning);
}

// A record without an enabled channel ends the recording; said once per file.
void TellNoChannel(AppState& s, int record) {
  if (s.IncompleteTold) return;
  s.IncompleteTold = 1;
  const std::string which = record > 0 ? "Record " + std::to_string(record) + " of " + s.CurrentFileTitle
                                       : "A record of " + s.CurrentFileTitle;
  ShowMessage(*s.host, which + " has no enabled channel; the recording ends there.", MsgIcon::Warning);
}

void TellTruncatedPage(AppState& s) {
  char text[128];
  std::snprintf(text, sizeof text, kTruncatedPlotMessage, MaxPlotPoints);
  ShowMessage(*s.host, text, MsgIcon::Warning);
}

// "Records/Plot" as typed: 0 and text become 1; values beyond what a page can
// hold are clamped (clamped is set), so no page size computation can overflow.
int RecordsPerPlotFromText(const std::string& text, bool& clamped) {
  clamped = false;
  errno = 0;
  long long n = std::strtoll(text.c_str(), nullptr, 10);
  if (n <= 0) return 1;
  if (n > kMaxRecordsPerPlot || errno == ERANGE) {
    clamped = true;
    return kMaxRecordsPerPlot;
  }
  return static_cast<int>(n);
}

// The page arrays grown to points (as far as memory allows) and handed to the
// reader. The reader fills the counts and times; yplotdata, the plotted values,
// is sized with them and written from the counts by every paint.
PageBuffers PageArrays(AppState& s, long long points) {
  EnsurePagePoints(s, static_cast<int>(std::min<long long>(points, MaxPlotPoints)));
  PageBuffers out;
  out.capacity = s.xplotdata.size();
  out.times = s.xplotdata.data();
  for (int ch = 0; ch < kChannels; ++ch) {
    out.capacity = std::min({out.capacity, s.yplotdata_orig[ch].size(), s.yplotdata[ch].size()});
    out.counts[static_cast<size_t>(ch)] = s.yplotdata_orig[ch].data();
  }
  out.scratch = &s.RawBlock;
  return out;
}

// Opens path when it holds a recording; otherwise says why and returns null.
std::FILE* OpenRecording(AppState& s, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    ShowMessage(*s.host, "Cannot open " + path + ": " + std::strerror(errno), MsgIcon::Error);
    return nullptr;
  }
  int err = 0;
  if (std::string why = WhyNotRecording(f, FileTitleOf(path), err); !why.empty()) {
    std::fclose(f);
    if (err)
      ReportSystemError(*s.host, s.ProgramName, err);
    else
      ShowMessage(*s.host, why, MsgIcon::Error);
    return nullptr;
  }
  return f;
}

// The file replaces the open one; what was known of the old file is forgotten.
void TakeFile(AppState& s, std::FILE* f, const std::string& path) {
  if (s.DataFile) std::fclose(s.DataFile);
  s.DataFile = f;
  s.PageIndexValid = 0;
  s.CurrentFilePath = path;
  s.CurrentFileTitle = FileTitleOf(path);
  s.DataDir = DirectoryOf(path);
  s.host->SetStatusText(0, FileStatusText(s));
  s.host->SetCursor(CursorShape::Wait);
  s.EndOfFile = 0;
  s.IncompleteTold = 0;
  s.ResponseToldNames.clear();  // missing coil files are told again for the new file
  s.NumPlotPoints = 0;
}

// The first header describes the file: its layout, rate, gains and scales.
void TakeFirstHeader(AppState& s, const PageRead& page) {
  s.Header = page.first;
  // OutHeader keeps its invert flags: decoding leaves them alone.
  RecorderHeader out = s.OutHeader;
  DecodeHeader(page.firstRaw.data(), out);
  s.OutHeader = out;
  s.PlotFirstRecordTime = s.Header.StartTime;
  s.NumEnabledChans = CountEnabled(s.Header);
  s.SampleRate = static_cast<int>(s.Header.SampleRate);
  s.BlockBytes = BlockBytes(s.Header);
  s.SampsPerBlock = s.NumEnabledChans > 0 ? SampsPerBlockOf(s.Header) : 0;
  ComputeGains(s.Header);
  ComputeGains(s.OutHeader);
  ComputeSensorScales(s, s.Header);
}

// The display filter starts from the page's first sample.
void PrimeDisplayFilter(AppState& s) {
  for (int ch = 0; ch < kChannels; ++ch) {
    const double first = s.SensorScale[ch] * (s.yplotdata_orig[ch][0] * s.AdcSpanMilliVolts / 16777216.0) /
                         (s.Header.ChannelGain[ch] > 0 ? s.Header.ChannelGain[ch] : 1);
    s.yplotdata_prev[ch].assign(kHistoryPoints, first);
  }
}

// Reads the first page from the start of the file, says why it ended early,
// and returns the status text of a time gap that ended it ("" for none).
std::string ReadFirstPage(AppState& s) {
  PageRequest request;
  request.maxRecords = s.RecordsPerPlot;
  request.fileStartIsFirst = true;
  request.header = s.Header;
  const PageRead page = ReadPage(s.DataFile, request, PageArrays(s, PagePointsBound(s.DataFile, s.RecordsPerPlot)));
  if (page.haveFirst) TakeFirstHeader(s, page);
  if (page.records > 0) PrimeDisplayFilter(s);

  std::string gapMessage;
  switch (page.stop) {
    case PageStop::FileEnd: s.EndOfFile = 1; break;
    case PageStop::ReadError: ReportSystemError(*s.host, s.ProgramName, page.err); break;
    case PageStop::Incomplete:
      s.EndOfFile = 1;
      TellIncompleteRecord(s);
      break;
    case PageStop::NoChannel:
      if (page.records == 0) {
        ShowMessage(
            *s.host,
            "No channel is enabled in the first record of " + s.CurrentFileTitle + ": there is nothing to plot.",
            MsgIcon::Warning);
      } else {
        s.EndOfFile = 1;
        TellNoChannel(s, page.records + 1);
      }
      break;
    case PageStop::Layout: TellLayoutChange(s, page.records); break;
    case PageStop::TimeGap: gapMessage = TimeGapMessage(page.gap, page.records + 1); break;
    case PageStop::PointCap: TellTruncatedPage(s); break;
    case PageStop::NoSpace:  // EnsurePagePoints has said so
    case PageStop::Limit: break;
  }
  // A page that ends exactly at the end of the file is at its end too.
  if (page.nothingAfter) s.EndOfFile = 1;
  s.PageRecords = page.records;
  s.PageTrail.clear();
  s.NumPlotPoints = page.points;
  s.PlotTimeKnown = s.Header.StartTimeKnown;
  return gapMessage;
}

void ShowOpenedFile(AppState& s, const std::string& gapMessage) {
  if (!gapMessage.empty()) s.host->SetStatusText(0, gapMessage);
  RememberDirectories(s);
  s.host->SetCursor(CursorShape::Arrow);
  if (!s.PlotTimeKnown)
    ShowMessage(*s.host, "The GPS time of " + s.CurrentFileTitle + " cannot be read; dates and times are not shown.",
                MsgIcon::Warning);
}

}  // namespace

void TellIncompleteRecord(AppState& s) {
  if (s.IncompleteTold) return;
  s.IncompleteTold = 1;
  ShowMessage(*s.host, "The last record of " + s.CurrentFileTitle + " is incomplete; it was ignored.",
              MsgIcon::Warning);
}

double SamplesPerSecond(const AppState& s) {
  double r = RateHz(static_cast<uint32_t>(s.SampleRate));
  return r > 0 ? r : 1.0;
}

void ComputeSensorScales(AppState& s, const RecorderHeader& h) {
  for (int k = 0; k < kChannels; ++k) {
    double electrode = h.Spacing[k] >= 1 ? 1000.0 / h.Spacing[k] : 1000.0 / 150.0;
    switch (h.SensorID[k]) {
      case 2:
      case 7: s.SensorScale[k] = electrode; break;
      case 4:
      case 5:
      case 6: s.SensorScale[k] = 5.0; break;
      default: s.SensorScale[k] = 1.0; break;  // 0, 1, 3 and unknown codes
    }
  }
}

double ChannelFactor(const AppState& s, const RecorderHeader& h, int ch) {
  int gain = h.ChannelGain[ch] > 0 ? h.ChannelGain[ch] : 1;
  return s.SensorScale[ch] * s.AdcSpanMilliVolts / 16777216.0 / gain;
}

int OpenRecorderFile(AppState& s) {
  OpenFileRequest request;
  request.filters = RecorderFileFilters();
  request.initialDir = s.DataDir;
  request.recordsPerPlotText = std::to_string(s.RecordsPerPlot);
  std::optional<OpenFileAnswer> answer = s.host->OpenFileDialog(request);
  if (!answer) return 0;
  bool clamped = false;
  const int previous = s.RecordsPerPlot;
  s.RecordsPerPlot = RecordsPerPlotFromText(answer->recordsPerPlotText, clamped);
  // A file that cannot be opened leaves "Records/Plot" as it was, with the open file.
  if (!LoadRecorderFile(s, answer->path)) {
    s.RecordsPerPlot = previous;
    return 0;
  }
  if (clamped)
    ShowMessage(*s.host,
                "Records/Plot " + answer->recordsPerPlotText + " is more than a page can hold; " +
                    std::to_string(kMaxRecordsPerPlot) + " records are shown per page.",
                MsgIcon::Warning);
  return 1;
}

int LoadRecorderFile(AppState& s, const std::string& path) {
  // Checked before anything changes: a file that is not a recording leaves the open one shown.
  std::FILE* f = OpenRecording(s, path);
  if (!f) return 0;
  TakeFile(s, f, path);
  const std::string gapMessage = ReadFirstPage(s);
  ShowOpenedFile(s, gapMessage);
  return 1;
}

int ReadRecord(AppState& s) {
  if (!s.DataFile) return 0;
  Platform& host = *s.host;
  uint8_t raw[kHeaderBytes];
  RecorderHeader h = s.Header;
  long start = std::ftell(s.DataFile);
  RecordReadResult hr = ReadHeader(s.DataFile, raw, h);
  if (hr.status != ReadStatus::Ok) {
    if (hr.status == ReadStatus::Error) ReportSystemError(host, s.ProgramName, hr.err);
    if (hr.status == ReadStatus::Truncated) TellIncompleteRecord(s);
    if (start >= 0) std::fseek(s.DataFile, start, SEEK_SET);
    s.EndOfFile = 1;
    return 0;
  }
  if (CountEnabled(h) == 0) {
    if (start >= 0) std::fseek(s.DataFile, start, SEEK_SET);
    const bool indexed = s.PageIndexValid && s.PageIndex.noChannel;
    TellNoChannel(s, indexed ? static_cast<int>(s.PageIndex.offsets.size()) + 1 : 0);
    s.EndOfFile = 1;
    return 0;
  }
  uint64_t bytes = BlockBytes(h);
  RecordReadResult br = ReadBlock(s.DataFile, bytes, s.RawBlock);
  if (br.status != ReadStatus::Ok) {
    if (br.status == ReadStatus::Error)
      ReportSystemError(host, s.ProgramName, br.err);
    else
      TellIncompleteRecord(s);
    if (start >= 0) std::fseek(s.DataFile, start, SEEK_SET);
    s.EndOfFile = 1;
    return 0;
  }
  s.Header = h;
  ComputeGains(s.Header);
  s.NumEnabledChans = CountEnabled(s.Header);
  s.BlockBytes = bytes;
  s.SampsPerBlock = s.NumEnabledChans > 0 ? SampsPerBlockOf(s.Header) : 0;
  return kHeaderBytes;
}

const RecordIndex& OpenFileIndex(AppState& s) {
  // The index is kept while the file keeps its size, so paging does not reread every header.
  uint64_t bytes = 0;
  if (s.DataFile && std::fseek(s.DataFile, 0, SEEK_END) == 0) {
    long end = std::ftell(s.DataFile);
    if (end > 0) bytes = static_cast<uint64_t>(end);
  }
  if (!s.PageIndexValid || s.PageIndex.fileBytes != bytes || s.PageIndex.err) {
    s.PageIndex = s.DataFile ? ScanRecords(s.DataFile) : RecordIndex{};
    s.PageIndexValid = 1;
  }
  return s.PageIndex;
}

namespace {

// Says why the page read ended before it was meant to; false when it holds no record.
bool TellPageCut(AppState& s, const PageRead& page, const RecordIndex& index) {
  switch (page.stop) {
    case PageStop::ReadError:
      ReportSystemError(*s.host, s.ProgramName, page.err);
      s.EndOfFile = 1;
      break;
    case PageStop::Incomplete:
      TellIncompleteRecord(s);
      s.EndOfFile = 1;
      break;
    case PageStop::NoChannel:
      TellNoChannel(s, index.noChannel ? static_cast<int>(index.offsets.size()) + 1 : 0);
      s.EndOfFile = 1;
      break;
    case PageStop::FileEnd: s.EndOfFile = 1; break;
    default: break;
  }
  return page.records > 0;
}

// Says why the page ends where the index says it does.
std::string TellPageEnd(AppState& s, const PageEnd& end, const RecordIndex& index) {
  std::string part0 = s.CurrentFileTitle;
  switch (end.kind) {
    case PageEnd::PointCap: TellTruncatedPage(s); break;
    case PageEnd::Layout: TellLayoutChange(s, end.next); break;
    case PageEnd::TimeGap: part0 = TimeGapMessage(end.gap, end.next + 1); break;
    case PageEnd::FileEnd:
      // The page wanted more records: it has met the end of the file, and the cut record there.
      if (index.truncated) TellIncompleteRecord(s);
      break;
    case PageEnd::Full: break;
  }
  return part0;
}

}  // namespace

int LoadPageAt(AppState& s, int firstRecord) {
  if (!s.DataFile || firstRecord < 0) return 0;
  const RecordIndex& index = OpenFileIndex(s);
  if (static_cast<size_t>(firstRecord) >= index.offsets.size()) {
    if (index.noChannel) TellNoChannel(s, static_cast<int>(index.offsets.size()) + 1);
    return 0;
  }
  PageEnd end;
  const int want = PageLength(index, firstRecord, s.RecordsPerPlot, &end);
  if (want <= 0) return 0;
  if (std::fseek(s.DataFile, static_cast<long>(index.offsets[static_cast<size_t>(firstRecord)]), SEEK_SET) != 0)
    return 0;
  s.EndOfFile = 0;
  PageRequest request;
  request.maxRecords = want;
  request.startTime = RecordPlotStart(index, firstRecord);
  request.fileStart = s.PlotFirstRecordTime;
  request.header = s.Header;
  const PageRead page = ReadPage(s.DataFile, request, PageArrays(s, PagePoints(index, firstRecord, want)));
  if (page.records > 0) {
    s.Header = page.last;
    ComputeGains(s.Header);
    s.NumEnabledChans = CountEnabled(s.Header);
    s.BlockBytes = BlockBytes(s.Header);
    s.SampsPerBlock = SampsPerBlockOf(s.Header);
    s.SampleRate = static_cast<int>(page.first.SampleRate);
    s.PlotStartTime = request.startTime;
  }
  if (!TellPageCut(s, page, index)) return 0;
  const int read = page.records;
  const int records = static_cast<int>(index.offsets.size());
  if (firstRecord + read >= records) s.EndOfFile = 1;
  s.CurrentRecord = firstRecord;
  s.PageRecords = read;
  s.NumPlotPoints = page.points;
  s.FitValid = 0;
  s.RecordTimeShown = ShownTime(s, s.PlotStartTime);
  const std::string part0 = read == want ? TellPageEnd(s, end, index) : s.CurrentFileTitle;
  s.host->SetStatusText(0, part0);
  s.host->SetStatusText(1, "Rec " + std::to_string(s.CurrentRecord + 1));
  s.host->SetStatusText(2, s.PlotTimeKnown ? FormatDate(s.RecordTimeShown) : "");
  s.host->SetStatusText(3, s.PlotTimeKnown ? FormatTime(s.RecordTimeShown) : "");
  return read;
}
