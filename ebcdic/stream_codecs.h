// The codecs behind kwuni::Decoder and kwuni::Encoder. A codec converts one contiguous piece of
// a stream and says how much of it it used; what it leaves (a character cut in two, a partial
// record, a segment that a later combining mark may extend) comes back at the front of the next
// piece, which the Decoder and Encoder arrange. A codec keeps only the state that no byte holds:
// the shift state of mixed host data, and what it counts.
#pragma once

#include <kwuni/streaming.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kwuni::stream {

inline bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
inline bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
inline char32_t combine(char16_t high, char16_t low) {
  return 0x10000 + ((char32_t{high} - 0xD800) << 10) + (char32_t{low} - 0xDC00);
}

constexpr char16_t replacementCharacter = 0xFFFD;
constexpr char16_t lineFeed = u'\n';
constexpr char16_t carriageReturn = u'\r';

std::string hexByte(unsigned value);     // "0xC1"
std::string codePoint(char32_t value);  // "U+20AC"

// Writes the UTF-8 form of a code point (one to four bytes) at p and returns the end.
inline char* putUtf8(char32_t c, char* p) {
  if (c < 0x80) {
    *p++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *p++ = static_cast<char>(0xC0 | c >> 6);
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *p++ = static_cast<char>(0xE0 | c >> 12);
    *p++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | c >> 18);
    *p++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *p++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return p;
}

// A character of UTF-8 that the fast loops take: one to three well-formed bytes of a BMP character
// (no surrogate, and, for simplicity, no lead byte 0xE0); length 0 for anything else, which the
// careful path takes.
struct PlainUtf8 {
  char16_t unit;
  std::size_t length;
};
inline PlainUtf8 plainUtf8(const BYTE* p, std::size_t available) {
  const BYTE lead = p[0];
  if (lead < 0x80) return {lead, 1};
  if (lead >= 0xC2 && lead <= 0xDF && available >= 2 && (p[1] & 0xC0) == 0x80) {
    return {static_cast<char16_t>((lead & 0x1F) << 6 | (p[1] & 0x3F)), 2};
  }
  if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED && available >= 3 && (p[1] & 0xC0) == 0x80 &&
      (p[2] & 0xC0) == 0x80) {
    return {static_cast<char16_t>((lead & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F)), 3};
  }
  return {0, 0};
}

// Characters that cannot be converted: counted and substituted, or the first one stops the
// piece. Codecs call unmapped() and, when it returns false, return at once with the character
// used.
class Watch {
 public:
  explicit Watch(bool stop) : stop_(stop) {}

  template <typename Describe>
  bool unmapped(std::uint64_t offset, std::size_t length, Describe describe) {
    if (!stop_) {
      ++counts.substitutions;
      return true;
    }
    problem = Problem{offset, length, describe()};
    return false;
  }
  bool stops() const { return stop_; }

  Counts counts;
  std::optional<Problem> problem;

 private:
  bool stop_;
};

// Decoded text as it is written: UTF-16 code units, each with the offset of its character when
// offsets are asked for, or UTF-8. A pair of UTF-16 units always arrives in one call.
class TextOut {
 public:
  TextOut(Sink<char16_t>& sink, std::vector<std::uint64_t>* offsets) : utf16_(&sink), offsets_(offsets) {}
  explicit TextOut(Sink<char>& sink) : utf8_(&sink) {}

  bool utf8() const { return utf8_ != nullptr; }
  bool locating() const { return offsets_ != nullptr; }

  // Room for `units` more UTF-16 code units, until the next reserve.
  void reserve(std::size_t units) {
    if (utf8_ != nullptr) {
      bytes_ = utf8_->reserve(3 * units);
    } else {
      units_ = utf16_->reserve(units);
    }
    n_ = 0;
  }
  void commit() {
    if (utf8_ != nullptr) {
      utf8_->commit(n_);
    } else {
      utf16_->commit(n_);
    }
    n_ = 0;
  }

  // A code unit that is not a surrogate.
  void put(char16_t unit, std::uint64_t at) {
    if (utf8_ != nullptr) {
      n_ = static_cast<std::size_t>(putUtf8(unit, bytes_ + n_) - bytes_);
      return;
    }
    units_[n_++] = unit;
    if (offsets_ != nullptr) offsets_->push_back(at);
  }
  // Any code unit, surrogates included: UTF-16 output only.
  void putUnit(char16_t unit, std::uint64_t at) {
    units_[n_++] = unit;
    if (offsets_ != nullptr) offsets_->push_back(at);
  }
  void putPair(char16_t high, char16_t low, std::uint64_t at) {
    if (utf8_ != nullptr) {
      n_ = static_cast<std::size_t>(putUtf8(combine(high, low), bytes_ + n_) - bytes_);
      return;
    }
    putUnit(high, at);
    putUnit(low, at);
  }
  // Raw access for the fast loops: the next free unit or byte, and how many were filled.
  char16_t* units() { return units_ + n_; }
  char* bytes() { return bytes_ + n_; }
  void advance(std::size_t n) { n_ += n; }
  // Offsets for n units written through units(), the first at `at`, each `step` further.
  void locate(std::size_t n, std::uint64_t at, std::uint64_t step) {
    if (offsets_ == nullptr) return;
    for (std::size_t i = 0; i < n; ++i) offsets_->push_back(at + i * step);
  }

