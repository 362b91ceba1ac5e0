#!/usr/bin/env python3
"""Runs the benchmark programs of two builds in turn, several rounds, and prints each benchmark's
median time in both with their ratio (second / first), so two builds are compared in one quiet run.

  bench/compare_builds.py BUILD_A BUILD_B [--rounds N] [--filter REGEX]
"""
import argparse
import json
import os
import statistics
import subprocess

PROGRAMS = ["bench_array", "bench_spectrum", "bench_refine", "bench_epa"]


def run(build, program, benchmark_filter):
    out = subprocess.run([os.path.join(build, program), "--benchmark_format=json",
                          f"--benchmark_filter={benchmark_filter}", "--benchmark_min_time=0.3"],
                         check=True, capture_output=True, text=True).stdout
    if not out.strip():  # no benchmark of this program matches the filter
        return {}
    return {b["name"]: (b["real_time"], b["time_unit"]) for b in json.loads(out)["benchmarks"]}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("first")
    parser.add_argument("second")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--filter", default=".")
    a = parser.parse_args()
    times = {}  # (program, name) -> ([first times], [second times], unit)
    for _ in range(a.rounds):
        for program in PROGRAMS:
            for k, build in enumerate((a.first, a.second)):
                for name, (t, unit) in run(build, program, a.filter).items():
                    times.setdefault((program, name), ([], [], unit))[k].append(t)
    print(f"{'benchmark':58} {'first':>10} {'second':>10} {'ratio':>6}")
    for (program, name), (first, second, unit) in times.items():
        f, s = statistics.median(first), statistics.median(second)
        print(f"{name:58} {f:8.3f}{unit:>2} {s:8.3f}{unit:>2} {s / f:6.3f}")


if __name__ == "__main__":
    main()
