#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into tests/fuzz/corpus.

Doubles are 8 bytes each, least significant first, as the checks read them.
The number text's seeds are the table's values where its text changes form
(rows 53 to 60, where the exponent form and the rounded sums begin), the
left halves of rows 100, 250, 500, 750 and 999, and the awkward doubles that
the unit tests name: zeros, infinities, NaNs, the ends of the double range,
10^15 and its neighbours, every power of ten with two neighbours each side,
and doubles nearest to halfway between two 15-digit heads at every exponent
of the exponent form.  The mirrored runs take the same doubles in runs of
16, with mirrors that differ in no place, in every seventh, or in every
other, by turns.  The centred lines are the default run's rows and its neighbours in
line count, cell size and screen width.  Run it from anywhere; it replaces
the seeds it wrote before and leaves every other input in the corpus.
"""
import math
import pathlib
import struct
import sys

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"


def table_rows(count):
    rows = [[1.0]]
    for i in range(1, count):
        above = rows[-1]
        rows.append([1.0] + [above[j - 1] + above[j] for j in range(1, i)] + [1.0])
    return rows


def awkward_doubles():
    values = [0.0, -0.0, 1.0, 1e15 - 1, 1e15, 1e15 + 1, 2.0 ** 53, 2.0 ** 64,
              sys.float_info.max, sys.float_info.min, -sys.float_info.max,
              -sys.float_info.min, 5e-324, math.inf, -math.inf, math.nan, -math.nan,
              999999999999999.5, 9999999999999995.0]
    for k in range(309):
        power = float(10 ** k)
        below = above = power
        values.append(power)
        for _ in range(2):
            below = math.nextafter(below, 0.0)
            above = math.nextafter(above, math.inf)
            values += [below, above]
    for exponent in range(15, 309):
        halfway = float(f"1234567890123455e{exponent - 15}")
        values += [halfway, math.nextafter(halfway, 0.0), math.nextafter(halfway, math.inf)]
    return values


def pack(values):
    return b"".join(struct.pack("<d", value) for value in values)


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main():
    for path in CORPUS.glob("*/seed-*"):
        path.unlink()
    rows = table_rows(1000)
    families = {f"row-{i}": rows[i][: i // 2 + 1] for i in (*range(53, 61), 100, 250, 500, 750, 999)}
    families["awkward"] = awkward_doubles()
    for family, values in families.items():
        for start in range(0, len(values), 8):
            write("number-text", f"seed-{family}-{start // 8:03}", pack(values[start:start + 8]))
        for start in range(0, len(values), 16):
            selector = (0x00, 0x40, 0x55)[start // 16 % 3]
            write("mirrored-numbers", f"seed-{family}-{start // 16:03}",
                  bytes([selector]) + pack(values[start:start + 16]))
    # The line count, the row, the cell size and the screen width.
    for lines, row, cell, columns in [(26, r, 6, 80) for r in range(26)] + [
            (26, 25, 8, 80), (21, 19, 8, 161), (21, 19, 8, 160), (20, 19, 6, 80),
            (13, 12, 6, 79), (13, 12, 6, 0), (1, 0, 1, 1), (1, 0, 2, 3), (1, 0, 0, 80),
            (1, 0, -5, 80), (26, 25, 39, 999), (1000, 999, 41, 999), (30, 29, 1, 999)]:
        write("centered-line", f"seed-{lines}-{row}-{cell}-{columns}",
              struct.pack("<HHbH", lines - 1, row, cell, columns))


if __name__ == "__main__":
    main()
