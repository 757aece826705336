#pragma once
// Reading records from a recorder file: one header and its sample block at a time.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "datafile/header.h"

enum class ReadStatus {
  Ok,         // a complete record
  End,        // the file ended before the record (nothing of it read)
  Truncated,  // the file ended inside the record; the partial record is not used
  Error,      // the operating system reported a read error (errno in err)
};

struct RecordReadResult {
  ReadStatus status = ReadStatus::End;
  int err = 0;
  size_t bytesRead = 0;  // of this record
};

/// Reads up to n bytes, retrying short reads; stops at the end of the file or an error.
size_t ReadFully(std::FILE* f, void* buf, size_t n, int* err);

/// Reads a 1024-byte header into raw and decodes it into h (ChannelInvert untouched).
RecordReadResult ReadHeader(std::FILE* f, uint8_t* raw, RecorderHeader& h);
/// Reads a block of blockBytes bytes into block (grown to fit).
RecordReadResult ReadBlock(std::FILE* f, uint64_t blockBytes, std::vector<uint8_t>& block);

/// Decodes a block of samps rows into counts, for the channels enabled in h in
/// ascending order; columns of channels that are not enabled are set to 0.
void UnpackBlock(const uint8_t* block, const RecorderHeader& h, int samps,
                 std::vector<std::array<int32_t, kChannels>>& counts);

/// What decides whether two records can share a page.
struct RecordShape {
  double start = 0;  // s from the file's first record, by the record's own header
  double rate = 1;   // samples per second
  int samples = 0;   // per channel
  uint64_t blockBytes = 0;
  uint32_t rateCode = 0;
  uint8_t channels = 0;  // enabled channel slots, bit k for slot k
};
RecordShape ShapeOf(const RecorderHeader& h, const RecordTime& fileStart);

/// Byte offsets of every complete record, each record sized by its own header.
/// A record with no enabled channel ends the recording, as a cut record does:
/// zero-filled or sparse space after the data is not counted as records.
struct RecordIndex {
  std::vector<uint64_t> offsets;
  std::vector<RecordShape> shapes;  // one per offset
  bool truncated = false;           // the file ends inside a record
  bool noChannel = false;           // the record after the last one has no enabled channel, which ends the recording
  int err = 0;                      // a read error stopped the scan
  uint64_t fileBytes = 0;
  uint64_t totalSamples = 0;  // samples per channel in the complete records
};
RecordIndex ScanRecords(std::FILE* f);
