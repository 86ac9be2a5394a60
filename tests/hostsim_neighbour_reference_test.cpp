// The neighbour service against a plain reference of its contract (a map
// from point pairs to the sides on them), on random meshes: few points and
// many polygons give points shared by dozens of sides, out-of-range and
// repeated corners, triangles and hostile segments.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "hostsim/hostsim.h"

namespace {

using Table = std::vector<std::array<int32_t, 4>>;

// The contract of hostsim.h written the obvious way.
Table ReferenceTable(int32_t pointCount, const std::vector<Polygon>& polygons,
                     const hostsim::SimSelection& selection) {
  const int32_t count = int32_t(polygons.size());
  std::vector<bool> selected(polygons.size(), false);
  for (const auto& [first, last] : selection.segments)
    for (int64_t i = std::max<int64_t>(first, 0); i <= std::min<int64_t>(last, count - 1); ++i)
      selected[size_t(i)] = true;

  std::map<std::pair<int32_t, int32_t>, std::vector<std::pair<int32_t, int>>> onPair;
  for (int32_t i = 0; i < count; ++i) {
    if (!selected[size_t(i)]) continue;
    const Polygon& p = polygons[size_t(i)];
    const bool triangle = p.c == p.d;
    const int32_t from[4] = {p.a, p.b, p.c, p.d};
    const int32_t to[4] = {p.b, p.c, triangle ? p.a : p.d, p.a};
    for (int j = 0; j < (triangle ? 3 : 4); ++j) {
      const int32_t f = from[j], t = to[j];
      if (f == t || f < 0 || t < 0 || f >= pointCount || t >= pointCount) continue;
      onPair[{std::min(f, t), std::max(f, t)}].push_back({i, j});
    }
  }

  Table table(polygons.size(), {-1, -1, -1, -1});
  for (const auto& [pair, sides] : onPair) {
    std::vector<int32_t> ring;  // distinct polygons, ascending
    for (const auto& [polygon, side] : sides)
      if (ring.empty() || ring.back() != polygon) ring.push_back(polygon);
    if (ring.size() < 2) continue;
    for (const auto& [polygon, side] : sides) {
      const size_t at = size_t(std::find(ring.begin(), ring.end(), polygon) - ring.begin());
      table[size_t(polygon)][size_t(side)] = ring[(at + 1) % ring.size()];
    }
  }
  return table;
}

std::string Row(const std::array<int32_t, 4>& row) {
  return "[" + std::to_string(row[0]) + " " + std::to_string(row[1]) + " " +
         std::to_string(row[2]) + " " + std::to_string(row[3]) + "]";
}

TEST(HostSimNeighbourReference, RandomMeshesMatchTheContract) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 300; ++round) {
    // From crowded (3 points) to sparse (60 points); up to 120 polygons.
    const int32_t pointCount = 3 + int32_t(random() % 58);
    const int32_t polygonCount = 1 + int32_t(random() % 120);
    std::uniform_int_distribution<int32_t> corner(-1, pointCount);  // one step outside each end
    std::vector<Polygon> polygons;
    for (int32_t i = 0; i < polygonCount; ++i) {
      Polygon p = {corner(random), corner(random), corner(random), corner(random)};
      if (random() % 3 == 0) p.d = p.c;  // a triangle
      polygons.push_back(p);
    }
    hostsim::SimSelection selection;
    if (random() % 4 == 0) {
      selection.segments.push_back({0, polygonCount - 1});
    } else {
      for (int k = 0, n = 1 + int(random() % 5); k < n; ++k) {
        const int32_t first = int32_t(random() % uint32_t(polygonCount + 4)) - 2;
        selection.segments.push_back({first, first + int32_t(random() % 40) - 5});
      }
    }

    const Table expected = ReferenceTable(pointCount, polygons, selection);
    const Table seen = hostsim::NeighbourTable(pointCount, polygons, &selection);
    ASSERT_EQ(seen.size(), expected.size()) << "round " << round;
    for (size_t i = 0; i < seen.size(); ++i)
      ASSERT_EQ(seen[i], expected[i]) << "round " << round << ", polygon " << i << ": expected "
                                      << Row(expected[i]) << ", seen " << Row(seen[i]);
  }
}

// A fan of 40 triangles around point 0, closed into a ring, plus a second
// layer on the same sides: point 0 starts 80 sides, more than the small
// buckets hold, and every spoke carries two or four polygons.
TEST(HostSimNeighbourReference, ManySidesOnOnePointMatchTheContract) {
  const int32_t spokes = 40;
  std::vector<Polygon> polygons;
  for (int layer = 0; layer < 2; ++layer)
    for (int32_t k = 0; k < spokes; ++k) {
      const int32_t next = 1 + (k + 1) % spokes;
      polygons.push_back(layer == 0 ? Polygon{0, 1 + k, next, next} : Polygon{next, 0, 1 + k, 1 + k});
    }
  hostsim::SimSelection selection;
  selection.segments.push_back({0, int32_t(polygons.size()) - 1});
  const Table expected = ReferenceTable(spokes + 1, polygons, selection);
  const Table seen = hostsim::NeighbourTable(spokes + 1, polygons, &selection);
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < seen.size(); ++i)
    EXPECT_EQ(seen[i], expected[i]) << "polygon " << i << ": expected " << Row(expected[i])
                                    << ", seen " << Row(seen[i]);
}

}  // namespace
