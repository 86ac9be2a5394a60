// Every fallible host call of a whole session fails in turn. A dry run of
// the session (load, action 1, message 1, action 2, QueryState, Execute,
// release, action 3, unload) through the built module counts its K fallible
// calls; then for every N from 1 to K the N-th call fails, once in one pass
// and from then on in a second. Each outcome is the defined one, and the
// stand-in host's ledger balances every time:
// - action 1 still starts without its folder; the resource is then looked
//   for in the empty folder and not found;
// - a resource whose folder storage failed is retried on the next message;
//   a failed load is not;
// - action 2 reports 0 for every failure after the command object was made,
//   and the object is released then, so nothing leaks;
// - QueryState reads 0 when the parameter cannot be read;
// - Execute reports false with the neighbour table released and no undo
//   step when the table, the marks or the collection stack cannot be had;
// - a failed append leaves exactly that polygon out of its region (and with
//   every later call failing, every polygon from there on): the points come
//   out bit for bit as the region without it is flattened.
#include <cinttypes>
#include <cstdio>

#include "command/plane_fit.h"
#include "geometry/index_list.h"
#include "host/constants.h"
#include "host/host.h"
#include "hostsim/session.h"
#include "tests/reliability_support.h"

namespace reliability_test {
namespace {

using hostsim::Op;

enum Phase { kStart, kMessage, kRetry, kPluginStart, kQuery, kExecute, kRelease, kEnd, kPhaseCount };
const char* const kPhaseNames[kPhaseCount] = {"action 1", "message 1", "message 1 again",
                                              "action 2", "QueryState", "Execute",
                                              "release",  "action 3"};

// What one session did, read from its results and the call log.
struct SessionRun {
  int32_t start = 0, message = 0, retry = 0, pluginStart = 0, state = 0, execute = 0;
  bool retried = false, registered = false, executed = false;
  size_t blocksAfterPluginStart = 0, blocksAfterExecute = 0, blocksAfterRelease = 0;
  size_t tablesAfterExecute = 0;
  std::vector<Vector> before, after;
  std::vector<hostsim::Call> log;
  size_t phaseBegin[kPhaseCount + 1] = {};
  uint64_t fallible = 0, injected = 0;
  std::string ledger, violation, exitCalls;
  size_t undoSteps = 0;
  bool undoClosed = false, undoRecordedObject = false;
  std::vector<int32_t> messages;
};

// What the dry run tells about the Execute phase.
struct DryRun {
  uint64_t k = 0;
  std::vector<std::vector<int32_t>> regions;  // polygons visited, region by region
  // For the N-th fallible call (index N), the polygon whose append it
  // served; -1 for calls that are no append.
  std::vector<int32_t> appendOf;
  std::vector<Vector> after;
};

class ReliabilityFaultSweep : public ::testing::TestWithParam<Mesh> {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.Entered()) << "cannot enter an empty folder"; }
  void TearDown() override { hostsim::Reset(); }

