#include "tools/kwuni/encodings.h"

#include <kwuni/catalogue.h>
#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "tools/kwuni/command.h"

#include <unicode/ucnv.h>

#include <cctype>
#include <initializer_list>
#include <memory>
#include <optional>

namespace kwuni::cli {
namespace {

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The number after a prefix, or nothing when the rest is not 1 to 6 decimal digits.
std::optional<int> numberAfter(std::string_view text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return std::nullopt;
  text.remove_prefix(prefix.size());
  if (text.empty() || text.size() > 6) return std::nullopt;
  int n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::optional<int> numberAfterAny(std::string_view text, std::initializer_list<std::string_view> prefixes) {
  for (const auto prefix : prefixes) {
    if (const auto n = numberAfter(text, prefix)) return n;
  }
  return std::nullopt;
}

std::optional<Encoding> hostEncoding(int requested) {
  const int ccsid = KW_GetCorrectedECP(requested);
  if (KW_IsECP(ccsid) == 0) return std::nullopt;
  Encoding e;
  e.kind = KW_IsUnicodeCodePage(ccsid) ? Encoding::Kind::unicodeHost : Encoding::Kind::ebcdic;
  e.number = ccsid;
  e.mixed = KW_IsDbcsECP(ccsid) == 1;
  e.label = "CCSID " + std::to_string(ccsid);
  return e;
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

// The code page as the library's narrow/wide conversions reach it, when they can convert it a
// piece at a time: code pages that carry a shift state from one character to the next cannot.
std::optional<Encoding> codePageEncoding(int number) {
  std::unique_ptr<UConverter, ConverterCloser> converter;
  for (const char* prefix : {"windows-", "ibm-"}) {
    UErrorCode status = U_ZERO_ERROR;
    converter.reset(ucnv_open((prefix + std::to_string(number)).c_str(), &status));
    if (U_SUCCESS(status)) break;
    converter.reset();
  }
  if (!converter) return std::nullopt;
  switch (ucnv_getType(converter.get())) {
    case UCNV_SBCS:
    case UCNV_DBCS:
    case UCNV_MBCS:
    case UCNV_LATIN_1:
    case UCNV_US_ASCII:
      break;
    default:
      throw Failure("code page " + std::to_string(number) +
                    " keeps a shift state from one character to the next, which convert does not support");
  }
  WCHAR wide[4];
  char narrow[8];
  const auto cp = static_cast<unsigned>(number);
  if (TConvertAtoUEx("A", 1, wide, 4, cp) != 1 || TConvertUtoAEx(u"A", 1, narrow, 8, cp) == 0) return std::nullopt;
  Encoding e;
  e.kind = Encoding::Kind::codePage;
  e.number = number;
  e.multiByte = ucnv_getMaxCharSize(converter.get()) > 1;
  e.label = "code page " + std::to_string(number);
  return e;
}

Encoding unicode(Encoding::Kind kind, const char* label) {
  Encoding e;
  e.kind = kind;
  e.label = label;
  return e;
}

}  // namespace

Encoding parseEncoding(std::string_view name) {
  const std::string lower = lowerCase(name);
  std::string quoted = "'";
  quoted.append(name).append("'");
  if (lower == "utf-8" || lower == "utf8") return unicode(Encoding::Kind::utf8, "UTF-8");
  if (lower == "utf-16le" || lower == "utf16le") return unicode(Encoding::Kind::utf16le, "UTF-16LE");
  if (lower == "utf-16be" || lower == "utf16be") return unicode(Encoding::Kind::utf16be, "UTF-16BE");
  if (lower == "utf-16" || lower == "utf16") throw Failure("unknown encoding 'UTF-16': say UTF-16LE or UTF-16BE");

  if (const auto n = numberAfterAny(lower, {"", "ibm-", "ibm_", "ibm", "ccsid-", "ccsid"})) {
    if (auto host = hostEncoding(*n)) return *host;
    std::string hint = "see 'kwuni list ccsid'";
    try {
      if (*n > 0 && codePageEncoding(*n)) hint += ", or say cp" + std::to_string(*n) + " for the Windows code page";
    } catch (const Failure&) {
    }
    throw Failure("unknown CCSID " + quoted + ": " + hint);
  }
  if (const auto n = numberAfterAny(lower, {"cp-", "cp", "windows-"})) {
    if (auto host = hostEncoding(*n)) return *host;
    if (*n == 65001) return unicode(Encoding::Kind::utf8, "UTF-8");
    if (*n == 1200) return unicode(Encoding::Kind::utf16le, "UTF-16LE");
    if (*n == 1201) return unicode(Encoding::Kind::utf16be, "UTF-16BE");
    if (*n == 65000) throw Failure("code page 65000 (UTF-7) is not supported by convert");
    if (*n > 0) {
      if (auto page = codePageEncoding(*n)) return *page;
    }
    throw Failure("unknown code page " + quoted);
  }
  throw Failure("unknown encoding " + quoted +
                ": expected a CCSID (37, IBM-930), UTF-8, UTF-16LE, UTF-16BE or a code page (cp1252)");
}

}  // namespace kwuni::cli
