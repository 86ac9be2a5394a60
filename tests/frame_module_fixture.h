// A fresh copy of the built module per test, driven through tarvik_main as
// the host drives it. dlopen in SetUp and dlclose in TearDown give every test
// module globals that are all zero; the stand-in host is reset around each
// test, and a test ends with no misuse seen by the host.
#pragma once

#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/constants.h"
#include "hostsim/hostsim.h"
#include "hostsim/module_loader.h"

namespace frame_test {

// The module file as built, with its resource folder beside it.
inline std::string ModulePath() { return FLATTEN_MODULE_PATH; }

// The folder that holds the module file.
inline std::string ModuleDirectory() {
  std::string path = ModulePath();
  return path.substr(0, path.rfind('/'));
}

// A module path whose folder holds no resource.
inline std::string PathWithoutResource() {
  return std::string(FLATTEN_BINARY_DIR) + "/no-such-folder/flatten.so";
}

inline void* MessageId(intptr_t id) { return reinterpret_cast<void*>(id); }

// An empty folder, made once per process and removed at exit. Module tests
// run in it, so that a resource looked up in the empty folder path (which
// the host resolves against the working folder) is never found by accident.
class EmptyFolderHolder {
 public:
  EmptyFolderHolder() {
    std::string pattern = std::string(FLATTEN_BINARY_DIR) + "/frame-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
  }
  ~EmptyFolderHolder() {
    if (!path_.empty()) rmdir(path_.c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

inline const std::string& EmptyFolder() {
  static const EmptyFolderHolder holder;
  return holder.Path();
}

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    savedDirectory_ = cwd;
    ASSERT_NE(EmptyFolder(), "") << "cannot make an empty folder";
    ASSERT_EQ(chdir(EmptyFolder().c_str()), 0);
    hostsim::Reset();
    ASSERT_TRUE(module_.Open(ModulePath())) << module_.Error();
  }

  void TearDown() override {
    if (module_.IsOpen()) {
      EXPECT_TRUE(module_.Close()) << module_.Error();
    }
    EXPECT_EQ(hostsim::FirstViolation(), "") << "host calls: " << hostsim::OpSequenceText();
    hostsim::Reset();
    EXPECT_EQ(chdir(savedDirectory_.c_str()), 0);
  }

  int32_t Call(int32_t action, void* p1 = nullptr, void* p2 = nullptr, void* p3 = nullptr) {
    return module_.Main()(action, p1, p2, p3);
  }

  // Action 1 with the stand-in host's table and a host-made path holding
  // modulePath, ended right after the call as a host would: the module must
  // keep its own copy.
  int32_t StartWith(const std::string& modulePath, HostTable* table = hostsim::Table()) {
    HostPath path;
    hostsim::HostConstructPath(&path, modulePath);
    int32_t result = Call(kActionStart, table, nullptr, &path);
    hostsim::HostDestructPath(&path);
    return result;
  }
  int32_t Start() { return StartWith(ModulePath()); }
  int32_t Message(intptr_t id) { return Call(kActionMessage, MessageId(id)); }
  int32_t End() { return Call(kActionEnd); }

  // Runs the module's exit routine.
  void Unload() { ASSERT_TRUE(module_.Close()) << module_.Error(); }

  // Recorded calls of one operation.
  static std::vector<hostsim::Call> CallsOf(hostsim::Op op) {
    std::vector<hostsim::Call> found;
    for (const hostsim::Call& call : hostsim::Calls())
      if (call.op == op) found.push_back(call);
    return found;
  }

  static std::string Sequence(const std::vector<hostsim::Op>& ops) {
    std::string text;
    for (hostsim::Op op : ops) text += (text.empty() ? "" : " ") + std::string(hostsim::OpName(op));
    return text;
  }

  hostsim::LoadedModule module_;
  std::string savedDirectory_;
};

}  // namespace frame_test
