"""The files quib writes for one micrograph, found from its STAR row, and readers for them that
return None (with the reason) for a file that is missing or not yet completely written."""
import os
import re
import warnings

import mrcfile
import numpy as np

B_FACTOR = re.compile(r"B_FACTOR\s+(\S+)")
VALIDATION = re.compile(r"^\s*(\S+)\s.*VALIDATION_SCORE:\s*(\d)", re.MULTILINE)
MICROGRAPH_SUFFIXES = (".mrcs", ".mrc", ".tiff", ".tif")
EPA_COLUMNS = 5  # resolution, |CTFsim|, EPA(Ln|F|), EPA(Ln|F| - Bg), CCC


def strip_suffix(name, suffixes):
    for suffix in suffixes:
        if name.endswith(suffix):
            return name[: -len(suffix)]
    return name


def output_paths(root, micrograph, ctf_image, log_suffix):
    """The diagnosis image, the EPA files that may hold the 1D fit, and the log of a micrograph.

    The stem of the outputs is the diagnosis image's name without ".ctf"; the EPA file of a stack
    keeps its ".mrcs" (x.mrcs_EPA.log), so the micrograph's name less ".mrc" is tried too."""
    ctf = ctf_image.split(":")[0] if ctf_image else strip_suffix(micrograph, MICROGRAPH_SUFFIXES) + ".ctf"
    stem = strip_suffix(ctf, (".ctf",))
    epa = [stem + "_EPA.log", strip_suffix(micrograph, (".mrc",)) + "_EPA.log"]
    path = lambda name: os.path.join(root, name)
    return {"ctf": path(ctf), "epa": [path(p) for p in dict.fromkeys(epa)], "log": path(stem + log_suffix)}


def read_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return None


def read_log_values(path):
    """The B-factor (last B_FACTOR line) and the validation grades [(band, score)] of a log."""
    text = read_text(path)
    if text is None:
        return None, []
    bfactors = B_FACTOR.findall(text)
    try:
        bfactor = float(bfactors[-1]) if bfactors else None
    except ValueError:
        bfactor = None
    return bfactor, [(band, int(score)) for band, score in VALIDATION.findall(text)]


def read_epa(paths):
    """The EPA table (rows of 5 values) from the first of the paths that exists; only lines that
    end in a line end are read, so the last line of a file being written is left out."""
    text = next((t for t in map(read_text, paths) if t is not None), None)
    if text is None:
        return None, "no EPA file"
    rows = []
    for line in text.split("\n")[:-1]:
        fields = line.split()
        if len(fields) != EPA_COLUMNS:
            continue
        try:
            rows.append([float(v) for v in fields])
        except ValueError:
            continue
    if len(rows) < 2:
        return None, "EPA file incomplete"
    return np.array(rows), None


def read_diagnosis_image(path):
    """The first section of the diagnosis image, or None for a missing or truncated file."""
    if not os.path.exists(path):
        return None, f"{os.path.basename(path)} missing"
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("error")  # mrcfile warns about a data block that is too short
            with mrcfile.open(path, permissive=True) as mrc:
                data = mrc.data
                if data is None or data.size == 0:
                    raise ValueError("no data")
                image = np.array(data[0] if data.ndim == 3 else data, dtype=np.float32)
    except (ValueError, OSError, RuntimeWarning) as e:
        return None, f"{os.path.basename(path)} unreadable ({e})"
    if image.ndim != 2:
        return None, f"{os.path.basename(path)} is not an image"
    return image, None


def newest_mtime(paths):
    times = [os.path.getmtime(p) for p in paths if os.path.exists(p)]
    return max(times) if times else None
