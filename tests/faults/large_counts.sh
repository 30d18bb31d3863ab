#!/usr/bin/env bash
# Counts and files go past 2^31: 2^31 + 2 legal lines and one illegal line,
# streamed through a pipe, are all counted, in the warning's line number and
# in the summary, and all 2^31 + 2 bytes reach the output file (past 2 GiB,
# which 32-bit builds reach only with 64-bit file offsets).
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools yes head

lines=$(((1 << 31) + 2))
begin_case "$lines lines through a pipe"
run bash -c '{ yes 0 | head -n "$1"; printf "x\n"; } | "$2" /dev/stdin "$3"' _ \
  "$lines" "$program" "$scratch/out"
expect_status 0
expect_stderr ""
expect_stdout "\nWarning : /dev/stdin : (line $((lines + 1))) : 'x' is an illegal input string \n\n$lines characters transferred with 1 errors \n\n"
size=$(stat -c %s "$scratch/out")
((size == lines)) || fail "the output has $size bytes, expected $lines"
[[ $(tail -c 4 "$scratch/out" | od -An -tx1) == " 00 00 00 00" ]] || fail "the output does not end in NUL bytes"
rm -f "$scratch/out"

finish
