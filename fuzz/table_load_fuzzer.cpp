// Loads a translation table from arbitrary bytes, then converts the same bytes both ways with
// it. The first byte picks the CCSID: single-byte, mixed, or mixed with its own 0x1C mapping.

#include <kwuni/ebcdic.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr short ccsids[] = {37, 930, 1390};
  const short ccsid = ccsids[data[0] % 3];
  std::istringstream stream(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    const velmora::EBCDICTranscoder transcoder(ccsid, stream);
    const auto length = static_cast<int>(size);
    std::vector<WCHAR> wide(size + 1);
    const int characters = transcoder.convertEtoU(data, wide.data(), length);
    std::vector<BYTE> bytes(2 * static_cast<std::size_t>(characters) + 1);
    if (characters > 0) transcoder.convertUtoE(wide.data(), bytes.data(), characters);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
      const auto code = static_cast<WORD>(data[i] << 8 | data[i + 1]);
      transcoder.EtoU(code);
      transcoder.UtoE(code);
    }
  } catch (const velmora::EBCDICTranscoderStreamCorrupt&) {
  }
  return 0;
}
