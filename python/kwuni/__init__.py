"""Codecs for EBCDIC host data, over the kwuni library.

Importing the package registers a codec for every CCSID that has a translation table, named
``kwuni-<ccsid>`` and, where Python has no codec of that name, ``ibm<ccsid>``, ``cp<ccsid>`` and
``ccsid<ccsid>``::

    import kwuni
    text = data.decode("kwuni-930")          # mixed Japanese host data
    data = text.encode("kwuni-37", "replace")
    with open(path, encoding="kwuni-930") as f: ...

The codecs keep the shift state of mixed data across the pieces of a stream, and take Python's
error handlers (``strict``, ``replace``, ``backslashreplace``, ... and registered ones).
"""

import codecs
import functools
import re

from . import _kwuni

__all__ = ["ccsids", "tables"]

_CCSIDS = frozenset(_kwuni.host_ccsids())
_NAME = re.compile(r"(?:kwuni|ibm|cp|ccsid)_?0*([0-9]{1,9})", re.ASCII)


def ccsids():
    """The CCSIDs that have a translation table, ascending."""
    return sorted(_CCSIDS)


def tables():
    """The CCSIDs that have a translation table, each with its description in the catalogue."""
    return [(ccsid, _kwuni.description(ccsid)) for ccsid in ccsids()]


class IncrementalDecoder(codecs.IncrementalDecoder):
    ccsid = None  # set by each CCSID's subclass

    def __init__(self, errors="strict"):
        super().__init__(errors)
        self._decoder = _kwuni.Decoder(self.ccsid)

    def decode(self, input, final=False):
        return self._decoder.decode(input, final, self.errors)

    def reset(self):
        self._decoder.reset()

    def getstate(self):
        return self._decoder.getstate()

    def setstate(self, state):
        self._decoder.setstate(state)


class IncrementalEncoder(codecs.IncrementalEncoder):
    """Writes every character as it comes, keeping the shift state; final=True closes an open
    double-byte run. (io.TextIOWrapper never passes final, so a file it writes ends as the text
    does: in a run when the text ends with double-byte characters.)"""

    ccsid = None

    def __init__(self, errors="strict"):
        super().__init__(errors)
        self._encoder = _kwuni.Encoder(self.ccsid)

    def encode(self, input, final=False):
        return self._encoder.encode(input, final, self.errors)

    def reset(self):
        self._encoder.reset()

    def getstate(self):
        return 0

    def setstate(self, state):
        # Only the state of a new stream can be restored: io.TextIOWrapper sets it after a seek.
        if state != 0:
            raise ValueError("kwuni encoders restore only the state 0 of a new stream")
        self._encoder.reset()


class StreamReader(codecs.StreamReader):
    ccsid = None

    def __init__(self, stream, errors="strict"):
        super().__init__(stream, errors)
        self._decoder = _kwuni.Decoder(self.ccsid)

    def decode(self, input, errors="strict"):
        # The reader passes back the bytes the decoder holds, in front of the new ones; no new
        # ones means the stream has ended.
        new = memoryview(input)[self._decoder.pending:]
        text = self._decoder.decode(new, not new, errors)
        return text, len(input) - self._decoder.pending

    def reset(self):
        super().reset()
        self._decoder.reset()


class StreamWriter(codecs.StreamWriter):
    ccsid = None

    def __init__(self, stream, errors="strict"):
        super().__init__(stream, errors)
        self._encoder = _kwuni.Encoder(self.ccsid)

    def encode(self, input, errors="strict"):
        return self._encoder.encode(input, False, errors), len(input)

    def reset(self):
        """Closes an open double-byte run, so that what follows starts clean."""
        self.stream.write(self._encoder.encode("", True, self.errors))

    def seek(self, offset, whence=0):
        self.stream.seek(offset, whence)
        if whence == 0 and offset == 0:
            self._encoder.reset()


@functools.lru_cache(maxsize=None)
def _codec(ccsid):
    def encode(input, errors="strict"):
        return _kwuni.encode(ccsid, input, errors)

    def decode(input, errors="strict"):
        return _kwuni.decode(ccsid, input, errors)

    def of(base):
        return type(f"{base.__name__}{ccsid}", (base,), {"ccsid": ccsid, "__module__": __name__})

    return codecs.CodecInfo(
        name=f"kwuni-{ccsid}",
        encode=encode,
        decode=decode,
        incrementalencoder=of(IncrementalEncoder),
        incrementaldecoder=of(IncrementalDecoder),
        streamreader=of(StreamReader),
        streamwriter=of(StreamWriter),
    )


def _search(name):
    match = _NAME.fullmatch(name.lower().replace("-", "_").replace(" ", "_"))
    if match is None or int(match.group(1)) not in _CCSIDS:
        return None
    return _codec(int(match.group(1)))


codecs.register(_search)
