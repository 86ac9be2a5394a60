#include "frame/entry.h"

#include "frame/registration.h"
#include "frame/resource.h"
#include "host/constants.h"
#include "host/host.h"

int32_t StartCount = 0;
HostPath* PluginFolder = nullptr;

namespace {

enum : int32_t { kMessageQuery = 0, kMessageLoadResource = 1 };

// The count moves by one per action 1 or 3; wrapping keeps a host that never
// balances its calls from reaching signed overflow.
void MoveStartCount(int32_t step) {
  StartCount = static_cast<int32_t>(static_cast<uint32_t>(StartCount) + static_cast<uint32_t>(step));
}

// Registers the command. Without a host table (action 2 before any action 1
// handed one over) there is nothing to register with.
bool StartHook() {
  if (HostTablePointer == nullptr) return false;
  return RegisterFlatten() != 0;
}

// Message data is never read.
bool MessageHook(int32_t id, void* data) {
  (void)data;
  if (id == kMessageQuery) return true;
  if (id == kMessageLoadResource) return HostTablePointer != nullptr && LoadResource();
  return false;
}

void EndHook() {}

// Action 1. Only the first of nested calls does work; the count stays raised
// even when the host is refused, so the matching action 3 still balances it.
int32_t SystemStart(HostTable* table, const HostPath* modulePath) {
  MoveStartCount(1);
  if (StartCount != 1) return kResultOk;

  // A null table is refused like an old host; the table once stored is kept.
  if (table == nullptr) return kResultRefusedHost;
  HostTablePointer = table;
  if (static_cast<int32_t>(table->version) < kInterfaceVersion) return kResultRefusedHost;
  if (modulePath == nullptr) return kResultRefusedHost;

  // Without storage for the folder the module still starts; the folder
  // query then yields an empty path.
  const PathTable& paths = *table->path;
  HostPath* folder = paths.PathAlloc();
  if (folder == nullptr) {
    PluginFolder = nullptr;
    return kResultOk;
  }
  paths.PathConstruct(folder);
  PluginFolder = folder;
  paths.PathCopy(modulePath, folder);
  return kResultOk;
}

// Action 3. The last one releases the resource and the folder.
int32_t SystemEnd() {
  MoveStartCount(-1);
  if (StartCount != 0) return kResultOk;
  EndHook();
  ReleaseResource();
  if (PluginFolder != nullptr) {
    // PluginFolder only exists after a table was stored.
    Host().path->PathDestruct(PluginFolder);
    Host().path->PathFree(PluginFolder);
  }
  PluginFolder = nullptr;
  return kResultOk;
}

// Registered by the run-time start-up when the module is loaded; at unload it
// releases the resource once more. After the last action 3 nothing is left.
// PluginFolder is left alone.
__attribute__((destructor)) void ReleaseAtUnload() { ReleaseResource(); }

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t tarvik_main(int32_t action, void* p1,
                                                                      void* p2, void* p3) {
  switch (action) {
    case kActionStart:
      return SystemStart(static_cast<HostTable*>(p1), static_cast<const HostPath*>(p3));
    case kActionPluginStart:
      return StartHook() ? kResultOk : kResultFailed;
    case kActionEnd:
      return SystemEnd();
    case kActionQuery:
      return kResultQuery;
    case kActionMessage: {
      // The message id travels in the low 32 bits of p1.
      const int32_t id = static_cast<int32_t>(reinterpret_cast<intptr_t>(p1));
      return MessageHook(id, p2) ? kResultOk : kResultUnhandled;
    }
    default:
      return kResultUnhandled;
  }
}
