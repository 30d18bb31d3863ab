#!/usr/bin/env bash
# The input named again as the output, under other names: the program
# refuses with exit status 1 and the file stays byte for byte as it was. A
# pipe or a FIFO named twice is refused too, at once, instead of the program
# waiting for ever on the writing end of its own input.
# shellcheck source=tests/faults/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dir=$scratch/dir
mkdir "$dir"
printf '65\n66\nx\n' >"$dir/data"
cp "$dir/data" "$scratch/copy"
ln -s data "$dir/link"
ln "$dir/data" "$dir/hard"
cd "$dir" || exit 1

# input | output; run in $dir, with the standard input read from data.
cases=(
  "data|data"
  "data|link"
  "link|data"
  "data|hard"
  "hard|link"
  "data|./data"
  "data|../dir/data"
  "$dir/data|data"
  "/dev/stdin|data"
  "/dev/stdin|../dir/link"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r input output <<<"$entry"
  begin_case "$input -> $output"
  run "$program" "$input" "$output" <"$dir/data"
  expect_status 1
  expect_stderr "Can't create the output file '$output': it is the input file"
  expect_stdout ""
  expect_same_bytes "$dir/data" "$scratch/copy"
done

# A pipe (the standard input, by /dev/stdin) and a FIFO, each named as
# input and output with a value in it: refused, within a time limit far
# above the moment a refusal takes.
mkfifo "$dir/fifo"
begin_case "a pipe as input and output"
run timeout 20 bash -c 'printf "1\n" | "$1" /dev/stdin /dev/stdin' _ "$program"
expect_status 1
expect_stderr "Can't create the output file '/dev/stdin': it is the input file"

begin_case "a FIFO as input and output"
run timeout 20 bash -c 'printf "1\n" >"$2" & exec "$1" "$2" "$2"' _ "$program" "$dir/fifo"
expect_status 1
expect_stderr "Can't create the output file '$dir/fifo': it is the input file"

finish
