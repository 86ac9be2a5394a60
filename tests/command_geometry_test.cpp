// The geometry of a run through the built module: every point of a region
// must end up at the orthogonal projection (in world space) of where it was
// onto the plane the test derives on its own in double precision; results
// are bit-identical in both variants; undo gives every bit back.
#include <array>
#include <cmath>

#include "command_support.h"

namespace {

using command_test::AllPolygons;
using command_test::CheckProjected;
using command_test::CommandFixture;
using command_test::ExpectedPlane;
using command_test::Fnv1a;
using command_test::kIdentity;
using command_test::SameBits;
using command_test::Show;
using hostsim::SimObject;

struct Link {
  int32_t polygon;
  std::array<int32_t, 4> neighbours;
};

struct Scene {
  std::vector<Vector> points;
  std::vector<Polygon> polygons;
  std::vector<std::pair<int32_t, int32_t>> segments;
  Matrix matrix;
  std::vector<Link> links;  // neighbour entries forced in the host's table
};

// A matrix that translates, rotates, scales unequally and shears: its axes
// are neither unit length nor orthogonal.
Matrix Skewed() {
  const double angle = 0.7;
  const double c = std::cos(angle), s = std::sin(angle);
  // Rotation about (0, 0, 1) then about x: columns of R.
  const double r[3][3] = {{c, s * 0.8, s * 0.6}, {-s, c * 0.8, c * 0.6}, {0, -0.6, 0.8}};
  const double scale[3] = {2.0, 0.5, 3.0};
  // Axis k = R * (scale_k * e_k) + shear: axisY gains 0.4 axisX, axisZ 0.3 axisY.
  command_test::D3 axis[3];
  for (int k = 0; k < 3; ++k) axis[k] = {r[k][0] * scale[k], r[k][1] * scale[k], r[k][2] * scale[k]};
  axis[1] = axis[1] + axis[0] * 0.4;
  axis[2] = axis[2] + axis[1] * 0.3;
  const auto f = [](command_test::D3 v) { return Vector{float(v.x), float(v.y), float(v.z)}; };
  return {{3.0f, -2.0f, 5.0f}, f(axis[0]), f(axis[1]), f(axis[2])};
}

// A bumpy grid: no two neighbouring quads in one plane.
std::pair<std::vector<Vector>, std::vector<Polygon>> Bumpy(int32_t columns, int32_t rows) {
  return command_test::Grid(columns, rows, [](int32_t i, int32_t j) {
    return 0.25f * float((i * 7 + j * 3) % 5) - 0.125f * float(j);
  });
}

Scene TiltedPlanarQuad() {
  // On the plane z = 0.5 x - 0.25 y + 2.
  return {{{0, 0, 2}, {1, 0, 2.5f}, {1, 1, 2.25f}, {0, 1, 1.75f}}, {{0, 1, 2, 3}}, {{0, 0}},
          kIdentity, {}};
}

Scene TiltedTriangle() {
  return {{{0, 0, 0}, {2, 1, 0.5f}, {-1, 3, 2}}, {{0, 1, 2, 2}}, {{0, 0}}, kIdentity, {}};
}

Scene TiltedPlanarGrid() {
  // A 3 x 2 grid in the plane y = 0.5 x + 0.25 z, all quads wound alike.
  auto grid = command_test::Grid(3, 2, [](int32_t i, int32_t j) { return 0.5f * float(i) + 0.25f * float(j); });
  return {grid.first, grid.second, {{0, 5}}, kIdentity, {}};
}

// Two triangles folded along their common side 0-2.
//
//   3
//   | \    3 raised to y = 1
//   0---2
//    \  |
//      1
Scene FoldedTriangles() {
  return {{{0, 0, 0}, {1, 0, -1}, {1, 0, 1}, {0, 1, 1}}, {{0, 1, 2, 2}, {0, 2, 3, 3}}, {{0, 1}},
          kIdentity, {}};
}

// The same fold with the second triangle written as a quad whose last two
// corners are different points at the same place: it counts as a quad, so
// its centre is the mean of four corners, not three.
Scene FoldedWithCollapsedQuad() {
  return {{{0, 0, 0}, {1, 0, -1}, {1, 0, 1}, {0, 1, 1}, {0, 1, 1}},
          {{0, 1, 2, 2}, {0, 2, 3, 4}},
          {{0, 1}},
          kIdentity,
          {}};
}

// Two quads of the vertical plane z = 0, wound opposite ways: their unit
// normals cancel exactly, so the region goes into the horizontal plane
// through its centre (y = 0.5).
//
//   3---2---5      quad 0: 0 1 2 3
//   |   |   |      quad 1: 1 2 5 4 (reversed)
//   0---1---4
Scene OppositeWindings() {
  return {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}},
          {{0, 1, 2, 3}, {1, 2, 5, 4}},
          {{0, 1}},
          kIdentity,
          {}};
}

