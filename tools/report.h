// The runner's report: per run its regions (polygons, points moved, flatness
// before and after), totals and times; as text or as one JSON object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mesh.h"
#include "tools/regions.h"

namespace runner {

struct RunReport {
  std::string name;
  size_t points = 0;
  size_t polygons = 0;
  int64_t selected = 0;
  size_t segments = 0;
  Matrix matrix = IdentityMatrix();
  std::vector<RegionReport> regions;
  bool undoChecked = false;
};

struct Report {
  std::string input;   // empty: the demo mesh
  std::string module;
  std::string output;  // empty: nothing written
  std::vector<RunReport> runs;
  double loadSeconds = 0;
  double startSeconds = 0;      // the module's load, start-up and registration
  double executeSeconds = 0;    // all Execute calls
  double neighbourSeconds = 0;  // the stand-in host's neighbour builds within them
  double writeSeconds = 0;
};

// Text for people on stdout; regions beyond a screenful are summarised.
void PrintText(const Report& report);
// The same as one JSON object on stdout, every region listed.
void PrintJson(const Report& report);

}  // namespace runner
