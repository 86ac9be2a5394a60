#include "tools/regions.h"

#include <cstring>

#include "tools/plane_distance.h"

namespace runner {

Regions CollectRegions(const NeighbourTable& table, const std::vector<Segment>& segments) {
  Regions regions;
  regions.starts.push_back(0);
  const size_t count = table.size();
  std::vector<uint8_t> visited(count, 0);
  struct Open {
    int32_t polygon;
    int edge;  // the next edge to follow
  };
  std::vector<Open> stack;
  auto visit = [&](int32_t p) {
    visited[size_t(p)] = 1;
    regions.polygons.push_back(p);
    stack.push_back(Open{p, 0});
  };
  for (const Segment& segment : segments) {
    for (int64_t i = segment.first; i <= segment.second; ++i) {
      if (i < 0 || size_t(i) >= count || visited[size_t(i)]) continue;
      visit(int32_t(i));
      while (!stack.empty()) {
        Open& top = stack.back();
        if (top.edge == 4) {
          stack.pop_back();
          continue;
        }
        int32_t q = table[size_t(top.polygon)][size_t(top.edge++)];
        if (q >= 0 && size_t(q) < count && !visited[size_t(q)]) visit(q);
      }
      regions.starts.push_back(regions.polygons.size());
    }
  }
  return regions;
}

namespace {

Point3 World(const Matrix& m, const Vector& p) {
  return Point3{double(m.offset.x) + p.x * double(m.axisX.x) + p.y * double(m.axisY.x) +
                    p.z * double(m.axisZ.x),
                double(m.offset.y) + p.x * double(m.axisX.y) + p.y * double(m.axisY.y) +
                    p.z * double(m.axisZ.y),
                double(m.offset.z) + p.x * double(m.axisX.z) + p.y * double(m.axisY.z) +
                    p.z * double(m.axisZ.z)};
}

}  // namespace

std::vector<RegionReport> MeasureRegions(const Regions& regions, const std::vector<Polygon>& polygons,
                                         const std::vector<Vector>& before,
                                         const std::vector<Vector>& after, const Matrix& matrix) {
  std::vector<RegionReport> reports;
  reports.reserve(regions.Count());
  // stamp[point] == r + 1: the point is already a member of region r.
  std::vector<uint32_t> stamp(before.size(), 0);
  std::vector<int32_t> members;
  for (size_t r = 0; r < regions.Count(); ++r) {
    RegionReport report;
    report.seed = regions.polygons[regions.starts[r]];
    report.polygons = int64_t(regions.starts[r + 1] - regions.starts[r]);
    const uint32_t mark = uint32_t(r + 1);
    members.clear();
    for (size_t k = regions.starts[r]; k < regions.starts[r + 1]; ++k) {
      const Polygon& p = polygons[size_t(regions.polygons[k])];
      for (int32_t corner : {p.a, p.b, p.c, p.d}) {
        if (corner < 0 || size_t(corner) >= before.size() || stamp[size_t(corner)] == mark) continue;
        stamp[size_t(corner)] = mark;
        members.push_back(corner);
      }
    }
    for (int32_t point : members)
      if (std::memcmp(&before[size_t(point)], &after[size_t(point)], sizeof(Vector)) != 0)
        ++report.pointsMoved;
    report.points = int64_t(members.size());
    report.distanceBefore = MaxPlaneDistance(
        members.size(), [&](size_t i) { return World(matrix, before[size_t(members[i])]); });
    report.distanceAfter = MaxPlaneDistance(
        members.size(), [&](size_t i) { return World(matrix, after[size_t(members[i])]); });
    reports.push_back(report);
  }
  return reports;
}

}  // namespace runner
