#include <kwuni/strings.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// Each writer leaves the bytes around its image untouched.
template <typename Write>
Bytes written(std::size_t size, Write write) {
  Bytes bytes(size + 4, 0xEE);
  write(bytes.data(), 2);
  EXPECT_EQ(bytes[0], 0xEE);
  EXPECT_EQ(bytes[1], 0xEE);
  EXPECT_EQ(bytes[size + 2], 0xEE);
  EXPECT_EQ(bytes[size + 3], 0xEE);
  return Bytes(bytes.begin() + 2, bytes.begin() + 2 + static_cast<std::ptrdiff_t>(size));
}

TEST(ByteArrays, DoublesHaveTheirHalvesSwapped) {
  struct Case {
    double value;
    Bytes image;
  };
  const Case cases[] = {
      {1.0, {0x00, 0x00, 0x00, 0x00, 0x3F, 0xF0, 0x00, 0x00}},
      {0.1, {0x99, 0x99, 0x99, 0x9A, 0x3F, 0xB9, 0x99, 0x99}},
      {-2.5, {0x00, 0x00, 0x00, 0x00, 0xC0, 0x04, 0x00, 0x00}},
      {0.0, {0, 0, 0, 0, 0, 0, 0, 0}},
      {-0.0, {0, 0, 0, 0, 0x80, 0, 0, 0}},
      {std::numeric_limits<double>::infinity(), {0, 0, 0, 0, 0x7F, 0xF0, 0, 0}},
      {std::numeric_limits<double>::denorm_min(), {0, 0, 0, 1, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(written(8, [&](BYTE* b, int at) { KW_doubleToByteArray(c.value, b, at); }), c.image);
    const double read = KW_byteArrayToDouble(c.image.data(), 0);
    EXPECT_EQ(read, c.value);
    EXPECT_EQ(std::signbit(read), std::signbit(c.value));
  }
  // A NaN keeps its payload both ways.
  const Bytes nan = {0x12, 0x34, 0x56, 0x78, 0x7F, 0xF8, 0x00, 0x01};
  EXPECT_EQ(written(8, [&](BYTE* b, int at) { KW_doubleToByteArray(KW_byteArrayToDouble(nan.data(), 0), b, at); }), nan);
}

TEST(ByteArrays, FloatsAreBigEndianPatterns) {
  const std::pair<float, Bytes> cases[] = {{1.0f, {0x3F, 0x80, 0x00, 0x00}},
                                           {-0.5f, {0xBF, 0x00, 0x00, 0x00}},
                                           {std::numeric_limits<float>::max(), {0x7F, 0x7F, 0xFF, 0xFF}}};
  for (const auto& [value, image] : cases) {
    EXPECT_EQ(written(4, [&](BYTE* b, int at) { KW_floatToByteArray(value, b, at); }), image) << value;
    EXPECT_EQ(KW_byteArrayToFloat(image.data(), 0), value);
  }
}

TEST(ByteArrays, Integers) {
  EXPECT_EQ(written(4, [](BYTE* b, int at) { KW_intToByteArray(0x12345678, b, at); }), (Bytes{0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(written(4, [](BYTE* b, int at) { KW_intToByteArray(-2, b, at); }), (Bytes{0xFF, 0xFF, 0xFF, 0xFE}));
  EXPECT_EQ(written(2, [](BYTE* b, int at) { KW_unsignedShortToByteArray(0x12345, b, at); }), (Bytes{0x23, 0x45}));
  EXPECT_EQ(written(2, [](BYTE* b, int at) { KW_shortToByteArray(-32768, b, at); }), (Bytes{0x80, 0x00}));

  const Bytes minusTwo = {0xFF, 0xFE, 0xFF, 0xFE};
  EXPECT_EQ(KW_byteArrayToShort(minusTwo.data(), 0), -2);
  EXPECT_EQ(KW_byteArrayToUnsignedShort(minusTwo.data(), 0), 65534);
  EXPECT_EQ(KW_byteArrayToInt(Bytes{0xFF, 0xFF, 0xFF, 0xFE}.data(), 0), -2);
  EXPECT_EQ(KW_byteArrayToInt(Bytes{0, 0x80, 0, 0, 0, 1}.data(), 2), 1);
  EXPECT_EQ(KW_byteArrayToInt(Bytes{0x80, 0, 0, 0}.data(), 0), std::numeric_limits<int>::min());
}

TEST(ByteArrays, EveryPatternRoundTrips) {
  std::array<BYTE, 8> bytes{};
  for (std::uint32_t seed = 1, i = 0; i < 2000; ++i) {
    seed = seed * 1664525u + 1013904223u;
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<BYTE>(seed >> (k * 3));
    std::array<BYTE, 8> again{};
    KW_intToByteArray(KW_byteArrayToInt(bytes.data(), 0), again.data(), 0);
    KW_floatToByteArray(KW_byteArrayToFloat(bytes.data(), 0), again.data(), 0);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 4, again.begin()));
    KW_doubleToByteArray(KW_byteArrayToDouble(bytes.data(), 0), again.data(), 0);
    EXPECT_EQ(again, bytes);
  }
}

}  // namespace
