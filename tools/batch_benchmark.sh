#!/usr/bin/env bash
# Measures the CSV batch end to end with the default jobs (one per core) and with --jobs 1, in
# the same run, alternating: the bundled example rows repeated to ROWS cases (default
# 1000000), sized by the release build, read from and written to files. Prints the wall time
# of each run, the CPU time it used, and the speed-up of the default over one job.
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-1000000}
runs=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --preset default >/dev/null
cmake --build --preset default --target kestrol >/dev/null
python3 - "$rows" "$runs" "$work" <<'PY'
import os
import resource
import subprocess
import sys
import time

rows, runs, work = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
lines = open("examples/batch/cases.csv").read().splitlines()
header, examples = lines[0], lines[1:]
cases = os.path.join(work, "cases.csv")
with open(cases, "w") as out:
    out.write(header + "\n")
    for i in range(rows):
        out.write(examples[i % len(examples)] + "\n")


def timed(extra):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(["build/default/host/kestrol", "size", cases, "-o", os.path.join(work, "results.csv")] + extra,
                   stderr=subprocess.DEVNULL)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


print(f"{rows:,} cases, {os.cpu_count()} cores, load average {os.getloadavg()[0]:.2f} at the start")
best = {}
for run in range(1, runs + 1):
    for label, extra in (("default jobs", []), ("--jobs 1", ["--jobs", "1"])):
        wall, cpu = timed(extra)
        best[label] = min(best.get(label, wall), wall)
        print(f"run {run}, {label:12}: {wall:6.2f} s wall, {cpu:6.2f} s CPU, {rows / wall:>10,.0f} cases/s end to end")
print(f"best of {runs}: default jobs {best['default jobs']:.2f} s, --jobs 1 {best['--jobs 1']:.2f} s, "
      f"speed-up {best['--jobs 1'] / best['default jobs']:.2f}")
PY
