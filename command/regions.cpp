// Depth-first pre-order without recursion. A recursive visit would keep, per
// open polygon, its record and the next edge; the stack keeps exactly that
// in one word, so the list and the marks come out as the recursive visit
// gives them while the depth costs heap instead of thread stack.
#include "command/regions.h"

namespace {

const RegionStackEntry kEdgeBits = 3;

static_assert(alignof(PolygonAdjacency) >= 4, "records leave two low address bits free");

// Marks p and appends it; returns p's stack entry at edge 0, or 0 when p has
// nothing to follow.
RegionStackEntry Visit(IndexList* region, int32_t p, const Neighbor& neighbors, int32_t* marks) {
  marks[p] = 1;
  // A failed append is not an error: p stays out of the list but marked, so
  // it is neither flattened nor used as a seed later.
  region->Append(p);
  const RegionStackEntry record =
      reinterpret_cast<RegionStackEntry>(neighbors.AdjacencyOf(p));
  // A null or misaligned record from the host reads as "no neighbours":
  // there is nothing safe to read behind it.
  if (record == 0 || (record & kEdgeBits) != 0) return 0;
  return record;
}

}  // namespace

void CollectRegion(IndexList* region, int32_t seed, const Neighbor& neighbors, int32_t* marks,
                   int32_t polygonCount, RegionStackEntry* stack) {
  region->Clear();
  if (marks[seed] != 0) return;

  int32_t depth = 0;
  RegionStackEntry entry = Visit(region, seed, neighbors, marks);
  if (entry != 0) stack[depth++] = entry;

  while (depth > 0) {
    const RegionStackEntry top = stack[depth - 1];
    const RegionStackEntry edge = top & kEdgeBits;
    const PolygonAdjacency* record = reinterpret_cast<const PolygonAdjacency*>(top & ~kEdgeBits);
    // The entry is read when its turn comes, after the visits through the
    // earlier edges: a polygon reached meanwhile is marked and skipped.
    const int32_t q = record->neighbours[edge];
    // After edge 3 nothing of this polygon remains open.
    if (edge == 3) {
      --depth;
    } else {
      stack[depth - 1] = top + 1;
    }
    // -1 means no neighbour. Any other entry outside [0, polygonCount) is a
    // host fault and is treated the same way, so marks is never indexed
    // outside its range.
    if (static_cast<uint32_t>(q) >= static_cast<uint32_t>(polygonCount)) continue;
    if (marks[q] != 0) continue;
    // Each polygon is pushed at most once (it is marked here), so depth stays
    // below polygonCount.
    entry = Visit(region, q, neighbors, marks);
    if (entry != 0) stack[depth++] = entry;
  }
}
