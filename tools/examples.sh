#!/usr/bin/env bash
# Sets up, builds and runs the main job: sizes every bundled example case, draws each vessel and
# writes its datasheet, and sizes the CSV batch.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target kestrol >/dev/null
kestrol=build/default/host/kestrol
out=build/default/examples
mkdir -p "$out"

failed=0
for case in examples/cases/*.json; do
  stem=$(basename "$case" .json)
  echo "== kestrol size $case --svg $out/$stem.svg --datasheet $out/$stem.html"
  "$kestrol" size "$case" --svg "$out/$stem.svg" --datasheet "$out/$stem.html" || failed=$((failed + 1))
  echo
done

echo "== kestrol size examples/batch/cases.csv -o $out/results.csv"
"$kestrol" size examples/batch/cases.csv -o "$out/results.csv" || failed=$((failed + 1))
head -n 3 "$out/results.csv" | cut -c 1-200

if [ "$failed" -gt 0 ]; then
  echo "examples: $failed run(s) did not size every case" >&2
  exit 1
fi
