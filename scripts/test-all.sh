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

if ((${#failed[@]})); then
  echo "FAILED variants: ${failed[*]}"
  exit 1
fi
echo "All variants passed: ${presets[*]}"
