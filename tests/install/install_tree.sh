#!/usr/bin/env bash
# Installs the build tree into a fresh prefix and checks what lands there:
# exactly the program, its compressed manual pages, the copyright file and
# the compressed changelog, the header, both libraries, the CMake package
# and decbytes.pc; the program runs; the pages are the source pages and the
# changelog names the project's version, all compressed by gzip -9n; the
# shared library exports the header's names alone; decbytes.pc names the
# prefix installed to.
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

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
libdir=$(cache CMAKE_INSTALL_LIBDIR)
version=$(cache CMAKE_PROJECT_VERSION)
build_type=$(cache CMAKE_BUILD_TYPE | tr '[:upper:]' '[:lower:]')
expected=$(printf '%s\n' bin/decbytes include/decbytes/decbytes.h \
  "$libdir"/cmake/decbytes/decbytes{Config,ConfigVersion,Targets,Targets-"${build_type:-noconfig}"}.cmake \
  "$libdir"/libdecbytes.{a,so,so."${version%%.*}",so."$version"} "$libdir/pkgconfig/decbytes.pc" \
  share/doc/decbytes/{changelog.gz,copyright} share/man/man1/decbytes.1.gz \
  share/man/man3/decbytes.3.gz | LC_ALL=C sort)
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

for section in 1 3; do
  page=$prefix/share/man/man$section/decbytes.$section.gz
  if gzip -t "$page"; then
    cmp <(gzip -dc "$page") "$source/man/decbytes.$section" ||
      fail "the installed page is not man/decbytes.$section"
    # No name and no time stamp (-n), best compression (-9), Unix.
    header=$(od -An -tx1 -N10 "$page" | tr -s ' \n' ' ')
    [[ $header == " 1f 8b 08 00 00 00 00 00 02 03 " ]] || fail "gzip header$header is not gzip -9n's"
  else
    fail "$page is not a sound gzip file"
  fi
done

changelog=$prefix/share/doc/decbytes/changelog.gz
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

# The shared library's defined dynamic symbols (readelf reads any
# processor's): the public header's names alone. Each is taken by its
# mangled name, the last field of its line, since some processors (ppc64el)
# add fields of their own before it.
others=$(readelf --dyn-syms -W "$prefix/$libdir/libdecbytes.so.$version" |
  awk '$1 ~ /^[0-9]+:$/ && $4 != "SECTION" && $0 !~ / UND / { print $NF }' |
  grep -v '^_ZN8decbytes' || true)
[[ -z $others ]] || fail "libdecbytes.so exports more than decbytes:: names:" "$others"
grep -qx "prefix=$prefix" "$prefix/$libdir/pkgconfig/decbytes.pc" ||
  fail "decbytes.pc does not name the prefix $prefix"

((failures == 0)) || exit 1
echo "installed: $(tr '\n' ' ' <<<"$installed")"
