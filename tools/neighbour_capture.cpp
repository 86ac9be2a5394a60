#include "tools/neighbour_capture.h"

#include <chrono>

#include "hostsim/hostsim.h"

namespace runner {

NeighbourCapture* NeighbourCapture::active_ = nullptr;

NeighbourCapture::NeighbourCapture() {
  AdjacencyTable* cells = hostsim::Table()->adjacency;
  hostBuild_ = cells->AdjacencyBuild;
  hostFree_ = cells->AdjacencyFree;
  cells->AdjacencyBuild = &Build;
  cells->AdjacencyFree = &Free;
  active_ = this;
}

NeighbourCapture::~NeighbourCapture() {
  AdjacencyTable* cells = hostsim::Table()->adjacency;
  cells->AdjacencyBuild = hostBuild_;
  cells->AdjacencyFree = hostFree_;
  active_ = nullptr;
}

void NeighbourCapture::Expect(int32_t polygonCount) {
  expected_ = polygonCount;
  captured_ = false;
  seconds_ = 0;
  table_.clear();
}

NeighbourTable NeighbourCapture::Take() {
  captured_ = false;
  return std::move(table_);
}

HostAdjacency* NeighbourCapture::Build(int32_t pointCount, const Polygon* polygons,
                                       int32_t polygonCount, HostSelection* selection) {
  HostAdjacency* table = active_->hostBuild_(pointCount, polygons, polygonCount, selection);
  active_->built_ = table;
  return table;
}

void NeighbourCapture::Free(HostAdjacency* table) {
  NeighbourCapture& self = *active_;
  // Only a live table the module built is read: anything else goes to the
  // host untouched, which judges it.
  if (table != nullptr && table == self.built_) {
    auto start = std::chrono::steady_clock::now();
    auto info = hostsim::Table()->adjacency->AdjacencyPolygonInfo;
    self.table_.resize(size_t(self.expected_ > 0 ? self.expected_ : 0));
    for (int32_t i = 0; i < self.expected_; ++i) {
      const PolygonAdjacency* record = info(table, i);
      for (int j = 0; j < 4; ++j)
        self.table_[size_t(i)][size_t(j)] = record != nullptr ? record->neighbours[j] : -1;
    }
    self.captured_ = true;
    self.built_ = nullptr;
    self.seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  self.hostFree_(table);
}

}  // namespace runner
