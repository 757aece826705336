#pragma once
// Writing recorder files: a processed copy (low-pass filtered, channels
// inverted or dropped, header settings from an output header) or a decimated
// one; and the record-by-record machinery that the split, the concatenation
// and the synchronization share. Every writer streams one record (or one
// group of records) at a time and never writes to one of its own inputs.
// Writers know only files: what they have to tell on the way goes to the
// caller's WriterEvents, what they wrote into a WriteReport.

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "datafile/file_io.h"
#include "datafile/header.h"
#include "spectral/lowpass.h"

/// What a file operation wrote, for the command-line tool.
struct WriteReport {
  std::vector<std::string> outputs;  // files written completely, in order
  std::vector<int> records;          // records in each
  int recordsLeftOut = 0;            // input records that did not fill a decimation group
  std::vector<std::string> leftOut;  // inputs that added nothing (the reason was told)
  int err = 0;                       // errno of a failed write or read
  bool readFailed = false;           // err comes from reading an input
  bool headerWrite = false;          // the failed write was of a header
  std::string failedPath;            // the file it concerned
  std::string failure;               // what failed, when it was no read or write error of the system
  bool removed = false;              // the incomplete output was removed
};

/// What a file operation tells while it runs; the caller shows it. The
/// defaults drop it.
class WriterEvents {
 public:
  enum class Kind {
    Warning,      // the operation went on (or ended early but complete)
    Error,        // the operation failed or was refused
    SystemError,  // it failed reading an input: the system's error, told as the program's failure
  };
  virtual ~WriterEvents() = default;
  virtual void Tell(const std::string& /*text*/, Kind /*kind*/) {}
  /// fraction 0 … 1 of the operation `what` ("Saving site.bin") is done.
  virtual void ShowProgress(const std::string& /*what*/, double /*fraction*/) {}
  /// Records stream from now on (true) or no longer (false).
  virtual void SetBusy(bool /*busy*/) {}
  /// A decimation has written this many output records.
  virtual void RecordsWritten(int /*records*/) {}
  /// A synchronization starts the copy of the recording at path.
  virtual void Copying(const std::string& /*path*/) {}
};

/// How the samples of a copy are treated.
struct SampleFilter {
  bool on = false;             // low-pass filtered, else copied as exact counts
  int corner = 1;              // corner index 1 … 6 of the filter
  double adcSpanMv = 10000.0;  // the recorder's input span: counts to millivolts and back
};

/// Where a writer creates its outputs and what it tells.
struct WriterSetup {
  FileWriteSystem* system = nullptr;   // null: the real file system
  std::vector<FileId> keep;            // files no output may be, besides the operation's inputs
  std::string programName = "Zorvan";  // names the program in read-failure messages
};

/// A processed or decimated copy of a recording.
struct SaveJob {
  std::string inPath;
  std::string outPath;
  /// Enabled and inverted channels and the header settings of the copy.
  /// Encoding may settle a field (a rate code 0 is written as 1); the job
  /// keeps what was written.
  RecorderHeader outHeader{};
  SampleFilter samples;
  int decimation = 1;        // 2 or more: that many input records make one output record
  int decimationCorner = 1;  // corner index of the decimating filter
  WriterSetup setup;
};

/// Writes the whole recording at job.inPath to job.outPath: with a decimation
/// of 2 or more a decimated copy (DecimateToFile), else a processed one
/// (SaveData). Tells why and returns 0 when it fails or refuses (an input
/// that cannot give one output record, a rate a header cannot state, an
/// output header without channels, an output that is an input); 1 when
/// written.
int WriteProcessedCopy(SaveJob& job, WriterEvents& events, WriteReport& report);

/// A file name without its ".bin" or ".BIN" ending.
std::string BaseOfTitle(const std::string& title);

// ---- Record-by-record machinery ------------------------------------------

/// An input file of a writer.
struct WriterInput {
  std::FILE* f = nullptr;
  std::string path;
  std::string title;
  FileId id;
  uint64_t bytes = 0;  // size of the file
  int records = 0;     // complete records read so far
  int err = 0;         // errno of a read error
};

/// Why the file at path cannot give `need` complete records from its start
/// ("site.bin is empty", "site.bin ends inside its first record", …); "" when
/// it can. first receives the first record's header when there is one.
std::string NoRecordReason(const std::string& path, int need, RecorderHeader* first = nullptr);

/// "" when decimating rate code `code` by factor gives a rate a header can
/// state (whole hertz, or 62.5 Hz as code 62); else why not, naming the
/// factors of 40, 80 and 200 that work.
std::string DecimationRefusal(uint32_t code, int factor);
/// The rate code of `code` decimated by factor; 0 when a header cannot state it.
uint32_t DecimatedRateCode(uint32_t code, int factor);

/// Opens path for reading; tells "Cannot open …" and returns false when it cannot.
bool OpenWriterInput(WriterEvents& events, const std::string& path, WriterInput& in);
void CloseWriterInput(WriterInput& in);

