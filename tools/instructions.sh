#!/usr/bin/env bash
# Instructions per Calculate for each default case, counted by callgrind: they do not move
# with the machine's load as timings do. Builds the driver with the Release (link-time
# optimised) flags of the default preset and runs it at two call counts; the difference,
# divided by the difference in calls, leaves out start-up and the first sizing.
#
#     tools/instructions.sh [CALLS] [CASE...]
set -euo pipefail
cd "$(dirname "$0")/.."

calls=${1:-1000}
shift || true
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(VerticalTwoPhase VerticalThreePhase HorizontalTwoPhase HorizontalThreePhase NoLiquid RateAroundOneLevel)
warm=2  # sizings before the counted ones: the first binds the library calls lazily

command -v valgrind >/dev/null || { echo "instructions: valgrind is missing (tools/setup.sh --measure installs it)" >&2; exit 2; }
cmake --preset default >/dev/null
cmake --build --preset default --target kestrol_instructions >/dev/null
driver=build/default/bench/kestrol_instructions

# Instructions of one run, from callgrind's summary line.
count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$driver" "$1" "$2" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '%-24s %14s\n' case instructions/call
for c in "${cases[@]}"; do
  low=$(count "$c" "$warm")
  high=$(count "$c" $((warm + calls)))
  [ -n "$low" ] && [ -n "$high" ] || { echo "instructions: no count for $c" >&2; exit 1; }
  awk -v c="$c" -v h="$high" -v l="$low" -v n="$calls" 'BEGIN { printf "%-24s %14.1f\n", c, (h - l) / n }'
done
