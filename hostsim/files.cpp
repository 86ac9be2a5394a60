#include "hostsim/files.h"

#include <sys/stat.h>

#include <cstdio>

namespace hostsim {

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_size < 0 || uint64_t(info.st_size) > maxBytes) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->assign(size_t(info.st_size), 0);
  size_t read = bytes->empty() ? 0 : std::fread(bytes->data(), 1, bytes->size(), file);
  // One more byte would mean the file grew since stat: refuse it too.
  bool complete = read == bytes->size() && std::fgetc(file) == EOF && !std::ferror(file);
  std::fclose(file);
  return complete;
}

}  // namespace hostsim
