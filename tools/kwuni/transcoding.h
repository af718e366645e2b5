// The pieces of a streaming conversion: bytes are decoded a chunk at a time into UTF-16 text,
// and the text is encoded into bytes. Each decoder keeps back what the next chunk completes (a
// character cut in two, a partial record) and carries the shift state of mixed host data; each
// encoder keeps its own shift state, so a run of double-byte characters continues across chunks.
#pragma once

#include <kwuni/win32.h>

#include "tools/kwuni/command.h"
#include "tools/kwuni/encodings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kwuni::cli {

// Where a character came from: the input's number in the high 16 bits, the byte offset in the
// input below.
using Position = std::uint64_t;
constexpr Position positionOf(std::size_t input, std::uint64_t offset) {
  return static_cast<Position>(input) << 48 | offset;
}

// Decoded text on its way to the encoder. When substitutions must be located (--strict), every
// code unit carries the position of the character it came from.
struct Text {
  std::u16string units;
  std::vector<Position> positions;  // empty, or one per unit

  std::size_t size() const { return units.size(); }
  bool empty() const { return units.empty(); }
  Position at(std::size_t i) const { return positions.empty() ? 0 : positions[i]; }
  void clear() {
    units.clear();
    positions.clear();
  }
};

// Counts characters and substitutions, and names the input a position belongs to. Under
// --strict the first substitution is an error naming its input and byte offset.
class Tally {
 public:
  Tally(bool strict, bool counting) : strict_(strict), counting_(counting) {}

  bool watching() const { return strict_ || counting_; }  // whether codecs look for substitutions
  bool locating() const { return strict_; }               // whether text carries positions

  void beginInput(std::string name) { names_.push_back(std::move(name)); }
  std::size_t inputIndex() const { return names_.size() - 1; }
  const std::string& inputName() const { return names_.back(); }

  // A character was substituted; describe() says what it was.
  template <typename Describe>
  void substituted(Position at, Describe describe) {
    ++substitutions_;
    if (strict_) throw Failure(where(at) + ": " + describe());
  }
  void substituted(std::uint64_t count) { substitutions_ += count; }
  void converted(std::uint64_t characters) { characters_ += characters; }

  std::uint64_t characters() const { return characters_; }
  std::uint64_t substitutions() const { return substitutions_; }

  // "NAME: offset N".
  std::string where(Position at) const;

 private:
  bool strict_;
  bool counting_;
  std::vector<std::string> names_;
  std::uint64_t characters_ = 0;
  std::uint64_t substitutions_ = 0;
};

// Buffered output to a file descriptor. Encoders write in place: reserve room, fill some of it,
// commit what they filled.
class ByteSink {
 public:
  ByteSink(int fd, std::string name);
  BYTE* reserve(std::size_t n);
  void commit(std::size_t n);
  void write(const BYTE* bytes, std::size_t n);
  void flush();  // throws Failure when the system refuses the bytes

 private:
  int fd_;
  std::string name_;
  std::unique_ptr<BYTE[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
};

// How host data is laid out: --lines and --record N.
struct HostLayout {
  bool lines = false;
  std::size_t record = 0;
};

class Decoder {
 public:
  virtual ~Decoder() = default;
  // Decodes bytes[0, length) of the current input, bytes[0] being at `start`, and appends the
  // text. Returns how many bytes it used; the rest comes back at the front of the next call.
  // With `last` (the input ends) it uses them all. The byte before bytes[0] belongs to the
  // caller and may be overwritten.
  virtual std::size_t decode(BYTE* bytes, std::size_t length, Position start, bool last, Text& text) = 0;
};

class Encoder {
 public:
  virtual ~Encoder() = default;
  // Encodes the text, which it may change. What the next text may complete is kept back.
  virtual void encode(Text& text, ByteSink& out) = 0;
  // A new input begins (line numbers in messages restart).
  virtual void beginInput() {}
  // The text ends: writes what was kept back and closes an open double-byte run.
  virtual void finish(ByteSink& out) = 0;
};

std::unique_ptr<Decoder> makeDecoder(const Encoding& encoding, const HostLayout& layout, Tally& tally);
std::unique_ptr<Encoder> makeEncoder(const Encoding& encoding, const HostLayout& layout, Tally& tally);

// Host data of a CCSID (both kinds of Encoding::host()).
std::unique_ptr<Decoder> makeHostDecoder(const Encoding& encoding, const HostLayout& layout, Tally& tally);
std::unique_ptr<Encoder> makeHostEncoder(const Encoding& encoding, const HostLayout& layout, Tally& tally);

// UTF-8, UTF-16LE, UTF-16BE and the Windows code pages.
std::unique_ptr<Decoder> makeUnicodeDecoder(const Encoding& encoding, Tally& tally);
std::unique_ptr<Encoder> makeUnicodeEncoder(const Encoding& encoding, Tally& tally);
std::unique_ptr<Decoder> makeCodePageDecoder(const Encoding& encoding, Tally& tally);
std::unique_ptr<Encoder> makeCodePageEncoder(const Encoding& encoding, Tally& tally);

// Helpers the codecs share.
inline bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
std::string hexByte(unsigned value);     // "0xC1"
std::string codePoint(char32_t value);  // "U+20AC"

// Appends the code units of `count` byte pairs, bytes[0] being at `start`.
void appendUtf16(const BYTE* bytes, std::size_t count, bool bigEndian, Position start, bool locating, Text& text);
// Writes the code units as 2 * count bytes.
void putUtf16(const char16_t* units, std::size_t count, bool bigEndian, BYTE* out);
// "NAME: odd length (N bytes): UTF-16 data comes in pairs of bytes".
[[noreturn]] void failOddLength(const std::string& name, Position end);

// The text an encoder keeps back from one call to the next.
class HeldText {
 public:
  // The text to work on: the new text itself, or what was held followed by it.
  Text& take(Text& text);
  // Holds work[from, end) for the next call and cuts work to [0, from).
  void keep(Text& work, std::size_t from);
  // Takes all that is held, for the end of the text.
  Text& rest();
  const std::u16string& units() const { return held_.units; }

 private:
  Text held_;
  Text work_;
};

// An encoder that writes each character on its own: it only keeps back a high surrogate at the
// end of a text, whose low half may come with the next one.
class CharacterEncoder : public Encoder {
 public:
  void encode(Text& text, ByteSink& out) final;
  void finish(ByteSink& out) final;

 private:
  // Writes text[0, count).
  virtual void write(const Text& text, std::size_t count, ByteSink& out) = 0;

  HeldText held_;
};

}  // namespace kwuni::cli
