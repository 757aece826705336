#pragma once
// Shared by the fuzz targets: a started state on the headless host in a
// private temporary folder, and files written from fuzzed bytes.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/state.h"
#include "platform/headless/headless_platform.h"

namespace fuzz {

/// A folder of this process, emptied for every input.
inline const std::string& Folder() {
  static const std::string dir = [] {
    std::string d = (std::filesystem::temp_directory_path() / ("zorvan-fuzz-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(d);
    return d + "/";
  }();
  return dir;
}

inline void ClearFolder() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(Folder(), ec)) std::filesystem::remove_all(entry, ec);
}

inline std::string WriteFile(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = Folder() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

/// Aborts (a finding) when path no longer holds exactly bytes.
inline void CheckUnchanged(const std::string& path, const uint8_t* data, size_t size) {
  std::vector<uint8_t> now = ReadFile(path);
  if (now.size() != size || (size && std::memcmp(now.data(), data, size) != 0)) {
    std::fprintf(stderr, "input %s was changed\n", path.c_str());
    std::abort();
  }
}

/// One started state for the whole run, as the window keeps one while files
/// are opened over each other.
struct Started {
  HeadlessPlatform host;
  AppState s;
  Started() {
    StartupOptions options;
    options.startDir = Folder();
    options.useDirFile = false;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
    s.ResponseDir = Folder() + "LEMI/";
  }
  ~Started() { ShutdownAppState(s); }
  /// Forgets what the host recorded, so a long run does not grow.
  void Reset() {
    host.messages.clear();
    host.statusHistory.clear();
    host.openRequests.clear();
    host.dialogTitles.clear();
    host.openAnswers.clear();
    host.openFilesAnswers.clear();
    host.saveAnswers.clear();
    host.messageAnswers.clear();
    host.dialogScripts.clear();
  }
};

inline Started& State() {
  static Started* started = new Started();  // kept to the end of the process
  return *started;
}

}  // namespace fuzz
