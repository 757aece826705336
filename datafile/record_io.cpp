#include "datafile/record_io.h"

#include <unistd.h>

#include <cerrno>

size_t ReadFully(std::FILE* f, void* buf, size_t n, int* err) {
  size_t got = 0;
  auto* p = static_cast<uint8_t*>(buf);
  while (got < n) {
    size_t r = std::fread(p + got, 1, n - got, f);
    got += r;
    if (r == 0) {
      if (std::ferror(f)) {
        if (err) *err = errno ? errno : EIO;
      }
      break;
    }
  }
  return got;
}

namespace {

// What r.bytesRead header bytes without a read error make: the end of the
// file, a cut header or a whole one, decoded into h.
RecordReadResult HeaderRead(RecordReadResult r, const uint8_t* raw, RecorderHeader& h) {
  if (r.bytesRead == 0) {
    r.status = ReadStatus::End;
  } else if (r.bytesRead < kHeaderBytes) {
    r.status = ReadStatus::Truncated;
  } else {
    DecodeHeader(raw, h);
    r.status = ReadStatus::Ok;
  }
  return r;
}

}  // namespace

RecordReadResult ReadHeader(std::FILE* f, uint8_t* raw, RecorderHeader& h) {
  RecordReadResult r;
  errno = 0;
  r.bytesRead = ReadFully(f, raw, kHeaderBytes, &r.err);
  if (r.err) {
    r.status = ReadStatus::Error;
    return r;
  }
  return HeaderRead(r, raw, h);
}

RecordReadResult ReadBlock(std::FILE* f, uint64_t blockBytes, std::vector<uint8_t>& block) {
  RecordReadResult r;
  if (block.size() < blockBytes) block.resize(blockBytes);
  errno = 0;
  r.bytesRead = ReadFully(f, block.data(), blockBytes, &r.err);
  if (r.err)
    r.status = ReadStatus::Error;
  else if (r.bytesRead < blockBytes)
    r.status = ReadStatus::Truncated;
  else
    r.status = ReadStatus::Ok;
  return r;
}

void UnpackBlock(const uint8_t* block, const RecorderHeader& h, int samps,
                 std::vector<std::array<int32_t, kChannels>>& counts) {
  int enabled[kChannels];
  int n = 0;
  for (int k = 0; k < kChannels; ++k)
    if (h.ChannelEnabled[k]) enabled[n++] = k;
  if (counts.size() < static_cast<size_t>(samps)) counts.resize(static_cast<size_t>(samps));
  const uint8_t* p = block;
  for (int row = 0; row < samps; ++row) {
    auto& out = counts[static_cast<size_t>(row)];
    out.fill(0);
    for (int j = 0; j < n; ++j, p += 3) out[enabled[j]] = DecodeSample(p);
  }
}

RecordShape ShapeOf(const RecorderHeader& h, const RecordTime& fileStart) {
  RecordShape r;
  r.start = SecondsBetween(fileStart, h.StartTime);
  r.rateCode = h.SampleRate;
  const double hz = RateHz(h.SampleRate);
  r.rate = hz > 0 ? hz : 1.0;
  r.blockBytes = BlockBytes(h);
  for (int k = 0; k < kChannels; ++k)
    if (h.ChannelEnabled[k]) r.channels = static_cast<uint8_t>(r.channels | (1u << k));
  r.samples = r.channels ? SampsPerBlockOf(h) : 0;
  return r;
}

namespace {

// ReadHeader at offset of the file descriptor fd, with positioned reads: the
// stream's seeks would throw away and refill its large buffer for every record.
RecordReadResult ReadHeaderAt(int fd, uint64_t offset, uint8_t* raw, RecorderHeader& h) {
  RecordReadResult r;
  while (r.bytesRead < kHeaderBytes) {
    const ssize_t got =
        ::pread(fd, raw + r.bytesRead, kHeaderBytes - r.bytesRead, static_cast<off_t>(offset + r.bytesRead));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      r.err = errno ? errno : EIO;
      r.status = ReadStatus::Error;
      return r;
    }
    if (got == 0) break;
    r.bytesRead += static_cast<size_t>(got);
  }
  return HeaderRead(r, raw, h);
}

}  // namespace

RecordIndex ScanRecords(std::FILE* f) {
  RecordIndex index;
  uint8_t raw[kHeaderBytes];
  RecorderHeader h;
  RecordTime fileStart;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0) index.fileBytes = static_cast<uint64_t>(size);
  }
  std::rewind(f);
  const int fd = ::fileno(f);  // -1 for a stream without a file: read through the stream then
  uint64_t offset = 0;
  for (;;) {
    RecordReadResult r = fd >= 0 ? ReadHeaderAt(fd, offset, raw, h) : ReadHeader(f, raw, h);
    if (r.status == ReadStatus::End) break;
    if (r.status == ReadStatus::Error) {
      index.err = r.err;
      break;
    }
    if (r.status == ReadStatus::Truncated) {
      index.truncated = true;
      break;
    }
    if (CountEnabled(h) == 0) {
      index.noChannel = true;
      break;
    }
    uint64_t end = offset + kHeaderBytes + BlockBytes(h);
    if (end > index.fileBytes) {
      index.truncated = true;
      break;
    }
    if (index.offsets.empty()) fileStart = h.StartTime;
    index.offsets.push_back(offset);
    index.shapes.push_back(ShapeOf(h, fileStart));
    if (CountEnabled(h) > 0) index.totalSamples += static_cast<uint64_t>(SampsPerBlockOf(h));
    offset = end;
    if (fd < 0 && std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) {
      index.err = errno ? errno : EIO;
      break;
    }
  }
  std::rewind(f);
  return index;
}
