#include "tools/kwuni/transcoding.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kwuni::cli {

std::string Tally::where(Position at) const {
  const auto input = static_cast<std::size_t>(at >> 48);
  const std::string& name = input < names_.size() ? names_[input] : inputName();
  return name + ": offset " + std::to_string(at & ((Position{1} << 48) - 1));
}

namespace {
constexpr std::size_t sinkCapacity = std::size_t{1} << 20;
}

ByteSink::ByteSink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}

BYTE* ByteSink::reserve(std::size_t n) {
  if (used_ + n > capacity_) {
    flush();
    if (n > capacity_) {
      capacity_ = std::max(n, sinkCapacity);
      buffer_ = std::make_unique<BYTE[]>(capacity_);
    }
  }
  return buffer_.get() + used_;
}

void ByteSink::commit(std::size_t n) {
  used_ += n;
  if (used_ >= sinkCapacity) flush();
}

void ByteSink::write(const BYTE* bytes, std::size_t n) {
  std::memcpy(reserve(n), bytes, n);
  commit(n);
}

void ByteSink::flush() {
  std::size_t done = 0;
  while (done < used_) {
    const ssize_t n = ::write(fd_, buffer_.get() + done, used_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Failure(name_ + ": cannot write: " + std::strerror(errno));
    done += static_cast<std::size_t>(n);
  }
  used_ = 0;
}

void CharacterEncoder::encode(Text& text, ByteSink& out) {
  Text& work = held_.take(text);
  std::size_t n = work.size();
  if (n > 0 && isHighSurrogate(work.units[n - 1])) --n;
  held_.keep(work, n);
  write(work, n, out);
}

void CharacterEncoder::finish(ByteSink& out) {
  Text& rest = held_.rest();
  write(rest, rest.size(), out);
}

Text& HeldText::take(Text& text) {
  if (held_.empty()) return text;
  std::swap(work_, held_);
  held_.clear();
  work_.units += text.units;
  work_.positions.insert(work_.positions.end(), text.positions.begin(), text.positions.end());
  return work_;
}

void HeldText::keep(Text& work, std::size_t from) {
  held_.units.assign(work.units, from);
  work.units.resize(from);
  held_.positions.clear();
  if (!work.positions.empty()) {
    held_.positions.assign(work.positions.begin() + static_cast<std::ptrdiff_t>(from), work.positions.end());
    work.positions.resize(from);
  }
}

Text& HeldText::rest() {
  std::swap(work_, held_);
  held_.clear();
  return work_;
}

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

std::unique_ptr<Decoder> makeDecoder(const Encoding& encoding, const HostLayout& layout, Tally& tally) {
  if (encoding.host()) return makeHostDecoder(encoding, layout, tally);
  if (encoding.kind == Encoding::Kind::codePage) return makeCodePageDecoder(encoding, tally);
  return makeUnicodeDecoder(encoding, tally);
}

std::unique_ptr<Encoder> makeEncoder(const Encoding& encoding, const HostLayout& layout, Tally& tally) {
  if (encoding.host()) return makeHostEncoder(encoding, layout, tally);
  if (encoding.kind == Encoding::Kind::codePage) return makeCodePageEncoder(encoding, tally);
  return makeUnicodeEncoder(encoding, tally);
}

}  // namespace kwuni::cli
