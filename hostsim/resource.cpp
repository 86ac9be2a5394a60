// ResourceTable: the plug-in's strings, read from "<folder>/res/strings.txt".
#include <cctype>
#include <cstring>
#include <sstream>

#include "hostsim/files.h"

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {

const char* const kResourceFile = "res/strings.txt";

namespace detail {
namespace {

constexpr size_t kMaxResourceBytes = size_t(1) << 20;

// Parses "<id> <text>" lines; false on anything malformed.
bool ParseResource(const std::vector<uint8_t>& bytes, std::map<int32_t, std::string>* strings) {
  std::string all(bytes.begin(), bytes.end());
  if (all.find('\0') != std::string::npos) return false;
  std::istringstream in(all);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t digits = 0;
    while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) ++digits;
    if (digits == 0 || digits > 9) return false;
    if (digits < line.size() && line[digits] != ' ') return false;
    int32_t id = static_cast<int32_t>(std::stol(line.substr(0, digits)));
    std::string text = digits < line.size() ? line.substr(digits + 1) : std::string();
    if (!strings->emplace(id, text).second) return false;
  }
  return true;
}

}  // namespace

HostResource* ResourceLoadCell(const HostPath* folder) {
  StorageEntry* entry = FindStorage(folder, StorageKind::Path, "ResourceLoad");
  std::string folderText = entry != nullptr ? entry->content : std::string();
  Record(Op::ResourceLoad, {P(folder)}, folderText);
  if (ShouldFail(Op::ResourceLoad)) return nullptr;
  if (entry == nullptr) return nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(JoinText(folderText, kResourceFile), kMaxResourceBytes, &bytes)) return nullptr;
  auto resource = std::make_unique<SimResource>();
  if (!ParseResource(bytes, &resource->strings)) return nullptr;
  SimResource* handle = resource.get();
  S().resources[handle] = std::move(resource);
  return reinterpret_cast<HostResource*>(handle);
}

void ResourceFreeCell(HostResource* resource) {
  Record(Op::ResourceFree, {P(resource)});
  State& s = S();
  if (resource == nullptr) {
    Violation("ResourceFree(null)");
    return;
  }
  auto found = s.resources.find(resource);
  if (found == s.resources.end()) {
    Violation("ResourceFree of " + Hex(resource) + ", which ResourceLoad did not hand out");
    return;
  }
  // The strings handed out die with the resource.
  for (auto& [id, text] : found->second->handedOut) s.storages.erase(text.get());
  s.resources.erase(found);
}

const HostString* ResourceStringCell(HostResource* resource, int32_t id) {
  Record(Op::ResourceString, {P(resource), id});
  State& s = S();
  auto found = s.resources.find(resource);
  if (found == s.resources.end()) {
    Violation("ResourceString on " + Hex(resource) + ", which is not a live resource");
    return &s.defaultText;  // never null, as the host promises
  }
  SimResource& r = *found->second;
  auto given = r.handedOut.find(id);
  if (given != r.handedOut.end()) return given->second.get();
  auto text = std::make_unique<HostString>();
  StorageEntry* made = ConstructStorage(text.get(), StorageKind::Text, true, "ResourceString");
  auto string = r.strings.find(id);
  if (string != r.strings.end()) made->content = string->second;
  return (r.handedOut[id] = std::move(text)).get();
}

}  // namespace detail
}  // namespace hostsim
