// Host data: an EBCDIC CCSID, single-byte or mixed (shift-out 0x0E and shift-in 0x0F bracket
// runs of double-byte characters), or CCSID 13488 (UTF-16, big-endian); with the host new-line
// (--lines) or in fixed-length records (--record N).
//
// Mixed data goes through KW_EbcdicBytesToWideChar and KW_WideCharToEbcdicBytes, which start
// unshifted on every call. Reading, a chunk that begins inside a run is given a shift-out of its
// own, and a double-byte character cut by the chunk's end waits for the next chunk. Writing, the
// run left open by one piece of text continues into the next (its second shift-out dropped) or
// is closed there, and the end of the text and of each record closes it, so every record
// written is balanced. Single-byte data is read with TConvertEtoU and written with
// KW_WideCharToEbcdicBytes, which keeps every host code exact (TConvertUtoE turns 0xFF into
// 0x6F). The library's substitutes are found again from the tables, 0xFFFF meaning unmapped.

#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "tools/kwuni/transcoding.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace kwuni::cli {
namespace {

constexpr BYTE shiftOut = 0x0E;
constexpr BYTE shiftIn = 0x0F;
constexpr BYTE ebcdicSpace = 0x40;
constexpr BYTE hostNewLine = 0x15;
constexpr WORD unmapped = 0xFFFF;
constexpr char16_t lineFeed = u'\n';
constexpr char16_t carriageReturn = u'\r';
constexpr char16_t nextLine = 0x0085;

int asInt(std::size_t n) {
  if (n > INT_MAX / 4) throw Failure("a piece of host data is too long to convert at once");
  return static_cast<int>(n);
}

// One CCSID's data: the tables of an EBCDIC CCSID, none for 13488.
struct HostForm {
  Encoding encoding;
  const WORD* toUnicode = nullptr;
  const WORD* toHost = nullptr;
  char16_t newLine = nextLine;  // what the host new-line 0x15 reads as

  short ccsid() const { return static_cast<short>(encoding.number); }
  bool unicode() const { return encoding.kind == Encoding::Kind::unicodeHost; }
  bool mixed() const { return encoding.mixed; }
  std::size_t leastBytes() const { return unicode() ? 2 : 1; }  // per code unit
};

HostForm loadForm(const Encoding& encoding) {
  HostForm form{encoding};
  if (form.unicode()) return form;
  const std::string& label = encoding.label;
  try {
    const auto& table = velmora::EBCDICTranscoders::instance().transcoder(form.ccsid());
    form.toUnicode = table.ebcdicToUnicodeTable();
    form.toHost = table.unicodeToEbcdicTable();
  } catch (const velmora::EBCDICTranscoderFileNotFound& e) {
    throw Failure(label + ": no translation table: cannot open " + e.fileName);
  } catch (const velmora::EBCDICTranscoderFileCorrupt& e) {
    throw Failure(label + ": the translation table " + e.fileName + " is corrupt");
  } catch (const std::runtime_error& e) {
    throw Failure(label + ": cannot load the translation table: " + e.what());
  }
  if (form.toUnicode[hostNewLine] != unmapped) form.newLine = form.toUnicode[hostNewLine];
  return form;
}

// Walks mixed host data from a shift state, calling visit(offset, code, doubleByte) for each
// character as KW_EbcdicBytesToWideChar reads it. Stops early only at a double-byte character
// whose second byte is missing: `cut` is its offset (the length when none), `shifted` the state
// there.
struct Walk {
  std::size_t cut;
  bool shifted;
};

template <typename Visit>
Walk walkMixed(const BYTE* bytes, std::size_t length, bool shifted, Visit visit) {
  std::size_t i = 0;
  while (i < length) {
    const BYTE b = bytes[i];
    if (b == shiftOut) {
      shifted = true;
      ++i;
    } else if (b == shiftIn && shifted) {
      shifted = false;
      ++i;
    } else if (!shifted) {
      visit(i, WORD{b}, false);
      ++i;
    } else if (i + 1 < length) {
      visit(i, static_cast<WORD>(b << 8 | bytes[i + 1]), true);
      i += 2;
    } else {
      return {i, shifted};
    }
  }
  return {length, shifted};
}

class HostDecoder final : public Decoder {
 public:
  HostDecoder(HostForm form, HostLayout layout, Tally& tally)
      : form_(std::move(form)), layout_(layout), tally_(tally) {}

