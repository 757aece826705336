#pragma once
// Helpers of the file-writer tests: a session over a temporary folder,
// records read back from a file, and a file system that runs out of space.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/file_commands.h"
#include "app/state.h"
#include "datafile/file_io.h"
#include "datafile/header.h"
#include "platform/headless/headless_platform.h"
#include "tests/support/recordings.h"
#include "tests/support/started_state.h"

struct FileRecord {
  std::vector<uint8_t> header;
  RecorderHeader h{};
  std::vector<uint8_t> block;
};

/// The complete records of a file, each sized by its own header.
inline std::vector<FileRecord> ReadRecords(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  std::vector<FileRecord> records;
  size_t pos = 0;
  while (pos + kHeaderBytes <= bytes.size()) {
    FileRecord r;
    r.header.assign(bytes.begin() + static_cast<long>(pos), bytes.begin() + static_cast<long>(pos + kHeaderBytes));
    DecodeHeader(r.header.data(), r.h);
    ComputeGains(r.h);
    const size_t size = BlockBytes(r.h);
    if (pos + kHeaderBytes + size > bytes.size()) break;
    r.block.assign(bytes.begin() + static_cast<long>(pos + kHeaderBytes),
                   bytes.begin() + static_cast<long>(pos + kHeaderBytes + size));
    records.push_back(std::move(r));
    pos += kHeaderBytes + size;
  }
  return records;
}

/// Sample of row r, enabled channel j (0-based among the enabled) of a record.
inline int32_t SampleAt(const FileRecord& r, int row, int j) {
  const size_t n = static_cast<size_t>(CountEnabled(r.h));
  return DecodeSample(&r.block[(static_cast<size_t>(row) * n + static_cast<size_t>(j)) * 3]);
}

/// SHA-256 of bytes, as lower-case hex: the fingerprint an input must keep
/// through every operation that reads it.
inline std::string Sha256(const std::vector<uint8_t>& bytes) {
  static const uint32_t k[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::vector<uint8_t> m = bytes;
  const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  m.push_back(0x80);
  while (m.size() % 64 != 56) m.push_back(0);
  for (int i = 7; i >= 0; --i) m.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
  for (size_t chunk = 0; chunk < m.size(); chunk += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
      w[i] = static_cast<uint32_t>(m[chunk + 4 * i]) << 24 | static_cast<uint32_t>(m[chunk + 4 * i + 1]) << 16 |
             static_cast<uint32_t>(m[chunk + 4 * i + 2]) << 8 | m[chunk + 4 * i + 3];
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a[8];
    for (int i = 0; i < 8; ++i) a[i] = h[i];
    for (int i = 0; i < 64; ++i) {
      const uint32_t t1 =
          a[7] + (rotr(a[4], 6) ^ rotr(a[4], 11) ^ rotr(a[4], 25)) + ((a[4] & a[5]) ^ (~a[4] & a[6])) + k[i] + w[i];
      const uint32_t t2 =
          (rotr(a[0], 2) ^ rotr(a[0], 13) ^ rotr(a[0], 22)) + ((a[0] & a[1]) ^ (a[0] & a[2]) ^ (a[1] & a[2]));
      for (int j = 7; j > 0; --j) a[j] = a[j - 1];
      a[4] += t1;
      a[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i) h[i] += a[i];
  }
  std::string hex;
  char buf[9];
  for (uint32_t v : h) {
    std::snprintf(buf, sizeof buf, "%08x", v);
    hex += buf;
  }
  return hex;
}
inline std::string Sha256Of(const std::string& path) { return Sha256(ReadBytes(path)); }

/// A file system whose disk fills up after a number of bytes, over all files it creates.
class FullDiskFileSystem : public FileWriteSystem {
 public:
  explicit FullDiskFileSystem(uint64_t room) : room_(std::make_shared<uint64_t>(room)) {}

  CreateResult Create(const std::string& path, const std::vector<FileId>& inputs) override {
    CreateResult r = RealFileSystem().Create(path, inputs);
    if (r.status == CreateStatus::Ok) r.file = std::make_unique<File>(std::move(r.file), room_);
    return r;
  }

 private:
  class File : public OutputFile {
   public:
    File(std::unique_ptr<OutputFile> inner, std::shared_ptr<uint64_t> room) : inner_(std::move(inner)), room_(room) {}
    bool Write(const void* data, size_t n) override {
      if (err_) return false;
      if (n > *room_) {
        inner_->Write(data, static_cast<size_t>(*room_));
        *room_ = 0;
        err_ = ENOSPC;
        return false;
      }
      *room_ -= n;
      return inner_->Write(data, n);
    }
    bool Close() override { return inner_->Close() && !err_; }
    int error() const override { return err_ ? err_ : inner_->error(); }
    bool Discard() override { return inner_->Discard(); }

   private:
    std::unique_ptr<OutputFile> inner_;
    std::shared_ptr<uint64_t> room_;
    int err_ = 0;
  };
  std::shared_ptr<uint64_t> room_;
};

/// A started state over a temporary folder with a headless host.
class WriterTest : public StartedStateTest {
 protected:
  WriterTest() { useDirFile = true; }

  int Open(const std::string& path, const std::string& recordsPerPlot = "1") {
    host.AnswerOpen(path, recordsPerPlot);
    return CmdOpenFile(s);
  }
  bool Told(const std::string& text) const {
    for (const std::string& m : host.MessageTexts())
      if (m == text) return true;
    return false;
  }
};
