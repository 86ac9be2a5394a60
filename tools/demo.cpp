#include "tools/demo.h"

#include <cstdint>

namespace runner {

namespace {

constexpr int kQuads = 16;  // quads per side
constexpr int kSide = kQuads + 1;

// Height noise from an integer hash: exact in float, the same bits in every
// build.
float Bump(int i, int j) {
  uint32_t h = uint32_t(i) * 73856093u ^ uint32_t(j) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return float(int(h % 201u) - 100) * 0.001f;
}

// The rows of a rectangular patch of quads as segments.
std::vector<Segment> Patch(int column0, int column1, int row0, int row1) {
  std::vector<Segment> segments;
  for (int row = row0; row <= row1; ++row)
    segments.emplace_back(row * kQuads + column0, row * kQuads + column1);
  return segments;
}

}  // namespace

Demo MakeDemo() {
  Demo demo;
  for (int j = 0; j < kSide; ++j)
    for (int i = 0; i < kSide; ++i)
      demo.mesh.points.push_back(Vector{float(i), float(j), Bump(i, j)});
  for (int j = 0; j < kQuads; ++j)
    for (int i = 0; i < kQuads; ++i) {
      int32_t p = j * kSide + i;
      demo.mesh.polygons.push_back(Polygon{p, p + 1, p + 1 + kSide, p + kSide});
    }

  demo.runs.push_back(DemoRun{"demo grid, object at the origin", IdentityMatrix(), Patch(2, 7, 2, 6)});
  // Turned 30 degrees about x and moved: cos 30 and sin 30 as floats.
  const float c = 0.866025404f, s = 0.5f;
  Matrix tilted{{10, -4, 2}, {1, 0, 0}, {0, c, s}, {0, -s, c}};
  demo.runs.push_back(DemoRun{"demo grid, object tilted 30 degrees about x and moved", tilted,
                              Patch(8, 13, 9, 14)});
  return demo;
}

}  // namespace runner
