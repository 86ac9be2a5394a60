// The neighbour service: a table linking the selected polygons across their
// shared sides, built in time linear in polygons and points (the sides are
// grouped by a two-pass counting sort on their point pair). The contract is
// written down in hostsim.h.
#include <chrono>
#include <cstring>

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {
namespace {

// Largest polygon count the host serves: side ids are 4 * polygon + side in
// 32 bits.
constexpr int64_t kMaxPolygons = int64_t(1) << 29;

uint64_t buildNanoseconds = 0;

// The two corners of side j, or false when the side has none (a triangle's
// fourth side).
inline bool SideCorners(const Polygon& p, int j, int32_t* from, int32_t* to) {
  bool triangle = p.c == p.d;
  switch (j) {
    case 0: *from = p.a, *to = p.b; return true;
    case 1: *from = p.b, *to = p.c; return true;
    case 2:
      if (triangle) *from = p.c, *to = p.a;
      else *from = p.c, *to = p.d;
      return true;
    default:
      if (triangle) return false;
      *from = p.d, *to = p.a;
      return true;
  }
}

// The side's point pair (low, high), or false when it links nothing:
// no side, the same point twice, or a corner outside the points.
inline bool SideKey(const Polygon& p, int j, int32_t pointCount, uint32_t* low, uint32_t* high) {
  int32_t from, to;
  if (!SideCorners(p, j, &from, &to)) return false;
  if (from == to || from < 0 || to < 0 || from >= pointCount || to >= pointCount) return false;
  *low = uint32_t(from < to ? from : to);
  *high = uint32_t(from < to ? to : from);
  return true;
}

// The polygons of the host's own arrays can be fewer than a hostile reported
// count: only those are read.
int32_t ReadablePolygons(const Polygon* polygons, int32_t count) {
  for (const auto& object : S().objects)
    if (object->polygons.data.get() == polygons)
      return int32_t(std::min<size_t>(size_t(count), object->polygons.size));
  return count;
}

}  // namespace

// Fills records[0 .. count) for polygons[0 .. readable); false when the
// scratch memory would exceed the host's allocation cap.
bool BuildNeighbours(int32_t pointCount, const Polygon* polygons, int32_t readable, int32_t count,
                     const SimSelection* selection, NeighbourRecord* records) {
  for (int32_t i = 0; i < count; ++i) {
    NeighbourRecord& r = records[i];
    r.adjacency.neighbours[0] = r.adjacency.neighbours[1] = -1;
    r.adjacency.neighbours[2] = r.adjacency.neighbours[3] = -1;
    r.polygon = i;
    r.sideCount = i < readable ? (polygons[i].c == polygons[i].d ? 3 : 4) : 0;
  }
  if (readable <= 0 || pointCount <= 0) return true;

  State& s = S();
  std::vector<uint8_t>& selected = s.scratchSelected;
  selected.assign(size_t(readable), selection == nullptr ? 1 : 0);
  if (selection != nullptr) {
    // Segments as +1/-1 marks at their clamped ends: linear however many
    // overlapping segments a hostile selection holds.
    std::vector<int32_t>& marks = s.scratchMarks;
    marks.assign(size_t(readable) + 1, 0);
    for (const auto& [first, last] : selection->segments) {
      int64_t from = std::max<int64_t>(first, 0);
      int64_t to = std::min<int64_t>(last, int64_t(readable) - 1);
      if (from > to) continue;
      ++marks[size_t(from)];
      --marks[size_t(to) + 1];
    }
    int64_t depth = 0;  // 64 bits: any number of segments
    for (int32_t i = 0; i < readable; ++i) {
      depth += marks[size_t(i)];
      selected[size_t(i)] = depth > 0 ? 1 : 0;
    }
  }

  // Sides that can link, and the highest point they use (sizes the counts).
  size_t sides = 0;
  uint32_t top = 0;
  for (int32_t i = 0; i < readable; ++i) {
    if (!selected[size_t(i)]) continue;
    for (int j = 0; j < 4; ++j) {
      uint32_t low, high;
      if (!SideKey(polygons[i], j, pointCount, &low, &high)) continue;
      ++sides;
      top = std::max(top, high);
    }
  }
  if (sides == 0) return true;
  uint64_t scratch = (uint64_t(top) + 2) * 4 + uint64_t(sides) * 8;
  if (scratch > s.allocationCap) return false;

  std::vector<uint32_t>& counts = s.scratchCounts;
  std::vector<uint32_t>& byHigh = s.scratchByHigh;
  std::vector<uint32_t>& sorted = s.scratchSorted;
  counts.assign(size_t(top) + 2, 0);
  byHigh.resize(sides);
  sorted.resize(sides);
  auto forEachSide = [&](auto&& visit) {
    for (int32_t i = 0; i < readable; ++i) {
      if (!selected[size_t(i)]) continue;
      for (int j = 0; j < 4; ++j) {
        uint32_t low, high;
        if (SideKey(polygons[i], j, pointCount, &low, &high)) visit(uint32_t(i) * 4 + j, low, high);
      }
    }
  };
  // The point pair of a side already known to link, as one comparable key.
  auto keyOf = [&](uint32_t side) {
    uint32_t low = 0, high = 0;
    SideKey(polygons[side / 4], int(side % 4), pointCount, &low, &high);
    return uint64_t(low) << 32 | high;
  };

  // Pass 1: by high point, in ascending side order.
  forEachSide([&](uint32_t, uint32_t, uint32_t high) { ++counts[high + 1]; });
  for (size_t k = 1; k < counts.size(); ++k) counts[k] += counts[k - 1];
  forEachSide([&](uint32_t side, uint32_t, uint32_t high) { byHigh[counts[high]++] = side; });
  // Pass 2: stable by low point; equal pairs end up adjacent, in ascending
  // side (and so polygon) order.
  std::fill(counts.begin(), counts.end(), 0);
  for (uint32_t side : byHigh) ++counts[(keyOf(side) >> 32) + 1];
  for (size_t k = 1; k < counts.size(); ++k) counts[k] += counts[k - 1];
  for (uint32_t side : byHigh) sorted[counts[keyOf(side) >> 32]++] = side;

  // Each run of equal pairs is one shared side; its distinct polygons form a
  // ring in ascending order.
  size_t start = 0;
  while (start < sides) {
    uint64_t key = keyOf(sorted[start]);
    size_t end = start + 1;
    while (end < sides && keyOf(sorted[end]) == key) ++end;
    uint32_t firstPolygon = sorted[start] / 4;
    if (sorted[end - 1] / 4 != firstPolygon) {  // at least two polygons on it
      for (size_t x = start; x < end; ++x) {
        uint32_t polygon = sorted[x] / 4;
        size_t next = x + 1;
        while (next < end && sorted[next] / 4 == polygon) ++next;
        uint32_t across = next < end ? sorted[next] / 4 : firstPolygon;
        records[polygon].adjacency.neighbours[sorted[x] % 4] = int32_t(across);
      }
    }
    start = end;
  }
  return true;
}

HostAdjacency* AdjacencyBuildCell(int32_t pointCount, const Polygon* polygons, int32_t polygonCount,
                                  HostSelection* selection) {
  Record(Op::AdjacencyBuild, {pointCount, P(polygons), polygonCount, P(selection)});
  if (ShouldFail(Op::AdjacencyBuild)) return nullptr;
  auto started = std::chrono::steady_clock::now();
  State& s = S();
  const SimSelection* sel = reinterpret_cast<const SimSelection*>(selection);
  if (sel != nullptr) {
    bool live = false;
    for (const auto& object : s.objects) live = live || &object->selection == sel;
    if (!live) {
      Violation("AdjacencyBuild with " + Hex(selection) + ", which is no selection of the host");
      return nullptr;
    }
  }
  int32_t count = polygonCount > 0 ? polygonCount : 0;
  if (polygons == nullptr && count > 0) {
    Violation("AdjacencyBuild with a null polygon array and " + std::to_string(count) + " polygons");
    return nullptr;
  }
  if (count > kMaxPolygons || uint64_t(count) * sizeof(NeighbourRecord) > s.allocationCap)
    return nullptr;
  auto table = std::make_unique<SimAdjacency>();
  table->count = count;
  table->records.reset(new NeighbourRecord[size_t(count)]);
  int32_t readable = polygons == nullptr ? 0 : ReadablePolygons(polygons, count);
  if (!BuildNeighbours(pointCount, polygons, readable, count, sel, table->records.get()))
    return nullptr;
  for (const auto& [polygon, entries] : s.neighbourOverrides) {
    if (polygon < 0 || polygon >= count) continue;
    std::memcpy(table->records[size_t(polygon)].adjacency.neighbours, entries.data(), 16);
  }
  SimAdjacency* handle = table.get();
  s.adjacencies[handle] = std::move(table);
  buildNanoseconds += uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - started)
                                   .count());
  return reinterpret_cast<HostAdjacency*>(handle);
}

