// Mixed host data from arbitrary bytes: the flat conversions and the streaming decoder must read
// it alike, whole or cut anywhere, and what they read must come back from a trip to host bytes.
// The first byte picks the CCSID and the next two where the stream is cut.

#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include "fuzz/fuzz_support.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  kwuni::fuzz::useBuildTables();
  constexpr short ccsids[] = {930, 939, 1390, 37};
  const short ccsid = ccsids[data[0] % 4];
  const BYTE* bytes = data + 3;
  const std::size_t length = size - 3;
  const std::size_t cuts[] = {length == 0 ? 0 : data[1] % (length + 1), length == 0 ? 0 : data[2] % (length + 1)};

  // Whole, and cut at two places, through the streaming decoder.
  const kwuni::Encoding encoding(std::to_string(ccsid));
  std::u16string whole;
  kwuni::Decoder(encoding).decode(std::span(bytes, length), whole, true);
  std::u16string cut;
  kwuni::Decoder decoder(encoding);
  const std::size_t first = std::min(cuts[0], cuts[1]), second = std::max(cuts[0], cuts[1]);
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
  return 0;
}
