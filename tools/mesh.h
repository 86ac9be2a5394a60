// The polygon mesh the runner hands to the stand-in host: points, polygons
// in file order (a triangle has c == d), and the OBJ groups by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_types.h"

namespace runner {

struct MeshGroup {
  std::string name;
  std::vector<int32_t> polygons;  // ascending, each once
};

struct Mesh {
  std::vector<Vector> points;
  std::vector<Polygon> polygons;
  std::vector<MeshGroup> groups;  // in order of first appearance
};

// The identity: offset 0 and the three unit axes.
inline Matrix IdentityMatrix() { return Matrix{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}; }

}  // namespace runner
