#!/usr/bin/env python3
"""Writes the three-faces fuzzer's seeds into fuzz/faces_corpus: inputs of
every kind of line (values, illegal and empty lines, CR LF, NULs, leading
zeros, long lines, no last newline) cut into pieces of one byte, of a few,
of kilobytes, whole, and at newlines, CRs, NULs and digits; some repeated
past the 64 KiB a pipe holds.

usage: fuzz/make_faces_seeds.py [DIR]   (default: fuzz/faces_corpus)

A seed (three_faces.h) is a layout byte (the count of size bytes less one,
plus eight times the repeat code), the size bytes, then the text.
"""

import os
import sys

# Size bytes: 0 the rest, 1..191 that many bytes, 192..239 multiples of 128,
# 240 + landmark (0 '\n', 1 '\r', 2 NUL, 3 digit) + 4 * (0 before it,
# 1 after it, 2 and 3 one and two bytes later).
BEFORE_NL, BEFORE_CR, BEFORE_NUL, AFTER_CR, AFTER_NUL = 240, 241, 242, 245, 246
DIGIT_PLUS_1, NL_PLUS_2 = 251, 252
PIECES = {
    "whole": [0],
    "bytes": [1],
    "few": [7, 3],
    "varied": [1, 2, 191, 5, 64],
    "large": [192, 200, 239],
    "landmarks": [BEFORE_NL, AFTER_CR, AFTER_NUL, BEFORE_NUL, DIGIT_PLUS_1, NL_PLUS_2, BEFORE_CR, 3],
}


def lines(count):
    """Values, illegal lines, empty lines, CR LF, NULs, leading zeros."""
    kinds = ["{}", "x{}", "", "{}\r", "1\0", "\0", "00{}", "{}000", " {}", "256", "255"]
    return "".join(kinds[i % len(kinds)].format(i % 300) + "\n" for i in range(count)).encode()


TEXTS = {
    "mixed": lines(400),
    "unended": lines(12) + b"12",
    "cr-unended": lines(5) + b"7\r",
    "long": b"1\n" + b"9" * 3000 + b"\n" + b"0" * 2500 + b"7\n" + b"x" * 4000,
    "newlines": b"\n" * 200,
    "crlf": b"".join(b"%d\r\n" % (i * 11 % 256) for i in range(100)),
    "nul": b"".join(b"%d\0\n\0%d\n" % (i, i) for i in range(60)),
    "empty": b"",
}


def seed(pieces, text, repeat_code=0):
    return bytes([len(pieces) - 1 + 8 * repeat_code] + pieces) + text


def seeds():
    for piece_name, pieces in PIECES.items():
        for text_name, text in TEXTS.items():
            if piece_name in ("whole", "landmarks") or text_name in ("mixed", "long", "crlf"):
                yield "%s-%s" % (text_name, piece_name), seed(pieces, text)
    # Repeated; past the 64 KiB a pipe holds, the input is written into it
    # by a thread as the transfer reads.
    yield "crlf-times-4", seed(PIECES["landmarks"], TEXTS["crlf"], 29)
    yield "mixed-times-32", seed(PIECES["varied"], TEXTS["mixed"], 31)
    yield "long-times-8", seed(PIECES["large"] + [17], TEXTS["long"], 30)


def main():
    here = os.path.dirname(os.path.realpath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "faces_corpus")
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
