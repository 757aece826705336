#pragma once
// Helpers of the file-writer tests: a session over a temporary folder,
// records read back from a file, and a file system that runs out of space.

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/state.h"
#include "datafile/file_io.h"
#include "datafile/header.h"
#include "platform/headless/headless_platform.h"
#include "tests/support/started_state.h"
#include "tests/support/recordings.h"

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
