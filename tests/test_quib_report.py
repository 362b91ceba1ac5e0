#!/usr/bin/python3
"""quib_report on a real quib run of three simulated micrographs (a, b, c; b alone is simulated
with an astigmatism over 2000 A): its pictures, its page against the STAR file, its selections in
both STAR layouts (read back by RELION where installed), a run with missing and half-written
files, pictures redrawn only when their files change, and the page sorted by a headless Chromium
where installed.

  test_quib_report.py BUILD_DIR"""
import html.parser
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
REPORT = os.path.join(SOURCE, "tools", "report", "quib_report.py")
sys.path.insert(0, os.path.join(SOURCE, "tools", "report"))
import star_table  # noqa: E402

BUILD = None  # set from the command line
SIMULATED = {"a": ["--defU", "15000", "--defV", "14500", "--angle", "30", "--seed", "2"],
             "b": ["--defU", "22000", "--defV", "19000", "--angle", "60", "--seed", "3"],
             "c": ["--defU", "10000", "--defV", "9500", "--angle", "10", "--bfac", "200", "--seed", "4"]}
VOID = {"meta", "img", "br", "hr", "input", "link"}


def run(command, cwd, check=True):
    env = dict(os.environ, QUIB_FFT_WISDOM="estimate")
    result = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError(f"{' '.join(command)} failed ({result.returncode}):\n{result.stdout}\n{result.stderr}")
    return result


def report(folder, *options, check=True):
    return run([sys.executable, REPORT, *options], folder, check)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    return struct.unpack(">II", head[16:24])


def star_rows(path):
    table = star_table.micrograph_table(star_table.read_star(path))
    return {row["rlnMicrographName"]: row for row in table.rows}


def header_of(path):
    star = star_table.read_star(path)
    return star.lines[:star_table.micrograph_table(star).row_lines[0]]


class PageParser(html.parser.HTMLParser):
    """Checks that every element is closed in order; collects the table's header keys and rows."""

    def __init__(self):
        super().__init__()
        self.open, self.errors, self.keys, self.rows, self.row = [], [], [], [], None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag not in VOID:
            self.open.append(tag)
        if tag == "th":
            self.keys.append(attrs.get("data-key"))
        elif tag == "tr" and "data-name" in attrs:
            self.row = {"name": attrs["data-name"], "cells": [], "class": attrs.get("class")}
            self.rows.append(self.row)
        elif tag == "td" and self.row is not None:
            self.row["cells"].append(attrs.get("data-v"))
        elif tag == "img" and self.row is not None:
            self.row["thumbnail"] = attrs.get("src")

    def handle_endtag(self, tag):
        if not self.open or self.open.pop() != tag:
            self.errors.append(f"</{tag}> does not close the open element")

    def table(self):
        """Row name -> {column key: data-v} (the first cell holds the picture and has no key)."""
        return {r["name"]: dict(zip(self.keys[1:], r["cells"][1:])) for r in self.rows}


def parse_page(path):
    parser = PageParser()
    with open(path, encoding="utf-8") as f:
        parser.feed(f.read())
    parser.close()
    if parser.errors or parser.open:
        raise AssertionError(f"{path} is not well formed: {parser.errors} unclosed {parser.open}")
    return parser


def log_values(path):
    with open(path) as f:
        text = f.read()
    bfactor = text.rsplit("B_FACTOR", 1)[1].split()[0]
    return float(bfactor), [line.split("VALIDATION_SCORE:")[1].split()[0] for line in text.splitlines()
                            if "VALIDATION_SCORE:" in line]


