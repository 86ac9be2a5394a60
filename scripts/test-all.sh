#!/usr/bin/env bash
# Builds and tests every variant: the 64-bit and 32-bit release builds and
# both under AddressSanitizer and UBSan. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

presets=(${FLATTEN_PRESETS:-x64 x86 asan asan-x86})
failed=()
for preset in "${presets[@]}"; do
  echo "=== $preset: configure and build"
  log="build/$preset-build.log"
  mkdir -p build
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j"$(nproc)"; } >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "=== $preset: BUILD FAILED"
    failed+=("$preset")
    continue
  fi
  grep -E "warning:" "$log" || true
  echo "=== $preset: test"
  if ! ctest --preset "$preset"; then failed+=("$preset"); fi
done

# A bounded fuzzing run per sanitizer variant, from the committed seeds and
# findings. New inputs go to a scratch folder; a crashing input is written to
# build/<preset>-fuzz-crash-* for minimising into fuzz/findings. The 32-bit
# variant (FLATTEN_FUZZ_PRESETS="asan asan-x86") runs under user-mode
# emulation, where LeakSanitizer cannot work, for half the time.
fuzz_seconds=${FLATTEN_FUZZ_SECONDS:-120}
for preset in ${FLATTEN_FUZZ_PRESETS:-asan}; do
  [[ " ${presets[*]} " == *" $preset "* ]] || continue
  [[ " ${failed[*]-} " == *" $preset "* ]] && continue
  fuzzer="build/$preset/flatten_fuzz"
  if [[ ! -x $fuzzer ]]; then
    echo "=== $preset: no fuzz target"
    failed+=("$preset-fuzz")
    continue
  fi
  seconds=$fuzz_seconds
  leaks=1
  if [[ $preset == asan-x86 ]]; then
    seconds=$((fuzz_seconds / 2))
    leaks=0
  fi
  scratch=$(mktemp -d)
  log="build/$preset-fuzz.log"
  echo "=== $preset: fuzz for ${seconds}s"
  if ASAN_OPTIONS="detect_leaks=$leaks" "$fuzzer" -max_total_time="$seconds" -detect_leaks="$leaks" \
      -print_final_stats=1 -artifact_prefix="build/$preset-fuzz-" "$scratch" fuzz/corpus fuzz/findings \
      >"$log" 2>&1; then
    grep -E "stat::(number_of_executed_units|average_exec_per_sec)" "$log" || true
  else
    tail -n 40 "$log"
    echo "=== $preset: FUZZING FOUND A FAULT"
    failed+=("$preset-fuzz")
  fi
  rm -rf "$scratch"
done

if ((${#failed[@]})); then
  echo "FAILED variants: ${failed[*]}"
  exit 1
fi
echo "All variants passed: ${presets[*]}"
