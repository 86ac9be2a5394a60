// The bytes of an input file, mapped when it is a regular file (no copy, no
// page faults one page at a time) and read into memory otherwise (pipes).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace runner {

class FileText {
 public:
  FileText() = default;
  ~FileText();
  FileText(FileText&& other) noexcept { *this = std::move(other); }
  FileText& operator=(FileText&& other) noexcept;
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;

  // Throws Failure (kExitInput) when path cannot be opened or read.
  static FileText Read(const std::string& path, bool showProgress);

  const char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  void Release();

  void* map_ = nullptr;
  size_t mapSize_ = 0;
  std::unique_ptr<char[]> heap_;
  const char* data_ = "";
  size_t size_ = 0;
};

}  // namespace runner
