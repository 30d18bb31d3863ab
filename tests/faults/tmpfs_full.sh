#!/usr/bin/env bash
# The disk under the output fills up: a 64 kB tmpfs mounted in a private
# mount namespace, filled before the first flush (100 kB of output, written
# at the end) and in the middle of a large output (1 MB, flushed along the
# way). Exit status 1, the message, no summary, and the output holding a
# prefix of the right bytes.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools unshare mount

mkdir "$scratch/small"
unshare -m mount -t tmpfs -o size=64k tmpfs "$scratch/small" 2>/dev/null ||
  skip "cannot mount a tmpfs in a private mount namespace (needs root)"

make_lines "$scratch/mid" 100000
make_lines "$scratch/big" 1000000

for input in mid big; do
  begin_case "64 kB tmpfs fills, input $input"
  # The output is copied out before the namespace, and the tmpfs with it,
  # goes away.
  # shellcheck disable=SC2016 # expanded by the inner shell
  run unshare -m bash -c 'mount -t tmpfs -o size=64k tmpfs "$1" || exit 99
    status=0; "$2" "$3" "$1/out" || status=$?
    cp "$1/out" "$4"; exit "$status"' _ \
    "$scratch/small" "$program" "$scratch/$input" "$scratch/$input.got"
  expect_status 1
  expect_stderr "Can't write the output file '$scratch/small/out': No space left on device"
  expect_stdout ""
  expect_strict_prefix "$scratch/$input.got" "$scratch/$input.want"
done

finish
