#!/usr/bin/env bash
# Holds the consumer, built on the library, to the program: on the sample
# input and on one of many illegal lines, by each of the library's ways
# (file names; a pipe and a socket as descriptors; memory in pieces of 1, 7
# and 64 Ki bytes and whole), the same output bytes, the same report (the
# consumer's on its standard error) and the counts of the program's summary,
# with nothing but the counts on its standard output; and
# with its report going to a pipe whose reader has gone, it lives on (no
# SIGPIPE), says "report failed: Broken pipe", exits 1 and still writes the
# whole output. Its --version gives VERSION for the header it was compiled
# with (DECBYTES_VERSION_* and DECBYTES_VERSION) and for the library it
# loaded (Version()).
#
# Usage: check.sh CONSUMER PROGRAM SAMPLE VERSION
set -euo pipefail
consumer=$(realpath "$1") program=$(realpath "$2") sample=$3 version=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

IFS=. read -r major minor patch <<<"$version"
expected="header $version ($((major * 10000 + minor * 100 + patch))), library $version"
[[ $("$consumer" --version) == "$expected" ]] ||
  fail "consumer --version: $("$consumer" --version), not $expected"
echo "-- consumer --version: $expected"

cp "$sample" "$work/sample.txt"
# Far more report than a pipe holds, so that its first write blocks until
# the reader has gone and then fails.
for ((i = 0; i < 5000; ++i)); do printf '65\n1e\n300\n'; done >"$work/many.txt"

cd "$work"
for input in sample.txt many.txt; do
  "$program" "$input" "$input.program" >"$input.program-report"
  summary=$(tail -n 2 "$input.program-report" | head -n 1)
  [[ $summary =~ ^([0-9]+)\ characters\ transferred\ with\ ([0-9]+)\ errors\ $ ]] ||
    fail "$input: no summary in the program's report: $summary"
  expected="${BASH_REMATCH[1]} bytes written, ${BASH_REMATCH[2]} illegal lines"
  # Each of the library's ways: file names, descriptors, memory in pieces.
  for way in names pipe socket memory:1 memory:7 memory:65536 memory:0; do
    "$consumer" --via="$way" "$input" "$input.consumer" 2>"$input.consumer-report" >"$input.counts" ||
      fail "consumer --via=$way $input exited $?"
    cmp "$input.program" "$input.consumer" || fail "$input, $way: the outputs differ"
    cmp "$input.program-report" "$input.consumer-report" || fail "$input, $way: the reports differ"
    [[ $(cat "$input.counts") == "$expected" ]] ||
      fail "$input, $way: the consumer's standard output is not just \"$expected\": $(cat "$input.counts")"
  done
  echo "-- $input: $expected, the same bytes and report as the program each way"
done

{
  status=0
  "$consumer" many.txt broken.out 2>&1 >broken.counts || status=$?
  echo "$status" >broken.status
} | true
status=$(cat broken.status)
((status == 1)) || fail "with its report's reader gone the consumer exited $status, not 1"
[[ $(head -n 1 broken.counts) == "report failed: Broken pipe" ]] ||
  fail "with its report's reader gone: $(cat broken.counts)"
cmp many.txt.program broken.out || fail "with its report's reader gone the output is not complete"
echo "-- report's reader gone: $(tr '\n' ';' <broken.counts) status $status, the output complete"
