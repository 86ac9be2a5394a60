// A file written through a temporary file in the same folder that is renamed
// over the destination at the end, so that the destination is never left
// half-written (it may be the file just read). Writes are buffered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "tools/progress.h"

namespace runner {

class OutputFile {
 public:
  // Creates the temporary file. expectedSize only scales the progress.
  // Throws Failure (kExitOutput).
  OutputFile(const std::string& path, uint64_t expectedSize, bool showProgress);
  // Without Commit, the temporary file is removed and the destination stays
  // as it was.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(const char* data, size_t size) {
    if (size <= kBufferSize - used_) {
      std::memcpy(buffer_.get() + used_, data, size);
      used_ += size;
      return;
    }
    WriteSlow(data, size);
  }
  // Flushes, closes and renames over the destination, keeping an existing
  // file's permissions. Throws Failure (kExitOutput).
  void Commit();

 private:
  static constexpr size_t kBufferSize = size_t(1) << 20;
  void WriteSlow(const char* data, size_t size);
  void Flush();
  void Put(const char* data, size_t size);
  [[noreturn]] void Fail(const std::string& what, int error);

  std::string path_;         // as given, for messages
  std::string destination_;  // where the bytes go (a symbolic link's target)
  std::string temporary_;
  int fd_ = -1;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  uint64_t written_ = 0;
  Progress progress_;
};

}  // namespace runner
