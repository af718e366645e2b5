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
check version 0 '^kwuni [0-9]+\.[0-9]+\.[0-9]+ \(conversion kernels: (avx512|avx2|scalar)\)$' '^$' -- "$kwuni" --version
check version-scalar 0 'conversion kernels: scalar\)$' '^$' -- env KWUNI_KERNELS=scalar "$kwuni" --version
check version-unknown 0 'conversion kernels: (avx512|avx2|scalar)\)$' '^kwuni: KWUNI_KERNELS=fast is not scalar, avx2 or avx512; using ' \
  -- env KWUNI_KERNELS=fast "$kwuni" --version
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

# The national-language catalogues, for an English-speaking user.
export LC_ALL=C
check list-nlv 0 '^2962 +2962 - Japanese +128$' '^$' -- "$kwuni" list nlv
check list-locales-all 0 '^0xFFFF +All Locales +0 +0 +all locales$' '^$' -- "$kwuni" list locales
check list-locales-group 0 '^0xFC09 +English \(All\) .* group$' '^$' -- "$kwuni" list locales
check list-locales-ja 0 '^0x0411 +Japanese \(Japan\) +930 +2962 +locale$' '^$' -- "$kwuni" list locales
check list-calendars-ja 0 '^3 +3 - Japanese era .* 128 +平成, 昭和, 大正, 明治$' '^$' -- "$kwuni" list calendars 0x0411
check list-numformats-us 0 '^#,##0;-#,##0$' '^$' -- "$kwuni" list numformats 409
check list-datefmts-us 0 '^short +M/d/yyyy$' '^$' -- "$kwuni" list datefmts 0x409
check list-locale-unlisted 1 '^$' 'locale 0x040D is not in the catalogue' -- "$kwuni" list datefmts 0x40d
check list-locale-bad 2 '^$' "'0xZZ' is not a locale id" -- "$kwuni" list calendars 0xZZ
check list-locale-unwanted 2 '^$' 'list nlv takes no locale' -- "$kwuni" list nlv 0x0409
check locale-ja 0 '^name +Japanese \(Japan\)$' '^$' -- "$kwuni" locale 0x0411
check locale-ja-ccsid 0 '^host code page +930 ' '^$' -- "$kwuni" locale 0x0411
check locale-ja-nlv 0 '^NLV +2962 ' '^$' -- "$kwuni" locale 0x0411
check locale-ja-era 0 '^calendar +3 - Japanese era .*eras: 平成' '^$' -- "$kwuni" locale 0x0411
check locale-ja-number 0 '^number format +#,##0;-#,##0$' '^$' -- "$kwuni" locale 0x0411
check locale-missing 2 '^$' 'locale needs a locale id' -- "$kwuni" locale
check locale-unlisted 1 '^$' 'locale 0x12345 is not in the catalogue' -- "$kwuni" locale 12345

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
  if "$kwuni" list locales --json | python3 -c '
import json, sys
rows = json.load(sys.stdin)
locales = [r["lcid"] for r in rows if r["entry"] == "locale"]
assert rows[0]["lcid"] == 0xFFFF and len(locales) == len(set(locales)), "All Locales first, every locale once"
# Languages that share a primary language id (Bosnian, Croatian, Serbian) share a group id, and
# a group id has one name: that of its first entry.
groups = [r for r in rows if r["entry"] == "group"]
assert groups and all(g["name"].endswith(" (All)") and g["lcid"] & 0xFC00 == 0xFC00 for g in groups)
assert all(r["ccsid"] > 0 and r["nlv"] > 0 for r in rows if r["entry"] == "locale")
' && "$kwuni" locale 0x0411 --json | python3 -c '
import json, sys
r = json.load(sys.stdin)
assert (r["name"], r["ccsid"], r["nlv"]) == ("Japanese (Japan)", 930, 2962), r
assert any(c["calendar"] == 3 and "平成" in c["eras"] for c in r["calendars"]), r["calendars"]
assert r["dateFormats"]["short"], r["dateFormats"]
'; then echo "ok   locales-json"; else echo "FAIL locales-json"; failures=$((failures + 1)); fi
fi

# kwuni tables: the generated tables beside the library, then table files made byte by byte.
check tables-list 0 '^ +37 +352 +352 +0 +no +ok +E37U\.KWX$' '^$' -- "$kwuni" tables
check tables-list-mixed 0 '^ +930 +[0-9]+ +[0-9]+ +[0-9]+ +yes +ok +E930U\.KWX$' '^$' -- "$kwuni" tables
"$kwuni" tables | grep -q 'E13488U' && { echo "FAIL tables-none-for-13488"; failures=$((failures + 1)); } \
  || echo "ok   tables-none-for-13488"
check tables-list-924 0 '^ +924 +[0-9]+ +[0-9]+ +0 +no +ok +E924U\.KWX$' '^$' -- "$kwuni" tables
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
assert len(tables) == 49 and 924 in tables and 13488 not in tables, sorted(tables)
assert all(t["error"] is None and t["warnings"] == [] for t in tables.values())
assert all(0 < t["entries"] <= 32767 for t in tables.values())
assert sorted(c for c, t in tables.items() if t["mixed"]) == [930, 933, 935, 937, 939, 1364, 1371, 1388, 1390, 1399]
'; then echo "ok   tables-json"; else echo "FAIL tables-json"; failures=$((failures + 1)); fi
fi

