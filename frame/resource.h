// The plug-in's resource, loaded from the module's folder, and the folder
// query.
#pragma once

#include "host/host_table.h"

struct PluginResourceState {
  HostResource* resourceHandle;  // null when none is held
  int32_t loadAttempted;         // 1 once ResourceLoad has been called; never cleared
  int32_t notOwned;              // non-zero: ReleaseResource does nothing
  HostPath* loadFolder;          // heap path the resource was loaded from, or null
};

extern PluginResourceState PluginResource;

// Loads the resource once; true when a handle is held afterwards.
bool LoadResource();

// Frees the handle and the folder; loadAttempted stays set.
void ReleaseResource();

// Host-owned text of string id (DefaultText when no resource is held). The
// caller copies it and never destructs it.
const HostString* ResourceText(int32_t id);

// Constructs in storage the path of the module's folder (empty when unknown).
HostPath* ModuleFolder(HostPath* storage);
