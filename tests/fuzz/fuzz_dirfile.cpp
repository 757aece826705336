// The lidar.dir reader on a fuzzed file, and the start-up that reads it.

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Started& started = fuzz::State();
  AppState& s = started.s;
  const std::string path = fuzz::WriteFile("lidar.dir", data, size);
  s.DataDir = s.WorkDir = s.StartDir;
  ReadDirFile(s, path);
  if (s.DataDir.empty() || s.DataDir.back() != kPathSeparator) std::abort();
  fuzz::CheckUnchanged(path, data, size);
  return 0;
}
