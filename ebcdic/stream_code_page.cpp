// Windows code pages, through the library's narrow/wide conversions. Those convert whole texts,
// so a multi-byte code page is cut only where no character can continue: after a byte below 0x30,
// which is never part of a multi-byte character in the Windows code pages. A byte is unmapped
// when it decodes to '?' without being '?', a character when it does not come back from a round
// trip through the code page.

#include "ebcdic/stream_codecs.h"

#include "platform/code_page_conversion.h"

#include <kwuni/ebcdic.h>

#include <algorithm>
#include <array>

namespace kwuni::stream {
namespace {

constexpr char16_t questionMark = u'?';
constexpr BYTE lowestUnsharedByte = 0x30;
// A multi-byte text with no byte below 0x30 in this many bytes is cut anyway; single-byte text is
// converted this many bytes at a time.
constexpr std::size_t longestPiece = std::size_t{16} << 20;

class CodePageDecoding final : public DecodingCodec {
 public:
  CodePageDecoding(const Encoding& encoding, Watch& watch)
      : codePage_(static_cast<unsigned>(encoding.number())), label_(encoding.label()), watch_(watch),
        shape_(sys::DescribeCodePage(codePage_)) {
    char question = '?';
    TConvertUtoAEx(u"?", 1, &question, 1, codePage_);
    for (unsigned b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      WCHAR ch = 0;
      unmappedByte_[b] = !shape_.leadByte[b] && TConvertAtoUEx(&byte, 1, &ch, 1, codePage_) == 1 &&
                         ch == questionMark && byte != question;
    }
  }

  std::size_t decode(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, TextOut& out) override {
    std::size_t cut = std::min(length, longestPiece);
    if (multiByte() && (!last || cut < length)) {
      const std::size_t whole = cut;
      while (cut > 0 && bytes[cut - 1] >= lowestUnsharedByte) --cut;
      if (cut == 0 && whole == longestPiece) cut = whole;
    }
    // The characters of the piece, and the first that has no mapping.
    characters_.clear();
    std::size_t stop = cut;
    for (std::size_t i = 0; i < cut;) {
      const std::size_t n = shape_.leadByte[bytes[i]] && i + 1 < cut ? 2 : 1;
      characters_.push_back(i);
      if (stop == cut && watch_.stops() && unmapped(bytes + i, n)) stop = i;
      i += n;
    }
    const std::size_t convert = stop;
    if (convert > 0) {
      units_.resize(convert);
      const int n = TConvertAtoUEx(reinterpret_cast<const char*>(bytes), static_cast<int>(convert), units_.data(),
                                   static_cast<int>(convert), codePage_);
      if (n <= 0) throw ConversionError("cannot convert from " + label_);
      units_.resize(static_cast<std::size_t>(n));
      emit(bytes, convert, start, out);
    }
    if (stop == cut) return cut;
    const std::size_t n = shape_.leadByte[bytes[stop]] && stop + 1 < cut ? 2 : 1;
    ++watch_.counts.characters;
    watch_.unmapped(start + stop, n, [&] { return describe(bytes[stop]); });
    return stop + n;
  }

  std::size_t completion() const override { return multiByte() ? SIZE_MAX : 4; }

 private:
  bool multiByte() const { return shape_.maxCharSize > 1; }

  bool unmapped(const BYTE* bytes, std::size_t n) const {
    if (n == 1) return unmappedByte_[bytes[0]];
    WCHAR ch = 0;
    return TConvertAtoUEx(reinterpret_cast<const char*>(bytes), 2, &ch, 1, codePage_) == 1 && ch == questionMark;
  }

  std::string describe(BYTE first) const {
    if (multiByte()) return "the character starting with byte " + hexByte(first) + " has no mapping in " + label_;
    return "byte " + hexByte(first) + " has no mapping in " + label_;
  }

  // Writes the units, each placed at its character when the two counts agree; counts the
  // substitutes the code page put in.
  void emit(const BYTE* bytes, std::size_t length, std::uint64_t start, TextOut& out) {
    const bool placed = units_.size() <= characters_.size();
    std::size_t questions = 0;
    for (std::size_t i = 0; i < units_.size(); ++i) {
      const std::size_t offset = placed ? characters_[i] : 0;
      const char16_t u = units_[i];
      if (u == questionMark) ++questions;
      if (isHighSurrogate(u) && i + 1 < units_.size() && isLowSurrogate(units_[i + 1])) {
        out.putPair(u, units_[i + 1], start + offset);
        ++i;
      } else if (isSurrogate(u) && out.utf8()) {
        out.put(replacementCharacter, start + offset);
      } else if (out.utf8()) {
        out.put(u, start + offset);
      } else {
        out.putUnit(u, start + offset);
      }
      ++watch_.counts.characters;
    }
    const auto asked = static_cast<std::size_t>(std::count(bytes, bytes + length, BYTE{'?'}));
    if (!watch_.stops() && questions > asked) watch_.counts.substitutions += questions - asked;
  }

