#!/usr/bin/env bash
# Memory stays constant however long a line is: the program converts inputs
# far larger than the 64 MiB of address space it is allowed, and the tail of
# a long line is never read as a line of its own.
#   memory.sh PROGRAM sparse  a 2 GiB line of NUL bytes (a sparse file)
#   memory.sh PROGRAM digits  "65", a 1 GB line of '7's, "66"
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
which_input=${2:?"usage: $0 PROGRAM sparse|digits"}
need_tools prlimit truncate
sanitized && skip "a sanitizer cannot run under an address-space limit"
[[ -z ${DECBYTES_EMULATOR:-} ]] ||
  skip "the program runs under $DECBYTES_EMULATOR, which cannot start within 64 MiB of address space"

in=$scratch/in
case $which_input in
  sparse)
    truncate -s 2G "$in"
    line=1 field='\0\0\0' want_bytes='' summary='0 characters transferred with 1 errors'
    ;;
  digits)
    { printf '65\n'; head -c 1000000000 /dev/zero | tr '\0' '7'; printf '\n66\n'; } >"$in"
    line=2 field='777' want_bytes='AB' summary='2 characters transferred with 1 errors'
    ;;
  *) echo "unknown input '$which_input'"; exit 1 ;;
esac

begin_case "$which_input input under a 64 MiB address-space limit"
run prlimit --as=$((64 * 1024 * 1024)) "$program" "$in" "$scratch/out"
rm -f "$in"
expect_status 0
expect_stderr ""
expect_stdout "\nWarning : $in : (line $line) : '$field' is an illegal input string \n\n$summary \n\n"
printf '%s' "$want_bytes" >"$scratch/want"
expect_same_bytes "$scratch/out" "$scratch/want"

finish
