#include "tools/report.h"

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "tools/version.h"

namespace runner {

namespace {

constexpr size_t kRegionsListed = 40;

struct Totals {
  size_t regions = 0;
  int64_t polygons = 0;
  int64_t pointsMoved = 0;
};

Totals Sum(const Report& report) {
  Totals t;
  for (const RunReport& run : report.runs)
    for (const RegionReport& r : run.regions) {
      ++t.regions;
      t.polygons += r.polygons;
      t.pointsMoved += r.pointsMoved;
    }
  return t;
}

bool IsIdentity(const Matrix& m) {
  Matrix identity = IdentityMatrix();
  return std::memcmp(&m, &identity, sizeof m) == 0;
}

std::string VectorText(const Vector& v) {
  char text[80];
  std::snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", double(v.x), double(v.y), double(v.z));
  return text;
}

double Ms(double seconds) { return seconds * 1e3; }

}  // namespace

void PrintText(const Report& report) {
  std::printf("flatten-run %s: %s, module %s\n", kVersion,
              report.input.empty() ? "built-in demo mesh" : report.input.c_str(),
              report.module.c_str());
  for (const RunReport& run : report.runs) {
    std::printf("\n%s: %zu polygons, %zu points; %lld selected in %zu %s\n", run.name.c_str(),
                run.polygons, run.points, static_cast<long long>(run.selected), run.segments,
                run.segments == 1 ? "segment" : "segments");
    if (!IsIdentity(run.matrix))
      std::printf("  matrix: offset %s, axisX %s, axisY %s, axisZ %s\n",
                  VectorText(run.matrix.offset).c_str(), VectorText(run.matrix.axisX).c_str(),
                  VectorText(run.matrix.axisY).c_str(), VectorText(run.matrix.axisZ).c_str());
    if (run.regions.empty()) {
      std::printf("  no regions: nothing selected\n");
    } else {
      std::printf("  %6s %9s %9s %8s %8s   %s\n", "region", "seed", "polygons", "points", "moved",
                  "max distance to plane: before -> after");
      for (size_t i = 0; i < run.regions.size() && i < kRegionsListed; ++i) {
        const RegionReport& r = run.regions[i];
        std::printf("  %6zu %9d %9lld %8lld %8lld   %.6g -> %.3g\n", i + 1, r.seed,
                    static_cast<long long>(r.polygons), static_cast<long long>(r.points),
                    static_cast<long long>(r.pointsMoved), r.distanceBefore, r.distanceAfter);
      }
      if (run.regions.size() > kRegionsListed)
        std::printf("  ... and %zu more regions (--json lists every region)\n",
                    run.regions.size() - kRegionsListed);
    }
    if (run.undoChecked) std::printf("  undo checked: every point came back bit for bit\n");
  }
  Totals t = Sum(report);
  std::printf("\ntotal: %zu %s, %lld polygons flattened, %lld points moved\n", t.regions,
              t.regions == 1 ? "region" : "regions", static_cast<long long>(t.polygons),
              static_cast<long long>(t.pointsMoved));
  std::printf("times: load %.3g ms, module start %.3g ms, Execute %.3g ms (neighbour build %.3g ms)",
              Ms(report.loadSeconds), Ms(report.startSeconds), Ms(report.executeSeconds),
              Ms(report.neighbourSeconds));
  if (!report.output.empty()) std::printf(", write %.3g ms", Ms(report.writeSeconds));
  std::printf("\n");
  if (!report.output.empty()) std::printf("wrote %s\n", report.output.c_str());
}

void PrintJson(const Report& report) {
  using nlohmann::json;
  json runs = json::array();
  for (const RunReport& run : report.runs) {
    json regions = json::array();
    for (const RegionReport& r : run.regions)
      regions.push_back({{"seed", r.seed},
                         {"polygons", r.polygons},
                         {"points", r.points},
                         {"points_moved", r.pointsMoved},
                         {"max_distance_before", r.distanceBefore},
                         {"max_distance_after", r.distanceAfter}});
    const Matrix& m = run.matrix;
    runs.push_back({{"name", run.name},
                    {"polygons", run.polygons},
                    {"points", run.points},
                    {"selected", run.selected},
                    {"segments", run.segments},
                    {"matrix",
                     {m.offset.x, m.offset.y, m.offset.z, m.axisX.x, m.axisX.y, m.axisX.z, m.axisY.x,
                      m.axisY.y, m.axisY.z, m.axisZ.x, m.axisZ.y, m.axisZ.z}},
                    {"regions", regions},
                    {"undo_checked", run.undoChecked}});
  }
  Totals t = Sum(report);
  json out = {
      {"version", kVersion},
      {"module", report.module},
      {"input", report.input.empty() ? json(nullptr) : json(report.input)},
      {"output", report.output.empty() ? json(nullptr) : json(report.output)},
      {"runs", runs},
      {"totals",
       {{"regions", t.regions}, {"polygons", t.polygons}, {"points_moved", t.pointsMoved}}},
      {"times_ms",
       {{"load", Ms(report.loadSeconds)},
        {"module_start", Ms(report.startSeconds)},
        {"execute", Ms(report.executeSeconds)},
        {"neighbour_build", Ms(report.neighbourSeconds)},
        {"write", report.output.empty() ? json(nullptr) : json(Ms(report.writeSeconds))}}}};
  std::printf("%s\n", out.dump(2).c_str());
}

}  // namespace runner
