#!/usr/bin/python3
"""Speed of the package on this machine (run it with the built package on PYTHONPATH):

  size_many on a 1,000,000-row DataFrame with review=False (--review: with the design review),
  the frame built beforehand;
  the overhead of one size(dict) call over the sizing itself (the host's SizeCase on the same
  case, run from C++), both as processor time of the calling thread.

    PYTHONPATH=build/python-release/python /usr/bin/python3 python/tools/benchmark.py
"""
import argparse
import json
import pathlib
import resource
import statistics
import subprocess
import tempfile
import time

import pandas as pd

import kestrol

REPO = pathlib.Path(__file__).resolve().parents[2]


def best_of(repeats, run, clock=time.perf_counter):
    times = []
    for _ in range(repeats):
        started = clock()
        run()
        times.append(clock() - started)
    return min(times), statistics.median(times)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rows", type=int, default=1_000_000)
    ap.add_argument("--calls", type=int, default=200_000)
    ap.add_argument("--repeats", type=int, default=5)
    ap.add_argument("--cli", help="a kestrol command line to time on the same rows, for comparison")
    ap.add_argument("--review", action="store_true", help="size_many with the design review, as it runs by default")
    args = ap.parse_args()

    batch = pd.read_csv(REPO / "examples" / "batch" / "cases.csv")
    frame = pd.concat([batch] * (args.rows // len(batch) + 1), ignore_index=True).iloc[: args.rows]
    best, median = best_of(args.repeats, lambda: kestrol.size_many(frame, review=args.review))
    cpu, _ = best_of(args.repeats, lambda: kestrol.size_many(frame, review=args.review), time.process_time)
    print(f"size_many, {len(frame):,} rows, review={args.review}: best {len(frame) / best:,.0f} cases/s, "
          f"median {len(frame) / median:,.0f} cases/s ({median:.3f} s); processor time {cpu / len(frame) * 1e6:.2f} us "
          f"per case, {2 * len(frame) / cpu:,.0f} cases/s on two cores of its own")
    if args.cli:
        with tempfile.TemporaryDirectory() as folder:
            rows = pathlib.Path(folder) / "rows.csv"
            frame.to_csv(rows, index=False)
            for _ in range(min(args.repeats, 2)):
                before = resource.getrusage(resource.RUSAGE_CHILDREN)
                done = subprocess.run([args.cli, "size", str(rows), "-o", str(pathlib.Path(folder) / "out.csv")],
                                      capture_output=True, text=True)
                after = resource.getrusage(resource.RUSAGE_CHILDREN)
                cpu = (after.ru_utime + after.ru_stime) - (before.ru_utime + before.ru_stime)
                print("command line, same rows:", done.stderr.strip().splitlines()[-1],
                      f"processor time {cpu / len(frame) * 1e6:.2f} us per case")

    for path in sorted((REPO / "examples" / "cases").glob("*.json")):
        case = json.loads(path.read_text())
        calls = args.calls
        # Processor time, both on this one thread: other work on the machine does not count.
        call, _ = best_of(args.repeats, lambda: [kestrol.size(case) for _ in range(calls)], time.thread_time)
        sizing, _ = best_of(args.repeats, lambda: kestrol._kestrol.time_sizing(case, calls), time.thread_time)
        print(f"size(dict) {path.stem}: {call / calls * 1e6:.2f} us per call, the sizing alone {sizing / calls * 1e6:.2f} us, "
              f"overhead {(call - sizing) / calls * 1e6:.2f} us")


if __name__ == "__main__":
    main()
