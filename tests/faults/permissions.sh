#!/usr/bin/env bash
# Permission denied, for the program run as the unprivileged user 65534
# (mode bits deny nothing to root): an unreadable input, an input in a
# directory it cannot search, an output in a directory it cannot write, and
# a read-only output file. Exit status 1, the message, and every file as it
# was.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools setpriv
((EUID == 0)) || skip "needs root to run the program as another user"

as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
# The program's directories must be searchable and it readable by others;
# where they are not (a build under a private home), run a copy from the
# scratch directory instead.
if ! as_nobody "$program" -h 2>/dev/null; then
  echo "-- user 65534 cannot run $program; running a copy of it"
  install -m 0755 "$program" "$scratch/decbytes"
  program=$scratch/decbytes
  as_nobody "$program" -h 2>/dev/null || skip "user 65534 cannot run programs under /tmp"
fi

# Files owned by root, in a tree apart from the program's captured streams:
# open/ is writable by all, locked/ by root alone, hidden/ searchable by
# root alone.
tree=$scratch/tree
mkdir -m 0755 "$tree"
mkdir -m 0777 "$tree/open"
mkdir -m 0755 "$tree/locked"
mkdir -m 0700 "$tree/hidden"
printf '65\n66\n' >"$tree/in"
printf 'unreadable\n' >"$tree/secret"
printf 'read-only\n' >"$tree/readonly"
printf 'hidden\n' >"$tree/hidden/in"
printf 'kept\n' >"$tree/open/kept"
chmod 0644 "$tree/in" "$tree/hidden/in"
chmod 0600 "$tree/secret"
chmod 0444 "$tree/readonly"
chmod 0666 "$tree/open/kept"
cp -a "$tree" "$scratch/before"

# input | output | the message
cases=(
  "secret|open/kept|Can't find the input file '$tree/secret'"
  "hidden/in|open/kept|Can't find the input file '$tree/hidden/in'"
  "in|locked/out|Can't create the output file '$tree/locked/out'"
  "in|readonly|Can't create the output file '$tree/readonly'"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r input output message <<<"$entry"
  begin_case "$input -> $output"
  run as_nobody "$program" "$tree/$input" "$tree/$output"
  expect_status 1
  expect_stderr "$message"
  expect_stdout ""
  diff -r "$scratch/before" "$tree" >/dev/null || fail "a file was made or changed"
done

finish