// Two quads each collapsed onto one place, linked through the table: no
// normal at all, so the horizontal plane through the centre (y = -1).
Scene Collapsed() {
  std::vector<Vector> points;
  for (int k = 0; k < 4; ++k) points.push_back({1, 2, 3});
  for (int k = 0; k < 4; ++k) points.push_back({5, -4, 7});
  return {points,
          {{0, 1, 2, 3}, {4, 5, 6, 7}},
          {{0, 1}},
          kIdentity,
          {{0, {1, -1, -1, -1}}, {1, {-1, -1, 0, -1}}}};
}

Scene SkewedBumpyGrid() {
  auto grid = Bumpy(3, 2);
  return {grid.first, grid.second, {{0, 5}}, Skewed(), {}};
}

// A partial selection: the first row and one quad of the second; the rest
// of the grid keeps the points it does not share.
Scene SkewedPartialSelection() {
  auto grid = Bumpy(3, 3);
  return {grid.first, grid.second, {{0, 2}, {4, 4}}, Skewed(), {}};
}

// The skewed grid cut into triangles (a, b, c) and (a, c, d): the centres
// are thirds of values that are not round.
Scene SkewedTriangles() {
  Scene scene = SkewedBumpyGrid();
  std::vector<Polygon> triangles;
  for (const Polygon& q : scene.polygons) {
    triangles.push_back({q.a, q.b, q.c, q.c});
    triangles.push_back({q.a, q.c, q.d, q.d});
  }
  scene.polygons = triangles;
  scene.segments = {{0, int32_t(triangles.size()) - 1}};
  return scene;
}

SimObject* Make(const Scene& scene) {
  for (const Link& link : scene.links) hostsim::OverrideNeighbours(link.polygon, link.neighbours);
  SimObject* object = hostsim::NewPolygonObject(scene.points, scene.polygons, scene.segments);
  object->matrix = scene.matrix;
  return object;
}

std::vector<int32_t> SelectedPolygons(const Scene& scene) {
  std::vector<int32_t> selected;
  for (auto [first, last] : scene.segments)
    for (int32_t i = first; i <= last; ++i) selected.push_back(i);
  return selected;
}

class CommandGeometry : public CommandFixture {};

