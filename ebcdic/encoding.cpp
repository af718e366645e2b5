// The names of the encodings that the decoders and encoders read and write.

#include <kwuni/catalogue.h>
#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include "ebcdic/table_files.h"
#include "platform/code_page_conversion.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <initializer_list>
#include <optional>

namespace kwuni {
namespace {

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The number after one of the prefixes, or nothing when the rest is not 1 to 6 decimal digits.
std::optional<int> numberAfter(std::string_view text, std::initializer_list<std::string_view> prefixes) {
  for (const auto prefix : prefixes) {
    if (!text.starts_with(prefix)) continue;
    const std::string_view digits = text.substr(prefix.size());
    if (digits.empty() || digits.size() > 6) continue;
    int n = 0;
    bool valid = true;
    for (const char c : digits) {
      valid = valid && c >= '0' && c <= '9';
      n = n * 10 + (c - '0');
    }
    if (valid) return n;
  }
  return std::nullopt;
}

// The Unicode forms by name and by Windows code page number.
struct UnicodeForm {
  Encoding::Kind kind;
  const char* label;
  std::initializer_list<std::string_view> names;
  int codePage;
};
const UnicodeForm unicodeForms[] = {
    {Encoding::Kind::utf8, "UTF-8", {"utf-8", "utf8"}, 65001},
    {Encoding::Kind::utf7, "UTF-7", {"utf-7", "utf7"}, 65000},
    {Encoding::Kind::utf16le, "UTF-16LE", {"utf-16le", "utf16le"}, 1200},
    {Encoding::Kind::utf16be, "UTF-16BE", {"utf-16be", "utf16be"}, 1201},
};

}  // namespace

Encoding::Encoding(std::string_view name) {
  const std::string lower = lowerCase(name);
  std::string quoted = "'";  // appended piece by piece: g++ -O3 warns wrongly about a concatenation
  quoted.append(name).append("'");
  const auto unicode = [&](const auto matches) {
    for (const UnicodeForm& form : unicodeForms) {
      if (!matches(form)) continue;
      kind_ = form.kind;
      label_ = form.label;
      return true;
    }
    return false;
  };
  // A catalogued CCSID, corrected.
  const auto host = [&](int requested) {
    const int ccsid = KW_GetCorrectedECP(requested);
    if (KW_IsECP(ccsid) == 0) return false;
    kind_ = KW_IsUnicodeCodePage(ccsid) ? Kind::unicodeHost : Kind::host;
    number_ = ccsid;
    mixed_ = KW_IsDbcsECP(ccsid) == 1;
    label_ = "CCSID " + std::to_string(ccsid);
    return true;
  };
  // A code page that the narrow/wide conversions convert a piece at a time.
  const auto codePage = [&](int number) {
    const sys::CodePageShape shape = sys::DescribeCodePage(static_cast<UINT>(number));
    if (!shape.known) return false;
    if (shape.stateful) {
      throw UnknownEncoding("code page " + std::to_string(number) +
                            " keeps a shift state from one character to the next, which cannot be converted in pieces");
    }
    kind_ = Kind::codePage;
    number_ = number;
    multiByte_ = shape.maxCharSize > 1;
    label_ = "code page " + std::to_string(number);
    return true;
  };

  if (unicode([&](const UnicodeForm& form) {
        return std::find(form.names.begin(), form.names.end(), lower) != form.names.end();
      })) {
    return;
  }
  if (lower == "utf-16" || lower == "utf16") throw UnknownEncoding("unknown encoding 'UTF-16': say UTF-16LE or UTF-16BE");

  if (const auto n = numberAfter(lower, {"", "ibm-", "ibm_", "ibm", "ccsid-", "ccsid"})) {
    if (host(*n)) return;
    std::string hint = "see 'kwuni list ccsid'";
    if (*n > 0) {
      const sys::CodePageShape shape = sys::DescribeCodePage(static_cast<UINT>(*n));
      if (shape.known && !shape.stateful) hint += ", or say cp" + std::to_string(*n) + " for the Windows code page";
    }
    throw UnknownEncoding("unknown CCSID " + quoted + ": " + hint);
  }
  if (const auto n = numberAfter(lower, {"cp-", "cp", "windows-"})) {
    if (host(*n) || unicode([&](const UnicodeForm& form) { return form.codePage == *n; })) return;
    if (*n > 0 && codePage(*n)) return;
    throw UnknownEncoding("unknown code page " + quoted);
  }
  throw UnknownEncoding("unknown encoding " + quoted +
                        ": expected a CCSID (37, IBM-930), UTF-8, UTF-7, UTF-16LE, UTF-16BE or a code page (cp1252)");
}

std::vector<int> availableHostCcsids() {
  std::vector<int> catalogued;
  KW_EnumEBCDICCodePages(
      [](const WCHAR* key, long list) -> int {
        int n = 0;
        for (; *key != 0; ++key) n = n * 10 + (*key - u'0');
        reinterpret_cast<std::vector<int>*>(list)->push_back(n);
        return 1;
      },
      reinterpret_cast<long>(&catalogued), CP_SUPPORTED);
  std::sort(catalogued.begin(), catalogued.end());
  std::vector<int> available;
  for (const int ccsid : catalogued) {
    try {
      const std::string path = tableFilePath(static_cast<short>(ccsid));
      if (!path.empty() && std::ifstream(path, std::ios::binary).is_open()) available.push_back(ccsid);
    } catch (const std::runtime_error&) {
    }
  }
  return available;
}

}  // namespace kwuni
