#!/usr/bin/env bash
# Packs a configured and built tree with CPack and checks the archive: its files against the
# source tree (tools/check_release.py), then what was unpacked.
#   tools/release_test.sh BUILD_DIR [NATIVE_KESTROL [--wine BITS]]
# A native build's .tar.gz: the unpacked kestrol answers --version with the project version and
# sizes an example case as the built one does. A Windows build's .zip: the unpacked servers and
# kestrol.exe are stripped and keep their export table and version resources (compared with
# NATIVE_KESTROL --version). With --wine, the end-to-end run of tools/wine/end_to_end.py then
# registers the unpacked server and plays kestrol.exe from the unpacked folder, beside the example
# hosts of the build, in a Wine prefix of its own booted for the purpose: a machine that never
# saw the build (the caller chooses the loader, as for end_to_end.py).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
native=${2:-}
wine_bits=
[ "${3:-}" != --wine ] || wine_bits=$4
cache() { grep -m1 "^$1:" "$build/CMakeCache.txt" | cut -d= -f2; }
version=$(cache CMAKE_PROJECT_VERSION)
objdump=$(cache CMAKE_OBJDUMP)
work=$(mktemp -d "${TMPDIR:-/tmp}/kestrol-release.XXXXXX")
cleanup() {
  [ -z "$wine_bits" ] || WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

if [ -n "$wine_bits" ]; then
  # The new prefix boots while the archive is packed and checked.
  export WINEPREFIX=$work/prefix
  ( "${KESTROL_WINE:-wine}" wineboot -i && wineserver -w ) >"$work/wineboot.log" 2>&1 &
  boot=$!
fi

cpack --config "$build/CPackConfig.cmake" -B "$work/pack" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
archive=$(find "$work/pack" -maxdepth 1 \( -name 'kestrol-*.zip' -o -name 'kestrol-*.tar.gz' \))
[ -n "$archive" ] || { echo "cpack made no archive:"; cat "$work/cpack.log"; exit 1; }
system=linux; [ "${archive%.zip}" = "$archive" ] || system=windows
python3 tools/check_release.py "$archive" "$version" "$system" "$work/unpacked"
root=$work/unpacked/$(basename "${archive%.zip}" .tar.gz)

# What strip leaves is no debugging section and no symbol table.
stripped() {
  if "$objdump" -h "$1" | grep -q ' \.debug_'; then echo "FAIL $(basename "$1") keeps its debugging sections"; return 1; fi
  if "$objdump" -t "$1" 2>/dev/null | grep -q '\.text'; then echo "FAIL $(basename "$1") keeps its symbol table"; return 1; fi
  echo "  $(basename "$1"): stripped, $(($(stat -c %s "$1") / 1024)) KiB"
}

if [ $system = windows ]; then
  stripped "$root/Kestrol.dll"
  stripped "$root/kestrol.exe"
  stripped "$root/KestrolAutomation.dll"
  python3 tools/wine/check_exports.py "$objdump" "$root/Kestrol.dll"
  python3 tools/wine/check_version.py "$version" "$root/Kestrol.dll" "$root/kestrol.exe" ${native:+--native "$native"}
  if [ -n "$wine_bits" ]; then
    # The layout end_to_end.py reads a build folder by; a release holds the hosts' sources only.
    cp "$build/com_host.exe" "$build/com_host_cpp.exe" "$build/dispatch_host.exe" "$root/"
    mkdir "$root/host" && cp "$root/kestrol.exe" "$root/host/"
    wait $boot || { echo "FAIL wineboot -i of the fresh prefix; its output:"; tail -n 20 "$work/wineboot.log"; exit 1; }
    echo "  a fresh Wine prefix, booted for the unpacked release: $WINEPREFIX"
    python3 tools/wine/end_to_end.py "$root" "$native" "$wine_bits"
  fi
else
  stripped "$root/bin/kestrol"
  said=$("$root/bin/kestrol" --version)
  case $said in
    "kestrol $version ("*) echo "  $said" ;;
    *) echo "FAIL the unpacked kestrol --version says: $said (the project is $version)"; exit 1 ;;
  esac
  case_file=$root/share/doc/kestrol/examples/cases/gas_scrubber_vertical.json
  "$root/bin/kestrol" size "$case_file" --format json >"$work/unpacked.json"
  "$build/host/kestrol" size "$case_file" --format json >"$work/built.json"
  cmp "$work/unpacked.json" "$work/built.json" || { echo "FAIL the unpacked kestrol's report differs from the build's"; exit 1; }
  echo "  $(basename "$case_file"): the unpacked kestrol's report is the build's, byte for byte"
fi
