// UTF-8 and UTF-16 in either byte order (UTF-7 in stream_utf7.cpp).

#include "ebcdic/stream_codecs.h"

#include <cstdio>
#include <cstring>

namespace kwuni::stream {

std::string hexByte(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

std::string codePoint(char32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(value));
  return text;
}

namespace {

std::string byteList(const BYTE* bytes, std::size_t n) {
  std::string list;
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) list += ' ';
    list += hexByte(bytes[i]);
  }
  return list;
}

constexpr std::uint64_t highBits = 0x8080808080808080u;

// The length of the run of ASCII bytes at the start of bytes[0, length).
std::size_t asciiRun(const BYTE* bytes, std::size_t length) {
  std::size_t i = 0;
  for (std::uint64_t word; i + 8 <= length; i += 8) {
    std::memcpy(&word, bytes + i, 8);
    if ((word & highBits) != 0) break;
  }
  while (i < length && bytes[i] < 0x80) ++i;
  return i;
}

// Invalid sequences become U+FFFD, one for each maximal piece of a valid sequence (a lone
// continuation byte, a lead byte whose sequence breaks off), as the Unicode standard recommends.
class Utf8Decoding final : public DecodingCodec {
 public:
  explicit Utf8Decoding(Watch& watch) : watch_(watch) {}

  std::size_t decode(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, TextOut& out) override {
    const bool plainUtf16 = !out.utf8() && !out.locating();
    std::size_t i = 0;
    while (i < length) {
      if (plainUtf16) {
        i = convertWellFormed(bytes, i, length, out);
        if (i == length) break;
      }
      if (bytes[i] < 0x80) {
        const std::size_t run = asciiRun(bytes + i, length - i);
        if (out.utf8()) {
          std::memcpy(out.bytes(), bytes + i, run);
        } else {
          char16_t* units = out.units();
          for (std::size_t k = 0; k < run; ++k) units[k] = bytes[i + k];
          out.locate(run, start + i, 1);
        }
        out.advance(run);
        watch_.counts.characters += run;
        i += run;
        continue;
      }
      const BYTE lead = bytes[i];
      std::size_t need = 0;
      BYTE low = 0x80, high = 0xBF;
      char32_t c = 0;
      if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, c = lead & 0x1Fu;
      } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, c = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
      } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, c = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
      }
      std::size_t j = i + 1;
      bool complete = need > 0;
      for (std::size_t k = 0; k < need; ++k, ++j) {
        if (j == length && !last) return i;  // the next piece completes it
        if (j == length || bytes[j] < low || bytes[j] > high) {
          complete = false;
          break;
        }
        c = c << 6 | (bytes[j] & 0x3Fu);
        low = 0x80, high = 0xBF;
      }
      ++watch_.counts.characters;
      if (!complete) {
        const bool go = watch_.unmapped(start + i, j - i, [&] {
          return need > 0 && j == length ? "UTF-8 sequence " + byteList(bytes + i, j - i) + " cut short by the end of the input"
                             : "invalid UTF-8 " + byteList(bytes + i, j - i + (need == 0 ? 0 : 1));
        });
        if (!go) return j;
        out.put(replacementCharacter, start + i);
      } else if (out.utf8()) {
        std::memcpy(out.bytes(), bytes + i, j - i);
        out.advance(j - i);
      } else if (c >= 0x10000) {
        out.putPair(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)),
                    static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), start + i);
      } else {
        out.put(static_cast<char16_t>(c), start + i);
      }
      i = j;
    }
    return length;
  }

 private:
  // Converts the well-formed, complete sequences from bytes[i] on into UTF-16, up to the first
  // that is not; returns where it stopped.
  std::size_t convertWellFormed(const BYTE* bytes, std::size_t i, std::size_t length, TextOut& out) {
    char16_t* const begin = out.units();
    char16_t* p = begin;
    while (i < length) {
      const BYTE lead = bytes[i];
      if (lead < 0x80) {
        if (i + 8 <= length) {
          std::uint64_t word;
          std::memcpy(&word, bytes + i, 8);
          if ((word & highBits) == 0) {
            for (std::size_t k = 0; k < 8; ++k) p[k] = bytes[i + k];
            p += 8;
            i += 8;
            continue;
          }
        }
        *p++ = lead;
        ++i;
      } else if (const PlainUtf8 c = plainUtf8(bytes + i, length - i); c.length != 0) {
        *p++ = c.unit;
        i += c.length;
      } else {
        break;  // anything else takes the careful way
      }
    }
    const auto n = static_cast<std::size_t>(p - begin);
    out.advance(n);
    watch_.counts.characters += n;
    return i;
  }

  Watch& watch_;
};

class Utf16Decoding final : public DecodingCodec {
 public:
  Utf16Decoding(bool bigEndian, Watch& watch) : bigEndian_(bigEndian), watch_(watch) {}

  std::size_t decode(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, TextOut& out) override {
    return decodeUtf16(bytes, length, start, last, bigEndian_, out, watch_);
  }
  std::size_t mostUnits(std::size_t length) const override { return length / 2 + 1; }

