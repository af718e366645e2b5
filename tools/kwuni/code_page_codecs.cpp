// Windows code pages, through the library's narrow/wide conversions. Those convert whole texts,
// so a multi-byte code page is cut only where no character can continue: after a byte below 0x30,
// which is never part of a multi-byte character in the Windows code pages (GB18030 included).
// Which characters were substituted is found by probing the code page itself: a byte is
// unmapped when it decodes to '?' without being '?', a character when it does not come back
// from a round trip.

#include <kwuni/ebcdic.h>

#include "tools/kwuni/transcoding.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <climits>

namespace kwuni::cli {
namespace {

constexpr char16_t questionMark = u'?';
constexpr BYTE lowestUnsharedByte = 0x30;
// A multi-byte text with no byte below 0x30 in this many bytes is cut anyway.
constexpr std::size_t longestUncut = std::size_t{16} << 20;

int asInt(std::size_t n, const std::string& label) {
  if (n > INT_MAX / 4) throw Failure("a piece of text is too long for " + label);
  return static_cast<int>(n);
}

class CodePageDecoder final : public Decoder {
 public:
  CodePageDecoder(const Encoding& encoding, Tally& tally)
      : codePage_(static_cast<unsigned>(encoding.number)), multiByte_(encoding.multiByte), label_(encoding.label),
        tally_(tally) {
    char question = '?';
    TConvertUtoAEx(u"?", 1, &question, 1, codePage_);
    for (unsigned b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      WCHAR ch = 0;
      unmappedByte_[b] = TConvertAtoUEx(&byte, 1, &ch, 1, codePage_) == 1 && ch == questionMark && byte != question;
    }
  }

  std::size_t decode(BYTE* bytes, std::size_t length, Position start, bool last, Text& text) override {
    std::size_t cut = length;
    if (multiByte_ && !last) {
      cut = length;
      while (cut > 0 && bytes[cut - 1] >= lowestUnsharedByte) --cut;
      if (cut == 0 && length > longestUncut) cut = length;
    }
    if (cut == 0) return 0;
    const std::size_t base = text.size();
    text.units.resize(base + cut);
    const int n = TConvertAtoUEx(reinterpret_cast<const char*>(bytes), asInt(cut, label_), text.units.data() + base,
                                 asInt(cut, label_), codePage_);
    if (n <= 0) throw Failure(tally_.inputName() + ": cannot convert from " + label_);
    text.units.resize(base + static_cast<std::size_t>(n));
    if (tally_.watching()) {
      multiByte_ ? watchMultiByte(bytes, cut, start, text, base) : watchSingleByte(bytes, cut, start, text, base);
    }
    return cut;
  }

 private:
  void watchSingleByte(const BYTE* bytes, std::size_t length, Position start, Text& text, std::size_t base) {
    if (tally_.locating()) {
      text.positions.resize(base + length);
      for (std::size_t i = 0; i < length; ++i) text.positions[base + i] = start + i;
    }
    for (std::size_t i = 0; i < length; ++i) {
      if (unmappedByte_[bytes[i]]) {
        tally_.substituted(start + i, [&] { return "byte " + hexByte(bytes[i]) + " has no mapping in " + label_; });
      }
    }
  }

  void watchMultiByte(const BYTE* bytes, std::size_t length, Position start, Text& text, std::size_t base) {
    const std::size_t count = text.size() - base;
    if (!tally_.locating()) {
      const auto from = text.units.begin() + static_cast<std::ptrdiff_t>(base);
      const auto questions = std::count(from, text.units.end(), questionMark);
      const auto asked = std::count(bytes, bytes + length, BYTE{'?'});
      if (questions > asked) tally_.substituted(static_cast<std::uint64_t>(questions - asked));
      return;
    }
    const auto offsets = characterOffsets(bytes, length, count);
    text.positions.resize(base + count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t offset = offsets.empty() ? 0 : offsets[i];
      text.positions[base + i] = start + offset;
      if (text.units[base + i] == questionMark && bytes[offset] != '?') {
        tally_.substituted(start + offset, [&] {
          return "the character starting with byte " + hexByte(bytes[offset]) + " has no mapping in " + label_;
        });
      }
    }
  }

  // The offset of the character each unit comes from, as ICU reads the same code page; empty
  // when its reading does not give as many units.
  std::vector<std::size_t> characterOffsets(const BYTE* bytes, std::size_t length, std::size_t count) {
    std::vector<std::size_t> result;
    UErrorCode status = U_ZERO_ERROR;
    UConverter* icu = nullptr;
    for (const char* prefix : {"windows-", "ibm-"}) {
      status = U_ZERO_ERROR;
      icu = ucnv_open((prefix + std::to_string(codePage_)).c_str(), &status);
      if (U_SUCCESS(status)) break;
    }
    if (U_FAILURE(status)) return result;
    ucnv_setFallback(icu, TRUE);
    std::vector<UChar> units(length + 1);
    std::vector<int32_t> offsets(length + 1);
    UChar* target = units.data();
    const char* source = reinterpret_cast<const char*>(bytes);
    ucnv_toUnicode(icu, &target, units.data() + units.size(), &source, source + length, offsets.data(), TRUE,
                   &status);
    ucnv_close(icu);
    if (U_FAILURE(status) || static_cast<std::size_t>(target - units.data()) != count) return result;
    result.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      result[i] = offsets[i] >= 0 ? static_cast<std::size_t>(offsets[i]) : i == 0 ? 0 : result[i - 1];
    }
    return result;
  }

  unsigned codePage_;
  bool multiByte_;
  std::string label_;
  Tally& tally_;
  std::array<bool, 256> unmappedByte_{};
};

class CodePageEncoder final : public CharacterEncoder {
 public:
  CodePageEncoder(const Encoding& encoding, Tally& tally)
      : codePage_(static_cast<unsigned>(encoding.number)), label_(encoding.label), tally_(tally) {}

 private:
  void write(const Text& text, std::size_t count, ByteSink& out) override {
    if (count == 0) return;
    if (tally_.watching()) watch(text, count);
    const int capacity = asInt(count, label_) * 4 + 1;
    BYTE* p = out.reserve(static_cast<std::size_t>(capacity));
    const int n = TConvertUtoAEx(text.units.data(), static_cast<int>(count), reinterpret_cast<char*>(p), capacity,
                                 codePage_);
    if (n <= 0) throw Failure("cannot convert to " + label_);
    out.commit(static_cast<std::size_t>(n));
  }

  void watch(const Text& text, std::size_t count) {
    const char16_t* units = text.units.data();
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t length = isHighSurrogate(units[i]) && i + 1 < count && isLowSurrogate(units[i + 1]) ? 2 : 1;
      if (!representable(units + i, length)) {
        char32_t c = units[i];
        if (length == 2) c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
        tally_.substituted(text.at(i), [&] { return codePoint(c) + " cannot be represented in " + label_; });
      }
      i += length - 1;
    }
  }

  // Whether the character comes back unchanged from a round trip through the code page.
  bool representable(const char16_t* ch, std::size_t length) {
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
  Tally& tally_;
  std::vector<Known> known_ = std::vector<Known>(0x10000, unknown);
};

}  // namespace

std::unique_ptr<Decoder> makeCodePageDecoder(const Encoding& encoding, Tally& tally) {
  return std::make_unique<CodePageDecoder>(encoding, tally);
}

std::unique_ptr<Encoder> makeCodePageEncoder(const Encoding& encoding, Tally& tally) {
  return std::make_unique<CodePageEncoder>(encoding, tally);
}

}  // namespace kwuni::cli