  // One whole session on the mesh with FailAt(failAt, fromThenOn) armed
  // from the start. Marks where each phase begins in the log.
  SessionRun RunSession(const Mesh& mesh, uint64_t failAt, bool fromThenOn) {
    SessionRun run;
    hostsim::Reset();
    hostsim::SimDocument* document = hostsim::NewDocument();
    document->parameters[kEnablingParameter] = kEnablingParameterValue;
    object_ = hostsim::NewPolygonObject(mesh.points, mesh.polygons, mesh.segments);
    document->active = object_;
    run.before = hostsim::PointsOf(object_);

    hostsim::Session session(FLATTEN_MODULE_PATH);
    EXPECT_TRUE(session.Load()) << session.Error();
    hostsim::FailAt(failAt, fromThenOn);
    auto mark = [&](Phase phase) { run.phaseBegin[phase] = hostsim::Calls().size(); };

    mark(kStart);
    run.start = session.Start();
    mark(kMessage);
    run.message = session.Message(1);
    mark(kRetry);
    // A host that sees message 1 fail may send it again.
    if (run.message != kResultOk) {
      run.retried = true;
      run.retry = session.Message(1);
    }
    mark(kPluginStart);
    run.pluginStart = session.PluginStart();
    run.registered = session.Registered() != nullptr;
    run.blocksAfterPluginStart = hostsim::LiveBlockCount();
    mark(kQuery);
    if (run.registered) run.state = session.QueryState(document);
    mark(kExecute);
    if (run.registered) {
      run.executed = true;
      run.execute = session.Execute(document);
    }
    run.after = hostsim::PointsOf(object_);
    run.blocksAfterExecute = hostsim::LiveBlockCount();
    run.tablesAfterExecute = hostsim::LiveAdjacencyCount();
    mark(kRelease);
    session.Release();
    run.blocksAfterRelease = hostsim::LiveBlockCount();
    mark(kEnd);
    EXPECT_EQ(kResultOk, session.End());
    mark(kPhaseCount);

    run.fallible = hostsim::FallibleCount();
    run.injected = hostsim::InjectedFailures();
    run.ledger = hostsim::LedgerReport();
    run.violation = hostsim::FirstViolation();
    const std::vector<hostsim::UndoStep>& steps = hostsim::UndoSteps(document);
    run.undoSteps = steps.size();
    if (!steps.empty()) {
      run.undoClosed = !steps.back().open;
      run.undoRecordedObject =
          steps.back().objects.size() == 1 && steps.back().objects[0] == object_;
    }
    run.messages = object_->messages;
    run.log = hostsim::Calls();

    // Unloading runs the module's exit routine, which must find nothing.
    hostsim::ClearCalls();
    EXPECT_TRUE(session.Unload()) << session.Error();
    run.exitCalls = hostsim::OpSequenceText();
    return run;
  }

  // The fallible calls of one phase, in order, with whether each failed.
  static std::vector<FallibleCall> CallsOf(const SessionRun& run, Phase phase,
                                           const std::vector<FallibleCall>& all) {
    std::vector<FallibleCall> found;
    for (const FallibleCall& call : all)
      if (call.logIndex >= run.phaseBegin[phase] && call.logIndex < run.phaseBegin[phase + 1])
        found.push_back(call);
    return found;
  }

  static std::string Text(const std::vector<FallibleCall>& calls) {
    std::string text;
    for (const FallibleCall& call : calls)
      text += std::string(text.empty() ? "" : " ") + hostsim::OpName(call.op) +
              (call.failed ? "(failed)" : "");
    return text.empty() ? "none" : text;
  }

  // Checks that calls are a prefix of expected that stops right after the
  // first failed call (or runs through all of expected); true when one of
  // them failed.
  static bool StopsAtFirstFailure(const std::vector<FallibleCall>& calls,
                                  const std::vector<Op>& expected, Phase phase) {
    bool failed = false;
    size_t i = 0;
    for (; i < calls.size() && i < expected.size() && !failed; ++i) {
      EXPECT_EQ(hostsim::OpName(expected[i]), std::string(hostsim::OpName(calls[i].op)))
          << kPhaseNames[phase] << ": fallible call " << i << "; seen " << Text(calls);
      failed = calls[i].failed;
    }
    EXPECT_EQ(i, calls.size()) << kPhaseNames[phase] << ": calls after the first failure; seen "
                               << Text(calls);
    if (!failed) {
      EXPECT_EQ(expected.size(), calls.size())
          << kPhaseNames[phase] << ": expected every call; seen " << Text(calls);
    }
    return failed;
  }

  // The points after flattening the dry run's regions in order, each without
  // the polygons in leftOut: the module's own plane fit applied to the lists
  // the driver should have gathered.
  std::vector<Vector> Reference(const Mesh& mesh, const std::vector<Vector>& start,
                                const std::vector<std::vector<int32_t>>& regions,
                                const std::vector<int32_t>& leftOut) {
    HostTable* saved = HostTablePointer;
    HostTablePointer = hostsim::Table();
    hostsim::ClearFaults();
    std::vector<Vector> points = start;
    for (const std::vector<int32_t>& region : regions) {
      IndexList list = MakeIndexList(4);
      for (int32_t polygon : region) {
        if (std::find(leftOut.begin(), leftOut.end(), polygon) == leftOut.end()) {
          EXPECT_TRUE(list.Append(polygon));
        }
      }
      FlattenRegion(hostsim::AsHost(object_), mesh.polygons.data(), points.data(),
                    int32_t(points.size()), list);
      list.Clear();
    }
    HostTablePointer = saved;
    return points;
  }

