// Helpers for the end-to-end tests of flatten-run: the real binary is started
// with posix_spawn in a temporary folder, and its exit code, stdout and
// stderr are collected.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace runner_test {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

inline bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

// A fresh folder per test, removed afterwards.
class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "flatten-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // Runs flatten-run with args in the test's folder.
  Outcome Run(const std::vector<std::string>& args) const {
    Outcome outcome;
    std::string outPath = Path(".stdout"), errPath = Path(".stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all = {FLATTEN_RUNNER_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, FLATTEN_RUNNER_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << FLATTEN_RUNNER_PATH << ": error " << spawned;
      return outcome;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.out = ReadFile(outPath);
    outcome.err = ReadFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return outcome;
  }

  std::string dir_;
};

// For failure messages: what the runner said.
inline std::string Said(const Outcome& o) {
  return "exit " + std::to_string(o.exitCode) + "\nstdout:\n" + o.out + "\nstderr:\n" + o.err;
}

}  // namespace runner_test
