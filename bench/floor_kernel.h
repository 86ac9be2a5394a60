// The floor the command is measured against: the command's float arithmetic
// over the selected polygons in one straight pass, without host calls, region
// walk, index list or range checks.
#pragma once

#include "bench/meshes.h"

namespace bench {

// Treats every selected polygon (in segment order) as one region: the fit
// (four corner transforms, two diagonals and the normal normalised, the
// centre) over all of them, one plane frame, then the projection of every
// corner (world position, plane coordinates x and y, back through the frame
// and the inverse object matrix) written into points. Per polygon this is
// the arithmetic the command does, in the same order and rounding.
void FloorFlatten(const Matrix& world, const Polygon* polygons, Vector* points,
                  const Segments& segments);

}  // namespace bench
