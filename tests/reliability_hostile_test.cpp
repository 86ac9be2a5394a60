// Hostile host data beyond the basic cases of the command's own tests:
// duplicated and overlapping segments, one-way links and links to polygons
// that are not selected, corners at the ends of the integer range, counts
// at the ends of the integer range, point values that are not ordinary
// numbers, and object matrices that are singular, not numbers, or scale by
// 1e-20 and 1e20. Every case runs through the built module in the stand-in
// host, whose arrays are exactly as large as reported, so that the asan
// presets see any access outside them. Polygons that must not move keep
// every bit; input that is in range gives exactly the result of the same
// input reported honestly.
#include <cfloat>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "tests/command_support.h"
#include "tests/reliability_support.h"

namespace reliability_test {
namespace {

using command_test::CommandFixture;
using hostsim::Op;
using hostsim::SimObject;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kDenormal = std::numeric_limits<float>::denorm_min() * 1000.0f;

// n quads with points of their own: quad k owns points 4k to 4k + 3 and has
// corner c raised, so a quad that is flattened always moves point 4k + 2.
//
//   3---2'
//   |   |
//   0---1
struct Quads {
  std::vector<Vector> points;
  std::vector<Polygon> polygons;
};
Quads MakeQuads(int32_t n) {
  Quads q;
  for (int32_t k = 0; k < n; ++k) {
    const float x = 3.0f * float(k);
    q.points.push_back({x, 0, 0});
    q.points.push_back({x + 1, 0, 0});
    q.points.push_back({x + 1, 0.75f, 1});
    q.points.push_back({x, 0, 1});
    q.polygons.push_back({4 * k, 4 * k + 1, 4 * k + 2, 4 * k + 3});
  }
  return q;
}
SimObject* QuadObject(int32_t n, std::vector<std::pair<int32_t, int32_t>> segments) {
  const Quads q = MakeQuads(n);
  return hostsim::NewPolygonObject(q.points, q.polygons, segments);
}

struct Case {
  const char* what;
  std::function<SimObject*()> make;
  int32_t result;
  // Polygons visited, region by region.
  std::vector<std::vector<int32_t>> regions;
  // Quads whose raised corner must move, and quads that must keep every bit.
  std::vector<int32_t> moved = {}, still = {};
  // The same input reported honestly: the points must come out with the
  // same bits (for the quads in twinQuads, or all when empty).
  std::function<SimObject*()> twin = nullptr;
  std::vector<int32_t> twinQuads = {};
  // Further checks on the points before and after.
  std::function<void(const std::vector<Vector>&, const std::vector<Vector>&)> check = nullptr;
};

class ReliabilityHostile : public CommandFixture {
 protected:
  void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      hostsim::ClearNeighbourOverrides();
      std::vector<Vector> twinAfter;
      if (c.twin) {
        SimObject* twin = c.twin();
        EXPECT_EQ(1, Run(twin)) << "the honest twin";
        twinAfter = hostsim::PointsOf(twin);
        hostsim::ClearNeighbourOverrides();
      }
      SimObject* object = c.make();
      const std::vector<Vector> before = hostsim::PointsOf(object);
      const size_t undoSteps = hostsim::UndoSteps(document_).size();
      EXPECT_EQ(c.result, Run(object));
      EXPECT_EQ(c.regions, RegionsVisited());
      const std::vector<Vector> after = hostsim::PointsOf(object);
      for (int32_t quad : c.moved)
        EXPECT_FALSE(SameBits(before[size_t(4 * quad + 2)], after[size_t(4 * quad + 2)]))
            << "quad " << quad << " did not move: " << Show(after[size_t(4 * quad + 2)]);
      for (int32_t quad : c.still)
        for (size_t point = size_t(4 * quad); point < size_t(4 * quad + 4); ++point)
          EXPECT_TRUE(SameBits(before[point], after[point]))
              << "point " << point << " of quad " << quad << ": expected " << Show(before[point])
              << ", seen " << Show(after[point]);
      if (c.twin) {
        if (c.twinQuads.empty()) {
          EXPECT_EQ("", FirstDifference(twinAfter, after)) << "differs from the honest run";
        } else {
          for (int32_t quad : c.twinQuads)
            for (size_t point = size_t(4 * quad); point < size_t(4 * quad + 4); ++point)
              EXPECT_TRUE(SameBits(twinAfter[point], after[point]))
                  << "point " << point << ": honest run " << Show(twinAfter[point]) << ", seen "
                  << Show(after[point]);
        }
      }
      if (c.check) c.check(before, after);
      // One closed undo step for a run that went ahead, none otherwise.
      EXPECT_EQ(undoSteps + (c.result == 1 ? 1u : 0u), hostsim::UndoSteps(document_).size());
      EXPECT_EQ(c.result == 1 ? 1u : 0u, hostsim::CountOf(Op::UndoBegin));
      EXPECT_EQ(1u, hostsim::LiveBlockCount()) << "only the command object stays";
      EXPECT_EQ(0u, hostsim::LiveAdjacencyCount());
      EXPECT_EQ("", hostsim::FirstViolation());
    }
  }
};

