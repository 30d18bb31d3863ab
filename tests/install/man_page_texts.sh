#!/usr/bin/env bash
# Holds the manual page to the built program. Every message the page quotes
# under DIAGNOSTICS must be printed by the program in one of the runs below,
# made to provoke each failure, and every message printed there must be
# quoted; the warning and summary quoted under OUTPUT must be the program's,
# byte for byte in their C string form; the EXAMPLES session must replay as
# shown; and the page's header must carry the project's version.
#
# Usage: man_page_texts.sh PAGE PROGRAM VERSION

# The right-hand sides of == below are patterns on purpose.
# shellcheck disable=SC2053
set -euo pipefail
shopt -s extglob

page=$(realpath "$1")
program=$(realpath "$2")
version=$3

failures=0
fail() {
  printf 'FAIL: %s\n' "$@" >&2
  failures=$((failures + 1))
}

# The source lines of section $1, without its .SH line.
section() {
  awk -v name="$1" '/^\.SH / { inside = (substr($0, 5) == name); next } inside' "$page"
}

# The source lines inside the .EX/.EE blocks of section $1.
examples_of() {
  section "$1" | awk '/^\.EE/ { inside = 0 } inside { print } /^\.EX/ { inside = 1 }'
}

# Splits the arguments of a roff request into the array `args`, honouring
# double quotes ("" inside quotes is one quote).
split_args() {
  local rest=$1 quoted='^"(([^"]|"")*)"(.*)$' plain='^([^ ]+)(.*)$'
  args=()
  while rest=${rest##+( )} && [[ -n $rest ]]; do
    if [[ $rest =~ $quoted ]]; then
      args+=("${BASH_REMATCH[1]//\"\"/\"}")
      rest=${BASH_REMATCH[3]}
    else
      [[ $rest =~ $plain ]]
      args+=("${BASH_REMATCH[1]}")
      rest=${BASH_REMATCH[2]}
    fi
  done
}

# Sets `inline` to source line $1 with font requests (.B, .BI, .IR, ...)
# turned into inline \fI...\fP, so that italic parts, the placeholders such
# as name or N, are marked the same way whichever form the page uses.
to_inline() {
  inline=$1
  [[ $1 =~ ^\.([BIR]{1,2})( (.*))?$ ]] || return 0
  local fonts=${BASH_REMATCH[1]} i font
  split_args "${BASH_REMATCH[3]}"
  inline=""
  if ((${#fonts} == 1)); then
    [[ $fonts == I ]] && inline="\\fI${args[*]}\\fP" || inline="${args[*]}"
    return 0
  fi
  for i in "${!args[@]}"; do
    font=${fonts:i%2:1}
    [[ $font == I ]] && inline+="\\fI${args[i]}\\fP" || inline+=${args[i]}
  done
}

# Sets `text` to the characters roff prints for source text $1, with each
# italic part replaced by the byte 0x01.
to_text() {
  text=$(printf '%s' "$1" | sed -e 's/\\fI[^\\]*\\f[PR]/\x01/g' -e 's/\\f[BIRP]//g' \
    -e "s/\\\\(aq/'/g" -e 's/\\(lq/"/g; s/\\(rq/"/g' -e 's/\\-/-/g' -e 's/\\[&%]//g' \
    -e 's/\\e/\\/g')
}

# Sets `glob` to a bash pattern for roff source line $1: its text taken
# literally, each placeholder standing for one or more bytes other than a
# quote, and `readable` to the text with each placeholder shown as <...>.
# With -c the line is a C string literal whose \n are newlines.
to_glob() {
  local c_string=0 i ch
  [[ $1 == -c ]] && c_string=1 && shift
  to_inline "$1"
  to_text "$inline"
  if ((c_string)); then
    text=${text#\"}
    text=${text%\"}
    text=${text//\\n/$'\n'}
  fi
  readable=${text//$'\x01'/<...>}
  glob=""
  for ((i = 0; i < ${#text}; i++)); do
    ch=${text:i:1}
    case $ch in
      $'\x01') glob+="+([!'])" ;;
      ['][*?\()|@!+']) glob+="\\$ch" ;;
      *) glob+=$ch ;;
    esac
  done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/run" "$work/example"
# Run through PATH so that the program's name as invoked is "decbytes".
ln -s "$program" "$work/bin/decbytes"
export PATH="$work/bin:$PATH"
cd "$work/run"

# ---- the header carries the project's version

grep -q "^\.TH DECBYTES 1 [0-9-]* \"decbytes $version\" " "$page" ||
  fail ".TH does not name \"decbytes $version\""

# ---- DIAGNOSTICS: one run for each message on standard error

printf '1\nx\n2\n' >in
cases=(
  'decbytes -h'
  'decbytes missing out'
  'decbytes in no/such/dir/out'
  'decbytes in in'
  'decbytes /proc/self/mem out'
  'decbytes in /dev/full'
  'decbytes in out >/dev/full'
  'decbytes in out >out 2>&1; cat out >&2'
  'cp in in2 && decbytes in2 out >>in2'
)
for command in "${cases[@]}"; do
  bash -c "$command" >/dev/null 2>>"$work/stderr" || true
done
mapfile -t printed <"$work/stderr"

diagnostics=() diagnostic_texts=()
while IFS= read -r tag; do
  to_glob "$tag"
  diagnostics+=("$glob")
  diagnostic_texts+=("$readable")
done < <(section DIAGNOSTICS | awk 'previous == ".TP" { print } { previous = $0 }')
((${#diagnostics[@]} > 0)) || fail "no message found under DIAGNOSTICS"

for i in "${!diagnostics[@]}"; do
  found=0
  for message in "${printed[@]}"; do [[ $message == ${diagnostics[i]} ]] && found=1; done
  ((found)) || fail "the page quotes a message that no run printed: ${diagnostic_texts[i]}"
done
for message in "${printed[@]}"; do
  found=0
  for pattern in "${diagnostics[@]}"; do [[ $message == $pattern ]] && found=1; done
  ((found)) || fail "the program printed a message that the page does not quote: $message"
done

# ---- OUTPUT: the warning and the summary, as C strings and as shown

c_strings=() shown=() shown_texts=()
while IFS= read -r line; do
  if [[ $line == \"* ]]; then
    to_glob -c "$line"
    c_strings+=("$glob")
  else
    to_glob "$line"
    shown+=("$glob")
    shown_texts+=("$readable")
  fi
done < <(examples_of OUTPUT)

printf '7\nx\n\n1234\n' >report.in
decbytes report.in report.out >report.txt
report=$(cat report.txt && printf x) # x keeps the trailing newlines
report=${report%x}
if ((${#c_strings[@]} != 2)); then
  fail "OUTPUT should give two C strings, the warning then the summary"
elif [[ $report != ${c_strings[0]}${c_strings[0]}${c_strings[1]} ]]; then
  fail "two warnings and the summary do not match the C strings of OUTPUT: $(printf "%q" "$report")"
fi
mapfile -t report_lines <report.txt
for i in "${!shown[@]}"; do
  found=0
  for line in "${report_lines[@]}"; do [[ ${line% } == ${shown[i]} ]] && found=1; done
  ((found)) || fail "OUTPUT shows a line that the program does not print: ${shown_texts[i]}"
done

# ---- EXAMPLES: each "$ command" prints the lines under it (the page cannot
# show trailing blanks, so they are dropped from what the program prints)

cd "$work/example"
commands=() expected=()
while IFS= read -r line; do
  to_text "$line"
  if [[ $text == '$ '* ]]; then
    commands+=("${text#'$ '}")
    expected+=("")
  elif ((${#commands[@]})); then
    expected[-1]+="$text"$'\n'
  fi
done < <(examples_of EXAMPLES)
((${#commands[@]} > 0)) || fail "no command found under EXAMPLES"

for i in "${!commands[@]}"; do
  printf '%s' "${expected[i]}" >expected
  bash -c "${commands[i]}" 2>&1 | sed 's/ *$//' >actual || true
  diff -u expected actual >changes || fail "EXAMPLES: \$ ${commands[i]}" "$(cat changes)"
done

if ((failures)); then
  echo "$failures check(s) of $1 failed" >&2
  exit 1
fi
echo "the manual page matches the program: ${#diagnostics[@]} messages, warning, summary, ${#commands[@]} example commands"
