// Runs the flatten command of a module on meshes in the stand-in host, as a
// host application does: dlopen, action 1 with the module's path, message 1,
// action 2, the registered record, and per mesh QueryState and Execute
// through the record's forwarders; then release, action 3 and dlclose. The
// stand-in host checks the module's every call on the way.
#pragma once

#include <string>
#include <vector>

#include "tools/mesh.h"
#include "tools/regions.h"
#include "tools/selection.h"

namespace runner {

struct Job {
  std::string name;  // for messages and the report
  const Mesh* mesh;
  Matrix matrix;
  std::vector<Segment> segments;
};

struct JobResult {
  std::vector<Vector> points;  // after Execute
  NeighbourTable neighbours;   // the host's table over the job's selection
  double executeSeconds = 0;
  double neighbourSeconds = 0;  // the host's neighbour build within Execute
  bool undoChecked = false;     // undone, and every point came back bit for bit
};

struct ModuleRunResult {
  double startSeconds = 0;  // dlopen, action 1, message 1, action 2
  std::vector<JobResult> jobs;
};

// The module beside the running executable: "<folder of /proc/self/exe>/flatten.so".
std::string DefaultModulePath();

// The module path as the host hands it over: absolute, so that the module's
// folder is known and dlopen never searches the library path for it.
std::string AbsoluteModulePath(const std::string& path);

// Throws Failure (kExitInput) when the module file cannot be read: a usage
// error, found before any input is loaded.
void CheckModuleFile(const std::string& modulePath);

// Throws Failure: kExitInput when the module file does not exist,
// kExitModuleFailed for everything the module does wrong.
ModuleRunResult RunModule(const std::string& modulePath, const std::vector<Job>& jobs,
                          bool checkUndo);

}  // namespace runner
