#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each from the seed corpus in fuzz/corpus, then replays every input it kept and fails if any
# took longer than 100 ms.
#   tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   a campaign bounded in time, new inputs
#                                                    every run
#   tools/fuzz.sh --ci [TARGET...]                   a fixed seed and a fixed number of runs
#                                                    per target (about a minute each), as CI
#                                                    runs it
# TARGET is interface, parser or host; all three when none is named. The host target writes its
# files into a folder of its own under a tmpfs, which this script removes. KESTROL_FUZZ_TIMEOUT (seconds, default
# 1) bounds one input's wall time; raise it on a loaded machine, where a niced fuzzer can wait
# longer than that for a core. The 100 ms replay below judges speed either way.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --ci ]; then
  limit() { case $1 in interface) echo "-seed=1 -runs=300000" ;; host) echo "-seed=1 -runs=60000" ;; *) echo "-seed=1 -runs=150000" ;; esac; }
  shift
else
  seconds=60
  if [[ "${1:-}" =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi
  limit() { echo "-max_total_time=$seconds"; }
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(interface parser host)
for target in "${targets[@]}"; do
  case $target in interface|parser|host) ;; *) echo "fuzz: no target $target (interface, parser, host)" >&2; exit 2 ;; esac
done

tools/setup.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d)
# The host target's files: on a tmpfs where there is one, so that an input costs no disk.
shm=$([ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "$work")
export KESTROL_FUZZ_FOLDER
KESTROL_FUZZ_FOLDER=$(mktemp -d "$shm/kestrol-fuzz.XXXXXX")
trap 'rm -rf "$work" "$KESTROL_FUZZ_FOLDER"' EXIT
for target in "${targets[@]}"; do
  corpus="$work/$target"
  mkdir -p "$corpus" "$work/artifacts-$target"
  cp fuzz/corpus/$target/* "$corpus/"
  echo "== fuzzing ${target}_fuzz ($(limit $target))"
  # shellcheck disable=SC2046
  build/fuzz/fuzz/${target}_fuzz "$corpus" $(limit $target) -timeout="${KESTROL_FUZZ_TIMEOUT:-1}" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts-$target/" 2>"$work/$target.log" || {
      tail -n 60 "$work/$target.log"; echo "fuzz: ${target}_fuzz found a failure"; exit 1; }
  grep -E 'stat::number_of_executed_units|stat::new_units_added' "$work/$target.log"
  grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$target.log" | tail -n 1 || true
  # Replay what was kept, one input at a time. An input over 100 ms is timed three times more
  # on its own and judged by its best time, so that a busy moment of the machine is not
  # mistaken for a slow input.
  build/fuzz/fuzz/${target}_fuzz "$corpus"/* 2>&1 | sed -n 's/^Executed \(.*\) in \([0-9]*\) ms$/\2 \1/p' | sort -n >"$work/$target.times"
  echo "slowest kept input: $(tail -n 1 "$work/$target.times" | cut -d' ' -f1) ms"
  while read -r ms input; do
    [ "$ms" -gt 100 ] || continue
    best=$(for _ in 1 2 3; do build/fuzz/fuzz/${target}_fuzz "$input" 2>&1 | sed -n 's/^Executed .* in \([0-9]*\) ms$/\1/p'; done | sort -n | head -n 1)
    echo "$input: $ms ms, best of three more $best ms"
    if [ "$best" -gt 100 ]; then echo "fuzz: an input of ${target}_fuzz runs longer than 100 ms"; exit 1; fi
  done <"$work/$target.times"
done
echo "fuzz: no failure found"
