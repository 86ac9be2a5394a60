// Host extension libraries, looked up by id, and the integer parameter read
// built on the parameter-id library.
#pragma once

#include "host/host_table.h"

// The LibraryTable of library id, or null. position is the byte position of
// the function cell the caller wants: a table whose declared size is below
// it yields null. cache (may be null) keeps the table after the first
// successful lookup.
LibraryTable* LibraryLookup(int32_t id, intptr_t position, LibraryTable** cache);

// Builds in storage a ParameterId naming the parameter of level; returns
// storage (left unbuilt when the library or its construct cell is missing).
ParameterId* MakeParameterId(ParameterId* storage, const ParameterLevel* level);

// Destructs an id made by MakeParameterId.
void ReleaseParameterId(ParameterId* id);

// The node's integer parameter number, or 0 when it cannot be read.
int32_t ReadIntParameter(void* node, int32_t number);

// The module's cache cell for library 1000467 (null until first found).
extern LibraryTable* ParameterIdLibraryCache;