  DryRun Dry(const Mesh& mesh) {
    DryRun dry;
    const SessionRun run = RunSession(mesh, 0, false);
    EXPECT_EQ(0u, run.injected);
    EXPECT_EQ("", run.ledger);
    EXPECT_EQ("", run.violation);
    EXPECT_TRUE(run.registered) << "the dry run did not register the command";
    EXPECT_EQ(1, run.execute);
    dry.k = run.fallible;
    dry.after = run.after;
    hostsim::Reset();
    const std::vector<hostsim::Call>& calls = run.log;
    dry.appendOf.assign(size_t(dry.k) + 1, -1);
    uint64_t n = 0;
    std::vector<int32_t> current;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (IsFallible(calls[i].op)) ++n;
      if (i < run.phaseBegin[kExecute] || i >= run.phaseBegin[kRelease]) continue;
      if (calls[i].op == Op::AllocMemoryUncleared) {
        // The append that asked for the block stores the polygon whose
        // record is looked up next.
        for (size_t j = i + 1; j < calls.size(); ++j)
          if (calls[j].op == Op::AdjacencyPolygonInfo) {
            dry.appendOf[size_t(n)] = int32_t(calls[j].args[1]);
            break;
          }
      }
      if (calls[i].op == Op::AdjacencyPolygonInfo) current.push_back(int32_t(calls[i].args[1]));
      if (calls[i].op == Op::ObjectGlobalMatrix) {
        dry.regions.push_back(current);
        current.clear();
      }
    }
    // The reference reproduces the dry run itself bit for bit, and leaving
    // out any one polygon whose append can fail shows in the points.
    EXPECT_EQ("", FirstDifference(dry.after, Reference(mesh, run.before, dry.regions, {})))
        << "the reference does not reproduce the dry run";
    for (int32_t polygon : dry.appendOf) {
      if (polygon < 0) continue;
      EXPECT_NE("", FirstDifference(dry.after, Reference(mesh, run.before, dry.regions, {polygon})))
          << "leaving out polygon " << polygon << " would go unnoticed";
    }
    hostsim::Reset();
    return dry;
  }

  // Runs the session with the N-th fallible call failing and checks every
  // phase against the defined outcome.
  void Check(const Mesh& mesh, const DryRun& dry, uint64_t failAt, bool fromThenOn) {
    SCOPED_TRACE(testing::Message() << mesh.name << ": fallible call " << failAt << " of "
                                    << dry.k << " fails" << (fromThenOn ? " and every later one" : ""));
    SessionRun run = RunSession(mesh, failAt, fromThenOn);
    const std::vector<FallibleCall> all = FallibleCalls(run.log, failAt, fromThenOn);
    EXPECT_GT(run.injected, 0u) << "no call failed";

    // Action 1: starts whatever happens; without storage the folder is not kept.
    EXPECT_EQ(kResultOk, run.start);
    const std::vector<FallibleCall> start = CallsOf(run, kStart, all);
    StopsAtFirstFailure(start, {Op::PathAlloc}, kStart);
    const bool folderKept = !start.empty() && !start[0].failed;

    // Message 1 (and its retry): the folder's storage, then the load, which
    // finds the resource only in the module's own folder.
    enum { kNone, kLoaded, kLoadFailed } resource = kNone;
    auto message = [&](Phase phase, int32_t result) {
      const std::vector<FallibleCall> calls = CallsOf(run, phase, all);
      if (resource == kLoadFailed) {
        EXPECT_EQ("none", Text(calls)) << kPhaseNames[phase] << ": a failed load is not retried";
        EXPECT_EQ(kResultUnhandled, result) << kPhaseNames[phase];
        return;
      }
      const bool failed = StopsAtFirstFailure(calls, {Op::PathAlloc, Op::ResourceLoad}, phase);
      if (calls.size() == 2) {
        EXPECT_EQ(folderKept ? ModuleDirectory() : "", run.log[calls[1].logIndex].text)
            << kPhaseNames[phase] << ": the folder the resource is loaded from";
        resource = !failed && folderKept ? kLoaded : kLoadFailed;
      }
      EXPECT_EQ(resource == kLoaded ? kResultOk : kResultUnhandled, result) << kPhaseNames[phase];
    };
    message(kMessage, run.message);
    EXPECT_EQ(resource != kLoaded, run.retried);
    if (run.retried) message(kRetry, run.retry);

    // Action 2: without a name nothing is made; otherwise every failure is
    // reported, and the object made for it is released at once.
    const std::vector<FallibleCall> plugin = CallsOf(run, kPluginStart, all);
    if (resource != kLoaded) {
      EXPECT_EQ("none", Text(plugin)) << "action 2 without a name";
      EXPECT_EQ(kResultOk, run.pluginStart);
      EXPECT_FALSE(run.registered);
    } else {
      const bool failed = StopsAtFirstFailure(
          plugin, {Op::AllocMemory, Op::ImageAlloc, Op::ImageLoad, Op::RegisterPlugin}, kPluginStart);
      EXPECT_EQ(failed ? kResultFailed : kResultOk, run.pluginStart);
      EXPECT_EQ(!failed, run.registered);
    }
    EXPECT_EQ(run.registered ? 1u : 0u, run.blocksAfterPluginStart)
        << "blocks held after action 2 (only a registered command object may stay)";

    // QueryState: any failure of the read leaves the command disabled.
    if (run.registered) {
      const bool failed = StopsAtFirstFailure(
          CallsOf(run, kQuery, all), {Op::FindPlugin, Op::LibraryTableOf, Op::GetParameter}, kQuery);
      EXPECT_EQ(failed ? 0 : int32_t(kCommandStateEnabled), run.state);
    }

    // Execute.
    if (run.executed) {
      const std::vector<FallibleCall> calls = CallsOf(run, kExecute, all);
      std::vector<FallibleCall> preparation(calls.begin(), calls.begin() + std::min<size_t>(3, calls.size()));
      const bool failed = StopsAtFirstFailure(
          preparation, {Op::AdjacencyBuild, Op::AllocMemory, Op::AllocMemory}, kExecute);
      size_t undoBegins = 0, signals = 0;
      for (size_t i = run.phaseBegin[kExecute]; i < run.phaseBegin[kRelease]; ++i) {
        undoBegins += run.log[i].op == Op::UndoBegin;
        signals += run.log[i].op == Op::SignalChange;
      }
      EXPECT_EQ(0u, run.tablesAfterExecute) << "the neighbour table is released on every path";
      EXPECT_EQ(1u, run.blocksAfterExecute) << "only the command object stays after Execute";
      if (failed) {
        EXPECT_EQ(0, run.execute);
        EXPECT_EQ(preparation.size(), calls.size()) << "calls after the failure: " << Text(calls);
        EXPECT_EQ(0u, undoBegins) << "no undo step after a failed preparation";
        EXPECT_EQ(0u, run.undoSteps);
        EXPECT_EQ(0u, signals);
        EXPECT_TRUE(run.messages.empty());
        EXPECT_EQ("", FirstDifference(run.before, run.after)) << "nothing may move";
      } else {
        EXPECT_EQ(1, run.execute);
        EXPECT_EQ(1u, run.undoSteps);
        EXPECT_TRUE(run.undoClosed);
        EXPECT_TRUE(run.undoRecordedObject);
        EXPECT_EQ(1u, signals);
        EXPECT_EQ(std::vector<int32_t>{kMessagePointsChanged}, run.messages);
        // The same polygons are visited, region by region: a failed append
        // changes only what the list holds.
        std::vector<std::vector<int32_t>> regions;
        std::vector<int32_t> current, leftOut;
        bool appendFailed = false;
        for (size_t i = run.phaseBegin[kExecute]; i < run.phaseBegin[kRelease]; ++i) {
          const hostsim::Call& call = run.log[i];
          if (call.op == Op::AllocMemoryUncleared) {
            for (const FallibleCall& f : calls)
              if (f.logIndex == i) appendFailed = f.failed;
          }
          if (call.op == Op::AdjacencyPolygonInfo) {
            current.push_back(int32_t(call.args[1]));
            if (appendFailed) leftOut.push_back(int32_t(call.args[1]));
            appendFailed = false;
          }
          if (call.op == Op::ObjectGlobalMatrix) {
            regions.push_back(current);
            current.clear();
          }
        }
        EXPECT_EQ(dry.regions, regions) << "regions visited";
        // The polygons left out follow from the dry run: the one whose
        // append failed, and with every later call failing, every polygon
        // visited after it too.
        std::vector<int32_t> expectedOut;
        if (failAt <= dry.k && dry.appendOf[size_t(failAt)] >= 0) {
          bool reached = false;
          for (const std::vector<int32_t>& region : dry.regions)
            for (int32_t polygon : region) {
              const bool failing = polygon == dry.appendOf[size_t(failAt)];
              if (failing || (reached && fromThenOn)) expectedOut.push_back(polygon);
              reached = reached || failing;
            }
        }
        EXPECT_EQ(expectedOut, leftOut) << "polygons left out of their regions";
        if (expectedOut.empty()) {
          EXPECT_EQ("", FirstDifference(dry.after, run.after)) << "a run without failed appends";
        } else {
          const std::vector<Vector> expected = Reference(mesh, run.before, dry.regions, expectedOut);
          EXPECT_EQ("", FirstDifference(expected, run.after))
              << "points after leaving out the polygons whose append failed";
        }
      }
    }

    // Release and end: nothing fallible, nothing left.
    EXPECT_EQ("none", Text(CallsOf(run, kRelease, all)));
    EXPECT_EQ("none", Text(CallsOf(run, kEnd, all)));
    EXPECT_EQ(0u, run.blocksAfterRelease);
    EXPECT_EQ("", run.ledger) << "left after action 3";
    EXPECT_EQ("", run.violation);
    EXPECT_EQ("", run.exitCalls) << "the exit routine found something left";
  }

  EmptyWorkingFolder folder_;
  hostsim::SimObject* object_ = nullptr;
};

