// Text output and measurement through script strings, so that both platform families lay out,
// measure and draw text the same way: lines broken by the line break procedure, each analysed
// and drawn on its own, selections snapped to character boundaries.

#include <kwuni/text.h>

#include "platform/gdi.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kwuni::text {
namespace {

constexpr DWORD wholeTextFlags = SSA_LINK | SSA_HOTKEY | SSA_GLYPHS | SSA_BREAK | SSA_FALLBACK;
constexpr DWORD lineFlags = wholeTextFlags & ~SSA_BREAK;
constexpr DWORD measureFlags = SSA_LINK | SSA_GLYPHS | SSA_FALLBACK;
constexpr DWORD textOutFlags = measureFlags | SSA_BREAK;

int terminatedLength(LPCWSTR text) {
  int n = 0;
  while (text[n] != 0) ++n;
  return n;
}

bool isLineEnd(WCHAR c) { return c == u'\n' || c == u'\r'; }

// Analyses count characters with the arguments every analysis of this unit shares.
HRESULT analyse(HDC dc, LPCWSTR text, int count, DWORD flags, void** analysis) {
  return KW_ScriptStringAnalyse(dc, text, count, count * 3 / 2 + 1, -1, flags, 0, nullptr, nullptr, nullptr, nullptr,
                                nullptr, analysis);
}

// One line of a laid-out text: where it starts, how many characters it shows (line ends
// excluded), its analysis and size.
struct Line {
  int start = 0;
  int length = 0;
  void* analysis = nullptr;
  const SIZE* size = nullptr;
};

// Owns the analyses of a layout and releases them, whichever way the layout ends.
struct Layout {
  void* whole = nullptr;
  std::vector<Line> lines;

  Layout() = default;
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;
  ~Layout() {
    for (Line& line : lines) {
      if (line.analysis != nullptr) KW_ScriptStringFree(&line.analysis);
    }
    if (whole != nullptr) KW_ScriptStringFree(&whole);
  }
};

// Splits the text into lines: at line ends, and, unless the layout is one line, where the line
// break procedure says a line of the given width ends. A line feed and a carriage return next to
// it, in either order, end one line.
void splitLines(Layout& layout, HDC dc, LPCWSTR text, int length, int width, bool singleLine, DWORD flags) {
  if (length == 0 || singleLine) {
    layout.lines.push_back({0, length});
    return;
  }
  for (int start = 0;;) {
    const int end = length;
    const int next = KW_LineBreakProc(layout.whole, text, start, end, dc, width, flags);
    int lineEnd = next;
    if (next > end) {
      sys::OutputDebugStringW(u"something fudged up is going on.\n");
      lineEnd = end;
    } else if (next <= start) {
      lineEnd = isLineEnd(text[start]) ? start : end;
    }
    layout.lines.push_back({start, lineEnd - start});

    int at = lineEnd;
    if (text[at] == 0) break;
    if (text[at] == u'\n') {
      ++at;
      if (text[at] == u'\r') ++at;
    } else if (text[at] == u'\r') {
      ++at;
      if (text[at] == u'\n') ++at;
    }
    start = at;
  }
}

// The selection as start and end, each moved back to a character boundary when inside the text.
std::pair<int, int> snappedSelection(void*& analysis, LPCWSTR text, int length, int anchor, int end) {
  int from = std::min(anchor, end);
  int to = std::max(anchor, end);
  if (from < length) from = KW_CharBreakProc(analysis, text, from, length, KW_BREAK_AT);
  if (to < length) to = KW_CharBreakProc(analysis, text, to, length, KW_BREAK_AT);
  return {from, to};
}

// Where a width-wide piece starts in an extent of the given left and width, by the alignment.
int alignedLeft(UINT format, int left, int extent, int width) {
  if ((format & DT_RIGHT) != 0) return left + extent - width;
  if ((format & DT_CENTER) != 0) return extent / 2 - width / 2 + left;
  return left;
}

}  // namespace
}  // namespace kwuni::text

using namespace kwuni::text;

