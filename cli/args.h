#pragma once
// Command-line arguments: positional words and --name value options.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class Args {
 public:
  /// Parses argv[first..]; flags lists the options that take no value.
  /// Returns false with a message in error() for an option without its value.
  bool Parse(int argc, char** argv, int first, const std::set<std::string>& flags);

  const std::vector<std::string>& positional() const { return positional_; }
  bool Has(const std::string& name) const { return options_.count(name) > 0; }
  std::optional<std::string> Get(const std::string& name) const;
  /// Names given that are not in known; empty when all are known.
  std::vector<std::string> Unknown(const std::set<std::string>& known) const;
  const std::string& error() const { return error_; }

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::string> options_;
  std::string error_;
};

/// Strict number parsing: the whole text must be the number.
bool ParseInt(const std::string& text, long long& out);
bool ParseDouble(const std::string& text, double& out);
std::vector<std::string> SplitList(const std::string& text, char sep = ',');

/// The options every page-reading command shares.
struct PageOptions {
  int record = 1;          // 1-based first record of the page
  int recordsPerPlot = 1;  // records joined into the page
  std::string lemiDir;     // folder of the coil response files
};
/// Reads --record, --records-per-plot and --lemi; returns an error message or "".
std::string ReadPageOptions(const Args& args, PageOptions& page);
extern const char* const kPageOptionsHelp;
