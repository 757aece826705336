#pragma once
// Small text helpers shared by every layer.
#include <string>

/// printf-style formatting into a std::string (at most 511 characters).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
