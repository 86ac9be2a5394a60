// Region collection: gathers the connected piece of the selection that a
// seed polygon belongs to, as the neighbour table links it.
#pragma once

#include <stdint.h>

#include "geometry/index_list.h"
#include "geometry/neighbor.h"

// One word of the collection's explicit stack: the address of an open
// polygon's neighbour record with the next edge to examine (0 to 3) in its
// two low bits. Records are arrays of int32, so those bits are free.
typedef uintptr_t RegionStackEntry;

// Empties region, then lists in it, in depth-first pre-order with the
// neighbours followed in edge order 0 to 3, the seed and every unmarked
// polygon reachable from it; each is marked (marks[p] = 1) when visited.
// A polygon whose append fails stays marked and out of the list, and its
// neighbours are still followed.
//
// marks and stack hold polygonCount entries each; seed lies in
// [0, polygonCount). neighbors must hold a table. No recursion: the depth of
// stack never exceeds the number of polygons visited, so polygonCount
// entries always suffice.
void CollectRegion(IndexList* region, int32_t seed, const Neighbor& neighbors, int32_t* marks,
                   int32_t polygonCount, RegionStackEntry* stack);
