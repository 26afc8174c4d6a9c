#!/usr/bin/env bash
# Installs what is missing, builds both presets and runs every test:
#   1. native unit tests of the portable core;
#   2. the Windows-side tests under Wine (in-process Win32 pieces);
#   3. end-to-end tests that start the real programs under Wine;
#   4. a short run of each fuzz target.
# Exits non-zero on any failure.
set -euo pipefail
export ORVANE_ROOT="$(cd "$(dirname "$0")" && pwd)"
cd "$ORVANE_ROOT"
jobs="${JOBS:-$(nproc)}"

scripts/setup.sh

echo "== native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native

echo "== Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"

echo "== Windows-side and end-to-end tests under Wine"
source scripts/wine-session.sh
scripts/wine-prefix.sh "$ORVANE_ROOT/build/wine/test-prefix"
trap wine_session_stop EXIT
wine_session_start "$ORVANE_ROOT/build/wine/test-prefix"
ctest --preset windows
wine_session_stop
trap - EXIT

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing (short run of each target)"
  scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
fi
echo "== all tests passed"
