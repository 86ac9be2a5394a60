// Every fallible host call of start-up, message 1 and end fails in turn,
// once or from then on. The module never crashes, always starts, leaves the
// stand-in host's ledger balanced, and retries a resource whose folder could
// not be kept.
#include "tests/frame_module_fixture.h"

namespace frame_test {
namespace {

using hostsim::Op;

struct Outcome {
  int32_t start, firstMessage, secondMessage, end;
  size_t resourceLoads;
};

class FrameFaultSweep : public ModuleTest {
 protected:
  // Action 1, message 1 twice, action 3, unload. A call after the last end
  // is a fault of its own: nothing may be left for the exit routine.
  Outcome RunLife() {
    Outcome outcome{};
    outcome.start = Start();
    outcome.firstMessage = Message(1);
    outcome.secondMessage = Message(1);
    outcome.end = End();
    outcome.resourceLoads = hostsim::CountOf(Op::ResourceLoad);
    EXPECT_EQ(hostsim::LedgerReport(), "") << "leak; calls: " << hostsim::OpSequenceText();
    hostsim::ClearCalls();
    EXPECT_TRUE(module_.Close()) << module_.Error();
    EXPECT_EQ(hostsim::OpSequenceText(), "") << "the exit routine found something left";
    return outcome;
  }
};

TEST_F(FrameFaultSweep, EveryFallibleCallOfStartMessageAndEnd) {
  // Dry run: the module path's storage, the kept folder's storage and the
  // resource load.
  const Outcome clean = RunLife();
  ASSERT_EQ(hostsim::FallibleCount(), 3u) << "fallible calls of a clean life changed";
  EXPECT_EQ(clean.firstMessage, kResultOk);

  struct Expected {
    uint64_t n;
    bool fromThenOn;
    int32_t firstMessage, secondMessage;
    size_t resourceLoads;
  };
  const Expected table[] = {
      // The module path is not kept: the resource is looked for in the
      // empty folder, found nowhere, and not asked for again.
      {1, false, kResultUnhandled, kResultUnhandled, 1},
      // The kept folder's storage fails: the next message retries and loads.
      {2, false, kResultUnhandled, kResultOk, 1},
      // The load itself fails: never retried.
      {3, false, kResultUnhandled, kResultUnhandled, 1},
      {4, false, kResultOk, kResultOk, 1},
      {1, true, kResultUnhandled, kResultUnhandled, 0},
      {2, true, kResultUnhandled, kResultUnhandled, 0},
      {3, true, kResultUnhandled, kResultUnhandled, 1},
      {4, true, kResultOk, kResultOk, 1},
  };
  for (const Expected& e : table) {
    SCOPED_TRACE(testing::Message() << "call " << e.n << " fails"
                                    << (e.fromThenOn ? " and every later one" : ""));
    hostsim::Reset();
    ASSERT_TRUE(module_.Open(ModulePath())) << module_.Error();
    hostsim::FailAt(e.n, e.fromThenOn);
    const Outcome seen = RunLife();
    EXPECT_EQ(seen.start, kResultOk) << "start-up survives every failure";
    EXPECT_EQ(seen.end, kResultOk);
    EXPECT_EQ(seen.firstMessage, e.firstMessage);
    EXPECT_EQ(seen.secondMessage, e.secondMessage);
    EXPECT_EQ(seen.resourceLoads, e.resourceLoads);
    EXPECT_EQ(hostsim::InjectedFailures() > 0, e.n <= 3);
    EXPECT_EQ(hostsim::FirstViolation(), "");
  }
}

}  // namespace
}  // namespace frame_test
