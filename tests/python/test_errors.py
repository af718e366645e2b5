import codecs

import pytest

# ---- Decoding ------------------------------------------------------------------------------

# name, CCSID, data, where the one error is, what the handlers give, the reason
BAD_BYTES = [
    ("single byte", 875, b"\xc1\xdc\xc2", (1, 2), "A{}B", "byte 0xDC has no mapping in CCSID 875"),
    ("double-byte code", 930, b"\xc1\x0e\x40\x41\x0f\xc2", (2, 4), "A{}B", "double-byte code 0x4041 has no mapping"),
    ("lead byte cut by the end", 930, b"\xc1\x0e\x45\x62\x45", (4, 5), "A日{}", "cut off by the end"),
    ("shift-in outside a run", 930, b"\xc1\x0f\xc2", (1, 2), "A{}B", "shift-in 0x0F outside a double-byte run"),
]
BAD_BYTES_IDS = [case[0] for case in BAD_BYTES]


@pytest.mark.parametrize("name, ccsid, data, span, shape, reason", BAD_BYTES, ids=BAD_BYTES_IDS)
def test_decode_error_points_at_the_bytes(name, ccsid, data, span, shape, reason):
    with pytest.raises(UnicodeDecodeError) as caught:
        data.decode(f"kwuni-{ccsid}")
    error = caught.value
    assert (error.encoding, error.object, (error.start, error.end)) == (f"kwuni-{ccsid}", data, span)
    assert reason in error.reason


@pytest.mark.parametrize("name, ccsid, data, span, shape, reason", BAD_BYTES, ids=BAD_BYTES_IDS)
@pytest.mark.parametrize(
    "errors, replace",
    [
        ("replace", lambda bad: "\ufffd"),
        ("ignore", lambda bad: ""),
        ("backslashreplace", lambda bad: "".join(f"\\x{b:02x}" for b in bad)),
        ("kwuni-test-escape", lambda bad: "".join(chr(0xDC00 + b) for b in bad)),
    ],
)
def test_decode_error_handlers(name, ccsid, data, span, shape, reason, errors, replace):
    assert data.decode(f"kwuni-{ccsid}", errors) == shape.format(replace(data[span[0] : span[1]]))


@pytest.mark.parametrize("data, text", [(b"\xdc\x0e\x45\x62\x0f", "?日"), (b"\xc1\x0f\x0e\x45\x62", "A?日")])
def test_stop_right_before_a_shift_out(data, text):
    assert data.decode("kwuni-930", "replace") == text.replace("?", "\ufffd")


def test_surrogateescape_takes_high_bytes_only():
    assert b"\xc1\x0e\xff\xfe\x0f".decode("kwuni-930", "surrogateescape") == "A\udcff\udcfe"
    with pytest.raises(UnicodeDecodeError):  # bytes below 0x80 cannot be escaped
        b"\x0e\x40\x41\x0f".decode("kwuni-930", "surrogateescape")


def test_every_error_is_reported_in_order():
    seen = []

    def record(error):
        seen.append((error.start, error.end))
        return "?", error.end

    codecs.register_error("kwuni-test-record-decode", record)
    data = b"\xdc\xc1\xdc\xdc\xe1"  # 875: 0xDC and 0xE1 are unassigned
    assert data.decode("kwuni-875", "kwuni-test-record-decode") == "?A???"
    assert seen == [(0, 1), (2, 3), (3, 4), (4, 5)]


@pytest.mark.parametrize(
    "resume, text",
    [
        (lambda e: e.end, "AXBC"),  # on after the error
        (lambda e: e.end + 1, "AXC"),  # skips a byte
        (lambda e: -1, "AXC"),  # counted from the end
        (lambda e: len(e.object), "AX"),
    ],
)
def test_decoding_goes_on_where_the_handler_says(resume, text):
    codecs.register_error("kwuni-test-resume", lambda error: ("X", resume(error)))
    assert b"\xc1\xdc\xc2\xc3".decode("kwuni-875", "kwuni-test-resume") == text


