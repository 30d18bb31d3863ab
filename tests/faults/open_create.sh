#!/usr/bin/env bash
# Opening and creating: a new output gets mode 0666 less the umask; a device
# named as both files is not refused; two files that share an inode number
# on two file systems are two files, not the input named twice; a closed
# standard descriptor never takes a file: the output holds its bytes alone,
# and a name that reaches it fails to open.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
need_tools stat

printf '65\n66\n' >"$scratch/in"
printf 'AB' >"$scratch/in.want"
summary='\n2 characters transferred with 0 errors \n\n'

# umask | the mode of the new output
for entry in "000|666" "022|644" "077|600" "027|640"; do
  IFS='|' read -r mask mode <<<"$entry"
  begin_case "umask $mask"
  rm -f "$scratch/new"
  run bash -c 'umask "$1" && exec "$2" "$3" "$4"' _ "$mask" "$program" "$scratch/in" "$scratch/new"
  expect_status 0
  expect_stdout "$summary"
  [[ $(stat -c %a "$scratch/new") == "$mode" ]] ||
    fail "mode $(stat -c %a "$scratch/new"), expected $mode"
done

begin_case "/dev/null as input and output"
run "$program" /dev/null /dev/null
expect_status 0
expect_stderr ""
expect_stdout '\n0 characters transferred with 0 errors \n\n'

# The standard descriptors closed | exit status | stderr: with the standard
# output closed, the report fails as a standard output that cannot be
# written, and the output file still holds the bytes and nothing else.
yes $'65\nx' | head -n 20000 >"$scratch/many" || true
head -c 10000 /dev/zero | tr '\0' 'A' >"$scratch/many.want"
closed_cases=(
  "<&-|0|"
  "<&- >&-|1|Can't write the standard output: Bad file descriptor"
  ">&- 2>&-|1|"
  "<&- >&- 2>&-|1|"
)
for entry in "${closed_cases[@]}"; do
  IFS='|' read -r closing want_status message <<<"$entry"
  begin_case "$closing"
  rm -f "$scratch/out"
  # shellcheck disable=SC2016 # expanded by the inner shell
  run bash -c "exec \"\$1\" \"\$2\" \"\$3\" $closing" _ "$program" "$scratch/many" "$scratch/out"
  expect_status "$want_status"
  [[ $closing == *"2>&-"* ]] || expect_stderr "$message"
  expect_same_bytes "$scratch/out" "$scratch/many.want"
done

# A name that reaches a closed standard descriptor fails as it did before
# the descriptor had a stand-in | closing | input | output | exit status |
# stderr ("-" when the closing takes it away); /dev/null named itself works.
name_cases=(
  "<&-|/dev/stdin|$scratch/out|1|Can't find the input file '/dev/stdin'"
  "<&-|/dev/fd/0|$scratch/out|1|Can't find the input file '/dev/fd/0'"
  ">&-|$scratch/in|/dev/stdout|1|Can't create the output file '/dev/stdout'"
  "2>&-|$scratch/in|/proc/self/fd/2|1|-"
  "<&-|/dev/null|$scratch/out|0|"
)
for entry in "${name_cases[@]}"; do
  IFS='|' read -r closing input output want_status message <<<"$entry"
  begin_case "$input $output $closing"
  # shellcheck disable=SC2016 # expanded by the inner shell
  run bash -c "exec \"\$1\" \"\$2\" \"\$3\" $closing" _ "$program" "$input" "$output"
  expect_status "$want_status"
  [[ $message == - ]] || expect_stderr "$message"
done

# No descriptor left for a stand-in: refused with a message, no file made.
# (A sanitizer's runtime and an emulator need descriptors of their own.)
begin_case "no descriptor for a stand-in"
if sanitized || [[ -n ${DECBYTES_EMULATOR:-} ]]; then
  echo "-- skipped: the program does not start alone under a limit of 3 descriptors"
else
  rm -f "$scratch/out"
  # shellcheck disable=SC2016 # expanded by the inner shell
  run bash -c 'ulimit -n 3; exec 0<&-; exec "$1" "$2" "$3"' _ "$program" "$scratch/in" "$scratch/out"
  expect_status 1
  # The shell complains of the limit too: the program's line is the last.
  [[ $(tail -n 1 "$scratch/stderr") == "Can't open a stand-in for a closed standard descriptor: Too many open files" ]] ||
    fail "stderr was '$(cat "$scratch/stderr")'"
  [[ ! -e $scratch/out ]] || fail "the output file was made"
fi

# Two fresh tmpfs mounts number their first files alike.
begin_case "the same inode number on two file systems"
if ! command -v unshare >/dev/null || ! unshare -m true 2>/dev/null; then
  echo "-- skipped: cannot make a private mount namespace (needs unshare and root)"
else
  mkdir "$scratch/a" "$scratch/b"
  # shellcheck disable=SC2016 # expanded by the inner shell
  run unshare -m bash -c 'mount -t tmpfs -o size=64k tmpfs "$1" && mount -t tmpfs -o size=64k tmpfs "$2" || exit 99
    cp "$3" "$1/f" && : >"$2/f"
    [[ $(stat -c %i "$1/f") == $(stat -c %i "$2/f") ]] || exit 98
    status=0; "$4" "$1/f" "$2/f" || status=$?
    cp "$2/f" "$5"; exit "$status"' _ \
    "$scratch/a" "$scratch/b" "$scratch/in" "$program" "$scratch/got"
  if ((status == 98 || status == 99)); then
    echo "-- skipped: no two tmpfs files with one inode number here (status $status)"
  else
    expect_status 0
    expect_stderr ""
    expect_same_bytes "$scratch/got" "$scratch/in.want"
  fi
fi

finish
