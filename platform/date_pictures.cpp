#include "platform/date_pictures.h"

#include <unicode/uchar.h>

#include <vector>

namespace sys {
namespace {

// One piece of an ICU pattern: a run of one field letter, or literal text (unquoted).
struct Token {
  char16_t letter;  // 0 for literal text
  std::size_t count;
  std::u16string text;
};

bool isPatternLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

std::vector<Token> tokenize(std::u16string_view pattern) {
  std::vector<Token> tokens;
  const auto literal = [&tokens](char16_t c) {
    if (tokens.empty() || tokens.back().letter != 0) tokens.push_back({0, 0, {}});
    tokens.back().text += c;
  };
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'\'') {
      if (i + 1 < pattern.size() && pattern[i + 1] == u'\'') {  // '' is one quote, inside quotes or out
        literal(u'\'');
        ++i;
        continue;
      }
      for (++i; i < pattern.size(); ++i) {
        if (pattern[i] != u'\'') {
          literal(pattern[i]);
        } else if (i + 1 < pattern.size() && pattern[i + 1] == u'\'') {
          literal(u'\'');
          ++i;
        } else {
          break;
        }
      }
    } else if (isPatternLetter(c)) {
      if (!tokens.empty() && tokens.back().letter == c) {
        ++tokens.back().count;
      } else {
        tokens.push_back({c, 1, {}});
      }
    } else {
      literal(c);
    }
  }
  return tokens;
}

std::u16string repeat(char16_t letter, std::size_t count) { return std::u16string(count, letter); }

// The Windows picture of one ICU field; empty when Windows has none.
std::u16string pictureOfField(char16_t letter, std::size_t count, PictureStyle style) {
  switch (letter) {
    case u'd':
      return repeat(u'd', count == 1 ? 1 : 2);
    case u'e':
    case u'c':
      if (count < 3) return {};  // the day of the week as a number
      [[fallthrough]];
    case u'E':
      return repeat(u'd', count == 4 ? 4 : 3);
    case u'M':
    case u'L':
      return repeat(u'M', count == 5 ? 3 : count);
    case u'y':
    case u'Y':
    case u'u':
    case u'r':
      if (style.keepEra) return repeat(u'y', count <= 2 ? count : 4);
      return repeat(u'y', count == 2 && !style.fourDigitYears ? 2 : 4);
    case u'G':
      if (!style.keepEra) return {};
      return repeat(u'g', count == 5 ? 1 : 2);
    default:
      return {};
  }
}

bool isBidiMark(char16_t c) { return c == 0x200E || c == 0x200F || c == 0x061C; }

// Literal text as a picture: letters would read as fields (or, for other scripts, are quoted by
// convention), so a run that holds one is quoted whole.
std::u16string pictureOfLiteral(const std::u16string& text) {
  std::u16string kept;
  bool needsQuotes = false;
  for (const char16_t c : text) {
    if (isBidiMark(c)) continue;
    // Supplementary characters (surrogates) are letters of historic scripts or symbols; quote them too.
    needsQuotes = needsQuotes || u_isalpha(c) || (c >= 0xD800 && c <= 0xDFFF) || c == u'\'';
    kept += c;
  }
  if (!needsQuotes) return kept;
  std::u16string quoted = u"'";
  for (const char16_t c : kept) {
    quoted += c;
    if (c == u'\'') quoted += c;
  }
  return quoted + u'\'';
}

}  // namespace

std::u16string datePictureOf(std::u16string_view icuPattern, PictureStyle style) {
  std::vector<Token> tokens = tokenize(icuPattern);
  // Drop the fields Windows lacks, each with the literal that joins it to its neighbours: the one
  // after it, or before it when it ends the pattern.
  for (std::size_t i = 0; i < tokens.size();) {
    Token& token = tokens[i];
    if (token.letter == 0) {
      ++i;
      continue;
    }
    token.text = pictureOfField(token.letter, token.count, style);
    if (!token.text.empty()) {
      ++i;
      continue;
    }
    const bool literalAfter = i + 1 < tokens.size() && tokens[i + 1].letter == 0;
    const bool literalBefore = i > 0 && tokens[i - 1].letter == 0;
    const auto begin = tokens.begin() + static_cast<std::ptrdiff_t>(i);
    if (literalAfter && i > 0) {
      tokens.erase(begin, begin + 2);
    } else if (literalBefore && i + 1 == tokens.size()) {
      tokens.erase(begin - 1, begin + 1);
      --i;
    } else if (literalAfter) {
      tokens.erase(begin, begin + 2);
    } else {
      tokens.erase(begin);
    }
  }
  std::u16string picture;
  std::u16string literal;
  for (const Token& token : tokens) {
    if (token.letter == 0) {
      literal += token.text;  // a drop may leave two literal runs side by side
      continue;
    }
    picture += pictureOfLiteral(literal);
    literal.clear();
    picture += token.text;
  }
  return picture + pictureOfLiteral(literal);
}

}  // namespace sys
