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
    Neighbor* neighbor = new (storage) Neighbor();
    hostsim::ClearCalls();
    return neighbor;
  }

  // The handle the host returned from the last AdjacencyBuild.
  static intptr_t LastBuilt(const Neighbor& neighbor) { return P(neighbor.handle); }

  hostsim::SimObject* object = nullptr;
  const Polygon* polygons = nullptr;
  HostSelection* selection = nullptr;
};

TEST_F(GeometryNeighbor, ConstructionCallsNothing) {
  void* storage = BlockAlloc(sizeof(Neighbor));
  hostsim::ClearCalls();
  Neighbor* neighbor = new (storage) Neighbor();
  EXPECT_TRUE(CallsAre({}));
  EXPECT_EQ(nullptr, neighbor->handle);
  neighbor->Destroy(1);
}

TEST_F(GeometryNeighbor, DestroyWithoutBuildFreesNullThenTheStorage) {
  Neighbor* neighbor = NewNeighbor();
  EXPECT_EQ(neighbor, neighbor->Destroy(1));
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {0}}, {Op::FreeMemory, {P(neighbor)}}}));
}

TEST_F(GeometryNeighbor, DestroyWithoutBit0KeepsTheStorage) {
  Neighbor* neighbor = NewNeighbor();
  ASSERT_TRUE(neighbor->Build(6, polygons, 2, selection));
  const intptr_t handle = LastBuilt(*neighbor);
  hostsim::ClearCalls();
  EXPECT_EQ(neighbor, neighbor->Destroy(0));
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {handle}}}));
  BlockFree(neighbor);
}

TEST_F(GeometryNeighbor, LocalObjectFreesOnScopeExit) {
  {
    Neighbor neighbor;
    EXPECT_EQ(1, neighbor.Build(6, polygons, 2, selection));
    hostsim::ClearCalls();
  }
  ASSERT_EQ(1u, hostsim::Calls().size()) << hostsim::OpSequenceText();
  EXPECT_EQ(Op::AdjacencyFree, hostsim::Calls()[0].op);
  EXPECT_NE(0, hostsim::Calls()[0].args[0]);
}

TEST_F(GeometryNeighbor, BuildTwiceFreesTheFirstTableFirst) {
  Neighbor* neighbor = NewNeighbor();
  EXPECT_EQ(1, neighbor->Build(6, polygons, 2, selection));
  const intptr_t first = LastBuilt(*neighbor);
  EXPECT_EQ(1, neighbor->Build(6, polygons, 2, selection));
  const intptr_t second = LastBuilt(*neighbor);
  neighbor->Destroy(1);
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
  ASSERT_EQ(1, neighbor->Build(6, polygons, 2, selection));
  const intptr_t first = LastBuilt(*neighbor);
  hostsim::ClearCalls();
  EXPECT_EQ(1, neighbor->Build(6, nullptr, 2, selection));
  EXPECT_EQ(nullptr, neighbor->handle);
  neighbor->Destroy(1);
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {first}},
                        {Op::AdjacencyFree, {0}},
                        {Op::FreeMemory, {P(neighbor)}}}));
}

TEST_F(GeometryNeighbor, FailedBuildHoldsNothing) {
  Neighbor* neighbor = NewNeighbor();
  hostsim::FailAt(hostsim::FallibleCount() + 1);
  EXPECT_EQ(0, neighbor->Build(6, polygons, 2, selection));
  hostsim::ClearFaults();
  EXPECT_EQ(nullptr, neighbor->handle);
  neighbor->Destroy(1);
  EXPECT_TRUE(CallsAre({{Op::AdjacencyFree, {0}},
                        {Op::AdjacencyBuild, {6, P(polygons), 2, P(selection)}},
                        {Op::AdjacencyFree, {0}},
                        {Op::FreeMemory, {P(neighbor)}}}));
}

TEST_F(GeometryNeighbor, AdjacencyOfForwardsTheHostRecord) {
  Neighbor* neighbor = NewNeighbor();
  ASSERT_EQ(1, neighbor->Build(6, polygons, 2, selection));
  const intptr_t handle = LastBuilt(*neighbor);
  hostsim::ClearCalls();
  const PolygonAdjacency* left = neighbor->AdjacencyOf(0);
  const PolygonAdjacency* right = neighbor->AdjacencyOf(1);
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
  neighbor->Destroy(1);
}

}  // namespace
