#!/usr/bin/env python3
"""Deterministic input generator for the decbytes benchmark.

usage: gen_input.py KIND SIZE_BYTES SEED OUTFILE

KIND is one of:
  clean  random values 0-255, one per line, every line ended by '\\n'
  mixed  like clean, but about 1% illegal lines (several shapes) and about
         1% empty lines; the very last line has no final newline (illegal)
  crlf   random values 0-255, every line ended by '\r\n' (all illegal)
  halfempty  like clean, but each line is empty with probability 1/2

The file is cut at the last line boundary at or before SIZE_BYTES
(for mixed, the short final line comes after that). On stdout it prints one summary line:
  bytes=N lines=N legal=N illegal=N empty=N
Same arguments, same bytes: everything comes from random.Random(SEED).
"""

import random
import sys

CHUNK_LINES = 1 << 20  # lines per chunk; a chunk is about 3.6 MB

LEGAL = [b"%d\n" % v for v in range(256)]
CRLF = [b"%d\r\n" % v for v in range(256)]


def illegal_line(rnd):
    """One illegal line, picked among several shapes."""
    shape = rnd.randrange(8)
    if shape == 0:
        return b"%d\n" % rnd.randrange(256, 1000)       # too large
    if shape == 1:
        return b"%d\n" % rnd.randrange(1000, 10000)     # four digits
    if shape == 2:
        return b"%03d%d\n" % (rnd.randrange(256), rnd.randrange(10))  # 4 chars, leading zeros
    if shape == 3:
        return rnd.choice([b"ab\n", b"x\n", b"1x\n", b"x1\n", b"0x1f\n", b"Z\n"])  # letters
    if shape == 4:
        return b" %d\n" % rnd.randrange(256)            # leading space
    if shape == 5:
        return b"%d\r\n" % rnd.randrange(256)           # carriage return
    if shape == 6:
        return b"-%d\n" % rnd.randrange(1, 256)         # minus sign
    return b"%d \n" % rnd.randrange(256)                # trailing space


def main(argv):
    if len(argv) != 5 or argv[1] not in ("clean", "mixed", "crlf", "halfempty"):
        sys.stderr.write(__doc__)
        return 2
    kind, size, seed, path = argv[1], int(argv[2]), int(argv[3]), argv[4]
    rnd = random.Random(seed)
    pick = LEGAL.__getitem__
    written = lines = illegal = empty = 0

    with open(path, "wb") as out:
        while written < size:
            values = rnd.randbytes(CHUNK_LINES)
            chunk = list(map(CRLF.__getitem__ if kind == "crlf" else pick, values))
            bad = spaces = ()
            if kind == "crlf":
                bad = range(len(chunk))
            elif kind == "halfempty":
                shapes = rnd.randbytes(CHUNK_LINES)
                spaces = [i for i, b in enumerate(shapes) if b & 1]
                for i in spaces:
                    chunk[i] = b"\n"
            if kind == "mixed":
                # 2% of the positions: half of them illegal, half empty.
                spots = rnd.sample(range(len(chunk)), len(chunk) // 50)
                bad, spaces = spots[: len(spots) // 2], spots[len(spots) // 2:]
                for i in bad:
                    chunk[i] = illegal_line(rnd)
                for i in spaces:
                    chunk[i] = b"\n"
            data = b"".join(chunk)
            keep = len(chunk)
            if written + len(data) > size:
                # Cut at the last line boundary at or before the target size.
                cut = data.rfind(b"\n", 0, size - written) + 1
                keep = data.count(b"\n", 0, cut)
                data = data[:cut]
            lines += keep
            illegal += sum(1 for i in bad if i < keep)
            empty += sum(1 for i in spaces if i < keep)
            out.write(data)
            written += len(data)
            if keep < len(chunk):
                break
        if kind == "mixed":
            # A final line without its newline: illegal.
            tail = b"%d" % rnd.randrange(256)
            out.write(tail)
            written += len(tail)
            lines += 1
            illegal += 1

    legal = lines - illegal - empty
    print("bytes=%d lines=%d legal=%d illegal=%d empty=%d"
          % (written, lines, legal, illegal, empty))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
