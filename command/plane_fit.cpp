// The float operation order here is fixed: the normal and centre sums run in
// region order, each vector expression is evaluated left to right as written,
// and square roots go through Normalize. Both variants produce the same bits
// only as long as that order is kept.
#include "command/plane_fit.h"

#include "geometry/vector_math.h"
#include "host/host.h"

namespace {

// The frame order the plane frame is built with: roll, then pitch, then yaw.
const int32_t kPlaneFrameOrder = 3;

inline Vector Add(const Vector& a, const Vector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

inline Vector Subtract(const Vector& a, const Vector& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline Vector Cross(const Vector& v, const Vector& u) {
  return {v.y * u.z - v.z * u.y, v.z * u.x - v.x * u.z, v.x * u.y - v.y * u.x};
}

// The host's polygon array names points without a range check of its own;
// a polygon with any corner outside the point array is left out of the fit
// (not counted in the mean) and of the projection, so nothing outside the
// array is read or written.
inline bool CornersInside(const Polygon& polygon, int32_t pointCount) {
  const uint32_t limit = static_cast<uint32_t>(pointCount);
  return static_cast<uint32_t>(polygon.a) < limit && static_cast<uint32_t>(polygon.b) < limit &&
         static_cast<uint32_t>(polygon.c) < limit && static_cast<uint32_t>(polygon.d) < limit;
}

// The region lists its polygons in walk order, which jumps across the
// arrays (a walk up a grid column skips a whole row of polygons and points
// per step). The polygon kPolygonLead entries ahead is requested early, and
// the points of the one kPointLead ahead, whose record is then in cache.
const int32_t kPolygonLead = 16;
const int32_t kPointLead = 8;

inline void PrefetchAhead(const Polygon* polygons, const Vector* points, int32_t pointCount,
                          const IndexList& region, int32_t k) {
  if (k + kPolygonLead < region.count) __builtin_prefetch(&polygons[region.data[k + kPolygonLead]]);
  if (k + kPointLead < region.count) {
    const Polygon& ahead = polygons[region.data[k + kPointLead]];
    // A hint only, but never an address outside the point array.
    if (CornersInside(ahead, pointCount)) {
      __builtin_prefetch(&points[ahead.a]);
      __builtin_prefetch(&points[ahead.b]);
      __builtin_prefetch(&points[ahead.c]);
      __builtin_prefetch(&points[ahead.d]);
    }
  }
}

// The plane frame of the region: axisZ the unit normal, offset the centre.
// Counts the polygons that take part into used.
Matrix FitPlane(const Matrix& world, const Polygon* polygons, const Vector* points,
                int32_t pointCount, const IndexList& region, int32_t* used) {
  Vector normalSum = {0.0f, 0.0f, 0.0f};
  Vector centreSum = {0.0f, 0.0f, 0.0f};
  int32_t m = 0;
  for (int32_t k = 0; k < region.count; ++k) {
    PrefetchAhead(polygons, points, pointCount, region, k);
    const Polygon polygon = polygons[region.data[k]];
    if (!CornersInside(polygon, pointCount)) continue;
    const Vector wa = TransformPoint(world, points[polygon.a]);
    const Vector wb = TransformPoint(world, points[polygon.b]);
    const Vector wc = TransformPoint(world, points[polygon.c]);
    const Vector wd = TransformPoint(world, points[polygon.d]);
    // Diagonals b->d and a->c; for a triangle (c == d) the first is the edge
    // b->c. A zero diagonal gives a zero normal: the polygon adds nothing to
    // the normal but still counts in the centre.
    const Vector u = Normalize(Subtract(wd, wb));
    const Vector v = Normalize(Subtract(wc, wa));
    normalSum = Add(normalSum, Normalize(Cross(v, u)));
    Vector centre;
    if (polygon.c == polygon.d) {
      const Vector sum = Add(Add(wb, wa), wc);
      centre = {sum.x / 3.0f, sum.y / 3.0f, sum.z / 3.0f};
    } else {
      const Vector sum = Add(Add(Add(wb, wa), wc), wd);
      centre = {sum.x * 0.25f, sum.y * 0.25f, sum.z * 0.25f};
    }
    centreSum = Add(centreSum, centre);
    ++m;
  }

  // A normal sum of length 0 gives the zero vector, whose angles point the
  // frame's axisZ down the world's y axis: the plane is then horizontal.
  const Vector normal = Normalize(normalSum);
  Vector centre = {0.0f, 0.0f, 0.0f};
  if (m != 0) {
    const float count = static_cast<float>(m);
    centre = {centreSum.x / count, centreSum.y / count, centreSum.z / count};
  }
  Vector angles;
  DirectionToAngles(&angles, &normal);
  Matrix frame;
  AnglesToMatrix(&frame, &angles, kPlaneFrameOrder);
  frame.offset = centre;
  *used = m;
  return frame;
}

// The plane point of world position w: its frame coordinates with the third
// one dropped, taken back to world space. The 0 * axisZ term stays: it
// decides the bits of -0.0 and of non-numbers.
inline Vector ProjectWorld(const Matrix& frame, const Matrix& toFrame, const Vector& w) {
  // Only the first two frame coordinates are needed; each is evaluated as
  // TransformPoint evaluates it.
  const float localX = ((w.x * toFrame.axisX.x + toFrame.offset.x) + w.y * toFrame.axisY.x) +
                       w.z * toFrame.axisZ.x;
  const float localY = ((w.x * toFrame.axisX.y + toFrame.offset.y) + w.y * toFrame.axisY.y) +
                       w.z * toFrame.axisZ.y;
  const Vector inPlane = {localX, localY, 0.0f};
  return TransformPoint(frame, inPlane);
}


}  // namespace

void FlattenRegion(HostObject* object, const Polygon* polygons, Vector* points,
                   int32_t pointCount, const IndexList& region) {
  // Fetched once per region: the matrix is the same for all its corners.
  const Matrix world = Host().geometry->ObjectGlobalMatrix(object);
  if (points == nullptr || pointCount < 0) pointCount = 0;

  int32_t used = 0;
  const Matrix frame = FitPlane(world, polygons, points, pointCount, region, &used);
  if (used == 0) return;

  // Both inverses are constant over the region; computing them once gives
  // the same values as computing them per corner.
  Matrix toFrame;
  InvertMatrix(&toFrame, &frame);
  Matrix toObject;
  InvertMatrix(&toObject, &world);

  for (int32_t k = 0; k < region.count; ++k) {
    PrefetchAhead(polygons, points, pointCount, region, k);
    const Polygon polygon = polygons[region.data[k]];
    if (!CornersInside(polygon, pointCount)) continue;
    // All four corners are read before any is written: a polygon that names
    // one point twice (a triangle's c and d) sees it unmoved both times.
    const Vector pa = ProjectWorld(frame, toFrame, TransformPoint(world, points[polygon.a]));
    const Vector pb = ProjectWorld(frame, toFrame, TransformPoint(world, points[polygon.b]));
    const Vector pc = ProjectWorld(frame, toFrame, TransformPoint(world, points[polygon.c]));
    const Vector pd = ProjectWorld(frame, toFrame, TransformPoint(world, points[polygon.d]));
    points[polygon.a] = TransformPoint(toObject, pa);
    points[polygon.b] = TransformPoint(toObject, pb);
    points[polygon.c] = TransformPoint(toObject, pc);
    points[polygon.d] = TransformPoint(toObject, pd);
  }
}
