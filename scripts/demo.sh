#!/usr/bin/env bash
# Builds the 64-bit variant and runs the runner on its built-in demo mesh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 -j"$(nproc)" --target flatten flatten-run >/dev/null
exec build/x64/flatten-run "$@"
