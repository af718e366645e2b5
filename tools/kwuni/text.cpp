#include <kwuni/streaming.h>

#include "tools/kwuni/command.h"

#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

namespace kwuni::cli {

std::size_t utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

int numberOption(std::string_view option, std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw UsageError(std::string(option) + " takes a number, not '" + std::string(text) + "'");
  }
  if (value < low || value > high) {
    throw UsageError(std::string(option) + " " + std::string(text) + " is out of range (" + std::to_string(low) +
                     " to " + std::to_string(high) + ")");
  }
  return value;
}

// One character of UTF-8 text from `text` at `at`, which it moves past. Nothing for bytes that
// are not UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> nextUtf8(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = utf8Length(lead);
  if (length == 0 || at + length > text.size()) return std::nullopt;
  static constexpr char32_t leadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  char32_t c = lead & leadBits[length];
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (next & 0x3Fu);
  }
  if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  at += length;
  return c;
}

std::string toUtf8(const WCHAR* text) {
  if (text == nullptr) return {};
  std::vector<BYTE> bytes;
  kwuni::Encoder(kwuni::Encoding("UTF-8")).encode(std::u16string_view(text), bytes, true);
  return std::string(bytes.begin(), bytes.end());
}

std::string jsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace kwuni::cli
