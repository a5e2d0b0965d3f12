#!/usr/bin/env bash
# Builds the Windows server, its tests and hosts with mingw-w64 and runs them under Wine in a
# throwaway prefix: the cross-built GoogleTest suites, the export table, the end-to-end run
# (regsvr32, reg query, the example C and C++ hosts through COM compared with the native build,
# regsvr32 /u; then the automation server from VBScript, JScript and a C host through
# IDispatch), the release zip (tools/release_test.sh: its files, then the end-to-end run again
# from the unpacked folder, in a fresh prefix of its own) and the conformance corpus through
# kestrol.exe.
#   tools/wine_test.sh NATIVE_KESTROL [PRESET...]      presets default to windows-x86 windows-x64
# The shipped 32-bit server gets every suite; the 64-bit build, whose sources are the same,
# builds and checks only the server, the example hosts and kestrol.exe, to keep CI short. Both
# check the version resources of the server and kestrol.exe against the project version. The
# corpus runs once, through the 32-bit kestrol.exe where this kernel runs 32-bit programs and
# through the 64-bit one where it does not (tools/wine/loaders.sh).
#
# Environment: KESTROL_REQUIRE_WIN32=1 fails where the 32-bit Wine stage would be skipped (a
# kernel without 32-bit execution, or no 32-bit loader installed);
# KESTROL_WINE_CONFORMANCE_STRIDE=N plays every Nth script of the corpus only (default 1).
# The last line reads "wine stages: N passed, N failed, N skipped".
set -uo pipefail
# Debian's Wine loaders come without Wine's preloader, so now and then a loader's randomised
# heap takes the address of the shared user data and the program never starts ("failed to
# map the shared user data"). Every Wine start of this run goes without that randomisation.
if [ -z "${KESTROL_WINE_FIXED_LAYOUT:-}" ] && setarch "$(uname -m)" -R true 2>/dev/null; then
  KESTROL_WINE_FIXED_LAYOUT=1 exec setarch "$(uname -m)" -R "$0" "$@"
fi
cd "$(dirname "$0")/.."
native=$1
shift
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(windows-x86 windows-x64)

source tools/wine/loaders.sh
if [ -z "${KESTROL_WIN32:-}" ]; then
  kestrol_probe_win32
  echo "$KESTROL_WIN32_LINE"
fi

stages_prefix="wine stages: "
source tools/stages.sh

# Debian's wrapper where 32-bit programs run, as always; elsewhere the 64-bit loader for every
# step, in a 64-bit prefix, since the wrapper would take the 32-bit one.
if [ "$KESTROL_WIN32" = 1 ]; then
  KESTROL_WINE=wine
else
  KESTROL_WINE=$KESTROL_WINE64_LOADER
  export WINELOADER=$KESTROL_WINE64_LOADER WINEARCH=win64
fi
export KESTROL_WINE

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kestrol-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrol-wine-work.XXXXXX")
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT

# The prefix takes a while to create: once per run, while the first build goes on.
( "$KESTROL_WINE" wineboot -i && wineserver -w ) >"$work/wineboot.log" 2>&1 &
boot=$!
booted=0

# Waits for the prefix, then starts one server and its services for the whole run, here so
# that none of them holds the output of a test runner open.
start_wine() {
  [ $booted -eq 0 ] || return 0
  booted=1
  if ! wait $boot; then
    echo "wineboot -i with $KESTROL_WINE failed; its output:"
    tail -n 20 "$work/wineboot.log"
    return 1
  fi
  wineserver -p >/dev/null 2>&1 </dev/null || { echo "wineserver -p did not start a persistent server"; return 1; }
  "$KESTROL_WINE" cmd /c exit >/dev/null 2>&1 </dev/null || { echo "$KESTROL_WINE cmd /c exit failed"; return 1; }
}

# The export table, and the version resources of the server and kestrol.exe against the
# project version and the native kestrol --version.
check_exports() {
  python3 tools/wine/check_exports.py "$(grep -m1 '^CMAKE_OBJDUMP:' "build/$1/CMakeCache.txt" | cut -d= -f2)" \
    "build/$1/Kestrol.dll" &&
    python3 tools/wine/check_version.py "$(grep -m1 '^CMAKE_PROJECT_VERSION:' "build/$1/CMakeCache.txt" | cut -d= -f2)" \
      "build/$1/Kestrol.dll" "build/$1/KestrolAutomation.dll" "build/$1/host/kestrol.exe" --native "$native"
}

