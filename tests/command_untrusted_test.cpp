// Host data the command must survive: indices and counts outside their
// arrays, null arrays, segments reaching the ends of the integer range. Each
// case has a defined outcome, and no access may leave an array (run these
// under the asan presets too: the stand-in host hands out arrays of exactly
// the reported size).
#include <climits>
#include <functional>

#include "command_support.h"

namespace {

using command_test::CommandFixture;
using command_test::ExpectedPlane;
using command_test::kIdentity;
using command_test::SameBits;
using command_test::VisitOrder;
using hostsim::Op;
using hostsim::SimObject;

// Quad k owns points 4k to 4k + 3 and has its corner c raised, so a quad that
// is flattened always moves point 4k + 2.
SimObject* Quads(int32_t n, std::vector<std::pair<int32_t, int32_t>> segments) {
  std::vector<Vector> points;
  std::vector<Polygon> polygons;
  for (int32_t k = 0; k < n; ++k) {
    const float x = 3.0f * float(k);
    points.push_back({x, 0, 0});
    points.push_back({x + 1, 0, 0});
    points.push_back({x + 1, 0.75f, 1});
    points.push_back({x, 0, 1});
    polygons.push_back({4 * k, 4 * k + 1, 4 * k + 2, 4 * k + 3});
  }
  return hostsim::NewPolygonObject(points, polygons, segments);
}

class CommandUntrusted : public CommandFixture {};

TEST_F(CommandUntrusted, HostileDataHasADefinedOutcome) {
  struct Case {
    const char* what;
    std::function<SimObject*()> make;
    int32_t result;
    std::vector<int32_t> visits;  // polygons gathered, in order
    std::vector<int32_t> moved;   // quads whose raised corner moves
  };
  const Case cases[] = {
      // Segments are clamped to [0, polygonCount): out-of-range indices are
      // skipped, and a segment reaching INT_MAX ends at the last polygon.
      {"segment 0 to INT_MAX", [] { return Quads(2, {{0, INT_MAX}}); }, 1, {0, 1}, {0, 1}},
      {"segment INT_MIN to INT_MAX", [] { return Quads(2, {{INT_MIN, INT_MAX}}); }, 1, {0, 1},
       {0, 1}},
      {"segments wholly outside",
       [] { return Quads(2, {{-5, -1}, {2, 9}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}}); }, 1, {},
       {}},
      {"segment INT_MAX to INT_MIN", [] { return Quads(2, {{INT_MAX, INT_MIN}}); }, 1, {}, {}},
      {"segment reaching past the end", [] { return Quads(3, {{1, 7}}); }, 1, {1, 2}, {1, 2}},
      // Neighbour entries outside [0, polygonCount) read as "no neighbour".
      {"neighbour entries out of range",
       [] {
         hostsim::OverrideNeighbours(0, {2, -2, INT_MAX, INT_MIN});
         return Quads(2, {{0, 0}});
       },
       1, {0}, {0}},
      {"self and repeated links",
       [] {
         hostsim::OverrideNeighbours(0, {0, 1, 1, 0});
         hostsim::OverrideNeighbours(1, {1, 0, 1, 0});
         return Quads(2, {{0, 0}});
       },
       1, {0, 1}, {0, 1}},
      // A polygon naming a point outside the array is left out of its
      // region's fit and projection; the rest of the region still moves.
      {"corners outside the point array",
       [] {
         SimObject* object = Quads(3, {{0, 2}});
         object->polygons.data[1].d = 12;
         object->polygons.data[2].a = -1;
         return object;
       },
       1, {0, 1, 2}, {0}},
      {"point count reported too small",
       [] {
         SimObject* object = Quads(2, {{0, 1}});
         object->overridePointCount = true;
         object->reportedPointCount = 4;
         return object;
       },
       1, {0, 1}, {0}},
      {"negative point count",
       [] {
         SimObject* object = Quads(2, {{0, 1}});
         object->overridePointCount = true;
         object->reportedPointCount = -3;
         return object;
       },
       1, {0, 1}, {}},
      // A negative polygon count asks for an impossible marks block: the run
      // fails before the undo step.
      {"negative polygon count",
       [] {
         SimObject* object = Quads(2, {{0, 1}});
         object->overridePolygonCount = true;
         object->reportedPolygonCount = -1;
         return object;
       },
       0, {}, {}},
      {"polygon count reported too small",
       [] {
         SimObject* object = Quads(3, {{0, 2}});
         object->overridePolygonCount = true;
         object->reportedPolygonCount = 2;
         return object;
       },
       1, {0, 1}, {0, 1}},
      // Null arrays: nothing can be read or moved, the step is still taken.
      {"no point array",
       [] {
         SimObject* object = Quads(2, {{0, 1}});
         object->nullPoints = true;
         return object;
       },
       1, {0, 1}, {}},
      {"no polygon array",
       [] {
         SimObject* object = Quads(2, {{0, 1}});
         object->nullPolygons = true;
         return object;
       },
       1, {}, {}},
      // No selection: nothing is selected, and no segment is asked for.
      {"no selection",
       [] {
         SimObject* object = Quads(2, {{0, 1}});
         object->nullSelection = true;
         return object;
       },
       1, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hostsim::ClearNeighbourOverrides();
    SimObject* object = c.make();
    const std::vector<Vector> before = hostsim::PointsOf(object);
    EXPECT_EQ(c.result, Run(object));
    EXPECT_EQ(c.visits, VisitOrder());
    const std::vector<Vector> after = hostsim::PointsOf(object);
    for (int32_t quad = 0; quad < int32_t(before.size() / 4); ++quad) {
      const bool expected = std::find(c.moved.begin(), c.moved.end(), quad) != c.moved.end();
      EXPECT_EQ(expected, !SameBits(before[size_t(4 * quad + 2)], after[size_t(4 * quad + 2)]))
          << "quad " << quad << (expected ? " did not move" : " moved");
    }
    EXPECT_EQ(c.result == 1 ? 1u : 0u, hostsim::CountOf(Op::UndoBegin));
    EXPECT_EQ(1u, hostsim::LiveBlockCount()) << "only the command object stays";
    EXPECT_EQ(0u, hostsim::LiveAdjacencyCount());
    EXPECT_EQ("", hostsim::FirstViolation());
  }
}

// A left-out polygon does not count in the region's mean: the region of a
// valid quad and an invalid one goes into the valid quad's own plane.
TEST_F(CommandUntrusted, LeftOutPolygonDoesNotCountInTheFit) {
  SimObject* object = Quads(2, {{0, 1}});
  object->polygons.data[1].b = 1000;
  hostsim::OverrideNeighbours(0, {1, -1, -1, -1});
  hostsim::OverrideNeighbours(1, {0, -1, -1, -1});
  const std::vector<Vector> before = hostsim::PointsOf(object);
  const std::vector<Polygon> polygons = object->polygons.ToVector();
  ASSERT_EQ(1, Run(object));
  EXPECT_EQ((std::vector<int32_t>{0, 1}), VisitOrder());
  const command_test::Plane plane = ExpectedPlane(kIdentity, before, polygons, {0});
  command_test::CheckProjected(kIdentity, plane, before, hostsim::PointsOf(object), polygons, {0},
                               2e-6);
  for (size_t point = 4; point < 8; ++point)
    EXPECT_TRUE(SameBits(before[point], hostsim::PointsOf(object)[point])) << "point " << point;
}

}  // namespace