TEST_F(ReliabilityHostile, Segments) {
  RunCases({
      {"first above last", [] { return QuadObject(3, {{2, 1}, {1, 0}}); }, 1, {}, {}, {0, 1, 2}},
      // Each polygon seeds at most once, however often the segments name it.
      {"duplicated segments", [] { return QuadObject(3, {{0, 1}, {0, 1}, {1, 1}}); }, 1,
       {{0}, {1}}, {0, 1}, {2}, [] { return QuadObject(3, {{0, 1}}); }},
      {"overlapping segments", [] { return QuadObject(4, {{2, 3}, {0, 2}, {1, 3}}); }, 1,
       {{2}, {3}, {0}, {1}}, {0, 1, 2, 3}, {}, [] { return QuadObject(4, {{2, 3}, {0, 1}}); }},
      // A long list of segments that each reach over the whole integer
      // range: each is clamped, so the run stays short.
      {"many segments over the whole range",
       [] {
         return QuadObject(2, std::vector<std::pair<int32_t, int32_t>>(1000, {INT_MIN, INT_MAX}));
       },
       1, {{0}, {1}}, {0, 1}, {}, [] { return QuadObject(2, {{0, 1}}); }},
  });
}

TEST_F(ReliabilityHostile, NeighbourEntries) {
  RunCases({
      // 0 names 1, 1 names nobody: from 0 the region holds both; from 1
      // alone it holds 1, and 0 seeds a region of its own afterwards.
      {"one-way link followed",
       [] {
         hostsim::OverrideNeighbours(0, {-1, 1, -1, -1});
         return QuadObject(2, {{0, 1}});
       },
       1, {{0, 1}}, {0, 1}},
      {"one-way link against the seed order",
       [] {
         hostsim::OverrideNeighbours(0, {-1, 1, -1, -1});
         return QuadObject(2, {{1, 1}, {0, 0}});
       },
       1, {{1}, {0}}, {0, 1}},
      // Entries in range are followed even when they name polygons that are
      // not selected: the table is the host's word on what is connected.
      {"link to a polygon that is not selected",
       [] {
         hostsim::OverrideNeighbours(0, {-1, -1, 2, -1});
         return QuadObject(3, {{0, 0}});
       },
       1, {{0, 2}}, {0, 2}, {1}},
      {"every kind of bad entry at once",
       [] {
         hostsim::OverrideNeighbours(0, {0, -7, INT_MIN, 3});
         hostsim::OverrideNeighbours(1, {INT_MAX, 1, 0, 2});
         return QuadObject(3, {{0, 0}, {1, 1}});
       },
       1, {{0}, {1, 2}}, {0, 1, 2}},
  });
}

TEST_F(ReliabilityHostile, CornersAtTheEndsOfTheRange) {
  // A polygon naming a point outside the array is left out of its region;
  // the others of the region are flattened as if it were not there.
  auto withCorners = [](Polygon bad) {
    return [bad] {
      hostsim::OverrideNeighbours(0, {1, -1, -1, -1});
      hostsim::OverrideNeighbours(1, {0, -1, -1, -1});
      SimObject* object = QuadObject(2, {{0, 1}});
      object->polygons.data[1] = bad;
      return object;
    };
  };
  auto alone = [] { return QuadObject(2, {{0, 0}}); };
  RunCases({
      {"corner INT_MIN", withCorners({INT_MIN, 5, 6, 7}), 1, {{0, 1}}, {0}, {1}, alone, {0}},
      {"corner INT_MAX", withCorners({4, 5, INT_MAX, 7}), 1, {{0, 1}}, {0}, {1}, alone, {0}},
      {"triangle with corners INT_MAX", withCorners({4, 5, INT_MAX, INT_MAX}), 1, {{0, 1}}, {0},
       {1}, alone, {0}},
      {"every corner out of range", withCorners({-1, INT_MIN, INT_MAX, 8}), 1, {{0, 1}}, {0}, {1},
       alone, {0}},
  });
}

