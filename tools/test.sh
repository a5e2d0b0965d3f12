#!/usr/bin/env bash
# Sets up, builds and runs every test: the GoogleTest suites and the conformance corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

tools/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)"

corpus=../shared/conformance
if [ -x "$corpus/check" ] || [ -f "$corpus/check" ]; then
  python3 "$corpus/check" --kestrol "build/$preset/host/kestrol" --only "${KESTROL_CONFORMANCE:-all}"
else
  echo "conformance corpus not found beside the repository; skipped"
fi
