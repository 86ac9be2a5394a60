// Single-precision vector and matrix helpers. Every operation is done in
// float in the stated order; square roots, sines, cosines, arcsines,
// arctangents and the reciprocal of a determinant are taken in double and
// rounded back (see the named helpers in vector_math.cpp).
#pragma once

#include "host/host_types.h"

// M applied to p, each component evaluated as
// ((p.x * axisX + offset) + p.y * axisY) + p.z * axisZ.
Vector TransformPoint(const Matrix& m, const Vector& p);

// Writes the inverse of m into result (may be m itself) and returns it. An
// exactly zero determinant gives the identity.
Matrix* InvertMatrix(Matrix* result, const Matrix* m);

// Writes into result (not d) the yaw, pitch and roll turning +Z toward d.
Vector* DirectionToAngles(Vector* result, const Vector* d);

// Writes into result the rotation of angles composed in the given order (see
// the table in vector_math.cpp), with a zero offset.
Matrix* AnglesToMatrix(Matrix* result, const Vector* angles, int32_t order);

// float(sqrt(double(x))): the one place a square root is taken.
float SqrtViaDouble(float x);

// The unit vector of v: length = SqrtViaDouble((x*x + y*y) + z*z); zero
// length gives the zero vector, otherwise each component times 1/length.
Vector Normalize(const Vector& v);
