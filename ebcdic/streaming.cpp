// Decoder and Encoder: a codec, and what a piece of the stream left over for the next one.

#include <kwuni/streaming.h>

#include "ebcdic/stream_codecs.h"
#include "platform/fold.h"

#include <algorithm>

namespace kwuni {

using stream::TextOut;
using stream::Units;
using stream::End;
using stream::Watch;

namespace {

// What a codec leaves over, kept for the next piece. Before the next piece is decoded, the held
// items are joined with as much of it as usually finishes them (more when that does not), so
// that a long piece is never copied.
template <typename Item>
class Carry {
 public:
  // Runs step(items, count, first, isLast, held) over the held items followed by `input`, where
  // `first` is the stream position of items[0], `held` how many of the items were held (the rest
  // is a piece of `input`: its start when held > 0), and step returns how many it used. Returns
  // how many of `input` were used. Stops when the watch has stopped at a problem.
  template <typename Step>
  std::size_t feed(std::span<const Item> input, bool last, std::size_t completion, const Watch& watch, Step step) {
    std::size_t used = 0;
    if (!held_.empty()) {
      std::size_t take = std::min(input.size(), completion);
      for (;;) {
        joined_.assign(held_.begin(), held_.end());
        joined_.insert(joined_.end(), input.begin(), input.begin() + static_cast<std::ptrdiff_t>(take));
        const bool joinedLast = last && take == input.size();
        const std::size_t n = step(joined_.data(), joined_.size(), position_, joinedLast, held_.size());
        position_ += n;
        if (n >= held_.size()) {
          used = n - held_.size();
          held_.clear();
          break;
        }
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(n));
        if (watch.problem) return 0;
        if (take == input.size()) {  // all of it is still unfinished
          held_.insert(held_.end(), input.begin(), input.end());
          return input.size();
        }
        take = input.size();
      }
      if (watch.problem) return used;
    }
    const std::span<const Item> rest = input.subspan(used);
    const std::size_t n = step(rest.data(), rest.size(), position_, last, std::size_t{0});
    position_ += n;
    if (watch.problem) return used + n;
    held_.assign(rest.begin() + static_cast<std::ptrdiff_t>(n), rest.end());
    return input.size();
  }

  std::span<const Item> held() const { return held_; }
  // Stream position of the first held item.
  std::uint64_t position() const { return position_; }
  // Drops what is held (after a stop, the caller passes it again).
  void rewind(std::uint64_t position) { restore(position, {}); }
  // Returns to an earlier state.
  void restore(std::uint64_t position, std::span<const Item> held) {
    held_.assign(held.begin(), held.end());
    position_ = position;
  }

 private:
  std::vector<Item> held_;
  std::vector<Item> joined_;
  std::uint64_t position_ = 0;
};

std::unique_ptr<stream::DecodingCodec> makeDecoding(const Encoding& from, const ConversionOptions& options,
                                                    Watch& watch) {
  if (from.isHost()) return stream::makeHostDecoding(from, options.layout, watch);
  if (from.kind() == Encoding::Kind::codePage) return stream::makeCodePageDecoding(from, watch);
  return stream::makeUnicodeDecoding(from, watch);
}

std::unique_ptr<stream::EncodingCodec> makeEncoding(const Encoding& to, const ConversionOptions& options,
                                                    Watch& watch) {
  if (to.isHost()) return stream::makeHostEncoding(to, options.layout, watch);
  if (to.kind() == Encoding::Kind::codePage) return stream::makeCodePageEncoding(to, watch);
  return stream::makeUnicodeEncoding(to, watch);
}

}  // namespace

// ---- Decoder --------------------------------------------------------------------------------

struct Decoder::State {
  State(const Encoding& source, const ConversionOptions& chosen)
      : from(source), options(chosen), watch(chosen.stopAtUnmapped), codec(makeDecoding(from, options, watch)) {}