TEST_P(ReliabilityFaultSweep, EveryFallibleCallFailsOnceAndFromThenOn) {
  const Mesh& mesh = GetParam();
  const DryRun dry = Dry(mesh);
  ASSERT_FALSE(HasFailure()) << "the dry run failed";
  // The count is quoted in reports; it grows with the list's block
  // replacements of the fixture's regions.
  RecordProperty("fallible_calls", std::to_string(dry.k));
  std::printf("[ sweep    ] %s: K = %" PRIu64 " fallible calls\n", mesh.name, dry.k);
  for (bool fromThenOn : {false, true})
    for (uint64_t n = 1; n <= dry.k; ++n) {
      Check(mesh, dry, n, fromThenOn);
      if (HasFailure()) return;  // one failing N says enough
    }
}

Mesh EmptySelection() {
  Mesh mesh = Strip("empty selection", 3);
  mesh.segments = {};
  return mesh;
}

// Two strips apart from each other, and one polygon that is not selected
// between them.
Mesh TwoRegions() {
  Mesh mesh = Strip("two separate regions", 2);
  Join(&mesh, Strip("", 1, 4.0f));
  Join(&mesh, Strip("", 3, 7.0f));
  mesh.segments = {{0, 1}, {3, 5}};
  return mesh;
}

Mesh ThirteenInOneRegion() {
  Mesh mesh = Strip("one region of 13 polygons", 13);
  mesh.segments = {{0, 12}};
  return mesh;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ReliabilityFaultSweep,
                         ::testing::Values(EmptySelection(), TwoRegions(), ThirteenInOneRegion(),
                                           TrianglesAndQuads()),
                         [](const ::testing::TestParamInfo<Mesh>& info) {
                           std::string name;
                           for (const char* c = info.param.name; *c != '\0'; ++c)
                             if (isalnum(static_cast<unsigned char>(*c))) name += *c;
                           return name;
                         });

}  // namespace
}  // namespace reliability_test
