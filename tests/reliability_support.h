// Shared pieces of the reliability tests: an empty working folder, small
// meshes, and readings of the stand-in host's call log (which fallible call
// failed, which polygons each region visited).
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "hostsim/hostsim.h"

namespace reliability_test {

// ------------------------------------------------------ working folder

// Changes into a fresh empty folder for the object's lifetime. A resource
// looked up in the empty folder path resolves against the working folder;
// the build folder holds one, so a run there would find it by accident.
class EmptyWorkingFolder {
 public:
  EmptyWorkingFolder() {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return;
    saved_ = cwd;
    std::string pattern = std::string(FLATTEN_BINARY_DIR) + "/reliability-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) return;
    path_ = buffer.data();
    entered_ = chdir(path_.c_str()) == 0;
  }
  ~EmptyWorkingFolder() {
    if (!saved_.empty() && chdir(saved_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << saved_;
    if (!path_.empty()) rmdir(path_.c_str());
  }
  EmptyWorkingFolder(const EmptyWorkingFolder&) = delete;
  EmptyWorkingFolder& operator=(const EmptyWorkingFolder&) = delete;
  bool Entered() const { return entered_; }

 private:
  std::string saved_, path_;
  bool entered_ = false;
};

// The folder of the built module, as the module derives it from its path.
inline std::string ModuleDirectory() {
  const std::string path = FLATTEN_MODULE_PATH;
  return path.substr(0, path.rfind('/'));
}

// --------------------------------------------------------------- meshes

struct Mesh {
  const char* name;
  std::vector<Vector> points;
  std::vector<Polygon> polygons;
  std::vector<std::pair<int32_t, int32_t>> segments;
};

// gtest prints a failing case's mesh by its name.
inline void PrintTo(const Mesh& mesh, std::ostream* out) { *out << mesh.name; }

// Heights that differ from point to point without a pattern, so no two
// neighbouring polygons lie in one plane and every flattened point moves.
inline float Bumpy(int32_t i) { return 0.125f * float((i * 7 + 3) % 5) - 0.25f; }

// A strip of n quads along x; quad i shares its side b-c with quad i + 1.
//
//   1---3---5 ...
//   |   |   |
//   0---2---4 ...
inline Mesh Strip(const char* name, int32_t n, float x0 = 0.0f) {
  Mesh mesh{name, {}, {}, {}};
  for (int32_t i = 0; i <= n; ++i) {
    mesh.points.push_back({x0 + float(i), Bumpy(2 * i), 0});
    mesh.points.push_back({x0 + float(i), Bumpy(2 * i + 1), 1});
  }
  for (int32_t i = 0; i < n; ++i) mesh.polygons.push_back({2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
  return mesh;
}

// Appends other's points and polygons (indices shifted) to mesh.
inline void Join(Mesh* mesh, const Mesh& other) {
  const int32_t shift = int32_t(mesh->points.size());
  mesh->points.insert(mesh->points.end(), other.points.begin(), other.points.end());
  for (Polygon p : other.polygons)
    mesh->polygons.push_back({p.a + shift, p.b + shift, p.c + shift, p.d + shift});
}

// Three cells in a row: a quad, two triangles splitting the middle cell, a
// quad; all four polygons are linked into one region.
//
//   4---5---6---7
//   | 0 |1 /| 3 |     polygon 1 = (1, 2, 6), polygon 2 = (1, 6, 5)
//   |   | / |   |
//   0---1---2---3
inline Mesh TrianglesAndQuads() {
  Mesh mesh{"triangles and quads", {}, {}, {{0, 3}}};
  for (int32_t row = 0; row < 2; ++row)
    for (int32_t i = 0; i < 4; ++i) mesh.points.push_back({float(i), Bumpy(i + 4 * row), float(row)});
  mesh.polygons = {{0, 1, 5, 4}, {1, 2, 6, 6}, {1, 6, 5, 5}, {2, 3, 7, 6}};
  return mesh;
}

// ------------------------------------------------------------ call log

inline bool IsFallible(hostsim::Op op) {
  using hostsim::Op;
  switch (op) {
    case Op::AllocMemory:
    case Op::AllocMemoryUncleared:
    case Op::PathAlloc:
    case Op::ImageAlloc:
    case Op::ImageLoad:
    case Op::ResourceLoad:
    case Op::AdjacencyBuild:
    case Op::FindPlugin:
    case Op::LibraryTableOf:
    case Op::GetParameter:
    case Op::RegisterPlugin:
      return true;
    default:
      return false;
  }
}

// One fallible call of the log: its place in the log, and whether the fault
// schedule (FailAt(n, fromThenOn)) made it fail.
struct FallibleCall {
  size_t logIndex;
  hostsim::Op op;
  bool failed;
};

inline std::vector<FallibleCall> FallibleCalls(const std::vector<hostsim::Call>& calls,
                                               uint64_t failAt, bool fromThenOn) {
  std::vector<FallibleCall> found;
  uint64_t n = 0;
  for (size_t i = 0; i < calls.size(); ++i) {
    if (!IsFallible(calls[i].op)) continue;
    ++n;
    const bool failed = failAt != 0 && (n == failAt || (fromThenOn && n > failAt));
    found.push_back({i, calls[i].op, failed});
  }
  return found;
}

// The polygons region collection visited, region by region: each region's
// visits come before the one ObjectGlobalMatrix call of its plane fit.
inline std::vector<std::vector<int32_t>> RegionsVisited(size_t from = 0,
                                                        size_t to = SIZE_MAX) {
  std::vector<std::vector<int32_t>> regions;
  std::vector<int32_t> current;
  const std::vector<hostsim::Call>& calls = hostsim::Calls();
  for (size_t i = from; i < calls.size() && i < to; ++i) {
    if (calls[i].op == hostsim::Op::AdjacencyPolygonInfo) current.push_back(int32_t(calls[i].args[1]));
    if (calls[i].op == hostsim::Op::ObjectGlobalMatrix) {
      regions.push_back(current);
      current.clear();
    }
  }
  return regions;
}

// ---------------------------------------------------------------- points

inline bool SameBits(const std::vector<Vector>& a, const std::vector<Vector>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Vector)) == 0;
}

inline bool SameBits(const Vector& a, const Vector& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline std::string Show(const Vector& v) {
  char text[96];
  snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", v.x, v.y, v.z);
  return text;
}

// The first point whose bits differ, as a message; empty when none.
inline std::string FirstDifference(const std::vector<Vector>& expected,
                                   const std::vector<Vector>& seen) {
  if (expected.size() != seen.size())
    return "expected " + std::to_string(expected.size()) + " points, seen " +
           std::to_string(seen.size());
  for (size_t i = 0; i < expected.size(); ++i)
    if (!SameBits(expected[i], seen[i]))
      return "point " + std::to_string(i) + ": expected " + Show(expected[i]) + ", seen " +
             Show(seen[i]);
  return "";
}

}  // namespace reliability_test
