#!/usr/bin/env bash
# Sets up, builds and runs every test: the GoogleTest suites, the conformance corpus, and the
# Windows server built with mingw-w64 and tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

tools/setup.sh --windows
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)"

corpus=../shared/conformance
if [ -x "$corpus/check" ] || [ -f "$corpus/check" ]; then
  python3 "$corpus/check" --kestrol "build/$preset/host/kestrol" --only "${KESTROL_CONFORMANCE:-all}"
else
  echo "conformance corpus not found beside the repository; skipped"
fi

# The Windows builds once, beside the native default build they are compared with.
if [ "$preset" = default ]; then
  tools/wine_test.sh "build/$preset/host/kestrol"
fi
