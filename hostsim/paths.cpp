// PathTable: '/'-separated path strings in the module's HostPath storage, and
// heap path storage handed out by PathAlloc and PathParentOf.
#include <cstring>

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {
namespace {

// The folder holding path, or false when the path names no parent: an empty
// path or a single component without '/'.
bool ParentText(const std::string& path, std::string* parent) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  if (trimmed.empty() || slash == std::string::npos) return false;
  *parent = slash == 0 ? std::string("/") : trimmed.substr(0, slash);
  return true;
}

}  // namespace

std::string JoinText(const std::string& head, const std::string& tail) {
  if (tail.empty()) return head;
  if (head.empty()) return tail;
  std::string result = head;
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  size_t start = 0;
  while (start < tail.size() && tail[start] == '/') ++start;
  if (result != "/") result += '/';
  return result + tail.substr(start);
}

HostPath* PathAllocCell() {
  Record(Op::PathAlloc, {});
  if (ShouldFail(Op::PathAlloc)) return nullptr;
  HostPath* path = new HostPath;
  std::memset(path, 0xA5, sizeof *path);  // unconstructed until PathConstruct
  S().heapPaths[path] = HeapPathKind::Allocated;
  return path;
}

void PathFreeCell(HostPath* path) {
  Record(Op::PathFree, {P(path)});
  State& s = S();
  auto found = s.heapPaths.find(path);
  if (found == s.heapPaths.end()) {
    Violation("PathFree of " + Hex(path) + ", which PathAlloc/PathParentOf did not hand out");
    return;
  }
  if (IsLiveStorage(path, StorageKind::Path)) {
    StorageEntry& entry = s.storages.find(path)->second;
    // A parent path is freed by PathFree alone; allocated storage must be
    // destructed first.
    if (found->second == HeapPathKind::Allocated && !entry.hostOwned)
      Violation("PathFree of the constructed path " + Hex(path) + " \"" + entry.content +
                "\" without PathDestruct");
    s.storages.erase(path);
  }
  s.heapPaths.erase(found);
  delete path;
}

void PathSetTextCell(HostPath* path, const HostString* text) {
  StorageEntry* source = FindStorage(text, StorageKind::Text, "PathSetText (text)");
  Record(Op::PathSetText, {P(path), P(text)}, source != nullptr ? source->content : "");
  StorageEntry* entry = FindStorage(path, StorageKind::Path, "PathSetText");
  if (entry == nullptr || source == nullptr) return;
  entry->content = source->content;
}

HostPath* PathParentOfCell(const HostPath* path) {
  Record(Op::PathParentOf, {P(path)});
  StorageEntry* entry = FindStorage(path, StorageKind::Path, "PathParentOf");
  std::string parent;
  if (entry == nullptr || !ParentText(entry->content, &parent)) return nullptr;
  HostPath* result = new HostPath;
  std::memset(result, 0, sizeof *result);
  S().heapPaths[result] = HeapPathKind::Parent;
  // Constructed by the host and ended by PathFree alone; a PathDestruct by
  // the module before PathFree is harmless too.
  StorageEntry* made = ConstructStorage(result, StorageKind::Path, false, "PathParentOf");
  made->content = parent;
  return result;
}

void PathJoinCell(HostPath* path, const HostPath* tail) {
  Record(Op::PathJoin, {P(path), P(tail)});
  StorageEntry* head = FindStorage(path, StorageKind::Path, "PathJoin (path)");
  StorageEntry* rest = FindStorage(tail, StorageKind::Path, "PathJoin (tail)");
  if (head == nullptr || rest == nullptr) return;
  head->content = JoinText(head->content, rest->content);
}

void PathConstructCell(HostPath* storage) {
  Record(Op::PathConstruct, {P(storage)});
  ConstructStorage(storage, StorageKind::Path, false, "PathConstruct");
}

void PathDestructCell(HostPath* path) {
  Record(Op::PathDestruct, {P(path)});
  DestructStorage(path, StorageKind::Path, "PathDestruct");
}

void PathCopyCell(const HostPath* source, HostPath* destination) {
  Record(Op::PathCopy, {P(source), P(destination)});
  StorageEntry* from = FindStorage(source, StorageKind::Path, "PathCopy (source)");
  StorageEntry* to = FindStorage(destination, StorageKind::Path, "PathCopy (destination)");
  if (from == nullptr || to == nullptr) return;
  if (to->hostOwned) {
    Violation("PathCopy into the host-owned path at " + Hex(destination));
    return;
  }
  to->content = from->content;
}

}  // namespace detail

using namespace detail;

std::string PathOf(const HostPath* path) {
  if (!IsLiveStorage(path, StorageKind::Path)) return "<unconstructed>";
  return S().storages.find(path)->second.content;
}

bool IsLivePath(const HostPath* path) { return IsLiveStorage(path, StorageKind::Path); }

void HostConstructPath(HostPath* storage, const std::string& content) {
  StorageEntry* entry = ConstructStorage(storage, StorageKind::Path, true, "HostConstructPath");
  if (entry != nullptr) entry->content = content;
}

void HostDestructPath(HostPath* path) {
  if (IsLiveStorage(path, StorageKind::Path)) S().storages.erase(path);
}

}  // namespace hostsim
