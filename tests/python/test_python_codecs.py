"""kwuni's single-byte CCSIDs against Python's own EBCDIC codecs: every byte decoded, and every
character Python's codec maps encoded. They agree except where this table says, and why."""

import pytest

PAIRS = [("cp037", 37), ("cp273", 273), ("cp500", 500), ("cp875", 875), ("cp1026", 1026), ("cp1140", 1140)]

EN_DASH = "kwuni's table loader maps EBCDIC 0x1C and U+2013 to each other in every single-byte CCSID; U+001C still writes 0x1C"
UNASSIGNED_875 = "unassigned in CCSID 875; Python's cp875 reads every unassigned byte as U+001A SUBSTITUTE"

# (codec, "decode", byte) or (codec, "encode", character): (kwuni's result, Python's, why);
# None: no mapping. kwuni's tables come from ICU's converters ibm-<ccsid>.
DIFFERENCES = {
    **{(codec, "decode", 0x1C): ("\u2013", "\x1c", EN_DASH) for codec, _ in PAIRS},
    ("cp273", "decode", 0xBC): ("\u00af", "\u203e", "ICU's ibm-273 has the macron at 0xBC, Python's cp273 the overline; kwuni writes both as 0xBC"),
    **{("cp875", "decode", byte): (None, "\x1a", UNASSIGNED_875) for byte in (0xDC, 0xE1, 0xEC, 0xED, 0xFC, 0xFD)},
    ("cp875", "encode", "\x1a"): (
        b"\x3f",
        b"\xfd",
        "kwuni writes the EBCDIC SUB control 0x3F, which both read as U+001A; Python writes the last of the bytes it reads as U+001A",
    ),
    ("cp1026", "decode", 0x9A): (
        "\u20ba",
        "\u00aa",
        "ICU's ibm-1026 has the Turkish lira sign at 0x9A, Python's cp1026 the feminine ordinal; kwuni writes both as 0x9A",
    ),
}

def decoded(byte, name):
    try:
        return bytes([byte]).decode(name)
    except UnicodeDecodeError:
        return None


def encoded(char, name):
    try:
        return char.encode(name)
    except UnicodeEncodeError:
        return None


def differences(codec, ccsid):
    found = {}
    for byte in range(256):
        ours, theirs = decoded(byte, f"kwuni-{ccsid}"), decoded(byte, codec)
        if ours != theirs:
            found[codec, "decode", byte] = (ours, theirs)
    for char in {decoded(byte, codec) for byte in range(256)}:
        ours, theirs = encoded(char, f"kwuni-{ccsid}"), encoded(char, codec)
        if ours != theirs:
            found[codec, "encode", char] = (ours, theirs)
    return found


@pytest.mark.parametrize("codec, ccsid", PAIRS)
def test_against_python_codec(codec, ccsid):
    expected = {key: value[:2] for key, value in DIFFERENCES.items() if key[0] == codec}
    assert differences(codec, ccsid) == expected
