#!/usr/bin/env bash
# Measures the CSV batch end to end: the bundled example rows repeated to ROWS cases (default
# 200000), sized by the release build, read from and written to files.
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-200000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --preset default >/dev/null
cmake --build --preset default --target kestrol >/dev/null
python3 - "$rows" "$work/cases.csv" <<'PY'
import sys
lines = open("examples/batch/cases.csv").read().splitlines()
header, rows = lines[0], lines[1:]
count = int(sys.argv[1])
with open(sys.argv[2], "w") as out:
    out.write(header + "\n")
    for i in range(count):
        out.write(rows[i % len(rows)] + "\n")
PY
for run in 1 2 3; do
  start=$(date +%s.%N)
  build/default/host/kestrol size "$work/cases.csv" -o "$work/results.csv" || true
  end=$(date +%s.%N)
  python3 -c "import sys; s=float(sys.argv[2])-float(sys.argv[1]); print(f'run {sys.argv[4]}: {int(sys.argv[3])} cases in {s:.3f} s wall, {int(sys.argv[3])/s:,.0f} cases/s end to end')" "$start" "$end" "$rows" "$run"
done
