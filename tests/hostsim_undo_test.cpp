// Undo steps and write checks: Undo must restore every bit, and a module
// that writes points outside its undo step, or before recording the object,
// must be caught.
#include <gtest/gtest.h>

#include <cstring>

#include "hostsim/hostsim.h"

namespace {

class HostSimUndo : public ::testing::Test {
 protected:
  void SetUp() override {
    hostsim::Reset();
    document = hostsim::NewDocument();
    object = hostsim::NewPolygonObject({{1, 2, 3}, {-0.0f, 5e-39f, 7}}, {{0, 1, 1, 1}}, {{0, 0}});
    document->active = object;
  }
  void TearDown() override { hostsim::Reset(); }

  Vector* Writable() {
    return static_cast<Vector*>(host.geometry->TagDataWritable(hostsim::AsHost(object), 5600, 0));
  }

  HostTable& host = *hostsim::Table();
  HostDocument* doc() { return hostsim::AsHost(document); }
  hostsim::SimDocument* document = nullptr;
  hostsim::SimObject* object = nullptr;
};

TEST_F(HostSimUndo, UndoRestoresEveryBitOfTheRecordedPoints) {
  std::vector<Vector> before = hostsim::PointsOf(object);
  Vector* points = Writable();
  host.document->UndoBegin(doc());
  host.document->UndoAdd(doc(), 40, hostsim::AsHost(object));
  points[0] = {9, 9, 9};
  points[1].x = 0.0f;  // -0 to +0: a change only bits show
  host.document->UndoEnd(doc());
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
  ASSERT_EQ(hostsim::UndoSteps(document).size(), 1u);
  EXPECT_EQ(hostsim::UndoSteps(document)[0].objects.size(), 1u);
  ASSERT_TRUE(hostsim::Undo(document));
  std::vector<Vector> after = hostsim::PointsOf(object);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(std::memcmp(after.data(), before.data(), before.size() * sizeof(Vector)), 0);
  EXPECT_EQ(hostsim::Bits(after[1].x), 0x80000000u);
  EXPECT_FALSE(hostsim::Undo(document));  // nothing left
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
}

TEST_F(HostSimUndo, WriteBeforeUndoAddIsReported) {
  Vector* points = Writable();
  host.document->UndoBegin(doc());
  points[0].x = 4;
  host.document->UndoAdd(doc(), 40, hostsim::AsHost(object));
  host.document->UndoEnd(doc());
  ASSERT_EQ(hostsim::Violations().size(), 1u);
  EXPECT_NE(hostsim::FirstViolation().find("before UndoAdd"), std::string::npos)
      << hostsim::FirstViolation();
}

TEST_F(HostSimUndo, WriteOutsideAnyStepIsReported) {
  Vector* points = Writable();
  points[1].z = 0;
  EXPECT_EQ(hostsim::Violations().size(), 1u);
  host.document->UndoBegin(doc());
  host.document->UndoAdd(doc(), 40, hostsim::AsHost(object));
  host.document->UndoEnd(doc());
  points[1].z = 1;  // after the step closed
  ASSERT_EQ(hostsim::Violations().size(), 2u);
  EXPECT_NE(hostsim::Violations()[1].find("outside an undo step"), std::string::npos)
      << hostsim::Violations()[1];
}

TEST_F(HostSimUndo, WriteInsideAStepThatDidNotRecordTheObjectIsReported) {
  Vector* points = Writable();
  host.document->UndoBegin(doc());
  points[0].y = -1;
  host.document->UndoEnd(doc());
  ASSERT_EQ(hostsim::Violations().size(), 1u);
  EXPECT_NE(hostsim::FirstViolation().find("without being recorded"), std::string::npos)
      << hostsim::FirstViolation();
}

TEST_F(HostSimUndo, UnbalancedStepsAreReported) {
  host.document->UndoEnd(doc());
  host.document->UndoAdd(doc(), 40, hostsim::AsHost(object));
  host.document->UndoBegin(doc());
  host.document->UndoBegin(doc());
  EXPECT_EQ(hostsim::Violations().size(), 3u);
  EXPECT_NE(hostsim::LedgerReport().find("undo step left open"), std::string::npos);
  host.document->UndoEnd(doc());
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST_F(HostSimUndo, TestSideChangesAreNotModuleWrites) {
  Writable();
  hostsim::SetPoints(object, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
}

TEST_F(HostSimUndo, ObjectQueriesServeTheObjectsArraysAndHostileCounts) {
  HostObject* o = hostsim::AsHost(object);
  EXPECT_EQ(host.document->ActiveObjectOf(doc()), o);
  EXPECT_EQ(host.node->IsOfType(o, 5100), 1);
  EXPECT_EQ(host.node->IsOfType(o, 5101), 0);
  EXPECT_EQ(host.geometry->TagDataCount(o, 5600), 2);
  EXPECT_EQ(host.geometry->TagDataCount(o, 5604), 1);
  EXPECT_EQ(host.geometry->TagDataReadable(o, 5604, 0), object->polygons.data.get());
  object->overridePolygonCount = true;
  object->reportedPolygonCount = -1;
  object->overridePointCount = true;
  object->reportedPointCount = INT32_MAX;
  EXPECT_EQ(host.geometry->TagDataCount(o, 5604), -1);
  EXPECT_EQ(host.geometry->TagDataCount(o, 5600), INT32_MAX);
  object->nullPolygons = true;
  EXPECT_EQ(host.geometry->TagDataReadable(o, 5604, 0), nullptr);

  HostSelection* selection = host.geometry->PolygonSelectionOf(o);
  hostsim::SetSegments(object, {{3, 1}, {-4, 7}});
  int32_t first = 0, last = 0;
  ASSERT_EQ(host.selection->SelectionSegment(selection, 0, &first, &last), 1);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(last, 1);
  ASSERT_EQ(host.selection->SelectionSegment(selection, 1, &first, &last), 1);
  EXPECT_EQ(first, -4);
  EXPECT_EQ(host.selection->SelectionSegment(selection, 2, &first, &last), 0);
  EXPECT_EQ(host.selection->SelectionSegment(selection, -1, &first, &last), 0);

  host.node->SendMessage(o, 5, nullptr);
  EXPECT_EQ(object->messages, std::vector<int32_t>{5});
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
  int local = 0;
  host.node->IsOfType(reinterpret_cast<HostObject*>(&local), 5100);
  EXPECT_EQ(hostsim::Violations().size(), 1u);
}

}  // namespace
