import codecs
import threading
from array import array

import pytest

from conftest import MIXED, SAMPLES


def test_mixed_sample_reads_as_its_text(orders):
    # The sample was written with host new-lines, which CCSID 930 reads as NEL.
    text = (SAMPLES / "orders.txt").read_text(encoding="utf-8")
    assert orders.decode("kwuni-930") == text.replace("\n", "\x85")
    assert text.replace("\n", "\x85").encode("kwuni-930") == orders


def test_record_sample_reads_as_its_text(customers):
    lines = (SAMPLES / "customers.txt").read_text(encoding="utf-8").splitlines()
    text = customers.decode("kwuni-37")
    assert [text[i : i + 80].rstrip(" ") for i in range(0, len(text), 80)] == lines
    assert text.encode("kwuni-37") == customers


@pytest.mark.parametrize(
    "ccsid, text, data",
    [
        (37, "", b""),
        (930, "", b""),
        (37, "Hello, world!", b"\xc8\x85\x93\x93\x96\x6b\x40\xa6\x96\x99\x93\x84\x5a"),
        (1140, "€", b"\x9f"),
        (930, "日本", b"\x0e\x45\x62\x45\x66\x0f"),
        (930, "A日B本", b"\xc1\x0e\x45\x62\x0f\xc2\x0e\x45\x66\x0f"),
        (930, "日\n", b"\x0e\x45\x62\x0f\x25"),
        (930, "\u3000", b"\x0e\x40\x40\x0f"),
    ],
)
def test_round_trips(ccsid, text, data):
    assert text.encode(f"kwuni-{ccsid}") == data
    assert data.decode(f"kwuni-{ccsid}") == text


@pytest.mark.parametrize(
    "ccsid, data, text",
    [
        (930, b"\x0e\x0f", ""),
        (930, b"\x0e\x0e\x45\x62\x0f", "日"),  # a further shift-out changes nothing
        (930, b"\xc1\x0e\x45\x62", "A日"),  # a run the end of the data closes
        (37, b"\x0e\x0f", "\x0e\x0f"),  # controls in a single-byte CCSID
    ],
)
def test_shift_bytes(ccsid, data, text):
    assert data.decode(f"kwuni-{ccsid}") == text


def test_single_bytes_round_trip(ccsids):
    # Thai tone marks have two codes each in 838 and 1160; they are written with the second.
    one_way = {838: {0x51, 0xCA, 0xE1, 0xFD, 0xFE}, 1160: {0x51, 0xCA, 0xE1, 0xFD}}
    for ccsid in ccsids:
        name = f"kwuni-{ccsid}"
        for byte in range(256):
            if ccsid in MIXED and byte in (0x0E, 0x0F):
                continue
            try:
                char = bytes([byte]).decode(name)
            except UnicodeDecodeError:
                continue
            assert (char.encode(name) == bytes([byte])) != (byte in one_way.get(ccsid, ())), (ccsid, hex(byte))


@pytest.mark.parametrize("ccsid", [930, 933, 935, 939, 1364])
def test_double_byte_plane_round_trips(ccsid):
    # Every code of a run, mapped or not: the unmapped ones come back through the error handler.
    # (937 and 1371 have duplicate codes, 1390 and 1399 a double-byte euro, and 1388 runs of
    # combining marks that the encoder puts in canonical order.)
    data = b"\x0e" + bytes(b for lead in range(0x40, 0xFF) for trail in range(0x40, 0xFF) for b in (lead, trail)) + b"\x0f"
    text = data.decode(f"kwuni-{ccsid}", "kwuni-test-escape")
    assert text.encode(f"kwuni-{ccsid}", "kwuni-test-escape") == data


def test_composition():
    # A base and its combining mark are written as the composed character.
    assert "e\u0301".encode("kwuni-37") == "é".encode("kwuni-37") == b"\x51"
    assert "Cafe\u0301!".encode("kwuni-37") == "Café!".encode("kwuni-37")


def test_astral_characters_of_any_width():
    for text in ["\U0001F600", "a\U0001F600", "ab\U0001F600cd", "\U0001F600" * 3]:
        assert text.encode("kwuni-37", "replace") == "".join("?" if ord(c) > 0xFFFF else c for c in text).encode("cp037")


@pytest.mark.parametrize("kind", [bytes, bytearray, memoryview])
def test_bytes_like_input(kind):
    assert codecs.decode(kind(b"\xc1\x0e\x45\x62\x0f"), "kwuni-930") == "A日"
    assert codecs.lookup("kwuni-930").decode(kind(b"\xc1\xc2")) == ("AB", 2)


def test_consumed_counts_bytes_and_code_points():
    assert codecs.lookup("kwuni-37").decode(array("H", [0xC1C2, 0xC3C4])) == ("BADC", 4)
    assert codecs.lookup("kwuni-930").encode("A\U0001F600日", "replace") == (b"\xc1\x6f\x0e\x45\x62\x0f", 3)


def test_long_data_in_threads(orders, customers):
    # Long conversions run without the GIL; each thread has its converters, and one incremental
    # decoder of a stateless CCSID is shared.
    big = {930: orders * 2000, 37: customers * 2000}
    expected = {ccsid: data.decode(f"kwuni-{ccsid}") for ccsid, data in big.items()}
    shared = codecs.getincrementaldecoder("kwuni-37")()
    failures = []

    def work():
        try:
            for ccsid, data in big.items():
                assert data.decode(f"kwuni-{ccsid}") == expected[ccsid]
                assert expected[ccsid].encode(f"kwuni-{ccsid}") == data
            assert shared.decode(big[37]) == expected[37]
        except Exception as error:  # reported below, from the main thread
            failures.append(error)

    threads = [threading.Thread(target=work) for _ in range(6)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert not failures
