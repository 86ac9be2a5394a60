// The neighbour service: a table linking the selected polygons across their
// shared sides, built in time linear in polygons and points (the sides are
// bucketed by their lower point with a counting sort, then grouped by their
// higher point within each small bucket). The contract is written down in
// hostsim.h.
#include <time.h>

#include <algorithm>
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

// The records of the table freed last, kept for a following build over the
// same number of polygons (a command run again on the same object): its
// pages are then already mapped. Only an exact size is reused, so that
// AddressSanitizer still sees a read past the table's end.
std::unique_ptr<NeighbourRecord[]> spareRecords;
int32_t spareCount = -1;
uint64_t buildCpuNanoseconds = 0;

// The calling thread's processor time: unlike the wall clock it does not
// count the time other processes of a loaded machine held the core.
uint64_t ThreadCpuNanoseconds() {
  timespec now;
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0;
  return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

// The point pairs (low, high) of a polygon's sides that can link, with the
// side numbers; returns how many. A side links nothing when the polygon has
// no such side (a triangle's fourth), names the same point twice or has a
// corner outside the points. Side j runs from corner j to corner j + 1; a
// triangle (c == d) closes with c-a.
inline int LinkableSides(const Polygon& p, int32_t pointCount, uint32_t low[4], uint32_t high[4],
                         uint32_t side[4]) {
  const bool triangle = p.c == p.d;
  const int32_t from[4] = {p.a, p.b, p.c, p.d};
  const int32_t to[4] = {p.b, p.c, triangle ? p.a : p.d, p.a};
  const int sides = triangle ? 3 : 4;
  int n = 0;
  for (int j = 0; j < sides; ++j) {
    const int32_t f = from[j], t = to[j];
    if (f == t || f < 0 || t < 0 || f >= pointCount || t >= pointCount) continue;
    low[n] = uint32_t(f < t ? f : t);
    high[n] = uint32_t(f < t ? t : f);
    side[n] = uint32_t(j);
    ++n;
  }
  return n;
}

// The polygons of the host's own arrays can be fewer than a hostile reported
// count: only those are read.
int32_t ReadablePolygons(const Polygon* polygons, int32_t count) {
  for (const auto& object : S().objects)
    if (object->polygons.data.get() == polygons)
      return int32_t(std::min<size_t>(size_t(count), object->polygons.size));
  return count;
}

// One side within its low point's bucket: its id (4 * polygon + side) and
// its high point.
using BucketEntry = State::SideEntry;

// Links the polygons of one shared side. run holds the sides on one point
// pair in ascending id (so polygon) order; the distinct polygons form a
// ring, each naming the next, the last naming the first. A polygon with the
// side twice is one member of the ring (its sides are adjacent in run).
void LinkRing(const BucketEntry* run, size_t n, NeighbourRecord* records) {
  const uint32_t firstPolygon = run[0].side / 4;
  if (run[n - 1].side / 4 == firstPolygon) return;  // one polygon alone
  for (size_t x = 0; x < n; ++x) {
    const uint32_t polygon = run[x].side / 4;
    size_t next = x + 1;
    while (next < n && run[next].side / 4 == polygon) ++next;
    const uint32_t across = next < n ? run[next].side / 4 : firstPolygon;
    records[polygon].adjacency.neighbours[run[x].side % 4] = int32_t(across);
  }
}

// Buckets up to this size are grouped by an insertion sort in place; an
// ordinary mesh point starts only a handful of sides.
constexpr size_t kSmallBucket = 16;

// Groups one low point's bucket (ascending side ids) by high point, keeping
// the id order within each group, and links every group.
void LinkBucket(BucketEntry* bucket, size_t n, NeighbourRecord* records) {
  if (n < 2) return;
  if (n <= kSmallBucket) {
    // Stable: an entry moves only past entries with a higher high point.
    for (size_t i = 1; i < n; ++i) {
      const BucketEntry entry = bucket[i];
      size_t k = i;
      while (k > 0 && bucket[k - 1].high > entry.high) {
        bucket[k] = bucket[k - 1];
        --k;
      }
      bucket[k] = entry;
    }
  } else {
    // A point shared by many sides (a fan, a pole): n log n for this bucket.
    std::stable_sort(bucket, bucket + n,
                     [](const BucketEntry& l, const BucketEntry& r) { return l.high < r.high; });
  }
  size_t start = 0;
  while (start < n) {
    size_t end = start + 1;
    while (end < n && bucket[end].high == bucket[start].high) ++end;
    if (end - start > 1) LinkRing(bucket + start, end - start, records);
    start = end;
  }
}

}  // namespace

