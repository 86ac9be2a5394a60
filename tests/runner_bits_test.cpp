// Both builds give the same bits: the README's example run must reproduce
// the committed result byte for byte, whichever variant runs it.
#include "tests/runner_support.h"

namespace runner_test {
namespace {

TEST_F(RunnerTest, ExampleGivesTheCommittedBits) {
  const std::string input = FLATTEN_SOURCE_DIR "/examples/noisy_panels.obj";
  const std::string expected = ReadFile(FLATTEN_SOURCE_DIR "/examples/noisy_panels.roof_left-flat.obj");
  ASSERT_FALSE(expected.empty());
  Outcome o = Run({input, "--select", "group:roof_left", "-o", Path("flat.obj"), "-q"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  std::string seen = ReadFile(Path("flat.obj"));
  if (seen == expected) return;
  // The first line that differs, for the message.
  size_t at = 0, line = 1;
  while (at < seen.size() && at < expected.size() && seen[at] == expected[at])
    line += seen[at++] == '\n' ? 1 : 0;
  auto lineAt = [](const std::string& text, size_t at) {
    size_t begin = text.rfind('\n', at == 0 ? 0 : at - 1);
    begin = begin == std::string::npos || at == 0 ? 0 : begin + 1;
    return text.substr(begin, text.find('\n', at) - begin);
  };
  ADD_FAILURE() << "line " << line << " differs:\n  expected: " << lineAt(expected, at)
                << "\n  seen:     " << lineAt(seen, at);
}

}  // namespace
}  // namespace runner_test
