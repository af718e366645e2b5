// UTF-8 and UTF-16 in either byte order.

#include "tools/kwuni/transcoding.h"

namespace kwuni::cli {
namespace {

constexpr char16_t replacementCharacter = 0xFFFD;
constexpr Position offsetMask = (Position{1} << 48) - 1;

std::string byteList(const BYTE* bytes, std::size_t n) {
  std::string list;
  for (std::size_t i = 0; i < n; ++i) list += (i == 0 ? "" : " ") + hexByte(bytes[i]);
  return list;
}

// Invalid sequences become U+FFFD, one for each maximal piece of a valid sequence (a lone
// continuation byte, a lead byte whose sequence breaks off), as the Unicode standard recommends.
class Utf8Decoder final : public Decoder {
 public:
  explicit Utf8Decoder(Tally& tally) : tally_(tally) {}

  std::size_t decode(BYTE* bytes, std::size_t length, Position start, bool last, Text& text) override {
    const bool locating = tally_.locating();
    const std::size_t base = text.size();
    text.units.resize(base + length);  // never more units than bytes
    if (locating) text.positions.resize(base + length);
    char16_t* out = text.units.data() + base;
    Position* where = locating ? text.positions.data() + base : nullptr;
    std::size_t n = 0;
    const auto put = [&](char16_t unit, std::size_t from) {
      out[n] = unit;
      if (where != nullptr) where[n] = start + from;
      ++n;
    };

    std::size_t i = 0;
    while (i < length) {
      const BYTE lead = bytes[i];
      if (lead < 0x80) {
        put(lead, i++);
        continue;
      }
      std::size_t need = 0;
      BYTE low = 0x80, high = 0xBF;
      char32_t c = 0;
      if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, c = lead & 0x1Fu;
      } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, c = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;  // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
      } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, c = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
      }
      std::size_t j = i + 1;
      bool complete = need > 0;
      for (std::size_t k = 0; k < need; ++k, ++j) {
        if (j == length && !last) {  // the next chunk completes it
          text.units.resize(base + n);
          if (locating) text.positions.resize(base + n);
          return i;
        }
        if (j == length || bytes[j] < low || bytes[j] > high) {
          complete = false;
          break;
        }
        c = c << 6 | (bytes[j] & 0x3Fu);
        low = 0x80, high = 0xBF;
      }
      if (!complete) {
        put(replacementCharacter, i);
        tally_.substituted(start + i, [&] {
          return j == length ? "UTF-8 sequence " + byteList(bytes + i, j - i) + " cut short by the end of the input"
                             : "invalid UTF-8 " + byteList(bytes + i, j - i + (need == 0 ? 0 : 1));
        });
        i = j;
        continue;
      }
      if (c >= 0x10000) {
        put(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), i);
        put(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), i);
      } else {
        put(static_cast<char16_t>(c), i);
      }
      i = j;
    }
    text.units.resize(base + n);
    if (locating) text.positions.resize(base + n);
    return length;
  }

 private:
  Tally& tally_;
};

// Unpaired surrogates cannot be written and become U+FFFD.
class Utf8Encoder final : public CharacterEncoder {
 public:
  explicit Utf8Encoder(Tally& tally) : tally_(tally) {}

 private:
  void write(const Text& text, std::size_t count, ByteSink& out) override {
    const char16_t* units = text.units.data();
    BYTE* const begin = out.reserve(3 * count);
    BYTE* p = begin;
    for (std::size_t i = 0; i < count; ++i) {
      char32_t c = units[i];
      if (c < 0x80) {
        *p++ = static_cast<BYTE>(c);
        continue;
      }
      if (isHighSurrogate(units[i]) && i + 1 < count && isLowSurrogate(units[i + 1])) {
        c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
        ++i;
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        tally_.substituted(text.at(i),
                           [&] { return "unpaired surrogate " + codePoint(c) + " cannot be written in UTF-8"; });
        c = replacementCharacter;
      }
      p = putUtf8(c, p);
    }
    out.commit(static_cast<std::size_t>(p - begin));
  }

  Tally& tally_;
};

// UTF-16 passes every code unit, unpaired surrogates included, through unchanged.
class Utf16Decoder final : public Decoder {
 public:
  Utf16Decoder(bool bigEndian, Tally& tally) : bigEndian_(bigEndian), tally_(tally) {}

  std::size_t decode(BYTE* bytes, std::size_t length, Position start, bool last, Text& text) override {
    if (last && length % 2 != 0) failOddLength(tally_.inputName(), start + length);
    appendUtf16(bytes, length / 2, bigEndian_, start, tally_.locating(), text);
    return length & ~std::size_t{1};
  }

 private:
  bool bigEndian_;
  Tally& tally_;
};

class Utf16Encoder final : public Encoder {
 public:
  explicit Utf16Encoder(bool bigEndian) : bigEndian_(bigEndian) {}

  void encode(Text& text, ByteSink& out) override {
    putUtf16(text.units.data(), text.size(), bigEndian_, out.reserve(2 * text.size()));
    out.commit(2 * text.size());
  }

  void finish(ByteSink&) override {}

 private:
  bool bigEndian_;
};

}  // namespace

void appendUtf16(const BYTE* bytes, std::size_t count, bool bigEndian, Position start, bool locating, Text& text) {
  const std::size_t base = text.size();
  text.units.resize(base + count);
  char16_t* out = text.units.data() + base;
  const std::size_t high = bigEndian ? 0 : 1;
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = static_cast<char16_t>(bytes[2 * i + high] << 8 | bytes[2 * i + 1 - high]);
  }
  if (locating) {
    text.positions.resize(base + count);
    for (std::size_t i = 0; i < count; ++i) text.positions[base + i] = start + 2 * i;
  }
}

void putUtf16(const char16_t* units, std::size_t count, bool bigEndian, BYTE* out) {
  const std::size_t high = bigEndian ? 0 : 1;
  for (std::size_t i = 0; i < count; ++i) {
    out[2 * i + high] = static_cast<BYTE>(units[i] >> 8);
    out[2 * i + 1 - high] = static_cast<BYTE>(units[i]);
  }
}

void failOddLength(const std::string& name, Position end) {
  throw Failure(name + ": odd length (" + std::to_string(end & offsetMask) +
                " bytes): UTF-16 data comes in pairs of bytes");
}

std::unique_ptr<Decoder> makeUnicodeDecoder(const Encoding& encoding, Tally& tally) {
  if (encoding.kind == Encoding::Kind::utf8) return std::make_unique<Utf8Decoder>(tally);
  return std::make_unique<Utf16Decoder>(encoding.kind == Encoding::Kind::utf16be, tally);
}

std::unique_ptr<Encoder> makeUnicodeEncoder(const Encoding& encoding, Tally& tally) {
  if (encoding.kind == Encoding::Kind::utf8) return std::make_unique<Utf8Encoder>(tally);
  return std::make_unique<Utf16Encoder>(encoding.kind == Encoding::Kind::utf16be);
}

}  // namespace kwuni::cli
