#include "datafile/loader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datafile/file_io.h"
#include "datafile/record_io.h"
#include "platform/platform.h"
#include "spectral/response.h"

const char* const kTruncatedPlotMessage = "Plot points exceed %d, plot truncated";

namespace {

void TellIncomplete(AppState& s) { TellIncompleteRecord(s); }

}  // namespace

void TellIncompleteRecord(AppState& s) {
  if (s.IncompleteTold) return;
  s.IncompleteTold = 1;
  ShowMessage(*s.host, "The last record of " + s.CurrentFileTitle + " is incomplete; it was ignored.",
              MsgIcon::Warning);
}

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

// Why the file open in f cannot be shown, or "" when its first record can
// describe a recording: a known rate code, at least one enabled channel, and
// the whole first record present.
std::string WhyNotRecording(std::FILE* f, const std::string& title, int& err) {
  uint8_t raw[kHeaderBytes];
  RecorderHeader h{};
  const uint64_t bytes = FileBytesOf(f);
  RecordReadResult r = ReadHeader(f, raw, h);
  std::rewind(f);
  err = r.status == ReadStatus::Error ? r.err : 0;
  if (err) return "Cannot read " + title + ": " + std::strerror(r.err);
  if (r.status == ReadStatus::End) return title + " is not a recorder file (it is empty)";
  if (r.status == ReadStatus::Truncated)
    return title + " is not a recorder file (" + std::to_string(r.bytesRead) + " bytes, less than one record header)";
  if (!KnownRateCode(h.SampleRate))
    return title + " is not a recorder file (unknown sample rate code " + std::to_string(h.SampleRate) + ")";
  if (CountEnabled(h) == 0) return title + " is not a recorder file (no channel is enabled in its first record)";
  if (bytes < kHeaderBytes + BlockBytes(h))
    return title + " holds no complete record (the file ends inside its first record)";
  return {};
}

}  // namespace

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
  Platform& host = *s.host;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    ShowMessage(host, "Cannot open " + path + ": " + std::strerror(errno), MsgIcon::Error);
    return 0;
  }
  // Checked before anything changes: a file that is not a recording leaves the open one shown.
  int err = 0;
  if (std::string why = WhyNotRecording(f, FileTitleOf(path), err); !why.empty()) {
    std::fclose(f);
    if (err) ReportSystemError(host, s.ProgramName, err);
    else ShowMessage(host, why, MsgIcon::Error);
    return 0;
  }
  if (s.DataFile) std::fclose(s.DataFile);
  s.DataFile = f;
  s.PageIndexValid = 0;
  s.CurrentFilePath = path;
  s.CurrentFileTitle = FileTitleOf(path);
  s.DataDir = DirectoryOf(path);
  host.SetStatusText(0, FileStatusText(s));
  host.SetCursor(CursorShape::Wait);

  s.EndOfFile = 0;
  s.IncompleteTold = 0;
  ForgetResponseMessages(s);
  s.NumPlotPoints = 0;
  int p = 0;
  int held = 0;
  RecordShape shape;
  std::string gapMessage;
  uint8_t raw[kHeaderBytes];
  RecorderHeader h = s.Header;
  for (int r = 0; r < s.RecordsPerPlot && p < MaxPlotPoints; ++r) {
    RecordReadResult hr = ReadHeader(f, raw, h);
    if (hr.status == ReadStatus::End) {
      s.EndOfFile = 1;
      break;
    }
    if (hr.status == ReadStatus::Error) {
      ReportSystemError(host, s.ProgramName, hr.err);
      break;
    }
    if (hr.status == ReadStatus::Truncated) {
      s.EndOfFile = 1;
      TellIncomplete(s);
      break;
    }
    if (r == 0) {
      s.Header = h;
      // OutHeader keeps its invert flags: decoding leaves them alone.
      RecorderHeader out = s.OutHeader;
      DecodeHeader(raw, out);
      s.OutHeader = out;
      s.PlotFirstRecordTime = s.Header.StartTime;
      s.NumEnabledChans = CountEnabled(s.Header);
      s.SampleRate = static_cast<int>(s.Header.SampleRate);
      s.BlockBytes = BlockBytes(s.Header);
      s.SampsPerBlock = s.NumEnabledChans > 0 ? SampsPerBlockOf(s.Header) : 0;
      ComputeGains(s.Header);
      ComputeGains(s.OutHeader);
      ComputeSensorScales(s, s.Header);
      if (s.NumEnabledChans == 0) {
        ShowMessage(host, "No channel is enabled in the first record of " + s.CurrentFileTitle +
                              ": there is nothing to plot.",
                    MsgIcon::Warning);
        break;
      }
      shape = ShapeOf(h, s.PlotFirstRecordTime);
    } else if (CountEnabled(h) == 0) {
      s.EndOfFile = 1;
      TellNoChannel(s, r + 1);
      break;
    } else {
      const RecordShape prev = shape;
      shape = ShapeOf(h, s.PlotFirstRecordTime);
      double gap = 0;
      PageEnd::Kind b = PageBreakBetween(prev, shape, &gap);
      if (b != PageEnd::Full) {
        // Another layout would misalign every later sample; a gap would make the clock axis lie.
        if (b == PageEnd::Layout) TellLayoutChange(s, r);
        else gapMessage = TimeGapMessage(gap, r + 1);
        std::fseek(f, -static_cast<long>(kHeaderBytes), SEEK_CUR);
        break;
      }
    }
    if (static_cast<long long>(p) + s.SampsPerBlock > MaxPlotPoints) {
      std::fseek(f, -static_cast<long>(kHeaderBytes), SEEK_CUR);
      TellTruncatedPage(s);
      break;
    }
    RecordReadResult br = ReadBlock(f, s.BlockBytes, s.RawBlock);
    if (br.status == ReadStatus::Error) {
      ReportSystemError(host, s.ProgramName, br.err);
      break;
    }
    if (br.status == ReadStatus::Truncated) {
      s.EndOfFile = 1;
      TellIncomplete(s);
      break;
    }
    UnpackBlock(s.RawBlock.data(), h, s.SampsPerBlock, s.Counts);

    if (!EnsurePagePoints(s, p + s.SampsPerBlock)) break;
    const double rate = SamplesPerSecond(s);
    for (int i = 0; i < s.SampsPerBlock; ++i) s.xplotdata[static_cast<size_t>(p + i)] = (p + i) / rate;
    for (int ch = 0; ch < kChannels; ++ch) {
      double* orig = s.yplotdata_orig[ch].data() + p;
      double* plot = s.yplotdata[ch].data() + p;
      for (int i = 0; i < s.SampsPerBlock; ++i) orig[i] = plot[i] = s.Counts[static_cast<size_t>(i)][ch];
      if (r == 0) {
        // The display filter starts from the page's first sample.
        double first = s.SensorScale[ch] * (s.Counts[0][ch] * s.AdcSpanMilliVolts / 16777216.0) /
                       (s.Header.ChannelGain[ch] > 0 ? s.Header.ChannelGain[ch] : 1);
        s.yplotdata_prev[ch].assign(kHistoryPoints, first);
      }
    }
    p += s.SampsPerBlock;
    ++held;
  }
  s.PageRecords = held;
  s.PageTrail.clear();
  if (!gapMessage.empty()) host.SetStatusText(0, gapMessage);
  if (!s.EndOfFile && std::feof(f)) s.EndOfFile = 1;
  if (!s.EndOfFile) {
    // A page that ends exactly at the end of the file is at its end too.
    int c = std::fgetc(f);
    if (c == EOF) s.EndOfFile = 1;
    else std::ungetc(c, f);
  }
  s.NumPlotPoints = p;
  s.PlotTimeKnown = s.Header.StartTimeKnown;
  RememberDirectories(s);
  host.SetCursor(CursorShape::Arrow);
  if (!s.PlotTimeKnown)
    ShowMessage(host, "The GPS time of " + s.CurrentFileTitle + " cannot be read; dates and times are not shown.",
                MsgIcon::Warning);
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
    if (hr.status == ReadStatus::Truncated) TellIncomplete(s);
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
    if (br.status == ReadStatus::Error) ReportSystemError(host, s.ProgramName, br.err);
    else TellIncomplete(s);
    if (start >= 0) std::fseek(s.DataFile, start, SEEK_SET);
    s.EndOfFile = 1;
    return 0;
  }
  s.Header = h;
  ComputeGains(s.Header);
  s.NumEnabledChans = CountEnabled(s.Header);
  s.BlockBytes = bytes;
  s.SampsPerBlock = s.NumEnabledChans > 0 ? SampsPerBlockOf(s.Header) : 0;
  UnpackBlock(s.RawBlock.data(), s.Header, s.SampsPerBlock, s.Counts);
  return kHeaderBytes;
}

