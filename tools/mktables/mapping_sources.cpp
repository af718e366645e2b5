#include "tools/mktables/mapping_sources.h"

#include <iconv.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace kwuni::mktables {
namespace {

constexpr unsigned char shiftOut = 0x0E;
constexpr unsigned char shiftIn = 0x0F;

// A Unicode code unit a table may hold: BMP, no surrogate, and neither 0xFFFE (the lead-byte
// marker) nor 0xFFFF (no mapping).
bool tableUnit(std::uint32_t u) { return u < 0xFFFE && !U16_IS_SURROGATE(u); }

bool shiftByte(unsigned b) { return b == shiftOut || b == shiftIn; }

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// ICU's host-to-Unicode lookups always include its one-way mappings.
std::uint32_t icuToUnit(UConverter* cnv, const char* bytes, int32_t length) {
  std::array<UChar, 8> out{};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(cnv, out.data(), static_cast<int32_t>(out.size()), bytes, length, &status);
  if (U_FAILURE(status) || n != 1 || !tableUnit(out[0])) return noMapping;
  return out[0];
}

// The host code of one code unit: a single byte, or SO lead trail SI for a double-byte code.
std::uint32_t icuFromUnit(UConverter* cnv, UChar unit, bool mixed) {
  std::array<char, 8> out{};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()), &unit, 1, &status);
  if (U_FAILURE(status)) return noMapping;
  const auto byte = [&](int i) { return static_cast<unsigned char>(out[static_cast<std::size_t>(i)]); };
  if (n == 1 && !(mixed && shiftByte(byte(0)))) return byte(0);
  if (mixed && n == 4 && byte(0) == shiftOut && byte(3) == shiftIn && !shiftByte(byte(1)) && !shiftByte(byte(2)) &&
      byte(1) != 0) {
    return byte(1) * 256u + byte(2);
  }
  return noMapping;
}

std::string icuName(UConverter* cnv) {
  UErrorCode status = U_ZERO_ERROR;
  const char* name = ucnv_getName(cnv, &status);
  return U_SUCCESS(status) && name != nullptr ? name : "?";
}

}  // namespace

std::optional<CodeMaps> icuMaps(int ccsid, bool mixed) {
  const std::string alias = "ibm-" + std::to_string(ccsid);
  UErrorCode status = U_ZERO_ERROR;
  Converter cnv(ucnv_open(alias.c_str(), &status));
  if (U_FAILURE(status) || cnv == nullptr) return std::nullopt;

  // ICU matches names loosely; make sure the alias led to this very code page.
  const std::string name = icuName(cnv.get());
  if (name != alias && name.rfind(alias + "_", 0) != 0) {
    throw std::runtime_error(alias + " opens ICU's " + name + ", not that code page");
  }
  const UConverterType type = ucnv_getType(cnv.get());
  if (mixed && type != UCNV_EBCDIC_STATEFUL) {
    throw std::runtime_error("ICU's " + name + " is not a shift-out/shift-in EBCDIC converter");
  }
  if (!mixed && ucnv_getMaxCharSize(cnv.get()) != 1) {
    throw std::runtime_error("ICU's " + name + " is not a single-byte converter");
  }
  ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFallback(cnv.get(), true);
  if (U_FAILURE(status)) throw std::runtime_error("cannot set up ICU's " + name + ": " + u_errorName(status));

  CodeMaps maps;
  maps.source = "ICU " + name;
  for (unsigned b = 0; b < 0x100; ++b) {
    if (mixed && shiftByte(b)) continue;  // SO and SI carry no character
    const char byte = static_cast<char>(b);
    maps.toUnicode[b] = icuToUnit(cnv.get(), &byte, 1);
  }
  if (mixed) {
    for (unsigned lead = 1; lead < 0x100; ++lead) {
      for (unsigned trail = 0; trail < 0x100; ++trail) {
        if (shiftByte(lead) || shiftByte(trail)) continue;
        const char run[] = {static_cast<char>(shiftOut), static_cast<char>(lead), static_cast<char>(trail),
                            static_cast<char>(shiftIn)};
        maps.toUnicode[lead * 256 + trail] = icuToUnit(cnv.get(), run, 4);
      }
    }
  }
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    if (!tableUnit(u)) continue;
    maps.fromUnicode[u] = icuFromUnit(cnv.get(), static_cast<UChar>(u), mixed);
  }
  return maps;
}

namespace {

struct Iconv {
  iconv_t cd;
  explicit Iconv(iconv_t d) : cd(d) {}
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  ~Iconv() {
    if (valid()) iconv_close(cd);
  }
  bool valid() const { return cd != reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1)); }

  // Converts the whole input from the initial state; empty when any of it fails.
  std::optional<std::size_t> convert(char* in, std::size_t inLength, char* out, std::size_t outSize) const {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* outStart = out;
    std::size_t outLeft = outSize;
    if (iconv(cd, &in, &inLength, &out, &outLeft) == static_cast<std::size_t>(-1) || inLength != 0) return {};
    if (iconv(cd, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) return {};
    return static_cast<std::size_t>(out - outStart);
  }
};

}  // namespace

std::optional<CodeMaps> iconvMaps(int ccsid) {
  const std::string name = "IBM" + std::to_string(ccsid);
  const Iconv toUnicode(iconv_open("UTF-16LE", name.c_str()));
  const Iconv fromUnicode(iconv_open(name.c_str(), "UTF-16LE"));
  if (!toUnicode.valid() || !fromUnicode.valid()) return std::nullopt;

  CodeMaps maps;
  maps.source = "iconv " + name;
  std::array<char, 16> out{};
  for (unsigned b = 0; b < 0x100; ++b) {
    char byte = static_cast<char>(b);
    const auto n = toUnicode.convert(&byte, 1, out.data(), out.size());
    if (n != 2u) continue;
    const auto u =
        static_cast<std::uint32_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
    if (tableUnit(u)) maps.toUnicode[b] = u;
  }
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    if (!tableUnit(u)) continue;
    char unit[] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    if (fromUnicode.convert(unit, 2, out.data(), out.size()) == 1u) {
      maps.fromUnicode[u] = static_cast<unsigned char>(out[0]);
    }
  }
  return maps;
}

std::optional<CodeMaps> latin9Maps() {
  auto maps = icuMaps(1047, false);
  if (!maps) maps = iconvMaps(1047);
  if (!maps) return std::nullopt;
  struct Change {
    std::uint32_t code;
    std::uint32_t unit;
  };
  constexpr Change changes[] = {
      {0x9F, 0x20AC}, {0x6A, 0x0160}, {0xBB, 0x0161}, {0xBE, 0x017D},  // Latin-9 in place of Latin-1
      {0x9D, 0x017E}, {0xB7, 0x0152}, {0xB8, 0x0153}, {0xB9, 0x0178},
      {0x4A, 0x00DD}, {0xB0, 0x00A2}, {0xBA, 0x00AC},  // moved
  };
  // The characters these codes leave lose their way back; then each change maps both ways.
  for (const Change& change : changes) {
    for (auto& code : maps->fromUnicode) {
      if (code == change.code) code = noMapping;
    }
  }
  for (const Change& change : changes) {
    maps->toUnicode[change.code] = change.unit;
    maps->fromUnicode[change.unit] = change.code;
  }
  maps->source = "CCSID 1047 (" + maps->source + ") with the Latin-9 changes";
  return maps;
}

}  // namespace kwuni::mktables
