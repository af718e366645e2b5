// Mixed host data from arbitrary bytes: the flat conversions and the streaming decoder must read
// it alike, whole or cut anywhere, and what they read must come back from a trip to host bytes.
// The first byte picks the CCSID and the next two where the stream is cut.

#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::u16string flatDecode(short ccsid, const BYTE* bytes, std::size_t length) {
  const auto n = static_cast<int>(length);
  const int characters = KW_EbcdicBytesToWideChar(ccsid, bytes, n, nullptr, 0);
  std::u16string text(static_cast<std::size_t>(characters), u'\0');
  KW_EbcdicBytesToWideChar(ccsid, bytes, n, text.data(), 2 * characters);
  return text;
}

// The checks on one input: whole and cut through the streaming decoder, flat, and back.
void readAlike(short ccsid, const BYTE* bytes, std::size_t length, std::size_t cutA, std::size_t cutB) {
  const kwuni::Encoding encoding(std::to_string(ccsid));
  std::u16string whole;
  kwuni::Decoder(encoding).decode(std::span(bytes, length), whole, true);
  std::u16string cut;
  kwuni::Decoder decoder(encoding);
  const std::size_t first = std::min(cutA, cutB), second = std::max(cutA, cutB);
  decoder.decode(std::span(bytes, first), cut);
  decoder.decode(std::span(bytes + first, second - first), cut);
  decoder.decode(std::span(bytes + second, length - second), cut, true);
  kwuni::fuzz::require(cut == whole);

  // The flat conversion reads mixed data the same way.
  if (encoding.mixed()) kwuni::fuzz::require(flatDecode(ccsid, bytes, length) == whole);

  // What was read comes back unchanged from host bytes.
  if (!whole.empty() && encoding.mixed()) {
    const auto n = static_cast<int>(whole.size());
    const int needed = KW_WideCharToEbcdicBytes(ccsid, whole.data(), n, nullptr, 0);
    std::vector<BYTE> host(static_cast<std::size_t>(needed));
    KW_WideCharToEbcdicBytes(ccsid, whole.data(), n, host.data(), needed);
    kwuni::fuzz::require(flatDecode(ccsid, host.data(), host.size()) == whole);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  kwuni::fuzz::useBuildTables();
  constexpr short ccsids[] = {930, 939, 1390, 37};
  const short ccsid = ccsids[data[0] % 4];
  const BYTE* bytes = data + 3;
  const std::size_t length = size - 3;
  const auto cutAt = [&](std::size_t n, BYTE pick) { return n == 0 ? 0 : pick % (n + 1); };
  readAlike(ccsid, bytes, length, cutAt(length, data[1]), cutAt(length, data[2]));

  // The input over and over, past the length where the conversions take vector kernels (the
  // streaming decoder stays scalar, so this compares the two).
  constexpr std::size_t vectorLength = 1100;
  if (length == 0 || length >= vectorLength) return 0;
  std::vector<BYTE> repeated;
  while (repeated.size() < vectorLength) repeated.insert(repeated.end(), bytes, bytes + length);
  const std::size_t n = repeated.size();
  readAlike(ccsid, repeated.data(), n, data[1] * n / 256, data[2] * n / 256);  // cuts anywhere in it
  return 0;
}
