// Neighbor against the stand-in host's call log: the host's table is built
// with the arguments as given, freed before every rebuild and exactly once
// at the end, whatever happened in between.
#include <gtest/gtest.h>
#include <stdint.h>

#include <new>
#include <string>
#include <vector>

#include "geometry/neighbor.h"
#include "host/host.h"
#include "host/memory.h"
#include "hostsim/hostsim.h"

namespace {

using hostsim::Op;

intptr_t P(const void* pointer) { return reinterpret_cast<intptr_t>(pointer); }

// The calls since the log was last cleared, as (operation, arguments).
struct Expected {
  Op op;
  std::vector<intptr_t> args;
};

::testing::AssertionResult CallsAre(const std::vector<Expected>& expected) {
  const std::vector<hostsim::Call>& seen = hostsim::Calls();
  bool same = seen.size() == expected.size();
  for (size_t i = 0; same && i < seen.size(); ++i) {
    same = seen[i].op == expected[i].op && seen[i].args == expected[i].args;
  }
  if (same) return ::testing::AssertionSuccess();
  auto show = [](Op op, const std::vector<intptr_t>& args) {
    std::string text = std::string(hostsim::OpName(op)) + "(";
    for (size_t i = 0; i < args.size(); ++i) {
      char number[32];
      snprintf(number, sizeof number, "%s%#llx", i ? ", " : "",
               static_cast<unsigned long long>(static_cast<uintptr_t>(args[i])));
      text += number;
    }
    return text + ")";
  };
  std::string message = "expected:";
  for (const Expected& e : expected) message += "\n  " + show(e.op, e.args);
  message += "\nseen:";
  for (const hostsim::Call& c : seen) message += "\n  " + show(c.op, c.args);
  return ::testing::AssertionFailure() << message;
}

// The module is compiled without run-time type information, so the
// sanitizer's dynamic type check cannot run on its objects: every use of a
// Neighbor goes through these helpers.
#define NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))

NO_VPTR_CHECK Neighbor* Construct(void* storage) { return new (storage) Neighbor(); }
NO_VPTR_CHECK intptr_t HandleOf(const Neighbor* neighbor) { return P(neighbor->handle); }
NO_VPTR_CHECK int32_t Build(Neighbor* neighbor, int32_t pointCount, const Polygon* polygons,
                            int32_t polygonCount, HostSelection* selection) {
  return neighbor->Build(pointCount, polygons, polygonCount, selection);
}
NO_VPTR_CHECK Neighbor* Destroy(Neighbor* neighbor, int32_t flags) {
  return neighbor->Destroy(flags);
}
NO_VPTR_CHECK const PolygonAdjacency* AdjacencyOf(const Neighbor* neighbor, int32_t polygon) {
  return neighbor->AdjacencyOf(polygon);
}
// A Neighbor as a local object: built, then left by the end of its scope.
NO_VPTR_CHECK int32_t BuildLocalAndLeave(int32_t pointCount, const Polygon* polygons,
                                         int32_t polygonCount, HostSelection* selection) {
  Neighbor neighbor;
  const int32_t built = neighbor.Build(pointCount, polygons, polygonCount, selection);
  hostsim::ClearCalls();
  return built;
}

class GeometryNeighbor : public ::testing::Test {
 protected:
  void SetUp() override {
    hostsim::Reset();
    HostTablePointer = hostsim::Table();
    // Two quads sharing the side 1-4:
    //   0---1---2
    //   |   |   |
    //   3---4---5
    object = hostsim::NewPolygonObject(
        {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}},
        {{0, 1, 4, 3}, {1, 2, 5, 4}}, {{0, 1}});
    polygons = object->polygons.data.get();
    selection = hostsim::AsHost(&object->selection);
    hostsim::ClearCalls();
  }
  void TearDown() override {
    EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
    EXPECT_EQ("", hostsim::FirstViolation());
    HostTablePointer = nullptr;
    hostsim::Reset();
  }

  // A Neighbor in a module block, as the command makes one.
  Neighbor* NewNeighbor() {
    void* storage = BlockAlloc(sizeof(Neighbor));
    EXPECT_NE(nullptr, storage);
    Neighbor* neighbor = Construct(storage);
    hostsim::ClearCalls();
    return neighbor;
  }

  hostsim::SimObject* object = nullptr;
  const Polygon* polygons = nullptr;
  HostSelection* selection = nullptr;
};

TEST_F(GeometryNeighbor, ConstructionCallsNothing) {
  void* storage = BlockAlloc(sizeof(Neighbor));
  hostsim::ClearCalls();
  Neighbor* neighbor = Construct(storage);
  EXPECT_TRUE(CallsAre({}));
  EXPECT_EQ(0, HandleOf(neighbor));
  Destroy(neighbor, 1);
}

