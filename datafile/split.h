#pragma once
// Splitting the open recording into numbered segments, and joining several
// recordings into one, both through the record pipeline of the writers.

#include <string>
#include <vector>

#include "datafile/writers.h"

/// The segment base of a path: the path without the last extension of its
/// file name (the whole path when the file name has none).
std::string SegmentBase(const std::string& path);
/// base + "_%02d" + ".bin" for segment number (1-based).
std::string SegmentName(const std::string& base, int number);

/// A split of a recording into numbered segments.
struct SplitJob {
  std::string inPath;
  unsigned recordsPerFile = 0;  // a new segment is started as soon as one holds this many
  RecorderHeader outHeader{};   // as SaveJob::outHeader
  SampleFilter samples;
  WriterSetup setup;
};

/// Splits the recording at job.inPath into files of job.recordsPerFile
/// records each, named SegmentName(SegmentBase(inPath), 1, 2, …). Returns 1
/// when every segment was written; 0 when the split failed after it had
/// started reading; -1 when it was refused before (no segment size, no
/// complete record, no output channel, an input that cannot be opened, a
/// segment name that is an input). Every failure and refusal is told.
int WriteSegments(SplitJob& job, WriterEvents& events, WriteReport& report);

/// The key that orders files for concatenation: the file name from three
/// characters before its first ".b" (X_007.bin gives 007.bin); the whole name
/// when it has no ".b" at or after its fourth character.
std::string ConcatenationKey(const std::string& path);
/// Paths in ascending order of their keys (by character code), equal keys in
/// the order given.
std::vector<std::string> SortForConcatenation(std::vector<std::string> paths);
/// A concatenation of recordings.
struct ConcatJob {
  std::vector<std::string> inPaths;  // in the order they are joined
  std::string outPath;
  SampleFilter samples;
  WriterSetup setup;
};

/// Joins every record of job.inPaths, in the order given, into job.outPath,
/// each record with its own header as output header (filtered when
/// job.samples.on). An input that cannot be opened is left out with a
/// message; a write error stops the join. Returns the number of files
/// joined, or -1 after an error (told).
int WriteConcatenation(ConcatJob& job, WriterEvents& events, WriteReport& report);
