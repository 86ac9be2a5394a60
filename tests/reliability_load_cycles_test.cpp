// Load and unload, a thousand times: each cycle loads the built module,
// starts it, loads its resource, registers the command, asks its state, runs
// it on a mesh chosen by a seeded generator, releases it, ends and unloads
// it. After every cycle the stand-in host's ledger is at zero and the exit
// routine found nothing; every cycle without a fault gives the same bits as
// the first cycle on the same mesh, so no state survives an unload. Some
// cycles have one host call fail.
#include <random>

#include "host/constants.h"
#include "hostsim/session.h"
#include "tests/reliability_support.h"

namespace reliability_test {
namespace {

constexpr int kCycles = 1000;
constexpr uint32_t kSeed = 20240611;

// The meshes the cycles choose from.
std::vector<Mesh> Meshes() {
  Mesh two = Strip("two strips", 3);
  Join(&two, Strip("", 2, 6.0f));
  two.segments = {{0, 0}, {3, 4}};
  Mesh longStrip = Strip("long strip", 40);
  longStrip.segments = {{0, 39}};
  return {TrianglesAndQuads(), two, longStrip};
}

TEST(ReliabilityLoadCycles, ThousandLoadRunUnloadCyclesLeaveNothing) {
  EmptyWorkingFolder folder;  // the resource is found only beside the module
  ASSERT_TRUE(folder.Entered());
  const std::vector<Mesh> meshes = Meshes();
  std::vector<std::vector<Vector>> firstResult(meshes.size());
  std::mt19937 random(kSeed);
  int faulted = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    SCOPED_TRACE(testing::Message() << "cycle " << cycle);
    const size_t which = random() % meshes.size();
    const Mesh& mesh = meshes[which];
    // One cycle in eight has one of its first 20 fallible calls fail.
    const uint64_t failAt = random() % 8 == 0 ? 1 + random() % 20 : 0;

    hostsim::Reset();
    hostsim::SetRecording(false);  // the log is not read; a thousand of them add up
    hostsim::SimDocument* document = hostsim::NewDocument();
    document->parameters[kEnablingParameter] = kEnablingParameterValue;
    hostsim::SimObject* object = hostsim::NewPolygonObject(mesh.points, mesh.polygons, mesh.segments);
    document->active = object;
    hostsim::FailAt(failAt);

    hostsim::Session session(FLATTEN_MODULE_PATH);
    ASSERT_TRUE(session.Load()) << session.Error();
    const int32_t start = session.Start();
    const int32_t message = session.Message(1);
    const int32_t pluginStart = session.PluginStart();
    const int32_t state = session.QueryState(document);
    const int32_t run = session.Execute(document);
    session.Release();
    const int32_t end = session.End();
    ASSERT_EQ("", hostsim::LedgerReport()) << "left after action 3 (fault at " << failAt << ")";
    hostsim::SetRecording(true);
    ASSERT_TRUE(session.Unload()) << session.Error();
    ASSERT_EQ("", hostsim::OpSequenceText()) << "the exit routine found something left";
    ASSERT_EQ("", hostsim::FirstViolation());
    ASSERT_EQ(kResultOk, start);
    ASSERT_EQ(kResultOk, end);

    if (hostsim::InjectedFailures() != 0) {
      ++faulted;
      continue;
    }
    ASSERT_EQ(kResultOk, message);
    ASSERT_EQ(kResultOk, pluginStart);
    ASSERT_EQ(int32_t(kCommandStateEnabled), state);
    ASSERT_EQ(1, run);
    const std::vector<Vector> after = hostsim::PointsOf(object);
    if (firstResult[which].empty()) {
      firstResult[which] = after;
      ASSERT_NE("", FirstDifference(mesh.points, after)) << mesh.name << " did not move";
    } else {
      ASSERT_EQ("", FirstDifference(firstResult[which], after))
          << mesh.name << ": not the bits of the first cycle on it";
    }
  }
  hostsim::Reset();
  // The seed gives a mix: most cycles run clean, some meet a failure.
  EXPECT_GT(faulted, kCycles / 16);
  EXPECT_LT(faulted, kCycles / 4);
}

}  // namespace
}  // namespace reliability_test
