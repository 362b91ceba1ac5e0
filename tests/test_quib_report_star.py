#!/usr/bin/python3
"""quib_report's reading of STAR files it was not written for and its selection, on hand-made
files with known answers: the micrographs table found among other blocks, quoted names, a
half-written last row, CRLF line ends, thresholds met exactly or not at all, and picture names
that stay unique."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "report"))
import micrographs  # noqa: E402
import star_table  # noqa: E402

RELION31 = """
# version 30001

data_general

_rlnSomething 12

# version 30001

data_optics

loop_
_rlnOpticsGroupName #1
_rlnOpticsGroup #2
opticsGroup1 1

data_micrographs

loop_
_rlnMicrographName #1
_rlnOpticsGroup #2
_rlnCtfImage #3
_rlnDefocusU #4
_rlnDefocusV #5
_rlnCtfAstigmatism #6
_rlnCtfMaxResolution #7
_rlnCtfFigureOfMerit #8
m/a.mrc 1 m/a.ctf:mrc 10000 9000 1000 3.5 0.2
"m/b b.mrc" 1 m/b.ctf:mrc 20000 19999 1 4.0 0.1
m/c.mrc 1 m/c.ctf:mrc 15000 14000 1000 nan 0.3
m/d.mrc 1 m/d.ctf:mrc 150"""


class StarFiles(unittest.TestCase):
    def test_relion31_table_quotes_and_half_written_row(self):
        star = star_table.parse_star(RELION31)
        table = star_table.micrograph_table(star)
        self.assertEqual(table.block, "data_micrographs")
        self.assertEqual([r["rlnMicrographName"] for r in table.rows], ["m/a.mrc", "m/b b.mrc", "m/c.mrc"])
        self.assertEqual(len(table.broken_lines), 1)
        rows = micrographs.from_table(table, "/nowhere", "_quib.log")
        self.assertEqual(rows[1].paths["ctf"], "/nowhere/m/b.ctf")
        self.assertEqual(rows[1].paths["log"], "/nowhere/m/b_quib.log")
        # resolution 4.0 meets --max_res 4 exactly; "nan" meets no threshold; b's astigmatism is 1
        self.assertEqual(micrographs.select(rows, max_res=4.0), [0, 1])
        self.assertEqual(micrographs.select(rows, max_astig=500), [1])
        self.assertEqual(micrographs.select(rows, min_fom=0.2), [0, 2])
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "selected.star")
            star_table.write_selected(star, table, [0, 2], path)
            with open(path) as f:
                text = f.read()
        kept = RELION31.replace('"m/b b.mrc" 1 m/b.ctf:mrc 20000 19999 1 4.0 0.1\n', "")
        self.assertEqual(text, kept[: kept.rindex("m/d.mrc")])

    def test_relion30_table_with_crlf_and_no_column_numbers(self):
        text = "data_\r\nloop_\r\n_rlnMicrographName\r\n_rlnDefocusU\r\n_rlnDefocusV\r\na.mrc 2 1\r\nb.mrc x 1\r\n"
        table = star_table.micrograph_table(star_table.parse_star(text))
        rows = micrographs.from_table(table, ".", "_quib.log")
        self.assertEqual(rows[0].values["astigmatism"], 1.0)
        self.assertEqual(rows[0].paths["ctf"], "./a.ctf")
        self.assertEqual(micrographs.select(rows, max_astig=10), [0])  # b's defocus U is no number
        self.assertEqual(micrographs.present_keys(table), ["defocus_u", "defocus_v", "astigmatism"])

    def test_picture_names_stay_unique(self):
        names = ["Movies/a.mrc", "Movies_a.mrc", "/data/x y.mrcs", "a"]
        self.assertEqual(micrographs.picture_names(names),
                         ["Movies_a.png", "Movies_a-2.png", "data_x_y.png", "a.png"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
