// Unit tests that call the module's sources directly (linked in from
// flatten_core). The module's globals live in the test process and are
// shared with other suites, so each test saves them, starts from the state
// of a freshly started module (host table set, nothing else) and restores
// them afterwards.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "frame/entry.h"
#include "frame/resource.h"
#include "host/extension_library.h"
#include "host/host.h"
#include "host/memory.h"
#include "hostsim/hostsim.h"

namespace host_access_test {

class LinkedModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Globals{HostTablePointer, FallbackUsed, ParameterIdLibraryCache,
                     StartCount,       PluginFolder, PluginResource};
    hostsim::Reset();
    HostTablePointer = hostsim::Table();
    FallbackUsed = 0;
    ParameterIdLibraryCache = nullptr;
    StartCount = 0;
    PluginFolder = nullptr;
    PluginResource = PluginResourceState{nullptr, 0, 0, nullptr};
  }

  void TearDown() override {
    EXPECT_EQ(hostsim::FirstViolation(), "") << "host calls: " << hostsim::OpSequenceText();
    HostTablePointer = saved_.table;
    FallbackUsed = saved_.fallbackUsed;
    ParameterIdLibraryCache = saved_.libraryCache;
    StartCount = saved_.startCount;
    PluginFolder = saved_.pluginFolder;
    PluginResource = saved_.resource;
    hostsim::Reset();
  }

  static std::vector<hostsim::Call> CallsOf(hostsim::Op op) {
    std::vector<hostsim::Call> found;
    for (const hostsim::Call& call : hostsim::Calls())
      if (call.op == op) found.push_back(call);
    return found;
  }

  static intptr_t P(const void* pointer) { return reinterpret_cast<intptr_t>(pointer); }

 private:
  struct Globals {
    HostTable* table;
    int32_t fallbackUsed;
    LibraryTable* libraryCache;
    int32_t startCount;
    HostPath* pluginFolder;
    PluginResourceState resource;
  };
  Globals saved_{};
};

}  // namespace host_access_test
