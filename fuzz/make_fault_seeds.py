#!/usr/bin/env python3
"""Writes the fault fuzzer's seeds into fuzz/fault_corpus: one schedule per
class of fault (each stream, each error, early and late, a failing
truncation, interruptions and short calls alone, the input and then the
output failing in one run), each on the general path and on the fast path.

usage: fuzz/make_fault_seeds.py [DIR]   (default: fuzz/fault_corpus)

A seed is a header (fault_schedule.h: flags, block, output buffer, report
buffer, then for the input, the output and the report: interrupt every,
short every, short to, fail at, error) followed by the input's text.
"""

import os
import sys

ERRORS = {"EIO": 0, "ENOSPC": 1, "EPIPE": 2, "EFBIG": 3, "nothing": 4}
FAST, TRUNCATE_FAILS = 8, 0x70


def text(lines):
    """A deterministic input: values, illegal lines, empty lines, CR LF, a long line."""
    out = []
    for i in range(lines):
        if i % 37 == 5:
            out.append("x%d" % i)
        elif i % 53 == 7:
            out.append("")
        elif i % 71 == 9:
            out.append("65\r")
        elif i % 2003 == 11:
            out.append("1" * 1500)
        else:
            out.append(str(i * 7 % 256))
    return ("\n".join(out) + "\n").encode()


def stream(fail_at=0, error="EIO", interrupt=0, short=0, short_to=0):
    """One stream's five header bytes."""
    return bytes([interrupt, short, short_to, fail_at, ERRORS[error]])


def seed(flags, block, out_buf, rep_buf, input_=b"", output=b"", report=b"", lines=300):
    """A whole seed: the header, then the text."""
    clean = stream()
    header = bytes([flags, block, out_buf, rep_buf])
    header += (input_ or clean) + (output or clean) + (report or clean)
    return header + text(lines)


def seeds():
    """Yields (name, bytes) for every class of fault on every path."""
    for path, f in (("general", 0), ("fast", FAST)):
        tag = "%s-one" % path
        lines = 300 if path == "general" else 12000  # the fast path's buffer: 4 KiB at least
        yield tag + "-clean", seed(f, 40, 10, 20, lines=lines)
        yield tag + "-interrupted-short", seed(
            f, 200, 30, 5, stream(0, "EIO", 3, 2, 7), stream(0, "EIO", 2, 3, 100),
            stream(0, "EIO", 5, 1, 13), lines=lines)
        yield tag + "-truncate", seed(f | TRUNCATE_FAILS, 7, 10, 20, lines=lines)
        for name, error in ERRORS.items():
            if name != "nothing":
                yield tag + "-read-early-" + name, seed(f, 16, 10, 20, stream(1, name), lines=lines)
            yield tag + "-output-early-" + name, seed(f, 16, 10, 20, b"", stream(1, name), lines=lines)
            yield tag + "-report-early-" + name, seed(f, 16, 10, 20, b"", b"", stream(1, name), lines=lines)
        yield tag + "-read-late", seed(f, 30, 10, 20, stream(40, "EIO", 4, 0, 0), lines=lines)
        yield tag + "-output-late", seed(f, 60, 5, 20, b"", stream(3, "ENOSPC", 3, 0, 0), lines=lines)
        yield tag + "-report-late", seed(f, 60, 10, 3, b"", b"", stream(9, "EPIPE", 0, 2, 50), lines=lines)
        yield tag + "-read-then-output", seed(
            f, 20, 2, 20, stream(30, "EIO"), stream(3, "EFBIG"), lines=lines)
        # The input fails before the output's first write, which is the
        # flush of what was converted: both fail, the input first.
        yield tag + "-read-then-output-flush", seed(
            f, 15, 200, 20, stream(3, "EIO"), stream(1, "ENOSPC"), lines=lines)
        yield tag + "-output-then-report", seed(
            f, 90, 8, 2, b"", stream(2, "ENOSPC"), stream(4, "EIO"), lines=lines)


def main():
    here = os.path.dirname(os.path.realpath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "fault_corpus")
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
