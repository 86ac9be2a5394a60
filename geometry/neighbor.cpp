// Neighbor: owner of the host's polygon neighbour table. The handle is freed
// exactly once on every path: by Build before it builds anew, and by the
// destructor. AdjacencyFree accepts null, so neither checks first.
#include "geometry/neighbor.h"

#include "host/host.h"
#include "host/memory.h"

Neighbor::Neighbor() : handle(nullptr) {}

Neighbor::~Neighbor() {
  Host().adjacency->AdjacencyFree(handle);
  handle = nullptr;
}

Neighbor* Neighbor::Destroy(int32_t flags) {
  // Qualified: this runs exactly Neighbor's destructor, never a dispatch.
  this->Neighbor::~Neighbor();
  if ((flags & 1) != 0) BlockFree(this);
  return this;
}

int32_t Neighbor::Build(int32_t pointCount, const Polygon* polygons, int32_t polygonCount,
                        HostSelection* selection) {
  Host().adjacency->AdjacencyFree(handle);
  handle = nullptr;
  // Without polygons there is nothing to link: success, and no table held.
  if (polygons == nullptr) return 1;
  handle = Host().adjacency->AdjacencyBuild(pointCount, polygons, polygonCount, selection);
  return handle != nullptr ? 1 : 0;
}

const PolygonAdjacency* Neighbor::AdjacencyOf(int32_t polygon) const {
  return Host().adjacency->AdjacencyPolygonInfo(handle, polygon);
}