def test_decoding_handler_goes_back_into_a_run():
    # Resuming before the error decodes bytes again, in the shift state of the stream.
    first = []

    def once_back(error):
        first.append(error.start)
        return ("<", error.start - 2) if len(first) == 1 else (">", error.end)

    codecs.register_error("kwuni-test-back", once_back)
    assert b"\x0e\x45\x62\x40\x41\x0f".decode("kwuni-930", "kwuni-test-back") == "日<日>"
    assert first == [3, 3]


# ---- Encoding ------------------------------------------------------------------------------

# Strings whose characters Python's cp037 and kwuni's CCSID 37 treat alike: every handler must
# give the same bytes. (Python reports a run of bad characters as one error and kwuni each on its
# own; the standard handlers do not tell the difference.)
ENCODE_CASES = ["a€b", "€€€", "a\ud800b", "a\udc80b", "a\ud800\udc00b", "\U0001F600x€", "a\U0001F600\ud800\U0001F600", "\udcc1"]


@pytest.mark.parametrize("text", ENCODE_CASES)
@pytest.mark.parametrize(
    "errors", ["replace", "ignore", "backslashreplace", "xmlcharrefreplace", "namereplace", "surrogateescape", "surrogatepass"]
)
def test_encode_error_handlers_as_python_codecs(text, errors):
    try:
        expected = text.encode("cp037", errors)
    except UnicodeEncodeError:
        with pytest.raises(UnicodeEncodeError):
            text.encode("kwuni-37", errors)
    else:
        assert text.encode("kwuni-37", errors) == expected


@pytest.mark.parametrize(
    "name, text, spans",
    [
        ("unmappable", "a€b", [(1, 2)]),
        ("lone surrogate", "a\ud800b", [(1, 2)]),
        ("lone low surrogate at the end", "ab\udc00", [(2, 3)]),
        ("two surrogates, not a pair", "a\ud800\udc00b", [(1, 2), (2, 3)]),
        ("after astral characters", "\U0001F600\U0001F600€\ud800", [(0, 1), (1, 2), (2, 3), (3, 4)]),
        ("astral and mapped", "a\U00010000b€", [(1, 2), (3, 4)]),
        ("in a run", "日€本\udfff", [(1, 2), (3, 4)]),
    ],
)
def test_encode_errors_point_at_code_points(name, text, spans):
    seen = []

    def record(error):
        assert error.object is text or error.object == text
        seen.append((error.start, error.end))
        return "", error.end

    codecs.register_error("kwuni-test-record-encode", record)
    text.encode("kwuni-930", "kwuni-test-record-encode")
    assert seen == spans
    with pytest.raises(UnicodeEncodeError) as caught:
        text.encode("kwuni-930")
    assert (caught.value.encoding, caught.value.start, caught.value.end) == ("kwuni-930", *spans[0])


@pytest.mark.parametrize(
    "replacement, data",
    [
        ("?", b"\x0e\x45\x62\x0f\x6f\x0e\x45\x66\x0f"),  # a single-byte replacement leaves the run
        ("\u3000", b"\x0e\x45\x62\x40\x40\x45\x66\x0f"),  # a double-byte one stays in it
        (b"\x40\x40", b"\x0e\x45\x62\x40\x40\x45\x66\x0f"),  # bytes go out as they are
        ("", b"\x0e\x45\x62\x45\x66\x0f"),
    ],
)
def test_encode_replacements_keep_the_shift_state(replacement, data):
    codecs.register_error("kwuni-test-replacement", lambda error: (replacement, error.end))
    assert "日€本".encode("kwuni-930", "kwuni-test-replacement") == data


def test_replacement_that_cannot_be_encoded_raises_the_original_error():
    codecs.register_error("kwuni-test-euro", lambda error: ("€", error.end))
    with pytest.raises(UnicodeEncodeError) as caught:
        "ab\u20acd".encode("kwuni-37", "kwuni-test-euro")
    assert (caught.value.start, caught.value.end) == (2, 3)


