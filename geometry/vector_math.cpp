// Vector and matrix helpers. Every expression is written in the order the
// results depend on: single-precision operations, evaluated left to right,
// no contraction (the build sets -ffp-contract=off). The only steps taken in
// double precision are the square root, sine, cosine, arcsine, arctangent,
// the reciprocal of a determinant and the shift of a yaw by pi; each goes
// through one helper below, so the widen-then-round-once rule lives in one
// place. Both variants do float and double arithmetic in SSE registers, so
// they produce the same bits.
#include "geometry/vector_math.h"

#include <math.h>

namespace {

// The single-precision number nearest to pi/2.
const float kHalfPi = 1.5707964f;
// pi as the double-precision constant that yaw shifts use.
const double kPi = 3.141592653589793;
// Below this (in double) the XZ part of a direction is treated as zero.
const double kVerticalLimit = 1e-5;

// One rounding from double to float: the end of every double-precision step.
inline float RoundToFloat(double value) { return static_cast<float>(value); }

inline float SinViaDouble(float angle) { return RoundToFloat(sin(static_cast<double>(angle))); }
inline float CosViaDouble(float angle) { return RoundToFloat(cos(static_cast<double>(angle))); }
inline float AsinViaDouble(float x) { return RoundToFloat(asin(static_cast<double>(x))); }
inline float AtanViaDouble(float x) { return RoundToFloat(atan(static_cast<double>(x))); }
inline float ReciprocalViaDouble(float x) { return RoundToFloat(1.0 / static_cast<double>(x)); }
inline float AddPiViaDouble(float angle) { return RoundToFloat(static_cast<double>(angle) + kPi); }

// Arcsine with the ends pinned to +-h, so a quotient that rounded to 1 or
// beyond still gives a finite, exact right angle.
float ClampedAsin(float s) {
  if (s >= 1.0f) return kHalfPi;
  if (s <= -1.0f) return -kHalfPi;
  return AsinViaDouble(s);
}

// u x v, each component one difference of two products.
inline Vector Cross(const Vector& u, const Vector& v) {
  Vector result = {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
  return result;
}

// (u.x v.x + u.y v.y) + u.z v.z.
inline float Dot(const Vector& u, const Vector& v) { return (u.x * v.x + u.y * v.y) + u.z * v.z; }

inline Vector MakeVector(float x, float y, float z) {
  Vector result = {x, y, z};
  return result;
}

}  // namespace

// SqrtViaDouble, Normalize and TransformPoint are inline in the header.

Matrix* InvertMatrix(Matrix* result, const Matrix* m) {
  const Vector a = m->axisX;
  const Vector b = m->axisY;
  const Vector c = m->axisZ;
  // a . (b x c), grouped by b.x, a.x and c.x and summed in that order.
  const float det = (b.x * (a.z * c.y - a.y * c.z) + a.x * (b.y * c.z - b.z * c.y)) +
                    c.x * (a.y * b.z - a.z * b.y);

  Matrix inverse;
  if (det == 0.0f) {
    // Only an exact zero (either sign) is singular; tiny and NaN
    // determinants are inverted like any other.
    inverse.offset = MakeVector(0.0f, 0.0f, 0.0f);
    inverse.axisX = MakeVector(1.0f, 0.0f, 0.0f);
    inverse.axisY = MakeVector(0.0f, 1.0f, 0.0f);
    inverse.axisZ = MakeVector(0.0f, 0.0f, 1.0f);
  } else {
    const float r = ReciprocalViaDouble(det);
    // The rows of the adjugate are the cross products k1, k2, k3.
    const Vector k1 = Cross(b, c);
    const Vector k2 = Cross(c, a);
    const Vector k3 = Cross(a, b);
    inverse.axisX = MakeVector(k1.x * r, k2.x * r, k3.x * r);
    inverse.axisY = MakeVector(k1.y * r, k2.y * r, k3.y * r);
    inverse.axisZ = MakeVector(k1.z * r, k2.z * r, k3.z * r);
    const Vector o = m->offset;
    inverse.offset = MakeVector(-Dot(k1, o) * r, -Dot(k2, o) * r, -Dot(k3, o) * r);
  }
  // m is fully read before result is written, so the two may alias.
  *result = inverse;
  return result;
}

Vector* DirectionToAngles(Vector* result, const Vector* d) {
  const float length = SqrtViaDouble(d->x * d->x + d->z * d->z);
  if (static_cast<double>(length) < kVerticalLimit) {
    // Vertical (or zero): straight up only for a positive y, else down.
    *result = MakeVector(0.0f, d->y > 0.0f ? kHalfPi : -kHalfPi, 0.0f);
    return result;
  }
  // length is at least 1e-5 here, or NaN: neither division is by zero.
  const float s = ClampedAsin(d->x / length);
  const float yaw = d->z > 0.0f ? -s : AddPiViaDouble(s);
  const float pitch = AtanViaDouble(d->y / length);
  *result = MakeVector(yaw, pitch, 0.0f);
  return result;
}

Matrix* AnglesToMatrix(Matrix* result, const Vector* angles, int32_t order) {
  const float sy = SinViaDouble(angles->x);
  const float cy = CosViaDouble(angles->x);
  const float sp = SinViaDouble(angles->y);
  const float cp = CosViaDouble(angles->y);
  const float sr = SinViaDouble(angles->z);
  const float cr = CosViaDouble(angles->z);

  // The entries of the product of the elementary rotations (columns):
  //   Yaw   (cy, 0, sy); (0, 1, 0); (-sy, 0, cy)
  //   Pitch (1, 0, 0); (0, cp, -sp); (0, sp, cp)
  //   Roll  (cr, -sr, 0); (sr, cr, 0); (0, 0, 1)
  // written out with each triple product formed left to right.
  Matrix m;
  m.offset = MakeVector(0.0f, 0.0f, 0.0f);
  switch (order) {
    case 1:  // Pitch Roll Yaw
      m.axisX = MakeVector(cr * cy, sp * sy - sr * cy * cp, sr * cy * sp + cp * sy);
      m.axisY = MakeVector(sr, cr * cp, -(cr * sp));
      m.axisZ = MakeVector(-(cr * sy), sr * sy * cp + sp * cy, cp * cy - sr * sy * sp);
      break;
    case 2:  // Pitch Yaw Roll
      m.axisX = MakeVector(cr * cy, cr * sy * sp - sr * cp, sr * sp + cr * sy * cp);
      m.axisY = MakeVector(sr * cy, sr * sy * sp + cr * cp, sr * sy * cp - cr * sp);
      m.axisZ = MakeVector(-sy, sp * cy, cp * cy);
      break;
    case 4:  // Yaw Roll Pitch
      m.axisX = MakeVector(cr * cy, -sr, cr * sy);
      m.axisY = MakeVector(sr * cp * cy + sp * sy, cr * cp, sr * cp * sy - sp * cy);
      m.axisZ = MakeVector(sr * sp * cy - cp * sy, cr * sp, sr * sp * sy + cp * cy);
      break;
    case 5:  // Roll Yaw Pitch
      m.axisX = MakeVector(cr * cy, -(sr * cy), sy);
      m.axisY = MakeVector(sp * sy * cr + sr * cp, cr * cp - sp * sy * sr, -(sp * cy));
      m.axisZ = MakeVector(sr * sp - cp * sy * cr, cp * sy * sr + cr * sp, cp * cy);
      break;
    default:  // 3 and every other value: Yaw Pitch Roll (roll acts first)
      m.axisX = MakeVector(cr * cy - sr * sp * sy, -(sr * cp), cr * sy + sr * sp * cy);
      m.axisY = MakeVector(cr * sp * sy + sr * cy, cr * cp, sr * sy - cr * sp * cy);
      m.axisZ = MakeVector(-(cp * sy), sp, cp * cy);
      break;
  }
  *result = m;
  return result;
}