// Fills records[0 .. count) for polygons[0 .. readable); false when the
// scratch memory would exceed the host's allocation cap.
//
// The linkable sides are bucketed by their low point with a counting sort
// (ascending ids within a bucket, since the polygons are read in order);
// within a bucket, sides with the same high point are the polygons on one
// shared side. Time: linear in polygons and points for meshes whose points
// start a bounded number of sides.
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

  uint32_t low[4], high[4], side[4];
  // Sides that can link, and the highest point they use (sizes the counts).
  size_t sides = 0;
  uint32_t top = 0;
  for (int32_t i = 0; i < readable; ++i) {
    if (!selected[size_t(i)]) continue;
    const int n = LinkableSides(polygons[i], pointCount, low, high, side);
    for (int k = 0; k < n; ++k) top = std::max(top, high[k]);
    sides += size_t(n);
  }
  if (sides == 0) return true;
  uint64_t scratch = (uint64_t(top) + 2) * 4 + uint64_t(sides) * sizeof(BucketEntry);
  if (scratch > s.allocationCap) return false;

  // counts[p + 1] counts the sides whose low point is p; after the prefix
  // sum counts[p] is where p's bucket starts.
  std::vector<uint32_t>& counts = s.scratchCounts;
  counts.assign(size_t(top) + 2, 0);
  for (int32_t i = 0; i < readable; ++i) {
    if (!selected[size_t(i)]) continue;
    const int n = LinkableSides(polygons[i], pointCount, low, high, side);
    for (int k = 0; k < n; ++k) ++counts[low[k] + 1];
  }
  for (size_t k = 1; k < counts.size(); ++k) counts[k] += counts[k - 1];
  std::vector<BucketEntry>& entries = s.scratchEntries;
  entries.resize(sides);
  for (int32_t i = 0; i < readable; ++i) {
    if (!selected[size_t(i)]) continue;
    const int n = LinkableSides(polygons[i], pointCount, low, high, side);
    for (int k = 0; k < n; ++k) entries[counts[low[k]]++] = {uint32_t(i) * 4 + side[k], high[k]};
  }
  // Now counts[p] is where p's bucket ends, and the next bucket begins.
  uint32_t begin = 0;
  for (uint32_t p = 0; p <= top; ++p) {
    const uint32_t end = counts[p];
    LinkBucket(entries.data() + begin, end - begin, records);
    begin = end;
  }
  return true;
}

HostAdjacency* AdjacencyBuildCell(int32_t pointCount, const Polygon* polygons, int32_t polygonCount,
                                  HostSelection* selection) {
  Record(Op::AdjacencyBuild, {pointCount, P(polygons), polygonCount, P(selection)});
  if (ShouldFail(Op::AdjacencyBuild)) return nullptr;
  auto started = std::chrono::steady_clock::now();
  const uint64_t cpuStarted = ThreadCpuNanoseconds();
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
  if (spareCount == count && spareRecords != nullptr) {
    table->records = std::move(spareRecords);
  } else {
    table->records.reset(new NeighbourRecord[size_t(count)]);
  }
  spareRecords.reset();
  int32_t readable = polygons == nullptr ? 0 : ReadablePolygons(polygons, count);
  if (!BuildNeighbours(pointCount, polygons, readable, count, sel, table->records.get()))
    return nullptr;
  for (const auto& [polygon, entries] : s.neighbourOverrides) {
    if (polygon < 0 || polygon >= count) continue;
    std::memcpy(table->records[size_t(polygon)].adjacency.neighbours, entries.data(), 16);
  }
  SimAdjacency* handle = table.get();
  s.adjacencies[handle] = std::move(table);
  buildCpuNanoseconds += ThreadCpuNanoseconds() - cpuStarted;
  buildNanoseconds += uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - started)
                                   .count());
  return reinterpret_cast<HostAdjacency*>(handle);
}

void AdjacencyFreeCell(HostAdjacency* table) {
  Record(Op::AdjacencyFree, {P(table)});
  if (table == nullptr) return;  // accepted and ignored
  if (S().lastAdjacency == reinterpret_cast<const SimAdjacency*>(table)) S().lastAdjacency = nullptr;
  auto found = S().adjacencies.find(table);
  if (found == S().adjacencies.end()) {
    Violation("AdjacencyFree of " + Hex(table) + ", which AdjacencyBuild did not hand out (or freed twice)");
    return;
  }
  spareRecords = std::move(found->second->records);
  spareCount = found->second->count;
  S().adjacencies.erase(found);
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
uint64_t AdjacencyBuildCpuNanoseconds() { return buildCpuNanoseconds; }
void ResetAdjacencyTimer() { buildNanoseconds = buildCpuNanoseconds = 0; }
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
