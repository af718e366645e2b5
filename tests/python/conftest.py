# The package under test is the one the build assembled: CTest puts <build>/python on PYTHONPATH.
import codecs
import pathlib

import pytest

import kwuni

SAMPLES = pathlib.Path(__file__).resolve().parents[2] / "samples"
MIXED = (930, 933, 935, 937, 939, 1364, 1371, 1388, 1390, 1399)


def escape(error):
    """Every bad byte as U+DC00 + byte, and back: a round trip through any error. Other
    characters that cannot be encoded become '?'."""
    if isinstance(error, UnicodeDecodeError):
        return "".join(chr(0xDC00 + b) for b in error.object[error.start : error.end]), error.end
    bad = error.object[error.start : error.end]
    return b"".join(bytes([ord(c) - 0xDC00]) if 0xDC00 <= ord(c) <= 0xDCFF else b"\x6f" for c in bad), error.end


codecs.register_error("kwuni-test-escape", escape)


@pytest.fixture(scope="session")
def orders():
    return (SAMPLES / "orders.cp930").read_bytes()


@pytest.fixture(scope="session")
def customers():
    return (SAMPLES / "customers.cp37").read_bytes()


@pytest.fixture(scope="session")
def ccsids():
    return kwuni.ccsids()
