# shellcheck shell=bash
# Shared by the fault scripts, which source it with the program under test as
# their first argument: a scratch directory, skips, a way to run the program
# and checks of its exit status, its two streams and the files it leaves.
set -euo pipefail

program=${1:?"usage: $0 PATH-TO-decbytes"}
[[ -x $program ]] || { echo "FAIL: no program at $program"; exit 1; }
program=$(realpath "$program")

# Mode 0755 so that an unprivileged user can reach files inside.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/decbytes-faults.XXXXXX")
chmod 0755 "$scratch"
trap 'rm -rf "$scratch"' EXIT

failures=0
case_name=setup

# Reports the whole script as skipped (CTest's SKIP_RETURN_CODE).
skip() {
  echo "SKIP: $*"
  exit 77
}

need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "needs $tool (.ci/install-tools installs it)"
  done
}

# True when the program carries AddressSanitizer, which maps terabytes of
# shadow memory and so cannot run under an address-space limit.
sanitized() { grep -qaE "__asan_init|__tsan_init" "$program"; }

begin_case() {
  case_name=$1
  echo "-- $case_name"
}

fail() {
  echo "FAIL [$case_name]: $*"
  failures=$((failures + 1))
}

# Runs a command with stdout sent to $run_stdout (default: a file in the
# scratch directory) and stderr to $scratch/stderr; sets $status.
run() {
  status=0
  "$@" >"${run_stdout:-$scratch/stdout}" 2>"$scratch/stderr" || status=$?
}

expect_status() {
  [[ $status == "$1" ]] || fail "exit status $status, expected $1"
}

# The whole of stderr must be this message and a newline, or nothing when
# the message is empty.
expect_stderr() {
  local want=""
  [[ -z $1 ]] || want="$1"$'\n'
  [[ $(od -c <"$scratch/stderr") == "$(printf '%s' "$want" | od -c)" ]] ||
    fail "stderr was '$(cat "$scratch/stderr")', expected '$1'"
}

expect_stdout() {
  local want
  want=$(printf '%b' "$1" | od -c)
  [[ $(od -c <"$scratch/stdout") == "$want" ]] ||
    fail "stdout was '$(cat "$scratch/stdout")', expected '$(printf '%b' "$1")'"
}

expect_same_bytes() {
  cmp -s "$1" "$2" || fail "$1 differs from $2"
}

# $1 holds a strict, non-empty prefix of $2 (the output of a clean run):
# the program wrote what it could and then stopped.
expect_strict_prefix() {
  local size full
  size=$(stat -c %s "$1")
  full=$(stat -c %s "$2")
  ((size > 0 && size < full)) || fail "$1 has $size bytes, expected 1 to $((full - 1))"
  cmp -s -n "$size" "$1" "$2" || fail "$1 is not a prefix of $2"
}

# Writes $2 lines "65" to file $1, and the bytes a clean run gives to $1.want.
make_lines() {
  yes 65 | head -n "$2" >"$1" || true
  head -c "$2" /dev/zero | tr '\0' 'A' >"$1.want"
}

finish() {
  if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}
