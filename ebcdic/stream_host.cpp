// Host data: an EBCDIC CCSID, single-byte or mixed (shift-out 0x0E and shift-in 0x0F bracket runs
// of double-byte characters), or CCSID 13488 (UTF-16, big-endian); plain, with host new-lines, or
// in fixed-length records.
//
// Reading, the shift state goes on from piece to piece, and a double-byte character cut after its
// lead byte waits for the next piece. Writing, a double-byte run goes on from one piece into the
// next and is closed at the end of the stream and of each record, so that every record is
// balanced. Every host code is kept exact (0xFF included), and unmapped codes take the
// substitutes of the single lookups.

#include "ebcdic/stream_codecs.h"

#include "ebcdic/kernels.h"
#include "ebcdic/substitutes.h"
#include "platform/fold.h"

#include <kwuni/ebcdic.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace kwuni {

RecordOverflow::RecordOverflow(std::uint64_t lineNumber, std::size_t bytesNeeded, std::size_t length)
    : ConversionError("line " + std::to_string(lineNumber) + " needs " +
                      (bytesNeeded == 0 ? "more than the record length " + std::to_string(length) + " bytes"
                                        : std::to_string(bytesNeeded) + " bytes, more than the record length " +
                                              std::to_string(length))),
      line(lineNumber), needed(bytesNeeded), recordLength(length) {}

namespace stream {
namespace {

constexpr BYTE shiftOut = 0x0E;
constexpr BYTE shiftIn = 0x0F;
constexpr BYTE ebcdicSpace = 0x40;
constexpr BYTE hostNewLine = 0x15;
constexpr WORD unmapped = 0xFFFF;
constexpr char16_t nextLine = 0x0085;

// One CCSID's data: the tables of an EBCDIC CCSID, none for 13488.
struct HostForm {
  explicit HostForm(const Encoding& of) : encoding(of) {
    if (unicode()) return;
    try {
      const auto& table = velmora::EBCDICTranscoders::instance().transcoder(ccsid());
      toUnicode = table.ebcdicToUnicodeTable();
      toHost = table.unicodeToEbcdicTable();
    } catch (const velmora::EBCDICTranscoderFileNotFound& e) {
      throw ConversionError(encoding.label() + ": no translation table: cannot open " + e.fileName);
    } catch (const velmora::EBCDICTranscoderFileCorrupt& e) {
      throw ConversionError(encoding.label() + ": the translation table " + e.fileName + " is corrupt");
    } catch (const std::runtime_error& e) {
      throw ConversionError(encoding.label() + ": cannot load the translation table: " + e.what());
    }
    if (toUnicode[hostNewLine] != unmapped) newLine = toUnicode[hostNewLine];
  }

  short ccsid() const { return static_cast<short>(encoding.number()); }
  bool unicode() const { return encoding.kind() == Encoding::Kind::unicodeHost; }
  bool mixed() const { return encoding.mixed(); }

  Encoding encoding;
  const WORD* toUnicode = nullptr;
  const WORD* toHost = nullptr;
  char16_t newLine = nextLine;  // what the host new-line 0x15 reads as
};

void checkLayout(const HostForm& form, const HostLayout& layout) {
  if (form.unicode() && layout.recordLength % 2 != 0) {
    throw ConversionError("records of CCSID 13488 hold whole UTF-16 code units: the record length must be even");
  }
}

// ---- Reading ----------------------------------------------------------------------------------

class HostDecoding final : public DecodingCodec {
 public:
  HostDecoding(const Encoding& encoding, const HostLayout& layout, Watch& watch)
      : form_(encoding), layout_(layout), watch_(watch) {
    checkLayout(form_, layout_);
    if (form_.unicode()) return;
    // The single bytes with their substitutes in place, as UTF-16 and as UTF-8 (the bytes in the
    // low three bytes, their count in the top one); 0 marks an unmapped byte in both.
    const WCHAR substitute = unicodeSubstitute(form_.mixed(), false);
    for (unsigned b = 0; b < 256; ++b) {
      WORD u = form_.toUnicode[b];
      unmappedByte_[b] = u == unmapped;
      if (u == unmapped) u = substitute;
      if (layout_.newLines && u == form_.newLine) u = lineFeed;
      single_[b] = u;
      char bytes[4] = {};
      const auto n = static_cast<std::uint32_t>(putUtf8(u, bytes) - bytes);
      std::uint32_t packed = 0;
      std::memcpy(&packed, bytes, 3);
      utf8_[b] = unmappedByte_[b] ? 0 : packed | n << 24;
      utf8Forms_.first[b] = static_cast<BYTE>(bytes[0]);
      utf8Forms_.second[b] = static_cast<BYTE>(bytes[1]);
      utf8Forms_.third[b] = static_cast<BYTE>(bytes[2]);
      utf8Forms_.length[b] = unmappedByte_[b] ? 0 : static_cast<BYTE>(n);
    }
  }