@pytest.mark.parametrize("resume, data", [(lambda e: e.end + 1, b"\x81\xa7\x83"), (lambda e: -1, b"\x81\xa7\x83")])
def test_encoding_goes_on_where_the_handler_says(resume, data):
    codecs.register_error("kwuni-test-resume-encode", lambda error: ("x", resume(error)))
    assert "a€bc".encode("kwuni-37", "kwuni-test-resume-encode") == data


# ---- Handlers that answer wrongly, and unknown ones ----------------------------------------


@pytest.mark.parametrize(
    "answer, exception",
    [
        (None, TypeError),
        (("x",), TypeError),
        (("x", 1, 2), TypeError),
        ((1, 1), TypeError),
        (("x", "1"), TypeError),
        (("x", 99), IndexError),
        (("x", -99), IndexError),
        (("x", 2**70), (IndexError, OverflowError)),
    ],
)
@pytest.mark.parametrize("convert", [lambda: b"\xc1\xdc".decode("kwuni-875", "kwuni-test-wrong"), lambda: "a€".encode("kwuni-37", "kwuni-test-wrong")])
def test_handler_answers_are_checked(answer, exception, convert):
    codecs.register_error("kwuni-test-wrong", lambda error: answer)
    with pytest.raises(exception):
        convert()


def test_decoding_handler_may_not_return_bytes():
    codecs.register_error("kwuni-test-bytes", lambda error: (b"x", error.end))
    with pytest.raises(TypeError):
        b"\xdc".decode("kwuni-875", "kwuni-test-bytes")


def test_handler_exceptions_pass_through():
    def fail(error):
        raise KeyError("from the handler")

    codecs.register_error("kwuni-test-fail", fail)
    with pytest.raises(KeyError):
        b"\xdc".decode("kwuni-875", "kwuni-test-fail")
    with pytest.raises(KeyError):
        "€".encode("kwuni-930", "kwuni-test-fail")


def test_unknown_handler_is_looked_up_at_the_first_error():
    assert b"\xc1".decode("kwuni-875", "no-such-handler") == "A"
    with pytest.raises(LookupError):
        b"\xdc".decode("kwuni-875", "no-such-handler")
    with pytest.raises(LookupError):
        "€".encode("kwuni-37", "no-such-handler")


# ---- Wrong arguments -----------------------------------------------------------------------


@pytest.mark.parametrize(
    "call",
    [
        lambda: codecs.decode("text", "kwuni-37"),
        lambda: codecs.encode(b"bytes", "kwuni-37"),
        lambda: codecs.lookup("kwuni-37").decode(None),
        lambda: codecs.lookup("kwuni-37").decode(37),
        lambda: codecs.lookup("kwuni-37").encode(None),
        lambda: codecs.lookup("kwuni-37").encode(["a"]),
        lambda: codecs.lookup("kwuni-37").decode(b"\xc1", 1),
        lambda: codecs.lookup("kwuni-37").encode("a", b"strict"),
        lambda: codecs.getincrementaldecoder("kwuni-930")().decode("text"),
        lambda: codecs.getincrementalencoder("kwuni-930")().encode(b"bytes"),
        lambda: codecs.getincrementaldecoder("kwuni-930")().setstate("state"),
        lambda: codecs.getincrementaldecoder("kwuni-930")().setstate((b"", "1")),
    ],
)
def test_wrong_types(call):
    with pytest.raises(TypeError):
        call()


def test_buffers_that_are_not_contiguous():
    with pytest.raises((TypeError, BufferError)):
        codecs.decode(memoryview(b"\xc1\xc2\xc3\xc4")[::2], "kwuni-37")


def test_errors_none_means_strict():
    info = codecs.lookup("kwuni-37")
    assert info.decode(b"\xc1", None) == ("A", 1)
    with pytest.raises(UnicodeEncodeError):
        info.encode("€", None)


def test_error_text_without_utf8_form():
    with pytest.raises(UnicodeEncodeError):
        "€".encode("kwuni-37", "\ud800")
