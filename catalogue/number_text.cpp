#include "catalogue/number_text.h"

#include <kwuni/catalogue.h>

#include <charconv>
#include <climits>
#include <cstdint>

namespace kwuni::catalogue {
namespace {

WCHAR asciiLower(WCHAR c) { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c + (u'a' - u'A')) : c; }


}  // namespace

bool isSpace(WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

void formatUnlisted(int value, std::string_view suffix, WCHAR* buffer, std::size_t capacity) {
  if (capacity == 0) return;
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  std::size_t n = 0;
  for (const char* p = digits; p != end && n + 1 < capacity; ++p) buffer[n++] = static_cast<WCHAR>(*p);
  for (const char c : suffix) {
    if (n + 1 >= capacity) break;
    buffer[n++] = static_cast<WCHAR>(c);
  }
  buffer[n] = 0;
}

int writeNumber(std::uint32_t value, int base, WCHAR* buffer, int count) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value, base).ptr;
  const auto length = static_cast<int>(end - digits);
  if (buffer == nullptr || count <= 0) return -1;
  const int written = length < count ? length : count;
  for (int i = 0; i < written; ++i) buffer[i] = static_cast<WCHAR>(digits[i]);
  if (length < count) {
    buffer[length] = 0;
    return length;
  }
  return length == count ? count : -1;
}

bool equalIgnoringAsciiCase(const WCHAR* a, const WCHAR* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (asciiLower(*a) != asciiLower(*b)) return false;
  }
  return *a == *b;
}

}  // namespace kwuni::catalogue

int KW_CPToString(int value, WCHAR* buffer, int count) {
  return kwuni::catalogue::writeNumber(static_cast<std::uint32_t>(value), 10, buffer, count);
}

int KW_CalendarToString(int value, WCHAR* buffer, int count) { return KW_CPToString(value, buffer, count); }

int KW_NLVToString(int value, WCHAR* buffer, int count) { return KW_CPToString(value, buffer, count); }

int KW_StringToCP(const WCHAR* text) {
  if (text == nullptr) return 0;
  while (kwuni::catalogue::isSpace(*text)) ++text;
  const bool negative = *text == u'-';
  if (*text == u'-' || *text == u'+') ++text;
  // Accumulate the magnitude and saturate at the limits of int, as the C runtime's reader does.
  std::int64_t magnitude = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    magnitude = magnitude * 10 + (*text - u'0');
    if (magnitude > std::int64_t{INT_MAX} + 1) magnitude = std::int64_t{INT_MAX} + 1;
  }
  if (negative) return static_cast<int>(-magnitude);
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

int KW_StringToCalendar(const WCHAR* text) { return KW_StringToCP(text); }

int KW_StringToNLV(const WCHAR* text) { return KW_StringToCP(text); }