  std::size_t decode(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, TextOut& out) override {
    if (layout_.recordLength == 0) {
      const std::size_t used = decodeData(bytes, length, start, last, "input", out);
      if (last && used == length) shifted_ = false;  // the next stream starts unshifted
      return used;
    }
    // A stop inside a record leaves the rest of it, at recordUsed_, to the next call.
    std::size_t used = 0;
    for (;;) {
      const std::size_t rest = layout_.recordLength - recordUsed_;
      if (length - used < rest && !(last && used < length)) break;
      const std::size_t n = std::min(rest, length - used);
      if (recordUsed_ == 0) shifted_ = false;  // each record starts unshifted
      const std::size_t content = contentLength(bytes + used, n);
      const std::size_t done = decodeData(bytes + used, content, start + used, true, "record", out);
      if (watch_.problem && done < content) {
        recordUsed_ += done;
        return used + done;
      }
      out.put(lineFeed, start + used + n);
      ++watch_.counts.characters;
      recordUsed_ = 0;
      used += n;
      if (watch_.problem) return used;
    }
    if (last && used == length) shifted_ = false;
    return used;
  }

  std::size_t completion() const override { return layout_.recordLength == 0 ? 2 : layout_.recordLength; }
  bool shifted() const override { return shifted_; }
  std::size_t mostUnits(std::size_t length) const override {
    return length + 2 + (layout_.recordLength == 0 ? 0 : length / layout_.recordLength);
  }

 private:
  std::size_t decodeData(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, const char* unit,
                         TextOut& out) {
    if (form_.unicode()) {
      const char16_t newLine = layout_.newLines ? form_.newLine : 0;
      return decodeUtf16(bytes, length, start, last, true, out, watch_, newLine, lineFeed);
    }
    if (!form_.mixed()) return decodeSingleBytes(bytes, length, start, out);
    return decodeMixed(bytes, length, start, last, unit, out);
  }

  // Single bytes up to the end; stops only at an unmapped byte in stop mode.
  std::size_t decodeSingleBytes(const BYTE* bytes, std::size_t length, std::uint64_t start, TextOut& out) {
    std::size_t i = 0;
    while (i < length) {
      i += convertMapped(bytes + i, length - i, start + i, out);
      if (i == length) break;
      if (!reportUnmapped(start + i, bytes[i], false)) return i + 1;
      out.put(single_[bytes[i]], start + i);
      ++watch_.counts.characters;
      ++i;
    }
    return length;
  }

  // Converts single bytes up to the first unmapped one; returns how many.
  std::size_t convertMapped(const BYTE* bytes, std::size_t length, std::uint64_t start, TextOut& out) {
    std::size_t i = 0;
    if (out.utf8()) {
      char* const begin = out.bytes();
      char* p = begin;
      // (Mixed data comes here a short run at a time: those skip the kernel's look-up.)
      const kernels::SingleBytesToUtf8 kernel = length >= 64 ? kernels::singleBytesToUtf8() : nullptr;
      if (kernel != nullptr) {
        const auto [read, written] = kernel(utf8Forms_, bytes, length, p);
        i = read;
        p += written;
      }
      for (; i < length; ++i) {
        const std::uint32_t packed = utf8_[bytes[i]];
        if (packed == 0) break;
        std::memcpy(p, &packed, 4);  // the room holds three bytes a unit, and one unit more
        p += packed >> 24;
      }
      out.advance(static_cast<std::size_t>(p - begin));
    } else {
      char16_t* units = out.units();
      for (; i < length && !unmappedByte_[bytes[i]]; ++i) units[i] = single_[bytes[i]];
      out.advance(i);
      out.locate(i, start, 1);
    }
    watch_.counts.characters += i;
    return i;
  }

