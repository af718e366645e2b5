import codecs
import io
import random

import pytest

from conftest import SAMPLES


def chunks(data, sizes):
    pieces, at = [], 0
    for size in sizes:
        pieces.append(data[at : at + size])
        at += size
    pieces.append(data[at:])
    return pieces


def decode_in(pieces, name, errors="strict"):
    decoder = codecs.getincrementaldecoder(name)(errors)
    return "".join(decoder.decode(piece) for piece in pieces) + decoder.decode(b"", True)


def encode_in(pieces, name, errors="strict"):
    encoder = codecs.getincrementalencoder(name)(errors)
    return b"".join(encoder.encode(piece) for piece in pieces) + encoder.encode("", True)


# Mixed data with every kind of error, and the same as text with characters CCSID 930 lacks.
FAULTY = b"\xc1\x0e\x45\x62\x40\x41\x45\x66\x0f\xdc\x0f\x0e\x0e\x45\x62\x0f\xdc\x0e\x45"
FAULTY_TEXT = "A日€本\ud800x\U0001F600日\udc00"


@pytest.mark.parametrize("sample, ccsid", [("orders.cp930", 930), ("customers.cp37", 37), (None, 930)])
@pytest.mark.parametrize("errors", ["strict", "replace", "kwuni-test-escape"])
def test_decoding_byte_by_byte_is_decoding_whole(sample, ccsid, errors):
    data = (SAMPLES / sample).read_bytes() if sample else FAULTY
    name = f"kwuni-{ccsid}"
    try:
        whole = data.decode(name, errors)
    except UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            decode_in([data[i : i + 1] for i in range(len(data))], name, errors)
        return
    assert decode_in([data[i : i + 1] for i in range(len(data))], name, errors) == whole
    shuffle = random.Random(ccsid)
    for _ in range(20):
        sizes = [shuffle.randrange(0, 9) for _ in range(len(data) // 4)]
        assert decode_in(chunks(data, sizes), name, errors) == whole


@pytest.mark.parametrize("text", [(SAMPLES / "orders.txt").read_text(encoding="utf-8"), FAULTY_TEXT])
@pytest.mark.parametrize("errors", ["strict", "replace", "backslashreplace", "kwuni-test-escape"])
def test_encoding_character_by_character_is_encoding_whole(text, errors):
    try:
        whole = text.encode("kwuni-930", errors)
    except UnicodeEncodeError:
        with pytest.raises(UnicodeEncodeError):
            encode_in(list(text), "kwuni-930", errors)
        return
    assert encode_in(list(text), "kwuni-930", errors) == whole
    shuffle = random.Random(len(text))
    for _ in range(10):
        assert encode_in(chunks(text, [shuffle.randrange(0, 9) for _ in range(len(text) // 4)]), "kwuni-930", errors) == whole


def test_encoder_keeps_the_run_open_between_calls():
    encoder = codecs.getincrementalencoder("kwuni-930")()
    assert encoder.encode("日") == b"\x0e\x45\x62"
    assert encoder.encode("本") == b"\x45\x66"
    assert encoder.encode("A") == b"\x0f\xc1"
    assert encoder.encode("日") == b"\x0e\x45\x62"
    assert encoder.encode("", True) == b"\x0f"
    assert encoder.encode("日", True) == b"\x0e\x45\x62\x0f"  # a new stream
    encoder.encode("日")
    encoder.reset()
    assert encoder.encode("A", True) == b"\xc1"


def test_encoder_writes_each_character_at_once():
    # Nothing waits for a combining mark that may follow: io.TextIOWrapper never says final.
    encoder = codecs.getincrementalencoder("kwuni-37")("replace")
    assert encoder.encode("e") == b"\x85"
    assert encoder.encode("\u0301") == b"\x6f"
    assert encoder.encode("e\u0301") == b"\x51"


def test_decoder_errors_across_pieces_point_into_the_held_bytes():
    decoder = codecs.getincrementaldecoder("kwuni-930")()
    assert decoder.decode(b"\xc1\x0e\x40") == "A"
    with pytest.raises(UnicodeDecodeError) as caught:
        decoder.decode(b"\x41\xc2")
    assert (caught.value.object, caught.value.start, caught.value.end) == (b"\x40\x41\xc2", 0, 2)

    decoder = codecs.getincrementaldecoder("kwuni-930")()
    assert decoder.decode(b"\x0e\x45") == ""
    with pytest.raises(UnicodeDecodeError) as caught:
        decoder.decode(b"", True)
    assert (caught.value.object, caught.value.start, caught.value.end) == (b"\x45", 0, 1)

    decoder = codecs.getincrementaldecoder("kwuni-930")("replace")
    assert decoder.decode(b"\x0e\x45") == ""
    assert decoder.decode(b"", True) == "\ufffd"
    assert decoder.decode(b"\xc1", True) == "A"  # the next stream starts unshifted


@pytest.mark.parametrize(
    "data, state",
    [
        (b"", (b"", 0)),
        (b"\xc1", (b"", 0)),
        (b"\x0e", (b"", 1)),
        (b"\x0e\x45", (b"\x45", 1)),
        (b"\x0e\x45\x62", (b"", 1)),
        (b"\x0e\x45\x62\x0f", (b"", 0)),
        (b"\x0e\x0e", (b"", 1)),
        (b"\x0e\x45\x0f", (b"", 1)),  # 0x0F completes a code
        (b"\x0e\x45\x62\x0f\x0f", (b"", 0)),
    ],
)
def test_decoder_state(data, state):
    decoder = codecs.getincrementaldecoder("kwuni-930")("replace")
    decoder.decode(data)
    assert decoder.getstate() == state


def test_decoder_state_restores_the_stream():
    alphabet = [b"\x0e", b"\x0f", b"\x40", b"\x45", b"\x62", b"\xc1", b"\x40\x41"]
    shuffle = random.Random(930)
    for _ in range(300):
        data = b"".join(shuffle.choice(alphabet) for _ in range(12))
        cut = shuffle.randrange(len(data) + 1)
        first = codecs.getincrementaldecoder("kwuni-930")("replace")
        first.decode(data[:cut])
        second = codecs.getincrementaldecoder("kwuni-930")("replace")
        second.setstate(first.getstate())
        assert second.decode(data[cut:], True) == first.decode(data[cut:], True), (data, cut)


@pytest.mark.parametrize(
    "name, state, exception",
    [
        ("kwuni-930", (b"", 2), ValueError),
        ("kwuni-930", (b"", -1), ValueError),
        ("kwuni-930", (b"", 2**80), ValueError),
        ("kwuni-37", (b"", 1), ValueError),
        ("kwuni-37", (b"\xc1", 0), ValueError),  # a whole character, not the start of one
        ("kwuni-930", (b"\x45\x62", 1), ValueError),
        ("kwuni-930", [b"", 0], TypeError),
        ("kwuni-930", (b"",), TypeError),
    ],
)
def test_decoder_refuses_states_it_cannot_have(name, state, exception):
    decoder = codecs.getincrementaldecoder(name)()
    with pytest.raises(exception):
        decoder.setstate(state)
    assert decoder.getstate() == (b"", 0)


def test_encoder_state():
    encoder = codecs.getincrementalencoder("kwuni-930")()
    assert encoder.getstate() == 0
    encoder.encode("日")
    encoder.setstate(0)
    assert encoder.encode("A") == b"\xc1"
    with pytest.raises(ValueError):
        encoder.setstate(1)


def test_decoder_reset_forgets_the_stream():
    decoder = codecs.getincrementaldecoder("kwuni-930")()
    decoder.decode(b"\x0e\x45")
    decoder.reset()
    assert decoder.getstate() == (b"", 0)
    assert decoder.decode(b"\xc1", True) == "A"


def test_converter_used_from_its_own_error_handler():
    decoder = codecs.getincrementaldecoder("kwuni-875")("kwuni-test-reentrant")

    def reenter(error):
        return decoder.decode(b"\xc1"), error.end

    codecs.register_error("kwuni-test-reentrant", reenter)
    with pytest.raises(ValueError):
        decoder.decode(b"\xdc")


# ---- Files and streams ----------------------------------------------------------------------

TEXT = "注文 ORD-1\n品番 KB-200  キーボード\n\n数量 12 ｶﾅ\n末尾は漢字"


def test_open_writes_and_reads(tmp_path):
    path = tmp_path / "text.cp930"
    with open(path, "w", encoding="kwuni-930", newline="\n") as f:
        for line in TEXT.splitlines(keepends=True):
            f.write(line)
    # The file ends as the text does, within a run: io.TextIOWrapper never finishes the stream.
    assert path.read_bytes() == TEXT.encode("kwuni-930")[:-1]
    with open(path, encoding="kwuni-930", newline="\n") as f:
        assert f.read() == TEXT
    with open(path, encoding="kwuni-930", newline="\n") as f:
        assert f.readlines() == TEXT.splitlines(keepends=True)


def test_open_seeks_back_to_told_positions(tmp_path):
    path = tmp_path / "text.cp930"
    path.write_bytes((TEXT * 50).encode("kwuni-930"))
    with open(path, encoding="kwuni-930", newline="\n") as f:
        marks = []
        while True:
            marks.append(f.tell())
            if not f.readline():
                break
        lines = (TEXT * 50).splitlines(keepends=True)
        for i in [5, 1, 120, 0, 77, len(lines) - 1]:
            f.seek(marks[i])
            assert f.readline() == lines[i]
        f.seek(marks[3])
        f.read(5)
        inside = f.tell()
        rest = f.read()
        f.seek(inside)
        assert f.read() == rest


def test_open_with_error_handlers(tmp_path):
    path = tmp_path / "faulty"
    path.write_bytes(FAULTY)
    with open(path, encoding="kwuni-930", errors="replace") as f:
        assert f.read() == FAULTY.decode("kwuni-930", "replace")
    with open(path, encoding="kwuni-930") as f, pytest.raises(UnicodeDecodeError):
        f.read()
    with open(path, "w", encoding="kwuni-37", errors="xmlcharrefreplace") as f:
        f.write("a€b")
    assert path.read_bytes() == "a&#8364;b".encode("cp037")


def test_stream_reader_and_writer(orders):
    text = orders.decode("kwuni-930")
    assert codecs.getreader("kwuni-930")(io.BytesIO(orders)).read() == text
    reader = codecs.getreader("kwuni-930")(io.BytesIO(orders))
    assert "".join(iter(lambda: reader.read(1, 1), "")) == text
    reader = codecs.getreader("kwuni-930")(io.BytesIO(orders))
    assert "".join(iter(lambda: reader.read(3), "")) == text

    sink = io.BytesIO()
    writer = codecs.getwriter("kwuni-930")(sink)
    for char in text:
        writer.write(char)
    writer.reset()
    assert sink.getvalue() == orders


def test_stream_reader_finishes_the_stream():
    with pytest.raises(UnicodeDecodeError):
        codecs.getreader("kwuni-930")(io.BytesIO(b"\xc1\x0e\x45")).read()
    assert codecs.getreader("kwuni-930")(io.BytesIO(b"\xc1\x0e\x45"), "replace").read() == "A\ufffd"
    reader = codecs.getreader("kwuni-930")(io.BytesIO(b"\x0e\x45\x62\x0f\xc1"))
    assert reader.read(chars=1) == "日"
    reader.seek(0)
    assert reader.read() == "日A"


def test_codecs_open(tmp_path):
    path = tmp_path / "text.cp930"
    with codecs.open(path, "w", encoding="kwuni-930") as f:
        f.write(TEXT)
        f.writer.reset()
    assert path.read_bytes() == TEXT.encode("kwuni-930")
    with codecs.open(path, encoding="kwuni-930") as f:
        assert f.read() == TEXT


def test_closed_streams(tmp_path):
    path = tmp_path / "closed"
    f = open(path, "w", encoding="kwuni-930")
    f.close()
    with pytest.raises(ValueError):
        f.write("日")
    sink = io.BytesIO()
    writer = codecs.getwriter("kwuni-930")(sink)
    sink.close()
    with pytest.raises(ValueError):
        writer.write("日")
    source = io.BytesIO(b"\xc1")
    reader = codecs.getreader("kwuni-930")(source)
    source.close()
    with pytest.raises(ValueError):
        reader.read()