TEST_F(ReliabilityHostile, PolygonCounts) {
  auto reporting = [](int32_t count, bool nullPolygons = false) {
    return [count, nullPolygons] {
      SimObject* object = QuadObject(2, {{0, 1}});
      object->overridePolygonCount = true;
      object->reportedPolygonCount = count;
      object->nullPolygons = nullPolygons;
      return object;
    };
  };
  RunCases({
      // No marks block can be had for a negative count.
      {"polygon count INT_MIN", reporting(INT_MIN), 0, {}, {}, {0, 1}},
      {"polygon count 0", reporting(0), 1, {}, {}, {0, 1}},
      // The host cannot build a table this large.
      {"polygon count 2^30", reporting(1 << 30), 0, {}, {}, {0, 1}},
      {"polygon count INT_MAX", reporting(INT_MAX), 0, {}, {}, {0, 1}},
      // Without a polygon array there is no table to build; the marks
      // request is then the one that fails.
      {"polygon count 2^30 without an array", reporting(1 << 30, true), 0, {}, {}, {0, 1}},
      {"polygon count INT_MAX without an array", reporting(INT_MAX, true), 0, {}, {}, {0, 1}},
      {"polygon count -1 without an array", reporting(-1, true), 0, {}, {}, {0, 1}},
  });
  // The marks request for a count that does not fit overflows to a size no
  // host serves, in either variant; it never wraps to something small.
  hostsim::ClearCalls();
  SimObject* object = reporting(INT_MAX, true)();
  EXPECT_EQ(0, Run(object));
  const std::vector<hostsim::Call>& calls = hostsim::Calls();
  std::vector<size_t> sizes;
  for (const hostsim::Call& call : calls)
    if (call.op == Op::AllocMemory) sizes.push_back(size_t(call.args[0]));
  const size_t expected = sizeof(void*) == 8 ? size_t(INT_MAX) * 4 : SIZE_MAX;
  EXPECT_EQ(std::vector<size_t>{expected}, sizes) << "marks request for INT_MAX polygons";
}

TEST_F(ReliabilityHostile, PointCounts) {
  auto reporting = [](int32_t count) {
    return [count] {
      SimObject* object = QuadObject(2, {{0, 1}});
      object->overridePointCount = true;
      object->reportedPointCount = count;
      return object;
    };
  };
  auto honest = [] { return QuadObject(2, {{0, 1}}); };
  RunCases({
      // Every corner lies outside a negative or empty point array.
      {"point count INT_MIN", reporting(INT_MIN), 1, {{0}, {1}}, {}, {0, 1}},
      {"point count -1", reporting(-1), 1, {{0}, {1}}, {}, {0, 1}},
      {"point count 0", reporting(0), 1, {{0}, {1}}, {}, {0, 1}},
      // Counts beyond the array with every corner inside it: processed as
      // the honest count is.
      {"point count 2^30", reporting(1 << 30), 1, {{0}, {1}}, {0, 1}, {}, honest},
      {"point count INT_MAX", reporting(INT_MAX), 1, {{0}, {1}}, {0, 1}, {}, honest},
  });
}

