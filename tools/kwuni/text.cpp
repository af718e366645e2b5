#include <kwuni/streaming.h>

#include "tools/kwuni/command.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace kwuni::cli {

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
