import codecs

import pytest

import kwuni


@pytest.mark.parametrize(
    "name, ccsid",
    [
        ("kwuni-930", 930),
        ("KWUNI_930", 930),
        ("kwuni 930", 930),
        ("kwuni930", 930),
        ("ibm930", 930),
        ("IBM-930", 930),
        ("cp930", 930),
        ("ccsid930", 930),
        ("CCSID 00930", 930),
        ("ibm1047", 1047),
        ("kwuni-037", 37),
    ],
)
def test_names_lead_to_the_ccsid(name, ccsid):
    assert codecs.lookup(name).name == f"kwuni-{ccsid}"


@pytest.mark.parametrize("name, python_codec", [("cp037", "cp037"), ("ibm037", "cp037"), ("cp500", "cp500"), ("cp1026", "cp1026")])
def test_python_keeps_its_own_codecs(name, python_codec):
    assert codecs.lookup(name).name == python_codec


@pytest.mark.parametrize(
    "name",
    ["kwuni-4711", "kwuni-13488", "kwuni-", "kwuni-x37", "kwuni-37x", "ibm-", "cp" + "9" * 5000, "kwuni-３７"],
)
def test_unknown_names(name):
    with pytest.raises(LookupError):
        codecs.lookup(name)


def test_tables_list_every_ccsid_with_its_description(ccsids):
    tables = kwuni.tables()
    assert [ccsid for ccsid, _ in tables] == ccsids == sorted(ccsids)
    assert {37, 273, 500, 930, 939, 1047, 1140} <= set(ccsids)
    assert 924 in ccsids and 13488 not in ccsids  # Unicode: catalogued, but without a table
    for ccsid, description in tables:
        assert description.startswith(f"{ccsid} - ")
    assert dict(tables)[930] == "930 - Japanese Katakana-Kanji mixed (Japan)"


def test_every_table_converts(ccsids):
    for ccsid in ccsids:
        info = codecs.lookup(f"kwuni-{ccsid}")
        assert b"\x40".decode(info.name) == " ", ccsid
        assert " ".encode(info.name) == b"\x40", ccsid
        assert info.incrementaldecoder().decode(b"\x40", True) == " "
