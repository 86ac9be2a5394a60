// The run of the command through the built module: the host calls in their
// order, the outcome of every early exit, how segments seed regions, and the
// order in which a region is gathered.
#include <functional>

#include "command_support.h"

namespace {

using command_test::AllPolygons;
using command_test::CheckProjected;
using command_test::CommandFixture;
using command_test::ExpectedPlane;
using command_test::kIdentity;
using command_test::SameBits;
using command_test::VisitOrder;
using hostsim::Op;
using hostsim::SimObject;

// n quads with points of their own (no two share a side or a point), each
// with one corner raised so that none is planar. Quad k lies at x = 3k.
//
//   3---2'   2' raised by 0.5 + 0.25 k
//   |   |
//   0---1
std::pair<std::vector<Vector>, std::vector<Polygon>> SeparateQuads(int32_t n) {
  std::vector<Vector> points;
  std::vector<Polygon> polygons;
  for (int32_t k = 0; k < n; ++k) {
    const float x = 3.0f * float(k);
    points.push_back({x, 0, 0});
    points.push_back({x + 1, 0, 0});
    points.push_back({x + 1, 0.5f + 0.25f * float(k), 1});
    points.push_back({x, 0, 1});
    polygons.push_back({4 * k, 4 * k + 1, 4 * k + 2, 4 * k + 3});
  }
  return {points, polygons};
}

std::vector<Op> Ops(std::initializer_list<Op> ops) { return ops; }

class CommandExecute : public CommandFixture {
 protected:
  // The points of object as they were when the test made it.
  void Remember(SimObject* object) { before_ = hostsim::PointsOf(object); }
  bool Unmoved(SimObject* object, size_t point) const {
    return SameBits(before_[point], hostsim::PointsOf(object)[point]);
  }
  bool NothingMoved(SimObject* object) const {
    const std::vector<Vector> now = hostsim::PointsOf(object);
    if (now.size() != before_.size()) return false;
    for (size_t i = 0; i < now.size(); ++i)
      if (!SameBits(now[i], before_[i])) return false;
    return true;
  }
  std::vector<Vector> before_;
};

TEST_F(CommandExecute, CallsTheHostInTheFixedOrderWithTheFixedArguments) {
  auto mesh = SeparateQuads(1);
  SimObject* object = hostsim::NewPolygonObject(mesh.first, mesh.second, {{0, 0}});
  ASSERT_EQ(1, Run(object));

  const std::vector<Op> expected = {
      Op::CommandPreamble,  Op::ActiveObjectOf,       Op::IsOfType,
      Op::PolygonSelectionOf, Op::TagDataCount,       Op::TagDataReadable,
      Op::TagDataWritable,  Op::TagDataReadable,      Op::TagDataCount,
      Op::AdjacencyFree,    Op::AdjacencyBuild,       Op::AllocMemory,  // marks
      Op::AllocMemory,                                                  // stack
      Op::UndoBegin,        Op::UndoAdd,              Op::SelectionSegment,
      Op::AllocMemoryUncleared,  // the region's list
      Op::AdjacencyPolygonInfo, Op::ObjectGlobalMatrix, Op::FreeMemory,  // list cleared
      Op::SelectionSegment, Op::UndoEnd,              Op::SendMessage,
      Op::SignalChange,     Op::FreeMemory,           Op::FreeMemory,  // stack, marks
      Op::AdjacencyFree};
  ASSERT_EQ(expected, hostsim::OpSequence()) << hostsim::OpSequenceText();

  const std::vector<hostsim::Call>& calls = hostsim::Calls();
  const intptr_t doc = reinterpret_cast<intptr_t>(document_);
  const intptr_t obj = reinterpret_cast<intptr_t>(object);
  EXPECT_EQ(std::vector<intptr_t>{doc}, calls[1].args);
  EXPECT_EQ((std::vector<intptr_t>{obj, 5100}), calls[2].args);
  EXPECT_EQ((std::vector<intptr_t>{obj, 5604}), calls[4].args);
  EXPECT_EQ((std::vector<intptr_t>{obj, 5604, 0}), calls[5].args);
  EXPECT_EQ((std::vector<intptr_t>{obj, 5600, 0}), calls[6].args);
  EXPECT_EQ((std::vector<intptr_t>{obj, 5604, 0}), calls[7].args);
  EXPECT_EQ((std::vector<intptr_t>{obj, 5600}), calls[8].args);
  EXPECT_EQ(0, calls[9].args[0]) << "the first AdjacencyFree is of the empty table";
  EXPECT_EQ((std::vector<intptr_t>{4, reinterpret_cast<intptr_t>(object->polygons.data.get()), 1,
                                   reinterpret_cast<intptr_t>(&object->selection)}),
            calls[10].args);
  EXPECT_EQ((std::vector<intptr_t>{4, 0, 0}), calls[11].args) << "one 32-bit mark per polygon";
  EXPECT_EQ((std::vector<intptr_t>{intptr_t(sizeof(void*)), 0, 0}), calls[12].args)
      << "one word of stack per polygon";
  EXPECT_EQ(std::vector<intptr_t>{doc}, calls[13].args);
  EXPECT_EQ((std::vector<intptr_t>{doc, 40, obj}), calls[14].args);
  EXPECT_EQ(0, calls[15].args[1]) << "segment 0";
  EXPECT_EQ(0, calls[17].args[1]) << "the seed's record";
  EXPECT_EQ(std::vector<intptr_t>{obj}, calls[18].args);
  EXPECT_EQ(1, calls[20].args[1]) << "segment 1 ends the walk";
  EXPECT_EQ(std::vector<intptr_t>{doc}, calls[21].args);
  EXPECT_EQ((std::vector<intptr_t>{obj, 5, 0}), calls[22].args);
  EXPECT_EQ(std::vector<intptr_t>{0}, calls[23].args);
  EXPECT_EQ(std::vector<int32_t>{5}, object->messages);
}

// Every way a run can end, with what must (not) have happened.
TEST_F(CommandExecute, OutcomesOfEveryExit) {
  struct Case {
    const char* what;
    std::function<SimObject*()> make;  // null: no active object
    uint64_t failing;                  // fallible host call of the run that fails, 0: none
    int32_t result;
    bool undoStep;  // an undo step was opened (and closed), message and signal sent
  };
  const auto quads = [] {
    auto mesh = SeparateQuads(2);
    return hostsim::NewPolygonObject(mesh.first, mesh.second, {{0, 1}});
  };
  const Case cases[] = {
      {"no active object", nullptr, 0, 1, false},
      {"not a polygon object", [] { return hostsim::NewObject(5101); }, 0, 1, false},
      {"neighbour table cannot be built", quads, 1, 0, false},
      {"no block for the marks", quads, 2, 0, false},
      {"no block for the stack", quads, 3, 0, false},
      {"empty selection",
       [] {
         auto mesh = SeparateQuads(2);
         return hostsim::NewPolygonObject(mesh.first, mesh.second, {});
       },
       0, 1, true},
      {"object without polygons", [] { return hostsim::NewPolygonObject({}, {}, {}); }, 0, 1,
       true},
      {"object without polygons, table fails",
       [] { return hostsim::NewPolygonObject({}, {}, {}); }, 1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimObject* object = c.make ? c.make() : nullptr;
    if (object != nullptr) Remember(object);
    hostsim::ClearFaults();
    // Fallible calls of a run, in order: the table, the marks, the stack.
    if (c.failing != 0) hostsim::FailAt(hostsim::FallibleCount() + c.failing);
    const size_t stepsBefore = hostsim::UndoSteps(document_).size();

    EXPECT_EQ(c.result, Run(object));

    const std::string sequence = hostsim::OpSequenceText();
    EXPECT_EQ(c.undoStep ? 1u : 0u, hostsim::CountOf(Op::UndoBegin)) << sequence;
    EXPECT_EQ(hostsim::CountOf(Op::UndoBegin), hostsim::CountOf(Op::UndoEnd)) << sequence;
    EXPECT_EQ(c.undoStep ? 1u : 0u, hostsim::CountOf(Op::SendMessage)) << sequence;
    EXPECT_EQ(c.undoStep ? 1u : 0u, hostsim::CountOf(Op::SignalChange)) << sequence;
    EXPECT_EQ(stepsBefore + (c.undoStep ? 1u : 0u), hostsim::UndoSteps(document_).size());
    if (object != nullptr && object->type == 5100) {
      EXPECT_TRUE(NothingMoved(object)) << "points moved";
      // The table is ended on every path: once before the build, once after.
      EXPECT_EQ(2u, hostsim::CountOf(Op::AdjacencyFree)) << sequence;
    }
    EXPECT_EQ(1u, hostsim::LiveBlockCount()) << "only the command object stays: " << sequence;
    EXPECT_EQ(0u, hostsim::LiveAdjacencyCount());
    EXPECT_EQ("", hostsim::FirstViolation());
  }
  // The two early exits touch nothing beyond their queries.
  document_->active = nullptr;
  hostsim::ClearCalls();
  session_.Execute(document_);
  EXPECT_EQ(Ops({Op::CommandPreamble, Op::ActiveObjectOf}), hostsim::OpSequence());
  document_->active = hostsim::NewObject(5101);
  hostsim::ClearCalls();
  session_.Execute(document_);
  EXPECT_EQ(Ops({Op::CommandPreamble, Op::ActiveObjectOf, Op::IsOfType}), hostsim::OpSequence());
}

TEST_F(CommandExecute, EmptySelectionRecordsTheObjectAndMovesNothing) {
  auto mesh = SeparateQuads(2);
  SimObject* object = hostsim::NewPolygonObject(mesh.first, mesh.second, {});
  Remember(object);
  ASSERT_EQ(1, Run(object));
  ASSERT_EQ(1u, hostsim::UndoSteps(document_).size());
  const hostsim::UndoStep& step = hostsim::UndoSteps(document_)[0];
  EXPECT_FALSE(step.open);
  EXPECT_EQ(std::vector<SimObject*>{object}, step.objects);
  EXPECT_EQ(std::vector<int32_t>{5}, object->messages);
  EXPECT_TRUE(NothingMoved(object));
  EXPECT_EQ(0u, hostsim::CountOf(Op::ObjectGlobalMatrix));
}

TEST_F(CommandExecute, ObjectWithoutPolygonsGetsTheSmallestMarksBlock) {
  SimObject* object = hostsim::NewPolygonObject({}, {}, {});
  ASSERT_EQ(1, Run(object));
  size_t allocs = 0;
  for (const hostsim::Call& call : hostsim::Calls())
    if (call.op == Op::AllocMemory) {
      ++allocs;
      EXPECT_EQ(1, call.args[0]) << "a size of 0 is raised to 1 byte";
    }
  EXPECT_EQ(2u, allocs);
}

TEST_F(CommandExecute, RunsWhateverParameter1019Holds) {
  auto mesh = SeparateQuads(1);
  SimObject* object = hostsim::NewPolygonObject(mesh.first, mesh.second, {{0, 0}});
  Remember(object);
  document_->parameters[kEnablingParameter] = 0;
  ASSERT_EQ(1, Run(object));
  EXPECT_EQ(0u, hostsim::CountOf(Op::GetParameter));
  EXPECT_FALSE(NothingMoved(object)) << "the disabled command did not run";
}

// Seeds come from the segments in order; a polygon already in a region, or
// listed again, seeds nothing.
TEST_F(CommandExecute, SegmentsSeedEachRegionOnce) {
  struct Case {
    const char* what;
    std::vector<std::pair<int32_t, int32_t>> segments;
    std::vector<int32_t> visits;  // region seeds, in the order gathered
  };
  const Case cases[] = {
      {"overlapping segments", {{0, 1}, {1, 2}, {0, 2}}, {0, 1, 2}},
      {"first greater than last", {{2, 0}}, {}},
      {"reversed segment, then a proper one", {{3, 1}, {1, 1}}, {1}},
      {"segments out of index order", {{2, 2}, {0, 0}, {1, 2}}, {2, 0, 1}},
      {"one index listed twice", {{1, 1}, {1, 1}}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto mesh = SeparateQuads(4);
    SimObject* object = hostsim::NewPolygonObject(mesh.first, mesh.second, c.segments);
    Remember(object);
    ASSERT_EQ(1, Run(object));
    EXPECT_EQ(c.visits, VisitOrder());
    EXPECT_EQ(c.visits.size(), hostsim::CountOf(Op::ObjectGlobalMatrix)) << "one fit per region";
    for (int32_t polygon = 0; polygon < 4; ++polygon) {
      const bool seeded = std::find(c.visits.begin(), c.visits.end(), polygon) != c.visits.end();
      // Corner c of every quad is raised, so a flattened quad moves it.
      EXPECT_EQ(!seeded, Unmoved(object, size_t(4 * polygon + 2))) << "quad " << polygon;
    }
  }
}

// Two strips that do not touch: each goes into its own plane, gathered in
// the order the segments first reach them.
TEST_F(CommandExecute, DisconnectedRegionsAreFlattenedSeparatelyInSegmentOrder) {
  auto first = command_test::Grid(2, 1, [](int32_t i, int32_t j) { return float(i * j) * 0.5f; });
  auto second = command_test::Grid(2, 1, [](int32_t i, int32_t j) { return float(i + j) * -0.3f; });
  std::vector<Vector> points = first.first;
  std::vector<Polygon> polygons = first.second;
  const int32_t shift = int32_t(points.size());
  for (Vector p : second.first) points.push_back({p.x + 10, p.y, p.z});
  for (Polygon q : second.second) polygons.push_back({q.a + shift, q.b + shift, q.c + shift, q.d + shift});

  SimObject* object = hostsim::NewPolygonObject(points, polygons, {{3, 3}, {0, 3}});
  ASSERT_EQ(1, Run(object));
  EXPECT_EQ((std::vector<int32_t>{3, 2, 0, 1}), VisitOrder());
  EXPECT_EQ(2u, hostsim::CountOf(Op::ObjectGlobalMatrix));

  const std::vector<Vector> after = hostsim::PointsOf(object);
  for (const std::vector<int32_t>& region : {std::vector<int32_t>{0, 1}, std::vector<int32_t>{2, 3}}) {
    const command_test::Plane plane = ExpectedPlane(kIdentity, points, polygons, region);
    CheckProjected(kIdentity, plane, points, after, polygons, region, 1e-5);
  }
}

// Two regions with one point in common but no side: both move it, and the
// region gathered later decides where it ends up.
TEST_F(CommandExecute, RegionGatheredLaterDecidesASharedPoint) {
  //  quad 0: 0 1 2 3, quad 1: 3 4 5 6; point 3 is shared.
  const std::vector<Vector> points = {{0, 0, 0},  {1, 0, 0},   {1, 0.6f, 1}, {0, 0, 1},
                                      {0, 1, 2},  {-1, 0.2f, 2}, {-1, 0, 1}};
  const std::vector<Polygon> polygons = {{0, 1, 2, 3}, {3, 4, 5, 6}};
  for (int32_t later : {0, 1}) {
    SCOPED_TRACE("polygon " + std::to_string(later) + " gathered later");
    const int32_t earlier = 1 - later;
    SimObject* object =
        hostsim::NewPolygonObject(points, polygons, {{earlier, earlier}, {later, later}});
    ASSERT_EQ(1, Run(object));
    EXPECT_EQ((std::vector<int32_t>{earlier, later}), VisitOrder());

    // The double-precision model, region by region: the earlier region moves
    // the shared point first, and the later region's plane is fitted to that.
    const command_test::Plane first = ExpectedPlane(kIdentity, points, polygons, {earlier});
    std::vector<Vector> between = points;
    const Polygon& e = polygons[size_t(earlier)];
    for (int32_t corner : {e.a, e.b, e.c, e.d}) {
      const command_test::D3 moved = command_test::Project(first, command_test::World(kIdentity, points[size_t(corner)]));
      between[size_t(corner)] = {float(moved.x), float(moved.y), float(moved.z)};
    }
    const command_test::Plane second = ExpectedPlane(kIdentity, between, polygons, {later});
    const std::vector<Vector> after = hostsim::PointsOf(object);
    CheckProjected(kIdentity, second, between, after, polygons, {later}, 1e-5);
    const command_test::D3 shared = command_test::World(kIdentity, after[3]);
    EXPECT_GT(std::fabs(command_test::Dot(shared - first.centre, first.normal)), 0.05)
        << "the shared point stayed in the earlier region's plane";
  }
}

// The depth-first pre-order: with seed 0 linked to (1, -, 2, -), 1 to
// (0, 3, -, -), 3 to (1, -, -, -) and 2 to (0, -, -, -) the region is
// gathered as 0, 1, 3, 2, not breadth first.
TEST_F(CommandExecute, RegionIsGatheredDepthFirstInEdgeOrder) {
  auto mesh = SeparateQuads(4);
  hostsim::OverrideNeighbours(0, {1, -1, 2, -1});
  hostsim::OverrideNeighbours(1, {0, 3, -1, -1});
  hostsim::OverrideNeighbours(3, {1, -1, -1, -1});
  hostsim::OverrideNeighbours(2, {0, -1, -1, -1});
  SimObject* object = hostsim::NewPolygonObject(mesh.first, mesh.second, {{0, 3}});
  ASSERT_EQ(1, Run(object));
  EXPECT_EQ((std::vector<int32_t>{0, 1, 3, 2}), VisitOrder());
  EXPECT_EQ(1u, hostsim::CountOf(Op::ObjectGlobalMatrix)) << "one region";
}

TEST_F(CommandExecute, PolygonReachedTwiceIsListedOnceAtItsFirstVisit) {
  // A ring 0-1-2-3-0 with a chord 0-2: every polygon is reached more than once.
  auto mesh = SeparateQuads(4);
  hostsim::OverrideNeighbours(0, {1, 2, 3, 0});
  hostsim::OverrideNeighbours(1, {2, 0, 1, -1});
  hostsim::OverrideNeighbours(2, {3, 1, 0, -1});
  hostsim::OverrideNeighbours(3, {0, 2, -1, 3});
  SimObject* object = hostsim::NewPolygonObject(mesh.first, mesh.second, {{0, 3}});
  ASSERT_EQ(1, Run(object));
  EXPECT_EQ((std::vector<int32_t>{0, 1, 2, 3}), VisitOrder());
  EXPECT_EQ(1u, hostsim::CountOf(Op::ObjectGlobalMatrix));
}

// The second append of a region fails: that polygon stays out of the region
// (unmoved) but marked, so it seeds nothing later, and its neighbours are
// still followed.
TEST_F(CommandExecute, FailedAppendLeavesThePolygonOutButFollowsItsNeighbours) {
  auto mesh = SeparateQuads(3);
  hostsim::OverrideNeighbours(0, {1, -1, -1, -1});
  hostsim::OverrideNeighbours(1, {0, 2, -1, -1});
  hostsim::OverrideNeighbours(2, {1, -1, -1, -1});
  SimObject* object = hostsim::NewPolygonObject(mesh.first, mesh.second, {{0, 2}});
  Remember(object);
  // Fallible calls: table, marks, stack, then the list's blocks: the first
  // append gets one, the second needs a larger one.
  hostsim::FailAt(hostsim::FallibleCount() + 5);
  ASSERT_EQ(1, Run(object));
  EXPECT_EQ((std::vector<int32_t>{0, 1, 2}), VisitOrder());
  EXPECT_EQ(1u, hostsim::CountOf(Op::ObjectGlobalMatrix)) << "polygon 1 seeded a region";
  for (size_t point = 4; point < 8; ++point) EXPECT_TRUE(Unmoved(object, point)) << point;

  const std::vector<Vector> after = hostsim::PointsOf(object);
  const command_test::Plane plane = ExpectedPlane(kIdentity, before_, mesh.second, {0, 2});
  CheckProjected(kIdentity, plane, before_, after, mesh.second, {0, 2}, 1e-5);
}

}  // namespace
