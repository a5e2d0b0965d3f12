#!/bin/sh
# Starts the Windows kestrol.exe under Wine as if it were the native command, for checkers
# that take a command path (the conformance checker's --kestrol):
#   KESTROL_WINE=LOADER KESTROL_EXE=PATH/kestrol.exe kestrol_exe.sh ARGS...
# Absolute Linux paths among the arguments become Z: paths, since the program would read a
# leading slash as an option.
set -eu
: "${KESTROL_EXE:?the kestrol.exe to start}"
loader=${KESTROL_WINE:-wine}
for arg in "$@"; do
  shift
  case $arg in
    /*) arg="Z:$(printf '%s' "$arg" | tr / '\\')" ;;
  esac
  set -- "$@" "$arg"
done
exec "$loader" "$KESTROL_EXE" "$@"
