// The Flatten object itself: construction, destruction and the state rule.
// The run is in execute.cpp.
#include "command/flatten.h"

#include "host/constants.h"
#include "host/extension_library.h"
#include "host/memory.h"

Flatten::Flatten() : regionPolygons(MakeIndexList(kRegionBlockSize)) {}

BaseData* Flatten::Destroy(int32_t flags) {
  // The list is empty between runs, so this normally releases nothing; it is
  // here so that no block can outlive the object.
  regionPolygons.Clear();
  if ((flags & 1) != 0) BlockFree(this);
  return this;
}

int32_t Flatten::QueryState(HostDocument* document) {
  // An unreadable parameter reads as 0 and so leaves the command disabled.
  const int32_t value = ReadIntParameter(document, kEnablingParameter);
  return value == kEnablingParameterValue ? static_cast<int32_t>(kCommandStateEnabled) : 0;
}
