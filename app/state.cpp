#include "app/state.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>

#include "platform/platform.h"
#include "spectral/slepian.h"

namespace {

const char* const kTooltips[kToolbarButtons] = {"File Open",
                                                "File Save",
                                                "Print",
                                                "Copy Graph to Clipboard",
                                                "Back One Record",
                                                "Forward One Record",
                                                "Zoom On/Off",
                                                "Pan On/Off",
                                                "Reset",
                                                "Autoscale On/Off",
                                                "Filter On/Off",
                                                "Fourier Transform On/Off",
                                                "Apparent Resisivity On/Off",
                                                "Find Peaks On/Off"};

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (buf.size() > (1u << 20)) return ".";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

// One line of lidar.dir: bytes up to a line feed or 256 bytes; the last byte read is dropped.
std::string ReadDirLine(std::FILE* f) {
  std::string line;
  int c = 0;
  while (line.size() < 256 && (c = std::fgetc(f)) != EOF) {
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  if (!line.empty()) line.pop_back();
  return line;
}

}  // namespace

int InitAppState(AppState& s, Platform& host, const StartupOptions& options) {
  s.host = &host;
  s.ProgramName = "Zorvan";
  for (int i = 0; i < kToolbarButtons; ++i) s.Tooltips[static_cast<size_t>(i)] = kTooltips[i];
  s.eigv = DefaultTapers();
  for (auto* rows : {&s.yplotdata_prev})
    for (auto& row : *rows) row.assign(kHistoryPoints, 0.0);
  s.RawBlock.assign(static_cast<size_t>(kChannels) * kMaxSampsPerBlock * 3, 0);
  s.StandardLineWidth = 2;  // max(2, panel height / 120) with no panel yet
  s.RedrawAll = 1;

  s.UseDirFile = options.useDirFile;
  s.StartDir = WithSeparator(options.startDir.empty() ? CurrentDirectory() : options.startDir);
  s.DataDir = s.StartDir;
  s.WorkDir = s.StartDir;
  if (s.UseDirFile) {
    std::string path = s.StartDir + "lidar.dir";
    if (!ReadDirFile(s, path)) WriteDirFile(path, s.DataDir, s.WorkDir);
  }
  if (options.changeToWorkDir && !s.WorkDir.empty()) {
    if (chdir(s.WorkDir.c_str()) != 0) {
      // A working directory that no longer exists leaves the current one.
    }
  }
  return 1;
}

void ShutdownAppState(AppState& s) {
  if (s.DataFile) std::fclose(s.DataFile);
  s.DataFile = nullptr;
  for (PageRows* rows : {&s.yplotdata, &s.yplotdata_orig, &s.yplotdata2, &s.ypoly})
    for (auto& row : *rows) PageRow().swap(row);
  for (ChannelRows* rows : {&s.yplotdataFFT, &s.yplotdata_prev, &s.ZZ, &s.ZZPhase, &s.ZZStd, &s.ZZPhaseStd})
    for (auto& row : *rows) std::vector<double>().swap(row);
  PageRow().swap(s.xplotdata);
  PageRow().swap(s.FitX);
  std::vector<double>().swap(s.PlotX);
  std::vector<double>().swap(s.eigv);
  s.SlepianWindows.clear();
  s.SlepianWindows.shrink_to_fit();
}

int EnsurePagePoints(AppState& s, int n) {
  if (n < 0 || n > MaxPlotPoints) return 0;
  const size_t need = static_cast<size_t>(n);
  auto rows = [&s](auto&& f) {
    f(s.xplotdata, "xplotdata");
    for (int ch = 0; ch < kChannels; ++ch) {
      f(s.yplotdata[ch], "yplotdata");
      f(s.yplotdata_orig[ch], "yplotdata_orig");
    }
  };
  size_t have = s.xplotdata.size();
  rows([&have](PageRow& v, const char*) { have = std::min(have, v.size()); });
  if (have >= need) return 1;
  // Grown once to the page (the loader knows its size before reading), keeping
  // only the points shown, which the page about to be read replaces.
  const size_t keep = static_cast<size_t>(std::max(s.NumPlotPoints, 0));
  const char* failed = nullptr;
  for (size_t size = need;; size /= 2) {
    const char* array = "xplotdata";
    try {
      rows([&](PageRow& v, const char* name) {
        array = name;
        if (v.size() >= size) return;
        PageRow grown;
        grown.reserve(size);
        grown.assign(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min({keep, v.size(), size})));
        grown.resize(size);
        v.swap(grown);
      });
      break;
    } catch (const std::bad_alloc&) {
      // Memory ran out part way: every array is released and a page half as
      // long is tried, so all keep one length and the reader gets what fits.
      if (!failed) failed = array;
      rows([](PageRow& v, const char*) { PageRow().swap(v); });
      s.NumPlotPoints = 0;
      if (size == 0) break;
    }
  }
  if (failed) {
    ShowMessage(*s.host, std::string("Unable to allocate memory for ") + failed, MsgIcon::Error);
    return 0;
  }
  return 1;
}

RecordTime ShownTime(const AppState& s, double secondsFromFirst) {
  RecordTime t = s.PlotFirstRecordTime;
  AddSeconds(t, secondsFromFirst - (s.TimeFormatHST ? 36000.0 : 0.0));
  return t;
}

int ReadDirFile(AppState& s, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r+");
  if (!f) f = std::fopen(path.c_str(), "r");
  if (!f) return 0;
  std::string data = ReadDirLine(f);
  std::string work = ReadDirLine(f);
  std::fclose(f);
  // Empty lines would leave the dialogs nowhere: keep the start-up directory then.
  s.DataDir = data.empty() ? s.StartDir : WithSeparator(data);
  s.WorkDir = work.empty() ? s.StartDir : work;
  return 1;
}

int WriteDirFile(const std::string& path, const std::string& dataDir, const std::string& workDir) {
  std::FILE* f = std::fopen(path.c_str(), "w+");
  if (!f) return 0;
  std::fprintf(f, "%s\n%s\n", dataDir.c_str(), workDir.c_str());
  return std::fclose(f) == 0 ? 1 : 0;
}

void RememberDirectories(AppState& s) {
  if (s.UseDirFile) WriteDirFile(s.StartDir + "lidar.dir", s.DataDir, s.WorkDir);
}

std::string FileStatusText(const AppState& s) {
  return s.RemotePath.empty() ? s.CurrentFileTitle : s.CurrentFileTitle + " (RR: " + s.RemoteTitle + ")";
}
