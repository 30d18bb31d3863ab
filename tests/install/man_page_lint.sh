#!/usr/bin/env bash
# Lints a manual page with groff's man macros and every warning on. groff
# exits 0 even when it warns, so any text it prints is a failure. Exits 77
# (a skip for CTest) where groff is missing.
#
# Usage: man_page_lint.sh PAGE
set -euo pipefail

page=$1
if ! command -v groff >/dev/null; then
  echo "groff not found: install groff-base to lint $page" >&2
  exit 77
fi
for device in ps utf8; do
  warnings=$(groff -man -ww -z -T"$device" "$page" 2>&1)
  if [[ -n $warnings ]]; then
    printf 'groff -T%s warns about %s:\n%s\n' "$device" "$page" "$warnings" >&2
    exit 1
  fi
done
echo "$page: no groff warnings"
