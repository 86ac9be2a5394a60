// The module's access to the host: the table handed over with the first
// action 1, kept for the module's life.
#pragma once

#include "host/host_table.h"

// Null until the first action 1 stores it; never cleared afterwards.
extern HostTable* HostTablePointer;

// The host table. Only valid once HostTablePointer is set; every caller runs
// after action 1 (or checks HostTablePointer itself).
inline const HostTable& Host() { return *HostTablePointer; }