  unsigned codePage_;
  std::string label_;
  Watch& watch_;
  sys::CodePageShape shape_;
  std::array<bool, 256> unmappedByte_{};
  std::vector<std::size_t> characters_;  // offset of each character in the piece
  std::u16string units_;
};

class CodePageEncoding final : public EncodingCodec {
 public:
  CodePageEncoding(const Encoding& encoding, Watch& watch)
      : codePage_(static_cast<unsigned>(encoding.number())), label_(encoding.label()), watch_(watch) {}

  bool writesReplacementCharacter() const override { return representable(&replacementCharacter, 1); }

  std::size_t encode(const Units& text, End end, Sink<BYTE>& out) override {
    const Units ready = text.part(0, composer::ready(text.data, text.size, end != End::more));
    return composer::run(ready, [&](const Units& piece) { return write(piece, out); })
               ? ready.size
               : text.before(watch_.problem->offset + watch_.problem->length);
  }

 private:
  bool write(const Units& piece, Sink<BYTE>& out) {
    std::size_t stop = piece.size;
    std::size_t length = 0;
    for (std::size_t i = 0; i < piece.size; i += length) {
      length = isHighSurrogate(piece.data[i]) && i + 1 < piece.size && isLowSurrogate(piece.data[i + 1]) ? 2 : 1;
      ++watch_.counts.characters;
      if (representable(piece.data + i, length)) continue;
      char32_t c = piece.data[i];
      if (length == 2) c = combine(piece.data[i], piece.data[i + 1]);
      if (!watch_.unmapped(piece.at(i), piece.spanOf(i, length),
                           [&] { return codePoint(c) + " cannot be represented in " + label_; })) {
        stop = i;
        break;
      }
    }
    convert(piece.data, stop, out);
    return stop == piece.size;
  }

  void convert(const char16_t* units, std::size_t count, Sink<BYTE>& out) {
    for (std::size_t done = 0; done < count;) {
      std::size_t n = std::min(count - done, longestPiece);
      if (done + n < count && isHighSurrogate(units[done + n - 1])) --n;
      const int capacity = static_cast<int>(4 * n + 1);
      BYTE* p = out.reserve(static_cast<std::size_t>(capacity));
      const int written = TConvertUtoAEx(units + done, static_cast<int>(n), reinterpret_cast<char*>(p), capacity,
                                         codePage_);
      out.commit(static_cast<std::size_t>(std::max(written, 0)));
      if (written <= 0) throw ConversionError("cannot convert to " + label_);
      done += n;
    }
  }

  // Whether the character comes back unchanged from a round trip through the code page.
  bool representable(const char16_t* ch, std::size_t length) const {
    if (length == 1 && known_[*ch] != unknown) return known_[*ch] == yes;
    char bytes[16];
    WCHAR back[4];
    const int n = TConvertUtoAEx(ch, static_cast<int>(length), bytes, sizeof bytes, codePage_);
    const int m = n > 0 ? TConvertAtoUEx(bytes, n, back, 4, codePage_) : 0;
    const bool same = static_cast<std::size_t>(m) == length && std::equal(ch, ch + length, back);
    if (length == 1) known_[*ch] = same ? yes : no;
    return same;
  }

  enum Known : signed char { unknown, yes, no };
  unsigned codePage_;
  std::string label_;
  Watch& watch_;
  mutable std::vector<Known> known_ = std::vector<Known>(0x10000, unknown);
};

}  // namespace

std::unique_ptr<DecodingCodec> makeCodePageDecoding(const Encoding& encoding, Watch& watch) {
  return std::make_unique<CodePageDecoding>(encoding, watch);
}

std::unique_ptr<EncodingCodec> makeCodePageEncoding(const Encoding& encoding, Watch& watch) {
  return std::make_unique<CodePageEncoding>(encoding, watch);
}

}  // namespace kwuni::stream