  std::size_t decode(std::span<const BYTE> bytes, bool last, TextOut& out) {
    watch.problem.reset();
    const std::size_t used =
        carry.feed(bytes, last, codec->completion(), watch,
                   [&](const BYTE* data, std::size_t length, std::uint64_t start, bool isLast, std::size_t) {
                     out.reserve(codec->mostUnits(length));
                     try {
                       const std::size_t n = codec->decode(data, length, start, isLast, out);
                       out.commit();
                       return n;
                     } catch (...) {
                       out.commit();  // what was written before the failure stays valid output
                       throw;
                     }
                   });
    if (last && !watch.problem) carry.rewind(0);  // a new stream begins
    return used;
  }

  Encoding from;
  ConversionOptions options;
  Watch watch;
  std::unique_ptr<stream::DecodingCodec> codec;
  Carry<BYTE> carry;
};

Decoder::Decoder(const Encoding& from, const ConversionOptions& options)
    : state_(std::make_unique<State>(from, options)) {}
Decoder::~Decoder() = default;
Decoder::Decoder(Decoder&&) noexcept = default;
Decoder& Decoder::operator=(Decoder&&) noexcept = default;

std::size_t Decoder::decode(std::span<const BYTE> bytes, Sink<char16_t>& text, bool last,
                            std::vector<std::uint64_t>* offsets) {
  TextOut out(text, offsets);
  return state_->decode(bytes, last, out);
}

std::size_t Decoder::decode(std::span<const BYTE> bytes, Sink<char>& utf8, bool last) {
  TextOut out(utf8);
  return state_->decode(bytes, last, out);
}

const std::optional<Problem>& Decoder::problem() const { return state_->watch.problem; }
std::uint64_t Decoder::offset() const { return state_->carry.position() + state_->carry.held().size(); }
std::span<const BYTE> Decoder::held() const { return state_->carry.held(); }
bool Decoder::shifted() const { return state_->codec->shifted(); }
const Counts& Decoder::counts() const { return state_->watch.counts; }

void Decoder::reset() {
  auto fresh = std::make_unique<State>(state_->from, state_->options);
  state_ = std::move(fresh);
}

// ---- Encoder --------------------------------------------------------------------------------

namespace {

// UTF-16 units collected from UTF-8 input, with the byte offset of each when an encoder must
// report where a character stands.
struct Pivot final : Sink<char16_t> {
  char16_t* reserve(std::size_t n) override {
    units.resize(size + n);
    return units.data() + size;
  }
  void commit(std::size_t n) override { size += n; }

  std::u16string units;
  std::size_t size = 0;
  std::vector<std::uint64_t> offsets;
};

// UTF-8 input goes through a pivot of this many bytes at a time, or this few between the runs
// that an encoder takes straight from the bytes.
constexpr std::size_t pivotBytes = std::size_t{64} << 10;
constexpr std::size_t directPivotBytes = 256;

}  // namespace

struct Encoder::State {
  State(const Encoding& target, const ConversionOptions& chosen)
      : to(target), options(chosen), watch(chosen.stopAtUnmapped), codec(makeEncoding(to, options, watch)) {}

  std::size_t encode(std::u16string_view text, End end, Sink<BYTE>& out) {
    watch.problem.reset();
    const std::size_t used =
        carry.feed(std::span<const char16_t>(text.data(), text.size()), end != End::more, codec->completion(), watch,
                   [&](const char16_t* data, std::size_t size, std::uint64_t start, bool isLast, std::size_t) {
                     return codec->encode(Units{data, size, nullptr, start, start + size}, upTo(isLast, end), out);
                   });
    if (end == End::last && !watch.problem) carry.rewind(0);  // a new stream begins
    return used;
  }

  // A piece that is not the end of the text can always be followed.
  static End upTo(bool pieceEnds, End end) { return pieceEnds ? end : End::more; }

