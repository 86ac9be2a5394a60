// Generated test meshes for the benchmarks: noisy quad grids, a long strip
// and a triangle grid, with their polygon selections as the host's segments.
#pragma once

#include <stdint.h>

#include <utility>
#include <vector>

#include "host/host_types.h"

namespace bench {

typedef std::vector<std::pair<int32_t, int32_t>> Segments;

struct Mesh {
  std::vector<Vector> points;
  std::vector<Polygon> polygons;
  Segments segments;  // inclusive ranges of selected polygons, ascending
};

// An n x n grid of quads in the XZ plane with noisy heights, row by row;
// every polygon selected in one segment.
Mesh NoisyQuadGrid(int32_t n);

// The same grid with checkerboard patches of patch x patch quads selected
// (the patch at column block 0, row block 0 is selected): one segment per
// selected run of a row.
Mesh CheckerboardGrid(int32_t n, int32_t patch);

// A strip of n quads along X, one quad wide, noisy; all selected.
Mesh NoisyStrip(int32_t n);

// An n x n grid of quads, each split into two triangles (c == d); all
// selected: 2 n^2 polygons.
Mesh NoisyTriangleGrid(int32_t n);

// Number of polygons the segments select.
int64_t SelectedCount(const Segments& segments);

}  // namespace bench
