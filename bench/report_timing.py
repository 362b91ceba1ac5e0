#!/usr/bin/python3
"""Times quib_report on a large run made cheaply from a small real one.

  bench/report_timing.py RUN_FOLDER [--count 1000] [--work DIR]

The outputs of the micrographs in RUN_FOLDER's micrographs_all_quib.star are hard-linked under
COUNT new names (the originals taken in turn) and listed in a STAR file of the same header; the
report is then made twice: from scratch, and again with every picture up to date."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tools", "report"))

import run_files  # noqa: E402
import star_table  # noqa: E402

REPORT = os.path.join(HERE, "..", "tools", "report", "quib_report.py")


def make_large_run(source, count, folder):
    star = star_table.read_star(os.path.join(source, "micrographs_all_quib.star"))
    table = star_table.micrograph_table(star)
    header = "".join(star.lines[: table.row_lines[0]])
    rows = []
    for n in range(count):
        original = table.row_lines[n % len(table.row_lines)]
        row = table.rows[n % len(table.rows)]
        paths = run_files.output_paths(source, row["rlnMicrographName"], row["rlnCtfImage"], "_quib.log")
        stem = f"mic{n:05d}"
        os.link(paths["ctf"], os.path.join(folder, stem + ".ctf"))
        os.link(next(p for p in paths["epa"] if os.path.exists(p)), os.path.join(folder, stem + "_EPA.log"))
        os.link(paths["log"], os.path.join(folder, stem + "_quib.log"))
        fields = star.lines[original].split()
        rows.append(" ".join([stem + ".mrc", stem + ".ctf:mrc"] + fields[2:]) + "\n")
    with open(os.path.join(folder, "micrographs_all_quib.star"), "w") as f:
        f.write(header + "".join(rows))


def timed_report(folder):
    start = time.perf_counter()
    result = subprocess.run([sys.executable, REPORT, folder, "--max_res", "4", "--max_astig", "1000"],
                            capture_output=True, text=True, check=True)
    return time.perf_counter() - start, result.stdout.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("run")
    parser.add_argument("--count", type=int, default=1000)
    parser.add_argument("--work", help="folder for the large run (default: a temporary one, removed)")
    a = parser.parse_args()
    folder = a.work or tempfile.mkdtemp(prefix="quib_report_timing_")
    os.makedirs(folder, exist_ok=True)
    try:
        make_large_run(a.run, a.count, folder)
        for label in ("from scratch", "again, pictures up to date"):
            seconds, summary = timed_report(folder)
            print(f"{a.count} micrographs, {label}: {seconds:.1f} s\n  {summary}")
    finally:
        if not a.work:
            shutil.rmtree(folder)


if __name__ == "__main__":
    main()