# kwuni field: a key script typed into an empty field, then the cells and host bytes it leaves.
field() {  # field NAME CELLS HOST -- ARGS...
  local name=$1 cells=$2 host=$3; shift 4
  local o s
  o=$("$kwuni" field "$@" 2>&1); s=$?
  if [ "$s" = 0 ] && grep -qxF "cells    $cells" <<<"$o" && grep -qxF "host     $host" <<<"$o"; then
    echo "ok   $name"
  else
    echo "FAIL $name: status $s"; sed 's/^/  /' <<<"$o"; failures=$((failures + 1))
  fi
}
field field-either-dbcs '«漢字······»' '0E 4F 58 48 F2 00 00 00 00 00 00 0F' \
  -- --ccsid 930 --kind either --length 12 --keys '漢字'
field field-either-sbcs 'AB··········' 'C1 C2 00 00 00 00 00 00 00 00 00 00' \
  -- --ccsid 930 --kind either --length 12 --keys 'AB漢'
field field-either-emptied 'AB··········' 'C1 C2 00 00 00 00 00 00 00 00 00 00' \
  -- --ccsid 930 --kind either --length 12 --keys '漢\h\r\d\h\dAB'
field field-open-mix 'AB«漢字»C··' 'C1 C2 0E 4F 58 48 F2 0F C3 00 00' -- --length 11 --keys 'AB漢字C'
field field-open-edit 'AB1«漢字»D··········' 'C1 C2 F1 0E 4F 58 48 F2 0F C4 00 00 00 00 00 00 00 00 00 00' \
  -- --kind open --length 20 --keys 'AB漢字C\h\r\r\i1\e\bD'
field field-open-split 'A«漢»B«字»·' 'C1 0E 4F 58 0F C2 0E 48 F2 0F 00' -- --length 11 --keys 'A漢字\l\iB'
field field-open-full 'ABCD' 'C1 C2 C3 C4' -- --length 4 --keys 'ABCD\h\iE漢'
field field-only '«漢····»' '0E 4F 58 00 00 00 00 0F' -- --kind only --length 8 --keys 'A漢'
field field-pure '　漢··' '40 40 4F 58 00 00' -- --kind pure --length 6 --keys '\r漢'
field field-none 'ab····' '62 63 00 00 00 00' -- --kind none --length 6 --keys 'a漢b'
field field-unicode '«aé漢»····' '0E 00 61 00 E9 6F 22 0F 00 00 00 00' -- --ccsid 13488 --length 10 --keys 'aé漢'
field field-backslash 'a\b···' '62 B2 63 00 00 00' -- --length 6 --keys 'a\\b'
check field-refused 0 '^refused +1$' '^$' -- "$kwuni" field --kind either --length 12 --keys 'AB漢'
check field-mode 0 '^mode +insert$' '^$' -- "$kwuni" field --keys '\i'
check field-help 0 '^usage: kwuni field' '^$' -- "$kwuni" field --help
check field-kind 2 '^$' "unknown field kind 'mixed' \(expected only, pure, either, open or none\)" \
  -- "$kwuni" field --kind mixed --keys a
check field-length-zero 2 '^$' '--length 0 is out of range \(1 to 3564\)' -- "$kwuni" field --length 0 --keys a
check field-length-big 2 '^$' '--length 3565 is out of range' -- "$kwuni" field --length 3565 --keys a
check field-length-text 2 '^$' "--length takes a number, not '4x'" -- "$kwuni" field --length 4x --keys a
check field-length-missing 2 '^$' '--length needs a value' -- "$kwuni" field --length
check field-ccsid 2 '^$' 'CCSID 1234 is not a host CCSID' -- "$kwuni" field --ccsid 1234 --keys a
check field-utf8 2 '^$' 'invalid UTF-8 at byte 2 of --keys' -- "$kwuni" field --keys "$(printf 'a\xff')"
check field-overlong 2 '^$' 'invalid UTF-8 at byte 1 of --keys' -- "$kwuni" field --keys "$(printf '\xc0\xafa')"
check field-cut-utf8 2 '^$' 'invalid UTF-8 at byte 2 of --keys' -- "$kwuni" field --keys "$(printf 'a\xe6\xbc')"
check field-astral 2 '^$' 'U\+1F600 at byte 2 of --keys lies beyond U\+FFFF' -- "$kwuni" field --keys "$(printf 'a\xf0\x9f\x98\x80')"
check field-control 2 '^$' 'control character U\+0009 at byte 2' -- "$kwuni" field --keys "$(printf 'a\tb')"
check field-escape 2 '^$' "unknown escape '\\\\q' at byte 2" -- "$kwuni" field --keys 'a\q'
check field-lone-backslash 2 '^$' 'ends inside an escape' -- "$kwuni" field --keys 'ab\'
check field-option 2 '^$' "unknown option '--keyz' for field" -- "$kwuni" field --keyz a
check field-no-terminal 2 '^$' 'field needs a terminal' -- "$kwuni" field </dev/null

# Diagnostics: a fault caught as its typed exception, with a trace naming the faulting function.
check trace-selftest-class 0 '^caught se_translator::access_violation$' '^$' -- "$kwuni" trace --selftest
check trace-selftest-name 0 '^name: +Access Violation$' '^$' -- "$kwuni" trace --selftest
check trace-selftest-frame 0 '^  kwuni!.*writeToUnmappedMemory\(\)\+[0-9]+  .*trace_command\.cpp:[0-9]+$' '^$' \
  -- "$kwuni" trace --selftest
check trace-selftest-caller 0 'traceCommand\(\)\+[0-9]+ ' '^$' -- "$kwuni" trace --selftest
check trace-missing 2 '^$' 'trace needs --selftest' -- "$kwuni" trace
check trace-other 2 '^$' 'trace takes only --selftest' -- "$kwuni" trace --now

rm -f /tmp/kwuni-cli-err.$$
[ "$failures" = 0 ]