int KW_DrawText(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format, int selectionAnchor, int selectionEnd) {
  // The text is read up to its NUL; a count is only -1 or that length, so any count but 0 reads
  // the whole text.
  const int length = text != nullptr ? terminatedLength(text) : 0;
  if (text == nullptr || count == 0 || length == 0 || rect == nullptr) {
    if (rect != nullptr && (format & DT_CALCRECT) != 0) {
      rect->right = rect->left;
      rect->bottom = rect->top;
    }
    return 0;
  }
  const DWORD prefix = (format & DT_NOPREFIX) != 0 ? 0 : SSA_HOTKEY;
  const DWORD wholeFlags = (wholeTextFlags & ~SSA_HOTKEY) | prefix;
  Layout layout;
  if (analyse(dc, text, length, wholeFlags, &layout.whole) != S_OK) return 0;
  splitLines(layout, dc, text, length, rect->right - rect->left, (format & DT_SINGLELINE) != 0, wholeFlags);
  for (Line& line : layout.lines) {
    if (analyse(dc, text + line.start, line.length, (lineFlags & ~SSA_HOTKEY) | prefix, &line.analysis) != S_OK) {
      line.analysis = nullptr;
    }
  }

  TEXTMETRICW metrics{};
  sys::GetTextMetricsW(dc, &metrics);
  std::vector<int> heights(layout.lines.size(), 0);
  int totalHeight = 0;
  int blockWidth = 0;
  for (std::size_t k = 0; k < layout.lines.size(); ++k) {
    Line& line = layout.lines[k];
    if (line.analysis == nullptr || (line.size = KW_ScriptString_pSize(line.analysis)) == nullptr) continue;
    heights[k] = line.size->cy + (k + 1 < layout.lines.size() ? metrics.tmExternalLeading : 0);
    totalHeight += heights[k];
    blockWidth = std::max(blockWidth, static_cast<int>(line.size->cx));
  }

  const int blockLeft = alignedLeft(format, rect->left, rect->right - rect->left, blockWidth);
  const int blockRight = blockLeft + blockWidth;
  int blockTop = rect->top;
  if ((format & DT_BOTTOM) != 0) {
    blockTop = rect->bottom - totalHeight;
  } else if ((format & DT_VCENTER) != 0) {
    blockTop = (rect->bottom - rect->top) / 2 - totalHeight / 2 + rect->top;
  }

  if ((format & DT_CALCRECT) != 0) {
    *rect = RECT{blockLeft, blockTop, blockRight, blockTop + totalHeight};
  } else {
    const auto [selectionStart, selectionStop] =
        snappedSelection(layout.whole, text, length, selectionAnchor, selectionEnd);
    // An underline below the last visible row would be cut off at the rectangle's bottom.
    RECT clip = *rect;
    if (metrics.tmUnderlined != 0) ++clip.bottom;
    int y = blockTop;
    for (std::size_t k = 0; k < layout.lines.size() && y <= clip.bottom; ++k) {
      const Line& line = layout.lines[k];
      if (line.size != nullptr && y + heights[k] >= clip.top && blockRight >= clip.left) {
        const int x = alignedLeft(format & (DT_CENTER | DT_RIGHT), blockLeft, blockWidth, line.size->cx);
        KW_ScriptStringOut(line.analysis, x, y, ETO_CLIPPED, &clip, selectionStart - line.start,
                           selectionStop - line.start, 0);
      }
      y += heights[k];
    }
  }

  if ((format & DT_BOTTOM) != 0) return rect->bottom - rect->top - totalHeight;
  if ((format & DT_VCENTER) != 0) return (rect->bottom - rect->top) / 2 - totalHeight / 2;
  return totalHeight;
}

int KW_TextOut(HDC dc, int x, int y, LPCWSTR text, int count, int selectionAnchor, int selectionEnd) {
  if (text == nullptr || count <= 0) return 0;
  void* analysis = nullptr;
  if (analyse(dc, text, count, textOutFlags, &analysis) != S_OK) return 0;
  const auto [start, end] = snappedSelection(analysis, text, count, selectionAnchor, selectionEnd);
  KW_ScriptStringOut(analysis, x, y, 0, nullptr, start, end, 0);
  KW_ScriptStringFree(&analysis);
  return 1;
}

int KW_GetTextExtentPoint(HDC dc, LPCWSTR text, int count, SIZE* size, DWORD extraFlags) {
  if (size == nullptr) return 0;
  *size = SIZE{};
  if (text == nullptr || count == 0) return 1;
  void* analysis = nullptr;
  if (analyse(dc, text, count, extraFlags | measureFlags, &analysis) != S_OK) return 0;
  const SIZE* measured = KW_ScriptString_pSize(analysis);
  if (measured != nullptr) *size = *measured;
  KW_ScriptStringFree(&analysis);
  return measured != nullptr ? 1 : 0;
}