# The corpus through kestrol.exe, with the checker that judges the native build. It prints the
# share of numbers that are bit-identical; mingw's maths may differ from glibc's in the last bits.
conformance_exe() {
  local corpus=../shared/conformance stride=${KESTROL_WINE_CONFORMANCE_STRIDE:-1}
  if [ "$stride" != 1 ]; then
    # An evenly spread sample: every Nth script, beside links to the whole corpus.
    mkdir -p "$work/corpus"
    ln -sfn "$(cd "$corpus" && pwd)/scripts" "$work/corpus/scripts"
    ln -sfn "$(cd "$corpus" && pwd)/expected" "$work/corpus/expected"
    python3 -c 'import json, sys
index = json.load(open(sys.argv[1]))
json.dump({n: index[n] for n in sorted(index)[::int(sys.argv[2])]}, open(sys.argv[3], "w"))' \
      "$corpus/index.json" "$stride" "$work/corpus/index.json" || return 1
    corpus=$work/corpus
    echo "every ${stride}th script of the corpus"
  fi
  # Wine's own errors stay on, so that a start that fails says why in the checker's report.
  WINEDEBUG=err+all KESTROL_EXE=$PWD/build/$1/host/kestrol.exe python3 ../shared/conformance/check \
    --kestrol tools/wine/kestrol_exe.sh --corpus "$corpus" --only "${KESTROL_CONFORMANCE:-all}"
}

conformance_preset=
for preset in "${presets[@]}"; do
  if [ "$KESTROL_WIN32" = 1 ] || [ "$preset" != windows-x86 ]; then
    conformance_preset=$preset
    break
  fi
done

for preset in "${presets[@]}"; do
  suites=1; [ "$preset" = windows-x86 ] || suites=0
  bits=32; [ "$preset" = windows-x86 ] || bits=64
  required "$preset: configure" quietly cmake --preset "$preset"
  if [ $suites -eq 1 ]; then
    required "$preset: build" cmake --build --preset "$preset"
  else
    required "$preset: build" cmake --build --preset "$preset" --target Kestrol KestrolAutomation com_host com_host_cpp dispatch_host kestrol
  fi

  # The release zip, packed from what was built: it needs no Wine.
  stage "$preset: release zip" tools/release_test.sh "build/$preset" "$native"

  if [ $bits = 32 ] && [ "$KESTROL_WIN32" != 1 ]; then
    # Everything that needs no Wine still runs; the rest is skipped, or failed on request.
    stage "$preset: export table and versions" check_exports "$preset"
    if [ "$KESTROL_WIN32" = 0 ] && [ "${KESTROL_REQUIRE_WIN32:-0}" != 1 ]; then
      skip "$KESTROL_WIN32_SKIP_LINE"
    elif [ "$KESTROL_WIN32" = 3 ] && [ "${KESTROL_REQUIRE_WIN32:-0}" != 1 ]; then
      skip "$KESTROL_WIN32_MISSING_LINE"
    elif [ "$KESTROL_WIN32" = 0 ]; then
      fail "$preset under Wine, which KESTROL_REQUIRE_WIN32=1 requires: this kernel cannot execute 32-bit programs"
    else
      fail "$preset under Wine: ${KESTROL_WIN32_LINE#32-bit programs: }"
    fi
    continue
  fi

  required "Wine prefix" start_wine
  if [ $suites -eq 1 ]; then
    stage "$preset: GoogleTest suites, export table and versions under Wine" ctest --preset "$preset"
  else
    stage "$preset: export table and versions" check_exports "$preset"
  fi
  stage "$preset: end to end under Wine" python3 tools/wine/end_to_end.py "build/$preset" "$native" "$bits"
  stage "$preset: end to end from the unpacked release zip under Wine" \
    tools/release_test.sh "build/$preset" "$native" --wine "$bits"
  if [ "$preset" = "$conformance_preset" ] && [ ! -f ../shared/conformance/check ]; then
    skip "conformance corpus not found beside the repository; its run through kestrol.exe is skipped"
  elif [ "$preset" = "$conformance_preset" ]; then
    stage "$preset: conformance corpus through kestrol.exe under Wine" conformance_exe "$preset"
  fi
done

summary
[ $failed -eq 0 ]
