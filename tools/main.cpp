// flatten-run: flattens the selected polygons of an OBJ mesh (or of the
// built-in demo mesh) with the flatten module, loaded into the stand-in host
// as a host application loads it, and reports what changed.
#include <chrono>
#include <cstdio>
#include <future>
#include <new>

#include "tools/demo.h"
#include "tools/failure.h"
#include "tools/module_run.h"
#include "tools/obj_reader.h"
#include "tools/obj_writer.h"
#include "tools/options.h"
#include "tools/report.h"

namespace runner {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<RunReport> Measure(const std::vector<Job>& jobs, const ModuleRunResult& result) {
  std::vector<RunReport> runs;
  for (size_t i = 0; i < jobs.size(); ++i) {
    const Job& job = jobs[i];
    const JobResult& done = result.jobs[i];
    RunReport run;
    run.name = job.name;
    run.points = job.mesh->points.size();
    run.polygons = job.mesh->polygons.size();
    run.selected = SelectedCount(job.segments);
    run.segments = job.segments.size();
    run.matrix = job.matrix;
    run.undoChecked = done.undoChecked;
    Regions regions = CollectRegions(done.neighbours, job.segments);
    run.regions =
        MeasureRegions(regions, job.mesh->polygons, job.mesh->points, done.points, job.matrix);
    runs.push_back(std::move(run));
  }
  return runs;
}

int Run(const Options& options) {
  Report report;
  report.input = options.input;
  report.output = options.output;
  report.module = options.module.empty() ? DefaultModulePath() : AbsoluteModulePath(options.module);
  const bool showProgress = !options.quiet;
  CheckModuleFile(report.module);

  // The meshes and what to run on them.
  Clock::time_point start = Clock::now();
  ObjFile file;
  Demo demo;
  std::vector<Job> jobs;
  if (options.input.empty()) {
    demo = MakeDemo();
    for (const DemoRun& run : demo.runs)
      jobs.push_back(Job{run.name, &demo.mesh, run.matrix, run.segments});
  } else {
    file = ReadObj(options.input, showProgress);
    jobs.push_back(Job{options.input, &file.mesh, options.matrix,
                       SelectSegments(options.select, file.mesh, options.input)});
  }
  report.loadSeconds = SecondsSince(start);

  ModuleRunResult result = RunModule(report.module, jobs, options.checkUndo);
  report.startSeconds = result.startSeconds;

  for (const JobResult& done : result.jobs) {
    report.executeSeconds += done.executeSeconds;
    report.neighbourSeconds += done.neighbourSeconds;
  }
  // The regions are measured while the output is written: both only read
  // the results.
  std::future<std::vector<RunReport>> measured =
      std::async(std::launch::async, [&] { return Measure(jobs, result); });

  if (!options.output.empty()) {
    start = Clock::now();
    OutputFile out(options.output, file.bytes.size(), showProgress);
    WriteObj(file, result.jobs.front().points, out);
    out.Commit();
    report.writeSeconds = SecondsSince(start);
  }
  report.runs = measured.get();

  if (options.json)
    PrintJson(report);
  else if (!options.quiet)
    PrintText(report);
  return kExitDone;
}

}  // namespace
}  // namespace runner

int main(int argc, char** argv) {
  runner::Options options;
  int exitCode = 0;
  if (!runner::ParseOptions(argc, argv, &options, &exitCode)) return exitCode;
  try {
    return runner::Run(options);
  } catch (const runner::Failure& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "flatten-run: error: %s\n", failure.what());
    return failure.Code();
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "flatten-run: error: out of memory\n");
    return runner::kExitInput;
  }
}
