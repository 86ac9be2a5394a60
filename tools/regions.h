// The regions the command flattens, derived by the runner itself for the
// report: the connected pieces of the selection under the host's neighbour
// table, in the order the command processes them (by first member in the
// segments; members in depth-first pre-order, edges 0 to 3).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/mesh.h"
#include "tools/selection.h"

namespace runner {

using NeighbourTable = std::vector<std::array<int32_t, 4>>;

struct Regions {
  std::vector<int32_t> polygons;  // all regions' polygons, region after region
  std::vector<size_t> starts;     // region r is polygons[starts[r], starts[r + 1])
  size_t Count() const { return starts.empty() ? 0 : starts.size() - 1; }
};

Regions CollectRegions(const NeighbourTable& table, const std::vector<Segment>& segments);

struct RegionReport {
  int32_t seed = 0;
  int64_t polygons = 0;
  int64_t points = 0;       // distinct points of the region's polygons
  int64_t pointsMoved = 0;  // ... whose position changed in any bit
  double distanceBefore = 0;  // largest distance to the least-squares plane, world space
  double distanceAfter = 0;
};

// Per region: counts and flatness before and after, in world coordinates
// (points moved by matrix, in double precision).
std::vector<RegionReport> MeasureRegions(const Regions& regions, const std::vector<Polygon>& polygons,
                                         const std::vector<Vector>& before,
                                         const std::vector<Vector>& after, const Matrix& matrix);

}  // namespace runner
