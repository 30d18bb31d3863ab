#!/usr/bin/env bash
# A reader of the report that goes away: the standard output is a pipe into
# head -n 1, which exits after the first line of a report of megabytes,
# far more than a pipe holds. Whether SIGPIPE comes with its default action
# or ignored, the output file is completed, byte for byte as a full run
# writes it, and the run ends with status 1 and the standard output's
# message.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools env head yes
env --default-signal=PIPE true 2>/dev/null ||
  skip "env cannot set a signal's handling (coreutils 8.31 or later)"

# 3400000 legal lines, each followed by an illegal one: 17 MB of input and
# some 300 MB of report.
yes $'65\nx' | head -n 6800000 >"$scratch/mixed" || true
head -c 3400000 /dev/zero | tr '\0' 'A' >"$scratch/mixed.want"

for handling in default ignore; do
  begin_case "report piped into head -n 1, SIGPIPE $handling"
  rm -f "$scratch/out"
  set +e +o pipefail
  env --"$handling"-signal=PIPE "$program" "$scratch/mixed" "$scratch/out" \
    2>"$scratch/stderr" | head -n 1 >"$scratch/stdout"
  status=${PIPESTATUS[0]}
  set -e -o pipefail
  expect_status 1
  expect_stderr "Can't write the standard output: Broken pipe"
  expect_stdout '\n'
  expect_same_bytes "$scratch/out" "$scratch/mixed.want"
done

finish
