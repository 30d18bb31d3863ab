#!/usr/bin/env bash
# The input named again as the output, under other names: the program
# refuses with exit status 1 and the file stays byte for byte as it was. A
# pipe or a FIFO named twice is refused too, at once, instead of the program
# waiting for ever on the writing end of its own input. The report never
# lands in the data: with the standard output as the output file, the
# report takes the standard error; with the standard output as the input,
# the run is refused.
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

# No other writer: refused before the FIFO is opened, which would wait.
begin_case "a FIFO as input and output"
run timeout 20 "$program" "$dir/fifo" "$dir/fifo"
expect_status 1
expect_stderr "Can't create the output file '$dir/fifo': it is the input file"

# The standard streams as data files. Runs the shell line $4 in $dir, where
# $1 is the program and data holds two legal lines and an illegal one;
# expects exit status $1, the output file "out" to hold $2 and the standard
# error $3 (its whole text); data stays as it was.
report_case() {
  local want_status=$1 want_output=$2 message=$3 line=$4
  begin_case "$line"
  rm -f "$dir/out"
  run bash -c "cd \"\$2\" && $line" _ "$program" "$dir"
  expect_status "$want_status"
  [[ $(cat "$dir/out" 2>/dev/null) == "$want_output" ]] ||
    fail "out holds '$(cat "$dir/out" 2>/dev/null)', expected '$want_output'"
  expect_stderr "$message"
  expect_same_bytes "$dir/data" "$scratch/copy"
}
# The report on data read by each name (the last newline is the message's).
for name in data /dev/stdin; do
  printf -v "report_${name//\//_}" '\nWarning : %s : (line 3) : %s is an illegal input string \n\n%s\n' \
    "$name" "'x'" "2 characters transferred with 1 errors "
done
# The standard output as the output: the report takes the standard error.
report_case 0 AB "$report_data" '"$1" data out >out'
report_case 0 AB "$report_data" '"$1" data out >>out'
report_case 0 AB "$report__dev_stdin" '"$1" /dev/stdin /dev/stdout <data | cat >out'
# Both standard streams as the output: refused, the message in the file.
report_case 1 "Can't create the output file 'out': it is the standard output and the standard error" "" \
  '"$1" data out >out 2>&1'
# The standard output as the input: refused before the input can grow.
report_case 1 "" "Can't write the standard output: it is the input file" '"$1" data out >>data'

finish
