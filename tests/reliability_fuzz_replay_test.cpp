// Replays every input of the fuzzing corpus and every minimised finding
// through the same session the fuzz target runs, in every build variant.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/fuzz_session.inc"

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.' || name == "README") continue;
    files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> Bytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replays every input in folder; returns how many moved points.
int32_t ReplayFolder(const std::string& folder) {
  int32_t moved = 0;
  for (const std::string& file : FilesIn(folder)) {
    const std::vector<uint8_t> bytes = Bytes(file);
    fuzz_session::Reached reached;
    EXPECT_EQ("", fuzz_session::RunSession(bytes.data(), bytes.size(), &reached)) << file;
    moved += reached.moved > 0 ? 1 : 0;
  }
  return moved;
}

// The seeds reach the command and flatten something, so that fuzzing starts
// from sessions that get all the way through.
TEST(ReliabilityFuzzReplay, SeedCorpus) {
  const std::string folder = std::string(FLATTEN_SOURCE_DIR) + "/fuzz/corpus";
  ASSERT_FALSE(FilesIn(folder).empty()) << "no seeds in " << folder;
  EXPECT_GE(ReplayFolder(folder), 5) << "seeds whose session moved points";
}

TEST(ReliabilityFuzzReplay, Findings) { ReplayFolder(std::string(FLATTEN_SOURCE_DIR) + "/fuzz/findings"); }

// The empty input is a session too: an ordinary run on an empty mesh.
TEST(ReliabilityFuzzReplay, EmptyInput) {
  fuzz_session::Reached reached;
  EXPECT_EQ("", fuzz_session::RunSession(nullptr, 0, &reached));
  EXPECT_TRUE(reached.registered);
  EXPECT_EQ(1, reached.runs);
}

}  // namespace
