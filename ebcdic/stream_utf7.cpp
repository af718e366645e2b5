// UTF-7 as a stream: the string classes' UTF-7 state machines, carried from piece to piece, so
// that an encoded run may cross any piece boundary. Decoding is as lenient as theirs (a byte
// above 0x7F reads as U+0080..U+00FF); what they find malformed is reported and counted.

#include "ebcdic/stream_codecs.h"
#include "strings/utf_codecs.h"

namespace kwuni::stream {
namespace {

class Utf7Decoding final : public DecodingCodec {
 public:
  explicit Utf7Decoding(Watch& watch) : watch_(watch) {}

  std::size_t decode(const BYTE* bytes, std::size_t length, std::uint64_t start, bool last, TextOut& out) override {
    for (std::size_t i = 0; i < length; ++i) {
      const auto step = decoder_.step(bytes[i]);
      if (step.malformed && !reportMalformed(start + i, bytes[i])) return i + 1;
      if (step.hasUnit && !put(step.unit, start + i, out)) return i + 1;
    }
    if (last) {
      if (decoder_.finish() && !watch_.unmapped(start + length, 0, [] { return std::string("UTF-7 ends inside a malformed encoded run"); })) {
        return length;
      }
      if (high_) unpaired(*high_, highAt_, out);
      high_.reset();
    }
    return length;
  }
  std::size_t mostUnits(std::size_t length) const override { return length + 2; }

 private:
  bool reportMalformed(std::uint64_t at, BYTE byte) {
    return watch_.unmapped(at, 1, [&] {
      return byte >= 0x80 ? "byte " + hexByte(byte) + " is not UTF-7"
                          : "malformed UTF-7 encoded run, ended by byte " + hexByte(byte);
    });
  }

  // A unit of text; surrogates go out in pairs, one that has no partner as itself (UTF-16) or as
  // U+FFFD (UTF-8). False when a substitute stops the piece.
  bool put(char16_t unit, std::uint64_t at, TextOut& out) {
    if (high_) {
      const char16_t high = *high_;
      high_.reset();
      if (isLowSurrogate(unit)) {
        ++watch_.counts.characters;
        out.putPair(high, unit, highAt_);
        return true;
      }
      if (!unpaired(high, highAt_, out)) return false;
    }
    if (isHighSurrogate(unit)) {
      high_ = unit;
      highAt_ = at;
      return true;
    }
    if (isLowSurrogate(unit)) return unpaired(unit, at, out);
    ++watch_.counts.characters;
    out.put(unit, at);
    return true;
  }

  bool unpaired(char16_t unit, std::uint64_t at, TextOut& out) {
    ++watch_.counts.characters;
    if (!out.utf8()) {
      out.putUnit(unit, at);
      return true;
    }
    if (!watch_.unmapped(at, 1, [&] { return "unpaired surrogate " + codePoint(unit) + " cannot be written in UTF-8"; })) {
      return false;
    }
    out.put(replacementCharacter, at);
    return true;
  }

  Watch& watch_;
  strings::Utf7Decoder decoder_;
  std::optional<char16_t> high_;
  std::uint64_t highAt_ = 0;
};

// Every unit is taken at once: the encoder carries an open run, and closes it where the text
// can change no more.
class Utf7Encoding final : public EncodingCodec {
 public:
  explicit Utf7Encoding(Watch& watch) : watch_(watch) {}

  std::size_t encode(const Units& text, End end, Sink<BYTE>& out) override {
    BYTE* const begin = out.reserve(text.size * strings::Utf7Encoder::maxStepBytes + strings::Utf7Encoder::maxFinishBytes);
    BYTE* p = begin;
    for (std::size_t i = 0; i < text.size; ++i) {
      const char16_t unit = text.data[i];
      if (!isLowSurrogate(unit) || !afterHigh_) ++watch_.counts.characters;  // a pair is one character
      afterHigh_ = isHighSurrogate(unit);
      p += encoder_.step(unit, p);
    }
    if (end != End::more) p += encoder_.finish(p);
    out.commit(static_cast<std::size_t>(p - begin));
    return text.size;
  }

 private:
  Watch& watch_;
  strings::Utf7Encoder encoder_;
  bool afterHigh_ = false;
};

}  // namespace

std::unique_ptr<DecodingCodec> makeUtf7Decoding(Watch& watch) { return std::make_unique<Utf7Decoding>(watch); }

std::unique_ptr<EncodingCodec> makeUtf7Encoding(Watch& watch) { return std::make_unique<Utf7Encoding>(watch); }

}  // namespace kwuni::stream