  // Encodes units that stand at the given offsets of another stream; the text ends at `end`.
  std::size_t encode(std::u16string_view text, const std::uint64_t* offsets, std::uint64_t end, End textEnd,
                     Sink<BYTE>& out) {
    watch.problem.reset();
    const std::span<const char16_t> units(text.data(), text.size());
    const std::size_t used =
        carry.feed(units, textEnd != End::more, codec->completion(), watch,
                   [&](const char16_t* data, std::size_t size, std::uint64_t, bool isLast, std::size_t held) {
                     if (held == 0) {  // a piece at the end of text
                       const std::uint64_t* located = offsets + (text.size() - size);
                       return codec->encode(Units{data, size, located, 0, end}, upTo(isLast, textEnd), out);
                     }
                     const std::size_t taken = size - held;  // from the start of text
                     joinedOffsets.assign(heldOffsets.end() - static_cast<std::ptrdiff_t>(held), heldOffsets.end());
                     joinedOffsets.insert(joinedOffsets.end(), offsets, offsets + taken);
                     const std::uint64_t joinedEnd = taken < text.size() ? offsets[taken] : end;
                     return codec->encode(Units{data, size, joinedOffsets.data(), 0, joinedEnd}, upTo(isLast, textEnd),
                                          out);
                   });
    // After a stop, what is held is a part of what was held before; otherwise it is a suffix of
    // what was held before followed by text.
    const std::size_t held = carry.held().size();
    const std::size_t fromText = watch.problem ? 0 : std::min(held, text.size());
    std::vector<std::uint64_t> kept(heldOffsets.end() - static_cast<std::ptrdiff_t>(held - fromText),
                                    heldOffsets.end());
    kept.insert(kept.end(), offsets + (text.size() - fromText), offsets + text.size());
    heldOffsets = std::move(kept);
    return used;
  }

  // Encodes UTF-8 through a pivot of UTF-16 units.
  std::size_t encode(std::string_view utf8, End end, Sink<BYTE>& out) {
    const bool last = end == End::last;
    utf8Input = true;
    watch.problem.reset();
    const bool locate = watch.stops();
    const std::uint64_t callStart = frontOffset();
    std::size_t used = 0;
    do {
      if (codec->takesUtf8()) {
        used += encodeDirectly(utf8.substr(used), locate, out);
        if (watch.problem) return used;
        if (used == utf8.size() && end == End::more) break;
      }
      // After a direct run the careful way takes a short piece, and the direct one goes on.
      const std::size_t take = std::min(utf8.size() - used, codec->takesUtf8() ? directPivotBytes : pivotBytes);
      const bool pieceLast = last && used + take == utf8.size();
      pivot.size = 0;
      pivot.offsets.clear();
      const auto* bytes = reinterpret_cast<const BYTE*>(utf8.data() + used);
      TextOut text(pivot, locate ? &pivot.offsets : nullptr);
      const std::uint64_t decodedFrom = front.carry.position();
      frontHeld.assign(front.carry.held().begin(), front.carry.held().end());
      const std::size_t heldBefore = frontHeld.size();
      const std::size_t decoded = front.decode({bytes, take}, pieceLast, text);
      const std::u16string_view units(pivot.units.data(), pivot.size);
      // Malformed input ends the text: nothing after it composes with what came before.
      const End textEnd = front.watch.problem ? End::flush : used + take == utf8.size() ? end : End::more;
      if (locate) {
        // The text ends where the front stopped, or before what it holds now (nothing once the
        // stream has ended).
        const std::uint64_t textStop = front.watch.problem
                                           ? front.watch.problem->offset
                                           : decodedFrom + heldBefore + decoded - front.carry.held().size();
        encode(units, pivot.offsets.data(), textStop, textEnd, out);
      } else {
        encode(units, textEnd, out);
      }
      if (watch.problem) {
        // The encoder stopped first: the next call goes on after its character. When the
        // character came from an earlier piece, the encoder still holds what followed it, and the
        // front returns to where this piece began.
        const std::uint64_t resume = watch.problem->offset + watch.problem->length;
        if (resume <= decodedFrom) {
          front.carry.restore(decodedFrom, frontHeld);
          return used;
        }
        front.carry.rewind(resume);
        return static_cast<std::size_t>(resume - callStart);
      }
      used += decoded;
      if (front.watch.problem) {
        watch.problem = front.watch.problem;
        return used;
      }
    } while (used < utf8.size());
    return used;
  }

