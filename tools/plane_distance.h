// How far a set of points is from being flat: the largest distance of the
// points to their least-squares plane, in double precision and independent
// of the module's own plane fit.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

namespace runner {

using Point3 = std::array<double, 3>;

// The unit normal of the least-squares plane of points with the given
// scatter matrix (the sum of the outer products of point - centroid): the
// eigenvector of the scatter's smallest eigenvalue.
Point3 LeastSquaresNormal(const double scatter[3][3]);

// count points, point(i) giving the i-th: their largest distance to their
// least-squares plane. Fewer than three points: 0. The points are visited
// twice rather than kept: once for the centroid and scatter (summed relative
// to the first point, which keeps the sums as small as the region), once for
// the distances.
template <typename PointAt>
double MaxPlaneDistance(size_t count, const PointAt& point) {
  if (count < 3) return 0.0;
  const Point3 origin = point(0);
  double sum[3] = {0, 0, 0};
  double products[3][3] = {};
  for (size_t i = 0; i < count; ++i) {
    Point3 p = point(i);
    double q[3] = {p[0] - origin[0], p[1] - origin[1], p[2] - origin[2]};
    for (int r = 0; r < 3; ++r) {
      sum[r] += q[r];
      for (int c = 0; c < 3; ++c) products[r][c] += q[r] * q[c];
    }
  }
  double n = double(count);
  double mean[3] = {sum[0] / n, sum[1] / n, sum[2] / n};
  double scatter[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) scatter[r][c] = products[r][c] - n * mean[r] * mean[c];
  Point3 normal = LeastSquaresNormal(scatter);
  double largest = 0.0;
  for (size_t i = 0; i < count; ++i) {
    Point3 p = point(i);
    double d = 0;
    for (int k = 0; k < 3; ++k) d += (p[k] - origin[k] - mean[k]) * normal[k];
    if (std::fabs(d) > largest) largest = std::fabs(d);
  }
  return largest;
}

}  // namespace runner
