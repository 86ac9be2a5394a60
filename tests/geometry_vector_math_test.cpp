// Vector and matrix helpers. Results whose operation order is fixed are
// compared bit for bit; the literal hex patterns below are the same for the
// 64-bit and the 32-bit build, which is what keeps the two variants in step.
// Tolerances appear only where a result is compared with exact mathematics.
#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>
#include <string.h>

#include <limits>
#include <string>

#include "geometry/vector_math.h"

namespace {

const float kH = 1.5707964f;  // nearest float to pi/2

uint32_t Bits(float f) {
  uint32_t u;
  memcpy(&u, &f, sizeof u);
  return u;
}

float FromBits(uint32_t u) {
  float f;
  memcpy(&f, &u, sizeof f);
  return f;
}

Vector V(float x, float y, float z) { return Vector{x, y, z}; }

std::string Show(const Vector& v) {
  char text[160];
  snprintf(text, sizeof text, "(%.9g, %.9g, %.9g) = {0x%08X, 0x%08X, 0x%08X}", v.x, v.y, v.z,
           Bits(v.x), Bits(v.y), Bits(v.z));
  return text;
}

std::string Show(const Matrix& m) {
  return "offset " + Show(m.offset) + "\n  axisX " + Show(m.axisX) + "\n  axisY " +
         Show(m.axisY) + "\n  axisZ " + Show(m.axisZ);
}

::testing::AssertionResult SameBits(const Vector& expected, const Vector& seen) {
  if (memcmp(&expected, &seen, sizeof expected) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << Show(expected) << "\n    seen "
                                       << Show(seen);
}

::testing::AssertionResult SameBits(const Matrix& expected, const Matrix& seen) {
  if (memcmp(&expected, &seen, sizeof expected) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected\n  " << Show(expected) << "\nseen\n  "
                                       << Show(seen);
}

Vector VBits(uint32_t x, uint32_t y, uint32_t z) {
  return V(FromBits(x), FromBits(y), FromBits(z));
}

const Matrix kIdentity = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

// A small deterministic generator, so every run and both variants see the
// same "random" cases.
struct Xorshift {
  uint64_t state;
  uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  // Uniform in [lo, hi), built from 24 random bits.
  float Uniform(float lo, float hi) {
    const float unit = static_cast<float>(static_cast<double>(Next() >> 40) / 16777216.0);
    return lo + (hi - lo) * unit;
  }
};

// ------------------------------------------------------------ TransformPoint

TEST(GeometryTransformPoint, SumsInTheFixedOrder) {
  // ((1e8 + 1) - 1e8) + 0.5: the 1 is lost to rounding only in this order;
  // any other grouping gives 1.5.
  const Matrix m = {{1, 0, 0}, {1e8f, 0, 0}, {-1e8f, 0, 0}, {0.5f, 0, 0}};
  const Vector p = TransformPoint(m, V(1, 1, 1));
  EXPECT_EQ(Bits(0.5f), Bits(p.x)) << "seen " << p.x;

  // offset + p.x axisX + p.y axisY + p.z axisZ, per component.
  const Matrix general = {{1, 2, 3}, {2, 0, 0}, {0, 3, 0}, {0, 0, 4}};
  EXPECT_TRUE(SameBits(V(3, 5, 7), TransformPoint(general, V(1, 1, 1))));
}

// -------------------------------------------------------------- InvertMatrix

TEST(GeometryInvertMatrix, ExactlySingularGivesIdentity) {
  struct Case {
    const char* name;
    Matrix m;
  } cases[] = {
      {"third axis in the plane of the others", {{4, 5, 6}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}},
      // Each axis is fine, but the float determinant 1e-60 underflows to 0.
      {"1e-20 axes", {{7, 8, 9}, {1e-20f, 0, 0}, {0, 1e-20f, 0}, {0, 0, 1e-20f}}},
      {"all zero", {{1, 2, 3}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
      // Each term is -1 times a zero difference, -0, and -0 + -0 is -0: a
      // negative zero also counts as singular.
      {"negative zero determinant", {{1, 1, 1}, {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix result;
    EXPECT_EQ(&result, InvertMatrix(&result, &c.m));
    EXPECT_TRUE(SameBits(kIdentity, result));
  }
}

TEST(GeometryInvertMatrix, TinyAndNaNDeterminantsAreInverted) {
  // det = 1e-30, far from 0 in float: inverted, not taken for singular.
  const Matrix tiny = {{0, 0, 0}, {1e-10f, 0, 0}, {0, 1e-10f, 0}, {0, 0, 1e-10f}};
  Matrix result;
  InvertMatrix(&result, &tiny);
  EXPECT_NEAR(1e10, result.axisX.x, 1e10 * 1e-6) << Show(result);
  EXPECT_NEAR(1e10, result.axisZ.z, 1e10 * 1e-6) << Show(result);

  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Matrix withNaN = {{0, 0, 0}, {nan, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  InvertMatrix(&result, &withNaN);
  EXPECT_TRUE(isnan(result.axisX.x)) << Show(result);
}

// A matrix with rotation, unequal scales, shear and an offset.
const Matrix kSheared = {{1, 2, 3}, {2, 0.5f, 0}, {0.3f, 0.5f, 0.1f}, {0, 0.25f, 3}};

TEST(GeometryInvertMatrix, KnownBitsOfAShearedMatrix) {
  const Matrix expected = {VBits(0x3D23D70F, 0xC0666667, 0xBF6147B0),
                           VBits(0x3F170A3E, 0xBF19999A, 0x3CA3D70B),
                           VBits(0xBEB851EC, 0x4019999A, 0xBDA3D70B),
                           VBits(0x3CF5C290, 0xBE4CCCCD, 0x3EAE147B)};
  Matrix result;
  InvertMatrix(&result, &kSheared);
  EXPECT_TRUE(SameBits(expected, result));

  // The three terms of this determinant round differently when summed in
  // another order (-0x1.000002p-4 instead of -0x1p-4).
  const Matrix ordered = {{1, -2, 0.5f}, {-0.2f, 0.3f, 0.5f}, {0.1f, 0.1f, 0.25f},
                          {0.1f, 0.1f, 1.5f}};
  const Matrix orderedExpected = {VBits(0x40BFFFFE, 0x40A66667, 0xC04CCCCB),
                                  VBits(0xBFFFFFFE, 0x40CCCCCB, 0xBECCCCCC),
                                  VBits(0x3FFFFFFE, 0x40B33333, 0xBFCCCCCB),
                                  VBits(0x80000000, 0xBF4CCCCC, 0x3F4CCCCC)};
  InvertMatrix(&result, &ordered);
  EXPECT_TRUE(SameBits(orderedExpected, result));

  // In place: the same bits when result and input are one object.
  Matrix inPlace = kSheared;
  EXPECT_EQ(&inPlace, InvertMatrix(&inPlace, &inPlace));
  EXPECT_TRUE(SameBits(expected, inPlace));
}

TEST(GeometryInvertMatrix, RoundTripsRotatedScaledShearedMatrix) {
  // Rotation from angles, then scaled per axis and sheared, with an offset.
  const Vector angles = V(0.7f, -0.4f, 1.9f);
  Matrix m;
  AnglesToMatrix(&m, &angles, 3);
  const float scale[3] = {2.5f, 0.4f, 1.7f};
  Vector* axes[3] = {&m.axisX, &m.axisY, &m.axisZ};
  for (int i = 0; i < 3; ++i) {
    axes[i]->x *= scale[i];
    axes[i]->y *= scale[i];
    axes[i]->z *= scale[i];
  }
  m.axisY.x += 0.6f * m.axisX.x;  // shear Y toward X
  m.axisY.y += 0.6f * m.axisX.y;
  m.axisY.z += 0.6f * m.axisX.z;
  m.offset = V(10, -20, 5);

  Matrix inverse;
  InvertMatrix(&inverse, &m);
  // Tolerance 5e-5 absolute: the world coordinates reach about 35 (one
  // float step there is 3.8e-6) and the scales differ by a factor of 6, so
  // the rounding of the forward and the inverse transform stays within a
  // dozen such steps.
  Xorshift random{12345};
  for (int i = 0; i < 200; ++i) {
    const Vector p = V(random.Uniform(-10, 10), random.Uniform(-10, 10), random.Uniform(-10, 10));
    const Vector back = TransformPoint(inverse, TransformPoint(m, p));
    EXPECT_NEAR(p.x, back.x, 5e-5) << "point " << Show(p) << " came back as " << Show(back);
    EXPECT_NEAR(p.y, back.y, 5e-5) << "point " << Show(p) << " came back as " << Show(back);
    EXPECT_NEAR(p.z, back.z, 5e-5) << "point " << Show(p) << " came back as " << Show(back);
  }
}

TEST(GeometryInvertMatrix, RotationInvertsToItsTranspose) {
  const Vector angles = V(-1.2f, 0.5f, 0.3f);
  Matrix rotation;
  AnglesToMatrix(&rotation, &angles, 3);
  rotation.offset = V(1, 2, 3);
  Matrix inverse;
  InvertMatrix(&inverse, &rotation);

  const float* r = &rotation.axisX.x;  // column-major 3x3
  const float* inv = &inverse.axisX.x;
  for (int column = 0; column < 3; ++column) {
    for (int row = 0; row < 3; ++row) {
      EXPECT_NEAR(r[row * 3 + column], inv[column * 3 + row], 1e-6)
          << "inverse column " << column << " row " << row;
    }
  }
  // offset = -R^T (1, 2, 3)
  const Vector o = rotation.offset;
  const float* cols[3] = {&rotation.axisX.x, &rotation.axisY.x, &rotation.axisZ.x};
  const float expected[3] = {-(cols[0][0] * o.x + cols[0][1] * o.y + cols[0][2] * o.z),
                             -(cols[1][0] * o.x + cols[1][1] * o.y + cols[1][2] * o.z),
                             -(cols[2][0] * o.x + cols[2][1] * o.y + cols[2][2] * o.z)};
  EXPECT_NEAR(expected[0], inverse.offset.x, 4e-6);
  EXPECT_NEAR(expected[1], inverse.offset.y, 4e-6);
  EXPECT_NEAR(expected[2], inverse.offset.z, 4e-6);
}

// --------------------------------------------------------- DirectionToAngles

TEST(GeometryDirectionToAngles, KnownDirections) {
  struct Case {
    Vector d;
    Vector expected;
    const char* why;
  } cases[] = {
      // Yaw is minus the arcsine when d.z > 0: minus +0 is -0.
      {V(0, 0, 1), VBits(0x80000000, 0, 0), "+Z: no turn (yaw -0)"},
      {V(0, 0, -1), VBits(0x40490FDB, 0, 0), "-Z: yaw float(pi)"},
      {V(1, 0, 0), VBits(0x4096CBE4, 0, 0), "+X: float(h + pi) = 4.712389"},
      {V(-1, 0, 0), VBits(0x3FC90FDA, 0, 0), "-X: float(-h + pi), one below h"},
      {V(0, 1, 0), V(0, kH, 0), "straight up"},
      {V(0.000001f, 5, 0), V(0, kH, 0), "XZ part below 1e-5: vertical"},
      {V(0, -1, 0), V(0, -kH, 0), "straight down"},
      {V(0, 0, 0), V(0, -kH, 0), "zero vector counts as down"},
      {V(0.99e-5f, 1, 0), V(0, kH, 0), "just below the vertical limit"},
      {V(1.01e-5f, 1, 0), VBits(0x4096CBE4, 0x3FC90F86, 0), "just above it: a real yaw"},
      {V(2, 0, 0.0001f), V(-kH, 0, 0), "s rounds to exactly 1: clamped, yaw -h"},
      {V(-2, 0, 0.0001f), V(kH, 0, 0), "s rounds to exactly -1: clamped, yaw +h"},
      {V(2, 0, -0.0001f), VBits(0x4096CBE4, 0, 0), "clamped, then + pi"},
      {V(1, 2, 3), VBits(0xBEA4BC7D, 0x3F105E8B, 0), "general, z > 0"},
      {V(-0.3f, 0.5f, -0.8f), VBits(0x403219C1, 0x3F078B5E, 0), "general, z < 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.why) + ", d = " + Show(c.d));
    Vector result;
    EXPECT_EQ(&result, DirectionToAngles(&result, &c.d));
    EXPECT_TRUE(SameBits(c.expected, result));
  }
}

TEST(GeometryDirectionToAngles, NaNPassesThrough) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Vector d = V(nan, 0, 1);
  Vector result;
  DirectionToAngles(&result, &d);
  EXPECT_TRUE(isnan(result.x)) << Show(result);
  EXPECT_TRUE(isnan(result.y)) << Show(result);
  EXPECT_EQ(0u, Bits(result.z)) << Show(result);
}

// ----------------------------------------------------------- AnglesToMatrix

// The table of rotations, written out again here from the table of the
// elementary products with every triple product grouped explicitly, so that
// a slip in the module's transcription or grouping shows up bit for bit.
Matrix TableRow(int order, const Vector& angles) {
  auto s = [](float a) { return static_cast<float>(sin(static_cast<double>(a))); };
  auto c = [](float a) { return static_cast<float>(cos(static_cast<double>(a))); };
  const float sy = s(angles.x), cy = c(angles.x);
  const float sp = s(angles.y), cp = c(angles.y);
  const float sr = s(angles.z), cr = c(angles.z);
  Matrix m;
  m.offset = V(0, 0, 0);
  switch (order) {
    case 1:
      m.axisX = V(cr * cy, (sp * sy) - ((sr * cy) * cp), ((sr * cy) * sp) + (cp * sy));
      m.axisY = V(sr, cr * cp, -(cr * sp));
      m.axisZ = V(-(cr * sy), ((sr * sy) * cp) + (sp * cy), (cp * cy) - ((sr * sy) * sp));
      break;
    case 2:
      m.axisX = V(cr * cy, ((cr * sy) * sp) - (sr * cp), (sr * sp) + ((cr * sy) * cp));
      m.axisY = V(sr * cy, ((sr * sy) * sp) + (cr * cp), ((sr * sy) * cp) - (cr * sp));
      m.axisZ = V(-sy, sp * cy, cp * cy);
      break;
    case 4:
      m.axisX = V(cr * cy, -sr, cr * sy);
      m.axisY = V(((sr * cp) * cy) + (sp * sy), cr * cp, ((sr * cp) * sy) - (sp * cy));
      m.axisZ = V(((sr * sp) * cy) - (cp * sy), cr * sp, ((sr * sp) * sy) + (cp * cy));
      break;
    case 5:
      m.axisX = V(cr * cy, -(sr * cy), sy);
      m.axisY = V(((sp * sy) * cr) + (sr * cp), (cr * cp) - ((sp * sy) * sr), -(sp * cy));
      m.axisZ = V((sr * sp) - ((cp * sy) * cr), ((cp * sy) * sr) + (cr * sp), cp * cy);
      break;
    default:
      m.axisX = V((cr * cy) - ((sr * sp) * sy), -(sr * cp), (cr * sy) + ((sr * sp) * cy));
      m.axisY = V(((cr * sp) * sy) + (sr * cy), cr * cp, (sr * sy) - ((cr * sp) * cy));
      m.axisZ = V(-(cp * sy), sp, cp * cy);
      break;
  }
  return m;
}

// The elementary rotations in double, as 3x3 arrays [row][column].
struct M3 {
  double e[3][3];
};
M3 Mul(const M3& a, const M3& b) {
  M3 r = {};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r.e[i][j] += a.e[i][k] * b.e[k][j];
  return r;
}
// Columns (cy, 0, sy); (0, 1, 0); (-sy, 0, cy).
M3 Yaw(double a) { return M3{{{cos(a), 0, -sin(a)}, {0, 1, 0}, {sin(a), 0, cos(a)}}}; }
// Columns (1, 0, 0); (0, cp, -sp); (0, sp, cp).
M3 Pitch(double a) { return M3{{{1, 0, 0}, {0, cos(a), sin(a)}, {0, -sin(a), cos(a)}}}; }
// Columns (cr, -sr, 0); (sr, cr, 0); (0, 0, 1).
M3 Roll(double a) { return M3{{{cos(a), sin(a), 0}, {-sin(a), cos(a), 0}, {0, 0, 1}}}; }

const Vector kAngleCases[] = {
    {0.3f, -0.7f, 1.1f}, {2.9f, 0.2f, -2.4f}, {-1.3f, 1.5f, 0.01f}, {4.7f, -3.0f, 6.0f}};

TEST(GeometryAnglesToMatrix, OtherOrdersAreYawPitchRoll) {
  const int32_t orders[] = {0, 6, -1, 7, 100, INT32_MIN, INT32_MAX};
  for (const Vector& angles : kAngleCases) {
    Matrix reference;
    AnglesToMatrix(&reference, &angles, 3);
    for (int32_t order : orders) {
      SCOPED_TRACE("order " + std::to_string(order) + ", angles " + Show(angles));
      Matrix result;
      EXPECT_EQ(&result, AnglesToMatrix(&result, &angles, order));
      EXPECT_TRUE(SameBits(reference, result));
    }
  }
}

TEST(GeometryAnglesToMatrix, EveryOrderMatchesTheTableBitForBit) {
  // Many angle triples, so that a changed grouping of a triple product
  // rounds differently in at least one of them.
  Xorshift random{77};
  for (int i = 0; i < 200; ++i) {
    const Vector angles = V(random.Uniform(-7, 7), random.Uniform(-7, 7), random.Uniform(-7, 7));
    for (int order : {1, 2, 3, 4, 5}) {
      SCOPED_TRACE("order " + std::to_string(order) + ", angles " + Show(angles));
      Matrix result;
      AnglesToMatrix(&result, &angles, order);
      ASSERT_TRUE(SameBits(TableRow(order, angles), result));
    }
  }
}

TEST(GeometryAnglesToMatrix, TableIsTheProductOfTheElementaryRotations) {
  // Entries are at most 1 and each is at most three rounded factors and one
  // rounded sum: 1e-6 covers the float rounding with margin.
  for (const Vector& angles : kAngleCases) {
    const M3 y = Yaw(angles.x), p = Pitch(angles.y), r = Roll(angles.z);
    struct {
      int order;
      M3 product;
    } cases[] = {{1, Mul(Mul(p, r), y)},
                 {2, Mul(Mul(p, y), r)},
                 {3, Mul(Mul(y, p), r)},
                 {4, Mul(Mul(y, r), p)},
                 {5, Mul(Mul(r, y), p)}};
    for (const auto& c : cases) {
      SCOPED_TRACE("order " + std::to_string(c.order) + ", angles " + Show(angles));
      Matrix m;
      AnglesToMatrix(&m, &angles, c.order);
      const Vector* columns[3] = {&m.axisX, &m.axisY, &m.axisZ};
      for (int column = 0; column < 3; ++column) {
        const float seen[3] = {columns[column]->x, columns[column]->y, columns[column]->z};
        for (int row = 0; row < 3; ++row) {
          EXPECT_NEAR(c.product.e[row][column], seen[row], 1e-6)
              << "column " << column << " row " << row;
        }
      }
      EXPECT_TRUE(SameBits(V(0, 0, 0), m.offset));
    }
  }
}

TEST(GeometryAnglesToMatrix, ZeroAnglesGiveIdentityForEveryOrder) {
  const Vector zero = V(0, 0, 0);
  for (int order = -1; order <= 7; ++order) {
    Matrix m;
    AnglesToMatrix(&m, &zero, order);
    // Compared by value: some entries are a negated zero product (-0).
    const float* seen = &m.offset.x;
    const float* expected = &kIdentity.offset.x;
    for (int i = 0; i < 12; ++i) {
      EXPECT_EQ(expected[i], seen[i]) << "order " << order << ", float " << i << "\n  "
                                      << Show(m);
    }
  }
}

TEST(GeometryAnglesToMatrix, KnownBitsOfOrderThree) {
  const Vector angles = V(0.3f, -0.7f, 1.1f);
  const Matrix expected = {V(0, 0, 0), VBits(0x3F1A5E7F, 0xBF2E7F81, 0xBED431C0),
                           VBits(0x3F43DA29, 0x3EB1A0BC, 0x3F0AE372),
                           VBits(0xBE677373, 0xBF24EB73, 0x3F3B0DF5)};
  Matrix m;
  AnglesToMatrix(&m, &angles, 3);
  EXPECT_TRUE(SameBits(expected, m));
}

// ------------------------------------------------- frame from a direction

TEST(GeometryFrameFromDirection, OrthonormalWithAxisZAlongDirection) {
  // Tolerances. Orthonormality: 4e-7 (a few float roundings of unit
  // entries). axisZ against d / |d|: 4e-7 + min(2e-7 / c, 2 c), where c is
  // |d.z| / |(d.x, d.z)|, the cosine of the yaw's arcsine: the rounding of
  // s = d.x / L is magnified by 1 / c in the arcsine, and once s rounds to
  // +-1 the clamp leaves an error of at most about c.
  Xorshift random{0x9E3779B97F4A7C15ull};
  int checked = 0;
  while (checked < 300) {
    const Vector d = V(random.Uniform(-1, 1), random.Uniform(-1, 1), random.Uniform(-1, 1));
    const double length = sqrt(static_cast<double>(d.x) * d.x + static_cast<double>(d.y) * d.y +
                               static_cast<double>(d.z) * d.z);
    const double xz = sqrt(static_cast<double>(d.x) * d.x + static_cast<double>(d.z) * d.z);
    if (length < 0.1 || d.z == 0) continue;
    ++checked;
    SCOPED_TRACE("direction " + Show(d));

    Vector angles;
    DirectionToAngles(&angles, &d);
    EXPECT_EQ(0u, Bits(angles.z));
    Matrix f;
    AnglesToMatrix(&f, &angles, 3);

    const double c = fabs(d.z) / xz;
    const double alongTolerance = 4e-7 + fmin(2e-7 / c, 2 * c);
    EXPECT_NEAR(d.x / length, f.axisZ.x, alongTolerance);
    EXPECT_NEAR(d.y / length, f.axisZ.y, alongTolerance);
    EXPECT_NEAR(d.z / length, f.axisZ.z, alongTolerance);

    auto dot = [](const Vector& u, const Vector& v) {
      return static_cast<double>(u.x) * v.x + static_cast<double>(u.y) * v.y +
             static_cast<double>(u.z) * v.z;
    };
    EXPECT_NEAR(1, dot(f.axisX, f.axisX), 4e-7);
    EXPECT_NEAR(1, dot(f.axisY, f.axisY), 4e-7);
    EXPECT_NEAR(1, dot(f.axisZ, f.axisZ), 4e-7);
    EXPECT_NEAR(0, dot(f.axisX, f.axisY), 4e-7);
    EXPECT_NEAR(0, dot(f.axisX, f.axisZ), 4e-7);
    EXPECT_NEAR(0, dot(f.axisY, f.axisZ), 4e-7);
    // Right-handed: axisZ = axisX x axisY.
    EXPECT_NEAR(f.axisZ.x, f.axisX.y * f.axisY.z - f.axisX.z * f.axisY.y, 4e-7);
    EXPECT_NEAR(f.axisZ.y, f.axisX.z * f.axisY.x - f.axisX.x * f.axisY.z, 4e-7);
    EXPECT_NEAR(f.axisZ.z, f.axisX.x * f.axisY.y - f.axisX.y * f.axisY.x, 4e-7);
    // axisX lies in the XZ plane (roll 0).
    EXPECT_EQ(0u, Bits(f.axisX.y) & 0x7FFFFFFFu);
  }
}

TEST(GeometryFrameFromDirection, VerticalAndZeroDirections) {
  // axisX (1, 0, 0); axisZ (0, +-1, 0) up to the rounding of cos(h).
  const struct {
    Vector d;
    float sign;
  } cases[] = {{V(0, 3, 0), 1}, {V(0, -3, 0), -1}, {V(0, 0, 0), -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("direction " + Show(c.d));
    Vector angles;
    DirectionToAngles(&angles, &c.d);
    Matrix f;
    AnglesToMatrix(&f, &angles, 3);
    EXPECT_TRUE(SameBits(V(1, 0, 0), f.axisX));
    EXPECT_NEAR(0, f.axisZ.x, 1e-7);
    EXPECT_EQ(c.sign, f.axisZ.y);
    EXPECT_NEAR(0, f.axisZ.z, 1e-7);
  }
}

// ---------------------------------------------------------------- Normalize

TEST(GeometryNormalize, KnownResults) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    Vector v;
    Vector expected;
    const char* why;
  } cases[] = {
      {V(3, 4, 0), VBits(0x3F19999A, 0x3F4CCCCD, 0), "length 5"},
      {V(1, 2, 3), VBits(0x3E88D677, 0x3F08D677, 0x3F4D41B2), "general"},
      // x * (1 / length) rounds differently from x / length here.
      {V(3, 2, 7), VBits(0x3EC3127B, 0x3E820C52, 0x3F639590), "times the reciprocal"},
      {V(0, 0, 0), V(0, 0, 0), "zero stays zero"},
      {V(-0.0f, 0, -0.0f), V(0, 0, 0), "negative zeros give +0"},
      {V(1e-30f, 0, 0), V(0, 0, 0), "squares underflow: length exactly 0"},
      // Squares overflow: length inf, r = 0, every component times 0.
      {V(1e30f, 0, 0), V(0, 0, 0), "squares overflow: times 1/inf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.why) + ", v = " + Show(c.v));
    EXPECT_TRUE(SameBits(c.expected, Normalize(c.v)));
  }
  const Vector n = Normalize(V(nan, 1, 1));
  EXPECT_TRUE(isnan(n.x) && isnan(n.y) && isnan(n.z)) << Show(n);
}

TEST(GeometryNormalize, SqrtViaDoubleRoundsOnce) {
  EXPECT_EQ(Bits(2.0f), Bits(SqrtViaDouble(4.0f)));
  // float(sqrt(double(2))): the correctly rounded float root of 2.
  EXPECT_EQ(0x3FB504F3u, Bits(SqrtViaDouble(2.0f)));
  EXPECT_TRUE(isnan(SqrtViaDouble(-1.0f)));
}

}  // namespace