 private:
  Sink<char16_t>* utf16_ = nullptr;
  Sink<char>* utf8_ = nullptr;
  std::vector<std::uint64_t>* offsets_ = nullptr;
  char16_t* units_ = nullptr;
  char* bytes_ = nullptr;
  std::size_t n_ = 0;
};

class DecodingCodec {
 public:
  virtual ~DecodingCodec() = default;
  // Decodes bytes[0, length), bytes[0] being at stream offset `start`; returns how many bytes it
  // used. With `last` (the stream ends) it uses them all unless it stops.
  virtual std::size_t decode(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last,
                             TextOut& out) = 0;
  // How many more bytes usually finish what a piece leaves over.
  virtual std::size_t completion() const { return 4; }
  // The most UTF-16 units that `length` bytes decode to.
  virtual std::size_t mostUnits(std::size_t length) const { return length + 1; }
  // Whether the bytes used so far end inside a double-byte run.
  virtual bool shifted() const { return false; }
};

// UTF-16 text with, when located, the stream offset each unit stands for.
struct Units {
  const char16_t* data;
  std::size_t size;
  const std::uint64_t* offsets;  // null: a unit's offset is base + its index
  std::uint64_t base;
  std::uint64_t end;                      // the offset just after the last unit
  const std::uint64_t* ends = nullptr;    // null: a unit ends where the next one stands

  std::uint64_t at(std::size_t i) const {
    if (i == size) return end;
    return offsets != nullptr ? offsets[i] : base + i;
  }
  // Where the character of units [i, i + n) stands and how much of the stream it takes.
  std::uint64_t spanOf(std::size_t i, std::size_t n) const {
    const std::uint64_t last = ends != nullptr ? ends[i + n - 1] : at(i + n);
    return last - at(i);
  }
  // Units [from, to).
  Units part(std::size_t from, std::size_t to) const {
    return {data + from, to - from, offsets != nullptr ? offsets + from : nullptr, base + from, at(to),
            ends != nullptr ? ends + from : nullptr};
  }
  // How many leading units stand before the offset.
  std::size_t before(std::uint64_t offset) const {
    std::size_t r = 0;
    while (r < size && at(r) < offset) ++r;
    return r;
  }
};

// How far a text goes: more may follow and change its end; nothing that follows may change it
// (a flush, or malformed input that breaks the text), though the stream goes on; or the stream
// ends with it.
enum class End { more, flush, last };

class EncodingCodec {
 public:
  virtual ~EncodingCodec() = default;
  // Encodes text[0, size); returns how many units it used. Unless it stops, it uses them all
  // except, with End::more, what the next text may change (and, with End::flush, a partial record
  // line, which it writes into the open record).
  virtual std::size_t encode(const Units& text, End end, Sink<BYTE>& out) = 0;
  // How many more units usually finish what a piece leaves over.
  virtual std::size_t completion() const { return 64; }
  // Lines completed so far, for codecs that count them.
  virtual std::uint64_t lines() const { return 0; }
  // Whether U+FFFD reaches the output as itself: if not, it is substituted (and counted) again.
  virtual bool writesReplacementCharacter() const { return true; }
  // Whether encodeUtf8 can take UTF-8 straight from the bytes.
  virtual bool takesUtf8() const { return false; }
  // Encodes UTF-8 straight from the bytes, from a state with nothing held: as far as the
  // characters need no composition and no substitute, leaving the last one (a mark may follow it)
  // and all from the first that needs care. Returns the bytes used.
  virtual std::size_t encodeUtf8(const char*, std::size_t, Sink<BYTE>&) { return 0; }
};

std::unique_ptr<DecodingCodec> makeHostDecoding(const Encoding& encoding, const HostLayout& layout, Watch& watch);
std::unique_ptr<EncodingCodec> makeHostEncoding(const Encoding& encoding, const HostLayout& layout, Watch& watch);
std::unique_ptr<DecodingCodec> makeUnicodeDecoding(const Encoding& encoding, Watch& watch);
std::unique_ptr<EncodingCodec> makeUnicodeEncoding(const Encoding& encoding, Watch& watch);
std::unique_ptr<DecodingCodec> makeUtf7Decoding(Watch& watch);
std::unique_ptr<EncodingCodec> makeUtf7Encoding(Watch& watch);
std::unique_ptr<DecodingCodec> makeCodePageDecoding(const Encoding& encoding, Watch& watch);
std::unique_ptr<EncodingCodec> makeCodePageEncoding(const Encoding& encoding, Watch& watch);

// Decodes UTF-16 bytes of either order, as decode() of a DecodingCodec; unpaired surrogates pass
// into UTF-16 output and are substituted in UTF-8 output. Odd length at the end of a stream
// throws ConversionError. Unit `from` is replaced by `to` (a host new-line read as LF).
std::size_t decodeUtf16(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, bool bigEndian,
                        TextOut& out, Watch& watch, char16_t from = 0, char16_t to = 0);

// The composition an encoder applies before it looks characters up (FoldStringW with
// MAP_PRECOMPOSED): the text cut where a following piece may still change it, and each segment
// that composes folded.
namespace composer {

// How much of text[0, size) can be encoded now: all of it with `last`, else up to the segment that
// the next piece may extend.
std::size_t ready(const char16_t* text, std::size_t size, bool last);

// Calls encode for the pieces of text in order, each segment that composes replaced by its
// composed form (whose units stand where the characters they come from stood); stops when encode
// returns false, and returns whether it went through.
bool run(const Units& text, const std::function<bool(const Units&)>& encode);

}  // namespace composer

}  // namespace kwuni::stream
