#!/usr/bin/env python3
"""Accuracy and speed of quib on simulated micrographs with a known CTF, for one build or several.

Simulates a set of micrographs with quib_simulate (kept and reused with --keep), runs each build's
quib on them and reports per micrograph the truth, the estimate and the error, then the median and
largest |error of the mean defocus| and the seconds per micrograph with the split by stage (quib's
timing lines). With several builds, every build reads the same micrographs, the runs alternate
between the builds (--rounds times, the fastest round kept) so that a busy machine slows them
alike, and the results of each build are compared with the first's: resolution limit and B-factor
per micrograph.

Sets: accuracy (defocus 6000-35000, mixed optics), speed (defocus 20000, apix 1.0), sweep (defocus
5000-40000 in equal steps, apix 1.0; each micrograph is also run alone, so its own time is known).

  bench/run_bench.py --build build [--build OTHER ...] [--set accuracy|speed|sweep] [--count N]
                     [--rounds N] [--keep DIR] [-- quib options]
"""
import argparse
import json
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


def sweep_set(count):
    """apix 1.0, mean defocus 5000 to 40000 in equal steps, astigmatism 600."""
    cases = []
    for i in range(count):
        mean = 5000 + 35000 * i / max(count - 1, 1)
        cases.append(dict(apix=1.0, defU=mean - 300, defV=mean + 300, angle=30, seed=300 + i))
    return cases


SETS = {"accuracy": accuracy_set, "speed": speed_set, "sweep": sweep_set}


def simulate(build, folder, i, case):
    """The micrograph of one case and its truth; a kept one of the same case is reused."""
    name = os.path.join(folder, f"sim{i:02d}.mrc")
    record = name + ".truth.json"
    if os.path.exists(name) and os.path.exists(record):
        kept = json.load(open(record))
        if kept["case"] == case:
            return name, kept["truth"]
    args = [os.path.join(build, "quib_simulate"), "-o", name, "--nx", "4096", "--ny", "4096"]
    for key, value in case.items():
        args += [f"--{key}", str(value)]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    truth = dict(re.findall(r"(\w+)=(\S+)", out.split("QUIB_SIMULATE_TRUTH", 1)[1]))
    json.dump({"case": case, "truth": truth}, open(record, "w"))
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


def bfactor(log):
    m = re.search(r"Estimated Bfactor: B_FACTOR\s+([-0-9.naif]+)", open(log).read())
    return float(m.group(1)) if m else float("nan")


def run_quib(build, tag, folder, apix, names, options):
    """One run of a build over names; its STAR file and logs carry the build's tag."""
    star = f"run_{tag}_{apix}.star"
    cmd = [os.path.join(build, "quib"), "--apix", apix, "--seed", "1", "--ctfstar", star,
           "--logsuffix", f"_{tag}.log"] + options + names
    out = subprocess.run(cmd, cwd=folder, check=True, capture_output=True, text=True).stdout
    total = float(re.search(r"TOTAL: ([0-9.]+)s", out).group(1))
    return out, total, star


def measure(build, tag, folder, sims, options, alone):
    """Results, B-factors, stage timings and seconds per micrograph of one build (one round)."""
    results, bfactors, timings, seconds = {}, {}, [], {}
    for apix in sorted({t["apix"] for _, t in sims}):
        names = [os.path.basename(n) for n, t in sims if t["apix"] == apix]
        groups = [[n] for n in names] if alone else [names]
        for group in groups:
            out, total, star = run_quib(build, tag, folder, apix, group, options)
            timings += stage_times(out)
            for n in group:
                seconds[n] = total / len(group)
            results.update(star_rows(os.path.join(folder, star)))
        for n in names:
            bfactors[n] = bfactor(os.path.join(folder, n[:-4] + f"_{tag}.log"))
    return dict(results=results, bfactors=bfactors, timings=timings, seconds=seconds)


