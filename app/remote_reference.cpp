#include "app/remote_reference.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "datafile/header.h"
#include "datafile/record_io.h"
#include "datafile/remote_samples.h"
#include "platform/platform.h"
#include "util/paths.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::string SetRemoteReference(AppState& s, const std::string& path) {
  const std::string title = FileTitleOf(path);
  FilePtr f(OpenInputFile(path));
  if (!f) return "Cannot open " + path + ": " + std::strerror(errno);
  if (s.DataFile && IdOfFile(f.get()) == IdOfFile(s.DataFile))
    return title + " is the open recording; choose the recording of another station.";
  uint8_t raw[kHeaderBytes];
  RecorderHeader h{};
  if (ReadHeader(f.get(), raw, h).status != ReadStatus::Ok) return title + " holds no complete record.";
  int chans[2];
  if (!MagneticChannels(h, chans)) return title + " has no enabled Hx and Hy channels to serve as a remote reference.";
  s.RemotePath = path;
  s.RemoteTitle = title;
  s.RemoteSeriesKey.clear();
  s.RemoteToldKey.clear();
  s.RemoteBands = 0;
  if (s.host && s.FileLoaded) s.host->SetStatusText(0, FileStatusText(s));
  return {};
}

void ClearRemoteReference(AppState& s) {
  s.RemotePath.clear();
  s.RemoteTitle.clear();
  s.RemoteSeriesKey.clear();
  s.RemoteToldKey.clear();
  s.RemoteProblem.clear();
  s.RemoteBands = 0;
  s.RemoteCrossSpec.clear();
  if (s.host && s.FileLoaded) s.host->SetStatusText(0, FileStatusText(s));
}

void AddRemoteInput(const AppState& s, std::vector<FileId>& inputs) {
  if (s.RemotePath.empty()) return;
  const FileId id = IdOfPath(s.RemotePath);
  if (id.known) inputs.push_back(id);
}
