// The command's Execute through the real entry point, on generated meshes,
// against the floor kernel measured in the same iterations.
//
// Per scenario: the module is loaded from FLATTEN_MODULE_PATH and started as
// the host starts it (action 1, message 1, action 2); every iteration runs
// Execute through the registered record's forwarder with the stand-in's call
// recording and write checks off. The points are restored after each
// iteration by undoing the run's step in the stand-in (outside the measured
// time), so every Execute flattens the same noisy mesh.
//
// Times are the thread's processor time (CLOCK_THREAD_CPUTIME_ID): on a
// machine shared with other work the wall clock also counts the time other
// processes held the core. The benchmark's own time column is Execute's wall
// time, for comparison.
//
// Counters (per iteration, medians over repetitions are the figures to read):
//   total_ns   Execute per selected polygon
//   nb_ns      the stand-in's neighbour build within it, per selected polygon
//   undo_ns    the stand-in's UndoAdd within it (a copy of all the points)
//   own_ns     total_ns - nb_ns - undo_ns: the module's own work, with the
//              stand-in's cheap per-call cells (neighbour lookups, matrix,
//              memory blocks)
//   floor_ns   the floor kernel on the same polygons, per selected polygon
//   own/floor  own_ns / floor_ns, from the same iterations
//   nb/own     the neighbour build relative to the module's own work
//   B/poly     the module's peak host memory per polygon of the object
//   B/sel      the same per selected polygon
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <time.h>
#include <string>

#include "bench/floor_kernel.h"
#include "bench/meshes.h"
#include "hostsim/hostsim.h"
#include "hostsim/session.h"

namespace {

// A rotated, scaled and moved object: the world transforms do real work.
const Matrix kWorld = {{10.0f, -2.0f, 3.5f},
                       {0.8660254f, 0.0f, -0.5f},
                       {0.0f, 1.25f, 0.0f},
                       {0.5f, 0.0f, 0.8660254f}};

// The stand-in's UndoAdd copies the object's points for the undo step: the
// host's cost, timed apart like the neighbour build by wrapping the cell.
int32_t (*hostUndoAdd)(HostDocument*, int32_t, HostObject*) = nullptr;
double undoAddNs = 0;

double ThreadCpuNanoseconds();

int32_t TimedUndoAdd(HostDocument* document, int32_t kind, HostObject* object) {
  const double started = ThreadCpuNanoseconds();
  const int32_t result = hostUndoAdd(document, kind, object);
  undoAddNs += ThreadCpuNanoseconds() - started;
  return result;
}

double NanosecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

double ThreadCpuNanoseconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

void RunScenario(benchmark::State& state, const std::function<bench::Mesh()>& make) {
  hostsim::Reset();
  hostsim::SetRecording(false);
  hostsim::SetWriteChecks(false);
  hostUndoAdd = hostsim::Table()->document->UndoAdd;
  hostsim::Table()->document->UndoAdd = &TimedUndoAdd;
  undoAddNs = 0;
  hostsim::Session session(FLATTEN_MODULE_PATH);
  if (!session.StartUp()) {
    state.SkipWithError(("module start failed: " + session.Error()).c_str());
    hostsim::Table()->document->UndoAdd = hostUndoAdd;
    hostsim::Reset();
    return;
  }

  bench::Segments segments;
  int64_t objectPolygons = 0;
  hostsim::SimObject* object = nullptr;
  {
    bench::Mesh mesh = make();
    segments = mesh.segments;
    objectPolygons = int64_t(mesh.polygons.size());
    object = hostsim::NewPolygonObject(mesh.points, mesh.polygons, mesh.segments);
  }  // the generator's copy goes before the runs
  object->matrix = kWorld;
  hostsim::SimDocument* document = hostsim::NewDocument();
  document->active = object;
  const double selected = double(bench::SelectedCount(segments));

  double totalNs = 0, neighbourNs = 0, floorNs = 0;
  size_t peak = 0;
  for (auto _ : state) {
    hostsim::ResetAdjacencyTimer();
    const size_t before = hostsim::CurrentBytes();
    hostsim::ResetPeak();
    const auto started = std::chrono::steady_clock::now();
    const double cpuStarted = ThreadCpuNanoseconds();
    const int32_t result = session.Execute(document);
    const double executeNs = ThreadCpuNanoseconds() - cpuStarted;
    state.SetIterationTime(NanosecondsSince(started) * 1e-9);
    if (result != 1) {
      state.SkipWithError("Execute failed");
      break;
    }
    totalNs += executeNs;
    neighbourNs += double(hostsim::AdjacencyBuildCpuNanoseconds());
    peak = std::max(peak, hostsim::PeakBytes() - before);

    // The floor on the same polygons (now flat: the arithmetic is the same),
    // then the run undone so the next iteration starts from the noisy mesh.
    const double floorStarted = ThreadCpuNanoseconds();
    bench::FloorFlatten(object->matrix, object->polygons.data.get(), object->points.data.get(),
                        segments);
    benchmark::ClobberMemory();
    floorNs += ThreadCpuNanoseconds() - floorStarted;
    if (!hostsim::Undo(document)) {
      state.SkipWithError("the run left no undo step");
      break;
    }
  }

  const double runs = double(state.iterations()) * selected;
  if (runs > 0) {
    const double own = (totalNs - neighbourNs - undoAddNs) / runs;
    state.counters["total_ns"] = totalNs / runs;
    state.counters["nb_ns"] = neighbourNs / runs;
    state.counters["undo_ns"] = undoAddNs / runs;
    state.counters["own_ns"] = own;
    state.counters["floor_ns"] = floorNs / runs;
    state.counters["own/floor"] = own / (floorNs / runs);
    state.counters["nb/own"] = (neighbourNs / runs) / own;
    state.counters["B/poly"] = double(peak) / double(objectPolygons);
    state.counters["B/sel"] = double(peak) / selected;
    state.counters["selected"] = selected;
  }
  if (!hostsim::Violations().empty()) state.SkipWithError(hostsim::FirstViolation().c_str());
  session.ShutDown();
  hostsim::Table()->document->UndoAdd = hostUndoAdd;
  hostsim::Reset();
}

void QuadGrid1M(benchmark::State& state) { RunScenario(state, [] { return bench::NoisyQuadGrid(1000); }); }
void QuadGrid4M(benchmark::State& state) { RunScenario(state, [] { return bench::NoisyQuadGrid(2000); }); }
void Patches1M(benchmark::State& state) {
  RunScenario(state, [] { return bench::CheckerboardGrid(1000, 8); });
}
void Strip10M(benchmark::State& state) { RunScenario(state, [] { return bench::NoisyStrip(10000000); }); }
void Triangles1M(benchmark::State& state) {
  RunScenario(state, [] { return bench::NoisyTriangleGrid(707); });
}

// Fixed iteration counts: each repetition builds its mesh and starts the
// module once.
BENCHMARK(QuadGrid1M)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(QuadGrid4M)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Patches1M)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Strip10M)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Triangles1M)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
