// Keeps a copy of the neighbour table the module builds during Execute, so
// that the report's regions come from exactly the table the command walked,
// without building it a second time. The runner wraps the stand-in host's
// AdjacencyBuild and AdjacencyFree cells: the module's calls reach the host
// unchanged, and just before the module frees the table it built, the
// runner reads its records through the host's own AdjacencyPolygonInfo.
#pragma once

#include <cstdint>

#include "tools/regions.h"

namespace runner {

class NeighbourCapture {
 public:
  NeighbourCapture();   // installs the wrappers
  ~NeighbourCapture();  // puts the host's cells back
  NeighbourCapture(const NeighbourCapture&) = delete;
  NeighbourCapture& operator=(const NeighbourCapture&) = delete;

  // The next table the module frees has records for polygonCount polygons.
  void Expect(int32_t polygonCount);
  // True when a table was copied since Expect.
  bool Captured() const { return captured_; }
  NeighbourTable Take();
  // Time spent copying, which lies within the Execute call.
  double Seconds() const { return seconds_; }

 private:
  static NeighbourCapture* active_;
  static HostAdjacency* Build(int32_t pointCount, const Polygon* polygons, int32_t polygonCount,
                              HostSelection* selection);
  static void Free(HostAdjacency* table);

  HostAdjacency* (*hostBuild_)(int32_t, const Polygon*, int32_t, HostSelection*) = nullptr;
  void (*hostFree_)(HostAdjacency*) = nullptr;
  HostAdjacency* built_ = nullptr;  // the table the module built last and has not freed
  int32_t expected_ = 0;
  bool captured_ = false;
  double seconds_ = 0;
  NeighbourTable table_;
};

}  // namespace runner
