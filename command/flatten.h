// The Flatten command object: flattens every connected region of selected
// polygons of the active polygon object into the region's plane.
#pragma once

#include "command/command_data.h"
#include "geometry/index_list.h"

// Growth granularity of regionPolygons, in slots.
enum : int32_t { kRegionBlockSize = 4 };

class Flatten : public CommandData {
 public:
  Flatten();

  // Slot 0: empties regionPolygons, then releases the storage when bit 0 of
  // flags is set.
  BaseData* Destroy(int32_t flags) override;
  // Slot 1: see execute.cpp.
  int32_t Execute(HostDocument* document) override;
  // Slot 3: kCommandStateEnabled exactly when the document's parameter 1019
  // reads 7; 0 otherwise (also when it cannot be read).
  int32_t QueryState(HostDocument* document) override;

  // The region Execute is working on; empty and without storage between runs.
  IndexList regionPolygons;
};
