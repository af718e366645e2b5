// Character, word and line break procedures. Boundaries come from a script-string analysis's
// logical attributes when the caller has one, else from the system's character navigation and
// character types; line breaks fit whole words (then whole characters, or what the system's
// measuring says) into a width.

#include <kwuni/locales.h>
#include <kwuni/text.h>

#include "platform/gdi.h"
#include "platform/locale_info.h"

#include <vector>

namespace kwuni::text {
namespace {

// C1_SPACE | C1_CNTRL | C1_BLANK: what ends a word when no analysis says otherwise.
constexpr WORD delimiterTypes = 0x68;

bool isLineEnd(WCHAR c) { return c == u'\n' || c == u'\r'; }

int terminatedLength(LPCWSTR text) {
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

const SCRIPT_LOGATTR* attributesOf(void* analysis) {
  return analysis != nullptr ? KW_ScriptString_pLogAttr(analysis) : nullptr;
}

// A computed position below 0, or at or beyond the limit, gives back the position asked about.
int checked(int result, int position, int limit) { return result < 0 || result >= limit ? position : result; }

int charBreakWithAttributes(const SCRIPT_LOGATTR* attrs, int position, int length, int action) {
  if (position > length) return position;
  int result = position;
  if (action == KW_BREAK_LEFT) {
    if (position <= 0) return position;
    for (int i = position - 1; i >= 0; --i) {
      if (attrs[i].fCharStop != 0) return i;
    }
  } else if (action == KW_BREAK_RIGHT) {
    if (position >= length) return position;
    result = length;
    // Indexes before the text carry no stops: from far left the scan starts at the text.
    for (int i = position < 0 ? 0 : position + 1; i < length; ++i) {
      if (attrs[i].fCharStop != 0) return i;
    }
  } else if (action == KW_BREAK_AT) {
    if (position < 0 || position >= length) return position;
    for (int i = position; i >= 0; --i) {
      if (attrs[i].fCharStop != 0) return i;
    }
  }
  return checked(result, position, length + 1);
}

int charBreakByNavigation(LPCWSTR text, int position, int length, int action) {
  int result = position;
  if (action == KW_BREAK_RIGHT && position >= 0 && position < length) {
    result = static_cast<int>(sys::CharNextW(text + position) - text);
  } else if (action == KW_BREAK_LEFT && position > 0 && position <= length) {
    result = static_cast<int>(sys::CharPrevW(text, text + position) - text);
  }
  return checked(result, position, length);
}

int wordBreakWithAttributes(const SCRIPT_LOGATTR* attrs, LPCWSTR text, int position, int length, int action) {
  if (action == KW_BREAK_AT) {
    if (position < 0 || position >= length) return 0;
    return attrs[position].fSoftBreak != 0 || attrs[position].fWhiteSpace != 0 ? 1 : 0;
  }
  if (position < 0 || position > length) return position;
  int i = position;
  if (action == KW_BREAK_LEFT) {
    if (position == 0) return position;
    i = position - 1;
    while (i > 0 && attrs[i - 1].fWhiteSpace != 0) --i;
    // Back to the word's start: a break or word start here, or white space or a line end before.
    while (i > 0 && attrs[i].fSoftBreak == 0 && attrs[i].fWordStop == 0 && attrs[i - 1].fWhiteSpace == 0 &&
           !isLineEnd(text[i - 1])) {
      --i;
    }
    while (i < length && attrs[i].fCharStop == 0) ++i;
  } else if (action == KW_BREAK_RIGHT) {
    if (position == length || isLineEnd(text[position])) return position;
    // To the next word: a full stop, or a word start after "(", stays inside the word, so that
    // "12.5" and "f(x)" are one word each.
    for (i = position + 1; i < length; ++i) {
      if (attrs[i].fWordStop != 0) {
        if (text[i] != u'.' && text[i - 1] != u'(') break;
      } else if (attrs[i].fSoftBreak != 0 || attrs[i].fWhiteSpace != 0 || isLineEnd(text[i])) {
        break;
      }
    }
    if (i == length) return position;
    while (i < length && attrs[i].fWhiteSpace != 0) ++i;
    while (i < length && attrs[i].fCharStop == 0) ++i;
  } else {
    return position;
  }
  return checked(i, position, length);
}

int wordBreakByCharacterTypes(LPCWSTR text, int position, int length, int action) {
  std::vector<WORD> types(static_cast<std::size_t>(length));
  if (sys::GetStringTypeExW(0, CT_CTYPE1, text, length, types.data()) == FALSE) return position;
  const auto delimiter = [&types](int i) { return types[static_cast<std::size_t>(i)] & delimiterTypes; };
  if (action == KW_BREAK_AT) return position >= 0 && position < length ? delimiter(position) : 0;
  if (position < 0 || position > length) return position;
  int i = position;
  if (action == KW_BREAK_LEFT) {
    if (position == 0) return position;
    i = position - 1;
    while (i > 0 && delimiter(i - 1) != 0) --i;
    while (i > 0 && delimiter(i - 1) == 0) --i;
  } else if (action == KW_BREAK_RIGHT) {
    if (position == length) return position;
    i = position + 1;
    while (i < length && delimiter(i) == 0) ++i;
    while (i < length && delimiter(i) != 0) ++i;
  } else {
    return position;
  }
  return checked(i, position, length);
}

// A space that a line may end with, beyond the width, by the user's locale.
bool isTrailingSpace(WCHAR c) {
  WORD type = 0;
  return sys::GetStringTypeExW(KW_GetUserDefaultLCID(), CT_CTYPE1, &c, 1, &type) != FALSE && (type & C1_SPACE) != 0;
}

using BreakProc = int(CALLBACK*)(void*&, LPCWSTR, int, int, int);

// As many pieces (words or characters, as next finds them) as fit the width from start, spaces at
// the end not counted: the end of the last piece that fits, or start when none does. A line end
// at the start ends the line there, and the line break with it (lineEnd).
struct Fit {
  int end;
  bool lineEnd;
};

Fit fitPieces(BreakProc next, void*& analysis, LPCWSTR text, int start, int length, HDC dc, int width, DWORD flags) {
  int fitted = start;
  while (true) {
    int end = next(analysis, text, fitted, length, KW_BREAK_RIGHT);
    if (end == fitted) {
      if (isLineEnd(text[fitted])) return {fitted, true};
      end = length;
    }
    int shown = end;
    while (shown > start && isTrailingSpace(text[shown - 1])) --shown;
    SIZE size{};
    KW_GetTextExtentPoint(dc, text + start, shown - start, &size, flags);
    if (size.cx > width) break;
    fitted = end;
    if (end >= length || isLineEnd(text[end])) break;
  }
  return {fitted, false};
}

// The line break procedures' shared part: whole words that fit, then the variant's own way.
template <typename WhenNoWordFits>
int lineBreak(void*& analysis, LPCWSTR text, int start, int length, HDC dc, int width, DWORD flags,
              WhenNoWordFits whenNoWordFits) {
  if (text == nullptr) return start;
  if (length < 0) length = terminatedLength(text);
  if (length == 0 || start < 0 || start > length) return start;
  if (start < length) {
    const Fit words = fitPieces(KW_WordBreakProc, analysis, text, start, length, dc, width, flags);
    if (words.lineEnd) return words.end;
    if (words.end != start) return words.end <= length ? words.end : start;
  }
  return whenNoWordFits(length);
}

}  // namespace
}  // namespace kwuni::text

using namespace kwuni::text;

int CALLBACK KW_CharBreakProc(void*& analysis, LPCWSTR text, int position, int length, int action) {
  if (text == nullptr) return position;
  if (length < 0) length = terminatedLength(text);
  if (length == 0) return position;
  const SCRIPT_LOGATTR* attrs = attributesOf(analysis);
  return attrs != nullptr ? charBreakWithAttributes(attrs, position, length, action)
                          : charBreakByNavigation(text, position, length, action);
}

int CALLBACK KW_WordBreakProc(void*& analysis, LPCWSTR text, int position, int length, int action) {
  if (text == nullptr) return position;
  if (length < 0) length = terminatedLength(text);
  if (length == 0) return position;
  const SCRIPT_LOGATTR* attrs = attributesOf(analysis);
  return attrs != nullptr ? wordBreakWithAttributes(attrs, text, position, length, action)
                          : wordBreakByCharacterTypes(text, position, length, action);
}

int CALLBACK KW_EditLineBreakProc(void*& analysis, LPCWSTR text, int lineStart, int length, HDC dc, int width,
                                  DWORD flags) {
  return lineBreak(analysis, text, lineStart, length, dc, width, flags, [&](int n) {
    // Whole characters that fit; at least one.
    if (lineStart < n) {
      const Fit characters = fitPieces(KW_CharBreakProc, analysis, text, lineStart, n, dc, width, flags);
      if (characters.lineEnd) return characters.end;
      if (characters.end != lineStart) return characters.end <= n ? characters.end : lineStart;
    }
    const int next = KW_CharBreakProc(analysis, text, lineStart, n, KW_BREAK_RIGHT);
    return next >= 0 && next <= n ? next : lineStart;
  });
}

int CALLBACK KW_LineBreakProc(void*& analysis, LPCWSTR text, int lineStart, int length, HDC dc, int width,
                              DWORD flags) {
  return lineBreak(analysis, text, lineStart, length, dc, width, flags, [&](int) {
    // What the system's measuring says fits, less one character when more than one does.
    const int rest = terminatedLength(text + lineStart);
    int fit = 0;
    SIZE size{};
    sys::GetTextExtentExPointW(dc, text + lineStart, rest, width, &fit, nullptr, &size);
    return lineStart + fit - (fit >= 2 ? 1 : 0);
  });
}
