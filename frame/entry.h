// The module's life cycle state, owned by tarvik_main.
#pragma once

#include "host/host_table.h"

// Action 1 calls not yet matched by action 3.
extern int32_t StartCount;

// Copy of the path the host passed with the first action 1, or null.
extern HostPath* PluginFolder;

extern "C" __attribute__((visibility("default"))) int32_t tarvik_main(int32_t action, void* p1,
                                                                      void* p2, void* p3);
