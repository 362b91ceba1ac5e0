#!/usr/bin/env python3
"""Writes the first section of a mode-2 MRC image (e.g. a diagnosis image, .ctf) as a grey PNG.

  tools/mrc_to_png.py input.ctf output.png [--low PERCENT] [--high PERCENT]

Grey levels stretch between two percentiles of the values (default 1 and 99), so a few bright
pixels such as the resolution ring do not flatten the rest. Only the standard library is used.
"""
import argparse
import array
import struct
import sys
import zlib


def read_mrc_section(path):
    with open(path, "rb") as f:
        header = f.read(1024)
        nx, ny, nz, mode = struct.unpack("<4i", header[:16])
        if mode != 2:
            sys.exit(f"{path}: mode {mode}; only mode 2 (float) is shown")
        values = array.array("f")
        values.frombytes(f.read(4 * nx * ny))
    return nx, ny, values


def write_png(path, nx, ny, grey):
    rows = b"".join(b"\x00" + bytes(grey[y * nx:(y + 1) * nx]) for y in range(ny))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", nx, ny, 8, 0, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 6)))
        f.write(chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("--low", type=float, default=1.0)
    parser.add_argument("--high", type=float, default=99.0)
    a = parser.parse_args()
    nx, ny, values = read_mrc_section(a.input)
    ordered = sorted(values)
    lo = ordered[int(a.low / 100 * (len(ordered) - 1))]
    hi = ordered[int(a.high / 100 * (len(ordered) - 1))]
    scale = 255.0 / (hi - lo) if hi > lo else 0.0
    grey = [min(255, max(0, int((v - lo) * scale))) for v in values]
    write_png(a.output, nx, ny, grey)


if __name__ == "__main__":
    main()