  std::size_t decode(BYTE* bytes, std::size_t length, Position start, bool last, Text& text) override {
    const std::size_t base = text.size();
    std::size_t used = 0;
    if (layout_.record == 0) {
      used = decodeData(bytes, length, start, shifted_, last, "input", text);
    } else {
      while (length - used >= layout_.record || (last && used < length)) {
        const std::size_t n = std::min(layout_.record, length - used);
        decodeRecord(bytes + used, n, start + used, text);
        used += n;
      }
    }
    if (layout_.lines) {
      std::replace(text.units.begin() + static_cast<std::ptrdiff_t>(base), text.units.end(), form_.newLine, lineFeed);
    }
    if (last) shifted_ = false;  // the next input starts unshifted
    return used;
  }

 private:
  // A record becomes a line without its trailing spaces; each record starts unshifted.
  void decodeRecord(BYTE* bytes, std::size_t length, Position start, Text& text) {
    bool shifted = false;
    decodeData(bytes, contentLength(bytes, length), start, shifted, true, "record", text);
    text.units.push_back(lineFeed);
    if (tally_.locating()) text.positions.push_back(start + length);
  }

  // The length of a record without its trailing single-byte spaces.
  std::size_t contentLength(const BYTE* bytes, std::size_t length) const {
    if (form_.unicode()) {
      while (length >= 2 && length % 2 == 0 && bytes[length - 2] == 0 && bytes[length - 1] == 0x20) length -= 2;
      return length;
    }
    if (!form_.mixed()) {
      while (length > 0 && bytes[length - 1] == ebcdicSpace) --length;
      return length;
    }
    std::size_t end = 0;
    const Walk walk = walkMixed(bytes, length, false, [&](std::size_t at, WORD code, bool doubleByte) {
      if (doubleByte || code != ebcdicSpace) end = at + (doubleByte ? 2 : 1);
    });
    // Shift bytes after the last character are kept, so that a record's runs stay as they were.
    std::size_t i = length;
    while (i > end && bytes[i - 1] == ebcdicSpace) --i;
    return walk.cut < length ? length : i;
  }

  std::size_t decodeData(BYTE* bytes, std::size_t length, Position start, bool& shifted, bool last, const char* unit,
                         Text& text) {
    if (form_.unicode()) {
      if (last && length % 2 != 0) failOddLength(tally_.inputName(), start + length);
      appendUtf16(bytes, length / 2, true, start, tally_.locating(), text);
      return length & ~std::size_t{1};
    }
    if (form_.mixed()) return decodeMixed(bytes, length, start, shifted, last, unit, text);
    decodeSingleBytes(bytes, length, start, text);
    return length;
  }

  void decodeSingleBytes(const BYTE* bytes, std::size_t length, Position start, Text& text) {
    const std::size_t base = text.size();
    text.units.resize(base + length + 1);  // and the terminator TConvertEtoU writes
    TConvertEtoU(form_.ccsid(), bytes, text.units.data() + base, asInt(length));
    text.units.resize(base + length);
    if (!tally_.watching()) return;
    if (tally_.locating()) {
      text.positions.resize(base + length);
      for (std::size_t i = 0; i < length; ++i) text.positions[base + i] = start + i;
    }
    for (std::size_t i = 0; i < length; ++i) {
      if (form_.toUnicode[bytes[i]] == unmapped) reportUnmapped(start + i, bytes[i], false);
    }
  }

  std::size_t decodeMixed(BYTE* bytes, std::size_t length, Position start, bool& shifted, bool last, const char* unit,
                          Text& text) {
    Walk walk{};
    if (tally_.watching()) {
      const bool locating = tally_.locating();
      walk = walkMixed(bytes, length, shifted, [&](std::size_t at, WORD code, bool doubleByte) {
        if (locating) text.positions.push_back(start + at);
        if (form_.toUnicode[code] == unmapped) reportUnmapped(start + at, code, doubleByte);
      });
    } else {
      walk = walkMixed(bytes, length, shifted, [](std::size_t, WORD, bool) {});
    }
    std::size_t used = length;
    if (walk.cut < length) {
      if (!last) {
        used = walk.cut;  // the next chunk brings its second byte
      } else {
        if (tally_.locating()) text.positions.push_back(start + walk.cut);
        tally_.substituted(start + walk.cut, [&] {
          return "double-byte character " + hexByte(bytes[walk.cut]) + " cut off by the end of the " + unit;
        });
      }
    }
    const BYTE* source = bytes;
    std::size_t sourceLength = used;
    if (shifted && used > 0) {  // the run goes on from the previous chunk
      bytes[-1] = shiftOut;
      --source;
      ++sourceLength;
    }
    const std::size_t base = text.size();
    text.units.resize(base + used);  // never more characters than bytes
    const int n = KW_EbcdicBytesToWideChar(form_.ccsid(), source, asInt(sourceLength), text.units.data() + base,
                                           asInt(2 * used));
    text.units.resize(base + static_cast<std::size_t>(n));
    shifted = walk.shifted;
    return used;
  }

