// Progress on stderr for long reads, parses and writes: shown only when
// stderr is a terminal, the run is not quiet, and the step has already taken
// a while, so short runs and pipes see nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace runner {

class Progress {
 public:
  // enabled: the caller's decision (not quiet); the terminal test is made here.
  Progress(bool enabled, std::string what, uint64_t total);
  ~Progress() { Finish(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // done of total units; cheap enough to call every few thousand units.
  void Update(uint64_t done);
  // Clears the progress line, if one was drawn.
  void Finish();

 private:
  bool enabled_;
  std::string what_;
  uint64_t total_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  bool drawn_ = false;
};

// True when progress may be drawn at all (stderr is a terminal).
bool ProgressTerminal();

}  // namespace runner
