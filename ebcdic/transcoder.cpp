// One CCSID's translation table: loading from a table stream, single lookups and buffer
// conversions.

#include <kwuni/catalogue.h>
#include <kwuni/ebcdic.h>

#include "ebcdic/kernels.h"
#include "ebcdic/substitutes.h"
#include "platform/code_page_conversion.h"
#include "platform/fold.h"
#include "platform/version.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {
namespace {

namespace kernels = kwuni::kernels;

constexpr std::size_t tableSize = 0x10000;
constexpr WORD unmapped = kernels::unmapped;


// EBCDIC 0x1C is shown as an en dash, except in these CCSIDs, whose tables decide for themselves.
bool keepsItsOwnEnDash(short ccsid) {
  for (const int exempt : {937, 1371, 1388, 1390, 1399}) {
    if (ccsid == exempt) return true;
  }
  return false;
}

bool runsOn9xFamily() {
  sys::OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  return sys::GetVersionExW(&version) == TRUE && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// Whether the system ANSI code page has the character; the 9x family cannot show the others.
bool ansiCodePageHas(WCHAR ch) {
  char bytes[5];
  BOOL usedDefault = FALSE;
  const int n = sys::WideCharToMultiByte(CP_ACP, 0, &ch, 1, bytes, sizeof bytes, "?", &usedDefault);
  return n != 0 && usedDefault == FALSE;
}

WORD littleEndianWord(const unsigned char* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

WORD readWord(std::istream& stream) {
  unsigned char bytes[2];
  stream.read(reinterpret_cast<char*>(bytes), 2);
  return littleEndianWord(bytes);
}


}  // namespace

EBCDICTranscoderStreamCorrupt::EBCDICTranscoderStreamCorrupt() : std::runtime_error("Stream corrupt") {}

EBCDICTranscoderFileCorrupt::EBCDICTranscoderFileCorrupt(const std::string& name)
    : std::runtime_error("File corrupt: " + name), fileName(name) {}

EBCDICTranscoderFileNotFound::EBCDICTranscoderFileNotFound(const std::string& name)
    : std::runtime_error("File not found: " + name), fileName(name) {}

bool EBCDICTranscoder::isDbcsECP(short ccsid) { return KW_IsDbcsECP(ccsid) == 1; }

EBCDICTranscoder::EBCDICTranscoder(short ccsid_, std::istream& stream) : ccsid(ccsid_), isDbcs(isDbcsECP(ccsid_)) {
  if (stream.fail()) throw std::invalid_argument("stream");
  const bool legacyPlatform = runsOn9xFamily();
  ebcdicToUnicode.assign(tableSize, unmapped);
  unicodeToEbcdic.assign(tableSize, unmapped);

  // From here a short or failed read throws; a stream already at its end throws at once, and
  // that exception reaches the caller as it is.
  stream.exceptions(std::ios::eofbit | std::ios::failbit | std::ios::badbit);
  try {
    const auto count = static_cast<std::int16_t>(readWord(stream));
    std::vector<unsigned char> entries(count > 0 ? static_cast<std::size_t>(count) * 4 : 0);
    stream.read(reinterpret_cast<char*>(entries.data()), static_cast<std::streamsize>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); i += 4) {
      const WORD code = littleEndianWord(&entries[i]);
      const WORD ch = littleEndianWord(&entries[i + 2]);
      if (!legacyPlatform || ansiCodePageHas(ch)) ebcdicToUnicode[code] = ch;
      unicodeToEbcdic[ch] = code;
    }
  } catch (const std::exception&) {
    // The stream's failure exception: the table ended early or could not be read.
    throw EBCDICTranscoderStreamCorrupt();
  }

  if (!keepsItsOwnEnDash(ccsid)) {
    ebcdicToUnicode[0x1C] = 0x2013;
    unicodeToEbcdic[0x2013] = 0x1C;
  }
}

WORD EBCDICTranscoder::EtoU(WORD code, bool* wasUnmapped) const {
  const WORD ch = ebcdicToUnicode[code];
  if (wasUnmapped != nullptr) *wasUnmapped = ch == unmapped;
  return ch != unmapped ? ch : kwuni::unicodeSubstitute(isDbcs, code > 0xFF);
}

WORD EBCDICTranscoder::UtoE(WORD ch, bool* wasUnmapped) const {
  const WORD code = unicodeToEbcdic[ch];
  if (wasUnmapped != nullptr) *wasUnmapped = code == unmapped;
  return code != unmapped ? code : kwuni::hostSubstitute(ccsid);
}

int EBCDICTranscoder::convertEtoU(const BYTE* src, WCHAR* dst, int srcLen) const {
  const std::size_t length = src != nullptr && srcLen > 0 ? static_cast<std::size_t>(srcLen) : 0;
  std::size_t n = length;
  if (isDbcs) {
    n = kernels::markedBytesToUtf16(ebcdicToUnicode.data(), src, length, dst);
  } else if (dst != nullptr) {
    kernels::singleBytesToUtf16(ebcdicToUnicode.data(), src, length, dst);
  }
  if (dst != nullptr) dst[n] = 0;
  return static_cast<int>(n);
}

int EBCDICTranscoder::convertUtoE(const WCHAR* src, BYTE* dst, int srcLen) const {
  if (src == nullptr) return 0;
  if (srcLen < 1) srcLen = static_cast<int>(std::char_traits<WCHAR>::length(src));

  // Convert the precomposed form: e followed by a combining acute is the host's e-acute.
  std::vector<WCHAR> composed;
  constexpr WCHAR firstCombiningMark = 0x0300;
  if (!kernels::allBelow(src, static_cast<std::size_t>(srcLen), firstCombiningMark) &&
      !sys::FoldLeavesUnchanged(src, srcLen)) {
    const int composedLength = sys::FoldStringW(sys::MAP_PRECOMPOSED, src, srcLen, nullptr, 0);
    if (composedLength != 0) {
      composed.resize(static_cast<std::size_t>(composedLength) + 1);
      sys::FoldStringW(sys::MAP_PRECOMPOSED, src, srcLen, composed.data(), composedLength + 1);
      src = composed.data();
      srcLen = composedLength;
    }
  }

  const auto length = static_cast<std::size_t>(srcLen);
  if (isDbcs) return static_cast<int>(kernels::utf16ToHostCodes(unicodeToEbcdic.data(), src, length, dst));
  if (dst != nullptr) kernels::utf16ToSingleBytes(unicodeToEbcdic.data(), src, length, dst);
  return srcLen;
}

}  // namespace velmora
