#!/usr/bin/env bash
# The public header on its own: compiled as C++17 it gives no warning; as
# C++14 it stops at its own #error, the first error, which names C++17.
#
# Usage: check-header.sh [COMPILER OPTIONS...], such as -I include to take
# the header from a source tree; the compiler is $CXX, or g++.
set -euo pipefail
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
compile() { "${CXX:-g++}" -fsyntax-only -x c++ - "$@" <<<'#include <decbytes/decbytes.h>'; }

compile -std=c++17 -Wall -Wextra -Wpedantic -Werror "$@" || fail "the header does not compile cleanly as C++17"
if errors=$(compile -std=c++14 "$@" 2>&1); then
  fail "the header compiles as C++14"
fi
first=$(grep -m 1 'error' <<<"$errors" || true)
[[ $first == *'#error "decbytes.h needs C++17 or later"'* ]] ||
  fail "as C++14 the first error is not the header's own:"$'\n'"$errors"
echo "-- the header: clean as C++17; as C++14: ${first##*error: }"
