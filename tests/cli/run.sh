#!/usr/bin/env bash
# The kwuni tool as a user runs it: output, exit statuses and error messages.
set -u
kwuni=$1
failures=0

check() {  # check NAME EXPECTED-STATUS STDOUT-PATTERN STDERR-PATTERN -- COMMAND...
  local name=$1 status=$2 out=$3 err=$4; shift 5
  local o e s
  o=$("$@" 2>/tmp/kwuni-cli-err.$$); s=$?; e=$(cat /tmp/kwuni-cli-err.$$)
  if [ "$s" != "$status" ] || ! grep -Eq -- "$out" <<<"$o" || ! grep -Eq -- "$err" <<<"$e"; then
    echo "FAIL $name: status $s (want $status)"; echo "  stdout: ${o:0:300}"; echo "  stderr: ${e:0:300}"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

check help 0 '^usage: kwuni' '^$' -- "$kwuni" --help
check version 0 '^kwuni [0-9]+\.[0-9]+\.[0-9]+$' '^$' -- "$kwuni" --version
check no-command 2 '^$' 'no command given' -- "$kwuni"
check unknown-command 2 '^$' "^kwuni: unknown command 'nosuch'" -- "$kwuni" nosuch
check unknown-option 2 '^$' "unknown option '--bogus'" -- "$kwuni" --bogus
check list-nosuch 2 '^$' "unknown catalogue 'nosuch'" -- "$kwuni" list nosuch
check list-no-catalogue 2 '^$' 'list needs a catalogue' -- "$kwuni" list
check list-bad-option 2 '^$' "unknown option '--xml'" -- "$kwuni" list ccsid --xml
check list-ccsid 0 '^37 +37 - .* +0 +no' '^$' -- "$kwuni" list ccsid
check list-ccsid-dbcs 0 '^930 +930 - .* 128 +yes' '^$' -- "$kwuni" list ccsid
check list-ccsid-pseudo 0 '^13488 .*pseudo' '^$' -- "$kwuni" list ccsid
check list-ansi-pseudo 0 '^1200 .*pseudo' '^$' -- "$kwuni" list ansi
check list-oem 0 '^437 ' '^$' -- "$kwuni" list oem

rows() { "$kwuni" list "$1" | tail -n +2 | wc -l; }
[ "$(rows ansi)" = 14 ] && [ "$(rows oem)" = 20 ] && [ "$(rows ccsid)" = 50 ] \
  && echo "ok   row-counts" || { echo "FAIL row-counts"; failures=$((failures + 1)); }

if command -v python3 >/dev/null; then
  if "$kwuni" list ccsid --json | python3 -c '
import json, sys
rows = json.load(sys.stdin)
assert len(rows) == 50, len(rows)
assert [r["code"] for r in rows if r["pseudo"]] == [13488]
assert all(r["description"].startswith(str(r["code"]) + " - ") for r in rows)
assert len({r["description"] for r in rows}) == 50
assert sorted(r["code"] for r in rows if r["dbcs"]) == [930, 933, 935, 937, 939, 1364, 1371, 1388, 1390, 1399]
'; then echo "ok   list-json"; else echo "FAIL list-json"; failures=$((failures + 1)); fi
fi

# kwuni tables: the generated tables beside the library, then table files made byte by byte.
check tables-list 0 '^ +37 +352 +352 +0 +no +ok +E37U\.KWX$' '^$' -- "$kwuni" tables
check tables-list-mixed 0 '^ +930 +[0-9]+ +[0-9]+ +[0-9]+ +yes +ok +E930U\.KWX$' '^$' -- "$kwuni" tables
"$kwuni" tables | grep -q 'E924U\|E13488U' && { echo "FAIL tables-none-for-924-13488"; failures=$((failures + 1)); } \
  || echo "ok   tables-none-for-924-13488"
check tables-bad-option 2 '^$' "unknown option '--all' for tables" -- "$kwuni" tables --all
check tables-check-no-file 2 '^$' '--check needs a value' -- "$kwuni" tables --check
check tables-check-two 2 '^$' 'takes one file' -- "$kwuni" tables --check a --check b
check tables-check-json 2 '^$' 'takes no other option' -- "$kwuni" tables --check a --json
check tables-stray 2 '^$' "unexpected argument 'x'" -- "$kwuni" tables x

tables=$(dirname "$("$kwuni" tables | head -1 | sed 's/^Tables in //')")/Tables
check tables-check-real 0 '^entries +352$' '^$' -- "$kwuni" tables --check "$tables/E37U.KWX"
check tables-check-real-mixed 0 '^ccsid +939, mixed' '^$' -- "$kwuni" tables --check "$tables/E939U.KWX"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
t() { printf "$2" >"$scratch/$1"; echo "$scratch/$1"; }  # t NAME BYTES: a table file
check check-good 0 '^entries +2$' '^$' -- "$kwuni" tables --check "$(t E37U.KWX '\x02\x00\xc1\x00\x41\x00\xc2\x00\x42\x00')"
check check-empty 1 '^$' 'E500U\.KWX: truncated: the file is empty' -- "$kwuni" tables --check "$(t E500U.KWX '')"
check check-short 1 '^$' 'E37U\.KWX: truncated: the count announces 5 entries but the data ends before entry 3 \(10 of 22 bytes\)$' \
  -- "$kwuni" tables --check "$(t E37U.KWX '\x05\x00\xc1\x00\x41\x00\xc2\x00\x42\x00')"
check check-mid-entry 1 '^$' 'ends inside entry 2 \(9 of 22 bytes\)$' \
  -- "$kwuni" tables --check "$(t E37U.KWX '\x05\x00\xc1\x00\x41\x00\xc2\x00\x42')"
check check-zero 0 '^entries +0$' 'warning: the count is 0' -- "$kwuni" tables --check "$(t E37U.KWX '\x00\x00')"
check check-negative 0 '^entries +0$' 'warning: the count is negative \(-1, 0xFFFF\)' \
  -- "$kwuni" tables --check "$(t E37U.KWX '\xff\xff\xc1\x00\x41\x00')"
check check-trailing 0 '^entries +1$' 'warning: 3 bytes after the last entry are ignored' \
  -- "$kwuni" tables --check "$(t E37U.KWX '\x01\x00\xc1\x00\x41\x00\x01\x02\x03')"
check check-lost-duplicate 0 '^entries +3$' 'warning: EBCDIC code 0x00C1 is given U\+0041 in entry 1 and U\+0042 in entry 3' \
  -- "$kwuni" tables --check "$(t E37U.KWX '\x03\x00\xc1\x00\x41\x00\xc2\x00\x41\x00\xc1\x00\x42\x00')"
check check-marker 0 '^entries +1$' 'warning: the lead-byte marker U\+FFFE in 1 entry, first 0x000E' \
  -- "$kwuni" tables --check "$(t E930U.KWX '\x01\x00\x0e\x00\xfe\xff')"
check check-dbcs-in-sbcs 0 '^double-byte +1$' 'warning: double-byte codes in 1 entry, first 0x4040 in entry 1, but CCSID 37 is single-byte' \
  -- "$kwuni" tables --check "$(t E37U.KWX '\x01\x00\x40\x40\x00\x30')"
check check-unknown-name 0 '^ccsid +unknown' 'warning: the name matches no catalogued CCSID' \
  -- "$kwuni" tables --check "$(t E1252U.KWX '\x01\x00\xc1\x00\x41\x00')"
check check-missing 1 '^$' "^kwuni: $scratch/nosuch\\.KWX: cannot open: No such file" -- "$kwuni" tables --check "$scratch/nosuch.KWX"
check check-directory 1 '^$' 'is a directory' -- "$kwuni" tables --check "$scratch"
check tables-dir 0 ' corrupt +E500U\.KWX$' '^$' -- "$kwuni" tables --dir "$scratch"
check tables-dir-missing 1 '^$' "$scratch/none: cannot list" -- "$kwuni" tables --dir "$scratch/none"

if command -v python3 >/dev/null; then
  if "$kwuni" tables --json | python3 -c '
import json, sys
listing = json.load(sys.stdin)
tables = {t["ccsid"]: t for t in listing["tables"]}
assert len(tables) == 48 and 924 not in tables and 13488 not in tables, sorted(tables)
assert all(t["error"] is None and t["warnings"] == [] for t in tables.values())
assert all(0 < t["entries"] <= 32767 for t in tables.values())
assert sorted(c for c, t in tables.items() if t["mixed"]) == [930, 933, 935, 937, 939, 1364, 1371, 1388, 1390, 1399]
'; then echo "ok   tables-json"; else echo "FAIL tables-json"; failures=$((failures + 1)); fi
fi

rm -f /tmp/kwuni-cli-err.$$
[ "$failures" = 0 ]
