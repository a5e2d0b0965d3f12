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

# The Python package, built for Debian's Python beside the native build (the extension alone,
# Release) and tested uninstalled from that build folder against the native command line.
tools/setup.sh --python
python_build="build/$preset-python"
cmake -S . -B "$python_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTROL_BUILD_PYTHON=ON -DKESTROL_BUILD_TESTS=OFF \
  -DKESTROL_BUILD_BENCHMARKS=OFF -DKESTROL_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$python_build" --target _kestrol
status=0
KESTROL="build/$preset/host/kestrol" PYTHONPATH="$python_build/python" /usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests || status=$?
# 5: no tests collected, which is as much a failure here as a failing test.
if [ "$status" -ne 0 ]; then
  echo "python tests failed (pytest exit status $status)" >&2
  exit 1
fi

# The Windows builds once, beside the native default build they are compared with.
if [ "$preset" = default ]; then
  tools/wine_test.sh "build/$preset/host/kestrol"
fi
