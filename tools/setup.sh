#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, only what is missing.
# With --windows also the mingw-w64 cross compilers and Wine, for the Windows server, widl
# (mingw-w64-tools) with the IDL files it imports (libwine-dev), for the automation server's type
# library, and icoutils, whose wrestool reads its version resources back; with
# --fuzz clang and its fuzzer and sanitizer runtimes, and libxml2, which host_fuzz reads the
# drawings with; with --measure valgrind, which tools/instructions.sh counts instructions with;
# with --python the extension's build dependencies and what the package's tests, type check,
# notebook and Dask run use, for Debian's own /usr/bin/python3; with --datasheet Chromium and
# poppler-utils, which the datasheet render test prints and reads the examples' datasheets with.
set -euo pipefail

optional=()
packages=(cmake ninja-build g++ python3 libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev librsvg2-bin
          python3-jsonschema)
as_root=(); [ "$(id -u)" -eq 0 ] || as_root=(sudo)

for option in "$@"; do
  case $option in
    --windows)
      packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 icoutils mingw-w64-tools libwine-dev)
      # Wine's 32-bit half comes from the i386 architecture, installed on its own below.
      optional=(wine32:i386)
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${as_root[@]}" dpkg --add-architecture i386
      fi
      ;;
    --fuzz) packages+=(clang libclang-rt-dev libxml2-dev) ;;  # libFuzzer, the sanitizer runtimes, an XML parser
    --measure) packages+=(valgrind) ;;
    --datasheet) packages+=(chromium poppler-utils) ;;
    --python)
      packages+=(python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pandas python3-pytest
                 python3-dask python3-distributed python3-nbclient python3-nbformat python3-ipykernel
                 python3-matplotlib python3-setuptools python3-wheel python3-pip python3-mypy
                 python3-pint python3-tqdm)
      ;;
    *) echo "setup: unknown option $option" >&2; exit 2 ;;
  esac
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
install() { DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }

missing=() missing_optional=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${optional[@]}"; do installed "$p" || missing_optional+=("$p"); done
if [ $((${#missing[@]} + ${#missing_optional[@]})) -gt 0 ]; then
  # A mirror in the middle of a sync serves an index of the wrong size for a minute or two:
  # try again, and on the last failure go on with what was fetched, so that the install says
  # which package it could not find.
  for attempt in 1 2 3; do
    "${as_root[@]}" apt-get update -qq && break
    [ "$attempt" -lt 3 ] && sleep 20
  done
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  install "${missing[@]}"
fi
# Without its architecture's index (a mirror whose i386 index stays out of step with its
# Release file), wine32:i386 cannot be resolved against the amd64 libraries. The 64-bit Wine
# stages need none of it; the 32-bit one then says the loader is missing and is skipped.
if [ ${#missing_optional[@]} -gt 0 ]; then
  echo "setup: installing ${missing_optional[*]}"
  install "${missing_optional[@]}" ||
    echo "setup: Debian's archive could not provide ${missing_optional[*]}; going on without it"
fi