class QuibReport(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="quib_report_test_")
        cls.run_dir = os.path.join(cls.work, "run")
        os.makedirs(cls.run_dir)
        for name, options in SIMULATED.items():
            run([os.path.join(BUILD, "quib_simulate"), "-o", name + ".mrc", "--nx", "1024", "--ny", "1024", *options],
                cls.run_dir)
        run([os.path.join(BUILD, "quib"), "--apix", "1", "--boxsize", "512", "--seed", "1", "--do_validation", "1",
             "a.mrc", "b.mrc", "c.mrc"], cls.run_dir)
        cls.star = os.path.join(cls.run_dir, "micrographs_all_quib.star")
        cls.rows = star_rows(cls.star)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def copy_run(self, name):
        copy = os.path.join(self.work, name)
        shutil.copytree(self.run_dir, copy, ignore=shutil.ignore_patterns("quib_report"))
        return copy

    def test_pictures_page_and_astigmatism_selection(self):
        result = report(self.run_dir, "--max_astig", "2000")
        self.assertEqual(len(result.stdout.strip().splitlines()), 1, result.stdout)
        self.assertIn("3 with pictures", result.stdout)
        out = os.path.join(self.run_dir, "quib_report")
        for name in SIMULATED:
            width, height = png_size(os.path.join(out, "micrographs", name + ".png"))
            self.assertTrue(600 <= width <= 2000 and 250 <= height <= 1200, (name, width, height))
            self.assertEqual(max(png_size(os.path.join(out, "thumbs", name + ".png"))), 128)
        self.assertGreater(min(png_size(os.path.join(out, "run_plots.png"))), 300)

        page = parse_page(os.path.join(out, "index.html"))
        table = page.table()
        self.assertEqual(sorted(table), ["a.mrc", "b.mrc", "c.mrc"])
        for name, row in self.rows.items():
            cells = table[name]
            for key, label in [("defocus_u", "rlnDefocusU"), ("defocus_v", "rlnDefocusV"),
                               ("angle", "rlnDefocusAngle"), ("resolution", "rlnFinalResolution"),
                               ("fom", "rlnCtfFigureOfMerit")]:
                self.assertEqual(float(cells[key]), float(row[label]), (name, key))
            astigmatism = abs(float(row["rlnDefocusU"]) - float(row["rlnDefocusV"]))
            self.assertAlmostEqual(float(cells["astigmatism"]), astigmatism, places=3)
            bfactor, grades = log_values(os.path.join(self.run_dir, name[0] + "_quib.log"))
            self.assertAlmostEqual(float(cells["bfactor"]), bfactor, places=2)
            self.assertEqual(len(grades), 5)
            self.assertAlmostEqual(float(cells["validation"]), sum(map(int, grades)) / len(grades))
            self.assertEqual(cells["selected"], "0" if name == "b.mrc" else "1")
        self.assertNotIn("phase_shift", page.keys)

        selected = os.path.join(out, "selected.star")
        self.assertEqual(sorted(star_rows(selected)), ["a.mrc", "c.mrc"])
        self.assertEqual(header_of(selected), header_of(self.star))
        self.check_relion_reads(selected, "data_", self.rows, ["a.mrc", "c.mrc"])

    def test_resolution_and_figure_of_merit_thresholds_drop_the_worst(self):
        for option, label, worst in [("--max_res", "rlnFinalResolution", max), ("--min_fom", "rlnCtfFigureOfMerit", min)]:
            values = sorted(float(row[label]) for row in self.rows.values())
            dropped = next(n for n, row in self.rows.items() if float(row[label]) == worst(values))
            threshold = (values[-1] + values[-2]) / 2 if worst is max else (values[0] + values[1]) / 2
            selection = os.path.join(self.work, f"selected{option}.star")
            report(self.run_dir, option, str(threshold), "--select", selection, "--out", self.work + "/out")
            self.assertEqual(sorted(star_rows(selection)), sorted(set(self.rows) - {dropped}), option)

    def test_relion31_layout(self):
        folder = os.path.join(self.work, "run31")
        os.makedirs(folder)
        for name in SIMULATED:
            os.symlink(os.path.join(self.run_dir, name + ".mrc"), os.path.join(folder, name + ".mrc"))
        run([os.path.join(BUILD, "quib"), "--apix", "1", "--boxsize", "512", "--seed", "1", "--ctfstar_format", "31",
             "--ctfstar", "run31", "a.mrc", "b.mrc", "c.mrc"], folder)
        star = os.path.join(folder, "run31.star")
        report(folder, "--max_astig", "2000")
        out = os.path.join(folder, "quib_report")
        table = parse_page(os.path.join(out, "index.html")).table()
        rows = star_rows(star)
        for name, row in rows.items():
            self.assertEqual(float(table[name]["resolution"]), float(row["rlnCtfMaxResolution"]))
            self.assertEqual(float(table[name]["astigmatism"]), float(row["rlnCtfAstigmatism"]))
            self.assertTrue(os.path.isfile(os.path.join(out, "micrographs", name[0] + ".png")))
        selected = os.path.join(out, "selected.star")
        self.assertEqual(sorted(star_rows(selected)), ["a.mrc", "c.mrc"])
        self.assertEqual(header_of(selected), header_of(star))
        self.assertIn("data_optics\n", header_of(selected))
        self.check_relion_reads(selected, "data_micrographs", rows, ["a.mrc", "c.mrc"])

    def test_missing_and_half_written_files(self):
        folder = self.copy_run("partial")
        os.remove(os.path.join(folder, "c.ctf"))
        with open(os.path.join(folder, "b.ctf"), "r+b") as f:
            f.truncate(os.path.getsize(f.name) // 2)
        with open(os.path.join(folder, "micrographs_all_quib.star"), "a") as f:
            f.write("d.mrc d.ctf:mrc 12345.6")  # the row a running quib is writing
        result = report(folder, "--max_astig", "2000")
        self.assertIn("1 with pictures", result.stdout)
        self.assertIn("1 incomplete rows", result.stdout)
        page = parse_page(os.path.join(folder, "quib_report", "index.html"))
        self.assertEqual([r["name"] for r in page.rows], ["a.mrc", "b.mrc", "c.mrc"])
        self.assertEqual([("thumbnail" in r) for r in page.rows], [True, False, False])
        selected = os.path.join(folder, "quib_report", "selected.star")
        self.assertEqual(sorted(star_rows(selected)), ["a.mrc", "c.mrc"])
        with open(selected) as f:
            self.assertNotIn("d.mrc", f.read())

    def test_pictures_are_redrawn_only_when_their_files_change(self):
        folder = self.copy_run("again")
        self.assertIn("(3 drawn now)", report(folder).stdout)
        self.assertIn("(0 drawn now)", report(folder).stdout)
        later = os.path.getmtime(os.path.join(folder, "quib_report", "micrographs", "b.png")) + 10
        os.utime(os.path.join(folder, "b_EPA.log"), (later, later))
        self.assertIn("(1 drawn now)", report(folder).stdout)

    def test_headless_browser_sorts_by_the_address(self):
        browser = shutil.which("chromium") or shutil.which("chromium-browser")
        if not browser:
            self.skipTest("chromium is not installed: the page's sorting is not checked in a browser")
        folder = self.copy_run("browser")
        report(folder)
        page = os.path.join(folder, "quib_report", "index.html")
        for sort, label, descending in [("resolution", "rlnFinalResolution", False),
                                        ("-defocus_u", "rlnDefocusU", True)]:
            dom = run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--dump-dom",
                       f"file://{page}#sort={sort}"], folder).stdout
            parser = PageParser()
            parser.feed(dom)
            expected = sorted(self.rows, key=lambda n: float(self.rows[n][label]), reverse=descending)
            self.assertEqual([r["name"] for r in parser.rows], expected, sort)

    def check_relion_reads(self, star, block, rows, names):
        if not shutil.which("relion_star_printtable"):
            print("RELION is not installed (no relion_star_printtable): its reading of the selection is not checked")
            return
        printed = run(["relion_star_printtable", star, block, "_rlnDefocusU"], self.work).stdout.split()
        self.assertEqual(sorted(map(float, printed)), sorted(float(rows[n]["rlnDefocusU"]) for n in names))


if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
