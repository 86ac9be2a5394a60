// The built-in demo: a bumpy grid, flattened in two runs: one patch with the
// object at the origin, another with the object tilted and moved, so that the
// report shows a flat result in world space for both.
#pragma once

#include <string>
#include <vector>

#include "tools/mesh.h"
#include "tools/selection.h"

namespace runner {

struct DemoRun {
  std::string name;
  Matrix matrix;
  std::vector<Segment> segments;
};

struct Demo {
  Mesh mesh;  // shared by both runs, each on its own object
  std::vector<DemoRun> runs;
};

Demo MakeDemo();

}  // namespace runner
