// Small path operations on caller-provided HostPath storage. Each constructs
// the storage and returns it; the caller ends it with PathDestruct.
#pragma once

#include "host/host_table.h"

HostPath* PathFromText(HostPath* storage, const HostString* text);
HostPath* PathCopyOf(HostPath* storage, const HostPath* source);
HostPath* PathConcat(HostPath* storage, const HostPath* first, const HostPath* second);
