#!/usr/bin/env bash
# kwuni convert as a user runs it: results byte for byte, against ICU's uconv and glibc's iconv
# where they convert the same data; exit statuses and messages; the samples; data larger than
# the tool's chunks (256 KiB), with double-byte runs, UTF-8 sequences and surrogate pairs across
# every chunk boundary.
set -u
kwuni=$1
samples=$2
failures=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

pass() { echo "ok   $1"; }
fail() { echo "FAIL $1${2:+: $2}"; failures=$((failures + 1)); }
# same NAME FILE EXPECTED-FILE
same() { local why; if why=$(cmp "$2" "$3" 2>&1); then pass "$1"; else fail "$1" "${why%%$'\n'*}"; fi; }
trim() { local s=$1; s=${s#"${s%%[! ]*}"}; echo "${s%"${s##*[! ]}"}"; }
# converts NAME EXPECTED-FILE ARGS...: kwuni convert ARGS succeeds and writes the expected bytes.
converts() {
  local name=$1 expected=$2; shift 2
  if "$kwuni" convert "$@" >out 2>err; then same "$name" out "$expected"; else fail "$name" "status $?: $(head -c 200 err)"; fi
}

# Conversions that succeed. Input and output are printf formats; options are split on blanks.
while IFS='|' read -r name from to options input expected; do
  name=$(trim "$name"); [ -z "$name" ] && continue
  printf "$(trim "$input")" >in
  printf "$(trim "$expected")" >want
  # shellcheck disable=SC2046
  if "$kwuni" convert -f "$(trim "$from")" -t "$(trim "$to")" $(trim "$options") in >out 2>err; then
    same "$name" out want
  else
    fail "$name" "status $?: $(head -c 200 err)"
  fi
done <<'EOF'
hello-37             | 37       | UTF-8    |                   | \xc8\x85\x93\x93\x96                    | Hello
name-ibm-037         | IBM-037  | utf-8    |                   | \xc1                                    | A
name-ccsid           | ccsid37  | UTF8     |                   | \xc1                                    | A
name-cp037-is-host   | cp037    | UTF-8    |                   | \xc1                                    | A
brackets-500         | 500      | UTF-8    |                   | \x4a\x5a                                | []
en-dash-0x1c         | 37       | UTF-8    |                   | \x1c                                    | \xe2\x80\x93
en-dash-back         | UTF-8    | 37       |                   | \xe2\x80\x93                            | \x1c
byte-ff-exact        | UTF-8    | 37       |                   | \xc2\x9f                                | \xff
nel-kept             | 37       | UTF-8    |                   | \xc1\x15\xc2\x25                        | A\xc2\x85B\n
nel-lines            | 37       | UTF-8    | --lines           | \xc1\x15\xc2                            | A\nB
lf-crlf-lines        | UTF-8    | 37       | --lines           | A\r\nB\nC\r                             | \xc1\x15\xc2\x15\xc3\x0d
lf-plain             | UTF-8    | 37       |                   | A\n                                     | \xc1\x25
unmapped-to-37       | UTF-8    | 37       |                   | \xe2\x82\xac                            | \x6f
unmapped-to-933      | UTF-8    | 933      |                   | \xe2\x82\xac                            | \x40
mixed-run            | UTF-8    | 930      |                   | A\xe6\x97\xa5B                          | \xc1\x0e\x45\x62\x0f\xc2
mixed-run-at-end     | UTF-8    | 930      |                   | A\xe6\x97\xa5                           | \xc1\x0e\x45\x62\x0f
mixed-nel-closes-run | UTF-8    | 930      | --lines           | \xe6\x97\xa5\n\xe6\x97\xa5\n            | \x0e\x45\x62\x0f\x15\x0e\x45\x62\x0f\x15
mixed-read           | 930      | UTF-8    |                   | \xc1\x0e\x45\x62\x0f\xc2                | A\xe6\x97\xa5B
mixed-unbalanced     | 930      | UTF-8    |                   | \x0e\x45\x62                            | \xe6\x97\xa5
mixed-lone-lead      | 930      | UTF-8    |                   | \x0e\x45                                | \xe3\x80\x80
mixed-shift-in-alone | 930      | UTF-8    |                   | \x0f\xc1                                | \x20A
mixed-290-is-930     | 290      | UTF-8    |                   | \x0e\x45\x62\x0f                        | \xe6\x97\xa5
non-bmp-one-sub      | UTF-8    | 930      |                   | \xf0\x9f\x98\x80                        | \x6f
13488-is-utf16be     | UTF-8    | 13488    |                   | A\xe6\x97\xa5                           | \x00\x41\x65\xe5
13488-read           | 13488    | UTF-8    |                   | \x0e\x01\x00\x41                        | \xe0\xb8\x81A
utf16le              | UTF-8    | UTF-16LE |                   | Hi\xf0\x9d\x84\x9e                      | H\x00i\x00\x34\xd8\x1e\xdd
utf16be-pair         | UTF-16BE | UTF-8    |                   | \xd8\x34\xdd\x1e                        | \xf0\x9d\x84\x9e
utf16-unpaired-kept  | UTF-16LE | UTF-16BE |                   | \x00\xd8                                | \xd8\x00
utf8-invalid         | UTF-8    | UTF-16BE |                   | a\xff\xe2\x82b                          | \x00a\xff\xfd\xff\xfd\x00b
utf8-bom-kept        | UTF-8    | UTF-16LE |                   | \xef\xbb\xbfA                           | \xff\xfeA\x00
cp1252               | cp1252   | UTF-8    |                   | caf\xe9 \x80                            | caf\xc3\xa9 \xe2\x82\xac
windows-1252-back    | UTF-8    | windows-1252 |               | \xe2\x82\xac                            | \x80
cp932                | cp932    | UTF-8    |                   | \x82\xa0A                               | \xe3\x81\x82A
cp932-back           | UTF-8    | cp932    |                   | \xe3\x81\x82A                           | \x82\xa0A
record-out           | UTF-8    | 37       | --record 4        | AB\r\nC                                 | \xc1\xc2\x40\x40\xc3\x40\x40\x40
record-out-empty     | UTF-8    | 37       | --record 2        | \n\n                                    | \x40\x40\x40\x40
record-out-mixed     | UTF-8    | 930      | --record 5        | \xe6\x97\xa5\nA                         | \x0e\x45\x62\x0f\x40\xc1\x40\x40\x40\x40
record-out-13488     | UTF-8    | 13488    | --record 4        | A                                       | \x00\x41\x00\x20
record-in            | 37       | UTF-8    | --record 4        | \xc1\x40\x40\x40\x40\xc2\xc3            | A\n\x20BC\n
record-in-dbcs-space | 930      | UTF-8    | --record 6        | \xc1\x0e\x40\x40\x0f\x40                | A\xe3\x80\x80\n
record-in-13488      | 13488    | UTF-8    | --record 4        | \x00\x41\x00\x20\x00\x42                | A\nB\n
record-host-to-host  | 37       | 500      | --record 3        | \x4a\x40\x40                            | \xb0\x40\x40
record-exact-fit     | UTF-8    | 37       | --record 4        | ABCD\n                                  | \xc1\xc2\xc3\xc4
record-exact-mixed   | UTF-8    | 930      | --record 4        | \xe6\x97\xa5                            | \x0e\x45\x62\x0f
record-in-whole      | 37       | UTF-8    | --record 2        | \xc1\xc2\xc3\xc4                        | AB\nCD\n
mixed-crlf-lines     | UTF-8    | 930      | --lines           | \xe6\x97\xa5\r\n                        | \x0e\x45\x62\x0f\x15
13488-lines          | UTF-8    | 13488    | --lines           | A\n                                     | \x00\x41\x00\x85
13488-lines-read     | 13488    | UTF-8    | --lines           | \x00\x41\x00\x85                        | A\n
cp65001-is-utf8      | UTF-8    | cp65001  |                   | \xe6\x97\xa5                            | \xe6\x97\xa5
cp1200-is-utf16le    | UTF-8    | cp1200   |                   | A                                       | A\x00
windows-932          | windows-932 | UTF-8 |                   | \x82\xa0                                | \xe3\x81\x82
ibm-930-name         | IBM-930  | UTF-8    |                   | \x0e\x45\x62\x0f                        | \xe6\x97\xa5
utf8-overlong        | UTF-8    | UTF-16BE |                   | \xc0\x80                                | \xff\xfd\xff\xfd
utf8-surrogate       | UTF-8    | UTF-16BE |                   | \xed\xa0\x80                            | \xff\xfd\xff\xfd\xff\xfd
utf8-above-10ffff    | UTF-8    | UTF-16BE |                   | \xf4\x90\x80\x80                        | \xff\xfd\xff\xfd\xff\xfd\xff\xfd
utf8-max             | UTF-8    | UTF-16BE |                   | \xf4\x8f\xbf\xbf                        | \xdb\xff\xdf\xff
composed-to-37       | UTF-8    | 37       |                   | e\xcc\x81                               | \x51
composed-to-930      | UTF-8    | 930      |                   | \xe3\x81\x8b\xe3\x82\x99               | \x0e\x44\xc0\x0f
composes-with-none   | UTF-8    | 37       |                   | x\xcc\x81                               | \xa7\x6f
angstrom-sign-kept   | UTF-8    | 37       |                   | \xe2\x84\xab                            | \x6f
composed-to-cp1252   | UTF-8    | cp1252   |                   | e\xcc\x81                               | \xe9
utf7-out             | UTF-8    | UTF-7    |                   | \xe6\x97\xa5\xe6\x9c\xac a+b ~        | +ZeVnLA- a+-b +AH4-
utf7-in              | UTF-7    | UTF-8    |                   | Hi Mom -+Jjo--! +ZeVnLIqe               | Hi Mom -\xe2\x98\xba-! \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e
utf7-cp65000-to-930  | cp65000  | 930      |                   | A+ZeU-                                  | \xc1\x0e\x45\x62\x0f
utf7-non-bmp         | UTF-8    | UTF-7    |                   | \xf0\x9f\x98\x80                        | +2D3eAA-
EOF

# Failures: the status and a pattern of the one line on standard error.
printf '\xc1' >a.37
printf '\xc2' >b.37
printf 'AB\xffCD' >bad.txt
while IFS='|' read -r name status pattern input command; do
  name=$(trim "$name"); [ -z "$name" ] && continue
  printf "$(trim "$input")" >in
  # shellcheck disable=SC2086
  "$kwuni" convert $(trim "$command") >out 2>err
  s=$?
  if [ "$s" = "$(trim "$status")" ] && [ "$(wc -l <err)" -le 2 ] && grep -Eq -- "$(trim "$pattern")" err; then
    pass "$name"
  else
    fail "$name" "status $s, stderr: $(head -c 200 err)"
  fi
done <<'EOF'
no-encodings      | 2 | convert needs -f FROM and -t TO                        |                      | in
no-value          | 2 | -f needs a value                                       |                      | -t 37 -f
bad-option        | 2 | unknown option '--fast' for convert                    |                      | -f 37 -t UTF-8 --fast in
record-zero       | 2 | --record needs a length from 1                         |                      | -f 37 -t UTF-8 --record 0 in
record-word       | 2 | not 'ten'                                              |                      | -f 37 -t UTF-8 --record=ten in
lines-and-record  | 2 | exclude each other                                     |                      | -f 37 -t UTF-8 --lines --record 80 in
lines-no-host     | 2 | neither side is a CCSID                                |                      | -f UTF-8 -t cp1252 --lines in
record-13488-odd  | 2 | needs an even length                                   |                      | -f 13488 -t UTF-8 --record 5 in
flag-with-value   | 2 | --strict takes no value                                |                      | -f 37 -t UTF-8 --strict=yes in
unknown-ccsid     | 1 | ^kwuni: unknown CCSID '99'                             |                      | -f 99 -t UTF-8 in
code-page-hint    | 1 | unknown CCSID '1252'.*say cp1252                       |                      | -f 1252 -t UTF-8 in
unknown-code-page | 1 | unknown code page 'cp4242'                             |                      | -f cp4242 -t UTF-8 in
shift-state-cp    | 1 | code page 57002 keeps a shift state                    |                      | -f cp57002 -t UTF-8 in
utf16-no-order    | 1 | say UTF-16LE or UTF-16BE                               |                      | -f UTF-16 -t UTF-8 in
missing-input     | 1 | ^kwuni: nosuch: cannot open: No such file              |                      | -f 37 -t UTF-8 nosuch
second-missing    | 1 | nosuch: cannot open                                    |                      | -f 37 -t UTF-8 a.37 nosuch
directory-input   | 1 | ^kwuni: \.: cannot read: Is a directory                |                      | -f 37 -t UTF-8 .
odd-utf16         | 1 | ^kwuni: in: odd length \(3 bytes\)                     | AB\x00               | -f UTF-16LE -t UTF-8 in
odd-13488         | 1 | odd length \(3 bytes\)                                 | \x00A\x00            | -f 13488 -t UTF-8 in
strict-byte       | 1 | ^kwuni: in: offset 2: byte 0x57 has no mapping in CCSID 930$ | \xc1\xc2\x57\xc3 | -f 930 -t UTF-8 --strict in
strict-dbcs       | 1 | in: offset 2: double-byte code 0x41FF has no mapping   | \xc1\x0e\x41\xff\x0f | -f 930 -t UTF-8 --strict in
strict-shift-in   | 1 | in: offset 0: shift-in 0x0F outside a double-byte run  | \x0f\xc1             | -f 930 -t UTF-8 --strict in
strict-cut-lead   | 1 | in: offset 4: double-byte character 0x45 cut off by the end of the input | \xc1\x0e\x45\x62\x45 | -f 930 -t UTF-8 --strict in
strict-cut-record | 1 | offset 7: double-byte character 0x45 cut off by the end of the record | \xc1\xc1\xc1\xc1\x0e\x45\x62\x45 | -f 930 -t UTF-8 --strict --record 4 in
strict-utf8       | 1 | in: offset 2: invalid UTF-8 0xFF$                      | ab\xffcd             | -f UTF-8 -t 37 --strict in
strict-utf8-cut   | 1 | in: offset 1: UTF-8 sequence 0xE2 0x82 cut short       | a\xe2\x82            | -f UTF-8 -t 37 --strict in
strict-to-37      | 1 | in: offset 3: U\+20AC cannot be represented in CCSID 37 | abc\xe2\x82\xac     | -f UTF-8 -t 37 --strict in
strict-to-930-pair| 1 | in: offset 1: U\+1F600 cannot be represented in CCSID 930 | A\xf0\x9f\x98\x80 | -f UTF-8 -t 930 --strict in
strict-unpaired   | 1 | in: offset 2: unpaired surrogate U\+D800 cannot be written in UTF-8 | A\x00\x00\xd8 | -f UTF-16LE -t UTF-8 --strict in
strict-to-cp1252  | 1 | in: offset 1: U\+2603 cannot be represented in code page 1252 | a\xe2\x98\x83 | -f UTF-8 -t cp1252 --strict in
strict-from-cp932 | 1 | in: offset 2: the character starting with byte 0xFF has no mapping in code page 932 | \x82\xa0\xff | -f cp932 -t UTF-8 --strict in
strict-names-file | 1 | ^kwuni: bad\.txt: offset 2: byte 0xFF has no mapping in code page 1253|  | -f cp1253 -t UTF-8 --strict a.37 bad.txt
record-too-long   | 1 | ^kwuni: in: line 2 needs 6 bytes, more than the record length 5$ | A\n\xe6\x97\xa5\xe6\x97\xa5 | -f UTF-8 -t 930 --record 5 in
record-shift-in-counts | 1 | line 1 needs 7 bytes, more than the record length 6 | A\xe6\x97\xa5\xe6\x97\xa5 | -f UTF-8 -t 930 --record 6 in
EOF

# A library without its tables beside it: the tool names the file it could not open.
mkdir lonely
cp -L "$(dirname "$kwuni")"/../libkwuni.so.0 "$(dirname "$kwuni")"/../resources/libkwres.so.0 lonely/
printf '\xc1' >in
LD_LIBRARY_PATH=$PWD/lonely "$kwuni" convert -f 37 -t UTF-8 in >out 2>err
[ $? = 1 ] && grep -qx "kwuni: CCSID 37: no translation table: cannot open $PWD/lonely/Tables/E37U.KWX" err \
  && pass missing-table || fail missing-table "$(cat err)"

# --stats: characters on both sides, a surrogate pair counted once.
printf 'A\xe2\x82\xac\xf0\x9f\x98\x80\n' >in
"$kwuni" convert -f UTF-8 -t 37 --stats in >out 2>err
grep -qx 'kwuni: 4 characters converted, 2 substituted' err && cmp -s out <(printf '\xc1\x6f\x6f\x25') \
  && pass stats || fail stats "$(cat err)"

# Standard input, and several files, '-' among them: each is decoded on its own (a double-byte
# run does not go on into the next file), and the texts are joined.
printf '\xc3' >c.37
converts files-and-stdin <(printf ACB) -f 37 -t UTF-8 a.37 - b.37 <c.37
printf '\xc1\x0e\x45' >run1.930
printf '\x62\x0f\xc2' >run2.930
printf 'e' >e.txt
printf '\xcc\x81' >acute.txt
converts files-composed-across <(printf '\x51') -f UTF-8 -t 37 e.txt acute.txt
converts files-decoded-apart <(printf 'A\xe3\x80\x80a B') -f 930 -t UTF-8 run1.930 run2.930

# -o: written whole or not at all; an existing file keeps its contents and permissions.
printf 'old contents\n' >kept.txt
chmod 640 kept.txt
"$kwuni" convert -f UTF-8 -t 37 --strict -o kept.txt bad.txt 2>err
s=$?
[ $s = 1 ] && cmp -s kept.txt <(printf 'old contents\n') && [ "$(ls -A | grep -c kwuni-)" = 0 ] \
  && pass output-kept-on-failure || fail output-kept-on-failure "status $s, $(ls -A)"
"$kwuni" convert -f 37 -t UTF-8 -o kept.txt a.37 nosuch 2>/dev/null
cmp -s kept.txt <(printf 'old contents\n') && [ "$(ls -A | grep -c kwuni-)" = 0 ] \
  && pass output-kept-on-missing-input || fail output-kept-on-missing-input
"$kwuni" convert -f 37 -t UTF-8 -o kept.txt a.37; same output-replaced kept.txt <(printf A)
[ "$(stat -c %a kept.txt)" = 640 ] && pass output-permissions || fail output-permissions "$(stat -c %a kept.txt)"
"$kwuni" convert -f 37 -t UTF-16BE -o a.37 a.37; same output-over-input a.37 <(printf '\x00A')
"$kwuni" convert -f 37 -t UTF-8 -o nodir/x a.37 2>err
[ $? = 1 ] && grep -q 'nodir/x: cannot create a temporary file in nodir/' err && pass output-no-directory \
  || fail output-no-directory "$(cat err)"
if [ -w /dev/full ]; then
  "$kwuni" convert -f 37 -t UTF-8 a.37 >/dev/full 2>err
  [ $? = 1 ] && grep -q '^kwuni: standard output: cannot write: No space left' err && pass output-full \
    || fail output-full "$(cat err)"
fi
"$kwuni" convert -f 37 -t UTF-8 -o . b.37 2>err
[ $? = 1 ] && grep -q '^kwuni: \.: is a directory' err && pass output-directory || fail output-directory "$(cat err)"

# The bundled samples read back to their UTF-8 originals, and the originals make them again.
converts sample-930-read "$samples/orders.txt" -f 930 -t UTF-8 --lines "$samples/orders.cp930"
converts sample-930-made "$samples/orders.cp930" -f UTF-8 -t 930 --lines --strict "$samples/orders.txt"
converts sample-37-read "$samples/customers.txt" -f 37 -t UTF-8 --record 80 "$samples/customers.cp37"
converts sample-37-made "$samples/customers.cp37" -f UTF-8 -t 37 --record 80 --strict "$samples/customers.txt"
uconv -f ibm-930 -t UTF-8 "$samples/orders.cp930" | sed 's/\xc2\x85/\n/g' >out; same sample-930-icu out "$samples/orders.txt"

# Stopped by a signal, the conversion leaves neither OUTPUT nor its temporary file.
mkfifo feed
sleep 30 >feed &
feeder=$!
"$kwuni" convert -f 37 -t UTF-8 -o stopped.txt <feed &
pid=$!
for _ in $(seq 100); do ls -A | grep -q '^\.stopped\.txt\.kwuni-' && break; sleep 0.05; done
kill -TERM "$pid"; wait "$pid" 2>/dev/null
ls -A | grep -q 'stopped' && fail output-removed-on-signal "$(ls -A | grep stopped)" || pass output-removed-on-signal
kill "$feeder"; wait "$feeder" 2>/dev/null

# Single-byte CCSIDs against ICU and glibc: every byte (but 0x1C, which reads as U+2013 here),
# and back to the same bytes.
python3 -c 'import sys; sys.stdout.buffer.write(bytes(b for b in range(256) if b != 0x1c))' >all.bin
for ccsid in 37 500 1047 273; do
  glibc=IBM$ccsid; [ "$ccsid" = 37 ] && glibc=IBM037
  "$kwuni" convert -f "$ccsid" -t UTF-8 all.bin >ours.txt
  uconv -f "ibm-$ccsid" -t UTF-8 all.bin >icu.txt && same "every-byte-$ccsid-icu" ours.txt icu.txt
  iconv -f "$glibc" -t UTF-8 all.bin >glibc.txt && same "every-byte-$ccsid-iconv" ours.txt glibc.txt
  "$kwuni" convert -f UTF-8 -t "$ccsid" --strict icu.txt >back.bin && same "every-byte-$ccsid-back" back.bin all.bin
done

# Data larger than a chunk. Each chunk boundary falls at a different place: inside a double-byte
# character, after a shift-out, before and after a shift-in, between two double-byte characters,
# between single bytes; inside a UTF-8 sequence and between two of them; inside a surrogate pair.
python3 - <<'PY'
import random, subprocess
random.seed(930)
MiB = 1 << 20
def icu(text, to):
    return subprocess.run(["uconv", "-f", "utf-8", "-t", to], input=text.encode(), capture_output=True, check=True).stdout
kanji = "日本語東京大阪株式会社注文番号数量価格合計請求書納品書受注発送倉庫在庫商品顧客アイウエオカキクケコサシスセソ"
host = icu(kanji, "ibm-930")
pairs = [host[i:i + 2] for i in range(1, len(host) - 1, 2)]
singles = icu("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ", "ibm-930")

# Host data, built so that byte B-1 (the last of a chunk) or B is the named one.
data = bytearray()
def single(n):
    data.extend(random.choice(singles) for _ in range(n))
def run(n):
    data.append(0x0E)
    for _ in range(n): data.extend(random.choice(pairs))
    data.append(0x0F)
def fill(upto):
    while len(data) < upto - 400:
        single(random.randint(1, 40)); run(random.randint(1, 60))
    single(1)
for k, where in enumerate(["lead", "shift-out", "shift-in-next", "shift-in", "trail", "single"], 1):
    b = k * MiB
    fill(b)
    n = 7
    start = {"lead": b - 2 - 2 * 4, "shift-out": b - 1, "shift-in-next": b - 1 - 2 * n,
             "shift-in": b - 2 - 2 * n, "trail": b - 2 - 2 * 4, "single": b + 3}[where]
    single(start - len(data)); run(n)
    if where == "lead": assert data[b - 1] in {p[0] for p in pairs} and data[b - 2 - 2 * 4] == 0x0E
    if where == "shift-out": assert data[b - 1] == 0x0E
    if where == "shift-in-next": assert data[b] == 0x0F
    if where == "shift-in": assert data[b - 1] == 0x0F
single(5); run(3); single(1)
open("big.930", "wb").write(data)

# UTF-8 text with its boundaries between and inside characters, and next to Latin letters.
text = []
size = 0
def add(s):
    global size
    text.append(s); size += len(s.encode())
for k, where in enumerate(["kanji|kanji", "kanji|A", "A|kanji", "in-kanji", "in-kanji-2", "CRLF"], 1):
    b = k * MiB
    while size < b - 200:
        add(random.choice("ABC 123") * random.randint(1, 20) + random.choice(kanji) * random.randint(1, 30))
    pad = {"kanji|kanji": b - 3, "kanji|A": b - 3, "A|kanji": b - 1, "in-kanji": b - 1, "in-kanji-2": b - 2, "CRLF": b - 1}[where]
    add("Z" * (pad - size))
    add({"kanji|kanji": "日本", "kanji|A": "日A", "A|kanji": "A日", "in-kanji": "日", "in-kanji-2": "日", "CRLF": "\r\n"}[where])
add("END\n")
open("big.txt", "w", encoding="utf-8").write("".join(text))

# UTF-8 and UTF-16 with a four-byte character and a surrogate pair across the boundary.
astral = "A" * (MiB - 2) + "\U0001D11E" + "B" * 100
open("astral.txt", "w", encoding="utf-8").write(astral)
open("astral.utf16le", "wb").write(("A" * (MiB // 2 - 1) + "\U0001D11E" + "B").encode("utf-16-le"))
# Windows code page 932 with double-byte characters around the boundary.
open("big.cp932", "wb").write(("あ" * (MiB // 2 - 1) + "A漢字" * 10 + " " + "かな" * 100).encode("cp932"))
# Fixed records that straddle chunks, in CCSID 37 and mixed CCSID 930.
lines = ["LINE %06d %s" % (i, "X" * (i % 50 + 1)) for i in range(20000)]
open("records.txt", "w").write("\n".join(lines) + "\n")
mixed = ["%05d:%s" % (i, "日本語"[: i % 4] + "AB" * (i % 3)) for i in range(150000)]
open("mixed-records.txt", "w", encoding="utf-8").write("\n".join(mixed) + "\n")
PY

uconv -f ibm-930 -t UTF-8 big.930 >big-930.icu.txt
converts chunks-930-read big-930.icu.txt -f 930 -t UTF-8 big.930
converts chunks-930-read-stdin big-930.icu.txt -f 930 -t UTF-8 <big.930
converts chunks-930-back big.930 -f UTF-8 -t 930 --strict big-930.icu.txt
uconv -f UTF-8 -t ibm-930 big.txt >big.icu.930
converts chunks-930-write big.icu.930 -f UTF-8 -t 930 big.txt
converts chunks-930-write-back big.txt -f 930 -t UTF-8 big.icu.930
"$kwuni" convert -f UTF-8 -t 930 --lines big.txt | "$kwuni" convert -f 930 -t UTF-8 --lines >out
tr -d '\r' <big.txt >big-lf.txt && same chunks-930-crlf-lines out big-lf.txt
converts chunks-utf8-4-byte <(iconv -f UTF-8 -t UTF-16BE astral.txt) -f UTF-8 -t UTF-16BE astral.txt
converts chunks-utf16-pair <(iconv -f UTF-16LE -t UTF-8 astral.utf16le) -f UTF-16LE -t UTF-8 --strict astral.utf16le
# UTF-7 runs cross every chunk boundary both ways; glibc reads what we write, and we read its.
"$kwuni" convert -f UTF-8 -t UTF-7 big.txt >big.utf7
converts chunks-utf7-glibc-reads big.txt -f UTF-7 -t UTF-8 --strict big.utf7
iconv -f UTF-7 -t UTF-8 big.utf7 >big-utf7.txt && same chunks-utf7-ours-by-glibc big-utf7.txt big.txt
iconv -f UTF-8 -t UTF-7 astral.txt >astral.utf7
converts chunks-utf7-theirs astral.txt -f UTF-7 -t UTF-8 --strict astral.utf7
converts chunks-cp932 <(python3 -c 'import sys; sys.stdout.buffer.write(open("big.cp932","rb").read().decode("cp932").encode())') -f cp932 -t UTF-8 --strict big.cp932
"$kwuni" convert -f UTF-8 -t 37 --record 80 records.txt >rec.37
[ "$(stat -c %s rec.37)" = $((20000 * 80)) ] && pass chunks-records-size || fail chunks-records-size
converts chunks-records-back records.txt -f 37 -t UTF-8 --record 80 rec.37
"$kwuni" convert -f UTF-8 -t 930 --record 24 --strict mixed-records.txt >rec.930
converts chunks-mixed-records mixed-records.txt -f 930 -t UTF-8 --record 24 --strict rec.930
python3 -c '
import sys
data = open("rec.930", "rb").read()
for r in range(0, len(data), 24):
    shifted = False
    for b in data[r:r + 24]:
        shifted = True if b == 0x0E else False if b == 0x0F else shifted
    assert not shifted, "record %d is left shifted" % (r // 24)
' && pass chunks-mixed-records-balanced || fail chunks-mixed-records-balanced

# Offsets past the first chunk: a byte with no mapping, invalid UTF-8, and a character that
# cannot be written, each named at its place in the whole input.
read -r late930 late8 < <(python3 -c '
data = bytearray(open("big.930", "rb").read())
at930 = data.index(0x0F, 3_000_000) + 1  # after a shift-in
data[at930:at930] = b"\x57"
open("late-bad.930", "wb").write(data)
text = open("big.txt", "rb").read()
at8 = next(i for i in range(2_500_000, len(text)) if text[i] < 0x80)
open("late-bad.txt", "wb").write(text[:at8] + b"\xff" + text[at8:])
open("late-euro.txt", "wb").write(b"A" * 3_000_000 + "\u20ac".encode())
print(at930, at8)
')
"$kwuni" convert -f 930 -t UTF-8 --strict late-bad.930 >/dev/null 2>err
grep -qx "kwuni: late-bad.930: offset $late930: byte 0x57 has no mapping in CCSID 930" err \
  && pass strict-late-byte || fail strict-late-byte "$(cat err)"
"$kwuni" convert -f UTF-8 -t 930 --strict late-bad.txt >/dev/null 2>err
grep -qx "kwuni: late-bad.txt: offset $late8: invalid UTF-8 0xFF" err && pass strict-late-utf8 || fail strict-late-utf8 "$(cat err)"
"$kwuni" convert -f UTF-8 -t 37 --strict late-euro.txt >/dev/null 2>err
grep -qx 'kwuni: late-euro.txt: offset 3000000: U+20AC cannot be represented in CCSID 37' err \
  && pass strict-late-encode || fail strict-late-encode "$(cat err)"
"$kwuni" convert -f 930 -t UTF-8 --stats big.930 >/dev/null 2>err
[ "$(cat err)" = "kwuni: $(python3 -c 'print(len(open("big-930.icu.txt", encoding="utf-8").read()))') characters converted, 0 substituted" ] \
  && pass stats-big || fail stats-big "$(cat err)"

[ "$failures" = 0 ]
