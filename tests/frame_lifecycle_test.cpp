// tarvik_main as the host drives it: the version gate, the start count with
// nested and unbalanced calls, the fixed answers, the messages, and calls
// that arrive before the module has a host table.
#include <climits>
#include <cstdint>

#include "tests/frame_module_fixture.h"

namespace frame_test {
namespace {

using hostsim::Op;

using FrameLifecycle = ModuleTest;

// A pointer that must never be read: the module crashes if it touches it.
void* const kPoison = reinterpret_cast<void*>(uintptr_t{0x10});

struct VersionCase {
  const char* name;
  int64_t version;  // written into cell 0
  bool pathGiven;
  int32_t expected;
};

TEST_F(FrameLifecycle, VersionGateAndPathDecideTheFirstStart) {
  std::vector<VersionCase> cases = {
      {"version 10999", 10999, true, kResultRefusedHost},
      {"version 11000", 11000, true, kResultOk},
      {"version 11001", 11001, true, kResultOk},
      {"version 0", 0, true, kResultRefusedHost},
      {"version -1", -1, true, kResultRefusedHost},
      {"no module path", 11000, false, kResultRefusedHost},
  };
  if (sizeof(void*) == 8) {
    // Only the low 32 bits of cell 0 are the version.
    cases.push_back({"11000 with high bits set", (int64_t{1} << 32) + 11000, true, kResultOk});
    cases.push_back({"10999 with high bits set", (int64_t{1} << 32) + 10999, true,
                     kResultRefusedHost});
  }
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.name);
    hostsim::Reset();
    ASSERT_TRUE(module_.Open(ModulePath())) << module_.Error();
    hostsim::Table()->version = static_cast<intptr_t>(c.version);

    int32_t result = c.pathGiven ? Start() : Call(kActionStart, hostsim::Table(), nullptr, nullptr);
    EXPECT_EQ(result, c.expected);
    if (c.expected == kResultOk) {
      // The folder is made from the host's path: storage, construct, copy.
      ASSERT_EQ(hostsim::OpSequence(),
                (std::vector<Op>{Op::PathAlloc, Op::PathConstruct, Op::PathCopy}))
          << "seen: " << hostsim::OpSequenceText();
      const hostsim::Call copy = CallsOf(Op::PathCopy)[0];
      EXPECT_EQ(copy.args[1], CallsOf(Op::PathConstruct)[0].args[0])
          << "the copy goes into the constructed folder";
    } else {
      EXPECT_EQ(hostsim::OpSequenceText(), "") << "a refused host is not called";
    }

    hostsim::ClearCalls();
    EXPECT_EQ(End(), kResultOk);
    if (c.expected == kResultOk) {
      EXPECT_EQ(hostsim::OpSequence(), (std::vector<Op>{Op::PathDestruct, Op::PathFree}))
          << "seen: " << hostsim::OpSequenceText();
    } else {
      EXPECT_EQ(hostsim::OpSequenceText(), "") << "nothing to release after a refusal";
    }
    EXPECT_EQ(hostsim::LedgerReport(), "");
    Unload();
    EXPECT_EQ(hostsim::FirstViolation(), "");
  }
}

