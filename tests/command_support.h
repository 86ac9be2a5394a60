// Shared fixture and helpers of the command tests: the built module loaded
// into the stand-in host and registered, tiny meshes, and the expected plane
// of a region worked out independently in double precision.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "hostsim/hostsim.h"
#include "hostsim/session.h"

namespace command_test {

// ---------------------------------------------------------------- fixture

// The module as the host runs it: loaded, started, its resource loaded and
// its command registered. TearDown releases the command, ends and unloads
// the module, and requires a balanced ledger without misuse.
class CommandFixture : public ::testing::Test {
 protected:
  CommandFixture() : session_(FLATTEN_MODULE_PATH) {}

  void SetUp() override {
    hostsim::Reset();
    ASSERT_TRUE(session_.StartUp()) << "module did not start: " << session_.Error();
    ASSERT_NE(nullptr, session_.Registered()) << "no command registered";
    document_ = hostsim::NewDocument();
  }

  void TearDown() override {
    session_.ShutDown();
    EXPECT_EQ("", hostsim::FirstViolation());
    EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
    hostsim::Reset();
  }

  // Makes object the active one and runs the command on the document, with
  // the call log holding this run only.
  int32_t Run(hostsim::SimObject* object) {
    document_->active = object;
    hostsim::ClearCalls();
    return session_.Execute(document_);
  }

  CommandPluginRecord Record() const { return session_.Registered()->Record(); }

  hostsim::Session session_;
  hostsim::SimDocument* document_ = nullptr;
};

// ------------------------------------------------------------- call log

// The polygon arguments of AdjacencyPolygonInfo, in call order: the order in
// which region collection visits polygons.
inline std::vector<int32_t> VisitOrder() {
  std::vector<int32_t> order;
  for (const hostsim::Call& call : hostsim::Calls())
    if (call.op == hostsim::Op::AdjacencyPolygonInfo) order.push_back(int32_t(call.args[1]));
  return order;
}

// ------------------------------------------------------------- points

inline uint64_t Fnv1a(const std::vector<Vector>& points) {
  uint64_t hash = 0xcbf29ce484222325ull;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(points.data());
  for (size_t i = 0; i < points.size() * sizeof(Vector); ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

inline bool SameBits(const Vector& a, const Vector& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline std::string Show(const Vector& v) {
  char text[96];
  snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", v.x, v.y, v.z);
  return text;
}

// ------------------------------------------------- double-precision model

struct D3 {
  double x, y, z;
};
inline D3 operator+(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline D3 operator-(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 operator*(D3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double Dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline D3 Cross(D3 a, D3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(D3 a) { return std::sqrt(Dot(a, a)); }
inline D3 Unit(D3 a) {
  const double length = Length(a);
  return length == 0.0 ? D3{0, 0, 0} : a * (1.0 / length);
}

// The world position of p under m (the host's matrix layout).
inline D3 World(const Matrix& m, const Vector& p) {
  return D3{m.offset.x, m.offset.y, m.offset.z} + D3{m.axisX.x, m.axisX.y, m.axisX.z} * p.x +
         D3{m.axisY.x, m.axisY.y, m.axisY.z} * p.y + D3{m.axisZ.x, m.axisZ.y, m.axisZ.z} * p.z;
}

struct Plane {
  D3 normal;  // unit; (0, -1, 0) when the normals cancel or vanish
  D3 centre;
};

// The plane a region of polygons should be flattened into: through the mean
// of the polygon centres, perpendicular to the sum of the unit normals of
// the diagonals' cross products (the b-to-d and a-to-c diagonals).
inline Plane ExpectedPlane(const Matrix& m, const std::vector<Vector>& points,
                           const std::vector<Polygon>& polygons, const std::vector<int32_t>& region) {
  D3 normalSum{0, 0, 0}, centreSum{0, 0, 0};
  for (int32_t index : region) {
    const Polygon& p = polygons[size_t(index)];
    const D3 a = World(m, points[size_t(p.a)]), b = World(m, points[size_t(p.b)]);
    const D3 c = World(m, points[size_t(p.c)]), d = World(m, points[size_t(p.d)]);
    normalSum = normalSum + Unit(Cross(Unit(c - a), Unit(d - b)));
    centreSum = centreSum + (p.c == p.d ? (a + b + c) * (1.0 / 3.0) : (a + b + c + d) * 0.25);
  }
  Plane plane;
  plane.normal = Length(normalSum) == 0.0 ? D3{0, -1, 0} : Unit(normalSum);
  plane.centre = centreSum * (1.0 / double(region.size()));
  return plane;
}

// w moved orthogonally onto the plane.
inline D3 Project(const Plane& plane, D3 w) {
  return w - plane.normal * Dot(w - plane.centre, plane.normal);
}

// Every point of the region's polygons, now at after, must be the orthogonal
// projection of where it was (before) onto plane, in world space, within
// tolerance. Returns the largest deviation seen.
inline double CheckProjected(const Matrix& m, const Plane& plane, const std::vector<Vector>& before,
                             const std::vector<Vector>& after, const std::vector<Polygon>& polygons,
                             const std::vector<int32_t>& region, double tolerance) {
  double worst = 0;
  for (int32_t index : region) {
    const Polygon& p = polygons[size_t(index)];
    for (int32_t corner : {p.a, p.b, p.c, p.d}) {
      const D3 expected = Project(plane, World(m, before[size_t(corner)]));
      const D3 seen = World(m, after[size_t(corner)]);
      const double deviation = Length(seen - expected);
      const double distance = std::fabs(Dot(seen - plane.centre, plane.normal));
      worst = std::max(worst, deviation);
      EXPECT_LE(deviation, tolerance)
          << "point " << corner << ": expected world (" << expected.x << ", " << expected.y << ", "
          << expected.z << "), seen (" << seen.x << ", " << seen.y << ", " << seen.z << ")";
      EXPECT_LE(distance, tolerance) << "point " << corner << " lies " << distance
                                     << " off the plane";
    }
  }
  return worst;
}

// ---------------------------------------------------------------- meshes

inline const Matrix kIdentity = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

// A grid of columns x rows quads in the xz plane, heights from height(i, j).
// Point (i, j) is i + j * (columns + 1); quad (i, j) runs (i,j), (i+1,j),
// (i+1,j+1), (i,j+1), so that neighbouring quads share a side.
//
//   j+1  3---2
//        |   |
//   j    0---1
//        i   i+1
template <typename Height>
inline std::pair<std::vector<Vector>, std::vector<Polygon>> Grid(int32_t columns, int32_t rows,
                                                                 Height height) {
  std::vector<Vector> points;
  for (int32_t j = 0; j <= rows; ++j)
    for (int32_t i = 0; i <= columns; ++i)
      points.push_back({float(i), height(i, j), float(j)});
  std::vector<Polygon> polygons;
  const int32_t stride = columns + 1;
  for (int32_t j = 0; j < rows; ++j)
    for (int32_t i = 0; i < columns; ++i) {
      const int32_t p = i + j * stride;
      polygons.push_back({p, p + 1, p + 1 + stride, p + stride});
    }
  return {points, polygons};
}

inline std::vector<int32_t> AllPolygons(size_t count) {
  std::vector<int32_t> all;
  for (size_t i = 0; i < count; ++i) all.push_back(int32_t(i));
  return all;
}

}  // namespace command_test
