// Written as tight inline code on purpose: it is the lower bound, so it
// takes every shortcut that keeps the arithmetic (no calls per corner, the
// third plane coordinate never computed).
#include "bench/floor_kernel.h"

#include <math.h>

#include "geometry/vector_math.h"

namespace bench {
namespace {

inline Vector Transform(const Matrix& m, const Vector& p) {
  return {((p.x * m.axisX.x + m.offset.x) + p.y * m.axisY.x) + p.z * m.axisZ.x,
          ((p.x * m.axisX.y + m.offset.y) + p.y * m.axisY.y) + p.z * m.axisZ.y,
          ((p.x * m.axisX.z + m.offset.z) + p.y * m.axisY.z) + p.z * m.axisZ.z};
}

inline Vector Unit(const Vector& v) {
  const float length = static_cast<float>(sqrt(static_cast<double>((v.x * v.x + v.y * v.y) + v.z * v.z)));
  if (length == 0.0f) return {0.0f, 0.0f, 0.0f};
  const float r = 1.0f / length;
  return {v.x * r, v.y * r, v.z * r};
}

inline Vector Plus(const Vector& a, const Vector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector Minus(const Vector& a, const Vector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// Plane point of w: frame coordinates x and y, then back through the frame
// with the 0 * axisZ term kept.
inline Vector Project(const Matrix& frame, const Matrix& toFrame, const Vector& w) {
  const float lx = ((w.x * toFrame.axisX.x + toFrame.offset.x) + w.y * toFrame.axisY.x) +
                   w.z * toFrame.axisZ.x;
  const float ly = ((w.x * toFrame.axisX.y + toFrame.offset.y) + w.y * toFrame.axisY.y) +
                   w.z * toFrame.axisZ.y;
  return Transform(frame, {lx, ly, 0.0f});
}

}  // namespace

void FloorFlatten(const Matrix& world, const Polygon* polygons, Vector* points,
                  const Segments& segments) {
  Vector normalSum = {0.0f, 0.0f, 0.0f};
  Vector centreSum = {0.0f, 0.0f, 0.0f};
  int32_t m = 0;
  for (const auto& [first, last] : segments) {
    for (int32_t i = first; i <= last; ++i) {
      const Polygon p = polygons[i];
      const Vector wa = Transform(world, points[p.a]);
      const Vector wb = Transform(world, points[p.b]);
      const Vector wc = Transform(world, points[p.c]);
      const Vector wd = Transform(world, points[p.d]);
      const Vector u = Unit(Minus(wd, wb));
      const Vector v = Unit(Minus(wc, wa));
      const Vector n = {v.y * u.z - v.z * u.y, v.z * u.x - v.x * u.z, v.x * u.y - v.y * u.x};
      normalSum = Plus(normalSum, Unit(n));
      Vector centre;
      if (p.c == p.d) {
        const Vector s = Plus(Plus(wb, wa), wc);
        centre = {s.x / 3.0f, s.y / 3.0f, s.z / 3.0f};
      } else {
        const Vector s = Plus(Plus(Plus(wb, wa), wc), wd);
        centre = {s.x * 0.25f, s.y * 0.25f, s.z * 0.25f};
      }
      centreSum = Plus(centreSum, centre);
      ++m;
    }
  }
  if (m == 0) return;

  const Vector normal = Unit(normalSum);
  const float count = static_cast<float>(m);
  Vector angles;
  DirectionToAngles(&angles, &normal);
  Matrix frame;
  AnglesToMatrix(&frame, &angles, 3);
  frame.offset = {centreSum.x / count, centreSum.y / count, centreSum.z / count};
  Matrix toFrame;
  InvertMatrix(&toFrame, &frame);
  Matrix toObject;
  InvertMatrix(&toObject, &world);

  for (const auto& [first, last] : segments) {
    for (int32_t i = first; i <= last; ++i) {
      const Polygon p = polygons[i];
      const Vector pa = Project(frame, toFrame, Transform(world, points[p.a]));
      const Vector pb = Project(frame, toFrame, Transform(world, points[p.b]));
      const Vector pc = Project(frame, toFrame, Transform(world, points[p.c]));
      const Vector pd = Project(frame, toFrame, Transform(world, points[p.d]));
      points[p.a] = Transform(toObject, pa);
      points[p.b] = Transform(toObject, pb);
      points[p.c] = Transform(toObject, pc);
      points[p.d] = Transform(toObject, pd);
    }
  }
}

}  // namespace bench