  std::size_t decodeMixed(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, const char* unit,
                          TextOut& out) {
    std::size_t i = 0;
    while (i < length) {
      if (!shifted_) {
        const void* found = std::memchr(bytes + i, shiftOut, length - i);
        const std::size_t end = found == nullptr ? length : static_cast<std::size_t>(static_cast<const BYTE*>(found) - bytes);
        const std::size_t done = decodeSingleBytes(bytes + i, end - i, start + i, out);
        if (watch_.problem) return i + done;
        i = end;
        if (i < length) {
          shifted_ = true;
          ++i;
        }
        continue;
      }
      if (!out.locating()) {
        i = convertPairs(bytes, i, length, out);
        if (i == length) break;
      }
      const BYTE b = bytes[i];
      if (b == shiftIn) {
        shifted_ = false;
        ++i;
        continue;
      }
      if (b == shiftOut) {  // a further shift-out changes nothing
        ++i;
        continue;
      }
      if (i + 1 == length) {
        if (!last) return i;  // the next piece brings its second byte
        ++watch_.counts.characters;
        if (!watch_.unmapped(start + i, 1, [&] {
              return "double-byte character " + hexByte(b) + " cut off by the end of the " + unit;
            })) {
          return length;
        }
        out.put(unicodeSubstitute(true, true), start + i);
        return length;
      }
      const auto code = static_cast<WORD>(b << 8 | bytes[i + 1]);
      WORD u = form_.toUnicode[code];
      ++watch_.counts.characters;
      if (u == unmapped) {
        if (!reportUnmapped(start + i, code, true)) return i + 2;
        u = unicodeSubstitute(true, code > 0xFF);  // a pair with lead byte 0x00 is a single-byte code
      }
      out.put(u, start + i);
      i += 2;
    }
    return length;
  }

  // Converts the mapped double-byte characters from bytes[i] on, up to a shift byte, an unmapped
  // code or a lone last byte; returns where it stopped.
  std::size_t convertPairs(const BYTE* bytes, std::size_t i, std::size_t length, TextOut& out) {
    const WORD* const table = form_.toUnicode;
    std::size_t n = 0;
    if (out.utf8()) {
      char* const begin = out.bytes();
      char* p = begin;
      for (; i + 1 < length && bytes[i] != shiftIn && bytes[i] != shiftOut; i += 2, ++n) {
        const WORD u = table[bytes[i] << 8 | bytes[i + 1]];
        if (u == unmapped) break;
        p = putUtf8(u, p);
      }
      out.advance(static_cast<std::size_t>(p - begin));
    } else {
      char16_t* const units = out.units();
      for (; i + 1 < length && bytes[i] != shiftIn && bytes[i] != shiftOut; i += 2, ++n) {
        const WORD u = table[bytes[i] << 8 | bytes[i + 1]];
        if (u == unmapped) break;
        units[n] = u;
      }
      out.advance(n);
    }
    watch_.counts.characters += n;
    return i;
  }

  bool reportUnmapped(std::uint64_t at, WORD code, bool doubleByte) {
    return watch_.unmapped(at, doubleByte ? 2 : 1, [&] {
      if (!doubleByte && code == shiftIn && form_.mixed()) return std::string("shift-in 0x0F outside a double-byte run");
      char text[8];
      std::snprintf(text, sizeof text, "0x%04X", code);
      return (doubleByte ? std::string("double-byte code ") + text : "byte " + hexByte(code)) + " has no mapping in " +
             form_.encoding.label();
    });
  }

  // The length of a record without its trailing single-byte spaces; shift bytes after the last
  // character are kept, so that a record's runs stay as they were.
  std::size_t contentLength(const BYTE* bytes, std::size_t length) const {
    if (form_.unicode()) {
      while (length >= 2 && length % 2 == 0 && bytes[length - 2] == 0 && bytes[length - 1] == 0x20) length -= 2;
      return length;
    }
    if (!form_.mixed()) {
      while (length > 0 && bytes[length - 1] == ebcdicSpace) --length;
      return length;
    }
    std::size_t end = 0;  // after the last character that is not a single-byte space
    bool shifted = shifted_;
    for (std::size_t i = 0; i < length;) {
      const BYTE b = bytes[i];
      if (b == shiftOut || (b == shiftIn && shifted)) {
        shifted = b == shiftOut;
        ++i;
      } else if (!shifted) {
        if (b != ebcdicSpace) end = i + 1;
        ++i;
      } else if (i + 1 < length) {
        end = i + 2;
        i += 2;
      } else {
        return length;  // a double-byte character cut by the record's end
      }
    }
    std::size_t i = length;
    while (i > end && bytes[i - 1] == ebcdicSpace) --i;
    return i;
  }

