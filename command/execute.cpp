// Flatten::Execute, the run of the command. It acquires in a fixed order
// (neighbour table, visited marks, collection stack, undo step) and releases
// in reverse through one exit, so every way out leaves nothing behind.
#include <limits.h>
#include <string.h>

#include "command/flatten.h"
#include "command/plane_fit.h"
#include "command/regions.h"
#include "geometry/neighbor.h"
#include "host/constants.h"
#include "host/host.h"
#include "host/memory.h"

namespace {

// What one run works on, fetched from the active object.
struct RunGeometry {
  HostDocument* document;
  HostObject* object;
  HostSelection* selection;
  int32_t polygonCount;
  const Polygon* polygons;
  Vector* points;
  int32_t pointCount;
};

// Walks the selection segment by segment and flattens each region when its
// first member comes up. Runs inside the undo step. seedLimit is the number
// of polygons that may be seeded and visited: 0 when there is no polygon
// array or no neighbour table to look them up in.
void FlattenSelection(Flatten* command, const RunGeometry& run, const Neighbor& neighbors,
                      int32_t seedLimit, int32_t* marks, RegionStackEntry* stack) {
  const HostTable& host = Host();
  // A host that hands out no selection has nothing selected: there is no
  // segment to ask for.
  if (run.selection == nullptr) return;
  for (int32_t k = 0;; ++k) {
    int32_t first = 0;
    int32_t last = -1;
    if (host.selection->SelectionSegment(run.selection, k, &first, &last) == 0) break;
    // Indices outside [0, polygonCount) are skipped: the segment is clamped
    // to the polygons that exist, in 64 bits so that a segment reaching
    // INT_MAX ends instead of wrapping.
    const int64_t begin = first < 0 ? 0 : first;
    const int64_t end = last < seedLimit - 1 ? last : static_cast<int64_t>(seedLimit) - 1;
    for (int64_t i = begin; i <= end; ++i) {
      const int32_t seed = static_cast<int32_t>(i);
      if (marks[seed] != 0) continue;
      CollectRegion(&command->regionPolygons, seed, neighbors, marks, seedLimit, stack);
      FlattenRegion(run.object, run.polygons, run.points, run.pointCount,
                    command->regionPolygons);
      command->regionPolygons.Clear();
    }
    // A host that never ends its segments would otherwise overflow k.
    if (k == INT32_MAX) break;
  }
}

// Preparation and the undo bracket; false when the table, the marks or the
// stack cannot be had (then no undo step was opened).
int32_t RunWithTable(Flatten* command, const RunGeometry& run, Neighbor* neighbors,
                     const Polygon* tablePolygons) {
  const HostTable& host = Host();
  int32_t result = false;
  int32_t* marks = nullptr;
  RegionStackEntry* stack = nullptr;

  if (neighbors->Build(run.pointCount, tablePolygons, run.polygonCount, run.selection)) {
    // A negative count or a size that does not fit asks for SIZE_MAX, which
    // fails; a count of 0 still gets a (one-byte) block.
    marks = static_cast<int32_t*>(BlockAlloc(ArrayByteSize(run.polygonCount, sizeof(int32_t))));
  }
  if (marks != nullptr) {
    if (run.polygonCount > 0) memset(marks, 0, static_cast<size_t>(run.polygonCount) * sizeof *marks);
    // The collection stack needs at most one entry per polygon; taking it
    // here means a region can never run out of room once the undo step is
    // open.
    stack = static_cast<RegionStackEntry*>(
        BlockAlloc(ArrayByteSize(run.polygonCount, sizeof(RegionStackEntry))));
  }
  if (stack != nullptr) {
    // Without either polygon array, or without a table to look neighbours
    // up in, no polygon can be gathered: nothing is seeded and nothing moves,
    // but the step, the message and the signal still follow.
    const bool usable = run.polygons != nullptr && tablePolygons != nullptr &&
                        neighbors->handle != nullptr && run.polygonCount > 0;
    const int32_t seedLimit = usable ? run.polygonCount : 0;

    host.document->UndoBegin(run.document);
    host.document->UndoAdd(run.document, kUndoKindChange, run.object);
    FlattenSelection(command, run, *neighbors, seedLimit, marks, stack);
    host.document->UndoEnd(run.document);
    host.node->SendMessage(run.object, kMessagePointsChanged, nullptr);
    host.general->SignalChange(0);
    result = true;
  }

  BlockFree(stack);
  BlockFree(marks);
  return result;
}

}  // namespace

int32_t Flatten::Execute(HostDocument* document) {
  const HostTable& host = Host();
  host.general->CommandPreamble();
  HostObject* object = host.document->ActiveObjectOf(document);
  if (object == nullptr) return true;
  if (host.node->IsOfType(object, kPolygonObjectType) == 0) return true;

  RunGeometry run;
  run.document = document;
  run.object = object;
  run.selection = host.geometry->PolygonSelectionOf(object);
  run.polygonCount = host.geometry->TagDataCount(object, kPolygonTag);
  run.polygons = static_cast<const Polygon*>(host.geometry->TagDataReadable(object, kPolygonTag, 0));
  run.points = static_cast<Vector*>(host.geometry->TagDataWritable(object, kPointTag, 0));
  // The table is built over a second fetch of the polygon array, as the
  // host expects; the point count also bounds every corner index read later.
  const Polygon* tablePolygons =
      static_cast<const Polygon*>(host.geometry->TagDataReadable(object, kPolygonTag, 0));
  run.pointCount = host.geometry->TagDataCount(object, kPointTag);

  // The table is released when neighbors goes out of scope, after the marks
  // and the stack (released inside RunWithTable), on every path.
  Neighbor neighbors;
  return RunWithTable(this, run, &neighbors, tablePolygons);
}
