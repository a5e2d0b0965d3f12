#!/usr/bin/env bash
# Builds the Windows server, its tests and hosts with mingw-w64 and runs them under Wine in a
# throwaway prefix: the cross-built GoogleTest suites, the export table, and the end-to-end
# run (regsvr32, reg query, a C host through COM compared with the native build, regsvr32 /u).
#   tools/wine_test.sh NATIVE_KESTROL [PRESET...]      presets default to windows-x86 windows-x64
# The shipped 32-bit server gets every suite; the 64-bit build, whose sources are the same,
# builds and checks only the server, the C host and kestrol.exe, to keep CI short.
set -euo pipefail
cd "$(dirname "$0")/.."
native=$1
shift
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(windows-x86 windows-x64)

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kestrol-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# The prefix takes a while to create: once per run, while the first build goes on.
( wineboot -i >/dev/null 2>&1 && wineserver -w ) &
boot=$!

first=1
for preset in "${presets[@]}"; do
  suites=1; [ "$preset" = windows-x86 ] || suites=0
  cmake --preset "$preset" >/dev/null
  if [ $suites -eq 1 ]; then
    cmake --build --preset "$preset"
  else
    cmake --build --preset "$preset" --target Kestrol com_host kestrol
  fi
  if [ $first -eq 1 ]; then
    wait $boot
    # One server and its services for the whole run, started here so that none of them holds
    # the output of a test runner open.
    wineserver -p >/dev/null 2>&1 </dev/null
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    first=0
  fi
  if [ $suites -eq 1 ]; then
    echo "== $preset: GoogleTest suites and export table under Wine"
    ctest --preset "$preset"
  else
    echo "== $preset: export table"
    python3 tools/wine/check_exports.py "$(grep -m1 '^CMAKE_OBJDUMP:' "build/$preset/CMakeCache.txt" | cut -d= -f2)" \
      "build/$preset/Kestrol.dll"
  fi
  echo "== $preset: end to end under Wine"
  bits=32; [ "$preset" = windows-x86 ] || bits=64
  python3 tools/wine/end_to_end.py "build/$preset" "$native" "$bits"
done
