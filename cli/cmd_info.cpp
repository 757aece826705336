// zorvan info: the decoded header of one record and a summary of the file.

#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/commands.h"
#include "cli/session.h"
#include "datafile/loader.h"
#include "datafile/record_io.h"
#include "dialogs/header_fields.h"

namespace {

std::string TrimLeft(const std::string& text) {
  size_t i = text.find_first_not_of(' ');
  return i == std::string::npos ? std::string() : text.substr(i);
}

void PrintField(const std::string& indent, const HeaderFieldText& f) {
  std::cout << indent << f.label << ": " << TrimLeft(f.text) << "\n";
}

bool ReadHeaderAt(std::FILE* f, uint64_t offset, RecorderHeader& h) {
  uint8_t raw[kHeaderBytes];
  if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return false;
  return ReadHeader(f, raw, h).status == ReadStatus::Ok;
}

}  // namespace

int RunInfo(const Args& args) {
  if (args.positional().size() != 1) return Fail("info: give one recorder file (see zorvan info --help)");
  PageOptions page;
  if (std::string e = ReadPageOptions(args, page); !e.empty()) return Fail("info: " + e);
  const std::string path = args.positional()[0];

  Session session;
  if (!session.Open(path, page)) return Fail("info: " + session.OpenFailure(path));
  AppState& s = session.state;
  RecordIndex index = ScanRecords(s.DataFile);
  if (index.err) return Fail("info: reading " + path + " failed: " + std::strerror(index.err));
  const int records = static_cast<int>(index.offsets.size());
  if (records == 0)
    return Fail("info: " + path + " holds no complete record" + (index.truncated ? " (it ends inside the first)" : ""));
  if (page.record > records)
    return Fail("info: record " + std::to_string(page.record) + " asked, but " + path + " has " +
                std::to_string(records) + " complete records");

  RecorderHeader h, first, last;
  if (!ReadHeaderAt(s.DataFile, index.offsets[static_cast<size_t>(page.record - 1)], h) ||
      !ReadHeaderAt(s.DataFile, index.offsets.front(), first) || !ReadHeaderAt(s.DataFile, index.offsets.back(), last))
    return Fail("info: reading " + path + " failed");
  ComputeGains(h);

  std::cout << "File: " << path << "\n";
  std::cout << "Record: " << page.record << " of " << records << "\n";
  for (const HeaderFieldText& f : RecorderFieldTexts(h)) PrintField("", f);
  std::cout << "Start time: " << FormatDate(h.StartTime) << " " << FormatTime(h.StartTime) << "\n";
  for (int k = 0; k < kChannels; ++k) {
    std::cout << "\nChannel " << k + 1 << "\n";
    for (const HeaderFieldText& f : ChannelFieldTexts(h, k)) {
      if (f.controlId == 1018 || f.controlId == 2318) continue;  // the block's heading; invert is not in the file
      PrintField("  ", f);
      if (f.controlId == 1394) std::cout << "  Gain factor: " << h.ChannelGain[k] << "\n";
    }
  }

  const double rate = RateHz(first.SampleRate);
  std::cout << "\nSummary\n";
  std::cout << "  Complete records: " << records << "\n";
  std::cout << "  Samples per record: " << (CountEnabled(first) ? SampsPerBlockOf(first) : 0) << "\n";
  std::cout << "  Sample rate: " << Format("%g", rate) << " samples/s\n";
  std::cout << "  First record starts: " << FormatDate(first.StartTime) << " " << FormatTime(first.StartTime) << "\n";
  std::cout << "  Last record starts: " << FormatDate(last.StartTime) << " " << FormatTime(last.StartTime) << "\n";
  std::cout << "  Duration: " << Format("%.3f", rate > 0 ? index.totalSamples / rate : 0.0) << " s\n";
  if (index.truncated) std::cout << "  The file ends inside a record after the last complete one.\n";
  if (index.noChannel)
    std::cout << "  Record " << records + 1 << " has no enabled channel; the recording ends there.\n";
  return 0;
}

const CliCommand kInfoCommand{
    "info",
    "print the decoded header of a record and a summary of the file",
    "Usage: zorvan info FILE [options]\n"
    "Prints the header of one record as \"Label: value\" lines with the labels of the\n"
    "File Information dialog, one block per channel, and a summary of the file.\n\nOptions:\n"
    "  --record N            the record whose header is shown, 1-based (default 1)\n"
    "  --records-per-plot R  records joined into the page (default 1)\n"
    "  --lemi DIR            folder of the coil response files (default: LEMI beside FILE, then ./LEMI)\n",
    {},
    {"record", "records-per-plot", "lemi"},
    RunInfo};
