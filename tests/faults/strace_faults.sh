#!/usr/bin/env bash
# System calls made to fail, or to be interrupted, by strace: reads of the
# input (the first, or the third, in the middle of an 18 MB input read in
# 256 KiB blocks), one write of the output (the second of four: failing with
# EIO, or taking no byte, when the next would succeed), the output's fstat
# and ftruncate, the closes of both files, and every other read and write
# interrupted by a signal (EINTR). A failure gives exit status 1, its
# message and no summary; an interrupted call is retried and the run
# completes as if nothing happened.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools strace
strace -f -o /dev/null true 2>/dev/null || skip "strace cannot trace here"

# LeakSanitizer cannot run under a tracer.
export ASAN_OPTIONS=detect_leaks=0

make_lines "$scratch/big" 6000000  # 18 MB: many blocks of input and output
in=$scratch/big
out=$scratch/out
data=$scratch/data
printf '65\n66\nx\n' >"$data"
# The call through which this C library does fstat (newfstatat on x86-64).
# An existing output is looked at twice: by name, then by its descriptor
# (the second, whose failure leaves it as it was).
fstat_call=$(strace -f -qq -o /dev/stdout -P "$data" -e trace=%fstat,statx \
  "$program" "$data" /dev/null | sed -n '1s/^[0-9]* *\([a-z0-9_]*\)(.*/\1/p')
[[ -n $fstat_call ]] || fail "found no fstat call"
summary='\n6000000 characters transferred with 0 errors \n\n'

# The fault | the paths whose calls it hits (-P takes canonical paths, which
# the names given to the program are) | input | output | exit status | the
# message | what the output then holds: nothing, a strict prefix of the
# clean output, all of it, or the stale bytes it held before.
cases=(
  "read:error=EIO:when=1|$in|$in|$out|1|Can't read the input file '$in': Input/output error|empty"
  "read:error=EIO:when=3|$in|$in|$out|1|Can't read the input file '$in': Input/output error|prefix"
  "write:error=EIO:when=2|$out|$in|$out|1|Can't write the output file '$out': Input/output error|prefix"
  "write:retval=0:when=2|$out|$in|$out|1|Can't write the output file '$out': Input/output error|prefix"
  "close:error=EIO|$out|$in|$out|1|Can't write the output file '$out': Input/output error|whole"
  "close:error=EIO|$in|$in|$out|1|Can't read the input file '$in': Input/output error|whole"
  "$fstat_call:error=EIO:when=2|$out|$in|$out|1|Can't create the output file '$out'|stale"
  "ftruncate:error=EIO|$out|$in|$out|1|Can't create the output file '$out'|stale"
  "read:error=EINTR:when=1+2|$in|$in|$out|0||whole"
  "write:error=EINTR:when=1+2|$out $scratch/stdout|$in|$out|0||whole"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r fault paths input output want_status message holds <<<"$entry"
  begin_case "$fault on ${paths//$scratch\//}"
  printf 'stale bytes\n' >"$out"
  read -ra traced <<<"$paths"
  run strace -f -o /dev/null "${traced[@]/#/-P}" -e trace="${fault%%:*}" -e inject="$fault" \
    "$program" "$input" "$output"
  expect_status "$want_status"
  expect_stderr "$message"
  if ((want_status == 0)); then expect_stdout "$summary"; else expect_stdout ""; fi
  case $holds in
    empty) [[ -f $out && ! -s $out ]] || fail "expected an empty output file" ;;
    prefix) expect_strict_prefix "$out" "$in.want" ;;
    whole) expect_same_bytes "$out" "$in.want" ;;
    stale) [[ $(cat "$out") == "stale bytes" ]] || fail "the output file was changed" ;;
  esac
done

finish
