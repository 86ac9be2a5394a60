#include "frame/resource.h"

#include "frame/entry.h"
#include "frame/paths.h"
#include "host/host.h"

PluginResourceState PluginResource = {nullptr, 0, 0, nullptr};

bool LoadResource() {
  // Without the host table there is nobody to load from; the entry point
  // refuses such calls too, this keeps every other caller safe.
  if (HostTablePointer == nullptr) return false;
  const HostTable& host = Host();

  HostPath folder;
  ModuleFolder(&folder);

  // The folder is kept before the first load is attempted. When its storage
  // cannot be had, nothing is attempted, so a later call tries again.
  if (PluginResource.loadFolder == nullptr) {
    HostPath* stored = host.path->PathAlloc();
    if (stored == nullptr) {
      host.path->PathDestruct(&folder);
      return false;
    }
    PluginResource.loadFolder = PathCopyOf(stored, &folder);
  }

  // The host is asked once per module life: a failed load stays failed.
  bool held;
  if (PluginResource.loadAttempted != 0) {
    held = PluginResource.resourceHandle != nullptr;
  } else {
    PluginResource.resourceHandle = host.resource->ResourceLoad(&folder);
    PluginResource.loadAttempted = 1;
    held = PluginResource.resourceHandle != nullptr;
  }

  host.path->PathDestruct(&folder);
  return held;
}

void ReleaseResource() {
  if (PluginResource.notOwned != 0) return;
  // Anything held was obtained through the host table, so it is set here.
  if (PluginResource.resourceHandle != nullptr) {
    Host().resource->ResourceFree(PluginResource.resourceHandle);
    PluginResource.resourceHandle = nullptr;
  }
  if (PluginResource.loadFolder != nullptr) {
    Host().path->PathDestruct(PluginResource.loadFolder);
    Host().path->PathFree(PluginResource.loadFolder);
    PluginResource.loadFolder = nullptr;
  }
}

const HostString* ResourceText(int32_t id) {
  if (PluginResource.resourceHandle == nullptr) return Host().text->DefaultText;
  return Host().resource->ResourceString(PluginResource.resourceHandle, id);
}

HostPath* ModuleFolder(HostPath* storage) {
  const PathTable& paths = *Host().path;
  HostPath local;
  paths.PathConstruct(&local);
  // An unknown module path or a path without parent leaves the folder empty.
  if (PluginFolder != nullptr) {
    HostPath* parent = paths.PathParentOf(PluginFolder);
    if (parent != nullptr) {
      paths.PathCopy(parent, &local);
      paths.PathFree(parent);
    }
  }
  PathCopyOf(storage, &local);
  paths.PathDestruct(&local);
  return storage;
}
