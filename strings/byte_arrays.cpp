// Host numbers in byte arrays: big-endian integers and IEEE 754 patterns, doubles with their
// 32-bit halves swapped.

#include <kwuni/strings.h>

#include <bit>
#include <cstdint>

namespace {

template <typename Unsigned>
Unsigned readBigEndian(const BYTE* bytes, int offset) {
  Unsigned value = 0;
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
    value = static_cast<Unsigned>(value << 8 | bytes[static_cast<std::ptrdiff_t>(offset) + static_cast<std::ptrdiff_t>(i)]);
  }
  return value;
}

template <typename Unsigned>
void writeBigEndian(Unsigned value, BYTE* bytes, int offset) {
  for (std::size_t i = sizeof(Unsigned); i-- > 0; value = static_cast<Unsigned>(value >> 8)) {
    bytes[static_cast<std::ptrdiff_t>(offset) + static_cast<std::ptrdiff_t>(i)] = static_cast<BYTE>(value & 0xFF);
  }
}

}  // namespace

short KW_byteArrayToShort(const BYTE* bytes, int offset) {
  return std::bit_cast<std::int16_t>(readBigEndian<std::uint16_t>(bytes, offset));
}

int KW_byteArrayToUnsignedShort(const BYTE* bytes, int offset) { return readBigEndian<std::uint16_t>(bytes, offset); }

int KW_byteArrayToInt(const BYTE* bytes, int offset) {
  return std::bit_cast<std::int32_t>(readBigEndian<std::uint32_t>(bytes, offset));
}

float KW_byteArrayToFloat(const BYTE* bytes, int offset) {
  return std::bit_cast<float>(readBigEndian<std::uint32_t>(bytes, offset));
}

double KW_byteArrayToDouble(const BYTE* bytes, int offset) {
  const std::uint64_t low = readBigEndian<std::uint32_t>(bytes, offset);
  const std::uint64_t high = readBigEndian<std::uint32_t>(bytes, offset + 4);
  return std::bit_cast<double>(high << 32 | low);
}

void KW_shortToByteArray(short value, BYTE* bytes, int offset) {
  writeBigEndian(static_cast<std::uint16_t>(value), bytes, offset);
}

void KW_unsignedShortToByteArray(int value, BYTE* bytes, int offset) {
  writeBigEndian(static_cast<std::uint16_t>(value), bytes, offset);
}

void KW_intToByteArray(int value, BYTE* bytes, int offset) {
  writeBigEndian(static_cast<std::uint32_t>(value), bytes, offset);
}

void KW_floatToByteArray(float value, BYTE* bytes, int offset) {
  writeBigEndian(std::bit_cast<std::uint32_t>(value), bytes, offset);
}

void KW_doubleToByteArray(double value, BYTE* bytes, int offset) {
  const auto pattern = std::bit_cast<std::uint64_t>(value);
  writeBigEndian(static_cast<std::uint32_t>(pattern), bytes, offset);
  writeBigEndian(static_cast<std::uint32_t>(pattern >> 32), bytes, offset + 4);
}
