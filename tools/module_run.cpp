#include "tools/module_run.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "host/constants.h"
#include "hostsim/hostsim.h"
#include "hostsim/session.h"
#include "tools/failure.h"
#include "tools/neighbour_capture.h"

namespace runner {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string PointText(const Vector& p) {
  char text[96];
  std::snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", double(p.x), double(p.y), double(p.z));
  return text;
}

// What the stand-in host saw go wrong so far, as a note for a message.
std::string SeenByHost() {
  std::string first = hostsim::FirstViolation();
  return first.empty() ? std::string() : " (the stand-in host saw: " + first + ")";
}

// Undoes the run's step and compares every point with the input bit for bit.
void CheckUndo(hostsim::SimDocument* document, hostsim::SimObject* object, const Job& job) {
  if (!hostsim::Undo(document))
    throw ModuleError("--check-undo: the command left no closed undo step for " + job.name);
  std::vector<Vector> restored = hostsim::PointsOf(object);
  const std::vector<Vector>& original = job.mesh->points;
  if (restored.size() != original.size())
    throw ModuleError("--check-undo: after undo " + job.name + " has " +
                      std::to_string(restored.size()) + " points, it had " +
                      std::to_string(original.size()));
  size_t differing = 0, first = 0;
  for (size_t i = 0; i < original.size(); ++i) {
    if (std::memcmp(&restored[i], &original[i], sizeof(Vector)) == 0) continue;
    if (differing++ == 0) first = i;
  }
  if (differing > 0)
    throw ModuleError("--check-undo: undo left point " + std::to_string(first) + " of " + job.name +
                      " at " + PointText(restored[first]) + "; it was " +
                      PointText(original[first]) + " (" + std::to_string(differing) +
                      " points differ)");
}

class Driver {
 public:
  explicit Driver(const std::string& path) : session_(path), path_(path) {}

  ModuleRunResult Run(const std::vector<Job>& jobs, bool checkUndo) {
    ModuleRunResult result;
    Clock::time_point start = Clock::now();
    StartUp();
    result.startSeconds = SecondsSince(start);
    for (const Job& job : jobs) result.jobs.push_back(RunJob(job, checkUndo));
    ShutDown();
    CheckHost();
    return result;
  }

  // After a failure part way: end what was started, ignoring the answers.
  void Abandon() {
    if (registered_) session_.Release();
    if (started_) session_.End();
    session_.Unload();
  }

 private:
  void StartUp() {
    if (!session_.Load()) throw ModuleError(session_.Error());
    int32_t r = session_.Start();
    started_ = r == kResultOk;
    if (r == kResultRefusedHost)
      throw ModuleError(path_ + " refused the host: tarvik_main action 1 returned -3 for "
                        "interface version " + std::to_string(kInterfaceVersion));
    if (r != kResultOk)
      throw ModuleError(path_ + ": tarvik_main action 1 returned " + std::to_string(r) +
                        " (1 expected)");
    r = session_.Message(1);
    if (r != kResultOk)
      throw ModuleError(path_ + " could not load its resource (message 1 returned " +
                        std::to_string(r) + "); it reads " + hostsim::kResourceFile +
                        " in the module's folder");
    r = session_.PluginStart();
    registered_ = session_.Registered() != nullptr;
    if (r != kResultOk)
      throw ModuleError(path_ + ": registration failed (tarvik_main action 2 returned " +
                        std::to_string(r) + ")");
    const hostsim::RegisteredPlugin* plugin = session_.Registered();
    if (plugin == nullptr)
      throw ModuleError(path_ + " registered no command with id " + std::to_string(kCommandId));
    CommandPluginRecord record = plugin->Record();
    if (record.execute == nullptr || record.queryState == nullptr)
      throw ModuleError(path_ + ": the registered record has no " +
                        (record.execute == nullptr ? "Execute" : "QueryState") + " forwarder");
  }

