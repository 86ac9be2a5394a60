#include "tools/file_text.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/failure.h"
#include "tools/progress.h"

namespace runner {

FileText::~FileText() { Release(); }

void FileText::Release() {
  if (map_ != nullptr) munmap(map_, mapSize_);
  map_ = nullptr;
  mapSize_ = 0;
  heap_.reset();
  data_ = "";
  size_ = 0;
}

FileText& FileText::operator=(FileText&& other) noexcept {
  if (this == &other) return *this;
  Release();
  map_ = other.map_;
  mapSize_ = other.mapSize_;
  heap_ = std::move(other.heap_);
  data_ = other.data_;
  size_ = other.size_;
  other.map_ = nullptr;
  other.mapSize_ = 0;
  other.data_ = "";
  other.size_ = 0;
  return *this;
}

FileText FileText::Read(const std::string& path, bool showProgress) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw InputError("cannot open '" + path + "': " + std::strerror(errno));
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    int why = errno;
    close(fd);
    throw InputError("cannot read '" + path + "': " + std::strerror(why));
  }
  if (S_ISDIR(info.st_mode)) {
    close(fd);
    throw InputError("cannot read '" + path + "': it is a directory");
  }
  FileText text;
  if (S_ISREG(info.st_mode) && info.st_size > 0 && uint64_t(info.st_size) < SIZE_MAX / 2) {
    size_t size = size_t(info.st_size);
    void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (map != MAP_FAILED) {
      close(fd);
      text.map_ = map;
      text.mapSize_ = size;
      text.data_ = static_cast<const char*>(map);
      text.size_ = size;
      return text;
    }
  }

  // Not mappable: read it, growing the buffer as needed.
  size_t capacity = S_ISREG(info.st_mode) && info.st_size > 0 ? size_t(info.st_size) + 1 : 1 << 20;
  Progress progress(showProgress, "reading " + path, S_ISREG(info.st_mode) ? capacity : 0);
  std::unique_ptr<char[]> buffer(new char[capacity]);
  size_t used = 0;
  for (;;) {
    if (used == capacity) {
      std::unique_ptr<char[]> grown(new char[2 * capacity]);
      std::memcpy(grown.get(), buffer.get(), used);
      buffer = std::move(grown);
      capacity *= 2;
    }
    ssize_t got = read(fd, buffer.get() + used, capacity - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      int why = errno;
      close(fd);
      throw InputError("cannot read '" + path + "': " + std::strerror(why));
    }
    if (got == 0) break;
    used += size_t(got);
    progress.Update(used);
  }
  close(fd);
  text.heap_ = std::move(buffer);
  text.data_ = text.heap_.get();
  text.size_ = used;
  return text;
}

}  // namespace runner
