#!/usr/bin/env python3
"""Accuracy and speed of quib on simulated micrographs with a known CTF.

Simulates a set of micrographs with quib_simulate, runs quib on them (one run, so per-run costs
such as FFT planning are shared as in production), and reports per micrograph the truth, the
estimate and the error, then the median and largest |error of the mean defocus| and the median
seconds per micrograph with the split by stage (quib's timing lines).

  bench/run_bench.py --build build [--set accuracy|speed] [--count N] [--keep DIR] [-- quib options]
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile


def accuracy_set(count):
    """Defocus 6000-35000, astigmatism 0-1500, apix 1.0-1.4, dose 30-50, B 50-200."""
    cases = []
    for i in range(count):
        t = i / max(count - 1, 1)
        mean = 6000 + 29000 * t
        astig = [0, 300, 800, 1500, 150, 1100, 500, 1300][i % 8]
        cases.append(dict(apix=[1.0, 1.1, 1.2, 1.3, 1.4][i % 5], defU=mean - astig / 2, defV=mean + astig / 2,
                          angle=(17 + 37 * i) % 180 - 90 if astig else 0, dose=[30, 40, 50, 35][i % 4],
                          bfac=[50, 100, 150, 200, 80, 120, 170, 60][i % 8], seed=100 + i))
    return cases


def speed_set(count):
    """apix 1.0, defaults otherwise (defocus 20000)."""
    return [dict(apix=1.0, seed=200 + i) for i in range(count)]


def simulate(build, folder, i, case):
    name = os.path.join(folder, f"sim{i:02d}.mrc")
    args = [os.path.join(build, "quib_simulate"), "-o", name, "--nx", "4096", "--ny", "4096"]
    for key, value in case.items():
        args += [f"--{key}", str(value)]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    truth = dict(re.findall(r"(\w+)=(\S+)", out.split("QUIB_SIMULATE_TRUTH", 1)[1]))
    return name, truth


def stage_times(output):
    """Per micrograph: the stage timings in the order printed, grouped by micrograph."""
    micrographs, current = [], None
    for line in output.splitlines():
        m = re.match(r">>>>>>TIME<<<<<<\s*(.+?): ([0-9.]+)s", line)
        if not m:
            continue
        label, seconds = m.group(1), float(m.group(2))
        if label == "READING":
            current = {}
            micrographs.append(current)
        if current is not None and label not in ("TOTAL", "PREPARATION"):
            current[label] = current.get(label, 0.0) + seconds
    return micrographs


def star_rows(path):
    rows = {}
    for line in open(path):
        words = line.split()
        if len(words) >= 12 and words[0].endswith(".mrc"):
            rows[os.path.basename(words[0])] = [float(w) for w in words[2:]]
    return rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--set", choices=["accuracy", "speed"], default="accuracy")
    parser.add_argument("--count", type=int, default=8)
    parser.add_argument("--keep", help="folder to keep the micrographs and results in")
    parser.add_argument("quib_options", nargs="*")
    a = parser.parse_args()
    build = os.path.abspath(a.build)
    folder = a.keep or tempfile.mkdtemp(prefix="quib_bench_")
    os.makedirs(folder, exist_ok=True)
    cases = (accuracy_set if a.set == "accuracy" else speed_set)(a.count)
    sims = [simulate(build, folder, i, c) for i, c in enumerate(cases)]

    # One run per pixel size (the pixel size is a run option).
    results, timings, wall = {}, [], []
    for apix in sorted({t["apix"] for _, t in sims}):
        names = [os.path.basename(n) for n, t in sims if t["apix"] == apix]
        star = f"run_{apix}.star"
        cmd = [os.path.join(build, "quib"), "--apix", apix, "--seed", "1", "--ctfstar", star] + a.quib_options + names
        out = subprocess.run(cmd, cwd=folder, check=True, capture_output=True, text=True).stdout
        run_times = stage_times(out)
        timings += run_times
        total = float(re.search(r"TOTAL: ([0-9.]+)s", out).group(1))
        wall += [total / len(run_times)] * len(run_times)
        results.update(star_rows(os.path.join(folder, star)))

    print(f"{'micrograph':12} {'apix':>5} {'true U':>9} {'true V':>9} {'true A':>7} {'est U':>9} {'est V':>9} "
          f"{'est A':>7} {'dMean':>7} {'dAstig':>7} {'dA':>6} {'res':>6}")
    errors = []
    for name, t in sims:
        row = results.get(os.path.basename(name))
        if row is None:
            print(f"{os.path.basename(name):12} no result")
            continue
        U, V, A, res = row[0], row[1], row[2], row[9]
        tu, tv, ta = float(t["mean_defU"]), float(t["mean_defV"]), float(t["angle"])
        d_mean = (U + V) / 2 - (tu + tv) / 2
        d_astig = abs(V - U) - abs(tv - tu)
        # Compare angles of the axis along which the larger defocus lies, modulo 180.
        axis_est = A + (90 if V > U else 0)
        axis_true = ta + (90 if tv > tu else 0)
        d_angle = (axis_est - axis_true + 90) % 180 - 90 if abs(tv - tu) >= 100 else float("nan")
        errors.append(abs(d_mean))
        print(f"{os.path.basename(name):12} {t['apix']:>5} {tu:9.1f} {tv:9.1f} {ta:7.1f} {U:9.1f} {V:9.1f} {A:7.2f} "
              f"{d_mean:7.2f} {d_astig:7.2f} {d_angle:6.2f} {res:6.2f}")
    if errors:
        print(f"\n|error of mean defocus|: median {statistics.median(errors):.2f} A, largest {max(errors):.2f} A "
              f"over {len(errors)} micrographs")
    if timings:
        labels = list(timings[0].keys())
        totals = [sum(t.values()) - t.get("1D SEARCH/2D REFINE", 0.0) for t in timings]
        print(f"\nseconds per micrograph, whole run / micrographs (median over runs): {statistics.median(wall):.3f}")
        print(f"timed stages per micrograph (median of {len(timings)}): {statistics.median(totals):.3f}; "
              "the rest is the EPA, B-factor, diagnosis image and STAR row")
        for label in labels:
            print(f"  {label:24} {statistics.median([t.get(label, 0.0) for t in timings]):.3f}")
    print(f"\nfiles in {folder}")


if __name__ == "__main__":
    sys.exit(main())
