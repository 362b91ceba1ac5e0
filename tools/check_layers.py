#!/usr/bin/env python3
"""Checks that the folders of src/ are layers: each folder includes only itself and the folders
below it, and no two folders include each other.

  tools/check_layers.py [src folder]

Prints every offending #include line and exits with status 1 when there is one.
"""
import os
import re
import sys

# Bottom to top.
LAYERS = ["core", "backend", "stats", "arrays", "spectrum", "io", "ctf", "output", "run"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')


def folder_includes(src):
    """(folder, included folder, file, line number, line) for every quoted include of a folder."""
    for folder in sorted(os.listdir(src)):
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        for root, _, files in os.walk(path):
            for name in sorted(files):
                file = os.path.join(root, name)
                with open(file, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m:
                            yield folder, m.group(1), file, number, line.strip()


def main():
    src = os.path.relpath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src"))
    rank = {name: i for i, name in enumerate(LAYERS)}
    problems = []
    edges = {}
    for folder in sorted(os.listdir(src)):
        if os.path.isdir(os.path.join(src, folder)) and folder not in rank:
            problems.append(f"src/{folder}: a folder that is not a known layer ({', '.join(LAYERS)})")
    for folder, target, file, number, line in folder_includes(src):
        if folder == target or target not in rank or folder not in rank:
            continue
        edges.setdefault((folder, target), (file, number, line))
        if rank[target] > rank[folder]:
            problems.append(f"{file}:{number}: {folder} includes {target}, a layer above it: {line}")
    for (a, b), (file, number, line) in sorted(edges.items()):
        if (b, a) in edges and a < b:
            other = edges[(b, a)]
            problems.append(f"{a} and {b} include each other: {file}:{number} and {other[0]}:{other[1]}")
    for p in problems:
        print(p)
    print(f"layers: {len(problems)} problem(s) in the includes of {os.path.normpath(src)}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
