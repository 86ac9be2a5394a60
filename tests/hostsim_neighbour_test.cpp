// The neighbour service's contract on small drawn meshes. Module tests take
// these tables as ground truth, so a wrong entry here would mislead them.
#include <gtest/gtest.h>

#include <climits>

#include "hostsim/hostsim.h"

namespace {

using Table = std::vector<std::array<int32_t, 4>>;
using hostsim::SimSelection;

std::string Show(const Table& table) {
  std::string text;
  for (const auto& row : table) {
    text += "[";
    for (int j = 0; j < 4; ++j) text += std::to_string(row[j]) + (j < 3 ? " " : "]");
  }
  return text;
}

SimSelection Segments(std::vector<std::pair<int32_t, int32_t>> segments) {
  SimSelection selection;
  selection.segments = std::move(segments);
  return selection;
}

struct Case {
  const char* name;
  int32_t pointCount;
  std::vector<Polygon> polygons;
  std::vector<std::pair<int32_t, int32_t>> segments;  // {-1,-1} alone: null selection
  Table expected;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class HostSimNeighbours : public ::testing::TestWithParam<Case> {};

TEST_P(HostSimNeighbours, MatchesTheContract) {
  const Case& c = GetParam();
  bool all = c.segments.size() == 1 && c.segments[0] == std::make_pair(-1, -1);
  SimSelection selection = Segments(c.segments);
  Table seen = hostsim::NeighbourTable(c.pointCount, c.polygons, all ? nullptr : &selection);
  EXPECT_EQ(seen, c.expected) << c.name << ": expected " << Show(c.expected) << ", seen "
                              << Show(seen);
}

// Points of a 3x2 grid of quads:
//   0---1---2---3
//   | 0 | 1 | 2 |
//   4---5---6---7
const std::vector<Polygon> kRow = {{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}};

INSTANTIATE_TEST_SUITE_P(
    DrawnMeshes, HostSimNeighbours,
    ::testing::Values(
        // Side j of a quad runs corner j to j+1: polygon 1 meets 0 across
        // d-a (5-1, entry 3) and 2 across b-c (2-6, entry 1).
        Case{"row of quads, all selected", 8, kRow, {{0, 2}},
             {{-1, 1, -1, -1}, {-1, 2, -1, 0}, {-1, -1, -1, 1}}},
        Case{"null selection links everything", 8, kRow, {{-1, -1}},
             {{-1, 1, -1, -1}, {-1, 2, -1, 0}, {-1, -1, -1, 1}}},
        // Unselected polygons get four -1 and are never named.
        Case{"middle quad unselected", 8, kRow, {{0, 0}, {2, 2}},
             {{-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}}},
        Case{"last quad unselected", 8, kRow, {{0, 1}},
             {{-1, 1, -1, -1}, {-1, -1, -1, 0}, {-1, -1, -1, -1}}},
        //   0---1
        //   | \ |   triangles (0,1,2) and (0,2,3): sides a-b, b-c, c-a, then -1
        //   3---2
        Case{"two triangles on a diagonal", 4, {{0, 1, 2, 2}, {0, 2, 3, 3}}, {{0, 1}},
             {{-1, -1, 1, -1}, {0, -1, -1, -1}}},
        // The shared side in the opposite direction links the same way.
        Case{"opposite winding", 4, {{0, 1, 2, 2}, {2, 0, 3, 3}}, {{0, 1}},
             {{-1, -1, 1, -1}, {0, -1, -1, -1}}},
        // Three polygons on side 0-1 form a ring in ascending order: 0->1->2->0.
        Case{"three polygons on one side", 5, {{0, 1, 2, 2}, {1, 0, 3, 3}, {0, 1, 4, 4}}, {{0, 2}},
             {{1, -1, -1, -1}, {2, -1, -1, -1}, {0, -1, -1, -1}}},
        // A side on one point twice has no neighbour even when another
        // polygon has the same degenerate side; 2-0 and 0-2 still link.
        Case{"degenerate side", 4, {{0, 0, 1, 2}, {0, 0, 2, 3}}, {{0, 1}},
             {{-1, -1, -1, 1}, {-1, 0, -1, -1}}},
        // A polygon with the same side twice is taken once: with a partner
        // both of its entries name the partner.
        Case{"polygon with one side twice", 3, {{0, 1, 0, 1}, {1, 0, 2, 2}}, {{0, 1}},
             {{1, 1, 1, 1}, {0, -1, -1, -1}}},
        Case{"polygon alone on a doubled side", 2, {{0, 1, 0, 1}}, {{0, 0}},
             {{-1, -1, -1, -1}}},
        // Sides with a corner outside the points link nothing; the valid
        // side 0-1 of all three still forms a ring.
        Case{"corners out of range", 3, {{0, 1, 5, -2}, {1, 0, 2, 2}, {0, 7, 1, 1}}, {{0, 2}},
             {{1, -1, -1, -1}, {2, -1, -1, -1}, {-1, -1, 0, -1}}},
        // Hostile segments: first > last selects nothing, indices are clamped.
        Case{"hostile segments", 8, kRow, {{2, 0}, {-5, 0}, {1, INT_MAX}},
             {{-1, 1, -1, -1}, {-1, 2, -1, 0}, {-1, -1, -1, 1}}},
        Case{"no polygon selected", 8, kRow, {{3, 9}, {INT_MIN, -1}},
             {{-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}}},
        Case{"no points", 0, kRow, {{0, 2}},
             {{-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}}}),
    [](const ::testing::TestParamInfo<Case>& info) {
      std::string name;
      for (const char* p = info.param.name; *p != 0; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

class HostSimNeighbourService : public ::testing::Test {
 protected:
  void SetUp() override { hostsim::Reset(); }
  void TearDown() override { hostsim::Reset(); }
  AdjacencyTable& service = *hostsim::Table()->adjacency;
};

TEST_F(HostSimNeighbourService, TableThroughTheCellsHasOneRecordPerPolygon) {
  hostsim::SimObject* object =
      hostsim::NewPolygonObject(std::vector<Vector>(8), kRow, {{0, 2}});
  HostAdjacency* table = service.AdjacencyBuild(8, object->polygons.data.get(), 3,
                                                hostsim::AsHost(&object->selection));
  ASSERT_NE(table, nullptr);
  const PolygonAdjacency* middle = service.AdjacencyPolygonInfo(table, 1);
  ASSERT_NE(middle, nullptr);
  EXPECT_EQ(middle->neighbours[1], 2);
  EXPECT_EQ(middle->neighbours[3], 0);
  // Outside the table: null, defined.
  EXPECT_EQ(service.AdjacencyPolygonInfo(table, 3), nullptr);
  EXPECT_EQ(service.AdjacencyPolygonInfo(table, -1), nullptr);
  service.AdjacencyFree(table);
  service.AdjacencyFree(nullptr);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
}

TEST_F(HostSimNeighbourService, HostileCountsNeverReadPastTheArray) {
  hostsim::SimObject* object = hostsim::NewPolygonObject(std::vector<Vector>(8), kRow, {{0, 2}});
  HostSelection* selection = hostsim::AsHost(&object->selection);
  const Polygon* polygons = object->polygons.data.get();
  // More polygons than the array: the extra ones have no sides.
  HostAdjacency* table = service.AdjacencyBuild(INT_MAX, polygons, 5, selection);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(service.AdjacencyPolygonInfo(table, 4)->neighbours[0], -1);
  EXPECT_EQ(service.AdjacencyPolygonInfo(table, 1)->neighbours[1], 2);
  service.AdjacencyFree(table);
  // Negative count: an empty table, not a failure.
  table = service.AdjacencyBuild(8, polygons, INT_MIN, selection);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(service.AdjacencyPolygonInfo(table, 0), nullptr);
  service.AdjacencyFree(table);
  // Counts whose table exceeds what the host serves fail like an allocation.
  EXPECT_EQ(service.AdjacencyBuild(8, polygons, INT_MAX, selection), nullptr);
  EXPECT_EQ(service.AdjacencyBuild(8, polygons, 1 << 30, selection), nullptr);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST_F(HostSimNeighbourService, OverridesReplaceChosenRecords) {
  hostsim::SimObject* object = hostsim::NewPolygonObject(std::vector<Vector>(8), kRow, {{0, 2}});
  hostsim::OverrideNeighbours(1, {1, -7, INT_MAX, 0});
  hostsim::OverrideNeighbours(9, {0, 0, 0, 0});  // outside the table: ignored
  HostAdjacency* table = service.AdjacencyBuild(8, object->polygons.data.get(), 3,
                                                hostsim::AsHost(&object->selection));
  ASSERT_NE(table, nullptr);
  const PolygonAdjacency* middle = service.AdjacencyPolygonInfo(table, 1);
  EXPECT_EQ(middle->neighbours[0], 1);
  EXPECT_EQ(middle->neighbours[1], -7);
  EXPECT_EQ(middle->neighbours[2], INT_MAX);
  EXPECT_EQ(middle->neighbours[3], 0);
  EXPECT_EQ(service.AdjacencyPolygonInfo(table, 0)->neighbours[1], 1);  // untouched
  service.AdjacencyFree(table);
}

TEST_F(HostSimNeighbourService, FreeingAForeignTableIsReported) {
  int local = 0;
  service.AdjacencyFree(reinterpret_cast<HostAdjacency*>(&local));
  EXPECT_EQ(hostsim::Violations().size(), 1u);
}

TEST_F(HostSimNeighbourService, LongStripLinksEveryNeighbour) {
  // A strip of n quads: a check of the grouping at a size where a wrong
  // sort would show, not a timing.
  const int32_t n = 100000;
  std::vector<Polygon> strip;
  for (int32_t i = 0; i < n; ++i) strip.push_back({i, i + 1, n + 2 + i, n + 1 + i});
  Table table = hostsim::NeighbourTable(2 * n + 2, strip, nullptr);
  ASSERT_EQ(table.size(), size_t(n));
  for (int32_t i = 0; i < n; ++i) {
    std::array<int32_t, 4> expected = {-1, i + 1 < n ? i + 1 : -1, -1, i > 0 ? i - 1 : -1};
    ASSERT_EQ(table[size_t(i)], expected) << "polygon " << i;
  }
}

}  // namespace