  HostForm form_;
  HostLayout layout_;
  Watch& watch_;
  bool shifted_ = false;
  std::size_t recordUsed_ = 0;  // bytes of the current record used before a stop
  std::array<char16_t, 256> single_{};
  std::array<bool, 256> unmappedByte_{};
  std::array<std::uint32_t, 256> utf8_{};
  kernels::Utf8Forms utf8Forms_{};  // the same for the vector kernel
};

// ---- Writing ----------------------------------------------------------------------------------

// How many of the eight bytes at p, from the first, are ASCII.
std::size_t leadingAscii(const BYTE* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  const std::uint64_t high = word & 0x8080808080808080u;
  if (high == 0) return 8;
  if constexpr (std::endian::native == std::endian::little) return static_cast<std::size_t>(std::countr_zero(high)) / 8;
  std::size_t n = 0;
  while (p[n] < 0x80) ++n;
  return n;
}

class HostEncoding final : public EncodingCodec {
 public:
  HostEncoding(const Encoding& encoding, const HostLayout& layout, Watch& watch)
      : form_(encoding), layout_(layout), watch_(watch), substitute_(static_cast<BYTE>(hostSubstitute(form_.ccsid()))) {
    checkLayout(form_, layout_);
    if (form_.unicode()) return;
    // The Latin characters the vector kernel may write straight away: a single-byte code, and
    // nothing that composition could change.
    const std::uint8_t* const changes = sys::FoldChangeTable();
    for (unsigned u = 0; u < 256; ++u) {
      const WORD code = form_.toHost[u];
      latin_[u] = static_cast<BYTE>(code);
      latinStops_[u] = code == unmapped || code > 0xFF || changes[u] != 0 ? 1 : 0;
    }
  }

  std::size_t encode(const Units& text, End end, Sink<BYTE>& out) override {
    if (layout_.recordLength != 0) return writeRecords(text, end, out);
    std::size_t ready = composer::ready(text.data, text.size, end != End::more);
    if (layout_.newLines && end == End::more && ready > 0 && text.data[ready - 1] == carriageReturn) --ready;  // LF may follow
    const std::size_t used = writeText(text.part(0, ready), out);
    if (end == End::last && used == text.size && !watch_.problem) closeRun(out);
    return used;
  }

  std::size_t completion() const override { return layout_.recordLength == 0 ? 64 : 3 * layout_.recordLength; }
  std::uint64_t lines() const override { return lines_; }
  bool takesUtf8() const override { return !form_.unicode() && !layout_.newLines && layout_.recordLength == 0; }

  std::size_t encodeUtf8(const char* text, std::size_t length, Sink<BYTE>& out) override {
    const auto* bytes = reinterpret_cast<const BYTE*>(text);
    const WORD* const toHost = form_.toHost;
    const std::uint8_t* const changes = sys::FoldChangeTable();
    BYTE* const begin = out.reserve(2 * length + 1);  // a shift byte and a byte for a one-byte character
    BYTE* p = begin;
    std::size_t i = 0;
    std::size_t characters = 0;
    // The last character written, which a mark may still join: where it begins and what it wrote.
    std::size_t lastStart = 0;
    BYTE* lastOut = p;
    bool lastShifted = shifted_;
    const kernels::LatinUtf8ToSingleBytes latinKernel = kernels::latinUtf8ToSingleBytes();
    // Where the kernel is tried next: text whose Latin stretches are short (mixed data, mostly
    // other scripts) goes faster in the loop below, so after a short stretch it waits a while.
    std::size_t tryKernelAt = 0;
    while (i < length) {
      const BYTE lead = bytes[i];
      if (latinKernel != nullptr && !shifted_ && i >= tryKernelAt && length - i >= 64 &&
          (lead < 0x80 || (lead & 0xFE) == 0xC2)) {
        const auto [read, written] = latinKernel(latin_.data(), latinStops_.data(), bytes + i, length - i, p);
        constexpr std::size_t longStretch = 64;
        constexpr std::size_t pauseAfterShort = 512;
        if (read < longStretch) tryKernelAt = i + pauseAfterShort;
        if (read > 0) {
          p += written;
          characters += written;
          i += read;
          lastStart = i - (bytes[i - 1] < 0x80 ? 1 : 2), lastOut = p - 1, lastShifted = false;
          continue;
        }
      }
      if (lead < 0x80 && !shifted_ && i + 8 <= length) {
        // The ASCII bytes of the next eight, written at once when all have single-byte codes.
        const std::size_t ascii = leadingAscii(bytes + i);
        WORD any = 0;
        for (std::size_t k = 0; k < ascii; ++k) {
          const WORD code = toHost[bytes[i + k]];
          any |= code;
          p[k] = static_cast<BYTE>(code);
        }
        if (any <= 0xFF) {
          p += ascii;
          lastStart = i + ascii - 1, lastOut = p - 1, lastShifted = false;
          characters += ascii;
          i += ascii;
          continue;
        }
      }
      const auto [unit, n] = plainUtf8(bytes + i, length - i);
      if (n == 0) break;
      const WORD code = toHost[unit];
      if (changes[unit] != 0 || code == unmapped) break;
      lastStart = i, lastOut = p, lastShifted = shifted_;
      p = putCode(code, p);
      ++characters;
      i += n;
    }
    if (characters == 0) {
      out.commit(0);
      return 0;
    }
    // The last character may still take a mark: it goes the careful way.
    p = lastOut;
    shifted_ = lastShifted;
    out.commit(static_cast<std::size_t>(p - begin));
    watch_.counts.characters += characters - 1;
    return lastStart;
  }

