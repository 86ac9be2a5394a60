// Plane fit and projection of one region, in world coordinates.
#pragma once

#include <stdint.h>

#include "geometry/index_list.h"
#include "host/host_table.h"

// Moves every point of the region's polygons orthogonally (in world space,
// through the object's global matrix) onto the plane through the mean of the
// polygon centres, perpendicular to the normalised sum of their unit
// normals; the results are stored back in object coordinates. Fetches the
// object's global matrix once. region holds indices into polygons that the
// caller has checked; points holds pointCount entries (null with 0). A
// polygon naming a point outside [0, pointCount) is left out entirely.
void FlattenRegion(HostObject* object, const Polygon* polygons, Vector* points,
                   int32_t pointCount, const IndexList& region);