void AdjacencyFreeCell(HostAdjacency* table) {
  Record(Op::AdjacencyFree, {P(table)});
  if (table == nullptr) return;  // accepted and ignored
  if (S().lastAdjacency == reinterpret_cast<const SimAdjacency*>(table)) S().lastAdjacency = nullptr;
  if (S().adjacencies.erase(table) == 0)
    Violation("AdjacencyFree of " + Hex(table) + ", which AdjacencyBuild did not hand out (or freed twice)");
}

const PolygonAdjacency* AdjacencyPolygonInfoCell(HostAdjacency* table, int32_t polygon) {
  Record(Op::AdjacencyPolygonInfo, {P(table), polygon});
  // Called once per polygon the module visits: the last table is remembered.
  State& s = S();
  const SimAdjacency* adjacency = s.lastAdjacency;
  if (adjacency == nullptr || adjacency != reinterpret_cast<const SimAdjacency*>(table)) {
    auto found = s.adjacencies.find(table);
    if (found == s.adjacencies.end()) {
      Violation("AdjacencyPolygonInfo on " + Hex(table) + ", which is no live neighbour table");
      return nullptr;
    }
    adjacency = s.lastAdjacency = found->second.get();
  }
  // Outside the table: null, which the module must cope with.
  if (polygon < 0 || polygon >= adjacency->count) return nullptr;
  return &adjacency->records[size_t(polygon)].adjacency;
}

}  // namespace detail

using namespace detail;

void OverrideNeighbours(int32_t polygon, std::array<int32_t, 4> entries) {
  S().neighbourOverrides[polygon] = entries;
}

void ClearNeighbourOverrides() { S().neighbourOverrides.clear(); }
uint64_t AdjacencyBuildNanoseconds() { return buildNanoseconds; }
void ResetAdjacencyTimer() { buildNanoseconds = 0; }
size_t LiveAdjacencyCount() { return S().adjacencies.size(); }

std::vector<std::array<int32_t, 4>> NeighbourTable(int32_t pointCount,
                                                   const std::vector<Polygon>& polygons,
                                                   const SimSelection* selection) {
  int32_t count = int32_t(polygons.size());
  std::vector<NeighbourRecord> records(polygons.size());
  if (!BuildNeighbours(pointCount, polygons.data(), count, count, selection, records.data()))
    return {};
  std::vector<std::array<int32_t, 4>> result;
  for (const NeighbourRecord& r : records) {
    std::array<int32_t, 4> entries;
    std::memcpy(entries.data(), r.adjacency.neighbours, 16);
    result.push_back(entries);
  }
  return result;
}

}  // namespace hostsim