TEST_F(FrameLifecycle, NestedStartsOnlyMoveTheCount) {
  ASSERT_EQ(Start(), kResultOk);
  hostsim::ClearCalls();

  // Inner pair: neither p1 nor p3 is read, and its end releases nothing.
  EXPECT_EQ(Call(kActionStart, kPoison, kPoison, kPoison), kResultOk);
  EXPECT_EQ(Message(1), kResultOk);
  hostsim::ClearCalls();
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::OpSequenceText(), "") << "the inner end released something";

  // The outer end releases the resource and both paths.
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::CountOf(Op::ResourceFree), 1u) << "seen: " << hostsim::OpSequenceText();
  EXPECT_EQ(hostsim::CountOf(Op::PathFree), 2u) << "seen: " << hostsim::OpSequenceText();
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameLifecycle, EndWithoutStartLeavesTheCountBelowZero) {
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::OpSequenceText(), "");

  // The count is now -1: the next start only brings it to 0 and does nothing,
  // not even reading its arguments.
  EXPECT_EQ(Call(kActionStart, kPoison, kPoison, kPoison), kResultOk);
  EXPECT_EQ(hostsim::OpSequenceText(), "");
  // Without a table the module cannot load its resource yet.
  EXPECT_EQ(Message(1), kResultUnhandled);

  // The start after that is the first of a run and does the work.
  EXPECT_EQ(Start(), kResultOk);
  EXPECT_EQ(hostsim::CountOf(Op::PathAlloc), 1u);
  EXPECT_EQ(Message(1), kResultOk);
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameLifecycle, RefusedStartKeepsTheCountRaised) {
  hostsim::SetVersion(10999);
  ASSERT_EQ(Start(), kResultRefusedHost);

  // The count is 1: a further start is nested and checks nothing.
  EXPECT_EQ(Call(kActionStart, kPoison, kPoison, kPoison), kResultOk);
  EXPECT_EQ(End(), kResultOk);

  // The table stays stored, so message 1 still reaches the host: with no
  // folder known it asks for the resource in the empty folder, which holds
  // none, and keeps the folder path it made.
  EXPECT_EQ(Message(1), kResultUnhandled);
  const std::vector<hostsim::Call> loads = CallsOf(Op::ResourceLoad);
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].text, "");
  hostsim::ClearCalls();

  // The end that balances the refused start runs the release.
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::OpSequence(), (std::vector<Op>{Op::PathDestruct, Op::PathFree}))
      << "seen: " << hostsim::OpSequenceText();
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameLifecycle, NullTableIsRefusedAndNeverCalledThrough) {
  EXPECT_EQ(StartWith(ModulePath(), nullptr), kResultRefusedHost);
  // The count is raised all the same; every call that needs a host now fails
  // cleanly instead of calling through a null table.
  EXPECT_EQ(Call(kActionStart, kPoison, kPoison, kPoison), kResultOk);
  EXPECT_EQ(Message(1), kResultUnhandled);
  EXPECT_EQ(Call(kActionPluginStart), kResultFailed);
  EXPECT_EQ(Message(0), kResultOk);
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::OpSequenceText(), "");

  // A later start with a real table works normally.
  EXPECT_EQ(Start(), kResultOk);
  EXPECT_EQ(Message(1), kResultOk);
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameLifecycle, CallsBeforeAnyStartFailWithoutTouchingTheHost) {
  EXPECT_EQ(Message(1), kResultUnhandled);
  EXPECT_EQ(Call(kActionPluginStart), kResultFailed);
  EXPECT_EQ(Message(0), kResultOk);
  EXPECT_EQ(hostsim::OpSequenceText(), "");
  // None of this disturbs the first real start.
  EXPECT_EQ(Start(), kResultOk);
  EXPECT_EQ(Message(1), kResultOk);
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameLifecycle, FixedAnswersForOtherActions) {
  struct ActionCase {
    int32_t action;
    int32_t expected;
  };
  const ActionCase cases[] = {{4, kResultQuery},      {0, kResultUnhandled},
                              {5, kResultUnhandled},  {7, kResultUnhandled},
                              {-1, kResultUnhandled}, {INT32_MIN, kResultUnhandled},
                              {INT32_MAX, kResultUnhandled}};
  // Before and after start-up alike, and without reading any argument.
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      ASSERT_EQ(Start(), kResultOk);
    }
    hostsim::ClearCalls();
    for (const ActionCase& c : cases) {
      EXPECT_EQ(Call(c.action, kPoison, kPoison, kPoison), c.expected)
          << "action " << c.action << (round == 0 ? " before" : " after") << " start-up";
    }
    EXPECT_EQ(hostsim::OpSequenceText(), "");
  }
  EXPECT_EQ(End(), kResultOk);
}

TEST_F(FrameLifecycle, MessagesAnswerByIdAndNeverReadTheirData) {
  ASSERT_EQ(Start(), kResultOk);
  hostsim::ClearCalls();
  struct MessageCase {
    intptr_t id;
    int32_t expected;
  };
  std::vector<MessageCase> cases = {{0, kResultOk},          {2, kResultUnhandled},
                                    {-1, kResultUnhandled},  {3, kResultUnhandled},
                                    {INT32_MAX, kResultUnhandled}};
  // The id is the low 32 bits of p1.
  if (sizeof(void*) == 8) cases.push_back({intptr_t(int64_t{1} << 32), kResultOk});
  for (const MessageCase& c : cases)
    EXPECT_EQ(Call(kActionMessage, MessageId(c.id), kPoison), c.expected) << "message " << c.id;
  EXPECT_EQ(hostsim::OpSequenceText(), "") << "only message 1 calls the host";

  EXPECT_EQ(Call(kActionMessage, MessageId(1), kPoison), kResultOk);
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameLifecycle, MessageOneFailsWhenTheFolderHasNoResource) {
  ASSERT_EQ(StartWith(PathWithoutResource()), kResultOk);
  EXPECT_EQ(Message(1), kResultUnhandled);
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameLifecycle, EachLoadStartsFromZero) {
  // A first life that ends with the count raised and the resource held...
  ASSERT_EQ(Start(), kResultOk);
  ASSERT_EQ(Start(), kResultOk);
  ASSERT_EQ(Message(1), kResultOk);
  Unload();
  hostsim::Reset();

  // ...leaves nothing behind in the next load of the file.
  ASSERT_TRUE(module_.Open(ModulePath())) << module_.Error();
  ASSERT_EQ(Start(), kResultOk);
  EXPECT_EQ(hostsim::CountOf(Op::PathAlloc), 1u) << "the first start of a fresh load works";
  EXPECT_EQ(Message(1), kResultOk);
  EXPECT_EQ(hostsim::CountOf(Op::ResourceLoad), 1u) << "a fresh load asks for its resource";
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

}  // namespace
}  // namespace frame_test