TEST_F(CommandGeometry, RegionsGoOntoTheirPlaneByOrthogonalProjection) {
  struct Case {
    const char* what;
    Scene scene;
    bool planar;  // the points already lie in the plane and must stay
    double tolerance;
  };
  const Case cases[] = {
      {"tilted planar quad", TiltedPlanarQuad(), true, 2e-6},
      {"tilted triangle", TiltedTriangle(), true, 4e-6},
      {"tilted planar grid, one winding", TiltedPlanarGrid(), true, 4e-6},
      {"folded pair of triangles", FoldedTriangles(), false, 2e-6},
      {"fold with a collapsed quad", FoldedWithCollapsedQuad(), false, 2e-6},
      {"opposite windings cancel", OppositeWindings(), false, 2e-6},
      {"every polygon collapsed", Collapsed(), false, 2e-6},
      {"skewed object matrix", SkewedBumpyGrid(), false, 2e-5},
      {"skewed matrix, partial selection", SkewedPartialSelection(), false, 2e-5},
      {"skewed matrix, triangles", SkewedTriangles(), false, 2e-5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hostsim::ClearNeighbourOverrides();
    SimObject* object = Make(c.scene);
    ASSERT_EQ(1, Run(object));
    const std::vector<Vector> after = hostsim::PointsOf(object);
    const std::vector<int32_t> region = SelectedPolygons(c.scene);
    const command_test::Plane plane =
        ExpectedPlane(c.scene.matrix, c.scene.points, c.scene.polygons, region);
    CheckProjected(c.scene.matrix, plane, c.scene.points, after, c.scene.polygons, region,
                   c.tolerance);

    std::vector<bool> used(c.scene.points.size(), false);
    for (int32_t index : region) {
      const Polygon& p = c.scene.polygons[size_t(index)];
      for (int32_t corner : {p.a, p.b, p.c, p.d}) used[size_t(corner)] = true;
    }
    for (size_t i = 0; i < after.size(); ++i) {
      if (!used[i]) {
        EXPECT_TRUE(SameBits(c.scene.points[i], after[i]))
            << "point " << i << " of no selected polygon moved to " << Show(after[i]);
      } else if (c.planar) {
        const command_test::D3 shift =
            command_test::World(c.scene.matrix, after[i]) - command_test::World(c.scene.matrix, c.scene.points[i]);
        EXPECT_LE(command_test::Length(shift), c.tolerance)
            << "planar point " << i << " moved from " << Show(c.scene.points[i]) << " to " << Show(after[i]);
      }
    }
  }
}

TEST_F(CommandGeometry, CancellingAndMissingNormalsGiveTheHorizontalPlane) {
  struct Case {
    const char* what;
    Scene scene;
    float y;  // the centre's height
  };
  const Case cases[] = {{"opposite windings", OppositeWindings(), 0.5f},
                        {"collapsed polygons", Collapsed(), -1.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hostsim::ClearNeighbourOverrides();
    SimObject* object = Make(c.scene);
    ASSERT_EQ(1, Run(object));
    const std::vector<Vector> after = hostsim::PointsOf(object);
    for (size_t i = 0; i < after.size(); ++i) {
      EXPECT_NEAR(c.y, after[i].y, 1e-6) << "point " << i << " at " << Show(after[i]);
      // The frame of a vanished normal is only horizontal up to the float
      // cosine of a right angle; x and z stay to that accuracy.
      EXPECT_NEAR(c.scene.points[i].x, after[i].x, 1e-6) << "point " << i;
      EXPECT_NEAR(c.scene.points[i].z, after[i].z, 1e-6) << "point " << i;
    }
  }
}

// The same meshes give the same bits in both variants: the constants below
// are what every build must produce.
TEST_F(CommandGeometry, ResultsAreBitIdenticalInBothVariants) {
  struct Case {
    const char* what;
    Scene scene;
    uint64_t hash;  // FNV-1a over the resulting point bytes
  };
  const Case cases[] = {
      {"folded triangles", FoldedTriangles(), 0x3c255fdc31581fc6ull},
      {"opposite windings", OppositeWindings(), 0x66d5b92e12ddd7c5ull},
      {"collapsed polygons", Collapsed(), 0x1a282d432b986d85ull},
      {"skewed bumpy grid", SkewedBumpyGrid(), 0x09075bd5f99fdd17ull},
      {"skewed partial selection", SkewedPartialSelection(), 0xace274c21a5775e2ull},
      {"skewed triangles", SkewedTriangles(), 0x835bf6e9ef1d8c41ull},
  };
  for (const Case& c : cases) {
    hostsim::ClearNeighbourOverrides();
    SimObject* object = Make(c.scene);
    ASSERT_EQ(1, Run(object));
    const uint64_t hash = Fnv1a(hostsim::PointsOf(object));
    EXPECT_EQ(c.hash, hash) << c.what << ": expected 0x" << std::hex << c.hash << ", seen 0x" << hash;
  }
}

TEST_F(CommandGeometry, UndoRestoresEveryPointBitForBit) {
  for (const Scene& scene : {SkewedBumpyGrid(), SkewedPartialSelection(), Collapsed()}) {
    hostsim::ClearNeighbourOverrides();
    SimObject* object = Make(scene);
    ASSERT_EQ(1, Run(object));
    ASSERT_NE(Fnv1a(scene.points), Fnv1a(hostsim::PointsOf(object))) << "nothing moved";
    ASSERT_TRUE(hostsim::Undo(document_));
    const std::vector<Vector> restored = hostsim::PointsOf(object);
    ASSERT_EQ(scene.points.size(), restored.size());
    for (size_t i = 0; i < restored.size(); ++i)
      EXPECT_TRUE(SameBits(scene.points[i], restored[i]))
          << "point " << i << ": expected " << Show(scene.points[i]) << ", seen " << Show(restored[i]);
  }
}

}  // namespace