 private:
  bool bigEndian_;
  Watch& watch_;
};

// Unpaired surrogates cannot be written and become U+FFFD.
class Utf8Encoding final : public EncodingCodec {
 public:
  explicit Utf8Encoding(Watch& watch) : watch_(watch) {}

  std::size_t encode(const Units& text, End end, Sink<BYTE>& out) override {
    std::size_t count = text.size;
    if (end == End::more && count > 0 && isHighSurrogate(text.data[count - 1])) --count;  // its low half may follow
    auto* const begin = reinterpret_cast<char*>(out.reserve(3 * count));
    char* p = begin;
    std::size_t i = 0;
    for (; i < count; ++i) {
      char32_t c = text.data[i];
      ++watch_.counts.characters;
      if (c < 0x80) {
        *p++ = static_cast<char>(c);
        continue;
      }
      if (isHighSurrogate(text.data[i]) && i + 1 < count && isLowSurrogate(text.data[i + 1])) {
        c = combine(text.data[i], text.data[i + 1]);
        ++i;
      } else if (isSurrogate(c)) {
        if (!watch_.unmapped(text.at(i), text.spanOf(i, 1), [&] {
              return "unpaired surrogate " + codePoint(c) + " cannot be written in UTF-8";
            })) {
          ++i;
          break;
        }
        c = replacementCharacter;
      }
      p = putUtf8(c, p);
    }
    out.commit(static_cast<std::size_t>(p - begin));
    return i;
  }

 private:
  Watch& watch_;
};

// UTF-16 passes every code unit, unpaired surrogates included, through unchanged.
class Utf16Encoding final : public EncodingCodec {
 public:
  Utf16Encoding(bool bigEndian, Watch& watch) : bigEndian_(bigEndian), watch_(watch) {}

  std::size_t encode(const Units& text, End, Sink<BYTE>& out) override {
    BYTE* p = out.reserve(2 * text.size);
    const std::size_t high = bigEndian_ ? 0 : 1;
    for (std::size_t i = 0; i < text.size; ++i) {
      p[2 * i + high] = static_cast<BYTE>(text.data[i] >> 8);
      p[2 * i + 1 - high] = static_cast<BYTE>(text.data[i]);
      if (!isLowSurrogate(text.data[i]) || i == 0 || !isHighSurrogate(text.data[i - 1])) ++watch_.counts.characters;
    }
    out.commit(2 * text.size);
    return text.size;
  }

 private:
  bool bigEndian_;
  Watch& watch_;
};

}  // namespace

std::size_t decodeUtf16(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, bool bigEndian,
                        TextOut& out, Watch& watch, char16_t from, char16_t to) {
  const std::size_t count = length / 2;
  const std::size_t high = bigEndian ? 0 : 1;
  const auto unit = [&](std::size_t k) {
    const auto u = static_cast<char16_t>(bytes[2 * k + high] << 8 | bytes[2 * k + 1 - high]);
    return u == from && from != 0 ? to : u;
  };
  for (std::size_t k = 0; k < count; ++k) {
    const char16_t u = unit(k);
    const std::uint64_t at = start + 2 * k;
    if (isHighSurrogate(u) && k + 1 == count && !last) return 2 * k;  // its low half may follow
    ++watch.counts.characters;
    if (!isSurrogate(u)) {
      out.put(u, at);
    } else if (isHighSurrogate(u) && k + 1 < count && isLowSurrogate(unit(k + 1))) {
      out.putPair(u, unit(k + 1), at);
      ++k;
    } else if (!out.utf8()) {
      out.putUnit(u, at);
    } else if (watch.unmapped(at, 2, [&] { return "unpaired surrogate " + codePoint(u) + " cannot be written in UTF-8"; })) {
      out.put(replacementCharacter, at);
    } else {
      return 2 * k + 2;
    }
  }
  if (last && length % 2 != 0) {
    throw ConversionError("odd length (" + std::to_string(start + length) +
                          " bytes): UTF-16 data comes in pairs of bytes");
  }
  return 2 * count;
}

std::unique_ptr<DecodingCodec> makeUnicodeDecoding(const Encoding& encoding, Watch& watch) {
  if (encoding.kind() == Encoding::Kind::utf8) return std::make_unique<Utf8Decoding>(watch);
  if (encoding.kind() == Encoding::Kind::utf7) return makeUtf7Decoding(watch);
  return std::make_unique<Utf16Decoding>(encoding.kind() == Encoding::Kind::utf16be, watch);
}

std::unique_ptr<EncodingCodec> makeUnicodeEncoding(const Encoding& encoding, Watch& watch) {
  if (encoding.kind() == Encoding::Kind::utf8) return std::make_unique<Utf8Encoding>(watch);
  if (encoding.kind() == Encoding::Kind::utf7) return makeUtf7Encoding(watch);
  return std::make_unique<Utf16Encoding>(encoding.kind() == Encoding::Kind::utf16be, watch);
}

}  // namespace kwuni::stream