  // Encodes what the codec takes straight from UTF-8; returns the bytes used. What the encoder
  // holds for a mark is written first when the next character is none.
  std::size_t encodeDirectly(std::string_view utf8, bool locate, Sink<BYTE>& out) {
    if (!front.carry.held().empty() || !startsWithPlainCharacter(utf8)) return 0;
    if (!carry.held().empty()) {
      if (locate) {
        encode(std::u16string_view(), heldOffsets.data(), frontOffset(), End::flush, out);
      } else {
        encode(std::u16string_view(), End::flush, out);
      }
      if (watch.problem) return 0;
    }
    const std::size_t n = codec->encodeUtf8(utf8.data(), utf8.size(), out);
    front.carry.rewind(front.carry.position() + n);
    return n;
  }

  // Whether the text starts with a well-formed BMP character that nothing composes with.
  static bool startsWithPlainCharacter(std::string_view utf8) {
    if (utf8.empty()) return false;
    const auto c = stream::plainUtf8(reinterpret_cast<const BYTE*>(utf8.data()), utf8.size());
    return c.length != 0 && sys::FoldChangeTable()[c.unit] == 0;
  }

  std::uint64_t frontOffset() const { return front.carry.position() + front.carry.held().size(); }
  std::uint64_t offset() const { return utf8Input ? frontOffset() : carry.position() + carry.held().size(); }

  Encoding to;
  ConversionOptions options;
  Watch watch;
  std::unique_ptr<stream::EncodingCodec> codec;
  Carry<char16_t> carry;
  std::vector<std::uint64_t> heldOffsets;
  std::vector<std::uint64_t> joinedOffsets;
  // UTF-8 input
  bool utf8Input = false;
  Decoder::State front{Encoding("UTF-8"), ConversionOptions{{}, options.stopAtUnmapped}};
  std::vector<BYTE> frontHeld;  // what the front held when the current piece began
  Pivot pivot;
  Counts total;
};

Encoder::Encoder(const Encoding& to, const ConversionOptions& options)
    : state_(std::make_unique<State>(to, options)) {}
Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

namespace {
stream::End endOf(bool last) { return last ? stream::End::last : stream::End::more; }
}  // namespace

std::size_t Encoder::encode(std::u16string_view text, Sink<BYTE>& out, bool last) {
  return state_->encode(text, endOf(last), out);
}

std::size_t Encoder::encode(std::u16string_view text, std::span<const std::uint64_t> offsets, std::uint64_t end,
                            Sink<BYTE>& out, bool last) {
  if (offsets.size() != text.size()) throw std::invalid_argument("offsets: one for each code unit of the text");
  return state_->encode(text, offsets.data(), end, endOf(last), out);
}

std::size_t Encoder::encode(std::string_view utf8, Sink<BYTE>& out, bool last) {
  return state_->encode(utf8, endOf(last), out);
}

void Encoder::flush(Sink<BYTE>& out) {
  if (state_->utf8Input) {
    state_->encode(std::string_view(), stream::End::flush, out);
  } else {
    state_->encode(std::u16string_view(), stream::End::flush, out);
  }
}

const std::optional<Problem>& Encoder::problem() const { return state_->watch.problem; }
std::uint64_t Encoder::offset() const { return state_->offset(); }
std::uint64_t Encoder::lines() const { return state_->codec->lines(); }

const Counts& Encoder::counts() const {
  Counts& total = state_->total;
  total = state_->watch.counts;
  // Malformed UTF-8 became U+FFFD, counted again by the encoder when it cannot write it.
  if (state_->codec->writesReplacementCharacter()) total.substitutions += state_->front.watch.counts.substitutions;
  return total;
}

void Encoder::reset() {
  auto fresh = std::make_unique<State>(state_->to, state_->options);
  state_ = std::move(fresh);
}

}  // namespace kwuni