  bool writesReplacementCharacter() const override {
    return form_.unicode() || form_.toHost[replacementCharacter] != unmapped;
  }

 private:
  // Writes the text as a stream; returns the units used (fewer only when it stops).
  std::size_t writeText(const Units& text, Sink<BYTE>& out) {
    const auto writePiece = [&](const Units& piece) { return write(piece, out); };
    const std::size_t count = text.size;
    if (!layout_.newLines) return composer::run(text, writePiece) ? count : text.before(resume());
    // LF and CR LF become the host new-line before anything composes.
    lineText_.clear();
    lineOffsets_.clear();
    for (std::size_t r = 0; r < count; ++r) {
      char16_t u = text.data[r];
      if (u == carriageReturn && r + 1 < text.size && text.data[r + 1] == lineFeed) continue;
      if (u == lineFeed) u = form_.newLine;
      lineText_.push_back(u);
      lineOffsets_.push_back(text.at(r));
    }
    const Units mapped{lineText_.data(), lineText_.size(), lineOffsets_.data(), 0, text.at(count)};
    return composer::run(mapped, writePiece) ? count : text.before(resume());
  }

  // Where the character a stop was at ends.
  std::uint64_t resume() const { return watch_.problem->offset + watch_.problem->length; }

  // Writes the units of one piece; false when it stops.
  bool write(const Units& piece, Sink<BYTE>& out) {
    const std::size_t n = piece.size;
    if (n == 0) return true;
    BYTE* const begin = out.reserve(form_.unicode() ? 2 * n : 3 * n + 1);
    BYTE* p = begin;
    std::size_t i = 0;
    bool go = true;
    if (form_.unicode()) {
      for (; i < n; ++i) {
        *p++ = static_cast<BYTE>(piece.data[i] >> 8);
        *p++ = static_cast<BYTE>(piece.data[i]);
        if (!isLowSurrogate(piece.data[i]) || i == 0 || !isHighSurrogate(piece.data[i - 1])) ++watch_.counts.characters;
      }
    } else {
      while (i < n) {
        if (!form_.mixed()) {
          // The run of characters with a single-byte code.
          const std::size_t from = i;
          for (; i < n; ++i) {
            const WORD code = form_.toHost[piece.data[i]];
            if (code > 0xFF) break;
            *p++ = static_cast<BYTE>(code);
          }
          watch_.counts.characters += i - from;
          if (i == n) break;
        }
        const char16_t u = piece.data[i];
        const WORD code = form_.toHost[u];
        ++watch_.counts.characters;
        if (code != unmapped) {
          p = putCode(code, p);
          ++i;
          continue;
        }
        std::size_t length = 1;
        char32_t c = u;
        if (isHighSurrogate(u) && i + 1 < n && isLowSurrogate(piece.data[i + 1]) &&
            form_.toHost[piece.data[i + 1]] == unmapped) {
          c = combine(u, piece.data[i + 1]);
          length = 2;  // one character, one substitute
        }
        go = watch_.unmapped(piece.at(i), piece.spanOf(i, length), [&] {
          return (isSurrogate(c) ? "unpaired surrogate " : "") + codePoint(c) + " cannot be represented in " +
                 form_.encoding.label();
        });
        i += length;
        if (!go) break;
        p = putCode(substitute_, p);
      }
    }
    out.commit(static_cast<std::size_t>(p - begin));
    return go;
  }

