// The session driver against the built module: the plumbing the module
// tests and the runner rely on.
#include <gtest/gtest.h>

#include "hostsim/session.h"

namespace {

TEST(HostSimSession, DrivesTheModuleThroughItsWholeLife) {
  hostsim::Reset();
  {
    hostsim::Session session(FLATTEN_MODULE_PATH);
    ASSERT_TRUE(session.StartUp()) << session.Error() << "\n" << hostsim::OpSequenceText();
    const hostsim::RegisteredPlugin* command = session.Registered();
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->id, kCommandId);
    EXPECT_TRUE(session.Release());
    EXPECT_FALSE(session.Release());  // once
    EXPECT_EQ(session.End(), kResultOk);
    EXPECT_TRUE(session.Unload()) << session.Error();
    EXPECT_EQ(session.Call(kActionQuery), kResultUnhandled);  // unloaded
  }
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
  hostsim::Reset();
}

TEST(HostSimSession, LoadFailureIsReported) {
  hostsim::Session session(FLATTEN_BINARY_DIR "/missing.so");
  EXPECT_FALSE(session.StartUp());
  EXPECT_FALSE(session.Error().empty());
}

}  // namespace
