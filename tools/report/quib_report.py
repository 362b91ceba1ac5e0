#!/usr/bin/python3
"""quib_report: a report of a quib run to curate its micrographs by looking.

  tools/report/quib_report.py [RUN] [--out DIR] [--max_res A] [--max_astig A] [--min_fom F] [--select FILE]

RUN is the run's STAR file or the folder holding it (default: the current folder). The report
folder (default quib_report/ beside the STAR file) receives a picture per micrograph
(micrographs/NAME.png: the diagnosis image beside the 1D fit), thumbnails, run_plots.png and
index.html, a table of the micrographs sortable by any column. With a threshold, the rows that
meet all thresholds are written to a STAR file of the input's layout (--select, default
selected.star in the report folder). A run that is still going is reported as far as it got.
"""
import argparse
import glob
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import figures  # noqa: E402
import html_page  # noqa: E402
import micrographs as micrograph_rows  # noqa: E402
import pictures  # noqa: E402
import star_table  # noqa: E402

DEFAULT_STAR = "micrographs_all_quib.star"
PICTURE_DIR, THUMBNAIL_DIR, PLOTS = "micrographs", "thumbs", "run_plots.png"


class ReportError(Exception):
    pass


def parse_options(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("run", nargs="?", default=".", help="the run's STAR file or its folder (default: .)")
    parser.add_argument("--out", help="report folder (default: quib_report beside the STAR file)")
    parser.add_argument("--root", help="folder the STAR file's names are relative to (default: the STAR file's)")
    parser.add_argument("--logsuffix", default="_quib.log", help="suffix of the micrographs' logs (default: _quib.log)")
    parser.add_argument("--max_res", type=float, help="select micrographs whose resolution limit (Å) is at most this")
    parser.add_argument("--max_astig", type=float, help="select micrographs whose |U - V| (Å) is at most this")
    parser.add_argument("--min_fom", type=float, help="select micrographs whose figure of merit is at least this")
    parser.add_argument("--select", help="STAR file of the selected micrographs (default: OUT/selected.star)")
    parser.add_argument("--jobs", type=int, default=min(2, os.cpu_count() or 1), help="processes drawing pictures")
    options = parser.parse_args(argv)
    if options.jobs < 1:
        parser.error("--jobs must be at least 1")
    return options


def find_star_file(run):
    """The STAR file itself, or in a folder quib's default name or else its only CTF STAR file."""
    if not os.path.isdir(run):
        if not os.path.isfile(run):
            raise ReportError(f"{run}: no such STAR file or folder")
        return run
    default = os.path.join(run, DEFAULT_STAR)
    if os.path.isfile(default):
        return default
    candidates = []
    for path in sorted(glob.glob(os.path.join(run, "*.star"))):
        with open(path, encoding="utf-8", errors="replace") as f:
            if "_rlnCtfFigureOfMerit" in f.read(65536):
                candidates.append(path)
    if len(candidates) != 1:
        found = ", ".join(candidates) if candidates else "none"
        raise ReportError(f"{run}: name the run's STAR file; STAR files with CTF values found: {found}")
    return candidates[0]


def same_file(a, b):
    return os.path.exists(a) and os.path.exists(b) and os.path.samefile(a, b)


def write_selection(star, table, micrographs, options, out):
    thresholds = {"max_res": options.max_res, "max_astig": options.max_astig, "min_fom": options.min_fom}
    if all(v is None for v in thresholds.values()):
        return None
    path = options.select or os.path.join(out, "selected.star")
    keep = micrograph_rows.select(micrographs, **thresholds)
    star_table.write_selected(star, table, keep, path)
    return path, len(keep)


def plot_values(micrographs):
    return {key: np.array([m.values[key] for m in micrographs], dtype=float)
            for key in ("defocus_u", "defocus_v", "astigmatism", "resolution")}


def report(options):
    star_path = find_star_file(options.run)
    star = star_table.read_star(star_path)
    table = star_table.micrograph_table(star)
    if table is None:
        raise ReportError(f"{star_path}: no table with _rlnMicrographName")
    if "rlnDefocusU" not in table.labels or "rlnDefocusV" not in table.labels:
        raise ReportError(f"{star_path}: the micrographs have no _rlnDefocusU and _rlnDefocusV")
    root = options.root or os.path.dirname(star_path) or "."
    out = options.out or os.path.join(root, "quib_report")
    if options.select and same_file(options.select, star_path):
        raise ReportError(f"--select {options.select} would overwrite the input STAR file")
    for folder in (out, os.path.join(out, PICTURE_DIR), os.path.join(out, THUMBNAIL_DIR)):
        os.makedirs(folder, exist_ok=True)

    micrographs = micrograph_rows.from_table(table, root, options.logsuffix)
    drawn = pictures.make_pictures(micrographs, os.path.join(out, PICTURE_DIR), os.path.join(out, THUMBNAIL_DIR),
                                   options.jobs)
    if micrographs:
        figures.plot_run(plot_values(micrographs), os.path.join(out, PLOTS))
    selection = write_selection(star, table, micrographs, options, out)

    with_picture = sum(1 for m in micrographs if not m.note)
    summary = (f"{len(micrographs)} micrographs in {star_path}: {with_picture} with pictures ({drawn} drawn now), "
               f"{len(micrographs) - with_picture} without")
    if table.broken_lines:
        summary += f", {len(table.broken_lines)} incomplete rows left out"
    links = [("the run's STAR file", os.path.relpath(star_path, out))]
    if selection:
        summary += f"; {selection[1]} selected into {selection[0]}"
        links.insert(0, (f"selection: {selection[1]} micrographs", os.path.relpath(selection[0], out)))
    page = os.path.join(out, "index.html")
    html_page.write_page(page, micrographs, micrograph_rows.present_keys(table), summary, links, PICTURE_DIR,
                         THUMBNAIL_DIR, PLOTS if micrographs else None)
    return f"quib_report: {summary}; report {page}"


def main(argv=None):
    try:
        print(report(parse_options(argv)))
    except (ReportError, OSError) as e:
        print(f"quib_report: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
