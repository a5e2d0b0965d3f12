# Sourced by tools/test.sh and tools/wine_test.sh: counted stages and the closing line
# "${stages_prefix}N passed, N failed, N skipped" that CI reads.
passed=0 failed=0 skipped=0
stages_prefix=${stages_prefix:-}

summary() { echo "${stages_prefix}$passed passed, $failed failed, $skipped skipped"; }

# A counted stage: when it fails, say which and go on with the next.
stage() {
  local what=$1
  shift
  local start=$SECONDS
  echo "== $what"
  if "$@"; then
    passed=$((passed + 1))
    echo "-- passed: $what ($((SECONDS - start)) s)"
  else
    fail "$what (exit $?, $((SECONDS - start)) s)"
  fi
}

# A step the later ones depend on: when it fails, say what failed and stop.
required() {
  local what=$1
  shift
  "$@" && return 0
  fail "$what (exit $?)"
  summary
  exit 1
}

skip() {
  echo "$1"
  skipped=$((skipped + 1))
}

fail() {
  echo "FAIL $1"
  failed=$((failed + 1))
}

quietly() { "$@" >/dev/null; }