/// One record as read: its header bytes, the decoded header (gains computed)
/// and its sample block.
struct InputRecord {
  uint8_t raw[kHeaderBytes] = {};
  RecorderHeader h{};
  std::vector<uint8_t> block;
  uint64_t blockBytes = 0;
};

enum class NextRecord {
  Record,     // a complete record
  End,        // the file ended after the last record
  Truncated,  // the file ends inside this record: the user was told, the input ends here
  Error,      // a read error (in.err): the operation must fail
};

/// Reads the next complete record (header and block, each record sized by its
/// own header); a partial record is never returned.
NextRecord ReadNextRecord(WriterEvents& events, WriterInput& in, InputRecord& rec);

/// Progress of an operation over a number of input bytes, told at each whole
/// percent.
struct Progress {
  Progress(WriterEvents& events, std::string what, uint64_t totalBytes);
  void Add(uint64_t bytes);
  void Finish();

 private:
  WriterEvents& events_;
  std::string what_;
  uint64_t total_;
  uint64_t done_ = 0;
  int shown_ = -1;
};

/// Creates outPath in system for writing unless it is one of inputs; tells why not.
std::unique_ptr<OutputFile> CreateOutput(WriterEvents& events, FileWriteSystem& system, const std::string& outPath,
                                         const std::vector<FileId>& inputs, WriteReport* report);

/// Notes a failed write of a header or a block in report (told by AbandonOutput).
void NoteWriteError(bool header, int err, WriteReport* report);
/// Notes a read error of in in report (told by AbandonOutput).
void NoteReadError(const std::string& path, int err, WriteReport* report);

/// Closes out; a write error met there is noted. Returns 1 when all was written.
int CloseOutput(OutputFile& out, WriteReport* report);

/// After a failure noted in report: removes the incomplete output at outPath
/// and tells in one message what failed and what became of the output
/// ("SaveData Write error 28 (No space left on device) writing X; the
/// incomplete file was removed."), followed by `more` when given. A read
/// failure names programName.
void AbandonOutput(WriterEvents& events, const std::string& programName, OutputFile& out, const std::string& outPath,
                   WriteReport& report, const std::string& more = "");

/// Work space of the record pipeline, reused from record to record. An
/// operation keeps one for all its records, so that its filter runs as one
/// stream over them (the segments of a split, the inputs of a concatenation)
/// and starts at rest, whatever the display filter did before.
struct PipelineWork {
  std::vector<std::array<int32_t, kChannels>> counts;
  std::vector<uint8_t> outBlock;
  LowPassState filter;  // the low-pass histories, carried from record to record
};

enum class PipelineResult { Written, NoChannels, WriteError };

/// The record pipeline: writes rec with its header re-encoded from rec.h and
/// the output header o, and its samples (of o's enabled channels) low-pass
/// filtered when filter.on is set (with every history present) and negated
/// where o.ChannelInvert is set. A channel enabled in o but not in the record
/// is written as zeros. Unfiltered samples are copied as exact counts. A
/// record without enabled channels is not written (NoChannels). A write error
/// is noted in report.
PipelineResult WriteThroughPipeline(InputRecord& rec, RecorderHeader& o, const SampleFilter& filter, OutputFile& out,
                                    PipelineWork& work, WriteReport* report);

/// "Record %d of <title> has no enabled channel; …": the copy ends before it.
void TellNoChannels(WriterEvents& events, const WriterInput& in);

/// SaveData: copies every record of in, from its current position, through
/// the record pipeline into out. Without outHeader every record's own header
/// is its output header (concatenation). Returns 1 after the input was copied
/// to its end (or to its last complete record), 0 after a write or read error
/// (noted in report). recordsWritten counts the records written; work is the
/// operation's, shared by all its inputs.
int SaveData(WriterEvents& events, WriterInput& in, OutputFile& out, RecorderHeader* outHeader,
             const SampleFilter& filter, Progress& progress, int& recordsWritten, PipelineWork& work,
             WriteReport* report);

/// DecimateToFile: low-pass filters every sample with the order-4 filter of
/// the corner index and keeps every factor-th, factor complete input records
/// making one output record whose header is that of the group's first record
/// with outHeader's channels and settings and the rate code of
/// DecimatedRateCode. The filter starts at rest. Returns 1 when done,
/// 0 after an error (noted in report, or told when it is not a read or write).
int DecimateToFile(WriterEvents& events, WriterInput& in, OutputFile& out, const RecorderHeader& outHeader, int factor,
                   int corner, double adcSpanMv, Progress& progress, int& recordsWritten, WriteReport* report);

/// Order-4 feedback coefficients c[0..3] and gain at zero frequency of the
/// decimating filter of a corner index 1..6 (5 … 200 samples); false for other
/// indices.
bool DecimationFilter(int corner, double c[4], double& gain);
