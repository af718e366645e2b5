#!/usr/bin/env bash
# Times `kwuni convert` beside glibc iconv and ICU uconv converting the same 100 MB files, CCSID 37
# and CCSID 930 both ways, checks that kwuni writes what they write, and prints a Markdown table.
#
#   bench/tool_vs_iconv.sh [KWUNI]        # KWUNI defaults to build/release/tools/kwuni
#
# Each command runs RUNS times (5 unless set) writing a file in a scratch directory, and its best
# wall-clock time counts; hyperfine does the timing when it is installed. The inputs: a Latin text
# of the words of samples/customers.txt and a few more accented ones, in UTF-8 and in CCSID 37,
# and samples/orders.txt repeated, in UTF-8 and in CCSID 930; the host forms are made by kwuni.
# SIZE sets the bytes of each UTF-8 text (100000000 unless set). Progress goes to standard error,
# the table to standard output. Exit status 1 when kwuni fails or its output differs from one that
# iconv and uconv agree on.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kwuni=${1:-$root/build/release/tools/kwuni}
runs=${RUNS:-5}
size=${SIZE:-100000000} # bytes of each UTF-8 text
target=3                # kwuni should take at most a third of the faster of iconv and uconv

say() { echo "tool_vs_iconv: $*" >&2; }

[[ -x $kwuni ]] || { say "no kwuni tool at $kwuni: build the release preset or name the binary"; exit 2; }
for tool in iconv uconv; do
  command -v "$tool" >/dev/null || { say "$tool is not installed"; exit 2; }
done
hyperfine=$(command -v hyperfine || true)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kwuni-tools.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
errors=$scratch/errors.log
: >"$errors"

# ---- Inputs --------------------------------------------------------------------------------------

say "making the inputs in $scratch"
LC_ALL=C awk -v size="$size" '
  { for (i = 1; i <= NF; i++) words[n++] = $i }
  END {
    k = split("café Zürich façade Ærøskøbing São niño crème brûlée Øresund señorita Málaga Ångström", extra, " ")
    for (i = 1; i <= k; i++) words[n++] = extra[i]
    srand(1998)
    while (bytes < size) {
      count = 6 + int(rand() * 9)
      line = words[int(rand() * n)]
      for (i = 1; i < count; i++) line = line " " words[int(rand() * n)]
      print line
      bytes += length(line) + 1
    }
  }' "$root/samples/customers.txt" >"$scratch/latin.txt"
LC_ALL=C awk -v size="$size" '
  { lines[NR] = $0; bytes += length($0) + 1 }
  END { for (written = 0; written < size; written += bytes) for (i = 1; i <= NR; i++) print lines[i] }
' "$root/samples/orders.txt" >"$scratch/japanese.txt"
"$kwuni" convert -f UTF-8 -t 37 "$scratch/latin.txt" -o "$scratch/latin.cp37"
"$kwuni" convert -f UTF-8 -t 930 "$scratch/japanese.txt" -o "$scratch/japanese.cp930"

# ---- Timing --------------------------------------------------------------------------------------

# Prints the best wall-clock time of $runs runs of a command in seconds, or "failed" (its messages
# go to the error log).
best_time() {
  if [[ -n $hyperfine ]]; then
    if ! "$hyperfine" --runs "$runs" --style none --command-name run --export-csv "$scratch/times.csv" \
      -- "$(printf '%q ' "$@")" >>"$errors" 2>&1; then
      echo failed
      return
    fi
    LC_ALL=C awk -F, 'NR == 2 { printf "%.3f\n", $7 }' "$scratch/times.csv" # the min column
    return
  fi
  local best=0 start elapsed i
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    if ! "$@" 2>>"$errors"; then
      echo failed
      return
    fi
    elapsed=$(($(date +%s%N) - start))
    if ((best == 0 || elapsed < best)); then best=$elapsed; fi
  done
  LC_ALL=C awk -v ns="$best" 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}

# "equal", or where the two files first differ.
compare() {
  if cmp -s "$1" "$2"; then
    echo equal
  else
    { cmp "$1" "$2" 2>&1 || true; } | sed -e "s|$scratch/||g" -e 's/^cmp: //' | head -n 1
  fi
}

