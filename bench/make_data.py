#!/usr/bin/env python3
"""Writes a realistic TALLIX data file of about the asked size.

A lab's reference file: thousands of assets (A0001 ...), each with several
nominals, one `asset nominal value` line each, separated by spaces, commas
or tabs the way different tools wrote them, with CR LF on some stretches.
The sought asset (default Q9999) appears only on the very last line, at the
nominal 10, so a lookup for it reads the whole file; Z0000 appears nowhere.
With --kind prefix or every, the file is one of the search's hard cases
instead (the sought asset A1 on the last line; see KINDS).

    make_data.py --size 100M --out /tmp/refs_100M.dat
"""
import argparse
import random
import sys

NOMINALS = ["0.001", "0.01", "0.1", "1", "2", "5", "10", "20", "50", "100", "1E3", "1e-6",
            "1.0D3", "250", "0.5"]
SEPARATORS = [" ", ", ", ",", "\t", " , ", "  "]
LAST_ASSET = "Q9999"
LAST_NOMINAL = "10"
LAST_VALUE = "10.00042"


def parse_size(text):
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    text = text.strip().upper()
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


def body_lines(rng):
    """Endless lines of assets A0001.. with a few nominals each."""
    asset = 0
    while True:
        asset = asset % 99999 + 1
        name = ("A%04d" if rng.random() < 0.8 else "a%04d") % asset
        end = "\r\n" if (asset // 500) % 2 else "\n"
        for nominal in rng.sample(NOMINALS, rng.randint(3, 8)):
            sep = rng.choice(SEPARATORS)
            value = "%.6g" % (float(nominal.replace("D", "E")) * (1 + rng.uniform(-1e-4, 1e-4)))
            yield name + sep + nominal + sep + value + end


# The search's hard cases: the sought asset is PREFIX_ASSET, on the last line
# only. "prefix": every other line is for an asset that begins with its
# characters (A10, A1234, ...), so every line passes a filter on its first
# characters; "every": every line is for the sought asset itself, at other
# nominals, so every line is read to its nominal.
PREFIX_ASSET = "A1"
KINDS = ("lab", "prefix", "every")


def prefix_lines(rng):
    while True:
        name = "A1%d" % rng.randint(0, 9999)
        nominal = rng.choice(NOMINALS)
        yield "%s, %s, %.6g\r\n" % (name, nominal, float(nominal.replace("D", "E")))


def every_lines(rng):
    others = [n for n in NOMINALS if n != "10"]
    while True:
        nominal = rng.choice(others)
        sep = rng.choice(SEPARATORS)
        yield PREFIX_ASSET + sep + nominal + sep + "%.6g" % float(nominal.replace("D", "E")) + "\n"


def write(out, size, start_value, kind="lab"):
    rng = random.Random(start_value)
    asset = LAST_ASSET if kind == "lab" else PREFIX_ASSET
    last = asset + " " + LAST_NOMINAL + " " + LAST_VALUE + "\r\n"
    budget = max(0, size - len(last))
    source = {"lab": body_lines, "prefix": prefix_lines, "every": every_lines}[kind]
    chunk, written, lines = [], 0, source(rng)
    for line in lines:
        if written + len(line) > budget:
            break
        chunk.append(line)
        written += len(line)
        if len(chunk) >= 65536:
            out.write("".join(chunk).encode("ascii"))
            chunk.clear()
    # Pad with a comment-like line of another asset so the size comes out exact.
    gap = budget - written
    if gap >= 2:
        chunk.append("X" + "-" * (gap - 2) + "\n")
    elif gap == 1:
        chunk.append("\n")
    out.write("".join(chunk).encode("ascii"))
    out.write(last.encode("ascii"))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--size", required=True, help="bytes, or with K, M, G (1K, 1M, 100M, 1G)")
    ap.add_argument("--out", required=True)
    ap.add_argument("--start-value", type=int, default=5, help="random generator start value")
    ap.add_argument("--kind", choices=KINDS, default="lab",
                    help="lab: a lab's file; prefix, every: the search's hard cases (asset A1)")
    args = ap.parse_args()
    with open(args.out, "wb") as f:
        write(f, parse_size(args.size), args.start_value, args.kind)
    return 0


if __name__ == "__main__":
    sys.exit(main())
