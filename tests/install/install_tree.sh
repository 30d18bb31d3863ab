#!/usr/bin/env bash
# Installs the build tree into a fresh prefix and checks what lands there:
# exactly the program, its compressed manual page, the copyright file and the
# compressed changelog; the program runs; the page is the source page and
# the changelog names the project's version, both compressed by gzip -9n.
#
# Usage: install_tree.sh CMAKE BUILD_DIR SOURCE_DIR
set -euo pipefail

cmake=$1 build=$2 source=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
  printf 'FAIL: %s\n' "$@" >&2
  failures=$((failures + 1))
}

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

expected=$'bin/decbytes\nshare/doc/decbytes/changelog.gz\nshare/doc/decbytes/copyright\nshare/man/man1/decbytes.1.gz'
installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
[[ $installed == "$expected" ]] || fail "installed files:" "$installed" "expected:" "$expected"

# A cross build's program runs through the emulator's launcher, which the
# tests name in DECBYTES_RUN_EMULATED.
run_installed() { ${DECBYTES_RUN_EMULATED:+"$DECBYTES_RUN_EMULATED"} "$@"; }
program=$prefix/bin/decbytes
[[ -x $program ]] || fail "$program is not executable"
status=0
usage=$(run_installed "$program" -h 2>&1) || status=$?
[[ $status == 0 && $usage == "Usage : $program <input file> "* ]] ||
  fail "decbytes -h gave status $status and: $usage"
printf '72\n105\n' >"$prefix/in"
run_installed "$program" "$prefix/in" "$prefix/out" >/dev/null || fail "the installed program failed"
[[ $(cat "$prefix/out" 2>/dev/null) == Hi ]] || fail "the installed program did not convert"

page=$prefix/share/man/man1/decbytes.1.gz
if gzip -t "$page"; then
  cmp <(gzip -dc "$page") "$source/man/decbytes.1" || fail "the installed page is not man/decbytes.1"
  # No name and no time stamp (-n), best compression (-9), Unix.
  header=$(od -An -tx1 -N10 "$page" | tr -s ' \n' ' ')
  [[ $header == " 1f 8b 08 00 00 00 00 00 02 03 " ]] || fail "gzip header$header is not gzip -9n's"
else
  fail "$page is not a sound gzip file"
fi

changelog=$prefix/share/doc/decbytes/changelog.gz
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if gzip -t "$changelog"; then
  top=$(gzip -dc "$changelog" | head -n1)
  [[ $top == "decbytes ($version) "* ]] || fail "the changelog's latest entry: $top (version $version)"
  [[ $(gzip -dc "$changelog" | grep -c '^ -- .*>  ') -ge 1 ]] || fail "the changelog has no signed entry"
  header=$(od -An -tx1 -N10 "$changelog" | tr -s ' \n' ' ')
  [[ $header == " 1f 8b 08 00 00 00 00 00 02 03 " ]] || fail "changelog gzip header$header is not gzip -9n's"
else
  fail "$changelog is not a sound gzip file"
fi

grep -q '^License: Expat$' "$prefix/share/doc/decbytes/copyright" ||
  fail "the copyright file names no Expat (MIT) licence"

((failures == 0)) || exit 1
echo "installed: $(tr '\n' ' ' <<<"$installed")"