def report_build(tag, sims, m):
    print(f"\n== {tag}")
    print(f"{'micrograph':12} {'apix':>5} {'true U':>9} {'true V':>9} {'true A':>7} {'est U':>9} {'est V':>9} "
          f"{'est A':>7} {'dMean':>7} {'dAstig':>7} {'dA':>6} {'res':>6} {'B':>7} {'s':>6}")
    errors = []
    for name, t in sims:
        base = os.path.basename(name)
        row = m["results"].get(base)
        if row is None:
            print(f"{base:12} no result")
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
        print(f"{base:12} {t['apix']:>5} {tu:9.1f} {tv:9.1f} {ta:7.1f} {U:9.1f} {V:9.1f} {A:7.2f} "
              f"{d_mean:7.2f} {d_astig:7.2f} {d_angle:6.2f} {res:6.2f} {m['bfactors'][base]:7.2f} "
              f"{m['seconds'][base]:6.3f}")
    if errors:
        print(f"|error of mean defocus|: median {statistics.median(errors):.2f} A, largest {max(errors):.2f} A "
              f"over {len(errors)} micrographs")
    seconds = list(m["seconds"].values())
    median = statistics.median(seconds)
    print(f"seconds per micrograph: median {median:.3f}, largest {max(seconds):.3f} "
          f"({max(seconds) / median:.2f} x the median)")
    timings = m["timings"]
    if timings:
        totals = [sum(t.values()) - t.get("1D SEARCH/2D REFINE", 0.0) for t in timings]
        print(f"timed stages per micrograph (median of {len(timings)}): {statistics.median(totals):.3f}; "
              "the rest is the EPA, B-factor, diagnosis image and STAR row")
        for label in timings[0].keys():
            print(f"  {label:24} {statistics.median([t.get(label, 0.0) for t in timings]):.3f}")


def compare(first_tag, first, tag, other):
    """Resolution limit and B-factor of another build against the first's, per micrograph."""
    d_res, d_b = [], []
    for name, row in first["results"].items():
        if name not in other["results"]:
            continue
        r0, r1 = row[9], other["results"][name][9]
        d_res.append(abs(r1 - r0) / r0 * 100.0)
        d_b.append(abs(other["bfactors"][name] - first["bfactors"][name]))
    if d_res:
        print(f"\n{tag} against {first_tag} on {len(d_res)} micrographs: |resolution limit change| median "
              f"{statistics.median(d_res):.3f} %, largest {max(d_res):.3f} %; |B-factor change| median "
              f"{statistics.median(d_b):.3f} A^2, largest {max(d_b):.3f} A^2")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", action="append", help="build folder (repeat to compare builds)")
    parser.add_argument("--set", choices=sorted(SETS), default="accuracy")
    parser.add_argument("--count", type=int, default=8)
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--keep", help="folder to keep the micrographs and results in")
    parser.add_argument("quib_options", nargs="*")
    a = parser.parse_args()
    builds = [os.path.abspath(b) for b in (a.build or ["build"])]
    folder = a.keep or tempfile.mkdtemp(prefix="quib_bench_")
    os.makedirs(folder, exist_ok=True)
    simulator = next((b for b in builds if os.path.exists(os.path.join(b, "quib_simulate"))), builds[0])
    sims = [simulate(simulator, folder, i, c) for i, c in enumerate(SETS[a.set](a.count))]
    tags = [f"b{k}" for k in range(len(builds))]
    best = {}
    for _ in range(a.rounds):
        for build, tag in zip(builds, tags):
            m = measure(build, tag, folder, sims, a.quib_options, alone=a.set == "sweep")
            kept = best.get(tag)
            if kept is None or statistics.median(m["seconds"].values()) < statistics.median(kept["seconds"].values()):
                best[tag] = m
    for build, tag in zip(builds, tags):
        print(f"\n{tag} = {build}")
        report_build(tag, sims, best[tag])
    for tag in tags[1:]:
        compare(tags[0], best[tags[0]], tag, best[tag])
    print(f"\nfiles in {folder}")


if __name__ == "__main__":
    sys.exit(main())
