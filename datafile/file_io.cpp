#include "datafile/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kOutputBuffer = 1 << 20;
constexpr size_t kInputBuffer = 1 << 18;

FileId IdOfStat(const struct stat& st) {
  FileId id;
  id.dev = static_cast<uint64_t>(st.st_dev);
  id.ino = static_cast<uint64_t>(st.st_ino);
  id.known = true;
  return id;
}

class PosixOutputFile : public OutputFile {
 public:
  PosixOutputFile(int fd, std::string path, const struct stat& id)
      : fd_(fd), path_(std::move(path)), id_(id), regular_(S_ISREG(id.st_mode)) {
    buffer_.reserve(kOutputBuffer);
  }
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Write(const void* data, size_t n) override {
    if (err_) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    if (buffer_.size() + n > kOutputBuffer && !Flush()) return false;
    if (n >= kOutputBuffer) return WriteAll(p, n);
    buffer_.insert(buffer_.end(), p, p + n);
    return true;
  }

  bool Close() override {
    if (fd_ < 0) return err_ == 0;
    Flush();
    if (::close(fd_) != 0 && !err_) err_ = errno ? errno : EIO;
    fd_ = -1;
    return err_ == 0;
  }

  int error() const override { return err_; }

  bool Discard() override {
    buffer_.clear();  // nothing more is written into a file about to go
    Close();
    // Removed by name only while the name still leads to the regular file created.
    struct stat named;
    return regular_ && ::stat(path_.c_str(), &named) == 0 && named.st_dev == id_.st_dev && named.st_ino == id_.st_ino &&
           ::unlink(path_.c_str()) == 0;
  }

 private:
  bool Flush() {
    if (err_) return false;
    bool ok = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
  }

  bool WriteAll(const uint8_t* p, size_t n) {
    while (n > 0) {
      ssize_t w = ::write(fd_, p, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        err_ = errno ? errno : EIO;
        return false;
      }
      if (w == 0) {
        err_ = EIO;
        return false;
      }
      p += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }

  int fd_;
  std::string path_;
  struct stat id_;
  bool regular_;
  int err_ = 0;
  std::vector<uint8_t> buffer_;
};

class PosixFileSystem : public FileWriteSystem {
 public:
  CreateResult Create(const std::string& path, const std::vector<FileId>& inputs) override {
    CreateResult result;
    // Opened without truncation first, so that an input reached through
    // another name is recognised before a byte of it changes.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      result.err = errno;
      return result;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
      result.err = errno;
      ::close(fd);
      return result;
    }
    if (IsOneOf(IdOfStat(st), inputs)) {
      ::close(fd);
      result.status = CreateStatus::IsInput;
      return result;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
      result.err = errno;
      ::close(fd);
      return result;
    }
    result.status = CreateStatus::Ok;
    result.file = std::make_unique<PosixOutputFile>(fd, path, st);
    return result;
  }
};

}  // namespace

FileId IdOfPath(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return IdOfStat(st);
}

FileId IdOfFile(std::FILE* f) {
  struct stat st;
  if (!f || ::fstat(fileno(f), &st) != 0) return {};
  return IdOfStat(st);
}

bool IsOneOf(const FileId& id, const std::vector<FileId>& ids) {
  for (const FileId& other : ids)
    if (id == other) return true;
  return false;
}

std::FILE* OpenInputFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::setvbuf(f, nullptr, _IOFBF, kInputBuffer);
  return f;
}

uint64_t FileBytesOf(std::FILE* f) {
  struct stat st;
  if (!f || ::fstat(fileno(f), &st) != 0 || st.st_size < 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

FileWriteSystem& RealFileSystem() {
  static PosixFileSystem system;
  return system;
}

FileWriteSystem& WriteSystemOr(FileWriteSystem* chosen) { return chosen ? *chosen : RealFileSystem(); }

std::vector<FileId> IdsOfOpenFile(std::FILE* open, const std::string& path) {
  std::vector<FileId> ids;
  if (open) ids.push_back(IdOfFile(open));
  if (!path.empty()) {
    FileId byPath = IdOfPath(path);
    if (byPath.known) ids.push_back(byPath);
  }
  return ids;
}

std::unique_ptr<OutputFile> CreateCheckedOutput(FileWriteSystem& system, const std::string& path,
                                                const std::vector<FileId>& inputs, std::string& why) {
  CreateResult created = system.Create(path, inputs);
  why.clear();
  if (created.status == CreateStatus::Ok) return std::move(created.file);
  if (created.status == CreateStatus::IsInput)
    why = path + " is the open recording or one of the files read; nothing was written.";
  else
    why = "Cannot create " + path + ": " + std::strerror(created.err);
  return nullptr;
}

std::string WriteCheckedFile(FileWriteSystem& system, const std::string& path, const void* data, size_t n,
                             const std::vector<FileId>& inputs) {
  std::string why;
  std::unique_ptr<OutputFile> out = CreateCheckedOutput(system, path, inputs, why);
  if (!out) return why;
  bool ok = out->Write(data, n);
  ok = out->Close() && ok;
  if (!ok) return "Cannot write " + path + ": " + std::strerror(out->error() ? out->error() : EIO);
  return {};
}