PageEnd::Kind PageBreakBetween(const RecordShape& prev, const RecordShape& cur, double* gap) {
  if (cur.channels != prev.channels || cur.blockBytes != prev.blockBytes || cur.rateCode != prev.rateCode)
    return PageEnd::Layout;
  const double g = cur.start - (prev.start + prev.samples / prev.rate);
  if (gap) *gap = g;
  return std::fabs(g) > 1.0 / prev.rate ? PageEnd::TimeGap : PageEnd::Full;
}

std::string TimeGapMessage(double gap, int record) {
  char text[96];
  std::snprintf(text, sizeof text, std::fabs(gap) >= 1 ? "Time gap of %.1f s before record %d: page ends"
                                                       : "Time gap of %.3g s before record %d: page ends",
                gap, record);
  return text;
}

int PageLength(const RecordIndex& index, int first, int perPlot, PageEnd* end) {
  PageEnd e;
  const int size = static_cast<int>(index.shapes.size());
  int n = 0;
  long long points = 0;
  e.kind = PageEnd::FileEnd;
  for (int k = std::max(first, 0); k < size; ++k) {
    if (n >= perPlot) {
      e.kind = PageEnd::Full;
      break;
    }
    const RecordShape& cur = index.shapes[static_cast<size_t>(k)];
    if (n > 0) {
      PageEnd::Kind b = PageBreakBetween(index.shapes[static_cast<size_t>(k - 1)], cur, &e.gap);
      if (b != PageEnd::Full) {
        e.kind = b;
        break;
      }
    }
    if (points + cur.samples > MaxPlotPoints) {
      e.kind = PageEnd::PointCap;
      break;
    }
    points += cur.samples;
    ++n;
  }
  if (n >= perPlot) e.kind = PageEnd::Full;
  e.next = first + n;
  if (end) *end = e;
  return n;
}

