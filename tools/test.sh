#!/usr/bin/env bash
# Sets up, builds and runs every test: the include check over the floors, the GoogleTest
# suites, the conformance corpus, and the Windows server built with mingw-w64 and tested under
# Wine.
# The last line reads "N passed, N failed, N skipped", counting stages; a stage that cannot run
# on this machine (the 32-bit Wine stage on a kernel without 32-bit execution) is skipped, not
# passed. KESTROL_REQUIRE_WIN32=1 makes that skip a failure.
set -uo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

source tools/stages.sh

required "set-up" tools/setup.sh --windows --datasheet
# Once, up front: whether this kernel runs 32-bit programs decides how the Wine stage runs.
source tools/wine/loaders.sh
kestrol_probe_win32
echo "$KESTROL_WIN32_LINE"
export KESTROL_WIN32 KESTROL_WIN32_LINE

stage "layers: every include runs down" python3 tools/check_layers.py

required "$preset: configure" quietly cmake --preset "$preset"
required "$preset: build" cmake --build --preset "$preset"
stage "native suites" ctest --preset "$preset" -j "$(nproc)"
# The .tar.gz a release ships, unpacked and run.
stage "release archive" tools/release_test.sh "build/$preset"

corpus=../shared/conformance
if [ -f "$corpus/check" ]; then
  stage "conformance corpus" python3 "$corpus/check" --kestrol "build/$preset/host/kestrol" --only "${KESTROL_CONFORMANCE:-all}"
else
  skip "conformance corpus not found beside the repository; skipped"
fi

# The Python package, built for Debian's Python beside the native build (the extension alone,
# Release) and tested uninstalled from that build folder against the native command line.
python_build="build/$preset-python"
build_python() {
  tools/setup.sh --python &&
    cmake -S . -B "$python_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTROL_BUILD_PYTHON=ON -DKESTROL_BUILD_TESTS=OFF \
      -DKESTROL_BUILD_BENCHMARKS=OFF -DKESTROL_WARNINGS_AS_ERRORS=ON >/dev/null &&
    cmake --build "$python_build" --target _kestrol
}
if build_python; then
  # Any status but 0 fails the stage, 5 (no tests collected) included.
  stage "python suites" env KESTROL="build/$preset/host/kestrol" PYTHONPATH="$python_build/python" \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests
  # The types the package ships, as a user's checker reads them: the package with its stub, and
  # a script over every documented call.
  stage "python types" /usr/bin/python3 -m mypy --config-file python/pyproject.toml --cache-dir "$python_build/mypy-cache" \
    python/kestrol python/tests/typing_user_script.py
else
  fail "python: set-up or build"
fi

# The Windows builds once, beside the native default build they are compared with. Their
# stages are counted in the same summary.
if [ "$preset" = default ]; then
  log=$(mktemp "${TMPDIR:-/tmp}/kestrol-wine-log.XXXXXX")
  tools/wine_test.sh "build/$preset/host/kestrol" | tee "$log"
  rc=${PIPESTATUS[0]}
  counts=$(tail -n 1 "$log" | sed -n 's/^wine stages: \([0-9]*\) passed, \([0-9]*\) failed, \([0-9]*\) skipped$/\1 \2 \3/p')
  rm -f "$log"
  if [ -n "$counts" ]; then
    read -r p f s <<<"$counts"
    passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
    [ "$rc" -eq 0 ] || [ "$f" -ne 0 ] || fail "tools/wine_test.sh exited $rc"
  else
    fail "tools/wine_test.sh ended without its summary (exit $rc)"
  fi
fi

summary
[ $failed -eq 0 ]