  void reportUnmapped(Position at, WORD code, bool doubleByte) {
    tally_.substituted(at, [&] {
      if (!doubleByte && code == shiftIn) return std::string("shift-in 0x0F outside a double-byte run");
      char text[8];
      std::snprintf(text, sizeof text, "0x%04X", code);
      return (doubleByte ? std::string("double-byte code ") + text : "byte " + hexByte(code)) + " has no mapping in " +
             form_.encoding.label;
    });
  }

  HostForm form_;
  HostLayout layout_;
  Tally& tally_;
  bool shifted_ = false;
};

class HostEncoder final : public Encoder {
 public:
  HostEncoder(HostForm form, HostLayout layout, Tally& tally)
      : form_(std::move(form)), layout_(layout), tally_(tally) {}

  void encode(Text& text, ByteSink& out) override {
    Text& work = held_.take(text);
    if (layout_.record != 0) return writeRecords(work, false, out);
    std::size_t n = work.size();
    if (n > 0) {
      const char16_t lastUnit = work.units[n - 1];
      // A high surrogate, or a CR before LF, may pair with what follows.
      if (isHighSurrogate(lastUnit) || (layout_.lines && lastUnit == carriageReturn)) --n;
    }
    held_.keep(work, n);
    writeStream(work, out);
  }

  void beginInput() override { line_ = 0; }

  void finish(ByteSink& out) override {
    Text& rest = held_.rest();
    if (layout_.record != 0) return writeRecords(rest, true, out);
    writeStream(rest, out);
    if (shifted_) out.write(&shiftIn, 1);
    shifted_ = false;
  }

 private:
  void writeStream(Text& work, ByteSink& out) {
    if (layout_.lines) toHostNewLines(work);
    watch(work, 0, work.size());
    mergeUnmappedPairs(work.units);
    const std::size_t n = work.size();
    if (n == 0) return;
    const char16_t* units = work.units.data();
    if (form_.unicode()) {
      putUtf16(units, n, true, out.reserve(2 * n));
      return out.commit(2 * n);
    }
    const std::size_t capacity = 3 * n;  // a shift-out and two bytes per character at most
    BYTE* p = out.reserve(capacity + 1);
    const bool opensWithRun = form_.mixed() && KW_IsDBCSChar(form_.ccsid(), units[0]);
    std::size_t closed = 0;
    if (shifted_ && !opensWithRun) p[closed++] = shiftIn;  // close the run the previous text left open
    auto m = static_cast<std::size_t>(
        KW_WideCharToEbcdicBytes(form_.ccsid(), units, asInt(n), p + closed, asInt(capacity)));
    if (shifted_ && opensWithRun) {  // the run goes on: drop its second shift-out
      std::memmove(p, p + 1, m - 1);
      --m;
    }
    out.commit(closed + m);
    shifted_ = form_.mixed() && KW_IsDBCSChar(form_.ccsid(), units[n - 1]);
  }

  // LF and CR LF become the host new-line.
  void toHostNewLines(Text& work) const {
    std::size_t w = 0;
    const bool located = !work.positions.empty();
    for (std::size_t r = 0; r < work.size(); ++r) {
      char16_t u = work.units[r];
      if (u == carriageReturn && r + 1 < work.size() && work.units[r + 1] == lineFeed) continue;
      if (u == lineFeed) u = form_.newLine;
      work.units[w] = u;
      if (located) work.positions[w] = work.positions[r];
      ++w;
    }
    work.units.resize(w);
    if (located) work.positions.resize(w);
  }

