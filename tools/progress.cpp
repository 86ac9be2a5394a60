#include "tools/progress.h"

#include <unistd.h>

#include <cstdio>

namespace runner {

namespace {
// A step shorter than this never shows progress; after it, redraws are
// spaced by the interval.
constexpr std::chrono::milliseconds kDelay{400};
constexpr std::chrono::milliseconds kInterval{100};
}  // namespace

bool ProgressTerminal() { return isatty(STDERR_FILENO) == 1; }

Progress::Progress(bool enabled, std::string what, uint64_t total)
    : enabled_(enabled && total > 0 && ProgressTerminal()),
      what_(std::move(what)),
      total_(total),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

void Progress::Update(uint64_t done) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (now - start_ < kDelay || (drawn_ && now - lastDraw_ < kInterval)) return;
  lastDraw_ = now;
  drawn_ = true;
  unsigned percent = unsigned(done >= total_ ? 100 : done * 100 / total_);
  std::fprintf(stderr, "\r%s: %3u%%", what_.c_str(), percent);
  std::fflush(stderr);
}

void Progress::Finish() {
  if (!drawn_) return;
  drawn_ = false;
  // Blank the line so that the report or the next step starts clean.
  std::fprintf(stderr, "\r%*s\r", int(what_.size() + 6), "");
  std::fflush(stderr);
}

}  // namespace runner
