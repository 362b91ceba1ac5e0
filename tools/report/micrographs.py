"""One record per micrograph row of the STAR file: its values, the files quib wrote for it and the
names of its pictures in the report."""
import math
import os
import re
from dataclasses import dataclass, field

import run_files

# Values taken from the STAR row: key -> the labels that may hold it, the first present is used.
STAR_VALUES = {
    "defocus_u": ("rlnDefocusU",),
    "defocus_v": ("rlnDefocusV",),
    "astigmatism": ("rlnCtfAstigmatism",),
    "angle": ("rlnDefocusAngle",),
    "phase_shift": ("rlnPhaseShift",),
    "resolution": ("rlnCtfMaxResolution", "rlnFinalResolution"),
    "fom": ("rlnCtfFigureOfMerit",),
}


@dataclass
class Micrograph:
    name: str
    row: int  # index among the table's rows
    texts: dict  # key -> the value as written in the STAR file
    values: dict  # key -> float (NaN where the row has none)
    paths: dict  # "ctf", "epa" (candidates), "log"
    picture: str  # file name of the picture within the report's folder of pictures
    bfactor: float = None
    validation: list = field(default_factory=list)  # [(band, score 1-5)]
    note: str = ""  # why the micrograph has no picture
    selected: bool = None


def to_float(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return math.nan


def present_keys(table):
    """The value keys the table has columns for (astigmatism is always known from U and V)."""
    return [key for key, labels in STAR_VALUES.items()
            if key == "astigmatism" or any(label in table.labels for label in labels)]


def picture_names(names):
    """File names for the pictures: the micrograph's name with its folders joined by "_" and
    ".png" in place of its suffix, made unique where two names would meet."""
    used, pictures = set(), []
    for name in names:
        base = re.sub(r"[^A-Za-z0-9._+-]", "_", os.path.splitext(name.lstrip("/"))[0]) or "micrograph"
        candidate, n = base, 1
        while candidate in used:
            n += 1
            candidate = f"{base}-{n}"
        used.add(candidate)
        pictures.append(candidate + ".png")
    return pictures


def from_table(table, root, log_suffix):
    names = [row["rlnMicrographName"] for row in table.rows]
    micrographs = []
    for index, (row, picture) in enumerate(zip(table.rows, picture_names(names))):
        texts = {}
        for key, labels in STAR_VALUES.items():
            label = next((label for label in labels if label in row), None)
            if label is not None:
                texts[key] = row[label]
        values = {key: to_float(texts.get(key)) for key in STAR_VALUES}
        if "astigmatism" not in texts:
            values["astigmatism"] = abs(values["defocus_u"] - values["defocus_v"])
        paths = run_files.output_paths(root, row["rlnMicrographName"], row.get("rlnCtfImage"), log_suffix)
        micrograph = Micrograph(row["rlnMicrographName"], index, texts, values, paths, picture)
        micrograph.bfactor, micrograph.validation = run_files.read_log_values(paths["log"])
        micrographs.append(micrograph)
    return micrographs


def select(micrographs, max_res=None, max_astig=None, min_fom=None):
    """Marks each micrograph selected when it meets every threshold given (a missing value fails)."""
    tests = [("resolution", max_res, lambda v, t: v <= t), ("astigmatism", max_astig, lambda v, t: v <= t),
             ("fom", min_fom, lambda v, t: v >= t)]
    tests = [(key, threshold, passes) for key, threshold, passes in tests if threshold is not None]
    for m in micrographs:
        m.selected = all(not math.isnan(m.values[key]) and passes(m.values[key], t) for key, t, passes in tests)
    return [m.row for m in micrographs if m.selected]
