#pragma once
// The system I/O of the file writers, in one place: identifying files by
// device and inode, opening inputs, and creating outputs that are never one
// of the operation's own inputs. Tests hand the writers a FileWriteSystem
// whose writes fail.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

/// A file's identity: the same for every name of it (links included).
struct FileId {
  uint64_t dev = 0;
  uint64_t ino = 0;
  bool known = false;
  bool operator==(const FileId& o) const { return known && o.known && dev == o.dev && ino == o.ino; }
};

FileId IdOfPath(const std::string& path);
FileId IdOfFile(std::FILE* f);
bool IsOneOf(const FileId& id, const std::vector<FileId>& ids);

/// Opens a recorder file for reading only, with a large buffer for streaming.
/// Returns nullptr with errno set when it cannot be opened.
std::FILE* OpenInputFile(const std::string& path);
/// Size in bytes of an open file, 0 when unknown.
uint64_t FileBytesOf(std::FILE* f);

/// An output file being written. Writes are buffered; an error shows at the
/// Write or Close that meets it, and every later call fails too.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  /// false after a write error; error() then holds the errno value.
  virtual bool Write(const void* data, size_t n) = 0;
  /// Writes what is buffered and closes the file; false after an error.
  virtual bool Close() = 0;
  virtual int error() const = 0;
  /// After a failure: closes the file and removes it, so that no partial
  /// output is left behind. Only a regular file that is still the one created
  /// is removed (never a device such as /dev/full). Returns true when removed.
  virtual bool Discard() {
    Close();
    return false;
  }
};

enum class CreateStatus {
  Ok,
  IsInput,  // the path names one of the inputs; nothing was changed
  Failed,   // it could not be created (err holds the errno value)
};

struct CreateResult {
  CreateStatus status = CreateStatus::Failed;
  int err = 0;
  std::unique_ptr<OutputFile> file;
};

class FileWriteSystem {
 public:
  virtual ~FileWriteSystem() = default;
  /// Creates path, or empties it when it exists, unless it is one of inputs.
  virtual CreateResult Create(const std::string& path, const std::vector<FileId>& inputs) = 0;
};

/// The operating system's files.
FileWriteSystem& RealFileSystem();
/// chosen when set, else the real one.
FileWriteSystem& WriteSystemOr(FileWriteSystem* chosen);

/// The ids of a recording open as the stream open and named path (either may
/// be missing): outputs must never be either of them.
std::vector<FileId> IdsOfOpenFile(std::FILE* open, const std::string& path);

/// The check every output goes through, recorder files or not: creates path
/// in system unless it is one of inputs (same name, a link, another spelling
/// of the path). On refusal or failure returns nullptr with why holding a
/// one-line reason; nothing was written then.
std::unique_ptr<OutputFile> CreateCheckedOutput(FileWriteSystem& system, const std::string& path,
                                                const std::vector<FileId>& inputs, std::string& why);

/// Writes data as the whole of path through CreateCheckedOutput. Returns "" when
/// written, else the reason (refused, or the create, write or close that failed).
std::string WriteCheckedFile(FileWriteSystem& system, const std::string& path, const void* data, size_t n,
                             const std::vector<FileId>& inputs);
