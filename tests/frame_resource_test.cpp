// The plug-in resource through tarvik_main: the folder it is loaded from,
// the single attempt, the retry after a failed folder allocation, and the
// releases on the last action 3 and at unload.
#include "tests/frame_module_fixture.h"

namespace frame_test {
namespace {

using hostsim::Op;

using FrameResource = ModuleTest;

TEST_F(FrameResource, MessageOneLoadsFromTheModuleFolderInOrder) {
  ASSERT_EQ(Start(), kResultOk);
  const intptr_t pluginFolder = CallsOf(Op::PathConstruct)[0].args[0];
  hostsim::ClearCalls();

  ASSERT_EQ(Message(1), kResultOk);
  // The folder is derived from the module path, kept in a heap path, and
  // the host is asked for the resource in it.
  const std::vector<Op> expected = {
      Op::PathConstruct, Op::PathParentOf, Op::PathCopy, Op::PathFree,  // parent folder
      Op::PathConstruct, Op::PathCopy,     Op::PathDestruct,           // folder copy
      Op::PathAlloc,     Op::PathConstruct, Op::PathCopy,              // kept folder
      Op::ResourceLoad,  Op::PathDestruct};
  ASSERT_EQ(hostsim::OpSequence(), expected) << "seen: " << hostsim::OpSequenceText()
                                             << "\nexpected: " << Sequence(expected);
  const std::vector<hostsim::Call>& calls = hostsim::Calls();
  const intptr_t local = calls[0].args[0];
  const intptr_t parent = calls[3].args[0];
  const intptr_t folder = calls[4].args[0];
  const intptr_t kept = calls[8].args[0];
  EXPECT_EQ(calls[1].args[0], pluginFolder) << "the parent is asked of the module path";
  EXPECT_EQ(calls[2].args, (std::vector<intptr_t>{parent, local}));
  EXPECT_EQ(calls[5].args, (std::vector<intptr_t>{local, folder}));
  EXPECT_EQ(calls[6].args[0], local);
  EXPECT_EQ(calls[9].args, (std::vector<intptr_t>{folder, kept}));
  EXPECT_EQ(calls[10].args[0], folder);
  EXPECT_EQ(calls[10].text, ModuleDirectory());
  EXPECT_EQ(calls[11].args[0], folder);

  // The last end frees the resource, then the kept folder, then the
  // module path.
  hostsim::ClearCalls();
  ASSERT_EQ(End(), kResultOk);
  ASSERT_EQ(hostsim::OpSequence(), (std::vector<Op>{Op::ResourceFree, Op::PathDestruct,
                                                    Op::PathFree, Op::PathDestruct, Op::PathFree}))
      << "seen: " << hostsim::OpSequenceText();
  EXPECT_EQ(calls[1].args[0], kept);
  EXPECT_EQ(calls[2].args[0], kept);
  EXPECT_EQ(calls[3].args[0], pluginFolder);
  EXPECT_EQ(calls[4].args[0], pluginFolder);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameResource, SecondMessageReportsTheFirstOutcome) {
  struct Case {
    const char* name;
    std::string modulePath;
    int32_t expected;
  };
  const Case cases[] = {{"resource present", ModulePath(), kResultOk},
                        {"resource missing", PathWithoutResource(), kResultUnhandled}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hostsim::Reset();
    ASSERT_TRUE(module_.Open(ModulePath())) << module_.Error();
    ASSERT_EQ(StartWith(c.modulePath), kResultOk);
    EXPECT_EQ(Message(1), c.expected);
    EXPECT_EQ(Message(1), c.expected);
    EXPECT_EQ(Message(1), c.expected);
    EXPECT_EQ(hostsim::CountOf(Op::ResourceLoad), 1u) << "the host is asked once";
    EXPECT_EQ(hostsim::CountOf(Op::PathAlloc), 2u) << "the folder is kept once";
    EXPECT_EQ(End(), kResultOk);
    EXPECT_EQ(hostsim::LedgerReport(), "");
    Unload();
  }
}

TEST_F(FrameResource, FailedFolderStorageIsRetriedByTheNextMessage) {
  ASSERT_EQ(Start(), kResultOk);
  hostsim::FailOp(Op::PathAlloc, 2);  // the first was the module path's
  EXPECT_EQ(Message(1), kResultUnhandled);
  EXPECT_EQ(hostsim::CountOf(Op::ResourceLoad), 0u) << "nothing is loaded without the folder";
  EXPECT_EQ(hostsim::CountOf(Op::PathConstruct), hostsim::CountOf(Op::PathDestruct) + 1)
      << "only the module path stays constructed; seen: " << hostsim::OpSequenceText();

  EXPECT_EQ(Message(1), kResultOk);
  EXPECT_EQ(hostsim::CountOf(Op::ResourceLoad), 1u);
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FrameResource, UnknownModuleFolderIsEmpty) {
  struct Case {
    const char* name;
    std::string modulePath;
    uint64_t failPathAlloc;  // 1: the module path cannot be kept
    size_t parentQueries;
  };
  const Case cases[] = {{"module path not kept", ModulePath(), 1, 0},
                        {"module path without parent", "flatten.so", 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hostsim::Reset();
    ASSERT_TRUE(module_.Open(ModulePath())) << module_.Error();
    hostsim::FailOp(Op::PathAlloc, c.failPathAlloc);
    EXPECT_EQ(StartWith(c.modulePath), kResultOk) << "a missing folder is not reported";
    hostsim::ClearFaults();
    EXPECT_EQ(Message(1), kResultUnhandled);
    EXPECT_EQ(hostsim::CountOf(Op::PathParentOf), c.parentQueries);
    const std::vector<hostsim::Call> loads = CallsOf(Op::ResourceLoad);
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].text, "") << "the resource is asked for in an empty folder";
    EXPECT_EQ(End(), kResultOk);
    EXPECT_EQ(hostsim::LedgerReport(), "");
    Unload();
  }
}

TEST_F(FrameResource, ReleasesRunOnceAcrossEndAndUnload) {
  ASSERT_EQ(Start(), kResultOk);
  ASSERT_EQ(Message(1), kResultOk);
  ASSERT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::CountOf(Op::ResourceFree), 1u);
  EXPECT_EQ(hostsim::LedgerReport(), "");
  hostsim::ClearCalls();