  // Each line ends at LF or CR LF and becomes one record; what follows the last LF waits for the
  // rest of its line.
  void writeRecords(Text& work, bool last, ByteSink& out) {
    std::size_t from = 0;
    for (std::size_t lf; (lf = work.units.find(lineFeed, from)) != std::u16string::npos; from = lf + 1) {
      const std::size_t end = lf > from && work.units[lf - 1] == carriageReturn ? lf - 1 : lf;
      writeRecord(work, from, end, out);
    }
    if (last) {
      if (from < work.size()) writeRecord(work, from, work.size(), out);
      return;
    }
    held_.keep(work, from);
    // Every character takes at least one byte: a line can be too long before it ends.
    const std::u16string& pending = held_.units();
    const std::size_t units = pending.size() - (pending.ends_with(carriageReturn) ? 1 : 0);
    if (units * form_.leastBytes() > layout_.record) {
      throw Failure(tally_.inputName() + ": line " + std::to_string(line_ + 1) + " needs more than the record length " +
                    std::to_string(layout_.record) + " bytes");
    }
  }

  void writeRecord(const Text& work, std::size_t from, std::size_t to, ByteSink& out) {
    ++line_;
    watch(work, from, to);
    lineUnits_.assign(work.units, from, to - from);
    mergeUnmappedPairs(lineUnits_);
    const std::size_t n = lineUnits_.size(), record = layout_.record;
    BYTE* p = out.reserve(std::max(record, 3 * n + 1));
    std::size_t m = 0;
    if (form_.unicode()) {
      putUtf16(lineUnits_.data(), n, true, p);
      m = 2 * n;
    } else if (n > 0) {
      m = static_cast<std::size_t>(
          KW_WideCharToEbcdicBytes(form_.ccsid(), lineUnits_.data(), asInt(n), p, asInt(3 * n + 1)));
      if (form_.mixed() && KW_IsDBCSChar(form_.ccsid(), lineUnits_[n - 1])) p[m++] = shiftIn;
    }
    if (m > record) {
      throw Failure(tally_.inputName() + ": line " + std::to_string(line_) + " needs " + std::to_string(m) +
                    " bytes, more than the record length " + std::to_string(record));
    }
    if (form_.unicode()) {
      for (std::size_t i = m; i + 1 < record; i += 2) p[i] = 0, p[i + 1] = 0x20;
    } else {
      std::memset(p + m, ebcdicSpace, record - m);
    }
    out.commit(record);
  }

  // Counts the characters the table cannot map; a surrogate pair is one character.
  void watch(const Text& work, std::size_t from, std::size_t to) {
    if (!tally_.watching() || form_.unicode()) return;
    for (std::size_t i = from; i < to; ++i) {
      const char16_t u = work.units[i];
      if (form_.toHost[u] != unmapped) continue;
      char32_t c = u;
      if (isHighSurrogate(u) && i + 1 < to && isLowSurrogate(work.units[i + 1]) &&
          form_.toHost[work.units[i + 1]] == unmapped) {
        c = 0x10000 + ((c - 0xD800) << 10) + (work.units[i + 1] - 0xDC00u);
        ++i;
      }
      tally_.substituted(work.at(i), [&] {
        return (c >= 0xD800 && c <= 0xDFFF ? "unpaired surrogate " : "") + codePoint(c) + " cannot be represented in " +
               form_.encoding.label;
      });
    }
  }

  // A character outside the BMP that the table cannot map gets one substitute, not one for
  // each half of its surrogate pair.
  void mergeUnmappedPairs(std::u16string& units) const {
    if (form_.unicode() || std::none_of(units.begin(), units.end(), isHighSurrogate)) return;
    std::size_t w = 0;
    for (std::size_t r = 0; r < units.size(); ++r) {
      units[w++] = units[r];
      if (isHighSurrogate(units[r]) && r + 1 < units.size() && isLowSurrogate(units[r + 1]) &&
          form_.toHost[units[r]] == unmapped && form_.toHost[units[r + 1]] == unmapped) {
        ++r;
      }
    }
    units.resize(w);
  }

  HostForm form_;
  HostLayout layout_;
  Tally& tally_;
  HeldText held_;
  bool shifted_ = false;  // the text written so far ends inside a double-byte run
  std::size_t line_ = 0;  // lines written from the current input
  std::u16string lineUnits_;
};

}  // namespace

std::unique_ptr<Decoder> makeHostDecoder(const Encoding& encoding, const HostLayout& layout, Tally& tally) {
  return std::make_unique<HostDecoder>(loadForm(encoding), layout, tally);
}

std::unique_ptr<Encoder> makeHostEncoder(const Encoding& encoding, const HostLayout& layout, Tally& tally) {
  return std::make_unique<HostEncoder>(loadForm(encoding), layout, tally);
}

}  // namespace kwuni::cli
