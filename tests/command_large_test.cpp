// Very large regions: region collection keeps its depth on the heap, within
// the run's memory budget, so a strip of millions of polygons (a chain as
// deep as it is long) neither exhausts the thread's stack nor the memory.
#include <pthread.h>

#include <cmath>

#include "command_support.h"

namespace {

using command_test::CommandFixture;
using hostsim::Op;
using hostsim::SimObject;

// A strip of n quads along x: quad i joins quad i + 1 across its side b-c,
// so a depth-first walk from quad 0 goes n deep. Heights zigzag so that no
// two neighbours lie in one plane.
//
//   1---3---5 ...
//   |   |   |
//   0---2---4 ...
SimObject* Strip(int32_t n) {
  std::vector<Vector> points;
  points.reserve(size_t(n + 1) * 2);
  for (int32_t i = 0; i <= n; ++i) {
    const float height = (i & 1) != 0 ? 0.25f : 0.0f;
    points.push_back({float(i), height, 0});
    points.push_back({float(i), height, 1});
  }
  std::vector<Polygon> polygons;
  polygons.reserve(size_t(n));
  for (int32_t i = 0; i < n; ++i) polygons.push_back({2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
  return hostsim::NewPolygonObject(points, polygons, {{0, n - 1}});
}

// The run's own blocks (marks, stack, region list, including a list block
// and its replacement held at once) stay within 24 bytes per polygon.
constexpr size_t kBytesPerPolygon = 24;

class CommandLarge : public CommandFixture {
 protected:
  // Runs the command on a thread whose stack is stackBytes.
  int32_t RunOnSmallStack(SimObject* object, size_t stackBytes) {
    document_->active = object;
    hostsim::ClearCalls();
    struct Job {
      hostsim::Session* session;
      hostsim::SimDocument* document;
      int32_t result;
    } job = {&session_, document_, -1};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    EXPECT_EQ(0, pthread_attr_setstacksize(&attributes, stackBytes));
    pthread_t thread;
    const int created = pthread_create(
        &thread, &attributes,
        [](void* argument) -> void* {
          Job* j = static_cast<Job*>(argument);
          j->result = j->session->Execute(j->document);
          return nullptr;
        },
        &job);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(0, created);
    if (created == 0) pthread_join(thread, nullptr);
    return job.result;
  }
};

TEST_F(CommandLarge, MillionPolygonChainRunsOnA256KiBStack) {
  const int32_t n = 1000000;
  SimObject* object = Strip(n);
  const size_t base = hostsim::CurrentBytes();
  hostsim::ResetPeak();
  ASSERT_EQ(1, RunOnSmallStack(object, 256 * 1024));

  // One region, gathered in strip order: the walk went a million deep.
  EXPECT_EQ(1u, hostsim::CountOf(Op::ObjectGlobalMatrix));
  const std::vector<int32_t> order = command_test::VisitOrder();
  ASSERT_EQ(size_t(n), order.size());
  for (int32_t i = 0; i < n; ++i) {
    if (order[size_t(i)] != i) {
      ADD_FAILURE() << "visit " << i << ": expected polygon " << i << ", seen " << order[size_t(i)];
      break;
    }
  }
  const size_t used = hostsim::PeakBytes() - base;
  EXPECT_LE(used, kBytesPerPolygon * size_t(n))
      << "run used " << double(used) / n << " bytes per polygon";
}

// A 32-bit process under AddressSanitizer cannot hold a ten-million-polygon
// object and its shadow memory in its address space; there the strip is as
// long as fits. Every other build runs the full length.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) && !FLATTEN_PTR64
#define FLATTEN_SHORT_STRIP 1
#endif
#endif
#ifdef FLATTEN_SHORT_STRIP
constexpr int32_t kLongStrip = 1000000;
#else
constexpr int32_t kLongStrip = 10000000;
#endif

TEST_F(CommandLarge, TenMillionPolygonStripInOneRegion) {
  const int32_t n = kLongStrip;
  SimObject* object = Strip(n);
  hostsim::SetRecording(false);
  hostsim::SetWriteChecks(false);
  const size_t base = hostsim::CurrentBytes();
  hostsim::ResetPeak();
  ASSERT_EQ(1, Run(object));
  hostsim::SetRecording(true);

  // Marks and stack alone take 12 (8 in the 32-bit build) bytes per polygon;
  // a single region of every polygon adds a list of 4 bytes per polygon.
  const size_t used = hostsim::PeakBytes() - base;
  EXPECT_GE(used, (4 + 4 + sizeof(void*)) * size_t(n)) << "not one region";
  EXPECT_LE(used, kBytesPerPolygon * size_t(n))
      << "run used " << double(used) / n << " bytes per polygon";
  // The zigzag cancels along the strip: the region's plane is horizontal,
  // so the first points (small coordinates, little rounding) share a height.
  const std::vector<Vector> after = hostsim::PointsOf(object);
  for (size_t i = 0; i < 8; ++i)
    EXPECT_NEAR(0.125, after[i].y, 1e-3) << "point " << i << " at " << command_test::Show(after[i]);
}

}  // namespace