  // One host code, with the shift byte that its width needs.
  BYTE* putCode(WORD code, BYTE* p) {
    const bool twoBytes = code > 0xFF;
    if (form_.mixed() && twoBytes != shifted_) {
      *p++ = twoBytes ? shiftOut : shiftIn;
      shifted_ = twoBytes;
    }
    if (twoBytes) *p++ = static_cast<BYTE>(code >> 8);
    *p++ = static_cast<BYTE>(code);
    return p;
  }

  void closeRun(Sink<BYTE>& out) {
    if (!shifted_) return;
    *out.reserve(1) = shiftIn;
    out.commit(1);
    shifted_ = false;
  }

  // Each line ends at LF or CR LF and becomes one record; what follows the last LF waits for the
  // rest of its line.
  std::size_t writeRecords(const Units& text, End end, Sink<BYTE>& out) {
    std::size_t from = 0;
    for (std::size_t lf = 0; lf < text.size; ++lf) {
      if (text.data[lf] != lineFeed) continue;
      const std::size_t lineEnd = lf > from && text.data[lf - 1] == carriageReturn ? lf - 1 : lf;
      if (!writeRecord(text.part(from, lineEnd), true, out)) return text.before(resume());
      from = lf + 1;
    }
    if (end == End::last) {
      if (from < text.size && !writeRecord(text.part(from, text.size), true, out)) return text.before(resume());
      return text.size;
    }
    if (end == End::flush) {
      std::size_t rest = text.size;
      if (rest > from && text.data[rest - 1] == carriageReturn) --rest;  // LF may follow
      if (rest > from && !writeRecord(text.part(from, rest), false, out)) return text.before(resume());
      return rest;
    }
    // Every character takes at least one byte: a line can be too long before it ends.
    std::size_t pending = text.size - from;
    if (pending > 0 && text.data[text.size - 1] == carriageReturn) --pending;
    if ((recordOpen_ ? record_.size() : 0) + pending * (form_.unicode() ? 2 : 1) > layout_.recordLength) {
      throw RecordOverflow(lines_ + 1, 0, layout_.recordLength);
    }
    return from;
  }

  // Writes (a piece of) a line into the current record; a whole line ends it, its run closed and
  // padded with spaces. A record left open, by a piece or by a stop (which returns false), goes
  // on with the next line.
  bool writeRecord(const Units& line, bool whole, Sink<BYTE>& out) {
    if (!recordOpen_) {
      ++lines_;
      record_.clear();
      shifted_ = false;
    }
    AppendTo<std::vector<BYTE>> bytes(record_);
    recordOpen_ = true;
    if (!composer::run(line, [&](const Units& piece) { return write(piece, bytes); })) return false;
    const std::size_t record = layout_.recordLength;
    if (!whole) {
      if (record_.size() > record) throw RecordOverflow(lines_, 0, record);
      return true;
    }
    recordOpen_ = false;
    closeRun(bytes);
    if (record_.size() > record) throw RecordOverflow(lines_, record_.size(), record);
    BYTE* p = out.reserve(record);
    std::copy(record_.begin(), record_.end(), p);
    if (form_.unicode()) {
      for (std::size_t i = record_.size(); i + 1 < record; i += 2) p[i] = 0, p[i + 1] = 0x20;
    } else {
      std::memset(p + record_.size(), ebcdicSpace, record - record_.size());
    }
    out.commit(record);
    return true;
  }

  HostForm form_;
  HostLayout layout_;
  Watch& watch_;
  BYTE substitute_;
  bool shifted_ = false;    // the bytes written so far end inside a double-byte run
  std::uint64_t lines_ = 0;  // lines written as records
  bool recordOpen_ = false;  // a stop left the current record half written
  std::u16string lineText_;
  std::vector<std::uint64_t> lineOffsets_;
  std::vector<BYTE> record_;
  std::array<BYTE, 256> latin_{};       // the host byte of each Latin character
  std::array<BYTE, 256> latinStops_{};  // 1: the character goes the careful way
};

}  // namespace

std::unique_ptr<DecodingCodec> makeHostDecoding(const Encoding& encoding, const HostLayout& layout, Watch& watch) {
  return std::make_unique<HostDecoding>(encoding, layout, watch);
}

std::unique_ptr<EncodingCodec> makeHostEncoding(const Encoding& encoding, const HostLayout& layout, Watch& watch) {
  return std::make_unique<HostEncoding>(encoding, layout, watch);
}

}  // namespace stream
}  // namespace kwuni
