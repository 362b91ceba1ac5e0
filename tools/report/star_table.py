"""Reads the micrograph table of a CTF STAR file (one RELION 3.0 table, or the data_optics and
data_micrographs tables of RELION 3.1) and writes a copy that keeps only some of its rows.

The file is kept as its lines, so a copy repeats every header line as it was; a row whose field
count does not match the labels (the half-written last line of a running job) is reported, never
used and never copied."""
import os
import shlex
from dataclasses import dataclass, field


@dataclass
class StarTable:
    block: str  # the data block's name, e.g. "data_micrographs"
    labels: list = field(default_factory=list)  # without the leading "_" and the "#n" column number
    rows: list = field(default_factory=list)  # each a dict label -> text
    row_lines: list = field(default_factory=list)  # index in the file's lines of each row
    broken_lines: list = field(default_factory=list)  # rows that do not have one field per label


@dataclass
class StarFile:
    lines: list  # the file's lines, each with its line end
    tables: list


def split_fields(line):
    if '"' in line or "'" in line:
        try:
            return shlex.split(line, comments=False, posix=True)
        except ValueError:
            pass
    return line.split()


def parse_star(text):
    lines = text.splitlines(keepends=True)
    tables = []
    block = None
    table = None
    for index, line in enumerate(lines):
        stripped = line.strip()
        if not stripped or stripped.startswith("#"):
            continue
        if stripped.startswith("data_"):
            block, table = stripped.split()[0], None
        elif stripped == "loop_" or stripped.startswith("loop_ "):
            table = StarTable(block or "data_")
            tables.append(table)
        elif stripped.startswith("_"):
            if table is not None and not table.rows and not table.broken_lines:
                table.labels.append(stripped.split()[0][1:])
            else:
                table = None  # a key-value pair outside a loop ends the loop
        elif table is not None and table.labels:
            fields = split_fields(stripped)
            if len(fields) == len(table.labels) and line.endswith("\n"):
                table.rows.append(dict(zip(table.labels, fields)))
                table.row_lines.append(index)
            else:
                table.broken_lines.append(index)
    return StarFile(lines, tables)


def read_star(path):
    with open(path, encoding="utf-8", errors="replace", newline="") as f:
        return parse_star(f.read())


def micrograph_table(star):
    """The table of micrographs: data_micrographs, else the first loop with _rlnMicrographName."""
    candidates = [t for t in star.tables if "rlnMicrographName" in t.labels]
    named = [t for t in candidates if t.block == "data_micrographs"]
    return (named or candidates or [None])[0]


def write_selected(star, table, keep_rows, path):
    """Writes the file's lines without the table's rows that are not kept and without broken rows."""
    kept = set(table.row_lines[i] for i in keep_rows)
    dropped = (set(table.row_lines) - kept) | set(table.broken_lines)
    partial = path + ".part"
    with open(partial, "w", encoding="utf-8", newline="") as f:
        f.writelines(line for index, line in enumerate(star.lines) if index not in dropped)
    os.replace(partial, path)  # RELION never reads half a selection