  JobResult RunJob(const Job& job, bool checkUndo) {
    JobResult result;
    hostsim::SimDocument* document = hostsim::NewDocument();
    document->parameters[kEnablingParameter] = kEnablingParameterValue;
    hostsim::SimObject* object =
        hostsim::NewPolygonObject(job.mesh->points, job.mesh->polygons, job.segments);
    object->matrix = job.matrix;
    document->active = object;

    uint32_t state = uint32_t(session_.QueryState(document));
    if (state != kCommandStateEnabled)
      throw ModuleError("the command reports state " + Hex(state) + " for " + job.name +
                        ", not available (" + Hex(kCommandStateEnabled) +
                        "), although the document's parameter 1019 is 7");

    hostsim::ResetAdjacencyTimer();
    capture_.Expect(int32_t(job.mesh->polygons.size()));
    Clock::time_point start = Clock::now();
    int32_t ok = session_.Execute(document);
    result.executeSeconds = SecondsSince(start) - capture_.Seconds();
    result.neighbourSeconds = double(hostsim::AdjacencyBuildNanoseconds()) * 1e-9;
    if (ok == 0)
      throw ModuleError("the command's Execute returned false for " + job.name + SeenByHost());
    // The regions come from the table the command walked; a command that
    // built none gets the host's table for its selection, built outside the
    // module's call log.
    result.neighbours = capture_.Captured()
                            ? capture_.Take()
                            : hostsim::NeighbourTable(int32_t(job.mesh->points.size()),
                                                      job.mesh->polygons, &object->selection);
    result.points = hostsim::PointsOf(object);
    if (checkUndo) {
      CheckUndo(document, object, job);
      result.undoChecked = true;
    }
    return result;
  }

  void ShutDown() {
    bool released = session_.Release();
    registered_ = false;
    if (!released)
      throw ModuleError(path_ + ": the registered record has no release forwarder");
    int32_t r = session_.End();
    started_ = false;
    if (r != kResultOk)
      throw ModuleError(path_ + ": tarvik_main action 3 returned " + std::to_string(r) +
                        " (1 expected)");
    if (!session_.Unload()) throw ModuleError(session_.Error());
  }

  // The stand-in host's verdict once the module is gone: no misuse, and
  // nothing the module acquired is still held.
  void CheckHost() {
    const std::vector<std::string>& violations = hostsim::Violations();
    if (!violations.empty())
      throw ModuleError("the stand-in host saw misuse by " + path_ + ": " + violations.front() +
                        (violations.size() > 1
                             ? " (and " + std::to_string(violations.size() - 1) + " more)"
                             : ""));
    std::string held = hostsim::LedgerReport();
    if (!held.empty())
      throw ModuleError(path_ + " still holds host resources after unloading: " + held);
  }

  hostsim::Session session_;
  NeighbourCapture capture_;
  std::string path_;
  bool started_ = false;
  bool registered_ = false;
};

}  // namespace

std::string DefaultModulePath() {
  std::string self(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
  if (n <= 0) return "flatten.so";
  self.resize(size_t(n));
  size_t slash = self.rfind('/');
  return slash == std::string::npos ? "flatten.so" : self.substr(0, slash + 1) + "flatten.so";
}

std::string AbsoluteModulePath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path.find('/') == std::string::npos ? "./" + path : path;
  std::string absolute = resolved;
  std::free(resolved);
  return absolute;
}

void CheckModuleFile(const std::string& modulePath) {
  if (access(modulePath.c_str(), R_OK) != 0)
    throw InputError("cannot use the module '" + modulePath + "': " + std::strerror(errno));
}

ModuleRunResult RunModule(const std::string& modulePath, const std::vector<Job>& jobs,
                          bool checkUndo) {
  CheckModuleFile(modulePath);
  hostsim::Reset();
  // The runner reads no call log; recording would only cost time.
  hostsim::SetRecording(false);
  Driver driver(modulePath);
  try {
    return driver.Run(jobs, checkUndo);
  } catch (...) {
    driver.Abandon();
    throw;
  }
}

}  // namespace runner
