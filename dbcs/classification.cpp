// Which characters take two host bytes and two display cells, and how many host bytes a string
// needs.

#include <kwuni/dbcs.h>

#include "dbcs/classification.h"
#include "ebcdic/host_lookup.h"
#include "platform/fold.h"

#include <array>
#include <memory>
#include <string>

namespace {

constexpr WCHAR carriageReturn = 0x0D;
constexpr WCHAR lineFeed = 0x0A;

// Characters that are double-byte in a Unicode field but drawn in one cell: Latin, the Latin
// letters of the Central European and Turkish code pages, Greek, Cyrillic, Thai, some currency
// signs and the half-width forms. Bounds are inclusive.
struct Range {
  WCHAR first;
  WCHAR last;
};

constexpr Range halfWidthInUnicodeFields[] = {
    {0x0000, 0x00FF}, {0x0104, 0x0105}, {0x010C, 0x010D}, {0x010F, 0x010F}, {0x0118, 0x011B},
    {0x011E, 0x011F}, {0x0130, 0x0131}, {0x0139, 0x013A}, {0x0147, 0x0148}, {0x0152, 0x0155},
    {0x0158, 0x0161}, {0x0165, 0x0165}, {0x016E, 0x016F}, {0x017D, 0x017E}, {0x0374, 0x03FB},
    {0x0400, 0x04FF}, {0x0E01, 0x0E5B}, {0x1F00, 0x1FFE}, {0x20A3, 0x20A4}, {0x20A7, 0x20A7},
    {0x20AC, 0x20AC}, {0xFF61, 0xFFDC}, {0xFFE8, 0xFFEE},
};

bool drawnHalfWidth(WCHAR ch) {
  for (const auto& range : halfWidthInUnicodeFields) {
    if (ch >= range.first && ch <= range.last) return true;
  }
  return false;
}

// The precomposed form of a text, in a buffer on the stack when it is short and on the heap
// when it is long.
class Precomposed {
 public:
  Precomposed(const WCHAR* text, int length) : text_(text), length_(length) {
    if (sys::FoldLeavesUnchanged(text, length)) return;
    const int folded = sys::FoldStringW(sys::MAP_PRECOMPOSED, text, length, nullptr, 0);
    if (folded == 0) return;
    WCHAR* buffer = stack_.data();
    if (static_cast<std::size_t>(folded) + 1 > stack_.size()) {
      heap_ = std::make_unique<WCHAR[]>(static_cast<std::size_t>(folded) + 1);
      buffer = heap_.get();
    }
    sys::FoldStringW(sys::MAP_PRECOMPOSED, text, length + 1, buffer, folded + 1);
    text_ = buffer;
    length_ = folded;
  }

  const WCHAR* begin() const { return text_; }
  const WCHAR* end() const { return text_ + length_; }

 private:
  std::array<WCHAR, 1024> stack_;
  std::unique_ptr<WCHAR[]> heap_;
  const WCHAR* text_;
  int length_;
};

}  // namespace

bool KW_IsUnicodeCodePage(int ccsid) { return ccsid == 1200 || ccsid == 13488; }

bool KW_IsDBCSChar(int ccsid, WCHAR ch) {
  if (ch == 0xFFFF || ch == 0xFFFE) return false;
  return kwuni::unicodeToHostLookup(ccsid).takesTwoBytes(ch);
}

bool kwuni::takesTwoCells(const UnicodeToHost& host, bool unicodeCcsid, WCHAR ch) {
  if (!host.takesTwoBytes(ch)) return false;
  return !unicodeCcsid || !drawnHalfWidth(ch);
}

bool KW_IsFullWidthChar(int ccsid, WCHAR ch) {
  return kwuni::takesTwoCells(kwuni::unicodeToHostLookup(ccsid), KW_IsUnicodeCodePage(ccsid), ch);
}

int KW_DBCSLen(int ccsid, const WCHAR* text, bool countShifts) {
  if (text == nullptr || text[0] == 0) return 0;
  const auto length = static_cast<int>(std::char_traits<WCHAR>::length(text));
  const Precomposed folded(text, length);
  const auto host = kwuni::unicodeToHostLookup(ccsid);

  const bool unicode = KW_IsUnicodeCodePage(ccsid);
  const int shiftByte = countShifts && !unicode ? 1 : 0;
  bool insideDoubleByte = unicode;
  int bytes = 0;
  for (const WCHAR ch : folded) {
    if (host.takesTwoBytes(ch)) {
      bytes += 2;
      if (!insideDoubleByte) bytes += shiftByte;
      insideDoubleByte = true;
    } else if (ch != carriageReturn && ch != lineFeed) {
      bytes += 1;
      if (insideDoubleByte) bytes += shiftByte;
      insideDoubleByte = false;
    }
  }
  return insideDoubleByte ? bytes + shiftByte : bytes;
}