TEST_F(GeometryNeighbor, DestroyWithoutBuildFreesNullThenTheStorage) {
  Neighbor* neighbor = NewNeighbor();
  EXPECT_EQ(neighbor, Destroy(neighbor, 1));
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {0}}, {Op::FreeMemory, {P(neighbor)}}}));
}

TEST_F(GeometryNeighbor, DestroyWithoutBit0KeepsTheStorage) {
  Neighbor* neighbor = NewNeighbor();
  ASSERT_EQ(1, Build(neighbor, 6, polygons, 2, selection));
  const intptr_t handle = HandleOf(neighbor);
  hostsim::ClearCalls();
  EXPECT_EQ(neighbor, Destroy(neighbor, 0));
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {handle}}}));
  BlockFree(neighbor);
}

TEST_F(GeometryNeighbor, LocalObjectFreesOnScopeExit) {
  EXPECT_EQ(1, BuildLocalAndLeave(6, polygons, 2, selection));
  ASSERT_EQ(1u, hostsim::Calls().size()) << hostsim::OpSequenceText();
  EXPECT_EQ(Op::AdjacencyFree, hostsim::Calls()[0].op);
  EXPECT_NE(0, hostsim::Calls()[0].args[0]);
}

TEST_F(GeometryNeighbor, BuildTwiceFreesTheFirstTableFirst) {
  Neighbor* neighbor = NewNeighbor();
  EXPECT_EQ(1, Build(neighbor, 6, polygons, 2, selection));
  const intptr_t first = HandleOf(neighbor);
  EXPECT_EQ(1, Build(neighbor, 6, polygons, 2, selection));
  const intptr_t second = HandleOf(neighbor);
  Destroy(neighbor, 1);
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {0}},
                        {Op::AdjacencyBuild, {6, P(polygons), 2, P(selection)}},
                        {Op::AdjacencyFree, {first}},
                        {Op::AdjacencyBuild, {6, P(polygons), 2, P(selection)}},
                        {Op::AdjacencyFree, {second}},
                        {Op::FreeMemory, {P(neighbor)}}}));
  EXPECT_NE(0, first);
  EXPECT_NE(0, second);
}

TEST_F(GeometryNeighbor, NullPolygonsAfterABuildFreeAndHoldNothing) {
  Neighbor* neighbor = NewNeighbor();
  ASSERT_EQ(1, Build(neighbor, 6, polygons, 2, selection));
  const intptr_t first = HandleOf(neighbor);
  hostsim::ClearCalls();
  EXPECT_EQ(1, Build(neighbor, 6, nullptr, 2, selection));
  EXPECT_EQ(0, HandleOf(neighbor));
  Destroy(neighbor, 1);
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {first}},
                        {Op::AdjacencyFree, {0}},
                        {Op::FreeMemory, {P(neighbor)}}}));
}

TEST_F(GeometryNeighbor, FailedBuildHoldsNothing) {
  Neighbor* neighbor = NewNeighbor();
  hostsim::FailAt(hostsim::FallibleCount() + 1);
  EXPECT_EQ(0, Build(neighbor, 6, polygons, 2, selection));
  hostsim::ClearFaults();
  EXPECT_EQ(0, HandleOf(neighbor));
  Destroy(neighbor, 1);
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {0}},
                        {Op::AdjacencyBuild, {6, P(polygons), 2, P(selection)}},
                        {Op::AdjacencyFree, {0}},
                        {Op::FreeMemory, {P(neighbor)}}}));
}

TEST_F(GeometryNeighbor, AdjacencyOfForwardsTheHostRecord) {
  Neighbor* neighbor = NewNeighbor();
  ASSERT_EQ(1, Build(neighbor, 6, polygons, 2, selection));
  const intptr_t handle = HandleOf(neighbor);
  hostsim::ClearCalls();
  const PolygonAdjacency* left = AdjacencyOf(neighbor, 0);
  const PolygonAdjacency* right = AdjacencyOf(neighbor, 1);
  EXPECT_TRUE(CallsAre({{Op::AdjacencyPolygonInfo, {handle, 0}},
                        {Op::AdjacencyPolygonInfo, {handle, 1}}}));
  ASSERT_NE(nullptr, left);
  ASSERT_NE(nullptr, right);
  // Quad 0 (0 1 4 3) has quad 1 across its side 1-4; quad 1 (1 2 5 4) has
  // quad 0 across its side 4-1. Every other side is open.
  const std::vector<int32_t> leftSeen(left->neighbours, left->neighbours + 4);
  const std::vector<int32_t> rightSeen(right->neighbours, right->neighbours + 4);
  EXPECT_EQ((std::vector<int32_t>{-1, 1, -1, -1}), leftSeen);
  EXPECT_EQ((std::vector<int32_t>{-1, -1, -1, 0}), rightSeen);
  Destroy(neighbor, 1);
}

}  // namespace
