#!/usr/bin/env bash
# A full device or a file-size limit under the output file, before the
# first flush and in the middle of a large output, and a full standard
# output: exit status 1, the message with the system's reason, no summary,
# and the output holding just what fitted. An endless input stops at once
# when the output fails; both failing give both messages.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools prlimit timeout yes

warning="\nWarning : $scratch/bad : (line 1) : 'x' is an illegal input string \n"
printf 'x\n65\n66\n' >"$scratch/bad"   # small: written only by the final flush
make_lines "$scratch/big" 6000000      # 6 MB of output, 18 MB of input: flushed
                                       # along the way
{ printf 'x\n'; cat "$scratch/big"; } >"$scratch/bigbad"  # and a warning first


# /dev/full takes no byte at all; the warning made before the failure is
# still reported, the summary is not.
for input in bad big; do
  begin_case "output /dev/full, input $input"
  run "$program" "$scratch/$input" /dev/full
  expect_status 1
  expect_stderr "Can't write the output file '/dev/full': No space left on device"
  if [[ $input == bad ]]; then expect_stdout "$warning"; else expect_stdout ""; fi
done

# An endless input into a full device: the run stops at the first failed
# write instead of reading on (the time limit is far above the few
# milliseconds that takes).
begin_case "endless input, output /dev/full"
# shellcheck disable=SC2016 # expanded by the inner shell
run timeout 60 bash -c 'yes 65 | "$1" /dev/stdin /dev/full' _ "$program"
expect_status 1
expect_stderr "Can't write the output file '/dev/full': No space left on device"
expect_stdout ""

# A file-size limit of 100000 bytes, with SIGXFSZ ignored so that the write
# fails with EFBIG instead of killing the program.
begin_case "file size limit"
run bash -c 'trap "" XFSZ; exec prlimit --fsize=100000 "$@"' _ \
  "$program" "$scratch/big" "$scratch/limited"
expect_status 1
expect_stderr "Can't write the output file '$scratch/limited': File too large"
expect_stdout ""
expect_strict_prefix "$scratch/limited" "$scratch/big.want"
[[ $(stat -c %s "$scratch/limited") == 100000 ]] || fail "expected exactly 100000 bytes written"

# The report cannot be written, yet the output file is completed.
begin_case "standard output /dev/full"
run_stdout=/dev/full run "$program" "$scratch/bigbad" "$scratch/complete"
expect_status 1
expect_stderr "Can't write the standard output: No space left on device"
expect_same_bytes "$scratch/complete" "$scratch/big.want"

# Both fail: the output file's message first, the standard output's after.
for input in bad bigbad; do
  begin_case "output and standard output /dev/full, input $input"
  run_stdout=/dev/full run "$program" "$scratch/$input" /dev/full
  expect_status 1
  expect_stderr "Can't write the output file '/dev/full': No space left on device
Can't write the standard output: No space left on device"
done

finish
