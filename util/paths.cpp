#include "util/paths.h"

std::string WithSeparator(std::string dir) {
  if (dir.empty() || dir.back() != kPathSeparator) dir.push_back(kPathSeparator);
  return dir;
}

std::string FileTitleOf(const std::string& path) {
  size_t slash = path.find_last_of(kPathSeparator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of(kPathSeparator);
  return slash == std::string::npos ? std::string(".") + kPathSeparator : path.substr(0, slash + 1);
}
