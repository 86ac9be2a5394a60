// libFuzzer target: one whole session of the module in the stand-in host per
// input (see fuzz_session.inc for how the bytes shape the session). Any
// failed check, leak, misuse or sanitizer report ends the run; minimised
// findings go to fuzz/findings, where the test suite replays them.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_session.inc"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string problem = fuzz_session::RunSession(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "session check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
