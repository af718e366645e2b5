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

rm -f /tmp/kwuni-cli-err.$$
[ "$failures" = 0 ]
