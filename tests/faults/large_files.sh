#!/usr/bin/env bash
# Files past 4 GiB, which 32-bit builds reach only with 64-bit file offsets:
# a sparse input of 5 GiB of NUL bytes (one line, so one warning) followed
# by "65" converts to the one byte 'A', with the right line numbers.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools truncate

in=$scratch/in
begin_case "a sparse input of 5 GiB and one line more"
truncate -s 5G "$in"
printf '\n65\n' >>"$in"
run "$program" "$in" "$scratch/out"
rm -f "$in"
expect_status 0
expect_stderr ""
expect_stdout "\nWarning : $in : (line 1) : '\0\0\0' is an illegal input string \n\n1 characters transferred with 1 errors \n\n"
printf 'A' >"$scratch/want"
expect_same_bytes "$scratch/out" "$scratch/want"

finish
