// Owns the host's polygon neighbour table for one run: frees it exactly once
// on every path and forwards the queries.
#pragma once

#include "host/host_table.h"

class Neighbor {
 public:
  Neighbor();
  // Frees the table (AdjacencyFree, also with null).
  ~Neighbor();

  // Slot 0: runs the destructor; with bit 0 of flags set, then releases the
  // object's storage with BlockFree. Returns the object.
  virtual Neighbor* Destroy(int32_t flags);

  // Slot 1: frees any table held, then builds one over the polygons (linking
  // only selected ones). True when a table is held afterwards, and true
  // without a table for null polygons.
  virtual int32_t Build(int32_t pointCount, const Polygon* polygons, int32_t polygonCount,
                        HostSelection* selection);

  // The host's record of polygon; only while a table is held. May be null
  // from a misbehaving host: callers treat null as "no neighbours".
  const PolygonAdjacency* AdjacencyOf(int32_t polygon) const;

  HostAdjacency* handle;
};
