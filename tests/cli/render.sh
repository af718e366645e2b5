#!/usr/bin/env bash
# kwuni render as a user runs it, in both script-string families: the image's size, ink and
# highlight, wrapping and alignment; bad options refused with no file written.
set -u
kwuni=$1
facts="python3 $(dirname "$0")/png_facts.py"
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

pass() { echo "ok   $1"; }
fail() { echo "FAIL $1${2:+: $2}"; failures=$((failures + 1)); }
# render NAME ARGS...: renders to $scratch/NAME.png and sets width height ink highlight left right.
render() {
  local name=$1; shift
  if ! "$kwuni" render -o "$scratch/$name.png" "$@" 2>"$scratch/err"; then
    fail "$name" "status $?: $(head -c 200 "$scratch/err")"; return 1
  fi
  read -r width height ink highlight left right < <($facts "$scratch/$name.png")
}
expect() { if eval "$2"; then pass "$1"; else fail "$1" "$2 with width=$width height=$height ink=$ink highlight=$highlight left=$left right=$right"; fi; }

mixed='Kanji 漢字 and عربي text'
for family in nt 9x; do
  render "mixed-$family" --family "$family" --size 16 --width 400 --select 2:9 "$mixed" &&
    expect "mixed-$family" '[ $width = 400 ] && [ $height -ge 16 ] && [ $height -le 40 ] && [ $ink -gt 300 ] && [ $highlight -gt 100 ]'
  render "plain-$family" --family "$family" "$mixed" &&
    expect "plain-$family" '[ $highlight = 0 ] && [ $left -lt 5 ]'
  single=$height
  render "wrapped-$family" --family "$family" --width 90 "$mixed" &&
    expect "wrapped-$family" '[ $height -ge $((3 * single)) ] && [ $right -lt 120 ]'
  render "right-$family" --family "$family" --align right "short" &&
    expect "right-$family" '[ $left -gt 300 ] && [ $right -ge 390 ]'
  render "center-$family" --family "$family" --align center "short" &&
    expect "center-$family" '[ $left -gt 150 ] && [ $right -lt 250 ]'
  render "lines-$family" --family "$family" $'one\ntwo\nthree' &&
    expect "lines-$family" '[ $height -ge $((3 * single)) ]'
done

# refused NAME STATUS MESSAGE ARGS...: kwuni render fails as told and writes no file.
refused() {
  local name=$1 status=$2 message=$3; shift 3
  rm -f "$scratch/no.png"
  "$kwuni" render "$@" 2>"$scratch/err" >/dev/null; local s=$?
  if [ $s != "$status" ]; then fail "$name" "status $s (want $status): $(head -c 200 "$scratch/err")"
  elif ! grep -Eq -- "$message" "$scratch/err"; then fail "$name" "said: $(head -c 200 "$scratch/err")"
  elif [ -e "$scratch/no.png" ] || ls "$scratch"/no.png.* >/dev/null 2>&1; then fail "$name" "a file was written"
  else pass "$name"; fi
}
refused size-zero 2 '--size 0 is out of range' --size 0 -o "$scratch/no.png" text
refused size-text 2 "--size takes a number, not 'big'" --size big -o "$scratch/no.png" text
refused width-big 2 '--width 99999 is out of range' --width 99999 -o "$scratch/no.png" text
refused select-form 2 '--select takes A:B' --select 3 -o "$scratch/no.png" text
refused select-beyond 2 "--select 2:9 lies beyond the text's 4 characters" --select 2:9 -o "$scratch/no.png" text
refused align 2 "--align takes left, center or right, not 'middle'" --align middle -o "$scratch/no.png" text
refused family 2 "--family takes nt or 9x" --family 2000 -o "$scratch/no.png" text
refused no-output 2 'render needs -o OUTPUT.png' text
refused no-text 2 'render needs the TEXT to draw' -o "$scratch/no.png"
refused two-texts 2 'render draws one TEXT' -o "$scratch/no.png" one two
refused utf8 2 'TEXT is not UTF-8 \(byte 1\)' -o "$scratch/no.png" "$(printf 'a\xff')"
refused option 2 "unknown option '--colour' for render" --colour red -o "$scratch/no.png" text
refused unwritable 1 'cannot write /nonexistent/x.png' -o /nonexistent/x.png text
if "$kwuni" render --help | grep -q '^usage: kwuni render'; then pass help; else fail help; fi

[ "$failures" = 0 ]
