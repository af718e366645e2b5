// One CCSID's translation table: loading from a table stream, single lookups and buffer
// conversions.

#include <kwuni/catalogue.h>
#include <kwuni/ebcdic.h>

#include "platform/code_page_conversion.h"
#include "platform/fold.h"
#include "platform/version.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velmora {
namespace {

constexpr std::size_t tableSize = 0x10000;
constexpr WORD unmapped = 0xFFFF;
constexpr WORD leadByte = 0xFFFE;

constexpr BYTE ebcdicQuestionMark = 0x6F;
constexpr BYTE ebcdicSpace = 0x40;

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

int terminatedLength(const WCHAR* text) {
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
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
  if (ch != unmapped) return ch;
  const bool doubleByte = code > 0xFF;
  if (isDbcs) return doubleByte ? 0x3000 : 0x0020;
  return doubleByte ? 0xFF1F : 0x003F;
}

WORD EBCDICTranscoder::UtoE(WORD ch, bool* wasUnmapped) const {
  const WORD code = unicodeToEbcdic[ch];
  if (wasUnmapped != nullptr) *wasUnmapped = code == unmapped;
  if (code != unmapped) return code;
  return ccsid == 933 ? ebcdicSpace : ebcdicQuestionMark;
}

int EBCDICTranscoder::convertEtoU(const BYTE* src, WCHAR* dst, int srcLen) const {
  const WORD* table = ebcdicToUnicode.data();
  const auto substituted = [](WORD ch) { return ch == unmapped ? WORD{0x003F} : ch; };
  if (src == nullptr) srcLen = 0;
  int n = 0;
  if (!isDbcs) {
    for (; n < srcLen; ++n) {
      if (dst != nullptr) dst[n] = substituted(table[src[n]]);
    }
  } else {
    for (int i = 0; i < srcLen; ++n) {
      WORD ch = table[src[i]];
      if (ch == leadByte) {
        if (i + 1 == srcLen) break;  // a lead byte without its trail byte produces nothing
        ch = table[static_cast<WORD>(src[i] << 8 | src[i + 1])];
        i += 2;
      } else {
        i += 1;
      }
      if (dst != nullptr) dst[n] = substituted(ch);
    }
  }
  if (dst != nullptr) dst[n] = 0;
  return n;
}

int EBCDICTranscoder::convertUtoE(const WCHAR* src, BYTE* dst, int srcLen) const {
  if (src == nullptr) return 0;
  if (srcLen < 1) srcLen = terminatedLength(src);

  // Convert the precomposed form: e followed by a combining acute is the host's e-acute.
  std::vector<WCHAR> composed;
  const int composedLength = sys::FoldStringW(sys::MAP_PRECOMPOSED, src, srcLen, nullptr, 0);
  if (composedLength != 0) {
    composed.resize(static_cast<std::size_t>(composedLength) + 1);
    sys::FoldStringW(sys::MAP_PRECOMPOSED, src, srcLen, composed.data(), composedLength + 1);
    src = composed.data();
    srcLen = composedLength;
  }

  const WORD* table = unicodeToEbcdic.data();
  int n = 0;
  if (!isDbcs) {
    for (int i = 0; i < srcLen; ++i, ++n) {
      const auto byte = static_cast<BYTE>(table[src[i]] & 0xFF);
      if (dst != nullptr) dst[n] = byte == 0xFF ? ebcdicQuestionMark : byte;
    }
    return n;
  }
  for (int i = 0; i < srcLen; ++i) {
    const WORD code = table[src[i]];
    if (code == unmapped) {
      if (dst != nullptr) dst[n] = ebcdicQuestionMark;
      n += 1;
    } else if (code > 0xFF) {
      if (dst != nullptr) {
        dst[n] = static_cast<BYTE>(code >> 8);
        dst[n + 1] = static_cast<BYTE>(code & 0xFF);
      }
      n += 2;
    } else {
      if (dst != nullptr) dst[n] = static_cast<BYTE>(code);
      n += 1;
    }
  }
  return n;
}

}  // namespace velmora
