#include "bench/meshes.h"

namespace bench {
namespace {

// A repeatable pseudo-random height in [-0.25, 0.25) for grid point (i, j):
// an integer hash, so every run flattens the same mesh.
float Noise(uint32_t i, uint32_t j) {
  uint32_t h = i * 0x9E3779B1u ^ (j + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return static_cast<float>(h >> 8) * (0.5f / 16777216.0f) - 0.25f;
}

// Points of an (n + 1) x (n + 1) lattice, row j after row j - 1.
std::vector<Vector> GridPoints(int32_t n) {
  std::vector<Vector> points;
  points.reserve(size_t(n + 1) * size_t(n + 1));
  for (int32_t j = 0; j <= n; ++j)
    for (int32_t i = 0; i <= n; ++i)
      points.push_back({static_cast<float>(i), Noise(uint32_t(i), uint32_t(j)),
                        static_cast<float>(j)});
  return points;
}

inline int32_t GridPoint(int32_t n, int32_t i, int32_t j) { return j * (n + 1) + i; }

std::vector<Polygon> GridQuads(int32_t n) {
  std::vector<Polygon> polygons;
  polygons.reserve(size_t(n) * size_t(n));
  for (int32_t j = 0; j < n; ++j)
    for (int32_t i = 0; i < n; ++i)
      polygons.push_back({GridPoint(n, i, j), GridPoint(n, i + 1, j), GridPoint(n, i + 1, j + 1),
                          GridPoint(n, i, j + 1)});
  return polygons;
}

}  // namespace

Mesh NoisyQuadGrid(int32_t n) {
  Mesh mesh;
  mesh.points = GridPoints(n);
  mesh.polygons = GridQuads(n);
  mesh.segments.push_back({0, int32_t(mesh.polygons.size()) - 1});
  return mesh;
}

Mesh CheckerboardGrid(int32_t n, int32_t patch) {
  Mesh mesh;
  mesh.points = GridPoints(n);
  mesh.polygons = GridQuads(n);
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t start = 0; start < n; start += patch) {
      if ((start / patch + j / patch) % 2 != 0) continue;
      const int32_t end = start + patch < n ? start + patch : n;
      mesh.segments.push_back({j * n + start, j * n + end - 1});
    }
  }
  return mesh;
}

Mesh NoisyStrip(int32_t n) {
  Mesh mesh;
  mesh.points.reserve(size_t(n + 1) * 2);
  for (int32_t i = 0; i <= n; ++i) {
    mesh.points.push_back({static_cast<float>(i), Noise(uint32_t(i), 0), 0.0f});
    mesh.points.push_back({static_cast<float>(i), Noise(uint32_t(i), 1), 1.0f});
  }
  mesh.polygons.reserve(size_t(n));
  for (int32_t i = 0; i < n; ++i)
    mesh.polygons.push_back({2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
  mesh.segments.push_back({0, n - 1});
  return mesh;
}

Mesh NoisyTriangleGrid(int32_t n) {
  Mesh mesh;
  mesh.points = GridPoints(n);
  mesh.polygons.reserve(size_t(n) * size_t(n) * 2);
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t i = 0; i < n; ++i) {
      const int32_t a = GridPoint(n, i, j), b = GridPoint(n, i + 1, j);
      const int32_t c = GridPoint(n, i + 1, j + 1), d = GridPoint(n, i, j + 1);
      mesh.polygons.push_back({a, b, c, c});
      mesh.polygons.push_back({a, c, d, d});
    }
  }
  mesh.segments.push_back({0, int32_t(mesh.polygons.size()) - 1});
  return mesh;
}

int64_t SelectedCount(const Segments& segments) {
  int64_t count = 0;
  for (const auto& [first, last] : segments)
    if (last >= first) count += int64_t(last) - first + 1;
  return count;
}

}  // namespace bench
