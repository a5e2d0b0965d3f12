# Sourced by tools/test.sh and tools/wine_test.sh: which of Debian's Wine loaders this machine
# can start. Some kernels run no 32-bit programs at all; there the 32-bit loader fails with
# "Exec format error" while the 64-bit one works, and Debian's `wine` wrapper still picks the
# 32-bit loader whenever it is installed.
#
# kestrol_probe_win32 sets, unless KESTROL_WIN32 is already set by the caller:
#   KESTROL_WIN32        1 when 32-bit programs run, 0 when the kernel cannot execute them,
#                        3 when the 32-bit loader is not installed (tools/setup.sh goes on
#                        without it when Debian's archive cannot provide it), 2 when it is
#                        installed but does not start
#   KESTROL_WIN32_LINE   one line that says which, with the loader's own words
# KESTROL_SIMULATE_NO_WIN32=1 answers as such a kernel would, on a machine that has no such
# kernel, so that the other way through the scripts can be tried.

KESTROL_WINE32_LOADER=/usr/lib/wine/wine
KESTROL_WINE64_LOADER=/usr/lib/wine/wine64
KESTROL_WIN32_SKIP_LINE="this kernel cannot execute 32-bit programs; the 32-bit Wine stage is skipped"
KESTROL_WIN32_MISSING_LINE="the 32-bit Wine loader is not installed; the 32-bit Wine stage is skipped"

kestrol_probe_win32() {
  [ -z "${KESTROL_WIN32:-}" ] || return 0
  local answer rc
  if [ "${KESTROL_SIMULATE_NO_WIN32:-0}" = 1 ]; then
    answer="$KESTROL_WINE32_LOADER: cannot execute binary file: Exec format error (simulated by KESTROL_SIMULATE_NO_WIN32=1)"
    rc=126
  elif [ ! -x "$KESTROL_WINE32_LOADER" ]; then
    answer="$KESTROL_WINE32_LOADER: not installed"
    rc=127
  else
    answer=$("$KESTROL_WINE32_LOADER" --version 2>&1) && rc=0 || rc=$?
    # The shell's own prefix ("...sh: line N: ") says nothing about the loader.
    answer=$(printf '%s' "$answer" | tr '\n' ' ' | sed 's/^.*: line [0-9]*: //')
  fi
  if [ "$rc" -eq 0 ]; then
    KESTROL_WIN32=1
    KESTROL_WIN32_LINE="32-bit programs: this kernel runs them ($KESTROL_WINE32_LOADER --version: $answer)"
  elif [ "$rc" -eq 126 ] && [[ $answer == *"Exec format error"* ]]; then
    KESTROL_WIN32=0
    KESTROL_WIN32_LINE="32-bit programs: this kernel cannot execute them ($answer)"
  elif [ "$rc" -eq 127 ]; then
    KESTROL_WIN32=3
    KESTROL_WIN32_LINE="32-bit programs: not tried ($answer)"
  else
    KESTROL_WIN32=2
    KESTROL_WIN32_LINE="32-bit programs: the 32-bit Wine loader does not start (exit $rc: $answer)"
  fi
}