# ---- The runs ------------------------------------------------------------------------------------

# direction | input | kwuni -f, -t | iconv -f, -t | uconv -f, -t
directions=(
  "CCSID 37 → UTF-8|latin.cp37|37|UTF-8|IBM037|UTF-8|ibm-37|UTF-8"
  "UTF-8 → CCSID 37|latin.txt|UTF-8|37|UTF-8|IBM037|UTF-8|ibm-37"
  "CCSID 930 → UTF-8|japanese.cp930|930|UTF-8|IBM930|UTF-8|ibm-930|UTF-8"
  "UTF-8 → CCSID 930|japanese.txt|UTF-8|930|UTF-8|IBM930|UTF-8|ibm-930"
)

rows=()
checks=()
status=0
for direction in "${directions[@]}"; do
  IFS='|' read -r name input kwuni_from kwuni_to iconv_from iconv_to uconv_from uconv_to <<<"$direction"
  file=$scratch/$input
  say "$name: $(stat -c %s "$file") bytes, $runs runs each"
  k=$(best_time "$kwuni" convert -f "$kwuni_from" -t "$kwuni_to" "$file" -o "$scratch/out.kwuni")
  i=$(best_time iconv -f "$iconv_from" -t "$iconv_to" -o "$scratch/out.iconv" "$file")
  u=$(best_time uconv -f "$uconv_from" -t "$uconv_to" -o "$scratch/out.uconv" "$file")
  declare -A seconds=([iconv]=$i [uconv]=$u)

  ratio=$(LC_ALL=C awk -v k="$k" -v i="$i" -v u="$u" -v target="$target" 'BEGIN {
    if (k == "failed" || (i == "failed" && u == "failed")) { print "– | –"; exit }
    if (i == "failed") other = u
    else if (u == "failed" || i + 0 < u + 0) other = i
    else other = u
    r = other / k
    printf "%.2f× | %s\n", r, (r >= target ? "yes" : "no")
  }')
  rows+=("| $name | $k | $i | $u | $ratio |")

  if [[ $k == failed ]]; then
    checks+=("- $name: kwuni failed (see above)")
    status=1
  elif [[ $i != failed && $u != failed ]] && cmp -s "$scratch/out.iconv" "$scratch/out.uconv"; then
    result=$(compare "$scratch/out.kwuni" "$scratch/out.iconv")
    if [[ $result == equal ]]; then
      checks+=("- $name: kwuni's output equals iconv's and uconv's")
    else
      checks+=("- $name: **kwuni differs from iconv and uconv, which agree**: $result")
      status=1
    fi
  else
    notes=()
    [[ $i == failed || $u == failed ]] || notes+=("iconv and uconv differ")
    for tool in iconv uconv; do
      if [[ ${seconds[$tool]} == failed ]]; then
        notes+=("$tool failed")
      else
        notes+=("kwuni against $tool: $(compare "$scratch/out.kwuni" "$scratch/out.$tool")")
      fi
    done
    joined=$(printf '; %s' "${notes[@]}")
    checks+=("- $name: ${joined:2}")
  fi
  rm -f "$scratch"/out.*
done

if [[ -s $errors ]]; then
  say "messages of the runs:"
  sed 's/^/  /' "$errors" >&2
fi

echo "kwuni $("$kwuni" --version | awk '{ print $2 }'), $(iconv --version | head -n 1), $(uconv --version);" \
  "$(nproc) CPUs; best of $runs runs, wall clock, $([[ -n $hyperfine ]] && echo hyperfine || echo 'date +%s%N')."
echo "Inputs: $(stat -c %s "$scratch/latin.txt") bytes of Latin UTF-8 ($(stat -c %s "$scratch/latin.cp37") in CCSID 37)," \
  "$(stat -c %s "$scratch/japanese.txt") bytes of Japanese UTF-8 ($(stat -c %s "$scratch/japanese.cp930") in CCSID 930)."
echo
echo "| direction | kwuni s | iconv s | uconv s | ratio | target ${target}× |"
echo "|---|---:|---:|---:|---:|:---:|"
printf '%s\n' "${rows[@]}"
echo
printf '%s\n' "${checks[@]}"
exit "$status"