int PreviousPageStart(const RecordIndex& index, int current, int perPlot) {
  if (current <= 0) return -1;
  int start = 0;
  for (;;) {
    const int n = PageLength(index, start, perPlot);
    if (n <= 0 || start + n >= current) return start;
    start += n;
  }
}

double RecordPlotStart(const RecordIndex& index, int k) {
  const auto& shapes = index.shapes;
  if (k <= 0 || shapes.empty()) return 0.0;
  k = std::min(k, static_cast<int>(shapes.size()) - 1);
  double anchor = shapes[0].start;
  double rate = shapes[0].rate;
  long long since = 0;  // samples from the anchor
  for (int i = 1; i <= k; ++i) {
    since += shapes[static_cast<size_t>(i - 1)].samples;
    const RecordShape& cur = shapes[static_cast<size_t>(i)];
    const double nominal = anchor + static_cast<double>(since) / rate;
    if (cur.rate != rate || std::fabs(cur.start - nominal) > 1.0 / rate) {
      anchor = cur.start;
      rate = cur.rate;
      since = 0;
    }
  }
  return anchor + static_cast<double>(since) / rate;
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
  const double startTime = RecordPlotStart(index, firstRecord);
  int n = 0;
  int read = 0;
  for (int r = 0; r < want; ++r) {
    if (!ReadRecord(s)) break;
    if (r == 0) {
      s.SampleRate = static_cast<int>(s.Header.SampleRate);
      s.PlotStartTime = startTime;
    }
    if (!EnsurePagePoints(s, n + s.SampsPerBlock)) break;
    const double rate = SamplesPerSecond(s);
    for (int i = 0; i < s.SampsPerBlock; ++i)
      s.xplotdata[static_cast<size_t>(n + i)] = s.PlotStartTime + (n + i) / rate;
    for (int ch = 0; ch < kChannels; ++ch) {
      double* orig = s.yplotdata_orig[ch].data() + n;
      double* plot = s.yplotdata[ch].data() + n;
      for (int i = 0; i < s.SampsPerBlock; ++i) orig[i] = plot[i] = s.Counts[static_cast<size_t>(i)][ch];
    }
    n += s.SampsPerBlock;
    ++read;
  }
  if (read == 0) return 0;
  const int records = static_cast<int>(index.offsets.size());
  if (firstRecord + read >= records) s.EndOfFile = 1;
  s.CurrentRecord = firstRecord;
  s.PageRecords = read;
  s.NumPlotPoints = n;
  s.FitValid = 0;
  s.RecordTimeShown = ShownTime(s, s.PlotStartTime);
  std::string part0 = s.CurrentFileTitle;
  if (read == want) {
    switch (end.kind) {
      case PageEnd::PointCap: TellTruncatedPage(s); break;
      case PageEnd::Layout: TellLayoutChange(s, end.next); break;
      case PageEnd::TimeGap: part0 = TimeGapMessage(end.gap, end.next + 1); break;
      case PageEnd::FileEnd:
        // The page wanted more records: it has met the end of the file, and the cut record there.
        if (index.truncated) TellIncomplete(s);
        break;
      case PageEnd::Full: break;
    }
  }
  s.host->SetStatusText(0, part0);
  s.host->SetStatusText(1, "Rec " + std::to_string(s.CurrentRecord + 1));
  s.host->SetStatusText(2, s.PlotTimeKnown ? FormatDate(s.RecordTimeShown) : "");
  s.host->SetStatusText(3, s.PlotTimeKnown ? FormatTime(s.RecordTimeShown) : "");
  return read;
}
