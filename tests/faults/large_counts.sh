#!/usr/bin/env bash
# Counts go past 2^31: 2^31 + 2 legal lines and one illegal line, streamed
# through a pipe into /dev/null, are all counted, in the warning's line
# number and in the summary.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools yes head

lines=$(((1 << 31) + 2))
begin_case "$lines lines through a pipe"
run bash -c '{ yes 0 | head -n "$1"; printf "x\n"; } | "$2" /dev/stdin /dev/null' _ \
  "$lines" "$program"
expect_status 0
expect_stderr ""
expect_stdout "\nWarning : /dev/stdin : (line $((lines + 1))) : 'x' is an illegal input string \n\n$lines characters transferred with 1 errors \n\n"

finish
