#!/usr/bin/env bash
# System calls made to fail with EIO by strace: a read of the input (the
# first, or the third, in the middle of a 3 MB input read in 256 KiB
# blocks), and the close of the output. Exit status 1, the message, no
# summary; a failed read leaves a strict prefix of the output, a failed
# close the whole of it.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools strace
strace -f -o /dev/null true 2>/dev/null || skip "strace cannot trace here"

# LeakSanitizer cannot run under a tracer.
export ASAN_OPTIONS=detect_leaks=0

make_lines "$scratch/big" 1000000
in=$scratch/big
out=$scratch/out

# -P takes the canonical path, which the names given to the program are.
inject() {
  local path=$1 fault=$2
  shift 2
  run strace -f -o /dev/null -P "$path" -e trace="${fault%%:*}" -e inject="$fault" "$@"
}

for when in 1 3; do
  begin_case "read $when of the input fails"
  inject "$in" "read:error=EIO:when=$when" "$program" "$in" "$out"
  expect_status 1
  expect_stderr "Can't read the input file '$in': Input/output error"
  expect_stdout ""
  if ((when == 1)); then
    [[ -f $out && ! -s $out ]] || fail "expected an empty output file"
  else
    expect_strict_prefix "$out" "$in.want"
  fi
done

begin_case "closing the output fails"
inject "$out" "close:error=EIO" "$program" "$in" "$out"
expect_status 1
expect_stderr "Can't write the output file '$out': Input/output error"
expect_stdout ""
expect_same_bytes "$out" "$in.want"

finish
