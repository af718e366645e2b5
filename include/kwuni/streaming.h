// Streaming conversion: host data or code-page bytes to Unicode (a Decoder) and Unicode to host
// data or code-page bytes (an Encoder), a chunk at a time, with the Unicode side in UTF-8 or
// UTF-16.
//
// A stream may be cut anywhere: each converter keeps what the next chunk may complete (a
// double-byte character cut after its lead byte, a UTF-8 sequence or surrogate pair cut in two, a
// partial record, a base character that a combining mark in the next chunk may still compose
// with) and the shift state of mixed host data, so the output is the same whatever the chunk
// sizes. Pass last = true with the final chunk (it may be empty): what is kept is then written,
// a double-byte run left open is closed, and the converter starts a new stream.
//
//   kwuni::Decoder decoder(kwuni::Encoding("IBM-930"));
//   std::string utf8;
//   while (read(chunk)) decoder.decode(chunk, utf8);
//   decoder.decode({}, utf8, true);
//
// Threads: the translation tables behind the converters are immutable once loaded and may serve
// any number of converters on any threads. One Decoder or Encoder holds the state of one stream
// and must be used by one thread at a time.
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kwuni {

// A name that is no encoding the converters know, with the reason ("unknown CCSID '4711': see
// 'kwuni list ccsid'").
class KWUNI_API UnknownEncoding : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Data that cannot be converted at all, whatever the substitution: UTF-16 of odd length, a line
// that does not fit its record, a translation table that cannot be loaded.
class KWUNI_API ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A line longer than the record it must fit in: "line 2 needs 6 bytes, more than the record
// length 5". line counts the lines of the stream from 1; needed is 0 when the line is known to be
// too long before it ends.
class KWUNI_API RecordOverflow : public ConversionError {
 public:
  RecordOverflow(std::uint64_t line, std::size_t needed, std::size_t recordLength);
  std::uint64_t line;
  std::size_t needed;
  std::size_t recordLength;
};

// What the converters read and write.
class KWUNI_API Encoding {
 public:
  enum class Kind {
    host,         // an EBCDIC CCSID with a translation table
    unicodeHost,  // CCSID 13488: host data in UTF-16, big-endian
    utf8,
    utf7,  // RFC 2152, every encoded run closed with "-"
    utf16le,
    utf16be,
    codePage,  // a Windows code page, through TConvertAtoUEx / TConvertUtoAEx
  };

  // Reads a name, ignoring case: a CCSID (37, IBM-37, IBM037, CCSID37; a replaced CCSID such as
  // 290 becomes its successor), UTF-8, UTF-7 (cp65000), UTF-16LE, UTF-16BE, or a Windows code
  // page (cp1252, windows-1252; cpN of a catalogued CCSID is that CCSID). Throws UnknownEncoding
  // for a name it cannot convert, and for code pages that carry a shift state from one character
  // to the next (ISO-2022).
  explicit Encoding(std::string_view name);

  Kind kind() const { return kind_; }
  int number() const { return number_; }          // the CCSID or code page; 0 for UTF-8 and UTF-16
  bool mixed() const { return mixed_; }           // host data with shift-out/shift-in runs
  bool multiByte() const { return multiByte_; }   // a code page with characters of several bytes
  bool isHost() const { return kind_ == Kind::host || kind_ == Kind::unicodeHost; }
  const std::string& label() const { return label_; }  // "CCSID 930", "code page 1252", "UTF-8"

 private:
  Kind kind_ = Kind::utf8;
  int number_ = 0;
  bool mixed_ = false;
  bool multiByte_ = false;
  std::string label_;
};

// How host data is laid out; ignored when neither side is host data.
struct HostLayout {
  // The host new-line 0x15 reads as LF; LF and CR LF are written as 0x15.
  bool newLines = false;
  // Fixed-length records of this many bytes (0: none). Read, each record becomes a line without
  // its trailing spaces (a short last record is accepted); written, each line becomes one record
  // padded with spaces, its double-byte run closed within it.
  std::size_t recordLength = 0;
};

struct ConversionOptions {
  HostLayout layout;
  // By default a character without a mapping (or malformed UTF-8, or an unpaired surrogate)
  // becomes a substitute: written to host data '?' (0x6F; 0x40 in CCSID 933); read from mixed
  // host data a space (U+3000 for a double-byte code); read from other host data and code pages
  // '?'; U+FFFD for malformed UTF-8 and for unpaired surrogates written as UTF-8. With
  // stopAtUnmapped the converter stops there instead and reports it (see Problem).
  bool stopAtUnmapped = false;
};

// A character that could not be converted.
struct Problem {
  std::uint64_t offset = 0;  // where it starts in the whole stream (see each converter)
  std::size_t length = 0;    // how much of the stream it takes
  std::string description;   // "byte 0x57 has no mapping in CCSID 930"
};

// Where converted output goes: the converter asks for room, writes into it, and commits what it
// wrote; every reserve is followed by a commit, of 0 units when nothing was written. AppendTo
// below appends to a string or vector.
template <typename Unit>
class Sink {
 public:
  // Room for at least n units; valid until the next reserve.
  virtual Unit* reserve(std::size_t n) = 0;
  // The first n units of the room are output.
  virtual void commit(std::size_t n) = 0;

 protected:
  ~Sink() = default;
};

// A std::string, std::u16string or std::vector that output can be appended to.
template <typename Container>
concept Appendable = requires(Container& c) {
  typename Container::value_type;
  c.resize(std::size_t{});
  c.data();
};

// A sink that appends to an Appendable container.
template <Appendable Container>
class AppendTo final : public Sink<typename Container::value_type> {
 public:
  using Unit = typename Container::value_type;
  explicit AppendTo(Container& out) : out_(out) {}
  Unit* reserve(std::size_t n) override {
    out_.resize(used_ + n);
    return out_.data() + used_;
  }
  void commit(std::size_t n) override {
    used_ += n;
    out_.resize(used_);
  }

 private:
  Container& out_;
  std::size_t used_ = out_.size();
};

// What a converter has done since construction or reset().
struct Counts {
  std::uint64_t characters = 0;     // characters converted (a surrogate pair is one, so is a composed one)
  std::uint64_t substitutions = 0;  // substitutes written
};

// Host data, UTF-8, UTF-16 or code-page bytes to Unicode. Offsets are byte offsets in the
// stream. Throws ConversionError for a table that cannot be loaded (at construction) and for
// UTF-16 data of odd length (at the end of the stream).
class KWUNI_API Decoder {
 public:
  explicit Decoder(const Encoding& from, const ConversionOptions& options = {});
  ~Decoder();
  Decoder(Decoder&&) noexcept;
  Decoder& operator=(Decoder&&) noexcept;

  // Converts the next bytes of the stream, appending UTF-16 or UTF-8. Returns how many bytes it
  // used: all of them, except when it stops at a character without a mapping
  // (stopAtUnmapped). It then has used the bytes up to and including that character, written
  // nothing for it, and problem() describes it. To go on, call again with the rest, with the
  // same `last`, until a call returns without a problem: the rest may be empty while the
  // decoder still holds bytes from earlier calls. With offsets, each UTF-16 code unit written
  // also appends the stream offset of the character it comes from.
  std::size_t decode(std::span<const BYTE> bytes, Sink<char16_t>& text, bool last = false,
                     std::vector<std::uint64_t>* offsets = nullptr);
  std::size_t decode(std::span<const BYTE> bytes, Sink<char>& utf8, bool last = false);

  template <Appendable Container>
  std::size_t decode(std::span<const BYTE> bytes, Container& text, bool last = false) {
    AppendTo<Container> sink(text);
    return decode(bytes, sink, last);
  }

  // The character the last call stopped at, or none.
  const std::optional<Problem>& problem() const;
  // Bytes used so far in this stream, held ones included.
  std::uint64_t offset() const;
  // The bytes kept for the next call: the start of a character, or of a record.
  std::span<const BYTE> held() const;
  // Whether the bytes used so far leave mixed host data inside a double-byte run. With held(),
  // the whole state of a stream without records: a new decoder given a shift-out (when shifted)
  // and the held bytes continues it.
  bool shifted() const;
  const Counts& counts() const;
  // Forgets the stream: held bytes, shift state, offset and counts.
  void reset();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Unicode, given as UTF-16 or UTF-8, to host data, UTF-8, UTF-16 or code-page bytes. Offsets are
// in code units of the input: UTF-16 units or UTF-8 bytes. For host data and code pages a base
// character followed by combining marks is composed first (e + U+0301 becomes é) as FoldStringW
// with MAP_PRECOMPOSED does: there is no decomposition, and single characters keep their own
// codes; UTF-8 and UTF-16 are written as they come. Throws ConversionError for a table that
// cannot be loaded (at construction) and RecordOverflow for a line that does not fit its record.
class KWUNI_API Encoder {
 public:
  explicit Encoder(const Encoding& to, const ConversionOptions& options = {});
  ~Encoder();
  Encoder(Encoder&&) noexcept;
  Encoder& operator=(Encoder&&) noexcept;

  // Converts the next text of the stream and appends the bytes. Returns how many code units it
  // used, as Decoder::decode does. Malformed UTF-8 counts as one substitute per maximal invalid
  // piece, as a UTF-8 decoder would read it.
  std::size_t encode(std::u16string_view text, Sink<BYTE>& out, bool last = false);
  std::size_t encode(std::string_view utf8, Sink<BYTE>& out, bool last = false);
  // Text that a Decoder wrote with offsets, so that a problem is reported where its character
  // stands in the decoder's input; `end` is where the text ends there (the decoder's offset()
  // less its held() bytes).
  std::size_t encode(std::u16string_view text, std::span<const std::uint64_t> offsets, std::uint64_t end,
                     Sink<BYTE>& out, bool last = false);

  template <typename Text, Appendable Container>
  std::size_t encode(const Text& text, Container& out, bool last = false) {
    AppendTo<Container> sink(out);
    return encode(text, sink, last);
  }

  // Writes what is held for a combining mark or a CR LF that may still come, as if the text ended
  // here, but goes on with the stream: a double-byte run stays open, a record line unfinished. For
  // a writer that must hand on all it was given. A character cut in two stays held. Check
  // problem() after it, as after encode().
  void flush(Sink<BYTE>& out);

  const std::optional<Problem>& problem() const;
  // Code units used so far in this stream, held ones included.
  std::uint64_t offset() const;
  // Lines written as records since construction or reset().
  std::uint64_t lines() const;
  const Counts& counts() const;
  void reset();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The CCSIDs that have a translation table in the current base directory, ascending.
KWUNI_API std::vector<int> availableHostCcsids();

// The directory the registry reads translation tables from: Tables/ under the base directory
// when one is set, else beside the library's own file. Throws ConversionError when the base
// directory has no file-system form.
KWUNI_API std::string tableDirectory();

}  // namespace kwuni
