#include "tools/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "tools/failure.h"

namespace runner {

namespace {

// Where the bytes really go: the target of a symbolic link, so that the link
// itself stays.
std::string Destination(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved != nullptr) {
      std::string target = resolved;
      std::free(resolved);
      return target;
    }
  }
  return path;
}

mode_t NewFileMode(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::OutputFile(const std::string& path, uint64_t expectedSize, bool showProgress)
    : path_(path),
      destination_(Destination(path)),
      buffer_(new char[kBufferSize]),
      progress_(showProgress, "writing " + path, expectedSize) {
  size_t slash = destination_.rfind('/');
  std::string folder = slash == std::string::npos ? "."
                       : slash == 0               ? "/"
                                                  : destination_.substr(0, slash);
  std::string name = slash == std::string::npos ? destination_ : destination_.substr(slash + 1);
  if (name.empty()) throw OutputError("cannot write '" + path + "': it names a folder, not a file");
  temporary_ = folder + "/." + name + ".XXXXXX";
  fd_ = mkstemp(temporary_.data());
  if (fd_ < 0)
    throw OutputError("cannot write '" + path + "': cannot create a temporary file in '" + folder +
                      "': " + std::strerror(errno));
  if (fchmod(fd_, NewFileMode(destination_)) != 0) Fail("", errno);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) {
    close(fd_);
    unlink(temporary_.c_str());
  }
}

void OutputFile::Fail(const std::string& what, int error) {
  close(fd_);
  fd_ = -1;
  unlink(temporary_.c_str());
  throw OutputError("cannot write '" + path_ + "': " + what + std::strerror(error));
}

void OutputFile::Put(const char* data, size_t size) {
  while (size > 0) {
    ssize_t put = write(fd_, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) Fail("", put < 0 ? errno : EIO);
    data += put;
    size -= size_t(put);
    written_ += uint64_t(put);
  }
  progress_.Update(written_);
}

void OutputFile::Flush() {
  Put(buffer_.get(), used_);
  used_ = 0;
}

void OutputFile::WriteSlow(const char* data, size_t size) {
  Flush();
  if (size >= kBufferSize / 2) {
    Put(data, size);  // large stretches go straight from the caller's memory
    return;
  }
  std::memcpy(buffer_.get(), data, size);
  used_ = size;
}

void OutputFile::Commit() {
  Flush();
  progress_.Finish();
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    int error = errno;
    unlink(temporary_.c_str());
    throw OutputError("cannot write '" + path_ + "': " + std::strerror(error));
  }
  if (rename(temporary_.c_str(), destination_.c_str()) != 0) {
    int error = errno;
    unlink(temporary_.c_str());
    throw OutputError("cannot write '" + path_ + "': cannot replace it with the finished file: " +
                      std::strerror(error));
  }
}

}  // namespace runner
