// Single-precision vector and matrix helpers. Every operation is done in
// float in the stated order; square roots, sines, cosines, arcsines,
// arctangents and the reciprocal of a determinant are taken in double and
// rounded back (SqrtViaDouble below, the others in the named helpers of
// vector_math.cpp).
#pragma once

#include <math.h>

#include "host/host_types.h"

// TransformPoint, SqrtViaDouble and Normalize are defined here, inline: the
// plane fit applies them several times to every corner of every polygon,
// and a call per corner cost more than the arithmetic itself.

// M applied to p, each component evaluated as
// ((p.x * axisX + offset) + p.y * axisY) + p.z * axisZ.
inline Vector TransformPoint(const Matrix& m, const Vector& p) {
  Vector result;
  result.x = ((p.x * m.axisX.x + m.offset.x) + p.y * m.axisY.x) + p.z * m.axisZ.x;
  result.y = ((p.x * m.axisX.y + m.offset.y) + p.y * m.axisY.y) + p.z * m.axisZ.y;
  result.z = ((p.x * m.axisX.z + m.offset.z) + p.y * m.axisY.z) + p.z * m.axisZ.z;
  return result;
}

// Writes the inverse of m into result (may be m itself) and returns it. An
// exactly zero determinant gives the identity.
Matrix* InvertMatrix(Matrix* result, const Matrix* m);

// Writes into result (not d) the yaw, pitch and roll turning +Z toward d.
Vector* DirectionToAngles(Vector* result, const Vector* d);

// Writes into result the rotation of angles composed in the given order (see
// the table in vector_math.cpp), with a zero offset.
Matrix* AnglesToMatrix(Matrix* result, const Vector* angles, int32_t order);

// float(sqrt(double(x))): the one place a square root is taken.
inline float SqrtViaDouble(float x) { return static_cast<float>(sqrt(static_cast<double>(x))); }

// The unit vector of v: length = SqrtViaDouble((x*x + y*y) + z*z); zero
// length gives the zero vector, otherwise each component times 1/length.
// Only an exact zero takes the zero path; a NaN length yields NaNs.
inline Vector Normalize(const Vector& v) {
  const float length = SqrtViaDouble((v.x * v.x + v.y * v.y) + v.z * v.z);
  if (length == 0.0f) {
    const Vector zero = {0.0f, 0.0f, 0.0f};
    return zero;
  }
  const float r = 1.0f / length;
  const Vector result = {v.x * r, v.y * r, v.z * r};
  return result;
}
