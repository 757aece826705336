#pragma once
// Path helpers: the separator of this platform and the parts of a path.
#include <string>

/// The path separator of this platform.
constexpr char kPathSeparator = '/';
/// dir with a trailing separator.
std::string WithSeparator(std::string dir);
/// The file name of path without its directory.
std::string FileTitleOf(const std::string& path);
/// The directory of path with its trailing separator ("./" for a bare name).
std::string DirectoryOf(const std::string& path);