  // A further end (count below zero) and the exit routine find nothing.
  EXPECT_EQ(End(), kResultOk);
  Unload();
  EXPECT_EQ(hostsim::OpSequenceText(), "");
}

TEST_F(FrameResource, UnloadWithoutEndReleasesTheResourceButNotTheModulePath) {
  ASSERT_EQ(Start(), kResultOk);
  const intptr_t pluginFolder = CallsOf(Op::PathConstruct)[0].args[0];
  ASSERT_EQ(Message(1), kResultOk);
  const intptr_t kept = CallsOf(Op::PathConstruct)[3].args[0];
  hostsim::ClearCalls();

  Unload();
  ASSERT_EQ(hostsim::OpSequence(),
            (std::vector<Op>{Op::ResourceFree, Op::PathDestruct, Op::PathFree}))
      << "seen: " << hostsim::OpSequenceText();
  EXPECT_EQ(hostsim::Calls()[1].args[0], kept);
  // The module path is the one thing the exit routine leaves to the host.
  EXPECT_TRUE(hostsim::IsLivePath(reinterpret_cast<const HostPath*>(pluginFolder)));
  const std::string ledger = hostsim::LedgerReport();
  EXPECT_NE(ledger.find("constructed path"), std::string::npos) << ledger;
  EXPECT_EQ(ledger.find("resource"), std::string::npos) << ledger;
}

TEST_F(FrameResource, NewRunAfterReleaseDoesNotAskAgain) {
  ASSERT_EQ(Start(), kResultOk);
  ASSERT_EQ(Message(1), kResultOk);
  ASSERT_EQ(End(), kResultOk);

  // The attempt is remembered for the module's life: without a handle the
  // next run reports no resource and does not ask the host.
  ASSERT_EQ(Start(), kResultOk);
  EXPECT_EQ(Message(1), kResultUnhandled);
  EXPECT_EQ(hostsim::CountOf(Op::ResourceLoad), 1u);
  // The folder is kept again before the remembered attempt is consulted:
  // two module paths and two kept folders over both runs.
  EXPECT_EQ(hostsim::CountOf(Op::PathAlloc), 4u) << "seen: " << hostsim::OpSequenceText();
  EXPECT_EQ(End(), kResultOk);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

}  // namespace
}  // namespace frame_test
