#include "cli/args.h"

#include <cerrno>
#include <cstdlib>

bool Args::Parse(int argc, char** argv, int first, const std::set<std::string>& flags) {
  for (int i = first; i < argc; ++i) {
    std::string word = argv[i];
    if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
      std::string name = word.substr(2);
      std::string value;
      size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
      } else if (!flags.count(name)) {
        if (i + 1 >= argc) {
          error_ = "option --" + name + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      options_[name] = value;
    } else {
      positional_.push_back(word);
    }
  }
  return true;
}

std::optional<std::string> Args::Get(const std::string& name) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> Args::Unknown(const std::set<std::string>& known) const {
  std::vector<std::string> out;
  for (const auto& [name, value] : options_)
    if (!known.count(name)) out.push_back(name);
  return out;
}

bool ParseInt(const std::string& text, long long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno || *end != '\0') return false;
  out = v;
  return true;
}

bool ParseDouble(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text.c_str(), &end);
  if (errno || *end != '\0') return false;
  out = v;
  return true;
}

std::vector<std::string> SplitList(const std::string& text, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t pos = text.find(sep, start);
    out.push_back(text.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
    if (pos == std::string::npos) break;
    start = pos + 1;
  }
  return out;
}

const char* const kPageOptionsHelp =
    "  --record N            first record of the page, 1-based (default 1)\n"
    "  --records-per-plot R  records joined into the page (default 1)\n"
    "  --lemi DIR            folder of the coil response files (default: LEMI beside FILE, then ./LEMI)\n";

std::string ReadPageOptions(const Args& args, PageOptions& page) {
  long long v = 0;
  if (auto t = args.Get("record")) {
    if (!ParseInt(*t, v) || v < 1 || v > 1000000000) return "--record takes a whole number from 1";
    page.record = static_cast<int>(v);
  }
  if (auto t = args.Get("records-per-plot")) {
    if (!ParseInt(*t, v) || v < 1 || v > 1000000) return "--records-per-plot takes a whole number from 1";
    page.recordsPerPlot = static_cast<int>(v);
  }
  page.lemiDir = args.Get("lemi").value_or("");  // empty: LEMI beside the file, then in the current directory
  return {};
}