TEST_F(ReliabilityHostile, PointValues) {
  // Quad 0 gets the odd value at its corner a; quad 1 is ordinary and must
  // come out exactly as without quad 0's value; quad 2 is not selected.
  auto withValue = [](Vector value) {
    return [value] {
      SimObject* object = QuadObject(3, {{0, 1}});
      object->points.data[0] = value;
      return object;
    };
  };
  auto honest = [] { return QuadObject(3, {{0, 1}}); };
  auto allNumbers = [](size_t from, size_t to) {
    return [from, to](const std::vector<Vector>&, const std::vector<Vector>& after) {
      for (size_t i = from; i < to; ++i)
        EXPECT_TRUE(std::isfinite(after[i].x) && std::isfinite(after[i].y) && std::isfinite(after[i].z))
            << "point " << i << ": " << Show(after[i]);
    };
  };
  RunCases({
      {"NaN", withValue({kNaN, 0, 0}), 1, {{0}, {1}}, {0, 1}, {2}, honest, {1}},
      {"infinity", withValue({0, kInf, 0}), 1, {{0}, {1}}, {0, 1}, {2}, honest, {1}},
      {"minus infinity everywhere", withValue({-kInf, -kInf, -kInf}), 1, {{0}, {1}}, {0, 1}, {2},
       honest, {1}},
      {"FLT_MAX", withValue({FLT_MAX, FLT_MAX, -FLT_MAX}), 1, {{0}, {1}}, {0, 1}, {2}, honest, {1}},
      // Tiny and signed zeros are ordinary numbers: the quad is flattened
      // into finite points.
      {"denormal", withValue({kDenormal, -kDenormal, kDenormal}), 1, {{0}, {1}}, {0, 1}, {2},
       honest, {1}, allNumbers(0, 4)},
      {"minus zero", withValue({-0.0f, -0.0f, -0.0f}), 1, {{0}, {1}}, {0, 1}, {2}, honest, {1},
       allNumbers(0, 4)},
  });

  // A flat quad of signed zeros and denormals stays where it is, up to the
  // rounding of the plane frame.
  const Vector flat[4] = {{-0.0f, -0.0f, -0.0f}, {1, kDenormal, -0.0f}, {1, -0.0f, 1}, {-0.0f, kDenormal, 1}};
  SimObject* object = hostsim::NewPolygonObject(std::vector<Vector>(flat, flat + 4), {{0, 1, 2, 3}}, {{0, 0}});
  ASSERT_EQ(1, Run(object));
  const std::vector<Vector> after = hostsim::PointsOf(object);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(flat[i].x, after[i].x, 1e-6) << "point " << i << ": " << Show(after[i]);
    EXPECT_NEAR(flat[i].y, after[i].y, 1e-6) << "point " << i << ": " << Show(after[i]);
    EXPECT_NEAR(flat[i].z, after[i].z, 1e-6) << "point " << i << ": " << Show(after[i]);
  }
}

TEST_F(ReliabilityHostile, ObjectMatrices) {
  auto withMatrix = [](Matrix m) {
    return [m] {
      SimObject* object = QuadObject(2, {{0, 0}});
      object->matrix = m;
      return object;
    };
  };
  const Matrix singular = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  const Matrix notANumber = {{0, 0, 0}, {1, 0, 0}, {0, kNaN, 0}, {0, 0, 1}};
  const Matrix tiny = {{0, 0, 0}, {1e-20f, 0, 0}, {0, 1e-20f, 0}, {0, 0, 1e-20f}};
  const Matrix huge = {{0, 0, 0}, {1e20f, 0, 0}, {0, 1e20f, 0}, {0, 0, 1e20f}};

  // The singular matrix maps every point into the plane z = 0, where the
  // region already lies in world space; its inverse is taken as the
  // identity, so the world positions themselves are stored.
  auto storesWorld = [](const Matrix& m, double tolerance) {
    return [m, tolerance](const std::vector<Vector>& before, const std::vector<Vector>& after) {
      for (size_t i = 0; i < 4; ++i) {
        const command_test::D3 world = command_test::World(m, before[i]);
        EXPECT_NEAR(world.x, after[i].x, tolerance) << "point " << i << ": " << Show(after[i]);
        EXPECT_NEAR(world.y, after[i].y, tolerance) << "point " << i << ": " << Show(after[i]);
        EXPECT_NEAR(world.z, after[i].z, tolerance) << "point " << i << ": " << Show(after[i]);
      }
    };
  };
  RunCases({
      {"singular", withMatrix(singular), 1, {{0}}, {0}, {1}, nullptr, {}, storesWorld(singular, 1e-6)},
      {"NaN cell", withMatrix(notANumber), 1, {{0}}, {0}, {1}},
      // The determinant of a 1e-20 scale is 0 in single precision: the
      // inverse is the identity and the flattened world positions, all of
      // the order of 1e-20, are stored.
      {"scale 1e-20", withMatrix(tiny), 1, {{0}}, {0}, {1}, nullptr, {},
       [](const std::vector<Vector>&, const std::vector<Vector>& after) {
         for (size_t i = 0; i < 4; ++i)
           EXPECT_TRUE(std::fabs(after[i].x) < 2e-20f && std::fabs(after[i].y) < 2e-20f &&
                       std::fabs(after[i].z) < 2e-20f)
               << "point " << i << ": expected world positions of the order of 1e-20, seen "
               << Show(after[i]);
         EXPECT_NE(0.0f, after[1].x) << "point 1 lies at 1e-20 in world space";
       }},
      {"scale 1e20", withMatrix(huge), 1, {{0}}, {0}, {1}},
  });
}

}  // namespace
}  // namespace reliability_test
